// The window's composition place on Windows: the native Win32 window and its dialogs, the
// registry settings store, the wide-API file system, the shell's folders, the standard library's
// clock, random source and pauses, and the Outlook the window drives (MakeWindowOutlook).

#include <memory>

#include "app/form1.h"
#include "gui/window_program_win32.h"
#include "platform/std/std_services.h"
#include "platform/win32/com_outlook.h"
#include "platform/win32/registry_settings_store.h"
#include "platform/win32/win32_dialogs.h"
#include "platform/win32/win32_file_system.h"
#include "platform/win32/win32_form1.h"
#include "platform/win32/win32_message_boxes.h"
#include "platform/win32/win32_process_starter.h"
#include "platform/win32/win32_shell.h"
#include "platform/win32/win32_skin_engine.h"

namespace tarnvex {
namespace {

// The one place that picks the Outlook the window drives: the user's Outlook through late-bound
// automation, as the command line uses it.
std::unique_ptr<OutlookAutomation> MakeWindowOutlook() {
  return MakeComOutlook();
}

}  // namespace

int RunWindowProgram() {
  RegistrySettingsStore settings;
  Win32FileSystem files;
  Win32Shell shell;
  const std::unique_ptr<OutlookAutomation> outlook = MakeWindowOutlook();
  Win32MessageBoxes boxes;
  Win32FolderBrowser folderBrowser;
  Win32ProcessStarter processes;
  SystemClock clock;
  MersenneRandom random;
  Win32Program program;
  ThreadSleeper sleeper;

  Win32Form1 window;
  Win32FileOpenDialog openDialog([&window] { return window.Hwnd(); });
  Win32SkinEngine skin(window);
  Form1 form({window, window, skin, openDialog, folderBrowser, settings, files, shell, boxes,
              processes, clock, random, *outlook, program, sleeper});
  boxes.SetOwner(window.Hwnd());
  // Closing the window ends the program at once, whatever else is open.
  window.Connect(form, boxes, [&program] { program.End(); });

  form.Form_Load();
  if (program.Ended())
    return 0;
  window.ShowCentred();
  program.Running();
  return RunMessageLoop(window);
}

}  // namespace tarnvex
