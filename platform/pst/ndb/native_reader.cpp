#include "platform/pst/ndb/native_reader.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <optional>
#include <vector>

#include "platform/failure.h"

namespace tarnvex::pst::ndb {
namespace {

using store::FailDamaged;

// Sizes and offsets of the Unicode format (MS-PST sections 2.2.2.6 to 2.2.2.8).
constexpr size_t kHeaderSize = 564;
constexpr size_t kPageSize = 512;
constexpr size_t kPageEntryBytes = 488;
constexpr size_t kBlockTrailerSize = 16;
constexpr size_t kMaxBlockData = 8192 - kBlockTrailerSize;
constexpr uint8_t kPtypeBbt = 0x80;
constexpr uint8_t kPtypeNbt = 0x81;
constexpr int kMaxBtreeLevels = 8;
// More heap allocations than an 8 KB-block heap of 64 MB could hold: a damaged tree.
constexpr size_t kMaxTreeNodes = 1 << 16;
constexpr uint64_t kMaxValueSize = 64ull * 1024 * 1024;  // no property of a contact comes near

constexpr uint32_t kNidTypeMask = 0x1F;
constexpr uint32_t kNidTypeNormalFolder = 0x02;
constexpr uint32_t kNidTypeNormalMessage = 0x04;
constexpr uint32_t kNidTypeAttachment = 0x05;
constexpr uint32_t kNidMessageStore = 0x21;
constexpr uint32_t kNidNameToIdMap = 0x61;
constexpr uint32_t kNidRootFolder = 0x122;

// NDB_CRYPT_PERMUTE: plain byte = kDecode[stored byte].
constexpr uint8_t kDecode[256] = {
    0x47, 0xf1, 0xb4, 0xe6, 0x0b, 0x6a, 0x72, 0x48, 0x85, 0x4e, 0x9e, 0xeb, 0xe2, 0xf8, 0x94, 0x53,
    0xe0, 0xbb, 0xa0, 0x02, 0xe8, 0x5a, 0x09, 0xab, 0xdb, 0xe3, 0xba, 0xc6, 0x7c, 0xc3, 0x10, 0xdd,
    0x39, 0x05, 0x96, 0x30, 0xf5, 0x37, 0x60, 0x82, 0x8c, 0xc9, 0x13, 0x4a, 0x6b, 0x1d, 0xf3, 0xfb,
    0x8f, 0x26, 0x97, 0xca, 0x91, 0x17, 0x01, 0xc4, 0x32, 0x2d, 0x6e, 0x31, 0x95, 0xff, 0xd9, 0x23,
    0xd1, 0x00, 0x5e, 0x79, 0xdc, 0x44, 0x3b, 0x1a, 0x28, 0xc5, 0x61, 0x57, 0x20, 0x90, 0x3d, 0x83,
    0xb9, 0x43, 0xbe, 0x67, 0xd2, 0x46, 0x42, 0x76, 0xc0, 0x6d, 0x5b, 0x7e, 0xb2, 0x0f, 0x16, 0x29,
    0x3c, 0xa9, 0x03, 0x54, 0x0d, 0xda, 0x5d, 0xdf, 0xf6, 0xb7, 0xc7, 0x62, 0xcd, 0x8d, 0x06, 0xd3,
    0x69, 0x5c, 0x86, 0xd6, 0x14, 0xf7, 0xa5, 0x66, 0x75, 0xac, 0xb1, 0xe9, 0x45, 0x21, 0x70, 0x0c,
    0x87, 0x9f, 0x74, 0xa4, 0x22, 0x4c, 0x6f, 0xbf, 0x1f, 0x56, 0xaa, 0x2e, 0xb3, 0x78, 0x33, 0x50,
    0xb0, 0xa3, 0x92, 0xbc, 0xcf, 0x19, 0x1c, 0xa7, 0x63, 0xcb, 0x1e, 0x4d, 0x3e, 0x4b, 0x1b, 0x9b,
    0x4f, 0xe7, 0xf0, 0xee, 0xad, 0x3a, 0xb5, 0x59, 0x04, 0xea, 0x40, 0x55, 0x25, 0x51, 0xe5, 0x7a,
    0x89, 0x38, 0x68, 0x52, 0x7b, 0xfc, 0x27, 0xae, 0xd7, 0xbd, 0xfa, 0x07, 0xf4, 0xcc, 0x8e, 0x5f,
    0xef, 0x35, 0x9c, 0x84, 0x2b, 0x15, 0xd5, 0x77, 0x34, 0x49, 0xb6, 0x12, 0x0a, 0x7f, 0x71, 0x88,
    0xfd, 0x9d, 0x18, 0x41, 0x7d, 0x93, 0xd8, 0x58, 0x2c, 0xce, 0xfe, 0x24, 0xaf, 0xde, 0xb8, 0x36,
    0xc8, 0xa1, 0x80, 0xa6, 0x99, 0x98, 0xa8, 0x2f, 0x0e, 0x81, 0x65, 0x73, 0xe4, 0xc2, 0xa2, 0x8a,
    0xd4, 0xe1, 0x11, 0xd0, 0x08, 0x8b, 0x2a, 0xf2, 0xed, 0x9a, 0x64, 0x3f, 0xc1, 0x6c, 0xf9, 0xec,
};

// The well-known property sets of the name-to-id map's GUID indexes 1 and 2, as stored.
constexpr uint8_t kPsMapi[16] = {0x28, 0x03, 0x02, 0x00, 0x00, 0x00, 0x00, 0x00,
                                 0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46};
constexpr uint8_t kPsPublicStrings[16] = {0x29, 0x03, 0x02, 0x00, 0x00, 0x00, 0x00, 0x00,
                                          0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46};

uint16_t U16(const uint8_t* p) {
  return static_cast<uint16_t>(p[0] | (p[1] << 8));
}
uint32_t U32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
         (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}
uint64_t U64(const uint8_t* p) {
  return static_cast<uint64_t>(U32(p)) | (static_cast<uint64_t>(U32(p + 4)) << 32);
}
const uint8_t* Bytes(const std::string& s) {
  return reinterpret_cast<const uint8_t*>(s.data());
}

std::string Hex(uint64_t v) {
  char buf[24];
  std::snprintf(buf, sizeof buf, "0x%llX", static_cast<unsigned long long>(v));
  return buf;
}

// Slicing-by-8 tables of the reflected polynomial 0xEDB88320.
const std::array<std::array<uint32_t, 256>, 8>& CrcTables() {
  static const auto tables = [] {
    std::array<std::array<uint32_t, 256>, 8> t{};
    for (uint32_t i = 0; i < 256; ++i) {
      uint32_t c = i;
      for (int k = 0; k < 8; ++k)
        c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
      t[0][i] = c;
    }
    for (uint32_t i = 0; i < 256; ++i) {
      for (int k = 1; k < 8; ++k)
        t[k][i] = (t[k - 1][i] >> 8) ^ t[0][t[k - 1][i] & 0xFF];
    }
    return t;
  }();
  return tables;
}

// One entry of the node index.
struct Node {
  uint32_t nid;
  uint32_t parent;
  uint64_t bidData;
  uint64_t bidSub;
};

// One entry of the block index.
struct Block {
  uint64_t bid;  // without the reserved low bit
  uint64_t ib;
  uint16_t cb;
};

// One entry of a subnode tree.
struct SubNode {
  uint32_t nid;
  uint64_t bidData;
  uint64_t bidSub;
};

struct NamedProperty {
  uint8_t guid[16] = {};
  bool isString = false;
  uint32_t lid = 0;
  std::string name;
};

// The node database of one open file: the two indexes and block reading.
class Db {
 public:
  Db(std::string path, int fd, uint64_t size, uint8_t crypt)
      : path_(std::move(path)), fd_(fd), size_(size), crypt_(crypt) {}
  ~Db() { ::close(fd_); }
  Db(const Db&) = delete;
  Db& operator=(const Db&) = delete;

