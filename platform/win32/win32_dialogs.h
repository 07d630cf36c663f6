#pragma once

// The window's dialogs on Windows: the file-open common dialog (GetOpenFileNameW) and the shell's
// folder browser (SHBrowseForFolderW), both modal to the window that owns them.

#include <functional>
#include <string>

#include "platform/file_open_dialog.h"
#include "platform/folder_browser.h"

namespace tarnvex {

// The filter in the dialog's own form: "description\0pattern\0...\0\0" from the dialog
// control's "description|pattern|...", which may end with a bar. Throws Failure when a
// description has no pattern.
std::wstring Win32FilterText(const std::string& filter);

// CommonDialog1 over GetOpenFileNameW: the title, the filter and the file name as set, the
// system's other defaults. A chosen file's full path becomes FileName; cancelling leaves it.
class Win32FileOpenDialog : public FileOpenDialog {
 public:
  // owner: gives the HWND of the window the dialog is modal to (null: none).
  explicit Win32FileOpenDialog(std::function<void*()> owner) : owner_(std::move(owner)) {}

  void SetFileName(const std::string& fileName) override { fileName_ = fileName; }
  std::string FileName() override { return fileName_; }
  void SetDialogTitle(const std::string& title) override { title_ = title; }
  void SetFilter(const std::string& filter) override { filter_ = filter; }
  void ShowOpen() override;

 private:
  std::function<void*()> owner_;
  std::string fileName_;
  std::string title_;
  std::string filter_;
};

// The shell's folder browser, over the wide API (a folder name outside the ANSI code page comes
// back as it is). The callback gets BFFM_INITIALIZED and BFFM_SELCHANGED; its messages go to the
// browser as BFFM_SETSELECTIONW and BFFM_SETSTATUSTEXTW.
class Win32FolderBrowser : public FolderBrowser {
 public:
  std::optional<std::string> Browse(const BrowseRequest& request,
                                    const BrowseCallbackFn& callback) override;
};

}  // namespace tarnvex
