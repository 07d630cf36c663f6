#include "platform/win32/win32_message_boxes.h"

#include "platform/failure.h"
#include "platform/win32/win32_api.h"

namespace tarnvex {

void Win32MessageBoxes::Show(const std::string& text, const std::string& caption,
                             MessageIcon icon) {
  UINT style = MB_OK | (owner_ ? MB_APPLMODAL : MB_TASKMODAL);
  if (icon == MessageIcon::kWarning)
    style |= MB_ICONEXCLAMATION;
  if (::MessageBoxW(static_cast<HWND>(owner_), win32::Wide(text).c_str(),
                    win32::Wide(caption).c_str(), style) == 0) {
    throw Failure("Cannot show the message \"" + text +
                  "\": " + win32::SystemReason(::GetLastError()) + ".");
  }
}

}  // namespace tarnvex