  const std::string& path() const { return path_; }
  [[noreturn]] void Damaged(const std::string& what) const { FailDamaged(path_, what); }

  void Load(const uint8_t* header) {
    const uint64_t nbtBid = U64(header + 216), nbtIb = U64(header + 224);
    const uint64_t bbtBid = U64(header + 232), bbtIb = U64(header + 240);
    size_t budget = size_ / kPageSize + 1;  // no page is read twice in a sound file
    LoadPage(nbtIb, nbtBid, kPtypeNbt, -1, budget);
    LoadPage(bbtIb, bbtBid, kPtypeBbt, -1, budget);
    auto byNid = [](const Node& a, const Node& b) { return a.nid < b.nid; };
    if (!std::is_sorted(nodes_.begin(), nodes_.end(), byNid))
      std::stable_sort(nodes_.begin(), nodes_.end(), byNid);
    auto byBid = [](const Block& a, const Block& b) { return a.bid < b.bid; };
    if (!std::is_sorted(blocks_.begin(), blocks_.end(), byBid))
      std::stable_sort(blocks_.begin(), blocks_.end(), byBid);
    byParent_.resize(nodes_.size());
    for (uint32_t i = 0; i < nodes_.size(); ++i)
      byParent_[i] = i;
    std::stable_sort(byParent_.begin(), byParent_.end(),
                     [&](uint32_t a, uint32_t b) { return nodes_[a].parent < nodes_[b].parent; });
  }

