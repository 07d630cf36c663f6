#pragma once

// The desktop's modal folder browser, modelled on the shell's: a request with the prompt and
// flags, and a callback that the browser calls while it is open. Implementations:
// platform/qt (later Win32's shell browser).

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace tarnvex {

inline constexpr uint32_t kBifReturnOnlyFsDirs = 1;

// Messages the browser sends to its callback.
inline constexpr uint32_t kBffmInitialized = 1;
inline constexpr uint32_t kBffmSelChanged = 2;
// Messages the callback sends to the browser.
inline constexpr uint32_t kBffmSetStatusText = 1124;  // wParam 0, text: the status text
inline constexpr uint32_t kBffmSetSelection = 1126;   // wParam 1, text: the path to select

// The open browser as its callback sees it.
class BrowserDialog {
 public:
  virtual ~BrowserDialog() = default;
  // Sends one of the messages above; other messages are ignored. Selecting a path that does not
  // name a folder leaves the selection as it was.
  virtual void SendMessage(uint32_t message, int32_t wParam, const std::string& text) = 0;
};

struct BrowseRequest {
  int32_t owner = 0;  // the owner window's handle
  std::string title;  // the prompt shown above the folder tree
  uint32_t flags = 0;
};

// Called with kBffmInitialized once the browser is open, and with kBffmSelChanged for each new
// selection, then with the selected item's file-system path, or nullopt when it has none. The
// result is ignored; failures inside it never reach the browser.
using BrowseCallbackFn =
    std::function<int32_t(BrowserDialog&, uint32_t message, const std::optional<std::string>&)>;

class FolderBrowser {
 public:
  virtual ~FolderBrowser() = default;
  // Shows the browser modally and waits. The confirmed folder's path as the platform forms it
  // (no trailing separator except for a root), empty text for a confirmed item without a
  // file-system path, nullopt when the user cancelled. Throws Failure when it cannot be shown.
  virtual std::optional<std::string> Browse(const BrowseRequest& request,
                                            const BrowseCallbackFn& callback) = 0;
};

}  // namespace tarnvex
