// The Qt services behind the window: settings file, folder browser, file-open dialog, message
// boxes and process start.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <functional>

#include <QDialogButtonBox>
#include <QFile>
#include <QFileDialog>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>

#include <QTreeView>

#include "dialogs/add_folder.h"
#include "platform/failure.h"
#include "platform/qt/qt_file_open_dialog.h"
#include "platform/qt/qt_folder_browser.h"
#include "platform/qt/qt_message_boxes.h"
#include "platform/qt/qt_services.h"
#include "platform/qt/qt_settings_store.h"
#include "tests/platform/qt/modal.h"
#include "tests/sandbox/qt_sandbox.h"

namespace tarnvex {
namespace {

using tarnvex::testing::WhenModal;

constexpr const char* kApp = "Dravelkin";
constexpr const char* kSection = "Tarnvex Card Exporter";

// --- settings store -------------------------------------------------------------------------

class SettingsValues : public ::testing::TestWithParam<std::string> {};

TEST_P(SettingsValues, ComeBackExactlyFromTheFile) {
  testing::QtSandbox config;
  QtSettingsStore(config.path()).Save(kApp, kSection, "PST File", GetParam());
  // A store made afresh reads the file, not a copy in memory.
  EXPECT_EQ(QtSettingsStore(config.path()).Get(kApp, kSection, "PST File", "default"), GetParam());
}

INSTANTIATE_TEST_SUITE_P(QtSettingsStore, SettingsValues,
                         ::testing::Values("", "True", "  blanks around  ", "/a,b/c.pst", "a;b=c#d",
                                           "\"quoted\"", "C:\\Mail\\old.pst", "@Invalid()", "@@",
                                           "Müller Çağ ☎", "tab\there", "line\nbreak", "[section]",
                                           "%20"));

TEST(QtSettingsStore, AbsentKeysGiveTheDefaultAndEmptyValuesStayEmpty) {
  testing::QtSandbox config;
  QtSettingsStore store(config.path());
  EXPECT_EQ(store.Get(kApp, kSection, "Option1", "1"), "1");
  store.Save(kApp, kSection, "Output Folder", "");
  EXPECT_EQ(store.Get(kApp, kSection, "Output Folder", "/home/ann/Desktop/"), "");
  EXPECT_EQ(store.Get(kApp, "Another Section", "Output Folder", "x"), "x");
}

// Which folder is the configuration folder is decided once for the whole program
// (platform/posix/user_folders.h, tested there); the store keeps its files in the folder given.
TEST(QtSettingsStore, KeepsOneFilePerApplicationInTheConfigurationFolder) {
  testing::QtSandbox config;
  QtSettingsStore store(config.path());
  store.Save(kApp, kSection, "Option1", "True");
  const QString file = config.filePath("Dravelkin.ini");
  EXPECT_EQ(store.FileFor(kApp), file);
  // Written through at once.
  QFile ini(file);
  ASSERT_TRUE(ini.open(QIODevice::ReadOnly | QIODevice::Text));
  const QString text = QString::fromUtf8(ini.readAll());
  EXPECT_TRUE(text.contains("[Tarnvex%20Card%20Exporter]")) << text.toStdString();
  EXPECT_TRUE(text.contains("Option1=True")) << text.toStdString();
}

TEST(QtSettingsStore, WithoutAConfigurationFolderKeysAreAbsentAndWritesFailSayingWhy) {
  QtSettingsStore store{QString()};
  EXPECT_EQ(store.FileFor(kApp), QString());
  EXPECT_EQ(store.Get(kApp, kSection, "Option1", "True"), "True");
  try {
    store.Save(kApp, kSection, "Option1", "False");
    ADD_FAILURE() << "no failure";
  } catch (const Failure& failure) {
    EXPECT_THAT(failure.what(), ::testing::HasSubstr("\"Option1\""));
    EXPECT_THAT(failure.what(), ::testing::HasSubstr("no configuration folder"));
  }
}

TEST(QtSettingsStore, CreatesTheConfigurationFolder) {
  testing::QtSandbox config;
  QtSettingsStore store(config.filePath("deeper/still"));
  store.Save(kApp, kSection, "LastFolderDot", "/srv");
  EXPECT_TRUE(QFile::exists(config.filePath("deeper/still/Dravelkin.ini")));
}

TEST(QtSettingsStore, AWriteThatFailsRaisesAFailureNamingTheFile) {
  testing::QtSandbox config;
  // The configuration folder is a file.
  QFile blocker(config.filePath("file"));
  ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
  blocker.close();
  QtSettingsStore underFile(config.filePath("file"));
  try {
    underFile.Save(kApp, kSection, "PST File", "x");
    ADD_FAILURE() << "no failure";
  } catch (const Failure& failure) {
    EXPECT_THAT(failure.what(), ::testing::HasSubstr("\"PST File\""));
    EXPECT_THAT(failure.what(), ::testing::HasSubstr(config.filePath("file").toStdString()));
  }
  // The settings file itself is a folder.
  ASSERT_TRUE(QDir(config.path()).mkpath("other/Dravelkin.ini"));
  QtSettingsStore underFolder(config.filePath("other"));
  EXPECT_THROW(underFolder.Save(kApp, kSection, "PST File", "x"), Failure);
}

// Only a regular settings file of sensible size is read or written: a FIFO would block the
// window, a device would never end. The suite's time-out turns a hang into a failure.
TEST(QtSettingsStore, WhatIsNoRegularSettingsFileIsRefusedNamingTheFile) {
  const struct {
    const char* name;
    std::function<void(const QString& file)> make;
    const char* reason;
  } cases[] = {
      {"fifo", [](const QString& f) { ASSERT_EQ(::mkfifo(f.toLocal8Bit().constData(), 0600), 0); },
       "it is not a regular file"},
      {"device", [](const QString& f) { QFile::link("/dev/zero", f); }, "it is not a regular file"},
      {"folder", [](const QString& f) { QDir().mkpath(f); }, "it is a folder"},
      {"huge",
       [](const QString& f) {
         QFile file(f);
         ASSERT_TRUE(file.open(QIODevice::WriteOnly));
         file.write(QByteArray(1024 * 1024 + 1, 'x'));
       },
       "it is larger than 1048576 bytes"},
  };
  for (const auto& c : cases) {
    testing::QtSandbox config;
    QtSettingsStore store(config.path());
    const QString file = store.FileFor(kApp);
    c.make(file);
    for (const bool write : {false, true}) {
      try {
        if (write)
          store.Save(kApp, kSection, "Option1", "True");
        else
          store.Get(kApp, kSection, "Option1", "True");
        ADD_FAILURE() << c.name << ": no failure";
      } catch (const Failure& failure) {
        EXPECT_THAT(failure.what(), ::testing::HasSubstr(file.toStdString())) << c.name;
        EXPECT_THAT(failure.what(), ::testing::HasSubstr(c.reason)) << c.name;
      }
    }
  }
}

// A binary file is read as well as QSettings can, never a crash: unknown keys are absent.
TEST(QtSettingsStore, ABinaryFileGivesDefaults) {
  testing::QtSandbox config;
  QtSettingsStore store(config.path());
  QFile file(store.FileFor(kApp));
  ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  static constexpr char kBinary[] = "\0\xff\x01[\x80=\n\xfe";
  file.write(QByteArray(kBinary, sizeof kBinary - 1));
  file.close();
  EXPECT_EQ(store.Get(kApp, kSection, "Option1", "True"), "True");
}

// --- folder browser ---------------------------------------------------------------------------

class FolderBrowser : public ::testing::Test {
 protected:
  FolderBrowser() {
    QDir(folders.path()).mkpath("cards/2024");
    QFile(folders.filePath("a-file")).open(QIODevice::WriteOnly);
  }
  QString Path(const char* name) const { return folders.filePath(name); }
  testing::QtSandbox folders;
  QtFolderBrowser browser;
};

TEST_F(FolderBrowser, OpensAtTheInitialFolderAndShowsItsPath) {
  WhenModal<FolderBrowserWindow>([this](FolderBrowserWindow& window) {
    EXPECT_EQ(window.Prompt(), "Please select folder:");
    EXPECT_EQ(window.SelectedPath(), Path("cards").toStdString());
    EXPECT_EQ(window.StatusText(), Path("cards"));
    EXPECT_TRUE(window.isModal());
    window.accept();
  });
  EXPECT_EQ(BrowseForFolder(browser, 0, kBrowsePrompt, Path("cards").toStdString()),
            Path("cards").toStdString());
}

TEST_F(FolderBrowser, FallsBackToItsDefaultWhenTheFolderIsMissing) {
  for (const QString& initial : {Path("gone"), QString(), Path("a-file")}) {
    WhenModal<FolderBrowserWindow>([](FolderBrowserWindow& window) {
      EXPECT_EQ(window.SelectedPath(), QDir::homePath().toStdString());
      window.reject();
    });
    EXPECT_EQ(BrowseForFolder(browser, 0, kBrowsePrompt, initial.toStdString()), "");
  }
}

TEST_F(FolderBrowser, TheStatusLineFollowsTheSelection) {
  WhenModal<FolderBrowserWindow>([this](FolderBrowserWindow& window) {
    window.SendMessage(kBffmSetSelection, 1, Path("cards/2024").toStdString());
    EXPECT_EQ(window.StatusText(), Path("cards/2024"));
    window.accept();
  });
  EXPECT_EQ(BrowseForFolder(browser, 0, kBrowsePrompt, Path("cards").toStdString()),
            Path("cards/2024").toStdString());
}

TEST_F(FolderBrowser, TheRootStaysASingleSlash) {
  WhenModal<FolderBrowserWindow>([](FolderBrowserWindow& window) {
    window.SendMessage(kBffmSetSelection, 1, "/");
    window.accept();
  });
  EXPECT_EQ(BrowseForFolder(browser, 0, kBrowsePrompt, ""), "/");
}

TEST_F(FolderBrowser, OkNeedsASelectedFolder) {
  BrowseRequest request;
  request.title = kBrowsePrompt;
  FolderBrowserWindow window(request, {});
  auto* ok = window.findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok);
  EXPECT_FALSE(ok->isEnabled());
  window.Start();
  EXPECT_TRUE(ok->isEnabled());
  // Files are not shown, so they cannot be selected.
  window.SendMessage(kBffmSetSelection, 1, Path("a-file").toStdString());
  EXPECT_EQ(window.SelectedPath(), QDir::homePath().toStdString());
}

// --- file-open dialog -------------------------------------------------------------------------

TEST(QtNameFilters, TurnsBarListsIntoQtFilters) {
  EXPECT_EQ(QtNameFilters("All PST Files (*.pst)|*.pst|"), "All PST Files (*.pst)");
  EXPECT_EQ(QtNameFilters("Outlook data|*.pst;*.ost"), "Outlook data (*.pst *.ost)");
  EXPECT_EQ(QtNameFilters("PST (*.pst)|*.pst|All files (*.*)|*.*|"),
            "PST (*.pst);;All files (*.*)");
  EXPECT_EQ(QtNameFilters(""), "");
  EXPECT_THROW(QtNameFilters("Only a description"), Failure);
}

TEST(QtFileOpenDialog, ShowsTitleAndFilterAndGivesThePickedPath) {
  testing::QtSandbox folder;
  const QString pst = folder.filePath("mail.pst");
  QFile(pst).open(QIODevice::WriteOnly);
  QtFileOpenDialog dialog;
  dialog.SetFileName("");
  dialog.SetDialogTitle("Select PST File");
  dialog.SetFilter("All PST Files (*.pst)|*.pst|");
  WhenModal<QFileDialog>([&pst](QFileDialog& window) {
    EXPECT_EQ(window.windowTitle(), "Select PST File");
    EXPECT_EQ(window.nameFilters(), QStringList{"All PST Files (*.pst)"});
    EXPECT_EQ(window.fileMode(), QFileDialog::ExistingFile);
    window.selectFile(pst);
    static_cast<QDialog&>(window).accept();
  });
  dialog.ShowOpen();
  EXPECT_EQ(dialog.FileName(), pst.toStdString());
}

TEST(QtFileOpenDialog, CancelLeavesTheFileName) {
  QtFileOpenDialog dialog;
  dialog.SetFileName("");
  WhenModal<QFileDialog>([](QFileDialog& window) { window.reject(); });
  dialog.ShowOpen();
  EXPECT_EQ(dialog.FileName(), "");
}

// --- message boxes ----------------------------------------------------------------------------

TEST(QtMessageBoxes, ShowCaptionIconAndOneOkButton) {
  QtMessageBoxes boxes;
  WhenModal<QMessageBox>([](QMessageBox& box) {
    EXPECT_EQ(box.windowTitle(), "Application Error");
    EXPECT_EQ(box.icon(), QMessageBox::Warning);
    EXPECT_EQ(box.text(), "Disk full\nin tag at line 104\n\nPlease email");
    EXPECT_EQ(box.buttons().size(), 1);
    EXPECT_EQ(box.standardButton(box.defaultButton()), QMessageBox::Ok);
    box.defaultButton()->click();
  });
  boxes.Show("Disk full\r\nin tag at line 104\r\rPlease email", "Application Error",
             MessageIcon::kWarning);
  WhenModal<QMessageBox>([](QMessageBox& box) {
    EXPECT_EQ(box.windowTitle(), "Tarnvex Card");
    EXPECT_EQ(box.icon(), QMessageBox::NoIcon);
    EXPECT_EQ(box.textFormat(), Qt::PlainText);
    box.accept();
  });
  boxes.Show("<b>Done.</b>", "Tarnvex Card", MessageIcon::kNone);
}

TEST(MessageBoxText, TurnsCrLfAndLoneCrIntoLineBreaks) {
  EXPECT_EQ(MessageBoxText("a\r\n\r\nb"), "a\n\nb");
  EXPECT_EQ(MessageBoxText("a\r\rb"), "a\n\nb");
  EXPECT_EQ(MessageBoxText("a\nb"), "a\nb");
}

// --- process start ----------------------------------------------------------------------

TEST(SplitCommandLine, QuotesGroupWordsAndAreDropped) {
  EXPECT_EQ(SplitCommandLine("explorer \"https://tarnvex.example/\""),
            (QStringList{"explorer", "https://tarnvex.example/"}));
  EXPECT_EQ(SplitCommandLine("  a  \"b c\"d \"\" "), (QStringList{"a", "b cd", ""}));
  EXPECT_TRUE(SplitCommandLine("   ").isEmpty());
}

TEST(QtProcessStarter, FailsClearlyWhenTheProgramCannotStart) {
  QtProcessStarter starter;
  EXPECT_THROW(starter.Start("", WindowState::kMinimizedFocus), Failure);
  try {
    starter.Start("/no/such/program \"x\"", WindowState::kNormalFocus);
    ADD_FAILURE() << "no failure";
  } catch (const Failure& failure) {
    EXPECT_THAT(failure.what(), ::testing::HasSubstr("/no/such/program"));
  }
}

}  // namespace
}  // namespace tarnvex