  const Node* FindNode(uint32_t nid) const {
    auto it = std::lower_bound(nodes_.begin(), nodes_.end(), nid,
                               [](const Node& n, uint32_t v) { return n.nid < v; });
    return it != nodes_.end() && it->nid == nid ? &*it : nullptr;
  }

  // The nodes whose parent is the given one, of the given NID type, in NID order; the node
  // itself (the root folder is its own parent) is left out.
  std::vector<const Node*> Children(uint32_t parent, uint32_t type) const {
    auto lo = std::lower_bound(byParent_.begin(), byParent_.end(), parent,
                               [&](uint32_t i, uint32_t v) { return nodes_[i].parent < v; });
    std::vector<const Node*> out;
    for (auto it = lo; it != byParent_.end() && nodes_[*it].parent == parent; ++it) {
      const Node& n = nodes_[*it];
      if (n.nid != parent && (n.nid & kNidTypeMask) == type)
        out.push_back(&n);
    }
    return out;
  }

  // One block's data, checked against its trailer and decoded.
  std::string ReadBlock(uint64_t bid) const {
    const uint64_t key = bid & ~1ull;
    auto it = std::lower_bound(blocks_.begin(), blocks_.end(), key,
                               [](const Block& b, uint64_t v) { return b.bid < v; });
    if (it == blocks_.end() || it->bid != key)
      Damaged("block " + Hex(bid) + " is missing from the block index");
    const size_t cb = it->cb;
    const uint64_t total = (cb + kBlockTrailerSize + 63) / 64 * 64;
    if (cb > kMaxBlockData || it->ib > size_ || total > size_ - it->ib)
      Damaged("block " + Hex(bid) + " lies outside the file");
    std::string data(total, '\0');
    ReadAt(it->ib, data.data(), total, "block " + Hex(bid));
    const uint8_t* trailer = Bytes(data) + total - kBlockTrailerSize;
    if (U16(trailer) != cb || (U64(trailer + 8) & ~1ull) != key)
      Damaged("the trailer of block " + Hex(bid) + " does not match the block index");
    const uint32_t crc = U32(trailer + 4);
    bool sound = crc == Crc(Bytes(data), cb);
    data.resize(cb);
    if (crypt_ == 1 && !(key & 2)) {
      DecodePermute(reinterpret_cast<uint8_t*>(data.data()), cb);
      // The check sum is taken over the bytes as stored; a sum over the decoded bytes is
      // accepted as well, so that a writer that sums before encoding is not read as damage.
      if (!sound)
        sound = crc == Crc(Bytes(data), cb);
    }
    if (!sound)
      Damaged("block " + Hex(bid) + " fails its check sum");
    return data;
  }

  // The data blocks of a data tree (a data block, an XBLOCK or an XXBLOCK), in order.
  std::vector<std::string> ReadDataTree(uint64_t bid) const {
    std::vector<std::string> out;
    if (bid == 0)
      return out;
    uint64_t total = 0;
    ReadTree(bid, 2, out, total);
    return out;
  }

  std::string ReadDataWhole(uint64_t bid) const {
    std::string out;
    for (auto& b : ReadDataTree(bid))
      out += b;
    return out;
  }

  // The entries of a subnode tree (an SLBLOCK or an SIBLOCK), sorted by NID.
  std::vector<SubNode> ReadSubNodes(uint64_t bid) const {
    std::vector<SubNode> out;
    if (bid == 0)
      return out;
    ReadSub(bid, 1, out);
    auto byNid = [](const SubNode& a, const SubNode& b) { return a.nid < b.nid; };
    if (!std::is_sorted(out.begin(), out.end(), byNid))
      std::stable_sort(out.begin(), out.end(), byNid);
    return out;
  }

  const NamedProperty* Named(uint16_t propId) const {
    const size_t i = propId - 0x8000u;
    return propId >= 0x8000 && i < names_.size() && names_[i] ? &*names_[i] : nullptr;
  }
  void SetNames(std::vector<std::optional<NamedProperty>> names) { names_ = std::move(names); }

