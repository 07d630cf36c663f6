#pragma once

// The stand-in's own reader: the store reader interface (store_reader.h) over the PST library
// (pst/), for Unicode and ANSI (32-bit) PST files stored plain, permute- or cyclic-encoded
// (Outlook's compressible and high encryption). Includes no OS header: files are opened through
// pst/file_source.h.
//
// Folder contents and subfolders are the node index's entries whose parent is the folder, in
// node-identifier order; a message's attachments are its attachment subnodes in the same order.

#include <memory>
#include <string>

#include "platform/standin/store_reader.h"
#include "pst/byte_source.h"

namespace tarnvex::standin::native {

// The file served by this reader, or null when the reader does not take it: not a Unicode or ANSI
// PST, an encryption it does not decode (libpff serves those), or a file of a format it reads that
// is damaged (a header or index that fails its checks) or cannot be read. Throws Failure when the
// file cannot be opened, and for damage no reader should pass over: a node index that lists a
// node twice.
std::shared_ptr<store::File> OpenNative(const std::string& path);
// The same over a source already open; `why` says why a file is not taken. 8-bit strings are
// decoded as `decoding` says (Latin-1 when null). When the reason is damage (or a read failure)
// rather than the format, `damage`, if given, receives the failure's text, which names the file
// and says what is wrong where: such a file is never handed to libpff, which checks less and
// would pass over what it cannot read without a word.
std::shared_ptr<store::File> OpenNative(
    std::shared_ptr<const pst::ByteSource> source, std::string& why,
    std::shared_ptr<const store::TextDecoding> decoding = nullptr, std::string* damage = nullptr);

// As OpenNative, but a file the reader does not take is a Failure saying why.
std::shared_ptr<store::File> OpenNativeOrFail(const std::string& path);

}  // namespace tarnvex::standin::native
