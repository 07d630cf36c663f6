// Form1 as Qt widgets: layout from the twip table, properties, events routed to the handlers,
// pointer and appearance, with the offscreen platform.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QFontInfo>
#include <QGroupBox>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QSettings>

#include <QTest>

#include "app/appearance.h"
#include "app/form1.h"
#include "platform/form1_layout.h"
#include "platform/posix/posix_file_system.h"
#include "platform/qt/ole_colour.h"
#include "platform/qt/qt_form1.h"
#include "platform/qt/qt_settings_store.h"
#include "platform/qt/qt_skin_engine.h"
#include "tests/fakes/fake_outlook.h"
#include "tests/fakes/fake_ui.h"
#include "tests/fakes/fake_window.h"
#include "tests/sandbox/qt_sandbox.h"

namespace tarnvex {
namespace {

double Dpi() {
  return QGuiApplication::primaryScreen()->logicalDotsPerInch();
}

QRect PixelsOf(const Form1Control& c) {
  return QRect(TwipsToPixels(c.left, Dpi()), TwipsToPixels(c.top, Dpi()),
               TwipsToPixels(c.width, Dpi()), TwipsToPixels(c.height, Dpi()));
}

const char* QtClassOf(ControlKind kind) {
  switch (kind) {
    case ControlKind::kFrame:
      return "QGroupBox";
    case ControlKind::kOptionButton:
      return "QRadioButton";
    case ControlKind::kTextBox:
      return "QLineEdit";
    default:
      return "QPushButton";
  }
}

TEST(Form1Window, EveryControlStandsWhereTheTableSays) {
  QtForm1 window;
  for (const Form1Control& c : kForm1Controls) {
    SCOPED_TRACE(c.name);
    auto* control = window.findChild<QWidget*>(QString::fromLatin1(c.name));
    ASSERT_NE(control, nullptr);
    EXPECT_STREQ(control->metaObject()->className(), QtClassOf(c.kind));
    EXPECT_EQ(control->parentWidget()->objectName(), QString::fromLatin1(Form1ContainerName(c)));
    EXPECT_EQ(control->geometry(), PixelsOf(c));
    QString caption;
    if (auto* frame = qobject_cast<QGroupBox*>(control))
      caption = frame->title();
    if (auto* button = qobject_cast<QAbstractButton*>(control))
      caption = button->text();
    if (auto* text = qobject_cast<QLineEdit*>(control))
      caption = text->text();
    EXPECT_EQ(caption, QString::fromLatin1(c.caption));
    EXPECT_TRUE(control->isEnabled());
    EXPECT_FALSE(control->isHidden());
  }
}

bool IsArialOrItsSubstitute(const QFont& font) {
  const QString family = QFontInfo(font).family();
  return family == "Arial" || family == "Liberation Sans";
}

TEST(Form1Window, HasAFixedSizeAndNoMaximiseButton) {
  QtForm1 window;
  EXPECT_EQ(window.objectName(), "Form1");
  EXPECT_EQ(window.size(), QSize(TwipsToPixels(kForm1ClientWidthTwips, Dpi()),
                                 TwipsToPixels(kForm1ClientHeightTwips, Dpi())));
  EXPECT_EQ(window.minimumSize(), window.maximumSize());
  const Qt::WindowFlags flags = window.windowFlags();
  EXPECT_TRUE(flags & Qt::WindowMinimizeButtonHint);
  EXPECT_TRUE(flags & Qt::WindowSystemMenuHint);
  EXPECT_FALSE(flags & Qt::WindowMaximizeButtonHint);
  EXPECT_EQ(window.windowType(), Qt::Window);
  EXPECT_EQ(window.windowTitle(), "Form1");
  EXPECT_EQ(window.windowIcon().availableSizes(), QList<QSize>{QSize(32, 32)});
}

TEST(Form1Window, IsShownCentredOnTheScreen) {
  QtForm1 window;
  window.ShowCentred();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
  const QPoint centre = window.screen()->availableGeometry().center();
  EXPECT_LE((window.frameGeometry().center() - centre).manhattanLength(), 2);
  EXPECT_TRUE(window.isVisible());
}

TEST(Form1Window, FontsColoursAndInitialState) {
  QtForm1 window;
  EXPECT_TRUE(IsArialOrItsSubstitute(window.font()));
  EXPECT_EQ(window.font().weight(), QFont::Bold);
  EXPECT_DOUBLE_EQ(window.font().pointSizeF(), 9);
  EXPECT_EQ(window.palette().color(QPalette::Window), QColor(Qt::white));
  for (const char* name : {"Frame1", "Frame2", "Option1", "Option2"}) {
    auto* control = window.findChild<QWidget*>(name);
    EXPECT_EQ(control->palette().color(QPalette::Window), QColor(Qt::white)) << name;
    EXPECT_TRUE(control->autoFillBackground()) << name;
    EXPECT_EQ(control->font(), window.font()) << name;
  }
  for (const char* name : {"Text2", "Text3"}) {
    auto* text = window.findChild<QLineEdit*>(name);
    EXPECT_EQ(text->font(), window.font());
    EXPECT_EQ(text->palette().color(QPalette::Base), QApplication::palette().color(QPalette::Base));
    EXPECT_EQ(text->maxLength(), std::numeric_limits<int>::max());
    EXPECT_FALSE(text->isReadOnly());
  }
  for (const char* name : {"PushButton2", "PushButton3", "PushButton7", "PushButton8"}) {
    auto* button = window.findChild<QPushButton*>(name);
    EXPECT_TRUE(IsArialOrItsSubstitute(button->font())) << name;
    EXPECT_DOUBLE_EQ(button->font().pointSizeF(), 11.25) << name;
    EXPECT_EQ(button->font().weight(), QFont::Bold) << name;
    EXPECT_EQ(button->palette().color(QPalette::Button), QColor(Qt::white)) << name;
    EXPECT_EQ(button->palette().color(QPalette::ButtonText),
              QApplication::palette().color(QPalette::ButtonText));
    EXPECT_FALSE(button->isDefault()) << name;
    EXPECT_FALSE(button->autoDefault()) << name;
    EXPECT_FALSE(button->text().contains('&')) << name;
  }
  EXPECT_TRUE(window.findChild<QRadioButton*>("Option1")->isChecked());
  EXPECT_FALSE(window.findChild<QRadioButton*>("Option2")->isChecked());
  EXPECT_NE(window.findChild<QObject*>("CommonDialog1"), nullptr);
  EXPECT_NE(window.findChild<QObject*>("SkinFramework1"), nullptr);
}

TEST(Form1Window, TabOrderFollowsTheTable) {
  QtForm1 window;
  QStringList expected;
  for (const Form1Control& c : kForm1Controls) {
    if (c.kind != ControlKind::kFrame)
      expected << QString::fromLatin1(c.name);
  }
  QStringList order;
  QWidget* at = window.findChild<QWidget*>(expected.front());
  for (qsizetype i = 0; i < expected.size(); ++i) {
    order << at->objectName();
    at = at->nextInFocusChain();
    while (at->focusPolicy() == Qt::NoFocus || at->objectName().isEmpty()) {
      at = at->nextInFocusChain();
    }
  }
  EXPECT_EQ(order, expected);
}

TEST(Form1Window, ListsItsControlsWithTheirKinds) {
  QtForm1 window;
  std::map<std::string, ControlKind> kinds;
  for (const ControlInfo& control : window.Controls())
    kinds[control.name] = control.kind;
  EXPECT_EQ(kinds, (std::map<std::string, ControlKind>{
                       {"Frame1", ControlKind::kFrame},
                       {"Frame2", ControlKind::kFrame},
                       {"Option1", ControlKind::kOptionButton},
                       {"Option2", ControlKind::kOptionButton},
                       {"Text2", ControlKind::kTextBox},
                       {"Text3", ControlKind::kTextBox},
                       {"PushButton2", ControlKind::kPushButton},
                       {"PushButton3", ControlKind::kPushButton},
                       {"PushButton7", ControlKind::kPushButton},
                       {"PushButton8", ControlKind::kPushButton},
                       {"CommonDialog1", ControlKind::kCommonDialog},
                       {"SkinFramework1", ControlKind::kSkinFramework},
                   }));
  EXPECT_THROW(window.SetControlBackColor("Label9", kOleButtonFace), Failure);
}

TEST(Form1Window, ApplicationIconHasFourSizes) {
  QtForm1 window;
  window.SetApplicationIcon();
  EXPECT_EQ(window.windowIcon().availableSizes(),
            (QList<QSize>{QSize(32, 32), QSize(48, 48), QSize(128, 128), QSize(256, 256)}));
}

TEST(Form1Window, OptionsFormOneGroupThatMayHoldNoSelection) {
  QtForm1 window;
  window.SetOption2(true);
  EXPECT_FALSE(window.Option1());
  EXPECT_TRUE(window.Option2());
  window.SetOption2(false);
  EXPECT_FALSE(window.Option1());
  EXPECT_FALSE(window.Option2());
  window.SetOption1(true);
  EXPECT_TRUE(window.Option1());
  EXPECT_FALSE(window.Option2());
}

TEST(OleColour, SystemColoursComeFromThePalette) {
  QPalette palette;
  palette.setColor(QPalette::Button, QColor(1, 2, 3));
  palette.setColor(QPalette::ButtonText, QColor(4, 5, 6));
  EXPECT_EQ(OleColour(kOleButtonFace, palette), QColor(1, 2, 3));
  EXPECT_EQ(OleColour(kOleButtonText, palette), QColor(4, 5, 6));
  EXPECT_EQ(OleColour(0x00FFFFFF, palette), QColor(255, 255, 255));
  EXPECT_EQ(OleColour(0x00332211, palette), QColor(0x11, 0x22, 0x33));
}

// The window wired to the core's handlers, with the settings in a temporary configuration folder.
class WiredWindow : public ::testing::Test {
 protected:
  WiredWindow()
      : settings(config.path()),
        window(programFolder.path().toStdString()),
        form({window, window, skin, openDialog, browser, settings, files, shell, boxes, processes,
              clock, random, outlook, program, sleeper}) {
    window.Connect(form, boxes, [this] { ++closed; });
  }