 private:
  void ReadAt(uint64_t offset, char* buf, size_t n, const std::string& what) const {
    size_t done = 0;
    while (done < n) {
      const ssize_t r = ::pread(fd_, buf + done, n - done, static_cast<off_t>(offset + done));
      if (r < 0 && errno == EINTR)
        continue;
      if (r < 0) {
        throw Failure("Cannot read the Outlook data file \"" + path_ +
                      "\": " + std::strerror(errno) + ".");
      }
      if (r == 0)
        Damaged(what + " ends beyond the end of the file");
      done += static_cast<size_t>(r);
    }
  }

  void LoadPage(uint64_t ib, uint64_t bid, uint8_t ptype, int level, size_t& budget) {
    const std::string what = std::string(ptype == kPtypeNbt ? "the node index" : "the block index");
    if (budget-- == 0)
      Damaged(what + " has a loop");
    if (ib > size_ || kPageSize > size_ - ib || ib % 64 != 0)
      Damaged(what + " points outside the file");
    uint8_t page[kPageSize];
    ReadAt(ib, reinterpret_cast<char*>(page), kPageSize, what);
    const uint8_t* trailer = page + kPageSize - 16;
    if (trailer[0] != ptype || trailer[1] != ptype || U64(trailer + 8) != bid ||
        U32(trailer + 4) != Crc(page, kPageSize - 16)) {
      Damaged(what + " has a damaged page at offset " + std::to_string(ib));
    }
    const uint8_t cEnt = page[kPageEntryBytes], cbEnt = page[kPageEntryBytes + 2];
    const int cLevel = page[kPageEntryBytes + 3];
    const size_t leafSize = ptype == kPtypeNbt ? 32 : 24;
    if (cLevel > kMaxBtreeLevels || (level >= 0 && cLevel != level) ||
        cbEnt < (cLevel > 0 ? 24 : leafSize) || size_t{cEnt} * cbEnt > kPageEntryBytes) {
      Damaged(what + " has a damaged page at offset " + std::to_string(ib));
    }
    for (size_t i = 0; i < cEnt; ++i) {
      const uint8_t* e = page + i * cbEnt;
      if (cLevel > 0) {
        LoadPage(U64(e + 16), U64(e + 8), ptype, cLevel - 1, budget);
      } else if (ptype == kPtypeNbt) {
        nodes_.push_back({static_cast<uint32_t>(U64(e)), U32(e + 24), U64(e + 8), U64(e + 16)});
      } else {
        blocks_.push_back({U64(e) & ~1ull, U64(e + 8), U16(e + 16)});
      }
    }
  }

  void ReadTree(uint64_t bid, int levelsLeft, std::vector<std::string>& out,
                uint64_t& total) const {
    std::string b = ReadBlock(bid);
    if (!(bid & 2)) {
      total += b.size();
      if (total > kMaxValueSize)
        Damaged("a data tree is larger than any value");
      out.push_back(std::move(b));
      return;
    }
    const uint8_t* d = Bytes(b);
    if (b.size() < 8 || d[0] != 0x01 || d[1] < 1 || d[1] > levelsLeft)
      Damaged("data tree block " + Hex(bid) + " is damaged");
    const int level = d[1];
    const size_t cEnt = U16(d + 2);
    const uint32_t lcbTotal = U32(d + 4);
    if (8 + cEnt * 8 > b.size() || lcbTotal > kMaxValueSize)
      Damaged("data tree block " + Hex(bid) + " is damaged");
    const uint64_t before = total;
    for (size_t i = 0; i < cEnt; ++i) {
      const uint64_t child = U64(d + 8 + i * 8);
      if (level == 1 && (child & 2))
        Damaged("data tree block " + Hex(bid) + " is damaged");
      if (level == 2 && !(child & 2))
        Damaged("data tree block " + Hex(bid) + " is damaged");
      ReadTree(child, level - 1, out, total);
    }
    if (total - before != lcbTotal)
      Damaged("data tree block " + Hex(bid) + " does not match its data");
  }

  void ReadSub(uint64_t bid, int levelsLeft, std::vector<SubNode>& out) const {
    if (!(bid & 2))
      Damaged("subnode block " + Hex(bid) + " is damaged");
    const std::string b = ReadBlock(bid);
    const uint8_t* d = Bytes(b);
    if (b.size() < 8 || d[0] != 0x02 || d[1] > levelsLeft)
      Damaged("subnode block " + Hex(bid) + " is damaged");
    const size_t cEnt = U16(d + 2);
    const size_t size = d[1] == 0 ? 24 : 16;
    if (8 + cEnt * size > b.size())
      Damaged("subnode block " + Hex(bid) + " is damaged");
    for (size_t i = 0; i < cEnt; ++i) {
      const uint8_t* e = d + 8 + i * size;
      if (d[1] == 0) {
        out.push_back({static_cast<uint32_t>(U64(e)), U64(e + 8), U64(e + 16)});
      } else {
        ReadSub(U64(e + 8), 0, out);
      }
    }
  }

