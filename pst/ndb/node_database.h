#pragma once

// The node database (MS-PST 2.2) of a Unicode or an ANSI file: the node and block B-trees, blocks
// with their trailers and check sums, data trees (XBLOCK, XXBLOCK) and subnode trees (SLBLOCK,
// SIBLOCK). Read only. Every offset is checked against the data it points into and every walk is
// bounded, so a damaged file gives a CorruptionError naming it, never a crash or a hang. A page
// or block whose check sum fails but whose structure holds is read through, with a note of its
// damage (ndb/damage.h).
//
// The two indexes are read whole when the database opens and kept as sorted arrays (about 24
// bytes per node and per block); nothing else is kept.

#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <unordered_set>
#include <utility>
#include <vector>

#include "pst/byte_source.h"
#include "pst/errors.h"
#include "pst/format.h"
#include "pst/ndb/header.h"

namespace tarnvex::pst::ndb {

using format::Bid;
using format::Nid;

// A node of the node index (an NBTENTRY).
struct Node {
  Nid nid;
  Nid parent;
  Bid data;
  Bid sub;
};

// A block of the block index (a BBTENTRY): where its data lies and how long it is.
struct Block {
  Bid bid;  // without the reserved bit
  std::uint64_t ib;
  std::uint16_t cb;
};

// An entry of a subnode tree (an SLENTRY).
struct Subnode {
  Nid nid;
  Bid data;
  Bid sub;
};

// The subnode with this NID among subnodes sorted by NID, as ReadSubnodes gives them; null when
// there is none.
const Subnode* FindSubnode(const std::vector<Subnode>& sorted, Nid nid);

class NodeDatabase {
 public:
  // Reads the header and both indexes. Throws UnsupportedFormat for a file this reader does not
  // read (ndb/header.h), CorruptionError for a damaged header or index root, or a node index
  // that lists one NID twice with different entries (Defect::kDuplicateNode; entries alike in
  // every field are used once, noted). An index page below the root that cannot be used is left
  // out and noted (DamageNotes); of the node index, the keys it spans are kept (LostPageOf).
  static std::shared_ptr<const NodeDatabase> Open(std::shared_ptr<const ByteSource> source);

  const std::string& name() const { return source_->Name(); }
  const FileHeader& header() const { return header_; }
  // The widths of the file's format.
  const format::Layout& layout() const { return *header_.layout; }

  // The node with this NID, or null.
  const Node* FindNode(Nid nid) const;
  // The nodes whose parent is `parent` and whose NID is of the given type, in NID order; the
  // parent itself (the root folder is its own parent) is left out.
  std::vector<const Node*> Children(Nid parent, std::uint32_t nidType) const;
  std::size_t NodeCount() const { return nodes_.size(); }
  // Every node, by NID.
  const std::vector<Node>& Nodes() const { return nodes_; }

  // The block index's entry of a block, or null.
  const Block* FindBlock(Bid bid) const;
  // Every entry of the block index, by BID.
  const std::vector<Block>& Blocks() const { return blocks_; }
  // One block's data, checked against its trailer and check sum and decoded.
  std::string ReadBlock(Bid bid) const;
  // The data blocks of a data tree (a data block, an XBLOCK or an XXBLOCK) in order; none for
  // BID 0. At most kMaxValueSize bytes in all.
  std::vector<std::string> ReadDataTree(Bid bid) const;
  // The same, one string.
  std::string ReadData(Bid bid) const;
  // The entries of a subnode tree (an SLBLOCK or an SIBLOCK), sorted by NID; none for BID 0.
  std::vector<Subnode> ReadSubnodes(Bid bid) const;

