#pragma once

// The file header (MS-PST 2.2.2.6): the first 564 bytes of a Unicode PST file, the first 512 of
// an ANSI one.

#include <string>

#include "pst/byte_source.h"
#include "pst/format.h"

namespace tarnvex::pst::ndb {

// What the reader takes from either format's header, widened to 64 bits.
struct FileHeader {
  const format::Layout* layout = &format::kUnicodeLayout;
  std::uint16_t wVer = 0;
  // An offline folders file (OST, client signature "SO"), else a personal folders file (PST).
  bool offline = false;
  std::uint8_t bCryptMethod = format::kCryptNone;
  std::uint64_t ibFileEof = 0;
  format::Bref brefNbt{};
  format::Bref brefBbt{};
  std::uint64_t bidNextB = 0;
  std::uint64_t bidNextP = 0;
  // Empty, or the note of the damage read through (ndb/damage.h): the check sums fail, but the
  // roots of both indexes lie within the file, where the indexes' own pages confirm them.
  std::string damage;
};

// Whether `span` bytes at offset `ib` lie within a file of `fileSize` bytes, at a place a page or
// block of the layout may start.
inline bool InFileAtABlocksPlace(const format::Layout& f, std::uint64_t ib, std::uint64_t span,
                                 std::uint64_t fileSize) {
  return ib % f.blockAlign == 0 && ib <= fileSize && span <= fileSize - ib;
}

// The header, checked in this order: it can be read whole, it starts with the signature of a PST
// or OST file, it is a Unicode or an ANSI file, its blocks are stored plain, permute- or
// cyclic-encoded (the encodings this reader decodes), its check sums match (both of a Unicode file,
// the one of an ANSI file). Throws UnsupportedFormat for the first four, CorruptionError
// (Defect::kChecksum) for the last when the header cannot be used all the same: when the roots
// of its indexes do not lie within the file at a page's place. A header that can is used with a
// note of its damage.
FileHeader ReadHeader(const ByteSource& source);

}  // namespace tarnvex::pst::ndb
