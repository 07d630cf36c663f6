#include "platform/win32/win32_console.h"

#include <windows.h>
// After <windows.h>, which it needs.
#include <shellapi.h>

#include <algorithm>

#include "platform/win32/win32_api.h"

namespace tarnvex {
namespace {

constexpr std::string_view kEraseToEndOfLine = "\x1b[K";
// Text is passed on once this much has gathered, whatever the flushes.
constexpr std::size_t kBufferSize = 4096;

HANDLE StandardHandle(StandardStream stream) {
  return ::GetStdHandle(stream == StandardStream::kOutput ? STD_OUTPUT_HANDLE : STD_ERROR_HANDLE);
}

bool HandleIsConsole(HANDLE handle) {
  DWORD mode = 0;
  return handle && handle != INVALID_HANDLE_VALUE && ::GetConsoleMode(handle, &mode) != 0;
}

// The length of the sequence a lead byte starts; 0 for a byte that starts none.
std::size_t SequenceLength(unsigned char lead) {
  if (lead < 0x80)
    return 1;
  if (lead >= 0xC2 && lead <= 0xDF)
    return 2;
  if (lead >= 0xE0 && lead <= 0xEF)
    return 3;
  if (lead >= 0xF0 && lead <= 0xF4)
    return 4;
  return 0;
}

}  // namespace

std::vector<std::string> CommandLineArguments() {
  int count = 0;
  LPWSTR* words = ::CommandLineToArgvW(::GetCommandLineW(), &count);
  std::vector<std::string> arguments;
  if (!words)
    return arguments;
  for (int i = 1; i < count; ++i)
    arguments.push_back(win32::Narrow(words[i]));
  ::LocalFree(words);
  return arguments;
}

bool IsConsole(StandardStream stream) {
  return HandleIsConsole(StandardHandle(stream));
}

std::optional<std::string> ReadConsoleSecret(const std::string& prompt) {
  const HANDLE input = ::GetStdHandle(STD_INPUT_HANDLE);
  DWORD mode = 0;
  if (!input || input == INVALID_HANDLE_VALUE || ::GetConsoleMode(input, &mode) == 0)
    return std::nullopt;
  const HANDLE error = StandardHandle(StandardStream::kError);
  auto show = [&](const std::wstring& text) {
    DWORD written = 0;
    if (HandleIsConsole(error))
      ::WriteConsoleW(error, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
  };
  show(win32::Wide(prompt));
  ::SetConsoleMode(input, (mode | ENABLE_LINE_INPUT) & ~static_cast<DWORD>(ENABLE_ECHO_INPUT));
  std::wstring secret;
  wchar_t buffer[256];
  DWORD got = 0;
  bool ended = false;
  while (!ended && ::ReadConsoleW(input, buffer, 256, &got, nullptr) && got > 0) {
    for (DWORD i = 0; i < got && !ended; ++i) {
      if (buffer[i] == L'\r' || buffer[i] == L'\n')
        ended = true;
      else
        secret += buffer[i];
    }
  }
  ::SetConsoleMode(input, mode);
  show(L"\r\n");
  return win32::Narrow(secret);
}

std::size_t WholeUtf8Prefix(std::string_view bytes) {
  // Only the last three bytes can start a sequence that is not complete yet.
  const std::size_t from = bytes.size() > 3 ? bytes.size() - 3 : 0;
  for (std::size_t at = bytes.size(); at > from; --at) {
    const auto byte = static_cast<unsigned char>(bytes[at - 1]);
    if ((byte & 0xC0) == 0x80)
      continue;  // a continuation byte: its lead byte is further back
    return SequenceLength(byte) > bytes.size() - (at - 1) ? at - 1 : bytes.size();
  }
  return bytes.size();
}

HandleStreamBuffer::HandleStreamBuffer(void* handle)
    : handle_(handle), console_(HandleIsConsole(handle)) {}

HandleStreamBuffer::HandleStreamBuffer(StandardStream stream)
    : HandleStreamBuffer(StandardHandle(stream)) {}

HandleStreamBuffer::~HandleStreamBuffer() {
  Flush(true);
}

HandleStreamBuffer::int_type HandleStreamBuffer::overflow(int_type c) {
  if (!traits_type::eq_int_type(c, traits_type::eof())) {
    pending_ += traits_type::to_char_type(c);
    if (pending_.size() >= kBufferSize)
      Flush(false);
  }
  return traits_type::not_eof(c);
}

std::streamsize HandleStreamBuffer::xsputn(const char* s, std::streamsize n) {
  pending_.append(s, static_cast<std::size_t>(n));
  if (pending_.size() >= kBufferSize)
    Flush(false);
  return n;
}

int HandleStreamBuffer::sync() {
  Flush(false);
  return 0;
}

void HandleStreamBuffer::Flush(bool last) {
  if (pending_.empty())
    return;
  if (!handle_ || handle_ == INVALID_HANDLE_VALUE) {
    pending_.clear();
    return;
  }
  if (!console_) {
    std::string_view bytes = pending_;
    while (!bytes.empty()) {
      DWORD written = 0;
      const auto chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size(), 1u << 20));
      if (!::WriteFile(static_cast<HANDLE>(handle_), bytes.data(), chunk, &written, nullptr) ||
          written == 0) {
        break;
      }
      bytes.remove_prefix(written);
    }
    pending_.clear();
    return;
  }
  // A character or an erase sequence cut in two by the buffer waits for the rest of it, unless
  // nothing more is coming.
  std::size_t whole = last ? pending_.size() : WholeUtf8Prefix(pending_);
  for (std::size_t keep = std::min<std::size_t>(whole, kEraseToEndOfLine.size() - 1);
       !last && keep > 0; --keep) {
    if (std::string_view(pending_).substr(whole - keep, keep) ==
        kEraseToEndOfLine.substr(0, keep)) {
      whole -= keep;
      break;
    }
  }
  std::string_view text = std::string_view(pending_).substr(0, whole);
  for (auto erase = text.find(kEraseToEndOfLine); erase != std::string_view::npos;
       erase = text.find(kEraseToEndOfLine)) {
    WriteToConsole(text.substr(0, erase));
    EraseToEndOfLine();
    text.remove_prefix(erase + kEraseToEndOfLine.size());
  }
  WriteToConsole(text);
  pending_.erase(0, whole);
}

void HandleStreamBuffer::WriteToConsole(std::string_view text) {
  const std::wstring wide = win32::Wide(text);
  std::wstring_view rest = wide;
  while (!rest.empty()) {
    DWORD written = 0;
    const auto chunk = static_cast<DWORD>(std::min<std::size_t>(rest.size(), 16384));
    if (!::WriteConsoleW(static_cast<HANDLE>(handle_), rest.data(), chunk, &written, nullptr) ||
        written == 0) {
      return;
    }
    rest.remove_prefix(written);
  }
}

void HandleStreamBuffer::EraseToEndOfLine() {
  const auto console = static_cast<HANDLE>(handle_);
  CONSOLE_SCREEN_BUFFER_INFO info{};
  if (!::GetConsoleScreenBufferInfo(console, &info))
    return;
  const DWORD length = static_cast<DWORD>(std::max(0, info.dwSize.X - info.dwCursorPosition.X));
  DWORD done = 0;
  ::FillConsoleOutputCharacterW(console, L' ', length, info.dwCursorPosition, &done);
  ::FillConsoleOutputAttribute(console, info.wAttributes, length, info.dwCursorPosition, &done);
}

}  // namespace tarnvex
