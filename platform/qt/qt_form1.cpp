#include "platform/qt/qt_form1.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QFile>
#include <QGroupBox>
#include <QGuiApplication>
#include <QIcon>
#include <QImageReader>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QWindow>
#include <array>
#include <limits>

#include "platform/failure.h"
#include "platform/form1_layout.h"
#include "platform/qt/ole_colour.h"

namespace tarnvex {
namespace {

constexpr const char* kKindProperty = "tarnvexControlKind";

QFont ArialBold(double points) {
  QFont font;
  // Arial where it is installed, else its metric-compatible substitute.
  font.setFamilies({QStringLiteral("Arial"), QStringLiteral("Liberation Sans")});
  font.setPointSizeF(points);
  font.setWeight(QFont::Bold);
  return font;
}

void SetBackground(QWidget* widget, const QColor& colour) {
  QPalette palette = widget->palette();
  palette.setColor(QPalette::Window, colour);
  widget->setPalette(palette);
  widget->setAutoFillBackground(true);
}

void MarkKind(QObject* object, ControlKind kind) {
  object->setProperty(kKindProperty, static_cast<int>(kind));
}

// The hot spot of a Windows cursor file: the first image entry's planes and bit-count fields.
std::optional<QPoint> CursorHotSpot(const QString& path) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly))
    return std::nullopt;
  const QByteArray head = file.read(22);
  if (head.size() < 22)
    return std::nullopt;
  auto word = [&head](int at) {
    return static_cast<int>(static_cast<unsigned char>(head[at])) |
           (static_cast<int>(static_cast<unsigned char>(head[at + 1])) << 8);
  };
  if (word(0) != 0 || word(2) != 2 || word(4) < 1)
    return std::nullopt;
  return QPoint(word(10), word(12));
}

// The last control before index that takes the focus (frames do not).
QWidget* LastFocusable(const std::array<QWidget*, kForm1Controls.size()>& controls,
                       std::size_t index) {
  while (index-- > 0) {
    if (kForm1Controls[index].kind != ControlKind::kFrame)
      return controls[index];
  }
  return nullptr;
}

}  // namespace

QtForm1::QtForm1(std::string programFolder, QWidget* parent)
    : QWidget(parent), programFolder_(std::move(programFolder)) {
  setObjectName(QString::fromLatin1(kForm1Name));
  // Fixed single border, system menu and minimise button, no maximise button.
  setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                 Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                 Qt::WindowCloseButtonHint);
  setWindowTitle(QStringLiteral("Form1"));
  setWindowIcon(QIcon(QStringLiteral(":/tarnvex/initial-32.png")));
  if (const QScreen* screen = QGuiApplication::primaryScreen()) {
    dpi_ = screen->logicalDotsPerInch();
  }
  appTitle_ = QCoreApplication::applicationName().toStdString();
  if (appTitle_.empty())
    appTitle_ = "tarnvex-card-exporter";

  setFont(ArialBold(9));
  SetBackground(this, Qt::white);
  setFixedSize(TwipsToPixels(kForm1ClientWidthTwips, dpi_),
               TwipsToPixels(kForm1ClientHeightTwips, dpi_));
  setMouseTracking(true);

  const QFont buttonFont = ArialBold(11.25);
  auto makeButton = [&](QWidget* container, const char* name, const char* caption) {
    auto* button = new QPushButton(QString::fromLatin1(caption), container);
    button->setObjectName(QString::fromLatin1(name));
    button->setFont(buttonFont);
    button->setAutoDefault(false);
    button->setDefault(false);
    QPalette palette = button->palette();
    palette.setColor(QPalette::Button, Qt::white);
    palette.setColor(QPalette::ButtonText, OleColour(kOleButtonText, QPalette()));
    button->setPalette(palette);
    button->setMouseTracking(true);
    button->setAttribute(Qt::WA_NoMousePropagation);
    button->installEventFilter(this);
    MarkKind(button, ControlKind::kPushButton);
    return button;
  };
  auto makeFrame = [&](QWidget* container, const char* name, const char* caption) {
    auto* frame = new QGroupBox(QString::fromLatin1(caption), container);
    frame->setObjectName(QString::fromLatin1(name));
    SetBackground(frame, Qt::white);
    frame->setMouseTracking(true);
    frame->setAttribute(Qt::WA_NoMousePropagation);
    frame->installEventFilter(this);
    MarkKind(frame, ControlKind::kFrame);
    return frame;
  };
  auto makeOption = [&](QWidget* container, const char* name, const char* caption) {
    auto* option = new QRadioButton(QString::fromLatin1(caption), container);
    option->setObjectName(QString::fromLatin1(name));
    SetBackground(option, Qt::white);
    // Option buttons run no pointer rule, so their moves do not reach the frame.
    option->setAttribute(Qt::WA_NoMousePropagation);
    MarkKind(option, ControlKind::kOptionButton);
    return option;
  };
  auto makeText = [&](QWidget* container, const char* name) {
    auto* text = new QLineEdit(container);
    text->setObjectName(QString::fromLatin1(name));
    text->setMaxLength(std::numeric_limits<int>::max());
    text->setAttribute(Qt::WA_NoMousePropagation);
    MarkKind(text, ControlKind::kTextBox);
    return text;
  };

  // Created in tab order, each inside its container.
  std::array<QWidget*, kForm1Controls.size()> controls{};
  for (std::size_t i = 0; i < kForm1Controls.size(); ++i) {
    const Form1Control& c = kForm1Controls[i];
    QWidget* container =
        c.container == kForm1NoContainer ? this : controls[static_cast<std::size_t>(c.container)];
    QWidget* control = nullptr;
    switch (c.kind) {
      case ControlKind::kFrame:
        control = makeFrame(container, c.name, c.caption);
        break;
      case ControlKind::kOptionButton:
        control = makeOption(container, c.name, c.caption);
        break;
      case ControlKind::kTextBox:
        control = makeText(container, c.name);
        break;
      default:
        control = makeButton(container, c.name, c.caption);
        break;
    }
    control->setGeometry(TwipsToPixels(c.left, dpi_), TwipsToPixels(c.top, dpi_),
                         TwipsToPixels(c.width, dpi_), TwipsToPixels(c.height, dpi_));
    if (c.kind != ControlKind::kFrame) {
      if (QWidget* previous = LastFocusable(controls, i))
        QWidget::setTabOrder(previous, control);
    }
    controls[i] = control;
  }
  auto at = [&controls](const char* name) {
    return controls[static_cast<std::size_t>(Form1ControlIndex(name))];
  };
  frame1_ = qobject_cast<QGroupBox*>(at("Frame1"));
  option1_ = qobject_cast<QRadioButton*>(at("Option1"));
  option2_ = qobject_cast<QRadioButton*>(at("Option2"));
  text2_ = qobject_cast<QLineEdit*>(at("Text2"));
  pushButton8_ = qobject_cast<QPushButton*>(at("PushButton8"));
  pushButton3_ = qobject_cast<QPushButton*>(at("PushButton3"));
  pushButton7_ = qobject_cast<QPushButton*>(at("PushButton7"));
  frame2_ = qobject_cast<QGroupBox*>(at("Frame2"));
  text3_ = qobject_cast<QLineEdit*>(at("Text3"));
  pushButton2_ = qobject_cast<QPushButton*>(at("PushButton2"));
  option1_->setChecked(true);

  for (const Form1Component& component : kForm1Components) {
    auto* object = new QObject(this);
    object->setObjectName(QString::fromLatin1(component.name));
    MarkKind(object, component.kind);
  }
}