  QString Stored(const char* key) {
    QSettings ini(settings.FileFor("Dravelkin"), QSettings::IniFormat);
    return ini.value(QStringLiteral("Tarnvex Card Exporter/") + key).toString();
  }

  QWidget* Child(const char* name) { return window.findChild<QWidget*>(name); }

  void MoveOver(const char* name) {
    QWidget* target = name ? Child(name) : &window;
    QMouseEvent move(QEvent::MouseMove, QPointF(3, 3), target->mapToGlobal(QPointF(3, 3)),
                     Qt::NoButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(target, &move);
  }

  testing::QtSandbox config;
  testing::QtSandbox programFolder;
  QtSettingsStore settings;
  QtForm1 window;
  QtSkinEngine skin{window, [this] { return window.WindowHandle(); }};
  fakes::FakeFileOpenDialog openDialog;
  fakes::FakeFolderBrowser browser;
  PosixFileSystem files;
  fakes::FakeShell shell;
  fakes::RecordingMessageBoxes boxes;
  fakes::FakeProcessStarter processes;
  fakes::FakeClock clock;
  fakes::FakeRandom random;
  fakes::FakeOutlook outlook;
  fakes::RecordingProgram program;
  fakes::RecordingSleeper sleeper;
  Form1 form;
  int closed = 0;
};

TEST_F(WiredWindow, FirstStartStoresTheDesktopAndTheOptions) {
  form.Form_Load();
  EXPECT_EQ(window.windowTitle(), "Tarnvex Card Exporter");
  EXPECT_EQ(window.AppTitle(), "Tarnvex Card");
  EXPECT_EQ(window.Text3(), "/home/ann/Desktop/");
  EXPECT_EQ(Stored("Output Folder"), "/home/ann/Desktop/");
  EXPECT_EQ(Stored("Option1"), "True");
  EXPECT_EQ(Stored("Option2"), "False");
  EXPECT_TRUE(boxes.shown.empty());
  // Nothing beside the program: no skin, no hand.
  EXPECT_TRUE(window.styleSheet().isEmpty());
  EXPECT_FALSE(window.HasCustomPointer());
}

TEST_F(WiredWindow, TypingStoresEveryChangeAndKeepsBlanks) {
  auto* text2 = static_cast<QLineEdit*>(Child("Text2"));
  QTest::keyClicks(text2, " /d.pst ");
  EXPECT_EQ(Stored("PST File"), " /d.pst ");
  QTest::keyClick(text2, Qt::Key_Backspace);
  EXPECT_EQ(Stored("PST File"), " /d.pst");
  auto* text3 = static_cast<QLineEdit*>(Child("Text3"));
  text3->setText("/out/");
  text3->clear();
  EXPECT_EQ(Stored("Output Folder"), "");
  QSettings ini(settings.FileFor("Dravelkin"), QSettings::IniFormat);
  EXPECT_TRUE(ini.contains("Tarnvex Card Exporter/Output Folder"));
}

TEST_F(WiredWindow, ClickingAnOptionStoresBoth) {
  QTest::mouseClick(Child("Option2"), Qt::LeftButton);
  EXPECT_TRUE(window.Option2());
  EXPECT_EQ(Stored("Option1"), "False");
  EXPECT_EQ(Stored("Option2"), "True");
  QTest::mouseClick(Child("Option1"), Qt::LeftButton);
  EXPECT_EQ(Stored("Option1"), "True");
  EXPECT_EQ(Stored("Option2"), "False");
}

TEST_F(WiredWindow, RestoreOfBothOptionsFollowsTheStore) {
  settings.Save("Dravelkin", "Tarnvex Card Exporter", "Option1", "True");
  settings.Save("Dravelkin", "Tarnvex Card Exporter", "Option2", "True");
  form.Form_Load();
  EXPECT_FALSE(window.Option1());
  EXPECT_TRUE(window.Option2());
  EXPECT_EQ(Stored("Option1"), "False");
  EXPECT_EQ(Stored("Option2"), "True");
}

TEST_F(WiredWindow, HoverRuleOverButtonsFramesAndOtherControls) {
  MoveOver("PushButton7");
  EXPECT_EQ(window.Pointer(), PointerMode::kCustom);
  MoveOver("Text2");
  MoveOver("Option1");
  EXPECT_EQ(window.Pointer(), PointerMode::kCustom);
  MoveOver("Frame1");
  EXPECT_EQ(window.Pointer(), PointerMode::kDefault);
  MoveOver("PushButton2");
  EXPECT_EQ(window.Pointer(), PointerMode::kCustom);
  MoveOver(nullptr);
  EXPECT_EQ(window.Pointer(), PointerMode::kDefault);
  window.SetPointer(PointerMode::kBusy);
  MoveOver("PushButton8");
  MoveOver("Frame2");
  EXPECT_EQ(window.Pointer(), PointerMode::kBusy);
  EXPECT_EQ(window.CurrentCursor().shape(), Qt::WaitCursor);
}

TEST_F(WiredWindow, HandCursorShowsOnlyInCustomMode) {
  ASSERT_TRUE(QFile::copy(TARNVEX_RESOURCES "/HAND-M.CUR", programFolder.filePath("HAND-M.CUR")));
  form.Form_Load();
  ASSERT_TRUE(window.HasCustomPointer());
  EXPECT_EQ(window.CurrentCursor().shape(), Qt::ArrowCursor);
  MoveOver("PushButton3");
  EXPECT_EQ(window.CurrentCursor().shape(), Qt::BitmapCursor);
  EXPECT_EQ(window.CurrentCursor().pixmap().size(), QSize(32, 32));
  EXPECT_EQ(window.CurrentCursor().hotSpot(), QPoint(7, 0));
  MoveOver("Frame2");
  EXPECT_EQ(window.CurrentCursor().shape(), Qt::ArrowCursor);
}

TEST_F(WiredWindow, WithoutACursorFileCustomModeShowsTheArrow) {
  MoveOver("PushButton3");
  EXPECT_EQ(window.Pointer(), PointerMode::kCustom);
  EXPECT_EQ(window.CurrentCursor().shape(), Qt::ArrowCursor);
}

TEST_F(WiredWindow, ACursorFileThatIsNoPictureIsReportedWithLine108) {
  QFile broken(programFolder.filePath("HAND-M.CUR"));
  ASSERT_TRUE(broken.open(QIODevice::WriteOnly));
  broken.write("not a cursor");
  broken.close();
  form.Form_Load();
  EXPECT_THAT(boxes.ReportedLines(), ::testing::ElementsAre(108));
  EXPECT_NE(boxes.shown[0].text.find(programFolder.filePath("HAND-M.CUR").toStdString()),
            std::string::npos);
  EXPECT_FALSE(window.HasCustomPointer());
}

TEST_F(WiredWindow, SkinFileRecoloursAndSkinsTheWindow) {
  ASSERT_TRUE(QDir(programFolder.path()).mkdir("x"));
  ASSERT_TRUE(QFile::copy(TARNVEX_RESOURCES "/x/o.cjs", programFolder.filePath("x/o.cjs")));
  form.Form_Load();
  EXPECT_TRUE(boxes.shown.empty());
  const QColor face = QApplication::palette().color(QPalette::Button);
  EXPECT_EQ(window.palette().color(QPalette::Window), face);
  for (const char* name : {"Frame1", "Frame2", "Option1", "Option2"}) {
    EXPECT_EQ(Child(name)->palette().color(QPalette::Window), face) << name;
  }
  for (const char* name : {"PushButton2", "PushButton3", "PushButton7", "PushButton8"}) {
    EXPECT_EQ(static_cast<QPushButton*>(Child(name))->palette().color(QPalette::Button),
              QColor(Qt::white))
        << name;
  }
  QFile sheet(TARNVEX_RESOURCES "/x/o.cjs");
  ASSERT_TRUE(sheet.open(QIODevice::ReadOnly | QIODevice::Text));
  EXPECT_EQ(window.styleSheet(), QString::fromUtf8(sheet.readAll()));
  EXPECT_TRUE(skin.Applied());
  EXPECT_EQ(std::get<int32_t>(skin.GetProperty(kSkinOptions)), 1);
}

TEST_F(WiredWindow, AFolderNamedLikeTheSkinIsNoSkin) {
  ASSERT_TRUE(QDir(programFolder.path()).mkpath("x/o.cjs"));
  form.Form_Load();
  EXPECT_TRUE(boxes.shown.empty());
  EXPECT_EQ(window.palette().color(QPalette::Window), QColor(Qt::white));
  EXPECT_FALSE(skin.LoadedSkin().has_value());
}

TEST_F(WiredWindow, ClosingTheWindowEndsTheProgram) {
  window.show();
  window.close();
  EXPECT_EQ(closed, 1);
}

TEST_F(WiredWindow, AFailureEscapingAHandlerIsShownNotThrown) {
  // The settings folder is a file, so no value can be stored.
  QFile blocker(config.filePath("blocked"));
  ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
  blocker.close();
  QtSettingsStore blocked(config.filePath("blocked"));
  Form1 failing({window, window, skin, openDialog, browser, blocked, files, shell, boxes, processes,
                 clock, random, outlook, program, sleeper});
  QtForm1 other(programFolder.path().toStdString());
  other.Connect(failing, boxes, [] {});
  QTest::keyClicks(other.findChild<QLineEdit*>("Text2"), "abc");
  ASSERT_EQ(boxes.shown.size(), 1u);
  EXPECT_NE(boxes.shown[0].text.find("PST File"), std::string::npos);
  EXPECT_NE(boxes.shown[0].text.find(config.filePath("blocked").toStdString()), std::string::npos);
}

// --- the skin engine on its own -------------------------------------------------------------

TEST(QtSkinEngine, RefusesWhatItCannotDo) {
  QtForm1 window;
  QtSkinEngine skin(window, [&window] { return window.WindowHandle(); });
  EXPECT_THROW(skin.Invoke(kSkinApplyWindow, {window.WindowHandle()}), Failure);  // no skin yet
  try {
    skin.Invoke(kSkinLoadSkin, {std::string("/no/such/o.cjs"), std::string()});
    ADD_FAILURE();
  } catch (const Failure& failure) {
    EXPECT_NE(std::string(failure.what()).find("/no/such/o.cjs"), std::string::npos);
  }
  EXPECT_THROW(skin.Invoke(kSkinLoadSkin, {int32_t{1}}), Failure);
  EXPECT_THROW(skin.Invoke(99, {}), Failure);
  EXPECT_THROW(skin.GetProperty(99), Failure);
  EXPECT_THROW(skin.SetProperty(kSkinOptions, std::string("x")), Failure);
  skin.Invoke(kSkinLoadSkin, {std::string(TARNVEX_RESOURCES "/x/o.cjs"), std::string()});
  EXPECT_THROW(skin.Invoke(kSkinApplyWindow, {window.WindowHandle() + 1}), Failure);
  EXPECT_TRUE(window.styleSheet().isEmpty());
  skin.SetProperty(kSkinApplyOptions, true);
  EXPECT_EQ(std::get<bool>(skin.GetProperty(kSkinApplyOptions)), true);
  skin.Invoke(kSkinApplyWindow, {window.WindowHandle()});
  EXPECT_FALSE(window.styleSheet().isEmpty());
}

}  // namespace
}  // namespace tarnvex
