#pragma once

// Module AddFolder: the output folder browser's dialog routine and its callback.

#include <cstdint>
#include <optional>
#include <string>

#include "platform/folder_browser.h"

namespace tarnvex {

inline constexpr const char* kBrowsePrompt = "Please select folder:";

// Shows the modal folder browser with the prompt, the initial folder selected when it exists.
// The confirmed folder's path; empty text when the user cancelled or the folder has no
// file-system path. Failures of the browser reach the caller.
std::string BrowseForFolder(FolderBrowser& browser, int32_t owner, const std::string& prompt,
                            const std::string& initialFolder);

// The browser's callback: selects the initial folder when the browser opens, and shows each newly
// selected folder's path as the browser's status text. Failures inside it are skipped; it
// always answers 0.
int32_t BrowseCallback(BrowserDialog& dialog, uint32_t message,
                       const std::optional<std::string>& selectedPath,
                       const std::string& initialSelection);

}  // namespace tarnvex
