#include "pst/ndb/node_database.h"

#include <algorithm>
#include <deque>

#include "pst/ndb/damage.h"
#include "pst/ndb/header.h"
#include "text/crc.h"

namespace tarnvex::pst::ndb {

using namespace format;

// One walk of a B-tree: which index, how many more pages it may read, what it found.
struct NodeDatabase::PageWalk {
  struct LoadedNode {
    Node node;
    std::uint64_t page;  // offset of the page that lists it
    bool damagedPage;    // that page fails its check sum
  };
  std::uint8_t ptype;
  std::string what;
  std::uint64_t budget;
  // Gathered in deques, which grow without moving what they hold, and then copied once into
  // arrays of their exact size: growing an array by doubling would need up to three times the
  // index's size while it moves (a store of a million contacts has millions of entries).
  std::deque<LoadedNode> nodes;
  std::deque<Block> blocks;
};

const Subnode* FindSubnode(const std::vector<Subnode>& sorted, Nid nid) {
  const auto it = std::lower_bound(sorted.begin(), sorted.end(), nid,
                                   [](const Subnode& s, Nid v) { return s.nid < v; });
  return it != sorted.end() && it->nid == nid ? &*it : nullptr;
}

// The window index pages are read through: a page and its neighbours, rather than the 256 KiB a
// block's window reads, most of which no page needs (a mailbox of 100,000 mails read about six
// times its size that way).
constexpr std::size_t kPageWindow = 16 * 1024;

NodeDatabase::NodeDatabase(std::shared_ptr<const ByteSource> source, const FileHeader& header)
    : source_(std::move(source)), header_(header) {}

std::shared_ptr<const NodeDatabase> NodeDatabase::Open(std::shared_ptr<const ByteSource> source) {
  const FileHeader header = ReadHeader(*source);
  auto db = std::make_shared<NodeDatabase>(std::make_shared<BufferedByteSource>(source), header);
  db->pages_ = std::make_shared<BufferedByteSource>(std::move(source), kPageWindow);
  if (!header.damage.empty())
    db->NoteDamage(0, header.damage);
  db->LoadIndex(kPtypeNBT, header.brefNbt);
  db->LoadIndex(kPtypeBBT, header.brefBbt);
  db->pages_.reset();
  return db;
}

void NodeDatabase::Fail(Defect defect, std::string description, Location where,
                        std::string expected, std::string found) const {
  throw CorruptionError(name(), defect, std::move(description), where, std::move(expected),
                        std::move(found));
}

void NodeDatabase::LoadIndex(std::uint8_t ptype, const Bref& root) {
  // No page is read twice in a sound file.
  PageWalk walk{ptype,
                ptype == kPtypeNBT ? "the node index" : "the block index",
                source_->Size() / layout().pageSize + 1,
                {},
                {}};
  LoadPage(walk, root.ib, root.bid, -1, KeySpan{});
  if (ptype == kPtypeBBT) {
    blocks_.assign(walk.blocks.begin(), walk.blocks.end());
    walk.blocks.clear();
    auto byBid = [](const Block& a, const Block& b) { return a.bid < b.bid; };
    if (!std::is_sorted(blocks_.begin(), blocks_.end(), byBid))
      std::stable_sort(blocks_.begin(), blocks_.end(), byBid);
    return;
  }
  auto byNid = [](const PageWalk::LoadedNode& a, const PageWalk::LoadedNode& b) {
    return a.node.nid < b.node.nid;
  };
  if (!std::is_sorted(walk.nodes.begin(), walk.nodes.end(), byNid))
    std::stable_sort(walk.nodes.begin(), walk.nodes.end(), byNid);
  // Each node is listed once (MS-PST 2.2.2.1): a second entry could give a node two parents and
  // so make the folder tree a loop. Entries alike in every field say the same of the node: one
  // is used, and the damage noted.
  auto alike = [](const Node& a, const Node& b) {
    return a.parent == b.parent && a.data == b.data && a.sub == b.sub;
  };
  bool repeated = false;
  for (std::size_t i = 1; i < walk.nodes.size(); ++i) {
    if (walk.nodes[i].node.nid != walk.nodes[i - 1].node.nid)
      continue;
    const Nid nid = walk.nodes[i].node.nid;
    const std::size_t firstAt = i - 1;
    std::size_t count = 2;
    bool allAlike = alike(walk.nodes[i].node, walk.nodes[firstAt].node);
    while (i + 1 < walk.nodes.size() && walk.nodes[i + 1].node.nid == nid) {
      ++i, ++count;
      allAlike = allAlike && alike(walk.nodes[i].node, walk.nodes[firstAt].node);
    }
    const std::uint64_t first = walk.nodes[firstAt].page, last = walk.nodes[i].page;
    const std::string listed =
        "the node index lists node " + Hex(nid) + " " +
        (count == 2 ? std::string("twice") : std::to_string(count) + " times") +
        (first == last ? " in its page at offset " + std::to_string(last)
                       : " (in its pages at offsets " + std::to_string(first) + " and " +
                             std::to_string(last) + ")");
    if (!allAlike) {
      Fail(Defect::kDuplicateNode, listed, Location::OfNode(nid, last), "1 entry",
           std::to_string(count) + " entries");
    }
    RecordDamage(listed + "; the entries are alike, and one is used");
    repeated = true;
  }
  if (repeated) {
    auto sameNode = [](const PageWalk::LoadedNode& a, const PageWalk::LoadedNode& b) {
      return a.node.nid == b.node.nid;
    };
    walk.nodes.erase(std::unique(walk.nodes.begin(), walk.nodes.end(), sameNode), walk.nodes.end());
  }
  nodes_.reserve(walk.nodes.size());
  for (const auto& n : walk.nodes) {
    nodes_.push_back(n.node);
    if (n.damagedPage)
      damagedNodes_.emplace_back(n.node.nid, n.page);
  }
  byParent_.resize(nodes_.size());
  for (std::uint32_t i = 0; i < nodes_.size(); ++i)
    byParent_[i] = i;
  std::stable_sort(byParent_.begin(), byParent_.end(), [&](std::uint32_t a, std::uint32_t b) {
    return nodes_[a].parent < nodes_[b].parent;
  });
}

void NodeDatabase::LoadPage(PageWalk& walk, std::uint64_t ib, Bid bid, int level, KeySpan span) {
  const Location where = Location::OfBlock(bid, ib);
  auto page = [&] { return walk.what + " page at offset " + std::to_string(ib); };
  // Spent, the budget stays spent: the pages a walk leaves out must not give it more.
  if (walk.budget == 0)
    Fail(Defect::kLoop, walk.what + " has a loop", where);
  --walk.budget;
  const Layout& f = layout();
  if (!InFileAtABlocksPlace(f, ib, f.pageSize, source_->Size())) {
    Fail(Defect::kOutOfBounds, walk.what + " points outside the file", where,
         "a page within " + std::to_string(source_->Size()) + " bytes",
         "offset " + std::to_string(ib));
  }
  std::uint8_t raw[kPageSize4k];
  ReadExactly(*pages_, ib, raw, f.pageSize, page, where);
  const auto trailer = f.LoadPageTrailer(raw + f.pageDataSize());
  if (trailer.ptype != walk.ptype || trailer.ptypeRepeat != walk.ptype) {
    Fail(Defect::kMismatch, page() + " is not one of its pages", where,
         "page type " + Hex(walk.ptype), "page type " + Hex(trailer.ptype));
  }
  if (trailer.bid != bid)
    Fail(Defect::kMismatch, page() + " is not the page named there", where, Hex(bid),
         Hex(trailer.bid));
  const std::uint32_t crc = text::Crc32(raw, f.pageDataSize());
  const bool damaged = crc != trailer.dwCRC;
  const auto tail = f.LoadBtPageTail(raw);
  const int cLevel = tail.cLevel;
  const std::size_t entrySize = cLevel > 0                ? f.btEntrySize
                                : walk.ptype == kPtypeNBT ? f.nbtEntrySize
                                                          : f.bbtEntrySize;
  const bool atItsLevel = cLevel <= kMaxBtreeLevels && (level < 0 || cLevel == level);
  const bool entriesFit =
      tail.cbEnt >= entrySize && std::size_t{tail.cEnt} * tail.cbEnt <= f.btEntryBytes;
  // Each block names itself in its trailer and is checked when read: of a block index page only
  // the entries that hold are needed, and a page below the root that cannot be used loses only
  // the blocks it lists, whose items then fail, each reported. Of a node index page, too, only
  // the entries that hold are used; the nodes it loses are kept as lost, so that what needs them
  // can say why they are missing.
  const bool blockIndex = walk.ptype == kPtypeBBT;
  if (damaged && (!atItsLevel || !entriesFit))
    Fail(Defect::kChecksum, page() + " fails its check sum", where, Hex(trailer.dwCRC), Hex(crc));
  if (!atItsLevel) {
    Fail(Defect::kMismatch, page() + " is at the wrong level of the tree", where,
         level >= 0 ? "level " + std::to_string(level)
                    : "at most level " + std::to_string(kMaxBtreeLevels),
         "level " + std::to_string(cLevel));
  }
  if (!entriesFit) {
    Fail(Defect::kBadStructure, page() + " has entries that do not fit it", where,
         "entries of at least " + std::to_string(entrySize) + " bytes within " +
             std::to_string(f.btEntryBytes),
         std::to_string(tail.cEnt) + " of " + std::to_string(tail.cbEnt) + " bytes");
  }
  std::vector<bool> holds(tail.cEnt, true);
  if (damaged && blockIndex) {
    NoteDamage(ib, page() + " fails its check sum; its entries that hold are used");
  } else if (damaged) {
    holds = NodeEntriesThatHold(raw, tail.cEnt, tail.cbEnt, cLevel, span);
    const auto held = static_cast<std::size_t>(std::count(holds.begin(), holds.end(), true));
    if (held == tail.cEnt) {
      NoteDamage(ib, page() + " fails its check sum; its entries are used");
    } else {
      NoteDamage(ib, page() + " fails its check sum; " + std::to_string(held) + " of its " +
                         std::to_string(tail.cEnt) + " entries hold and are used");
      lostPages_.push_back({span, ib});
    }
  }
  for (std::size_t i = 0; i < tail.cEnt; ++i) {
    if (!holds[i])
      continue;
    const std::uint8_t* e = raw + i * tail.cbEnt;
    if (cLevel > 0) {
      const auto entry = f.LoadBtEntry(e);
      if (blockIndex) {
        LoadBlockIndexPage(walk, entry.bref.ib, entry.bref.bid, cLevel - 1);
        continue;
      }
      // A child spans the keys up to the next child's first.
      KeySpan below{entry.btkey, span.hi};
      for (std::size_t next = i + 1; next < tail.cEnt; ++next) {
        if (holds[next]) {
          below.hi = f.LoadBtEntry(raw + next * tail.cbEnt).btkey;
          break;
        }
      }
      LoadNodeIndexPage(walk, entry.bref.ib, entry.bref.bid, cLevel - 1, below);
    } else if (walk.ptype == kPtypeNBT) {
      const auto entry = f.LoadNbtEntry(e);
      walk.nodes.push_back(
          {{static_cast<Nid>(entry.nid), entry.nidParent, entry.bidData, entry.bidSub},
           ib,
           damaged});
    } else {
      const auto entry = f.LoadBbtEntry(e);
      if (!damaged || BlockEntryHolds(entry.bref.ib, entry.cb))
        walk.blocks.push_back({BidKey(entry.bref.bid), entry.bref.ib, entry.cb});
    }
  }
}

void NodeDatabase::LoadNodeIndexPage(PageWalk& walk, std::uint64_t ib, Bid bid, int level,
                                     KeySpan span) {
  try {
    LoadPage(walk, ib, bid, level, span);
  } catch (const CorruptionError& e) {
    NoteDamage(ib, "the node index page at offset " + std::to_string(ib) + " cannot be used (" +
                       e.description() + "); the nodes it lists are missing");
    lostPages_.push_back({span, ib});
  }
}

void NodeDatabase::LoadBlockIndexPage(PageWalk& walk, std::uint64_t ib, Bid bid, int level) {
  try {
    LoadPage(walk, ib, bid, level, KeySpan{});
  } catch (const CorruptionError& e) {
    NoteDamage(ib, "the block index page at offset " + std::to_string(ib) + " cannot be used (" +
                       e.description() + "); the blocks it lists are missing");
  }
}

bool NodeDatabase::BlockEntryHolds(std::uint64_t ib, std::size_t cb) const {
  const Layout& f = layout();
  return cb <= f.maxReadBlockData() &&
         InFileAtABlocksPlace(f, ib, f.BlockSpan(cb), source_->Size());
}

namespace {

// The NID types MS-PST 2.2.2.1 defines.
bool KnownNidType(std::uint32_t type) {
  return type <= kNidTypeAssocMessage ||
         (type >= kNidTypeContentsTableIndex && type <= kNidTypeSearchTableIndex) ||
         type == kNidTypeLtp;
}

}  // namespace

std::vector<bool> NodeDatabase::NodeEntriesThatHold(const std::uint8_t* raw, std::size_t count,
                                                    std::size_t entrySize, int cLevel,
                                                    KeySpan span) const {
  const Layout& f = layout();
  std::vector<bool> holds(count);
  std::vector<std::uint64_t> keys(count);
  for (std::size_t i = 0; i < count; ++i) {
    const std::uint8_t* e = raw + i * entrySize;
    if (cLevel > 0) {
      const auto entry = f.LoadBtEntry(e);
      keys[i] = entry.btkey;
      holds[i] = InFileAtABlocksPlace(f, entry.bref.ib, f.pageSize, source_->Size());
    } else {
      const auto entry = f.LoadNbtEntry(e);
      const auto nid = static_cast<Nid>(entry.nid);
      keys[i] = entry.nid;
      holds[i] = KnownNidType(NidTypeOf(nid)) && entry.bidData != 0 &&
                 (entry.nidParent == 0 || KnownNidType(NidTypeOf(entry.nidParent)));
    }
    holds[i] = holds[i] && keys[i] >= span.lo && keys[i] < span.hi;
  }
  // In order: above the last entry kept and below the next that holds on its own, so that one
  // wrong key loses its own entry and not those around it.
  std::optional<std::uint64_t> last;
  for (std::size_t i = 0; i < count; ++i) {
    if (!holds[i])
      continue;
    std::size_t next = i + 1;
    while (next < count && !holds[next])
      ++next;
    if ((last && keys[i] <= *last) || (next < count && keys[i] >= keys[next])) {
      holds[i] = false;
      continue;
    }
    last = keys[i];
  }
  return holds;
}

void NodeDatabase::NoteDamage(std::uint64_t offset, const std::string& note) const {
  {
    std::lock_guard<std::mutex> lock(damageMutex_);
    if (damagedOffsets_.insert(offset).second)
      damageNotes_.push_back(note);
  }
  DamageScope::Tell(note);
}

void NodeDatabase::RecordDamage(const std::string& note) const {
  std::lock_guard<std::mutex> lock(damageMutex_);
  if (std::find(damageNotes_.begin(), damageNotes_.end(), note) == damageNotes_.end())
    damageNotes_.push_back(note);
}

std::vector<std::string> NodeDatabase::DamageNotes(std::size_t from) const {
  std::lock_guard<std::mutex> lock(damageMutex_);
  if (from >= damageNotes_.size())
    return {};
  return {damageNotes_.begin() + static_cast<std::ptrdiff_t>(from), damageNotes_.end()};
}

std::optional<std::uint64_t> NodeDatabase::DamagedPageOf(Nid nid) const {
  const auto it = std::lower_bound(damagedNodes_.begin(), damagedNodes_.end(), nid,
                                   [](const auto& entry, Nid v) { return entry.first < v; });
  if (it == damagedNodes_.end() || it->first != nid)
    return std::nullopt;
  return it->second;
}

std::optional<std::uint64_t> NodeDatabase::LostPageOf(Nid nid) const {
  for (const LostPage& lost : lostPages_) {
    if (nid >= lost.span.lo && nid < lost.span.hi)
      return lost.ib;
  }
  return std::nullopt;
}

std::optional<std::uint64_t> NodeDatabase::LostPageOfType(std::uint32_t nidType) const {
  for (const LostPage& lost : lostPages_) {
    // The first key of the type at or above the span's lowest.
    std::uint64_t first = (lost.span.lo & ~std::uint64_t{kNidTypeMask}) | nidType;
    if (first < lost.span.lo)
      first += kNidTypeMask + 1;
    if (first < lost.span.hi)
      return lost.ib;
  }
  return std::nullopt;
}

const Node* NodeDatabase::FindNode(Nid nid) const {
  auto it = std::lower_bound(nodes_.begin(), nodes_.end(), nid,
                             [](const Node& n, Nid v) { return n.nid < v; });
  return it != nodes_.end() && it->nid == nid ? &*it : nullptr;
}

std::vector<const Node*> NodeDatabase::Children(Nid parent, std::uint32_t nidType) const {
  auto lo = std::lower_bound(byParent_.begin(), byParent_.end(), parent,
                             [&](std::uint32_t i, Nid v) { return nodes_[i].parent < v; });
  std::vector<const Node*> out;
  for (auto it = lo; it != byParent_.end() && nodes_[*it].parent == parent; ++it) {
    const Node& n = nodes_[*it];
    if (n.nid != parent && NidTypeOf(n.nid) == nidType)
      out.push_back(&n);
  }
  return out;
}

}  // namespace tarnvex::pst::ndb