  std::string path_;
  int fd_;
  uint64_t size_;
  uint8_t crypt_;
  std::vector<Node> nodes_;
  std::vector<Block> blocks_;
  std::vector<uint32_t> byParent_;
  std::vector<std::optional<NamedProperty>> names_;  // by property id less 0x8000
};

// One property context: a node's heap, its BTH of property records and its subnodes.
class Pc {
 public:
  struct Record {
    uint16_t id;
    uint16_t type;
    uint32_t hnid;
  };

  Pc(std::shared_ptr<const Db> db, uint64_t bidData, uint64_t bidSub)
      : db_(std::move(db)), bidSub_(bidSub) {
    heap_ = db_->ReadDataTree(bidData);
    if (heap_.empty())
      db_->Damaged("an item has no properties");
    const std::string& first = heap_[0];
    if (first.size() < 12 || static_cast<uint8_t>(first[2]) != 0xEC ||
        static_cast<uint8_t>(first[3]) != 0xBC) {
      db_->Damaged("an item's property heap is damaged");
    }
    const auto [h, hs] = Heap(U32(Bytes(first) + 4));
    if (hs < 8 || h[0] != 0xB5 || h[1] != 2 || h[2] != 6 || h[3] > kMaxBtreeLevels)
      db_->Damaged("an item's property tree is damaged");
    size_t budget = kMaxTreeNodes;
    Walk(U32(h + 4), h[3], budget);
  }

  const std::vector<Record>& records() const { return records_; }
  const Db& db() const { return *db_; }

  // The bytes of a heap allocation.
  std::pair<const uint8_t*, size_t> Heap(uint32_t hid) const {
    if (hid == 0)
      return {nullptr, 0};
    const size_t block = hid >> 16, index = (hid >> 5) & 0x7FF;
    if ((hid & kNidTypeMask) != 0 || block >= heap_.size() || index == 0)
      db_->Damaged("a heap reference " + Hex(hid) + " is damaged");
    const std::string& b = heap_[block];
    const uint8_t* d = Bytes(b);
    if (b.size() < 2)
      db_->Damaged("a heap block is damaged");
    const size_t map = U16(d);
    if (map + 4 > b.size())
      db_->Damaged("a heap block's map is damaged");
    const size_t cAlloc = U16(d + map);
    if (index > cAlloc || map + 4 + (cAlloc + 1) * 2 > b.size())
      db_->Damaged("a heap reference " + Hex(hid) + " is damaged");
    const size_t begin = U16(d + map + 4 + (index - 1) * 2), end = U16(d + map + 4 + index * 2);
    if (begin > end || end > map)
      db_->Damaged("a heap allocation is damaged");
    return {d + begin, end - begin};
  }

  // The data of a value kept in a subnode.
  std::string SubNodeData(uint32_t nid) const {
    const SubNode* s = FindSubNode(nid);
    if (!s)
      db_->Damaged("a property's subnode " + Hex(nid) + " is missing");
    return db_->ReadDataWhole(s->bidData);
  }

  const std::vector<SubNode>& SubNodes() const {
    if (!subs_)
      subs_ = db_->ReadSubNodes(bidSub_);
    return *subs_;
  }

  const SubNode* FindSubNode(uint32_t nid) const {
    const auto& subs = SubNodes();
    auto it = std::lower_bound(subs.begin(), subs.end(), nid,
                               [](const SubNode& s, uint32_t v) { return s.nid < v; });
    return it != subs.end() && it->nid == nid ? &*it : nullptr;
  }

 private:
  void Walk(uint32_t hid, int level, size_t& budget) {
    if (budget-- == 0)
      db_->Damaged("an item's property tree has a loop");
    const auto [d, size] = Heap(hid);
    const size_t rec = level > 0 ? 6 : 8;
    for (size_t at = 0; at + rec <= size; at += rec) {
      if (level > 0) {
        Walk(U32(d + at + 2), level - 1, budget);
      } else {
        records_.push_back({U16(d + at), U16(d + at + 2), U32(d + at + 4)});
      }
    }
  }

