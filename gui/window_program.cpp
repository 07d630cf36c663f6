#include "gui/window_program.h"

#include "app/form1.h"
#include "platform/posix/posix_file_system.h"
#include "platform/posix/xdg_shell.h"
#include "platform/qt/qt_file_open_dialog.h"
#include "platform/qt/qt_folder_browser.h"
#include "platform/qt/qt_form1.h"
#include "platform/qt/qt_message_boxes.h"
#include "platform/qt/qt_services.h"
#include "platform/qt/qt_settings_store.h"
#include "platform/qt/qt_skin_engine.h"
#include "platform/std/std_services.h"

namespace tarnvex {

int RunWindowProgram(QApplication& application, OutlookAutomation& outlook) {
  // Closing the window ends the program through QtProgram, whatever else is open.
  application.setQuitOnLastWindowClosed(false);
  application.setWindowIcon(QIcon(QStringLiteral(":/tarnvex/tarnvex-card-exporter-256.png")));

  QtSettingsStore settings;
  PosixFileSystem files;
  XdgShell shell;
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
              processes, clock, random, outlook, program, sleeper});
  boxes.SetWindow(&window);
  window.Connect(form, boxes, [&program] { program.End(); });

  form.Form_Load();
  if (program.Ended())
    return 0;
  window.ShowCentred();
  return application.exec();
}

}  // namespace tarnvex
