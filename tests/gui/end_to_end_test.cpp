// The window program as the executable runs it (real settings file, real PST stand-in, real
// dialogs and message boxes), on PST files written by the project's PST writer: the test types
// into the window, clicks "Start Exporting", answers the message boxes and closes the window.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QSettings>

#include <QTest>
#include <QTimer>

#include "gui/window_program.h"
#include "tests/sandbox/qt_sandbox.h"
#include "tests/support/posix_pst_outlook.h"

namespace tarnvex {
namespace {

constexpr const char* kContactsJson = R"({
  "store": "Ann's cards",
  "folders": [
    {"name": "Contacts", "class": "IPF.Contact", "defaultContacts": true, "items": [
      {"properties": {"PidLidFileUnder": "Arbor, Ann", "PidTagSurname": "Arbor",
                      "PidTagGivenName": "Ann", "PidTagDisplayName": "Ann Arbor"}},
      {"properties": {"PidLidFileUnder": "Brown: Bob", "PidTagSurname": "Brown",
                      "PidTagGivenName": "Bob", "PidTagDisplayName": "Bob Brown"}}
    ]}
  ]
})";

struct Shown {
  QString caption;
  QString text;
};

class EndToEnd : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(root.isValid());
    for (const char* folder : {"home/Desktop", "config", "bin", "out"}) {
      ASSERT_TRUE(QDir(root.path()).mkpath(folder));
    }
    // The rare home-page start opens nothing here.
    QFile opener(Path("bin/xdg-open"));
    ASSERT_TRUE(opener.open(QIODevice::WriteOnly));
    opener.write("#!/bin/sh\nexit 0\n");
    opener.close();
    opener.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);

    qputenv("HOME", Path("home").toUtf8());
    qputenv("XDG_CONFIG_HOME", Path("config").toUtf8());
    qputenv("TARNVEX_OUTLOOK_PROFILE", Path("config/profile.ini").toUtf8());
    qputenv("PATH", (Path("bin") + ":" + qEnvironmentVariable("PATH")).toUtf8());

    QFile json(Path("store.json"));
    ASSERT_TRUE(json.open(QIODevice::WriteOnly));
    json.write(kContactsJson);
    json.close();
    QProcess pstgen;
    pstgen.start(TARNVEX_PSTGEN, {"--json", Path("store.json"), "--out", Path("cards.pst")});
    ASSERT_TRUE(pstgen.waitForFinished(-1));
    ASSERT_EQ(pstgen.exitCode(), 0) << pstgen.readAllStandardError().toStdString();
  }

  QString Path(const QString& name) const { return root.filePath(name); }

  // Runs the window program; drive() runs once the window is shown, every message box is
  // answered with OK and recorded, and the window is closed after drive().
  int Run(std::function<void(QWidget&)> drive) {
    QTimer answering;
    QObject::connect(&answering, &QTimer::timeout, [this] {
      if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
        shown.push_back({box->windowTitle(), box->text()});
        box->accept();
      }
    });
    answering.start(10);
    QTimer::singleShot(0, [drive] {
      QWidget* form = nullptr;
      for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (widget->objectName() == "Form1" && widget->isVisible())
          form = widget;
      }
      if (!form) {
        ADD_FAILURE() << "the window is not shown";
        QCoreApplication::exit(1);
        return;
      }
      drive(*form);
      form->close();
    });
    auto* application = static_cast<QApplication*>(QCoreApplication::instance());
    return RunWindowProgram(*application);
  }

  QString Stored(const char* key) {
    QSettings ini(Path("config/Dravelkin.ini"), QSettings::IniFormat);
    return ini.value(QStringLiteral("Tarnvex Card Exporter/") + key, "(absent)").toString();
  }

  static void Type(QWidget& form, const char* box, const QString& text) {
    auto* edit = form.findChild<QLineEdit*>(box);
    edit->selectAll();
    QTest::keyClick(edit, Qt::Key_Delete);
    QTest::keyClicks(edit, text);
  }

  QStringList Cards() const {
    return QDir(Path("out")).entryList({"*.vcf"}, QDir::Files, QDir::Name);
  }

  testing::QtSandbox root;
  std::vector<Shown> shown;
};