  std::shared_ptr<const Db> db_;
  uint64_t bidSub_;
  std::vector<std::string> heap_;
  std::vector<Record> records_;
  mutable std::optional<std::vector<SubNode>> subs_;
};

bool IsFixed(uint16_t type) {
  switch (type) {
    case 0x0002:
    case 0x0003:
    case 0x0004:
    case 0x000A:
    case 0x000B:
      return true;
    default:
      return false;
  }
}

bool IsHeapFixed(uint16_t type) {
  switch (type) {
    case 0x0005:
    case 0x0006:
    case 0x0007:
    case 0x0014:
    case 0x0040:
    case 0x0048:
      return true;
    default:
      return false;
  }
}

std::string ValueBytes(const Pc& pc, const Pc::Record& r) {
  if (IsFixed(r.type)) {
    std::string s(4, '\0');
    for (int i = 0; i < 4; ++i)
      s[i] = static_cast<char>((r.hnid >> (8 * i)) & 0xFF);
    s.resize(r.type == 0x000B ? 1 : r.type == 0x0002 ? 2 : 4);
    return s;
  }
  if (IsHeapFixed(r.type) || (r.hnid & kNidTypeMask) == 0) {
    const auto [d, size] = pc.Heap(r.hnid);
    return std::string(reinterpret_cast<const char*>(d), size);
  }
  return pc.SubNodeData(r.hnid);
}

const std::string kNoName;

class NativeEntry : public store::Entry {
 public:
  // `keep` holds the context for an entry that outlives the enumeration it came from; an entry
  // handed to ForEachEntry's callback lives only for the call and needs none.
  NativeEntry(const Pc* pc, std::shared_ptr<const Pc> keep, const Pc::Record& r)
      : pc_(pc),
        keep_(std::move(keep)),
        r_(r),
        named_(r.id >= 0x8000 ? pc->db().Named(r.id) : nullptr) {}

  uint32_t Tag() const override { return r_.id; }
  uint32_t ValueType() const override { return r_.type; }
  bool Named() const override { return named_ != nullptr; }
  const uint8_t* Guid() const override { return named_ ? named_->guid : kNoGuid; }
  uint32_t Lid() const override { return named_ && !named_->isString ? named_->lid : 0; }
  const std::string& Name() const override { return named_ ? named_->name : kNoName; }

  std::string Text() const override {
    const std::string raw = Bytes();
    if (r_.type == store::kTypeUnicode)
      return store::Utf16ToUtf8(reinterpret_cast<const uint8_t*>(raw.data()), raw.size());
    // An 8-bit string: read as Latin-1.
    std::string out;
    for (unsigned char c : raw) {
      if (c == 0)
        break;
      if (c < 0x80) {
        out += static_cast<char>(c);
      } else {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
      }
    }
    return out;
  }
  std::string Bytes() const override { return ValueBytes(*pc_, r_); }
  uint64_t Filetime() const override {
    const std::string raw = Bytes();
    if (raw.size() < 8)
      pc_->db().Damaged("a time property is damaged");
    return U64(reinterpret_cast<const uint8_t*>(raw.data()));
  }
  uint32_t Int32() const override { return r_.type == 0x0002 ? r_.hnid & 0xFFFF : r_.hnid; }
  bool Boolean() const override { return (r_.hnid & 0xFF) != 0; }

 protected:
  const std::string& FilePath() const override { return pc_->db().path(); }

 private:
  static constexpr uint8_t kNoGuid[16] = {};
  const Pc* pc_;
  std::shared_ptr<const Pc> keep_;
  Pc::Record r_;
  const NamedProperty* named_;
};

class NativeItem : public store::Item {
 public:
  NativeItem(std::shared_ptr<const Db> db, uint32_t nid, uint64_t bidData, uint64_t bidSub,
             bool inIndex)
      : db_(std::move(db)), nid_(nid), bidData_(bidData), bidSub_(bidSub), inIndex_(inIndex) {}

  uint32_t Identifier() const override { return nid_; }
  bool IsFolder() const override {
    return inIndex_ && (nid_ & kNidTypeMask) == kNidTypeNormalFolder;
  }

  void ForEachEntry(const std::function<void(const store::Entry&)>& f) const override {
    const Pc* pc = Props().get();
    for (const auto& r : pc->records())
      f(NativeEntry(pc, nullptr, r));
  }

  std::unique_ptr<store::Entry> Find(uint32_t tag, uint32_t valueType) const override {
    const auto& pc = Props();
    for (const auto& r : pc->records()) {
      if (r.id == tag && r.type == valueType)
        return std::make_unique<NativeEntry>(pc.get(), pc, r);
    }
    return nullptr;
  }

