#include "tools/pstwriter/ndb_writer.h"

#include <zlib.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "platform/failure.h"
#include "pst/format.h"
#include "text/crc.h"

namespace tarnvex::pstwriter {

using namespace pst::format;

namespace {

constexpr std::uint64_t AlignUp(std::uint64_t v, std::uint64_t a) {
  return (v + a - 1) / a * a;
}
constexpr std::size_t kFlushSize = 4 << 20;

}  // namespace

NdbWriter::NdbWriter(std::string path, const Layout& layout, std::uint16_t magicClient)
    : path_(std::move(path)), layout_(layout), magicClient_(magicClient) {
  file_ = std::fopen(path_.c_str(), "wb");
  if (!file_) {
    throw Failure("Cannot create \"" + path_ + "\": " + std::strerror(errno) + ".");
  }
  pos_ = kFirstAMapOffset;
  bufferStart_ = 0;
  buffer_.reserve(kFlushSize + kMaxBlockSize);
}

NdbWriter::~NdbWriter() {
  if (file_)
    std::fclose(file_);
}

std::uint64_t NdbWriter::ReservedAt(std::uint64_t region) const {
  if (layout_.pages4k())
    return 0;  // no maps in the 4 KiB form: their pages there are not described well enough
  std::uint64_t reserved = kPageSize;  // the AMap
  if (region % kAMapsPerPMap == 0)
    reserved += kPageSize;                                     // a PMap follows every 8th
  if (region >= static_cast<std::uint64_t>(kFirstFMapAMap) &&  // an FMap every 496th from 128
      (region - kFirstFMapAMap) % kAMapsPerFMap == 0) {
    reserved += kPageSize;
  }
  return reserved;
}

std::uint64_t NdbWriter::Allocate(std::uint64_t size, std::uint64_t align) {
  for (;;) {
    std::uint64_t p = AlignUp(pos_, align);
    const std::uint64_t region = (p - kFirstAMapOffset) / kAMapCoverage;
    const std::uint64_t start = kFirstAMapOffset + region * kAMapCoverage;
    while (amaps_.size() <= region) {
      auto& map = amaps_.emplace_back();
      map.fill(0);
      const std::uint64_t units = ReservedAt(amaps_.size() - 1) / kBlockAlign;
      for (std::uint64_t u = 0; u < units; ++u)
        map[u / 8] |= 0x80 >> (u % 8);
    }
    if (p < start + ReservedAt(region))
      p = start + ReservedAt(region);
    if (p + size > start + kAMapCoverage) {
      pos_ = start + kAMapCoverage;  // blocks and pages never straddle an AMap boundary
      continue;
    }
    auto& map = amaps_[region];
    for (std::uint64_t u = (p - start) / kBlockAlign; u < (p + size - start) / kBlockAlign; ++u) {
      map[u / 8] |= 0x80 >> (u % 8);
    }
    pos_ = p + size;
    return p;
  }
}

void NdbWriter::Emit(std::uint64_t ib, const std::uint8_t* data, std::size_t size) {
  const std::uint64_t end = bufferStart_ + buffer_.size();
  if (ib < end)
    throw Failure("Internal error writing \"" + path_ + "\": blocks out of order.");
  buffer_.insert(buffer_.end(), ib - end, 0);
  if (size)
    buffer_.insert(buffer_.end(), data, data + size);
  if (buffer_.size() >= kFlushSize)
    Flush();
}

void NdbWriter::Flush() {
  if (!buffer_.empty() && std::fwrite(buffer_.data(), 1, buffer_.size(), file_) != buffer_.size()) {
    throw Failure("Cannot write \"" + path_ + "\": " + std::strerror(errno) + ".");
  }
  bufferStart_ += buffer_.size();
  buffer_.clear();
}

void NdbWriter::WriteAt(std::uint64_t ib, const std::uint8_t* data, std::size_t size) {
  if (fseeko(file_, static_cast<off_t>(ib), SEEK_SET) != 0 ||
      std::fwrite(data, 1, size, file_) != size) {
    throw Failure("Cannot write \"" + path_ + "\": " + std::strerror(errno) + ".");
  }
}

void NdbWriter::CheckFits(std::uint64_t value, const char* what) const {
  if (value > layout_.maxOffset) {
    throw Failure("The store is too large for an ANSI PST file: its " + std::string(what) +
                  " passes " + std::to_string(layout_.maxOffset) + ".");
  }
}

namespace {

// The data compressed with zlib (RFC 1950), when that makes it smaller; else empty.
Bytes Deflated(const std::uint8_t* data, std::size_t size) {
  uLongf length = compressBound(size);
  Bytes out(length);
  if (compress2(out.data(), &length, data, size, Z_BEST_COMPRESSION) != Z_OK || length >= size)
    return {};
  out.resize(length);
  return out;
}

}  // namespace

std::uint64_t NdbWriter::AddBlock(const std::uint8_t* data, std::size_t size, bool internal) {
  if (size > layout_.maxBlockData())
    throw Failure("Internal error: a block of " + std::to_string(size) + " bytes is too large.");
  const std::uint64_t bid = (nextBid_++ << 2) | (internal ? 2 : 0);
  CheckFits(bid, "block identifiers");
  // The 4 KiB form keeps a data block compressed where that saves room; the trailer keeps the
  // inflated size. The trees of blocks (internal ones) stay as they are.
  const auto inflated = static_cast<std::uint16_t>(size);
  Bytes deflated;
  if (layout_.pages4k() && !internal && size > 0)
    deflated = Deflated(data, size);
  if (!deflated.empty()) {
    data = deflated.data();
    size = deflated.size();
  }
  const std::uint64_t total = layout_.BlockSpan(size);
  const std::uint64_t ib = Allocate(total, layout_.blockAlign);
  CheckFits(ib + total, "size");
  const BlockTrailer trailer{static_cast<std::uint16_t>(size), ComputeSig(ib, bid),
                             text::Crc32(data, size), bid};
  // Data, zero padding, then the trailer at the end of the block.
  Emit(ib, data, size);
  buffer_.insert(buffer_.end(), total - size - layout_.blockTrailerSize, 0);
  std::uint8_t raw[sizeof(BlockTrailer4k)];
  layout_.StoreBlockTrailer(raw, trailer, inflated);
  buffer_.insert(buffer_.end(), raw, raw + layout_.blockTrailerSize);
  blocks_.push_back(BlockRef{bid, ib, static_cast<std::uint16_t>(size)});
  return bid;
}

std::uint64_t NdbWriter::AddData(const Bytes& data) {
  const std::size_t max = layout_.maxBlockData();
  if (data.size() <= max)
    return AddBlock(data.data(), data.size());
  std::vector<Bytes> blocks;
  for (std::size_t off = 0; off < data.size(); off += max) {
    const std::size_t n = std::min<std::size_t>(max, data.size() - off);
    blocks.emplace_back(data.begin() + off, data.begin() + off + n);
  }
  return AddBlocks(blocks);
}

std::uint64_t NdbWriter::AddBlocks(const std::vector<Bytes>& blocks) {
  if (blocks.size() == 1)
    return AddBlock(blocks[0].data(), blocks[0].size());
  struct Child {
    std::uint64_t bid;
    std::uint64_t bytes;
  };
  std::vector<Child> children;
  for (const Bytes& b : blocks)
    children.push_back({AddBlock(b.data(), b.size()), b.size()});
  auto makeX = [&](std::uint8_t level, const Child* first, std::size_t n) {
    Bytes x(sizeof(XBlockHead) + layout_.idSize * n);
    std::uint64_t total = 0;
    for (std::size_t i = 0; i < n; ++i) {
      layout_.StoreBid(x.data() + sizeof(XBlockHead) + layout_.idSize * i, first[i].bid);
      total += first[i].bytes;
    }
    if (total > 0xFFFFFFFFull)
      throw Failure("A value of " + std::to_string(total) + " bytes is too large for a PST file.");
    XBlockHead head{0x01, level, static_cast<std::uint16_t>(n), static_cast<std::uint32_t>(total)};
    std::memcpy(x.data(), &head, sizeof head);
    return Child{AddBlock(x.data(), x.size(), true), total};
  };
  const std::size_t maxEntries = layout_.xBlockMaxEntries();
  if (children.size() <= maxEntries)
    return makeX(1, children.data(), children.size()).bid;
  std::vector<Child> xblocks;
  for (std::size_t i = 0; i < children.size(); i += maxEntries) {
    xblocks.push_back(makeX(1, children.data() + i, std::min(maxEntries, children.size() - i)));
  }
  if (xblocks.size() > maxEntries)
    throw Failure("A value is too large for a PST file.");
  return makeX(2, xblocks.data(), xblocks.size()).bid;
}

std::uint64_t NdbWriter::AddSubnodes(std::vector<SubnodeEntry> entries) {
  if (entries.empty())
    return 0;
  std::sort(entries.begin(), entries.end(),
            [](const SubnodeEntry& a, const SubnodeEntry& b) { return a.nid < b.nid; });
  const Layout& f = layout_;
  auto makeSl = [&](const SubnodeEntry* first, std::size_t n) {
    Bytes b(f.sBlockHeadSize + f.slEntrySize * n);
    f.StoreSBlockHead(b.data(), SBlockHead{0x02, 0, static_cast<std::uint16_t>(n), 0});
    for (std::size_t i = 0; i < n; ++i) {
      f.StoreSlEntry(b.data() + f.sBlockHeadSize + f.slEntrySize * i,
                     SlEntry{first[i].nid, first[i].bidData, first[i].bidSub});
    }
    return AddBlock(b.data(), b.size(), true);
  };
  const std::size_t perLeaf = f.slBlockMaxEntries();
  if (entries.size() <= perLeaf)
    return makeSl(entries.data(), entries.size());
  std::vector<SiEntry> index;
  for (std::size_t i = 0; i < entries.size(); i += perLeaf) {
    const std::size_t n = std::min(perLeaf, entries.size() - i);
    index.push_back(SiEntry{entries[i].nid, makeSl(entries.data() + i, n)});
  }
  if (index.size() > f.siBlockMaxEntries())
    throw Failure("An item has too many parts for a PST file.");
  Bytes b(f.sBlockHeadSize + f.siEntrySize * index.size());
  f.StoreSBlockHead(b.data(), SBlockHead{0x02, 1, static_cast<std::uint16_t>(index.size()), 0});
  for (std::size_t i = 0; i < index.size(); ++i)
    f.StoreSiEntry(b.data() + f.sBlockHeadSize + f.siEntrySize * i, index[i]);
  return AddBlock(b.data(), b.size(), true);
}

void NdbWriter::AddNode(std::uint32_t nid, std::uint64_t bidData, std::uint64_t bidSub,
                        std::uint32_t nidParent) {
  nodes_.push_back(NodeRef{nid, bidData, bidSub, nidParent});
}

std::uint64_t NdbWriter::WritePage(std::uint8_t ptype, std::uint8_t* page) {
  const std::uint64_t size = layout_.pageSize;
  const std::uint64_t ib = Allocate(size, size);
  const std::uint64_t bid = nextPageBid_++ << 2;
  CheckFits(ib + size, "size");
  const std::size_t data = layout_.pageDataSize();
  layout_.StorePageTrailer(
      page + data, PageTrailer{ptype, ptype, ComputeSig(ib, bid), text::Crc32(page, data), bid});
  Emit(ib, page, size);
  return ib;
}

NdbWriter::Level NdbWriter::WriteBTree(std::uint8_t ptype, const std::vector<std::uint8_t>& leaves,
                                       std::size_t entrySize,
                                       const std::vector<std::uint64_t>& keys) {
  const Layout& f = layout_;
  auto writeLevel = [&](const std::uint8_t* entries, std::size_t count, std::size_t cbEnt,
                        std::uint8_t level, std::uint64_t firstKey) {
    std::uint8_t page[kPageSize4k] = {};
    if (count)
      std::memcpy(page, entries, count * cbEnt);
    f.StoreBtPageTail(page, BtPageCounts{static_cast<std::uint16_t>(count),
                                         static_cast<std::uint16_t>(f.btEntryBytes / cbEnt),
                                         static_cast<std::uint8_t>(cbEnt), level});
    const std::uint64_t bid = nextPageBid_ << 2;
    const std::uint64_t ib = WritePage(ptype, page);
    return Level{firstKey, bid, ib};
  };
  const std::size_t leafMax = f.btEntryBytes / entrySize;
  std::vector<Level> level;
  if (keys.empty())
    level.push_back(writeLevel(nullptr, 0, entrySize, 0, 0));
  for (std::size_t i = 0; i < keys.size(); i += leafMax) {
    const std::size_t n = std::min(leafMax, keys.size() - i);
    level.push_back(writeLevel(leaves.data() + i * entrySize, n, entrySize, 0, keys[i]));
  }
  std::uint8_t depth = 0;
  const std::size_t btMax = f.btEntryBytes / f.btEntrySize;
  while (level.size() > 1) {
    ++depth;
    std::vector<Level> up;
    for (std::size_t i = 0; i < level.size(); i += btMax) {
      const std::size_t n = std::min(btMax, level.size() - i);
      std::vector<std::uint8_t> entries(n * f.btEntrySize);
      for (std::size_t k = 0; k < n; ++k) {
        f.StoreBtEntry(entries.data() + k * f.btEntrySize,
                       BtEntry{level[i + k].key, Bref{level[i + k].bid, level[i + k].ib}});
      }
      up.push_back(writeLevel(entries.data(), n, f.btEntrySize, depth, level[i].key));
    }
    level = std::move(up);
  }
  return level[0];
}

std::uint64_t NdbWriter::Finish(const std::array<std::uint32_t, 32>& nextNidIndex) {
  const Layout& f = layout_;
  std::sort(nodes_.begin(), nodes_.end(),
            [](const NodeRef& a, const NodeRef& b) { return a.nid < b.nid; });
  for (std::size_t i = 1; i < nodes_.size(); ++i) {
    if (nodes_[i].nid == nodes_[i - 1].nid) {
      throw Failure("Internal error writing \"" + path_ + "\": node " +
                    std::to_string(nodes_[i].nid) + " written twice.");
    }
  }
  std::vector<std::uint8_t> nbt(nodes_.size() * f.nbtEntrySize);
  std::vector<std::uint64_t> nbtKeys;
  nbtKeys.reserve(nodes_.size());
  for (std::size_t i = 0; i < nodes_.size(); ++i) {
    const NodeRef& n = nodes_[i];
    f.StoreNbtEntry(nbt.data() + i * f.nbtEntrySize,
                    NbtEntry{n.nid, n.bidData, n.bidSub, n.nidParent, 0});
    nbtKeys.push_back(n.nid);
  }
  std::vector<std::uint8_t> bbt(blocks_.size() * f.bbtEntrySize);
  std::vector<std::uint64_t> bbtKeys;
  bbtKeys.reserve(blocks_.size());
  for (std::size_t i = 0; i < blocks_.size(); ++i) {
    const BlockRef& b = blocks_[i];
    f.StoreBbtEntry(bbt.data() + i * f.bbtEntrySize, BbtEntry{Bref{b.bid, b.ib}, b.cb, 2, 0});
    bbtKeys.push_back(b.bid);
  }

  const Level nbtRoot = WriteBTree(kPtypeNBT, nbt, f.nbtEntrySize, nbtKeys);
  const Level bbtRoot = WriteBTree(kPtypeBBT, bbt, f.bbtEntrySize, bbtKeys);
  Flush();

  // Allocation maps: AMaps as filled, PMaps and FMaps (no longer used by readers) at their places.
  // An ANSI file's map pages keep 4 bytes of padding ahead of their 496 map bytes.
  const std::uint64_t regions = amaps_.size();
  const std::uint64_t eof = kFirstAMapOffset + regions * kAMapCoverage;
  CheckFits(eof, "size");
  const std::size_t pageData = f.pageDataSize();
  auto writeMap = [&](std::uint64_t ib, std::uint8_t ptype, const std::uint8_t* bits,
                      std::uint8_t fill) {
    std::uint8_t page[kPageSize] = {};
    if (bits)
      std::memcpy(page + f.mapPadding, bits, kAMapCoverage / kBlockAlign / 8);
    else
      std::memset(page + f.mapPadding, fill, kAMapCoverage / kBlockAlign / 8);
    f.StorePageTrailer(page + pageData,
                       PageTrailer{ptype, ptype, 0, text::Crc32(page, pageData), ib});
    WriteAt(ib, page, kPageSize);
  };
  std::uint64_t freeBytes = 0;
  for (std::uint64_t r = 0; r < regions && !f.pages4k(); ++r) {
    const std::uint64_t ib = kFirstAMapOffset + r * kAMapCoverage;
    for (const std::uint8_t bits : amaps_[r])
      freeBytes += (8 - std::popcount(bits)) * 64;
    writeMap(ib, kPtypeAMap, amaps_[r].data(), 0);
    std::uint64_t next = ib + kPageSize;
    if (r % kAMapsPerPMap == 0) {
      writeMap(next, kPtypePMap, nullptr, 0xFF);
      next += kPageSize;
    }
    if (r >= static_cast<std::uint64_t>(kFirstFMapAMap) &&
        (r - kFirstFMapAMap) % kAMapsPerFMap == 0) {
      writeMap(next, kPtypeFMap, nullptr, 0);
    }
  }

  // An empty density list (Unicode files; ANSI files and the 4 KiB form keep none).
  if (!f.ansi() && !f.pages4k()) {
    std::uint8_t page[kPageSize] = {};
    const std::uint64_t bid = nextPageBid_++ << 2;
    f.StorePageTrailer(page + pageData,
                       PageTrailer{kPtypeDL, kPtypeDL, ComputeSig(kDListOffset, bid),
                                   text::Crc32(page, pageData), bid});
    WriteAt(kDListOffset, page, kPageSize);
  }

  // The file grows in whole AMap intervals.
  {
    std::uint8_t zero = 0;
    WriteAt(eof - 1, &zero, 1);
  }

  WriteHeader(nextNidIndex, eof, regions, freeBytes, nbtRoot, bbtRoot);

  if (std::fclose(file_) != 0) {
    file_ = nullptr;
    throw Failure("Cannot write \"" + path_ + "\": " + std::strerror(errno) + ".");
  }
  file_ = nullptr;
  return eof;
}

void NdbWriter::WriteHeader(const std::array<std::uint32_t, 32>& nextNidIndex, std::uint64_t eof,
                            std::uint64_t regions, std::uint64_t freeBytes, const Level& nbtRoot,
                            const Level& bbtRoot) {
  const std::uint64_t amapLast = kFirstAMapOffset + (regions - 1) * kAMapCoverage;
  // The fields both formats keep, set on either struct.
  auto common = [&](auto& h, std::uint16_t version) {
    std::memcpy(&h.dwMagic, "!BDN", 4);
    h.wMagicClient = magicClient_;
    h.wVer = version;
    h.wVerClient = 19;
    h.bPlatformCreate = 0x01;
    h.bPlatformAccess = 0x01;
    h.dwUnique = static_cast<std::uint32_t>(nodes_.size());
    for (int t = 0; t < 32; ++t)
      h.rgnid[t] = MakeNid(t, nextNidIndex[t]);
    h.root.fAMapValid = 0x02;  // VALID_AMAP2
    std::memset(h.rgbFM, 0xFF, sizeof h.rgbFM);
    std::memset(h.rgbFP, 0xFF, sizeof h.rgbFP);
    h.bSentinel = 0x80;
    h.bCryptMethod = kCryptNone;
  };
  if (layout_.ansi()) {
    HeaderAnsi h{};
    common(h, kVersionAnsiCurrent);
    h.bidNextB = static_cast<std::uint32_t>(nextBid_ << 2);
    h.bidNextP = static_cast<std::uint32_t>(nextPageBid_ << 2);
    h.root.ibFileEof = static_cast<std::uint32_t>(eof);
    h.root.ibAMapLast = static_cast<std::uint32_t>(amapLast);
    h.root.cbAMapFree = static_cast<std::uint32_t>(std::min<std::uint64_t>(freeBytes, 0xFFFFFFFF));
    h.root.brefNbt =
        BrefAnsi{static_cast<std::uint32_t>(nbtRoot.bid), static_cast<std::uint32_t>(nbtRoot.ib)};
    h.root.brefBbt =
        BrefAnsi{static_cast<std::uint32_t>(bbtRoot.bid), static_cast<std::uint32_t>(bbtRoot.ib)};
    const auto* raw = reinterpret_cast<const std::uint8_t*>(&h);
    h.dwCRCPartial = text::Crc32(raw + kHeaderCrcStart, kHeaderCrcPartialLength);
    WriteAt(0, raw, sizeof h);
    return;
  }
  Header h{};
  common(h, layout_.pages4k() ? kVersionUnicode4k : kVersionUnicode);
  h.bidNextP = nextPageBid_ << 2;
  h.root.ibFileEof = eof;
  h.root.ibAMapLast = layout_.pages4k() ? 0 : amapLast;
  h.root.cbAMapFree = freeBytes;
  if (layout_.pages4k())
    h.root.fAMapValid = 0x00;  // INVALID_AMAP: no maps written
  h.root.cbPMapFree = 0;
  h.root.brefNbt = Bref{nbtRoot.bid, nbtRoot.ib};
  h.root.brefBbt = Bref{bbtRoot.bid, bbtRoot.ib};
  h.bidNextB = nextBid_ << 2;
  const auto* raw = reinterpret_cast<const std::uint8_t*>(&h);
  h.dwCRCPartial = text::Crc32(raw + kHeaderCrcStart, kHeaderCrcPartialLength);
  h.dwCRCFull = text::Crc32(raw + kHeaderCrcStart, kHeaderCrcFullLength);
  WriteAt(0, raw, sizeof h);
}

}  // namespace tarnvex::pstwriter
