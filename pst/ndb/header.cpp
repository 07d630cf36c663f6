#include "pst/ndb/header.h"

#include <algorithm>
#include <cstring>

#include "text/crc.h"

namespace tarnvex::pst::ndb {

using namespace format;

namespace {

// Both indexes' roots at a page's place within the file: a header that says so is usable even
// when its check sums fail, since each root page must then name itself in its trailer.
bool RootsInFile(const FileHeader& h, std::uint64_t fileSize) {
  const Layout& f = *h.layout;
  for (const Bref& root : {h.brefNbt, h.brefBbt}) {
    if (root.bid == 0 || !InFileAtABlocksPlace(f, root.ib, f.pageSize, fileSize))
      return false;
  }
  return true;
}

}  // namespace

FileHeader ReadHeader(const ByteSource& source) {
  // An ANSI header is the shorter: 512 bytes.
  std::uint8_t raw[sizeof(Header)] = {};
  const std::size_t got = source.ReadAt(0, raw, std::min<std::uint64_t>(source.Size(), sizeof raw));
  if (got < sizeof(HeaderAnsi))
    throw UnsupportedFormat(source.Name(), "its header cannot be read");
  const auto common = Load<HeaderAnsi>(raw);  // the fields both formats keep at the same places
  // An offline folders file is laid out as a personal folders file of its format; only the
  // client signature tells them apart.
  if (std::memcmp(&common.dwMagic, kMagic, sizeof kMagic) != 0 ||
      (common.wMagicClient != kMagicClient && common.wMagicClient != kMagicClientOffline)) {
    throw UnsupportedFormat(source.Name(), "it does not start with the PST signature");
  }
  const Layout* layout = LayoutOfVersion(common.wVer);
  if (!layout) {
    throw UnsupportedFormat(source.Name(),
                            "it is in a file format this reader does not know (format " +
                                std::to_string(common.wVer) + ")");
  }
  if (!layout->ansi() && got < sizeof(Header))
    throw UnsupportedFormat(source.Name(), "its header cannot be read");
  FileHeader h;
  h.layout = layout;
  h.wVer = common.wVer;
  h.offline = common.wMagicClient == kMagicClientOffline;
  std::uint32_t storedPartial = 0, storedFull = 0;
  if (layout->ansi()) {
    h.bCryptMethod = common.bCryptMethod;
    h.ibFileEof = common.root.ibFileEof;
    h.brefNbt = {common.root.brefNbt.bid, common.root.brefNbt.ib};
    h.brefBbt = {common.root.brefBbt.bid, common.root.brefBbt.ib};
    h.bidNextB = common.bidNextB;
    h.bidNextP = common.bidNextP;
    storedPartial = common.dwCRCPartial;
  } else {
    const auto header = Load<Header>(raw);
    h.bCryptMethod = header.bCryptMethod;
    h.ibFileEof = header.root.ibFileEof;
    h.brefNbt = header.root.brefNbt;
    h.brefBbt = header.root.brefBbt;
    h.bidNextB = header.bidNextB;
    h.bidNextP = header.bidNextP;
    storedPartial = header.dwCRCPartial;
    storedFull = header.dwCRCFull;
  }
  if (h.bCryptMethod != kCryptNone && h.bCryptMethod != kCryptPermute &&
      h.bCryptMethod != kCryptCyclic) {
    throw UnsupportedFormat(source.Name(), "its encryption (" + std::to_string(h.bCryptMethod) +
                                               ") is not one this reader decodes");
  }
  const std::uint32_t partial = text::Crc32(raw + kHeaderCrcStart, kHeaderCrcPartialLength);
  const std::uint32_t full =
      layout->ansi() ? storedFull : text::Crc32(raw + kHeaderCrcStart, kHeaderCrcFullLength);
  if (partial != storedPartial || full != storedFull) {
    const bool partialWrong = partial != storedPartial;
    if (RootsInFile(h, source.Size())) {
      h.damage = "the header fails its check sum; its fields are used";
      return h;
    }
    throw CorruptionError(source.Name(), Defect::kChecksum, "the header fails its check sum",
                          Location::AtOffset(partialWrong ? offsetof(Header, dwCRCPartial)
                                                          : offsetof(Header, dwCRCFull)),
                          Hex(partialWrong ? storedPartial : storedFull),
                          Hex(partialWrong ? partial : full));
  }
  return h;
}

}  // namespace tarnvex::pst::ndb