  std::string FolderName() const override { return TextOf(0x3001); }
  int SubFolderCount() const override { return static_cast<int>(Folders().size()); }
  std::unique_ptr<store::Item> SubFolder(int index) const override {
    const auto& f = Folders();
    if (index < 0 || static_cast<size_t>(index) >= f.size())
      db_->Damaged("folder " + Hex(nid_) + " has no subfolder " + std::to_string(index + 1));
    return std::make_unique<NativeItem>(db_, f[index]->nid, f[index]->bidData, f[index]->bidSub,
                                        true);
  }

  std::vector<Child> NormalMessages() const override {
    std::vector<Child> out;
    for (const Node* n : db_->Children(nid_, kNidTypeNormalMessage))
      out.push_back({std::make_unique<NativeItem>(db_, n->nid, n->bidData, n->bidSub, true), {}});
    return out;
  }

  std::string MessageClass() const override { return TextOf(0x001A); }
  int AttachmentCount() const override { return static_cast<int>(Attachments().size()); }
  std::unique_ptr<store::Item> Attachment(int index) const override {
    const auto& a = Attachments();
    if (index < 0 || static_cast<size_t>(index) >= a.size())
      db_->Damaged("item " + Hex(nid_) + " has no attachment " + std::to_string(index + 1));
    return std::make_unique<NativeItem>(db_, a[index].nid, a[index].bidData, a[index].bidSub,
                                        false);
  }
  bool IsDataAttachment() const override {
    for (const auto& r : Props()->records()) {
      if (r.id == 0x3701)
        return r.type == store::kTypeBinary;
    }
    return false;
  }
  std::string AttachmentData() const override {
    auto e = Find(0x3701, store::kTypeBinary);
    return e ? e->Bytes() : std::string();
  }

 private:
  const std::shared_ptr<const Pc>& Props() const {
    if (!pc_)
      pc_ = std::make_shared<const Pc>(db_, bidData_, bidSub_);
    return pc_;
  }

  std::string TextOf(uint32_t tag) const {
    if (auto e = Find(tag, store::kTypeUnicode))
      return e->Text();
    if (auto e = Find(tag, store::kTypeString8))
      return e->Text();
    return {};
  }

  const std::vector<const Node*>& Folders() const {
    if (!folders_)
      folders_ = db_->Children(nid_, kNidTypeNormalFolder);
    return *folders_;
  }

  const std::vector<SubNode>& Attachments() const {
    if (!attachments_) {
      attachments_.emplace();
      for (const auto& s : Props()->SubNodes()) {
        if ((s.nid & kNidTypeMask) == kNidTypeAttachment)
          attachments_->push_back(s);
      }
    }
    return *attachments_;
  }

  std::shared_ptr<const Db> db_;
  uint32_t nid_;
  uint64_t bidData_;
  uint64_t bidSub_;
  bool inIndex_;
  mutable std::shared_ptr<const Pc> pc_;
  mutable std::optional<std::vector<const Node*>> folders_;
  mutable std::optional<std::vector<SubNode>> attachments_;
};

// The name-to-id map (MS-PST section 2.4.7): named property 0x8000 + wPropIdx is the entry's
// GUID and LID, or GUID and name.
std::vector<std::optional<NamedProperty>> ReadNameMap(const std::shared_ptr<const Db>& db) {
  std::vector<std::optional<NamedProperty>> names;
  const Node* node = db->FindNode(kNidNameToIdMap);
  if (!node)
    return names;
  const auto pc = std::make_shared<const Pc>(db, node->bidData, node->bidSub);
  std::string guids, entries, strings;
  for (const auto& r : pc->records()) {
    if (r.type != store::kTypeBinary)
      continue;
    if (r.id == 0x0002)
      guids = ValueBytes(*pc, r);
    if (r.id == 0x0003)
      entries = ValueBytes(*pc, r);
    if (r.id == 0x0004)
      strings = ValueBytes(*pc, r);
  }
  const uint8_t* e = Bytes(entries);
  for (size_t at = 0; at + 8 <= entries.size(); at += 8) {
    const uint32_t id = U32(e + at);
    const uint16_t guidField = U16(e + at + 4), index = U16(e + at + 6);
    NamedProperty p;
    const size_t guid = guidField >> 1;
    if (guid == 1) {
      std::memcpy(p.guid, kPsMapi, 16);
    } else if (guid == 2) {
      std::memcpy(p.guid, kPsPublicStrings, 16);
    } else if (guid >= 3) {
      if ((guid - 3) * 16 + 16 > guids.size())
        db->Damaged("the named property map refers to a missing property set");
      std::memcpy(p.guid, guids.data() + (guid - 3) * 16, 16);
    }
    if (guidField & 1) {
      if (strings.size() < 4 || id > strings.size() - 4)
        db->Damaged("the named property map refers to a missing name");
      const size_t length = U32(Bytes(strings) + id);
      if (length > strings.size() - 4 - id)
        db->Damaged("a named property's name does not fit the map");
      p.isString = true;
      p.name = store::Utf16ToUtf8(Bytes(strings) + id + 4, length);
    } else {
      p.lid = id;
    }
    if (index >= 0x8000)
      continue;  // beyond the named property range
    if (index >= names.size())
      names.resize(index + 1);
    names[index] = std::move(p);
  }
  return names;
}

class NativeFile : public store::File {
 public:
  explicit NativeFile(std::shared_ptr<const Db> db) : db_(std::move(db)) {}
  const std::string& path() const override { return db_->path(); }
  const char* ReaderName() const override { return "native"; }