void QtForm1::Connect(Form1Events& handlers, MessageBoxes& boxes, std::function<void()> onClose) {
  handlers_ = &handlers;
  boxes_ = &boxes;
  onClose_ = std::move(onClose);
  // An option reports its click once the group has moved the selection to it.
  connect(option1_, &QRadioButton::toggled, this, [this](bool on) {
    if (on)
      Dispatch([this] { handlers_->Option1_Click(); });
  });
  connect(option2_, &QRadioButton::toggled, this, [this](bool on) {
    if (on)
      Dispatch([this] { handlers_->Option2_Click(); });
  });
  connect(text2_, &QLineEdit::textChanged, this,
          [this] { Dispatch([this] { handlers_->Text2_Change(); }); });
  connect(text3_, &QLineEdit::textChanged, this,
          [this] { Dispatch([this] { handlers_->Text3_Change(); }); });
  connect(pushButton2_, &QPushButton::clicked, this,
          [this] { Dispatch([this] { handlers_->PushButton2_Click(); }); });
  connect(pushButton3_, &QPushButton::clicked, this,
          [this] { Dispatch([this] { handlers_->PushButton3_Click(); }); });
  connect(pushButton7_, &QPushButton::clicked, this,
          [this] { Dispatch([this] { handlers_->PushButton7_Click(); }); });
  connect(pushButton8_, &QPushButton::clicked, this,
          [this] { Dispatch([this] { handlers_->PushButton8_Click(); }); });
}

void QtForm1::Dispatch(const std::function<void()>& handler) {
  if (!handlers_)
    return;
  try {
    handler();
  } catch (const std::exception& failure) {
    // No failure may unwind through Qt's event loop.
    if (boxes_)
      boxes_->Show(failure.what(), appTitle_, MessageIcon::kWarning);
  }
}

void QtForm1::ShowCentred() {
  if (const QScreen* screen = QGuiApplication::primaryScreen()) {
    // The frame counts as far as the platform knows it before the window is mapped.
    winId();
    const QMargins frame = windowHandle() ? windowHandle()->frameMargins() : QMargins();
    QRect placed(QPoint(0, 0), size().grownBy(frame));
    placed.moveCenter(screen->availableGeometry().center());
    move(placed.topLeft());
  }
  show();
}

bool QtForm1::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::MouseMove && handlers_) {
    if (watched == pushButton2_ || watched == pushButton3_ || watched == pushButton7_ ||
        watched == pushButton8_) {
      Dispatch([this] { handlers_->PushButton_MouseMove(); });
    } else if (watched == frame1_ || watched == frame2_) {
      Dispatch([this] { handlers_->Background_MouseMove(); });
    }
  }
  return QWidget::eventFilter(watched, event);
}