TEST_F(EndToEnd, ExportsTheDefaultProfilesContacts) {
  standin::SetDefaultStore(Path("config/profile.ini").toStdString(),
                           Path("cards.pst").toStdString());
  const int exitCode = Run([this](QWidget& form) {
    // The first start put the desktop folder into the output folder box.
    EXPECT_EQ(form.findChild<QLineEdit*>("Text3")->text(), Path("home/Desktop") + "/");
    Type(form, "Text3", Path("out") + "/");
    QTest::mouseClick(form.findChild<QPushButton*>("PushButton3"), Qt::LeftButton);
  });
  EXPECT_EQ(exitCode, 0);
  ASSERT_FALSE(shown.empty());
  EXPECT_EQ(shown.back().caption, "Tarnvex Card");
  EXPECT_EQ(shown.back().text, "Done.");
  EXPECT_EQ(Cards(), (QStringList{"Arbor, Ann.vcf", "Brown Bob.vcf"}));
  QFile card(Path("out/Arbor, Ann.vcf"));
  ASSERT_TRUE(card.open(QIODevice::ReadOnly));
  const QByteArray text = card.readAll();
  EXPECT_TRUE(text.startsWith("BEGIN:VCARD")) << text.toStdString();
  EXPECT_TRUE(text.contains("Arbor")) << text.toStdString();
  EXPECT_EQ(Stored("Output Folder"), Path("out") + "/");
  EXPECT_EQ(Stored("Option1"), "True");
  EXPECT_EQ(Stored("Option2"), "False");
  EXPECT_EQ(Stored("PST File"), "(absent)");
}

TEST_F(EndToEnd, ExportsANamedPstFileAndRemembersTheChoices) {
  // No default store: only the PST named in the window is read.
  const int exitCode = Run([this](QWidget& form) {
    QTest::mouseClick(form.findChild<QRadioButton*>("Option2"), Qt::LeftButton);
    Type(form, "Text2", Path("cards.pst"));
    Type(form, "Text3", Path("out"));
    QTest::keyClicks(form.findChild<QLineEdit*>("Text3"), "/");
    QTest::mouseClick(form.findChild<QPushButton*>("PushButton3"), Qt::LeftButton);
  });
  EXPECT_EQ(exitCode, 0);
  ASSERT_FALSE(shown.empty());
  EXPECT_EQ(shown.back().text, "Done.");
  EXPECT_EQ(Cards(), (QStringList{"Arbor, Ann.vcf", "Brown Bob.vcf"}));
  EXPECT_EQ(Stored("Option1"), "False");
  EXPECT_EQ(Stored("Option2"), "True");
  EXPECT_EQ(Stored("PST File"), Path("cards.pst"));
  EXPECT_EQ(Stored("Output Folder"), Path("out") + "/");

  // The next start shows the same state again.
  shown.clear();
  Run([this](QWidget& form) {
    EXPECT_TRUE(form.findChild<QRadioButton*>("Option2")->isChecked());
    EXPECT_FALSE(form.findChild<QRadioButton*>("Option1")->isChecked());
    EXPECT_EQ(form.findChild<QLineEdit*>("Text2")->text(), Path("cards.pst"));
    EXPECT_EQ(form.findChild<QLineEdit*>("Text3")->text(), Path("out") + "/");
  });
  EXPECT_TRUE(shown.empty());
}

// The executable itself, started as a person starts it: the first start stores the defaults.
TEST_F(EndToEnd, TheExecutableStoresTheDefaultsAtItsFirstStart) {
  QProcess program;
  program.setProcessEnvironment(QProcessEnvironment::systemEnvironment());
  program.start(TARNVEX_CARD_EXPORTER, {});
  ASSERT_TRUE(program.waitForStarted(-1));
  // Start-up has run once the last option is stored; the program then waits in its window.
  for (int i = 0; i < 600 && Stored("Option2") == "(absent)"; ++i) {
    ASSERT_FALSE(program.waitForFinished(100)) << program.readAllStandardError().toStdString();
  }
  EXPECT_EQ(program.state(), QProcess::Running);
  program.kill();
  program.waitForFinished(-1);
  EXPECT_EQ(Stored("Output Folder"), Path("home/Desktop") + "/");
  EXPECT_EQ(Stored("Option1"), "True");
  EXPECT_EQ(Stored("Option2"), "False");
  EXPECT_EQ(Stored("PST File"), "(absent)");
}

}  // namespace
}  // namespace tarnvex
