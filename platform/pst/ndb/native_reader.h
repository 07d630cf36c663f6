#pragma once

// The native reader of Unicode PST files (wVer 23): the node database (header, node and block
// B-trees, data trees, subnode trees, block trailers) and the lists-tables-properties layer
// (heap-on-node, BTH, property contexts, the name-to-id map) as far as the stand-in needs them.
// Read only; every offset is checked against the data it points into and every walk is bounded,
// so a damaged file gives a Failure naming it, never a crash or a hang.
//
// Folder contents and subfolders are the node index's entries whose parent is the folder, in
// node-identifier order; a message's attachments are its attachment subnodes in the same order.
// Nothing grows with the size of a folder but the node and block indexes, kept as sorted arrays
// (about 24 bytes per node and per block).

#include <memory>
#include <string>

#include "platform/pst/store_reader.h"

namespace tarnvex::pst::ndb {

// The file served natively, or null when this reader does not take it (not a Unicode PST, an
// encryption it does not know, or index structures that do not read whole): libpff serves it then.
std::shared_ptr<store::File> OpenNative(const std::string& path);

// As OpenNative, but a file the reader does not take is a Failure saying why.
std::shared_ptr<store::File> OpenNativeOrFail(const std::string& path);

// NDB_CRYPT_PERMUTE decoding of a block's bytes in place.
void DecodePermute(uint8_t* data, size_t size);
// The CRC of MS-PST blocks and pages (init 0, no final inversion).
uint32_t Crc(const uint8_t* data, size_t size);

}  // namespace tarnvex::pst::ndb