void QtForm1::closeEvent(QCloseEvent* event) {
  event->accept();
  if (onClose_)
    onClose_();
}

// The window's own background gets its moves here.
void QtForm1::mouseMoveEvent(QMouseEvent* event) {
  if (handlers_)
    Dispatch([this] { handlers_->Background_MouseMove(); });
  QWidget::mouseMoveEvent(event);
}

bool QtForm1::Option1() {
  return option1_->isChecked();
}
bool QtForm1::Option2() {
  return option2_->isChecked();
}
std::string QtForm1::Text2() {
  return text2_->text().toStdString();
}
std::string QtForm1::Text3() {
  return text3_->text().toStdString();
}

void QtForm1::SetOption(QRadioButton* option, bool selected) {
  if (selected) {
    if (!option->isChecked()) {
      option->setChecked(true);  // raises the click through the group's toggle
    } else if (handlers_) {
      // Selecting the selected option is a click all the same.
      Dispatch([this, option] {
        option == option1_ ? handlers_->Option1_Click() : handlers_->Option2_Click();
      });
    }
    return;
  }
  // The group refuses to clear its selected button; clearing it leaves none selected.
  option->setAutoExclusive(false);
  option->setChecked(false);
  option->setAutoExclusive(true);
}

void QtForm1::SetOption1(bool selected) {
  SetOption(option1_, selected);
}
void QtForm1::SetOption2(bool selected) {
  SetOption(option2_, selected);
}
void QtForm1::SetText2(const std::string& text) {
  text2_->setText(QString::fromStdString(text));
}
void QtForm1::SetText3(const std::string& text) {
  text3_->setText(QString::fromStdString(text));
}

std::string QtForm1::ProgramFolder() {
  if (!programFolder_.empty())
    return programFolder_;
  return QCoreApplication::applicationDirPath().toStdString();
}

void QtForm1::SetCaption(const std::string& caption) {
  setWindowTitle(QString::fromStdString(caption));
}

void QtForm1::SetApplicationIcon() {
  QIcon icon;
  for (int size : {32, 48, 128, 256}) {
    const QString file = QStringLiteral(":/tarnvex/tarnvex-card-exporter-%1.png").arg(size);
    if (!QFile::exists(file))
      throw Failure("The application icon " + file.toStdString() + " is missing");
    icon.addFile(file, QSize(size, size));
  }
  setWindowIcon(icon);
}

std::string QtForm1::AppTitle() {
  return appTitle_;
}
void QtForm1::SetAppTitle(const std::string& title) {
  appTitle_ = title;
}

PointerMode QtForm1::Pointer() {
  return pointer_;
}

void QtForm1::SetPointer(PointerMode mode) {
  pointer_ = mode;
  ShowPointer();
}

void QtForm1::ShowPointer() {
  switch (pointer_) {
    case PointerMode::kBusy:
      setCursor(Qt::WaitCursor);
      // The run that follows keeps the event loop waiting: hand the new pointer to the display
      // now, or the hourglass would show only once the run is over.
      QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
      break;
    case PointerMode::kCustom:
      setCursor(customPointer_ ? *customPointer_ : QCursor(Qt::ArrowCursor));
      break;
    case PointerMode::kDefault:
      setCursor(Qt::ArrowCursor);
      break;
  }
}

void QtForm1::LoadCustomPointer(const std::string& path) {
  const QString file = QString::fromStdString(path);
  QImageReader reader(file);
  const QImage image = reader.read();
  if (image.isNull()) {
    throw Failure("The cursor file " + path +
                  " cannot be loaded as a picture: " + reader.errorString().toStdString());
  }
  const QPoint hotSpot = CursorHotSpot(file).value_or(QPoint(-1, -1));
  customPointer_ = QCursor(QPixmap::fromImage(image), hotSpot.x(), hotSpot.y());
  if (pointer_ == PointerMode::kCustom)
    ShowPointer();
}

void QtForm1::SetBackColor(uint32_t oleColour) {
  SetBackground(this, OleColour(oleColour, QGuiApplication::palette()));
}

std::vector<ControlInfo> QtForm1::Controls() {
  std::vector<ControlInfo> controls;
  for (QObject* object : findChildren<QObject*>()) {
    const QVariant kind = object->property(kKindProperty);
    if (!kind.isValid())
      continue;
    controls.push_back(
        {object->objectName().toStdString(), static_cast<ControlKind>(kind.toInt())});
  }
  return controls;
}

void QtForm1::SetControlBackColor(const std::string& controlName, uint32_t oleColour) {
  auto* control = findChild<QWidget*>(QString::fromStdString(controlName));
  if (!control)
    throw Failure("Form1 has no control named " + controlName);
  SetBackground(control, OleColour(oleColour, QGuiApplication::palette()));
}

int32_t QtForm1::WindowHandle() {
  return static_cast<int32_t>(static_cast<uint32_t>(winId()));
}

}  // namespace tarnvex
