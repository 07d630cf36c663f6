#pragma once

// The file header (MS-PST 2.2.2.6): the first 564 bytes of a Unicode PST file.

#include "pst/byte_source.h"
#include "pst/format.h"

namespace tarnvex::pst::ndb {

// The header, checked in this order: it can be read whole, it starts with the PST signature, it
// is a Unicode file, its blocks are stored plain or permute-encoded (the encodings this reader
// decodes), both of its check sums match. Throws UnsupportedFormat for the first four,
// CorruptionError (Defect::kChecksum) for the last.
format::Header ReadHeader(const ByteSource& source);

}  // namespace tarnvex::pst::ndb
