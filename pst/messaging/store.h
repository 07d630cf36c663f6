#pragma once

// The messaging layer (MS-PST 2.4): the message store, folders, messages and attachments over
// the node database, with the name-to-id map. Folder contents are the node index's entries
// whose parent is the folder, in NID order; a message's attachments are its attachment subnodes
// in NID order. Of the tables the format keeps beside them, a folder's contents table is read
// (ContentsTable), and its hierarchy table (HierarchyTable), so that their rows can be compared
// with the node index; attachment tables are not.

#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "pst/byte_source.h"
#include "pst/ltp/property_context.h"
#include "pst/ltp/table_context.h"
#include "pst/messaging/name_map.h"
#include "pst/ndb/node_database.h"

namespace tarnvex::pst::messaging {

using format::Nid;

class Store {
 public:
  // Opens the node database and reads the name-to-id map. Throws UnsupportedFormat or
  // CorruptionError (ndb/node_database.h), among them Defect::kMissing when a damaged page of
  // the node index lost the message store, the named property map or the root folder.
  static std::shared_ptr<const Store> Open(std::shared_ptr<const ByteSource> source);

  Store(std::shared_ptr<const ndb::NodeDatabase> db, NameMap names)
      : db_(std::move(db)), names_(std::move(names)) {}

  const std::string& name() const { return db_->name(); }
  const std::shared_ptr<const ndb::NodeDatabase>& db() const { return db_; }
  const NameMap& names() const { return names_; }

  // The node of the node index with this NID, or null: the message store is
  // format::kNidMessageStore, the root folder format::kNidRootFolder.
  const ndb::Node* FindNode(Nid nid) const { return db_->FindNode(nid); }

  // The properties of a node of the index.
  std::shared_ptr<const ltp::PropertyContext> Properties(const ndb::Node& node) const;
  // The properties of a subnode of `owner` (an attachment).
  std::shared_ptr<const ltp::PropertyContext> Properties(const ndb::Subnode& subnode) const;

  // The subfolders of a folder. A folder never lies below itself: one that lists a folder above
  // it (its parent, its parent's parent, ...) is a CorruptionError (Defect::kFolderCycle), so a
  // walk down the tree always ends.
  std::vector<const ndb::Node*> SubFolders(Nid folder) const;
  // The folder's normal messages (not the associated ones).
  std::vector<const ndb::Node*> Messages(Nid folder) const;
  // The folder's contents table, or null when the node index lists none for it. Throws
  // CorruptionError when it is damaged.
  std::shared_ptr<const ltp::TableContext> ContentsTable(Nid folder) const;
  // The folder's hierarchy table (its subfolders), the same way.
  std::shared_ptr<const ltp::TableContext> HierarchyTable(Nid folder) const;
  // A message's attachments: its subnodes of NID type attachment.
  static std::vector<ndb::Subnode> Attachments(const ltp::PropertyContext& message);

  // A row of a table: each cell's property tag (id and type) and bytes.
  using Row = std::vector<std::pair<std::uint32_t, std::string>>;
  // A message the node index lost with a damaged page (ndb::NodeDatabase::LostPageOf), found
  // again by its row of its folder's contents table: of the blocks no node uses as its data, the
  // one whose properties hold the row's message class and agree with every other value of the row
  // they hold, at least kLostMessageAgreements in all. Its subnodes (attachments, values kept
  // apart) are not known: the node has none. Null when no block, or more than one, agrees, or
  // when the row has no class. The node lives as long as the store. Safe to call from any thread.
  const ndb::Node* FindLostMessage(Nid nid, Nid folder, const Row& row) const;
  static constexpr int kLostMessageAgreements = 3;

 private:
  std::shared_ptr<const ltp::TableContext> TableOf(Nid folder, std::uint32_t nidType) const;
  // The blocks no node uses as its data that hold a message's properties, with their classes.
  const std::vector<std::pair<ndb::Bid, std::string>>& UnusedMessageBlocks() const;

  std::shared_ptr<const ndb::NodeDatabase> db_;
  NameMap names_;
  mutable std::mutex lostMutex_;
  mutable std::optional<std::vector<std::pair<ndb::Bid, std::string>>> unusedMessageBlocks_;
  mutable std::vector<ndb::Bid> taken_;  // unused blocks a lost message was found in
  mutable std::deque<ndb::Node> found_;
};

}  // namespace tarnvex::pst::messaging
