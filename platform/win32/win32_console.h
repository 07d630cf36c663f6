#pragma once

// The command line's console on Windows: its arguments from the wide command line, and output
// that shows every character in a console window. No Win32 header here: front ends include it.

#include <cstddef>
#include <optional>
#include <streambuf>
#include <string>
#include <string_view>
#include <vector>

namespace tarnvex {

enum class StandardStream { kOutput, kError };

// The arguments after the program's name, from the process's wide command line
// (CommandLineToArgvW's rules for quotes and backslashes), as UTF-8.
std::vector<std::string> CommandLineArguments();

// True when the standard stream is a console, not a file or a pipe.
bool IsConsole(StandardStream stream);

// A secret typed on the console after the prompt (shown on standard error), not echoed, as UTF-8;
// empty when standard input is no console.
std::optional<std::string> ReadConsoleSecret(const std::string& prompt);

// How many leading bytes of the text hold whole UTF-8 sequences only: what follows, at most three
// bytes, starts a sequence that the next write may complete. Bytes that start no sequence count
// as whole (they show as U+FFFD).
std::size_t WholeUtf8Prefix(std::string_view bytes);

// A stream buffer over an output handle. On a console the UTF-8 text is written as UTF-16
// (WriteConsoleW), so every character shows whatever the console's code page, and the sequence
// ESC "[K" (erase to the end of the line, which the progress bar uses) is carried out through the
// console API, which every console has. Anywhere else (a file, a pipe) the bytes go out as they
// are. Writes go out on flush and when the buffer goes; a handle that is missing or fails takes
// the text and drops it, as a closed console would.
class HandleStreamBuffer : public std::streambuf {
 public:
  // handle: a HANDLE the caller keeps open while the buffer lives.
  explicit HandleStreamBuffer(void* handle);
  explicit HandleStreamBuffer(StandardStream stream);
  ~HandleStreamBuffer() override;
  HandleStreamBuffer(const HandleStreamBuffer&) = delete;
  HandleStreamBuffer& operator=(const HandleStreamBuffer&) = delete;

  bool IsConsole() const { return console_; }

 protected:
  int_type overflow(int_type c) override;
  std::streamsize xsputn(const char* s, std::streamsize n) override;
  int sync() override;

 private:
  // Writes what has gathered; unless it is the last time, a character or an erase sequence cut
  // short waits for its rest.
  void Flush(bool last);
  void WriteToConsole(std::string_view text);
  void EraseToEndOfLine();

  void* handle_;
  bool console_;
  std::string pending_;
};

}  // namespace tarnvex
