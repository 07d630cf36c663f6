#include "tools/pstwriter/damage.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <type_traits>
#include <vector>

#include "platform/failure.h"
#include "pst/crypt.h"
#include "pst/format.h"
#include "text/crc.h"

namespace tarnvex::pstwriter {

namespace {

std::vector<char> ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in)
    throw Failure("Cannot read \"" + path + "\": " + std::strerror(errno) + ".");
  return std::vector<char>(std::istreambuf_iterator<char>(in), {});
}

void WriteAll(const std::string& path, const char* data, std::size_t size) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  if (!out || !out.write(data, static_cast<std::streamsize>(size)) || !out.flush()) {
    throw Failure("Cannot write \"" + path + "\": " + std::strerror(errno) + ".");
  }
}

}  // namespace

void WriteTruncatedCopy(const std::string& source, const std::string& target,
                        std::uint64_t length) {
  const std::vector<char> data = ReadAll(source);
  WriteAll(target, data.data(), std::min<std::uint64_t>(length, data.size()));
}

void WriteFlippedCopy(const std::string& source, const std::string& target, std::uint64_t count,
                      std::uint64_t seed, std::uint64_t from) {
  std::vector<char> data = ReadAll(source);
  if (from >= data.size() && count > 0) {
    throw Failure("Cannot damage \"" + source + "\": it has only " + std::to_string(data.size()) +
                  " bytes.");
  }
  std::uint64_t state = seed * 0x9E3779B97F4A7C15ull + 1;
  auto next = [&] {
    std::uint64_t z = (state += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
  };
  for (std::uint64_t i = 0; i < count; ++i) {
    const std::uint64_t at = from + next() % (data.size() - from);
    data[at] = static_cast<char>(data[at] ^ static_cast<char>(1 + next() % 255));
  }
  WriteAll(target, data.data(), data.size());
}

namespace {

using namespace pst::format;

// A leaf entry of a B-tree and where it lies.
template <typename Entry>
struct EntryAt {
  Entry entry;
  std::uint64_t page;  // offset of its leaf page
  std::size_t index;   // its place in the page
};

// What the damage needs of the header, of either format.
struct HeaderFacts {
  const Layout* layout;
  std::uint64_t nbt;  // offset of the node index's root page
  std::uint64_t bbt;  // offset of the block index's root page
  std::uint8_t bCryptMethod;
};

HeaderFacts HeaderOf(const std::string& pst) {
  if (pst.size() < sizeof(HeaderAnsi))
    throw Failure("The PST file is shorter than its header.");
  const auto ansi = Load<HeaderAnsi>(pst.data());
  const Layout* layout = LayoutOfVersion(ansi.wVer);
  if (!layout)
    throw Failure("The file is not a PST file of a format the writer knows.");
  if (layout->ansi())
    return {layout, ansi.root.brefNbt.ib, ansi.root.brefBbt.ib, ansi.bCryptMethod};
  if (pst.size() < sizeof(Header))
    throw Failure("The PST file is shorter than its header.");
  const auto header = Load<Header>(pst.data());
  return {layout, header.root.brefNbt.ib, header.root.brefBbt.ib, header.bCryptMethod};
}

// Every leaf entry of the B-tree whose root page is at `ib` (NbtEntry for the node index,
// BbtEntry for the block index, read in the file's format), in page order. The walk checks only
// what it needs to stay inside the bytes.
template <typename Entry>
std::vector<EntryAt<Entry>> LeafEntries(const std::string& pst, const Layout& f,
                                        std::uint64_t root) {
  std::vector<EntryAt<Entry>> out;
  std::size_t pages = 0;
  constexpr bool kNodes = std::is_same_v<Entry, NbtEntry>;
  auto walk = [&](auto&& self, std::uint64_t ib, int depth) -> void {
    if (depth > kMaxBtreeLevels || ++pages > pst.size() / f.pageSize || ib > pst.size() ||
        f.pageSize > pst.size() - ib) {
      throw Failure("The PST file's index cannot be walked.");
    }
    const auto* page = reinterpret_cast<const std::uint8_t*>(pst.data() + ib);
    const auto tail = f.LoadBtPageTail(page);
    const std::size_t size = tail.cLevel > 0 ? f.btEntrySize
                             : kNodes        ? f.nbtEntrySize
                                             : f.bbtEntrySize;
    if (tail.cbEnt < size || std::size_t{tail.cEnt} * tail.cbEnt > f.btEntryBytes)
      throw Failure("The PST file's index cannot be walked.");
    for (std::size_t i = 0; i < tail.cEnt; ++i) {
      const std::uint8_t* at = page + i * tail.cbEnt;
      if (tail.cLevel > 0) {
        self(self, f.LoadBtEntry(at).bref.ib, depth + 1);
      } else if constexpr (kNodes) {
        out.push_back({f.LoadNbtEntry(at), ib, i});
      } else {
        out.push_back({f.LoadBbtEntry(at), ib, i});
      }
    }
  };
  walk(walk, root, 0);
  return out;
}

std::vector<EntryAt<NbtEntry>> NodeEntries(const std::string& pst) {
  const HeaderFacts h = HeaderOf(pst);
  return LeafEntries<NbtEntry>(pst, *h.layout, h.nbt);
}

const Layout& LayoutOf(const std::string& pst) {
  return *HeaderOf(pst).layout;
}

std::uint8_t* Bytes(std::string& pst, std::uint64_t at) {
  return reinterpret_cast<std::uint8_t*>(pst.data() + at);
}

// Takes the check sum of the page at `ib` again.
void Reseal(std::string& pst, const Layout& f, std::uint64_t ib) {
  std::uint8_t* page = Bytes(pst, ib);
  auto trailer = f.LoadPageTrailer(page + f.pageDataSize());
  trailer.dwCRC = text::Crc32(page, f.pageDataSize());
  f.StorePageTrailer(page + f.pageDataSize(), trailer);
}

bool IsFolder(const NbtEntry& e) {
  return NidTypeOf(static_cast<Nid>(e.nid)) == kNidTypeNormalFolder && e.nid != kNidRootFolder;
}

std::string HexNid(std::uint64_t nid) {
  char buf[24];
  std::snprintf(buf, sizeof buf, "0x%llX", static_cast<unsigned long long>(nid));
  return buf;
}

}  // namespace

std::uint32_t DuplicateNode(std::string& pst, std::uint32_t nid, bool alike) {
  const auto entries = NodeEntries(pst);
  const EntryAt<NbtEntry>* target = nullptr;
  for (const auto& e : entries) {
    if (nid ? e.entry.nid == nid : IsFolder(e.entry)) {
      target = &e;
      break;
    }
  }
  if (!target) {
    throw Failure(nid ? "The PST file's node index does not list node " + HexNid(nid) + "."
                      : "The PST file has no folder but the root folder.");
  }
  const Layout& f = LayoutOf(pst);
  std::uint8_t* page = Bytes(pst, target->page);
  auto tail = f.LoadBtPageTail(page);
  const std::size_t size = tail.cbEnt;
  std::size_t at = target->index + 1;
  if (tail.cEnt < tail.cEntMax && (std::size_t{tail.cEnt} + 1) * size <= f.btEntryBytes) {
    // Room for one more: the entries after it move up by one.
    std::memmove(page + (at + 1) * size, page + at * size, (tail.cEnt - at) * size);
    ++tail.cEnt;
    f.StoreBtPageTail(page, tail);
  } else if (at == tail.cEnt) {
    if (target->index == 0)
      throw Failure("Node " + HexNid(target->entry.nid) + " is alone in its node index page.");
    at = target->index - 1;
  }
  NbtEntry copy = target->entry;
  if (!alike)
    copy.nidParent = kNidNoSuchFolder;
  f.StoreNbtEntry(page + at * size, copy);
  Reseal(pst, f, target->page);
  return static_cast<std::uint32_t>(target->entry.nid);
}

FolderCycle MakeFolderCycle(std::string& pst, std::uint32_t folder) {
  const auto entries = NodeEntries(pst);
  for (const auto& e : entries) {
    if (folder ? e.entry.nid != folder : !IsFolder(e.entry))
      continue;
    for (const auto& sub : entries) {
      if (!IsFolder(sub.entry) || sub.entry.nidParent != e.entry.nid ||
          sub.entry.nid == e.entry.nid)
        continue;
      const Layout& f = LayoutOf(pst);
      NbtEntry changed = e.entry;
      changed.nidParent = static_cast<std::uint32_t>(sub.entry.nid);
      f.StoreNbtEntry(Bytes(pst, e.page + e.index * f.nbtEntrySize), changed);
      Reseal(pst, f, e.page);
      return {static_cast<std::uint32_t>(e.entry.nid), static_cast<std::uint32_t>(sub.entry.nid)};
    }
    if (folder)
      break;
  }
  throw Failure(folder ? "Folder " + HexNid(folder) + " has no subfolder in the PST file."
                       : "The PST file has no folder with a subfolder.");
}

namespace {

// The normal message the pick names, counted in node index order and taken modulo their count.
const EntryAt<NbtEntry>& MessageEntry(const std::vector<EntryAt<NbtEntry>>& entries,
                                      std::uint64_t pick, std::vector<std::size_t>& messages) {
  for (std::size_t i = 0; i < entries.size(); ++i) {
    if (NidTypeOf(static_cast<Nid>(entries[i].entry.nid)) == kNidTypeNormalMessage)
      messages.push_back(i);
  }
  if (messages.empty())
    throw Failure("The PST file has no message.");
  return entries[messages[pick % messages.size()]];
}

}  // namespace

std::uint32_t OrphanMessage(std::string& pst, std::uint64_t pick) {
  const auto entries = NodeEntries(pst);
  std::vector<std::size_t> messages;
  const EntryAt<NbtEntry>& e = MessageEntry(entries, pick, messages);
  const Layout& f = LayoutOf(pst);
  NbtEntry changed = e.entry;
  changed.nidParent = kNidNoSuchFolder;
  f.StoreNbtEntry(Bytes(pst, e.page + e.index * f.nbtEntrySize), changed);
  Reseal(pst, f, e.page);
  return static_cast<std::uint32_t>(e.entry.nid);
}

namespace {

// The entry taken out of its node index page, the entries after it moved down.
void RemoveNodeEntry(std::string& pst, const EntryAt<NbtEntry>& e) {
  const Layout& f = LayoutOf(pst);
  std::uint8_t* page = Bytes(pst, e.page);
  auto tail = f.LoadBtPageTail(page);
  if (tail.cEnt < 2)
    throw Failure("Node " + HexNid(e.entry.nid) + " is alone in its node index page.");
  const std::size_t size = tail.cbEnt;
  std::memmove(page + e.index * size, page + (e.index + 1) * size,
               (tail.cEnt - e.index - 1) * size);
  std::memset(page + (tail.cEnt - 1) * size, 0, size);
  --tail.cEnt;
  f.StoreBtPageTail(page, tail);
  Reseal(pst, f, e.page);
}

}  // namespace

std::uint32_t DropMessageNode(std::string& pst, std::uint64_t pick) {
  const auto entries = NodeEntries(pst);
  std::vector<std::size_t> messages;
  const EntryAt<NbtEntry>& e = MessageEntry(entries, pick, messages);
  RemoveNodeEntry(pst, e);
  return static_cast<std::uint32_t>(e.entry.nid);
}

void DropNode(std::string& pst, std::uint32_t nid) {
  for (const auto& e : NodeEntries(pst)) {
    if (e.entry.nid == nid) {
      RemoveNodeEntry(pst, e);
      return;
    }
  }
  throw Failure("The node index does not list node " + HexNid(nid) + ".");
}

std::uint64_t MisplaceBlock(std::string& pst, std::uint64_t pick) {
  const HeaderFacts h = HeaderOf(pst);
  const Layout& f = *h.layout;
  const auto blocks = LeafEntries<BbtEntry>(pst, f, h.bbt);
  if (blocks.empty())
    throw Failure("The PST file's block index is empty.");
  const EntryAt<BbtEntry>& e = blocks[pick % blocks.size()];
  BbtEntry changed = e.entry;
  // Past the end of the file, by a different amount for each pick.
  changed.bref.ib = pst.size() + kPageSize * (1 + pick % 64);
  f.StoreBbtEntry(Bytes(pst, e.page + e.index * f.bbtEntrySize), changed);
  Reseal(pst, f, e.page);
  return e.entry.bref.bid;
}

std::uint32_t MiscountNodePage(std::string& pst, std::uint64_t pick) {
  const auto entries = NodeEntries(pst);
  if (entries.empty())
    throw Failure("The PST file's node index is empty.");
  std::vector<std::uint64_t> pages;
  for (const auto& e : entries) {
    if (pages.empty() || pages.back() != e.page)
      pages.push_back(e.page);
  }
  const std::uint64_t ib = pages[pick % pages.size()];
  const Layout& f = LayoutOf(pst);
  std::uint8_t* page = Bytes(pst, ib);
  auto tail = f.LoadBtPageTail(page);
  const int by = (pick / pages.size()) % 2 == 0 && tail.cEnt < tail.cEntMax ? 1 : -1;
  tail.cEnt = static_cast<std::uint8_t>(tail.cEnt + by);
  f.StoreBtPageTail(page, tail);
  Reseal(pst, f, ib);
  return tail.cEnt;
}

void EncodeBlocks(std::string& pst, std::uint8_t method) {
  const HeaderFacts header = HeaderOf(pst);
  const Layout& f = *header.layout;
  if (header.bCryptMethod != kCryptNone)
    throw Failure("The PST file's blocks are encoded already.");
  if (method != kCryptPermute && method != kCryptCyclic)
    throw Failure("Unknown block encoding " + std::to_string(method) + ".");
  // Whether Outlook encodes the blocks of that form before or after compressing them is not
  // known (libpff's notes leave it open), so its files are not encoded here.
  if (f.pages4k())
    throw Failure("The blocks of an OST file with 4 KiB pages are not encoded here.");
  for (const auto& e : LeafEntries<BbtEntry>(pst, f, header.bbt)) {
    const Bid bid = e.entry.bref.bid;
    const std::uint64_t span = f.BlockSpan(e.entry.cb);
    if (IsInternal(bid))
      continue;  // internal blocks stay plain
    if (e.entry.bref.ib > pst.size() || span > pst.size() - e.entry.bref.ib)
      throw Failure("A block of the PST file lies outside it.");
    std::uint8_t* data = Bytes(pst, e.entry.bref.ib);
    if (method == kCryptPermute)
      pst::EncodePermute(data, e.entry.cb);
    else
      pst::CryptCyclic(data, e.entry.cb, static_cast<std::uint32_t>(bid));
    auto trailer = f.LoadBlockTrailer(data + span - f.blockTrailerSize);
    trailer.dwCRC = text::Crc32(data, e.entry.cb);
    f.StoreBlockTrailer(data + span - f.blockTrailerSize, trailer);
  }
  // bCryptMethod and the check sums: an ANSI header keeps the one over the same bytes.
  const std::size_t cryptAt =
      f.ansi() ? offsetof(HeaderAnsi, bCryptMethod) : offsetof(Header, bCryptMethod);
  pst[cryptAt] = static_cast<char>(method);
  ResealHeader(pst);
}

void ResealHeader(std::string& pst) {
  const bool ansi = HeaderOf(pst).layout->ansi();
  // dwCRCPartial stands at the same place in both formats.
  const std::uint32_t partial = text::Crc32(pst.data() + kHeaderCrcStart, kHeaderCrcPartialLength);
  std::memcpy(pst.data() + offsetof(Header, dwCRCPartial), &partial, sizeof partial);
  if (!ansi) {
    const std::uint32_t full = text::Crc32(pst.data() + kHeaderCrcStart, kHeaderCrcFullLength);
    std::memcpy(pst.data() + offsetof(Header, dwCRCFull), &full, sizeof full);
  }
}

std::uint32_t WriteDuplicateNodeCopy(const std::string& source, const std::string& target,
                                     std::uint32_t nid, bool alike) {
  const std::vector<char> data = ReadAll(source);
  std::string pst(data.begin(), data.end());
  nid = DuplicateNode(pst, nid, alike);
  WriteAll(target, pst.data(), pst.size());
  return nid;
}

FolderCycle WriteFolderCycleCopy(const std::string& source, const std::string& target,
                                 std::uint32_t folder) {
  const std::vector<char> data = ReadAll(source);
  std::string pst(data.begin(), data.end());
  const FolderCycle cycle = MakeFolderCycle(pst, folder);
  WriteAll(target, pst.data(), pst.size());
  return cycle;
}

void WriteDamagedCopy(const std::string& source, const std::string& target,
                      const std::function<void(std::string&)>& damage) {
  const std::vector<char> data = ReadAll(source);
  std::string pst(data.begin(), data.end());
  damage(pst);
  WriteAll(target, pst.data(), pst.size());
}

void WriteEncodedCopy(const std::string& source, const std::string& target, std::uint8_t method) {
  const std::vector<char> data = ReadAll(source);
  std::string pst(data.begin(), data.end());
  EncodeBlocks(pst, method);
  WriteAll(target, pst.data(), pst.size());
}

}  // namespace tarnvex::pstwriter
