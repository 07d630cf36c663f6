#pragma once

// Writes a Store (store_model.h) as a Unicode PST file (file format version 23) or, as the store
// asks, an ANSI one (version 15, 8-bit strings), without encryption, that Outlook's data-file
// readers open: libpff, libpst and Outlook itself.

#include <cstdint>
#include <string>
#include <string_view>

#include "tools/pstwriter/store_model.h"

namespace tarnvex::pstwriter {

struct WriteStats {
  std::uint64_t fileSize = 0;
  std::uint64_t folders = 0;   // folders written, the root and the IPM subtree included
  std::uint64_t messages = 0;  // messages written, associated ones included
  std::uint64_t blocks = 0;    // data blocks in the block B-tree
  std::uint64_t nodes = 0;     // nodes in the node B-tree
};

// The checksum a password-protected store keeps in PidTagPstPassword (0x67FF, PT_LONG): the
// format's CRC (text::Crc32, starting from 0) over the password's bytes as given.
std::uint32_t PstPasswordChecksum(std::string_view password);

// The message as an ANSI store keeps it: its strings, its attachments' and its recipients' as
// 8-bit strings in the code page it records (PidTagMessageCodepage), else in storeCodePage, else
// (when that code page lacks some of its text) in UTF-8, code page 65001. A message that had
// Unicode strings and recorded no code page then records the one they are in. Returns the code
// page. Throws Failure when the code page it records lacks some of its text.
std::uint32_t NarrowStrings(Message& message, std::uint32_t storeCodePage);

// Writes the store to path, replacing any file there. Throws Failure (platform/failure.h) when
// the file cannot be written or the model cannot be stored (for example a property value too
// large for the format). A failed write leaves no file at path.
WriteStats WritePst(const Store& store, const std::string& path);

}  // namespace tarnvex::pstwriter
