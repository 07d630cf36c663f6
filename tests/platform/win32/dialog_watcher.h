#pragma once

// Answers a dialog that code under test opens and waits for: a watcher thread finds the first
// visible dialog window (class #32770) of the given thread, hands it to the answer, and stops.

#include <windows.h>

#include <atomic>
#include <functional>
#include <thread>

namespace tarnvex::testing {

// The first visible dialog of the thread; null when it has none.
inline HWND DialogOfThread(DWORD thread) {
  struct Search {
    HWND found = nullptr;
  } search;
  ::EnumThreadWindows(
      thread,
      [](HWND window, LPARAM data) -> BOOL {
        wchar_t kind[16] = {};
        ::GetClassNameW(window, kind, 16);
        if (std::wstring(kind) == L"#32770" && ::IsWindowVisible(window)) {
          reinterpret_cast<Search*>(data)->found = window;
          return FALSE;
        }
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&search));
  return search.found;
}

class DialogWatcher {
 public:
  // Watches the calling thread for up to 20 s.
  explicit DialogWatcher(std::function<void(HWND)> answer)
      : thread_(::GetCurrentThreadId()), worker_([this, answer = std::move(answer)] {
          for (int attempt = 0; attempt < 800 && !stop_; ++attempt) {
            if (const HWND dialog = DialogOfThread(thread_)) {
              // Let the dialog finish opening (its initial selection, its controls).
              ::Sleep(300);
              answer(dialog);
              found_ = true;
              return;
            }
            ::Sleep(25);
          }
        }) {}
  ~DialogWatcher() {
    stop_ = true;
    if (worker_.joinable())
      worker_.join();
  }
  DialogWatcher(const DialogWatcher&) = delete;
  DialogWatcher& operator=(const DialogWatcher&) = delete;

  // Waits for the watcher to end; true when it found and answered a dialog.
  bool Done() {
    if (worker_.joinable())
      worker_.join();
    return found_;
  }

 private:
  DWORD thread_;
  std::atomic<bool> stop_{false};
  std::atomic<bool> found_{false};
  std::thread worker_;
};

inline std::wstring WindowText(HWND window) {
  wchar_t text[4096] = {};
  ::GetWindowTextW(window, text, 4096);
  return text;
}

// The text of a message box's message.
inline std::wstring MessageText(HWND box) {
  wchar_t text[4096] = {};
  ::GetDlgItemTextW(box, 0xFFFF, text, 4096);
  return text;
}

// Whether a message box shows an icon.
inline bool ShowsIcon(HWND box) {
  bool icon = false;
  ::EnumChildWindows(
      box,
      [](HWND child, LPARAM data) -> BOOL {
        wchar_t kind[32] = {};
        ::GetClassNameW(child, kind, 32);
        const LONG_PTR style = ::GetWindowLongPtrW(child, GWL_STYLE);
        if (std::wstring(kind) == L"Static" && (style & SS_TYPEMASK) == SS_ICON &&
            ::IsWindowVisible(child) && ::SendMessageW(child, STM_GETICON, 0, 0) != 0)
          *reinterpret_cast<bool*>(data) = true;
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&icon));
  return icon;
}

}  // namespace tarnvex::testing
