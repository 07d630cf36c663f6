#include "tools/pstwriter/pst_writer.h"

#include "platform/failure.h"

namespace tarnvex::pstwriter {

WriteStats WritePst(const Store&, const std::string& path) {
  throw Failure("Cannot write \"" + path + "\": the PST writer is not complete yet.");
}

}  // namespace tarnvex::pstwriter
