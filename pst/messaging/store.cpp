#include "pst/messaging/store.h"

#include <algorithm>
#include <unordered_set>

#include "text/utf.h"

namespace tarnvex::pst::messaging {

using namespace format;

namespace {

// The nodes every store has, which no export can do without: the password and code page are
// the message store's, the names of most contact fields are in the map, and the folders hang
// from the root folder. Lost with a page of the node index, they refuse the file.
void CheckTheStoresOwnNodes(const ndb::NodeDatabase& db) {
  const std::pair<Nid, const char*> own[] = {{kNidMessageStore, "the message store"},
                                             {kNidNameToIdMap, "the named property map"},
                                             {kNidRootFolder, "the root folder"}};
  for (const auto& [nid, what] : own) {
    if (db.FindNode(nid))
      continue;
    if (const auto page = db.LostPageOf(nid)) {
      db.Fail(Defect::kMissing,
              std::string(what) + " (node " + Hex(nid) +
                  ") is missing: the node index page at offset " + std::to_string(*page) +
                  " that would list it is damaged",
              Location::OfNode(nid, *page));
    }
  }
}

}  // namespace

std::shared_ptr<const Store> Store::Open(std::shared_ptr<const ByteSource> source) {
  auto db = ndb::NodeDatabase::Open(std::move(source));
  CheckTheStoresOwnNodes(*db);
  NameMap names = NameMap::Read(db);
  return std::make_shared<const Store>(std::move(db), std::move(names));
}

std::shared_ptr<const ltp::PropertyContext> Store::Properties(const ndb::Node& node) const {
  return std::make_shared<const ltp::PropertyContext>(db_, node.nid, node.data, node.sub);
}

std::shared_ptr<const ltp::PropertyContext> Store::Properties(const ndb::Subnode& subnode) const {
  return std::make_shared<const ltp::PropertyContext>(db_, subnode.nid, subnode.data, subnode.sub);
}

std::vector<const ndb::Node*> Store::SubFolders(Nid folder) const {
  std::vector<const ndb::Node*> subfolders = db_->Children(folder, kNidTypeNormalFolder);
  if (subfolders.empty())
    return subfolders;
  // The folder and those above it, as far as the parent chain goes; each step adds a new node,
  // so the chain is followed at most once around a loop.
  std::unordered_set<Nid> above{folder};
  for (const ndb::Node* n = db_->FindNode(folder); n && above.insert(n->parent).second;)
    n = db_->FindNode(n->parent);
  for (const ndb::Node* sub : subfolders) {
    if (above.contains(sub->nid)) {
      db_->Fail(Defect::kFolderCycle,
                "the folders form a loop: folder " + Hex(folder) + " lists folder " +
                    Hex(sub->nid) + ", which lies above it, as its subfolder",
                Location::OfNode(folder), "a subfolder below " + Hex(folder),
                "folder " + Hex(sub->nid) + ", above it");
    }
  }
  return subfolders;
}

std::vector<const ndb::Node*> Store::Messages(Nid folder) const {
  return db_->Children(folder, kNidTypeNormalMessage);
}

std::shared_ptr<const ltp::TableContext> Store::ContentsTable(Nid folder) const {
  return TableOf(folder, kNidTypeContentsTable);
}

std::shared_ptr<const ltp::TableContext> Store::HierarchyTable(Nid folder) const {
  return TableOf(folder, kNidTypeHierarchyTable);
}

std::shared_ptr<const ltp::TableContext> Store::TableOf(Nid folder, std::uint32_t nidType) const {
  const ndb::Node* table = db_->FindNode((folder & ~kNidTypeMask) | nidType);
  if (!table)
    return nullptr;
  return std::make_shared<const ltp::TableContext>(db_, table->nid, table->data, table->sub);
}

std::vector<ndb::Subnode> Store::Attachments(const ltp::PropertyContext& message) {
  std::vector<ndb::Subnode> out;
  for (const auto& s : message.Subnodes()) {
    if (NidTypeOf(s.nid) == kNidTypeAttachment)
      out.push_back(s);
  }
  return out;
}

namespace {

constexpr std::uint16_t kTagMessageClass = 0x001A;
// The row's own columns, which no message holds.
constexpr std::uint32_t kTagLtpRowId = 0x67F20003;
constexpr std::uint32_t kTagLtpRowVer = 0x67F30003;

// The message class a property context holds, as text; empty when it holds none.
std::string ClassOf(const ltp::PropertyContext& pc) {
  for (const std::uint16_t type : {ltp::kTypeUnicode, ltp::kTypeString8}) {
    if (const auto* r = pc.Find(kTagMessageClass, type))
      return pc.ValueText(*r);
  }
  return {};
}

// The message class a row's cell holds, as text.
std::string ClassOf(const Store::Row& row) {
  for (const auto& [tag, bytes] : row) {
    if (tag >> 16 != kTagMessageClass)
      continue;
    if ((tag & 0xFFFF) == ltp::kTypeUnicode)
      return text::Utf16LeToUtf8(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
    if ((tag & 0xFFFF) == ltp::kTypeString8)
      return bytes.substr(0, bytes.find('\0'));
  }
  return {};
}

// How many values of the row the properties hold alike; -1 when one of them differs.
int Agreements(const ltp::PropertyContext& pc, const Store::Row& row) {
  int agreements = 0;
  for (const auto& [tag, bytes] : row) {
    if (tag == kTagLtpRowId || tag == kTagLtpRowVer)
      continue;
    const auto* r =
        pc.Find(static_cast<std::uint16_t>(tag >> 16), static_cast<std::uint16_t>(tag & 0xFFFF));
    if (!r)
      continue;
    if (pc.ValueBytes(*r) != bytes)
      return -1;
    ++agreements;
  }
  return agreements;
}

}  // namespace

const std::vector<std::pair<ndb::Bid, std::string>>& Store::UnusedMessageBlocks() const {
  if (unusedMessageBlocks_)
    return *unusedMessageBlocks_;
  std::vector<ndb::Bid> used;
  used.reserve(db_->NodeCount());
  for (const ndb::Node& n : db_->Nodes())
    used.push_back(BidKey(n.data));
  std::sort(used.begin(), used.end());
  unusedMessageBlocks_.emplace();
  for (const ndb::Block& block : db_->Blocks()) {
    if (std::binary_search(used.begin(), used.end(), block.bid))
      continue;
    try {
      const ltp::PropertyContext pc(db_, 0, block.bid, 0);
      if (std::string cls = ClassOf(pc); !cls.empty())
        unusedMessageBlocks_->emplace_back(block.bid, std::move(cls));
    } catch (const Error&) {
      // No message's properties: a block of a data tree, a subnode's, or damaged.
    }
  }
  return *unusedMessageBlocks_;
}

const ndb::Node* Store::FindLostMessage(Nid nid, Nid folder, const Row& row) const {
  const std::string cls = ClassOf(row);
  if (cls.empty())
    return nullptr;
  std::lock_guard<std::mutex> lock(lostMutex_);
  // A data tree of several blocks and its first block may both read as the message: the tree,
  // an internal block, is the message's.
  std::vector<ndb::Bid> internal, data;
  for (const auto& [bid, candidateClass] : UnusedMessageBlocks()) {
    if (candidateClass != cls || std::find(taken_.begin(), taken_.end(), bid) != taken_.end())
      continue;
    try {
      const ltp::PropertyContext pc(db_, nid, bid, 0);
      if (Agreements(pc, row) >= kLostMessageAgreements)
        (IsInternal(bid) ? internal : data).push_back(bid);
    } catch (const Error&) {
    }
  }
  const std::vector<ndb::Bid>& found = internal.empty() ? data : internal;
  if (found.size() != 1)
    return nullptr;
  taken_.push_back(found[0]);
  found_.push_back({nid, folder, found[0], 0});
  return &found_.back();
}

}  // namespace tarnvex::pst::messaging
