#include "pst/ndb/header.h"

#include <cstring>

#include "text/crc.h"

namespace tarnvex::pst::ndb {

using namespace format;

Header ReadHeader(const ByteSource& source) {
  std::uint8_t raw[sizeof(Header)] = {};
  if (source.Size() < sizeof raw || source.ReadAt(0, raw, sizeof raw) != sizeof raw)
    throw UnsupportedFormat(source.Name(), "its header cannot be read");
  const Header header = Load<Header>(raw);
  if (std::memcmp(&header.dwMagic, kMagic, sizeof kMagic) != 0 ||
      header.wMagicClient != kMagicClient) {
    throw UnsupportedFormat(source.Name(), "it does not start with the PST signature");
  }
  if (header.wVer != kVersionUnicode) {
    throw UnsupportedFormat(
        source.Name(), "it is not a Unicode PST file (format " + std::to_string(header.wVer) + ")");
  }
  if (header.bCryptMethod != kCryptNone && header.bCryptMethod != kCryptPermute) {
    throw UnsupportedFormat(source.Name(), "its encryption (" +
                                               std::to_string(header.bCryptMethod) +
                                               ") is not one this reader decodes");
  }
  const std::uint32_t partial = text::Crc32(raw + kHeaderCrcStart, kHeaderCrcPartialLength);
  const std::uint32_t full = text::Crc32(raw + kHeaderCrcStart, kHeaderCrcFullLength);
  if (partial != header.dwCRCPartial || full != header.dwCRCFull) {
    const bool partialWrong = partial != header.dwCRCPartial;
    throw CorruptionError(source.Name(), Defect::kChecksum, "the header fails its check sum",
                          Location::AtOffset(partialWrong ? offsetof(Header, dwCRCPartial)
                                                          : offsetof(Header, dwCRCFull)),
                          Hex(partialWrong ? header.dwCRCPartial : header.dwCRCFull),
                          Hex(partialWrong ? partial : full));
  }
  return header;
}

}  // namespace tarnvex::pst::ndb
