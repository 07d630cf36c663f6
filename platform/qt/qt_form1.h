#pragma once

// The main window Form1 as Qt widgets. It owns its controls, the hidden dialog control
// CommonDialog1 and the skin engine SkinFramework1 (both as named child objects), and routes the
// window's events to the core's Form1 handlers.

#include <QCursor>
#include <QWidget>
#include <functional>
#include <optional>
#include <string>

#include "platform/form1_view.h"
#include "platform/message_boxes.h"
#include "platform/window_services.h"

class QGroupBox;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace tarnvex {

class QtForm1 : public QWidget, public Form1View, public WindowServices {
  Q_OBJECT

 public:
  // programFolder: where the skin and cursor files are looked up; empty: the executable's folder.
  explicit QtForm1(std::string programFolder = {}, QWidget* parent = nullptr);

  // Routes the window's events to the handlers; a failure escaping a handler is shown in a box
  // rather than ending the program. onClose runs when the window is closed.
  void Connect(Form1Events& handlers, MessageBoxes& boxes, std::function<void()> onClose);

  // Shows the window centred on its screen.
  void ShowCentred();

  // Form1View
  bool Option1() override;
  bool Option2() override;
  std::string Text2() override;
  std::string Text3() override;
  void SetPointer(PointerMode mode) override;
  void SetOption1(bool selected) override;
  void SetOption2(bool selected) override;
  void SetText2(const std::string& text) override;
  void SetText3(const std::string& text) override;

  // WindowServices
  std::string ProgramFolder() override;
  void SetCaption(const std::string& caption) override;
  void SetApplicationIcon() override;
  std::string AppTitle() override;
  void SetAppTitle(const std::string& title) override;
  PointerMode Pointer() override;
  void LoadCustomPointer(const std::string& path) override;
  void SetBackColor(uint32_t oleColour) override;
  std::vector<ControlInfo> Controls() override;
  void SetControlBackColor(const std::string& controlName, uint32_t oleColour) override;
  int32_t WindowHandle() override;

  // The cursor the window shows for the current pointer mode.
  QCursor CurrentCursor() const { return cursor(); }
  bool HasCustomPointer() const { return customPointer_.has_value(); }

 protected:
  void closeEvent(QCloseEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;

 private:
  void SetOption(QRadioButton* option, bool selected);
  void Dispatch(const std::function<void()>& handler);
  void ShowPointer();

  double dpi_ = 96;
  std::string programFolder_;
  std::string appTitle_;
  PointerMode pointer_ = PointerMode::kDefault;
  std::optional<QCursor> customPointer_;

  QGroupBox* frame1_ = nullptr;
  QRadioButton* option1_ = nullptr;
  QRadioButton* option2_ = nullptr;
  QLineEdit* text2_ = nullptr;
  QPushButton* pushButton8_ = nullptr;
  QPushButton* pushButton3_ = nullptr;
  QPushButton* pushButton7_ = nullptr;
  QGroupBox* frame2_ = nullptr;
  QLineEdit* text3_ = nullptr;
  QPushButton* pushButton2_ = nullptr;

  Form1Events* handlers_ = nullptr;
  MessageBoxes* boxes_ = nullptr;
  std::function<void()> onClose_;
};

}  // namespace tarnvex
