/* Tarnvex Card Exporter example skin.
   A skin is a Qt style sheet (UTF-8). The program applies it to its main window "Form1";
   controls are named as in the window: Frame1, Frame2, Option1, Option2, Text2, Text3,
   PushButton2, PushButton3, PushButton7, PushButton8. */

QWidget#Form1 {
  background-color: #e9eff2;
}

QGroupBox {
  background-color: #e9eff2;
  border: 1px solid #8aa4b1;
  border-radius: 6px;
  margin-top: 7px;
  color: #164f66;
}

QGroupBox::title {
  subcontrol-origin: margin;
  left: 8px;
  padding: 0 3px;
}

QRadioButton {
  background-color: transparent;
  color: #10394a;
}

QRadioButton::indicator {
  width: 10px;
  height: 10px;
  border: 1px solid #5d8597;
  border-radius: 6px;
  background-color: #ffffff;
}

QRadioButton::indicator:checked {
  background-color: qradialgradient(cx: 0.5, cy: 0.5, radius: 0.5, fx: 0.5, fy: 0.5,
                                    stop: 0 #164f66, stop: 0.5 #164f66, stop: 0.6 #ffffff,
                                    stop: 1 #ffffff);
}

QLineEdit {
  background-color: #ffffff;
  border: 1px solid #8aa4b1;
  border-radius: 3px;
  padding: 0 3px;
}

QLineEdit:focus {
  border-color: #2b7a9b;
}

QPushButton {
  color: #10394a;
  border: 1px solid #5d8597;
  border-radius: 4px;
  background-color: qlineargradient(x1: 0, y1: 0, x2: 0, y2: 1, stop: 0 #ffffff, stop: 1 #d3e1e7);
}

QPushButton:hover {
  background-color: qlineargradient(x1: 0, y1: 0, x2: 0, y2: 1, stop: 0 #ffffff, stop: 1 #f6d7b0);
}

QPushButton:pressed {
  background-color: #f29b30;
}

QPushButton:focus {
  border: 2px solid #2b7a9b;
}
