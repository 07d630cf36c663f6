#pragma once

// The main window's handlers. The window calls them for its events; they reach the window's
// controls through Form1View and everything else through the platform interfaces.

#include <map>
#include <string>

#include "platform/file_open_dialog.h"
#include "platform/file_system.h"
#include "platform/folder_browser.h"
#include "platform/form1_view.h"
#include "platform/message_boxes.h"
#include "platform/outlook.h"
#include "platform/process_starter.h"
#include "platform/program.h"
#include "platform/random.h"
#include "platform/settings_store.h"
#include "platform/shell.h"
#include "platform/skin_engine.h"
#include "platform/sleeper.h"
#include "platform/window_services.h"

namespace tarnvex {

// Settings keys.
inline constexpr const char* kKeyOption1 = "Option1";
inline constexpr const char* kKeyOption2 = "Option2";
inline constexpr const char* kKeyPstFile = "PST File";
inline constexpr const char* kKeyOutputFolder = "Output Folder";
inline constexpr const char* kKeyLastFolder = "LastFolderDot";

inline constexpr const char* kPickerTitle = "Select PST File";
inline constexpr const char* kPickerFilter = "All PST Files (*.pst)|*.pst|";

// Everything the handlers use besides the controls. The window owns the dialogs and the skin
// engine; the rest belongs to the program. All must outlive the Form1.
struct Form1Services {
  Form1View& view;
  WindowServices& window;
  SkinEngine& skin;            // SkinFramework1
  FileOpenDialog& openDialog;  // CommonDialog1
  FolderBrowser& folderBrowser;
  SettingsStore& settings;
  FileSystem& files;
  Shell& shell;
  MessageBoxes& boxes;
  ProcessStarter& processes;
  Clock& clock;
  RandomSource& random;
  OutlookAutomation& outlook;
  Program& program;
  Sleeper& sleeper;
};

class Form1 : public Form1Events {
 public:
  explicit Form1(const Form1Services& services);

  // The start-up sequence, run once before the window is first shown.
  void Form_Load();

  void Option1_Click() override;
  void Option2_Click() override;
  void Text2_Change() override;
  void Text3_Change() override;

  void PushButton2_Click() override;  // output folder browser
  void PushButton3_Click() override;  // Start Exporting
  void PushButton7_Click() override;  // Help
  void PushButton8_Click() override;  // PST file picker

  // Mouse moves over any push button, and over the window's background or a frame.
  void PushButton_MouseMove() override;
  void Background_MouseMove() override;

  // The folder last chosen in the browser during this run.
  const std::string& RememberedFolder() const { return rememberedFolder_; }

 private:
  std::string Get(const char* key, const std::string& defaultValue);
  // Writes one value for the unguarded handlers: a failed write is shown once, until a write of
  // that key succeeds again, and never ends the handler.
  void SaveFromEvent(const char* key, const std::string& value);
  void WriteSourceChoice();

  Form1Services s_;
  std::string rememberedFolder_;
  std::map<std::string, bool> failedKeys_;
};

}  // namespace tarnvex