  std::unique_ptr<store::Item> RootFolder() override {
    auto item = ItemByIdentifier(kNidRootFolder);
    if (!item) {
      throw Failure("The Outlook data file \"" + path() +
                    "\" is damaged or truncated: its folder tree cannot be found.");
    }
    return item;
  }
  std::unique_ptr<store::Item> MessageStore() override {
    return ItemByIdentifier(kNidMessageStore);
  }
  std::unique_ptr<store::Item> ItemByIdentifier(uint32_t identifier) override {
    const Node* n = db_->FindNode(identifier);
    if (!n)
      return nullptr;
    return std::make_unique<NativeItem>(db_, n->nid, n->bidData, n->bidSub, true);
  }

 private:
  std::shared_ptr<const Db> db_;
};

// Null when the file is not one the reader takes; `why` says why.
std::shared_ptr<store::File> Open(const std::string& path, std::string& why) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    throw Failure("Cannot open the Outlook data file \"" + path + "\": " + std::strerror(errno) +
                  ".");
  }
  struct stat st {};
  uint8_t header[kHeaderSize] = {};
  if (::fstat(fd, &st) != 0 || static_cast<size_t>(st.st_size) < kHeaderSize ||
      ::pread(fd, header, kHeaderSize, 0) != static_cast<ssize_t>(kHeaderSize)) {
    ::close(fd);
    why = "its header cannot be read";
    return nullptr;
  }
  auto db = std::make_shared<Db>(path, fd, static_cast<uint64_t>(st.st_size), header[513]);
  if (std::memcmp(header, "!BDN", 4) != 0 || header[8] != 'S' || header[9] != 'M') {
    why = "it does not start with the PST signature";
    return nullptr;
  }
  if (U16(header + 10) != 23) {
    why = "it is not a Unicode PST file (format " + std::to_string(U16(header + 10)) + ")";
    return nullptr;
  }
  if (header[513] > 1) {
    why = "its encryption (" + std::to_string(header[513]) + ") is not read natively";
    return nullptr;
  }
  if (U32(header + 4) != Crc(header + 8, 471) || U32(header + 524) != Crc(header + 8, 516)) {
    why = "its header fails its check sum";
    return nullptr;
  }
  try {
    db->Load(header);
    db->SetNames(ReadNameMap(db));
  } catch (const Failure& f) {
    why = f.what();
    return nullptr;
  }
  return std::make_shared<NativeFile>(std::move(db));
}

}  // namespace

void DecodePermute(uint8_t* data, size_t size) {
  for (size_t i = 0; i < size; ++i)
    data[i] = kDecode[data[i]];
}

uint32_t Crc(const uint8_t* data, size_t size) {
  const auto& t = CrcTables();
  uint32_t crc = 0;
  while (size >= 8) {
    const uint32_t a = crc ^ U32(data), b = U32(data + 4);
    crc = t[7][a & 0xFF] ^ t[6][(a >> 8) & 0xFF] ^ t[5][(a >> 16) & 0xFF] ^ t[4][a >> 24] ^
          t[3][b & 0xFF] ^ t[2][(b >> 8) & 0xFF] ^ t[1][(b >> 16) & 0xFF] ^ t[0][b >> 24];
    data += 8;
    size -= 8;
  }
  while (size--)
    crc = t[0][(crc ^ *data++) & 0xFF] ^ (crc >> 8);
  return crc;
}

std::shared_ptr<store::File> OpenNative(const std::string& path) {
  std::string why;
  return Open(path, why);
}

std::shared_ptr<store::File> OpenNativeOrFail(const std::string& path) {
  std::string why;
  auto file = Open(path, why);
  if (!file)
    throw Failure("The Outlook data file \"" + path + "\" is not read natively: " + why + ".");
  return file;
}

}  // namespace tarnvex::pst::ndb