  // The damage read through (ndb/damage.h) so far: the header's, each index page's and each
  // block's whose check sum fails but whose structure holds, one note per page or block, in the
  // order met; those after the first `from`. Safe to call while other threads read.
  std::vector<std::string> DamageNotes(std::size_t from = 0) const;
  // Records a note of damage found outside a page or block (a node listed twice alike; a folder
  // the node index lacks, made from its parent's table), once, among DamageNotes. No DamageScope
  // is told.
  void RecordDamage(const std::string& note) const;
  // The offset of the node index page listing the node when that page fails its check sum (its
  // entries are used, but what they say of the node may be wrong); empty for a node of a sound
  // page.
  std::optional<std::uint64_t> DamagedPageOf(Nid nid) const;
  // Every node such a page lists, with the page's offset, by NID.
  const std::vector<std::pair<Nid, std::uint64_t>>& DamagedNodes() const { return damagedNodes_; }
  // The offset of the node index page that would list the node when that page could not be used,
  // or only some of its entries could: the node may be missing for that reason alone. Empty when
  // the index lost no page whose NIDs span this one.
  std::optional<std::uint64_t> LostPageOf(Nid nid) const;
  // The same for any node of the type (format::NidTypeOf): the first such page that may have
  // listed one.
  std::optional<std::uint64_t> LostPageOfType(std::uint32_t nidType) const;

  // Larger than any property value of an item: a data tree that claims more is damaged.
  static constexpr std::uint64_t kMaxValueSize = 64ull * 1024 * 1024;

  // Throws the CorruptionError for this file.
  [[noreturn]] void Fail(Defect defect, std::string description, Location where,
                         std::string expected = {}, std::string found = {}) const;

  NodeDatabase(std::shared_ptr<const ByteSource> source, const FileHeader& header);

 private:
  struct PageWalk;
  // The keys a page of the node index may hold, from its parent's entries: lo <= key < hi.
  struct KeySpan {
    std::uint64_t lo = 0;
    std::uint64_t hi = UINT64_MAX;
  };
  // A node index page whose nodes are not all known, with the keys it spans.
  struct LostPage {
    KeySpan span;
    std::uint64_t ib;
  };
  void LoadIndex(std::uint8_t ptype, const format::Bref& root);
  void LoadPage(PageWalk& walk, std::uint64_t ib, Bid bid, int level, KeySpan span);
  // A page of the node index below its root: one that cannot be used is left out, noted, and
  // its span kept as lost.
  void LoadNodeIndexPage(PageWalk& walk, std::uint64_t ib, Bid bid, int level, KeySpan span);
  // A page of the block index below its root: one that cannot be used is left out, noted.
  void LoadBlockIndexPage(PageWalk& walk, std::uint64_t ib, Bid bid, int level);
  // Whether a block index entry's block lies within the file at a block's place.
  bool BlockEntryHolds(std::uint64_t ib, std::size_t cb) const;
  // Which entries of a node index page that fails its check sum hold: each in bounds, of known
  // types and within the page's span, and in order with the others that do. (Of a block index
  // page each entry stands on its own: BlockEntryHolds.)
  std::vector<bool> NodeEntriesThatHold(const std::uint8_t* raw, std::size_t count,
                                        std::size_t entrySize, int cLevel, KeySpan span) const;
  // Records the note once per offset and tells it to the DamageScopes of this thread each time.
  void NoteDamage(std::uint64_t offset, const std::string& note) const;
  void ReadTree(Bid bid, int levelsLeft, std::vector<std::string>& out, std::uint64_t& total) const;
  void ReadSub(Bid bid, int levelsLeft, std::vector<Subnode>& out) const;
  // A compressed block's data inflated to `size` bytes; a CorruptionError when it does not.
  std::string Inflate(const std::string& deflated, std::size_t size, const std::string& what,
                      const Location& where) const;

  std::shared_ptr<const ByteSource> source_;
  // The index pages while the indexes load: through a small window of their own, as they lie
  // scattered over the file, each a page.
  std::shared_ptr<const ByteSource> pages_;
  FileHeader header_;
  std::vector<Node> nodes_;
  std::vector<Block> blocks_;
  std::vector<std::uint32_t> byParent_;  // indexes into nodes_, sorted by parent
  // Nodes listed by index pages that fail their check sums, with those pages' offsets, by NID.
  std::vector<std::pair<Nid, std::uint64_t>> damagedNodes_;
  std::vector<LostPage> lostPages_;
  mutable std::mutex damageMutex_;
  mutable std::vector<std::string> damageNotes_;
  mutable std::unordered_set<std::uint64_t> damagedOffsets_;
};

}  // namespace tarnvex::pst::ndb
