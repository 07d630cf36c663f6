// The window's composition place on Linux: the Qt window and its dialogs, the POSIX file system
// and user folders, the standard library's clock, random source and pauses, and the Outlook
// stand-in over PST files.

#include <cstdlib>
#include <iostream>
#include <optional>
#include <string>

#include "app/form1.h"
#include "gui/window_program.h"
#include "platform/posix/iconv_code_pages.h"
#include "platform/posix/posix_file_access.h"
#include "platform/posix/posix_file_system.h"
#include "platform/posix/safe_write.h"
#include "platform/posix/user_folders.h"
#include "platform/posix/xdg_shell.h"
#include "platform/qt/qt_file_open_dialog.h"
#include "platform/qt/qt_folder_browser.h"
#include "platform/qt/qt_form1.h"
#include "platform/qt/qt_message_boxes.h"
#include "platform/qt/qt_services.h"
#include "platform/qt/qt_settings_store.h"
#include "platform/qt/qt_skin_engine.h"
#include "platform/standin/profile.h"
#include "platform/standin/pst_outlook.h"
#include "platform/std/std_services.h"

namespace tarnvex {
namespace {

std::string ProfilePath() {
  return standin::ProfilePathFromEnvironment(ConfigFolder());
}

}  // namespace

int RunWindowProgram(QApplication& application) {
  // Closing the window ends the program through QtProgram, whatever else is open.
  application.setQuitOnLastWindowClosed(false);
  application.setWindowIcon(QIcon(QStringLiteral(":/tarnvex/tarnvex-card-exporter-256.png")));

  // Without a configuration folder nothing is stored: the window says so at the first write.
  QtSettingsStore settings(QString::fromStdString(ConfigFolder().value_or("")));
  PosixFileSystem files;
  XdgShell shell;
  PosixFileAccess wholeFiles;
  PosixAtomicFileWriter cardWriter;
  IconvCodePages codePages;
  // The code page of 8-bit text comes from the data file, else the profile's "Codepage" key; text
  // that does not decode is said once, on standard error.
  standin::PstOutlookOptions standIn{standin::VCardVersion::k21, std::nullopt, ProfilePath()};
  standIn.warn = [](const std::string& warning) {
    std::cerr << "tarnvex-card-exporter: warning: " << warning << "\n";
  };
  const std::unique_ptr<OutlookAutomation> outlook =
      standin::MakePstOutlook(std::move(standIn), {cardWriter, wholeFiles, &codePages});
  QtMessageBoxes boxes;
  QtFolderBrowser folderBrowser;
  QtProcessStarter processes;
  SystemClock clock;
  MersenneRandom random;
  QtProgram program;
  ThreadSleeper sleeper;

  QtForm1 window;
  QtFileOpenDialog openDialog(&window);
  QtSkinEngine skin(window, [&window] { return window.WindowHandle(); });
  Form1 form({window, window, skin, openDialog, folderBrowser, settings, files, shell, boxes,
              processes, clock, random, *outlook, program, sleeper});
  boxes.SetWindow(&window);
  window.Connect(form, boxes, [&program] { program.End(); });

  form.Form_Load();
  if (program.Ended())
    return 0;
  window.ShowCentred();
  return application.exec();
}

}  // namespace tarnvex
