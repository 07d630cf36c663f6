// tarnvex-export on Windows: the arguments come from the wide command line, the output goes to
// the console as UTF-16 (or as UTF-8 bytes into a file or a pipe).

#include <ostream>

#include "cli/cli.h"
#include "platform/win32/win32_console.h"

int main() {
  tarnvex::HandleStreamBuffer outBuffer(tarnvex::StandardStream::kOutput);
  tarnvex::HandleStreamBuffer errBuffer(tarnvex::StandardStream::kError);
  std::ostream out(&outBuffer);
  std::ostream err(&errBuffer);
  return tarnvex::cli::Run(tarnvex::CommandLineArguments(), out, err);
}
