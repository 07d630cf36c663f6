#include "platform/win32/win32_process_starter.h"

#include "platform/failure.h"
#include "platform/win32/win32_api.h"

namespace tarnvex {
namespace {

// The program's name as the command line gives it: the first word, or the quoted first part.
std::string ProgramOf(const std::string& commandLine) {
  const auto start = commandLine.find_first_not_of(" \t");
  if (start == std::string::npos)
    return {};
  if (commandLine[start] == '"') {
    const auto end = commandLine.find('"', start + 1);
    return commandLine.substr(start + 1, end == std::string::npos ? end : end - start - 1);
  }
  return commandLine.substr(start, commandLine.find_first_of(" \t", start) - start);
}

}  // namespace

int ShowCommandFor(WindowState state) {
  switch (state) {
    case WindowState::kHide:
      return SW_HIDE;
    case WindowState::kNormalFocus:
      return SW_SHOWNORMAL;
    case WindowState::kMinimizedFocus:
      return SW_SHOWMINIMIZED;
    case WindowState::kMaximizedFocus:
      return SW_SHOWMAXIMIZED;
    case WindowState::kNormalNoFocus:
      return SW_SHOWNOACTIVATE;
    case WindowState::kMinimizedNoFocus:
      return SW_SHOWMINNOACTIVE;
  }
  return SW_SHOWNORMAL;
}

void Win32ProcessStarter::Start(const std::string& commandLine, WindowState state) {
  win32::CheckWellFormed(commandLine);
  std::wstring line = win32::Wide(commandLine);  // CreateProcessW may write into it
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESHOWWINDOW;
  startup.wShowWindow = static_cast<WORD>(ShowCommandFor(state));
  PROCESS_INFORMATION process{};
  if (!::CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &process)) {
    throw Failure("Cannot start the program \"" + ProgramOf(commandLine) +
                  "\": " + win32::SystemReason(::GetLastError()) + ".");
  }
  // Not waited for: the program runs on by itself.
  ::CloseHandle(process.hThread);
  ::CloseHandle(process.hProcess);
}

}  // namespace tarnvex
