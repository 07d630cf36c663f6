#include "platform/win32/win32_dialogs.h"

// <windows.h> before the headers that build on it.
#include "platform/win32/win32_api.h"
// (the common dialogs and the shell)
#include <commdlg.h>
#include <objbase.h>
#include <shlobj.h>

#include <vector>

#include "platform/failure.h"

// BrowserDialog::SendMessage, not the system's macro for SendMessageW.
#undef SendMessage

namespace tarnvex {
namespace {

using win32::Narrow;
using win32::Wide;

// A file name the dialog may give back: the longest path the wide API takes.
constexpr std::size_t kFileNameUnits = 32768;

// The open browser as the callback sees it.
class OpenBrowser : public BrowserDialog {
 public:
  explicit OpenBrowser(HWND dialog) : dialog_(dialog) {}
  void SendMessage(uint32_t message, int32_t wParam, const std::string& text) override {
    UINT sent = 0;
    if (message == kBffmSetSelection)
      sent = BFFM_SETSELECTIONW;
    else if (message == kBffmSetStatusText)
      sent = BFFM_SETSTATUSTEXTW;
    else
      return;
    const std::wstring wide = Wide(text);
    ::SendMessageW(dialog_, sent, static_cast<WPARAM>(wParam),
                   reinterpret_cast<LPARAM>(wide.c_str()));
  }

 private:
  HWND dialog_;
};

int CALLBACK BrowseProc(HWND dialog, UINT message, LPARAM lParam, LPARAM data) {
  const auto& callback = *reinterpret_cast<const BrowseCallbackFn*>(data);
  try {
    OpenBrowser open(dialog);
    if (message == BFFM_INITIALIZED) {
      callback(open, kBffmInitialized, std::nullopt);
    } else if (message == BFFM_SELCHANGED) {
      std::optional<std::string> path;
      wchar_t buffer[MAX_PATH] = {};
      if (::SHGetPathFromIDListW(reinterpret_cast<PCIDLIST_ABSOLUTE>(lParam), buffer))
        path = Narrow(buffer);
      callback(open, kBffmSelChanged, path);
    }
  } catch (...) {
    // Nothing may unwind through the shell.
  }
  return 0;
}

// COM for the calling thread while the browser is open, as the shell asks.
class ComApartment {
 public:
  ComApartment() : initialised_(SUCCEEDED(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) {}
  ~ComApartment() {
    if (initialised_)
      ::CoUninitialize();
  }
  ComApartment(const ComApartment&) = delete;
  ComApartment& operator=(const ComApartment&) = delete;

 private:
  bool initialised_;
};

}  // namespace

std::wstring Win32FilterText(const std::string& filter) {
  std::vector<std::string> parts;
  std::size_t start = 0;
  for (;;) {
    const std::size_t bar = filter.find('|', start);
    parts.push_back(filter.substr(start, bar == std::string::npos ? bar : bar - start));
    if (bar == std::string::npos)
      break;
    start = bar + 1;
  }
  // The list may end with a bar.
  if (!parts.empty() && parts.back().empty())
    parts.pop_back();
  if (parts.size() % 2 != 0) {
    throw Failure("The file filter \"" + filter +
                  "\" does not pair every description with a pattern");
  }
  std::wstring text;
  for (const std::string& part : parts) {
    text += Wide(part);
    text += L'\0';
  }
  text += L'\0';
  return text;
}

void Win32FileOpenDialog::ShowOpen() {
  const std::wstring filter = filter_.empty() ? std::wstring() : Win32FilterText(filter_);
  const std::wstring title = Wide(title_);
  std::vector<wchar_t> file(kFileNameUnits, L'\0');
  const std::wstring initial = Wide(fileName_);
  initial.copy(file.data(), std::min(initial.size(), file.size() - 1));

  OPENFILENAMEW dialog{};
  dialog.lStructSize = sizeof dialog;
  dialog.hwndOwner = owner_ ? static_cast<HWND>(owner_()) : nullptr;
  dialog.lpstrFilter = filter.empty() ? nullptr : filter.c_str();
  dialog.lpstrFile = file.data();
  dialog.nMaxFile = static_cast<DWORD>(file.size());
  dialog.lpstrTitle = title.empty() ? nullptr : title.c_str();
  dialog.Flags = OFN_EXPLORER;
  if (::GetOpenFileNameW(&dialog)) {
    fileName_ = Narrow(file.data());
    return;
  }
  const DWORD error = ::CommDlgExtendedError();
  if (error == 0)
    return;  // cancelled
  char code[16];
  std::snprintf(code, sizeof code, "0x%04lX", static_cast<unsigned long>(error));
  throw Failure("The file dialog \"" + title_ + "\" cannot be shown: common dialog error " + code +
                ".");
}

std::optional<std::string> Win32FolderBrowser::Browse(const BrowseRequest& request,
                                                      const BrowseCallbackFn& callback) {
  const ComApartment com;
  const std::wstring title = Wide(request.title);
  BROWSEINFOW browse{};
  browse.hwndOwner = reinterpret_cast<HWND>(static_cast<intptr_t>(request.owner));
  browse.pidlRoot = nullptr;
  browse.pszDisplayName = nullptr;
  browse.lpszTitle = title.c_str();
  browse.ulFlags = request.flags;
  browse.lpfn = BrowseProc;
  browse.lParam = reinterpret_cast<LPARAM>(&callback);
  const PIDLIST_ABSOLUTE chosen = ::SHBrowseForFolderW(&browse);
  if (!chosen)
    return std::nullopt;
  wchar_t path[MAX_PATH] = {};
  ::SHGetPathFromIDListW(chosen, path);
  ::CoTaskMemFree(chosen);
  return Narrow(path);
}

}  // namespace tarnvex
