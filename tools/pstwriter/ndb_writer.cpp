#include "tools/pstwriter/ndb_writer.h"

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

NdbWriter::NdbWriter(std::string path) : path_(std::move(path)) {
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

std::uint64_t NdbWriter::AddBlock(const std::uint8_t* data, std::size_t size, bool internal) {
  if (size > kMaxBlockData)
    throw Failure("Internal error: a block of " + std::to_string(size) + " bytes is too large.");
  const std::uint64_t bid = (nextBid_++ << 2) | (internal ? 2 : 0);
  const std::uint64_t total = AlignUp(size + sizeof(BlockTrailer), kBlockAlign);
  const std::uint64_t ib = Allocate(total, kBlockAlign);
  const BlockTrailer trailer{static_cast<std::uint16_t>(size), ComputeSig(ib, bid),
                             text::Crc32(data, size), bid};
  // Data, zero padding, then the trailer at the end of the block.
  Emit(ib, data, size);
  buffer_.insert(buffer_.end(), total - size - sizeof trailer, 0);
  const auto* raw = reinterpret_cast<const std::uint8_t*>(&trailer);
  buffer_.insert(buffer_.end(), raw, raw + sizeof trailer);
  blocks_.push_back(BlockRef{bid, ib, static_cast<std::uint16_t>(size)});
  return bid;
}

std::uint64_t NdbWriter::AddData(const Bytes& data) {
  if (data.size() <= kMaxBlockData)
    return AddBlock(data.data(), data.size());
  std::vector<Bytes> blocks;
  for (std::size_t off = 0; off < data.size(); off += kMaxBlockData) {
    const std::size_t n = std::min<std::size_t>(kMaxBlockData, data.size() - off);
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
    Bytes x(sizeof(XBlockHead) + 8 * n);
    std::uint64_t total = 0;
    for (std::size_t i = 0; i < n; ++i) {
      std::memcpy(x.data() + sizeof(XBlockHead) + 8 * i, &first[i].bid, 8);
      total += first[i].bytes;
    }
    if (total > 0xFFFFFFFFull)
      throw Failure("A value of " + std::to_string(total) + " bytes is too large for a PST file.");
    XBlockHead head{0x01, level, static_cast<std::uint16_t>(n), static_cast<std::uint32_t>(total)};
    std::memcpy(x.data(), &head, sizeof head);
    return Child{AddBlock(x.data(), x.size(), true), total};
  };
  if (children.size() <= kXBlockMaxEntries)
    return makeX(1, children.data(), children.size()).bid;
  std::vector<Child> xblocks;
  for (std::size_t i = 0; i < children.size(); i += kXBlockMaxEntries) {
    xblocks.push_back(
        makeX(1, children.data() + i, std::min(kXBlockMaxEntries, children.size() - i)));
  }
  if (xblocks.size() > kXBlockMaxEntries)
    throw Failure("A value is too large for a PST file.");
  return makeX(2, xblocks.data(), xblocks.size()).bid;
}

std::uint64_t NdbWriter::AddSubnodes(std::vector<SubnodeEntry> entries) {
  if (entries.empty())
    return 0;
  std::sort(entries.begin(), entries.end(),
            [](const SubnodeEntry& a, const SubnodeEntry& b) { return a.nid < b.nid; });
  auto makeSl = [&](const SubnodeEntry* first, std::size_t n) {
    Bytes b(sizeof(SBlockHead) + sizeof(SlEntry) * n);
    SBlockHead head{0x02, 0, static_cast<std::uint16_t>(n), 0};
    std::memcpy(b.data(), &head, sizeof head);
    for (std::size_t i = 0; i < n; ++i) {
      SlEntry e{first[i].nid, first[i].bidData, first[i].bidSub};
      std::memcpy(b.data() + sizeof head + sizeof e * i, &e, sizeof e);
    }
    return AddBlock(b.data(), b.size(), true);
  };
  if (entries.size() <= kSlBlockMaxEntries)
    return makeSl(entries.data(), entries.size());
  std::vector<SiEntry> index;
  for (std::size_t i = 0; i < entries.size(); i += kSlBlockMaxEntries) {
    const std::size_t n = std::min(kSlBlockMaxEntries, entries.size() - i);
    index.push_back(SiEntry{entries[i].nid, makeSl(entries.data() + i, n)});
  }
  if (index.size() > kSiBlockMaxEntries)
    throw Failure("An item has too many parts for a PST file.");
  Bytes b(sizeof(SBlockHead) + sizeof(SiEntry) * index.size());
  SBlockHead head{0x02, 1, static_cast<std::uint16_t>(index.size()), 0};
  std::memcpy(b.data(), &head, sizeof head);
  std::memcpy(b.data() + sizeof head, index.data(), sizeof(SiEntry) * index.size());
  return AddBlock(b.data(), b.size(), true);
}

void NdbWriter::AddNode(std::uint32_t nid, std::uint64_t bidData, std::uint64_t bidSub,
                        std::uint32_t nidParent) {
  nodes_.push_back(NodeRef{nid, bidData, bidSub, nidParent});
}

std::uint64_t NdbWriter::WritePage(std::uint8_t ptype, std::uint8_t* page) {
  const std::uint64_t ib = Allocate(kPageSize, kPageSize);
  const std::uint64_t bid = nextPageBid_++ << 2;
  PageTrailer trailer{ptype, ptype, ComputeSig(ib, bid), text::Crc32(page, kPageDataSize), bid};
  std::memcpy(page + kPageDataSize, &trailer, sizeof trailer);
  Emit(ib, page, kPageSize);
  return ib;
}

template <typename Entry>
NdbWriter::Level NdbWriter::WriteBTree(std::uint8_t ptype, const std::vector<Entry>& leaves,
                                       std::size_t leafMax, std::uint64_t (*keyOf)(const Entry&)) {
  auto writeLevel = [&](const std::uint8_t* entries, std::size_t count, std::size_t cbEnt,
                        std::size_t maxEnt, std::uint8_t level, std::uint64_t firstKey) {
    std::uint8_t page[kPageSize] = {};
    std::memcpy(page, entries, count * cbEnt);
    BtPageTail tail{static_cast<std::uint8_t>(count), static_cast<std::uint8_t>(maxEnt),
                    static_cast<std::uint8_t>(cbEnt), level, 0};
    std::memcpy(page + kBtPageEntryBytes, &tail, sizeof tail);
    const std::uint64_t bid = nextPageBid_ << 2;
    const std::uint64_t ib = WritePage(ptype, page);
    return Level{firstKey, bid, ib};
  };
  std::vector<Level> level;
  if (leaves.empty()) {
    level.push_back(writeLevel(nullptr, 0, sizeof(Entry), leafMax, 0, 0));
  }
  for (std::size_t i = 0; i < leaves.size(); i += leafMax) {
    const std::size_t n = std::min(leafMax, leaves.size() - i);
    level.push_back(writeLevel(reinterpret_cast<const std::uint8_t*>(&leaves[i]), n, sizeof(Entry),
                               leafMax, 0, keyOf(leaves[i])));
  }
  std::uint8_t depth = 0;
  constexpr std::size_t kBtMax = kBtPageEntryBytes / sizeof(BtEntry);
  while (level.size() > 1) {
    ++depth;
    std::vector<Level> up;
    for (std::size_t i = 0; i < level.size(); i += kBtMax) {
      const std::size_t n = std::min(kBtMax, level.size() - i);
      std::vector<BtEntry> entries;
      for (std::size_t k = 0; k < n; ++k) {
        entries.push_back(BtEntry{level[i + k].key, Bref{level[i + k].bid, level[i + k].ib}});
      }
      up.push_back(writeLevel(reinterpret_cast<const std::uint8_t*>(entries.data()), n,
                              sizeof(BtEntry), kBtMax, depth, level[i].key));
    }
    level = std::move(up);
  }
  return level[0];
}

std::uint64_t NdbWriter::Finish(const std::array<std::uint32_t, 32>& nextNidIndex) {
  std::sort(nodes_.begin(), nodes_.end(),
            [](const NodeRef& a, const NodeRef& b) { return a.nid < b.nid; });
  for (std::size_t i = 1; i < nodes_.size(); ++i) {
    if (nodes_[i].nid == nodes_[i - 1].nid) {
      throw Failure("Internal error writing \"" + path_ + "\": node " +
                    std::to_string(nodes_[i].nid) + " written twice.");
    }
  }
  std::vector<NbtEntry> nbt;
  nbt.reserve(nodes_.size());
  for (const NodeRef& n : nodes_)
    nbt.push_back(NbtEntry{n.nid, n.bidData, n.bidSub, n.nidParent, 0});
  std::vector<BbtEntry> bbt;
  bbt.reserve(blocks_.size());
  for (const BlockRef& b : blocks_)
    bbt.push_back(BbtEntry{Bref{b.bid, b.ib}, b.cb, 2, 0});

  const Level nbtRoot = WriteBTree<NbtEntry>(kPtypeNBT, nbt, kBtPageEntryBytes / sizeof(NbtEntry),
                                             [](const NbtEntry& e) { return e.nid; });
  const Level bbtRoot = WriteBTree<BbtEntry>(kPtypeBBT, bbt, kBtPageEntryBytes / sizeof(BbtEntry),
                                             [](const BbtEntry& e) { return e.bref.bid; });
  Flush();

  // Allocation maps: AMaps as filled, PMaps and FMaps (no longer used by readers) at their places.
  const std::uint64_t regions = amaps_.size();
  const std::uint64_t eof = kFirstAMapOffset + regions * kAMapCoverage;
  std::uint64_t freeBytes = 0;
  for (std::uint64_t r = 0; r < regions; ++r) {
    const std::uint64_t ib = kFirstAMapOffset + r * kAMapCoverage;
    std::uint8_t page[kPageSize] = {};
    std::memcpy(page, amaps_[r].data(), kPageDataSize);
    for (std::size_t i = 0; i < kPageDataSize; ++i)
      freeBytes += (8 - std::popcount(page[i])) * 64;
    PageTrailer t{kPtypeAMap, kPtypeAMap, 0, text::Crc32(page, kPageDataSize), ib};
    std::memcpy(page + kPageDataSize, &t, sizeof t);
    WriteAt(ib, page, kPageSize);
    std::uint64_t next = ib + kPageSize;
    if (r % kAMapsPerPMap == 0) {
      std::uint8_t pmap[kPageSize];
      std::memset(pmap, 0xFF, kPageDataSize);
      PageTrailer pt{kPtypePMap, kPtypePMap, 0, text::Crc32(pmap, kPageDataSize), next};
      std::memcpy(pmap + kPageDataSize, &pt, sizeof pt);
      WriteAt(next, pmap, kPageSize);
      next += kPageSize;
    }
    if (r >= static_cast<std::uint64_t>(kFirstFMapAMap) &&
        (r - kFirstFMapAMap) % kAMapsPerFMap == 0) {
      std::uint8_t fmap[kPageSize] = {};
      PageTrailer ft{kPtypeFMap, kPtypeFMap, 0, text::Crc32(fmap, kPageDataSize), next};
      std::memcpy(fmap + kPageDataSize, &ft, sizeof ft);
      WriteAt(next, fmap, kPageSize);
    }
  }

  // An empty density list.
  {
    std::uint8_t page[kPageSize] = {};
    const std::uint64_t bid = nextPageBid_++ << 2;
    PageTrailer t{kPtypeDL, kPtypeDL, ComputeSig(kDListOffset, bid),
                  text::Crc32(page, kPageDataSize), bid};
    std::memcpy(page + kPageDataSize, &t, sizeof t);
    WriteAt(kDListOffset, page, kPageSize);
  }

  // The file grows in whole AMap intervals.
  {
    std::uint8_t zero = 0;
    WriteAt(eof - 1, &zero, 1);
  }

  Header h{};
  std::memcpy(&h.dwMagic, "!BDN", 4);
  h.wMagicClient = 0x4D53;  // "SM"
  h.wVer = 23;
  h.wVerClient = 19;
  h.bPlatformCreate = 0x01;
  h.bPlatformAccess = 0x01;
  h.bidNextP = nextPageBid_ << 2;
  h.dwUnique = static_cast<std::uint32_t>(nodes_.size());
  for (int t = 0; t < 32; ++t)
    h.rgnid[t] = MakeNid(t, nextNidIndex[t]);
  h.root.ibFileEof = eof;
  h.root.ibAMapLast = kFirstAMapOffset + (regions - 1) * kAMapCoverage;
  h.root.cbAMapFree = freeBytes;
  h.root.cbPMapFree = 0;
  h.root.brefNbt = Bref{nbtRoot.bid, nbtRoot.ib};
  h.root.brefBbt = Bref{bbtRoot.bid, bbtRoot.ib};
  h.root.fAMapValid = 0x02;  // VALID_AMAP2
  std::memset(h.rgbFM, 0xFF, sizeof h.rgbFM);
  std::memset(h.rgbFP, 0xFF, sizeof h.rgbFP);
  h.bSentinel = 0x80;
  h.bCryptMethod = 0x00;  // NDB_CRYPT_NONE
  h.bidNextB = nextBid_ << 2;
  const auto* raw = reinterpret_cast<const std::uint8_t*>(&h);
  h.dwCRCPartial = text::Crc32(raw + 8, kHeaderCrcPartialLength);
  h.dwCRCFull = text::Crc32(raw + 8, kHeaderCrcFullLength);
  WriteAt(0, raw, sizeof h);

  if (std::fclose(file_) != 0) {
    file_ = nullptr;
    throw Failure("Cannot write \"" + path_ + "\": " + std::strerror(errno) + ".");
  }
  file_ = nullptr;
  return eof;
}

}  // namespace tarnvex::pstwriter
