#include "dialogs/add_folder.h"

#include <exception>

namespace tarnvex {

std::string BrowseForFolder(FolderBrowser& browser, int32_t owner, const std::string& prompt,
                            const std::string& initialFolder) {
  const std::string initialSelection = initialFolder;
  BrowseRequest request;
  request.owner = owner;
  request.title = prompt;
  request.flags = kBifReturnOnlyFsDirs;
  const std::optional<std::string> chosen =
      browser.Browse(request, [&initialSelection](BrowserDialog& dialog, uint32_t message,
                                                  const std::optional<std::string>& selectedPath) {
        return BrowseCallback(dialog, message, selectedPath, initialSelection);
      });
  if (!chosen)
    return {};
  // A path is taken up to its first NUL, as from the shell's path buffer.
  return chosen->substr(0, chosen->find('\0'));
}

int32_t BrowseCallback(BrowserDialog& dialog, uint32_t message,
                       const std::optional<std::string>& selectedPath,
                       const std::string& initialSelection) {
  try {
    if (message == kBffmInitialized) {
      dialog.SendMessage(kBffmSetSelection, 1, initialSelection);
    } else if (message == kBffmSelChanged && selectedPath) {
      dialog.SendMessage(kBffmSetStatusText, 0, *selectedPath);
    }
  } catch (const std::exception&) {
    // The browser carries on without the selection or the status text.
  }
  return 0;
}

}  // namespace tarnvex
