#pragma once

// The heap-on-node (MS-PST 2.3.1): a node's data cut into allocations addressed by HIDs.

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "pst/ndb/node_database.h"

namespace tarnvex::pst::ltp {

using format::Hid;

class Heap {
 public:
  // The heap in the data tree `data` of node `node` (the NID places failures). Throws
  // CorruptionError when the node has no data or its first block is no heap.
  Heap(std::shared_ptr<const ndb::NodeDatabase> db, ndb::Nid node, ndb::Bid data);

  const ndb::NodeDatabase& db() const { return *db_; }
  const std::shared_ptr<const ndb::NodeDatabase>& sharedDb() const { return db_; }
  ndb::Nid node() const { return node_; }
  std::uint8_t clientSig() const { return clientSig_; }
  Hid userRoot() const { return userRoot_; }

  // The bytes of an allocation; none for HID 0. Valid while the heap lives. Throws
  // CorruptionError (Defect::kBadHeapReference) for an HID that names no allocation.
  std::span<const std::uint8_t> Allocation(Hid hid) const;

  // Throws the CorruptionError for this heap's node.
  [[noreturn]] void Fail(Defect defect, const std::string& description, std::string expected = {},
                         std::string found = {}) const;

 private:
  std::shared_ptr<const ndb::NodeDatabase> db_;
  ndb::Nid node_;
  std::vector<std::string> blocks_;
  std::uint8_t clientSig_ = 0;
  Hid userRoot_ = 0;
};

}  // namespace tarnvex::pst::ltp
