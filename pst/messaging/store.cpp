#include "pst/messaging/store.h"

#include <unordered_set>

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

}  // namespace tarnvex::pst::messaging
