#pragma once

// The property context (MS-PST 2.3.3): a node's properties, a BTH of property records in its
// heap, values inline, in the heap or in a subnode.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "mapi/mapi.h"
#include "pst/ltp/heap.h"

namespace tarnvex::pst::ltp {

// MAPI property value types the reader tells apart.
using mapi::kTypeBinary;
using mapi::kTypeBoolean;
using mapi::kTypeGuid;
using mapi::kTypeInt16;
using mapi::kTypeInt32;
using mapi::kTypeInt64;
using mapi::kTypeMultiple;
using mapi::kTypeString8;
using mapi::kTypeSystime;
using mapi::kTypeUnicode;

class PropertyContext {
 public:
  // A PC BTH record (MS-PST 2.3.3.3).
  struct Record {
    std::uint16_t id;
    std::uint16_t type;
    std::uint32_t hnid;  // the value itself when it fits four bytes, else where it is
  };

  // The properties of node `node`, whose data and subnode trees are `data` and `sub` (for a
  // subnode: its entry's). Reads the property records at once and the subnodes when first
  // asked. Throws CorruptionError.
  PropertyContext(std::shared_ptr<const ndb::NodeDatabase> db, ndb::Nid node, ndb::Bid data,
                  ndb::Bid sub);

  const ndb::NodeDatabase& db() const { return heap_.db(); }
  ndb::Nid node() const { return heap_.node(); }
  // In stored order (sorted by property id in a sound file).
  const std::vector<Record>& records() const { return records_; }
  // The record with this id and type, or null.
  const Record* Find(std::uint16_t id, std::uint16_t type) const;

  // The value's bytes as stored: four-byte values from the record, others from the heap or the
  // subnode the record names.
  std::string ValueBytes(const Record& record) const;
  // The same bytes where they lie: a value in the heap is not copied, and the view is valid while
  // the context lives; any other value is read into `held`, which the view then shows.
  std::string_view ValueView(const Record& record, std::string& held) const;
  // A PT_UNICODE value as UTF-8, a PT_STRING8 value read as Latin-1; a NUL ends the text.
  std::string ValueText(const Record& record) const;

  // The node's subnodes, sorted by NID.
  const std::vector<ndb::Subnode>& Subnodes() const;
  const ndb::Subnode* FindSubnode(ndb::Nid nid) const;

 private:
  Heap heap_;
  ndb::Bid sub_;
  std::vector<Record> records_;
  mutable std::optional<std::vector<ndb::Subnode>> subnodes_;
};

}  // namespace tarnvex::pst::ltp
