#include "pst/ltp/heap.h"

namespace tarnvex::pst::ltp {

using namespace format;

Heap::Heap(std::shared_ptr<const ndb::NodeDatabase> db, ndb::Nid node, ndb::Bid data)
    : db_(std::move(db)), node_(node) {
  blocks_ = db_->ReadDataTree(data);
  if (blocks_.empty())
    Fail(Defect::kMissing, "node " + Hex(node_) + " has no data");
  const std::string& first = blocks_[0];
  if (first.size() < sizeof(HnHdr))
    Fail(Defect::kBadStructure, "the heap of node " + Hex(node_) + " is too short");
  const auto hdr = Load<HnHdr>(first.data());
  if (hdr.bSig != kHnSig) {
    Fail(Defect::kBadStructure, "the data of node " + Hex(node_) + " is no heap", Hex(kHnSig),
         Hex(hdr.bSig));
  }
  clientSig_ = hdr.bClientSig;
  userRoot_ = hdr.hidUserRoot;
}

void Heap::Fail(Defect defect, const std::string& description, std::string expected,
                std::string found) const {
  db_->Fail(defect, description, Location::OfNode(node_), std::move(expected), std::move(found));
}

std::span<const std::uint8_t> Heap::Allocation(Hid hid) const {
  if (hid == 0)
    return {};
  const std::size_t block = db_->layout().HidBlock(hid), index = db_->layout().HidIndex(hid);
  auto reference = [&] { return "heap reference " + Hex(hid) + " of node " + Hex(node_); };
  if ((hid & kNidTypeMask) != kNidTypeHid || index == 0)
    Fail(Defect::kBadHeapReference, "the " + reference() + " is no heap reference");
  if (block >= blocks_.size()) {
    Fail(Defect::kBadHeapReference, "the " + reference() + " points past the heap's blocks",
         "a block below " + std::to_string(blocks_.size()), "block " + std::to_string(block));
  }
  const std::string& b = blocks_[block];
  const auto* d = reinterpret_cast<const std::uint8_t*>(b.data());
  if (b.size() < sizeof(HnPageHdr))
    Fail(Defect::kBadStructure,
         "heap block " + std::to_string(block) + " of node " + Hex(node_) + " is too short");
  const std::size_t map = Load<std::uint16_t>(d);
  if (map + sizeof(HnPageMapHead) > b.size()) {
    Fail(Defect::kOutOfBounds,
         "the allocation map of heap block " + std::to_string(block) + " of node " + Hex(node_) +
             " lies outside the block",
         "within " + std::to_string(b.size()) + " bytes", "offset " + std::to_string(map));
  }
  const auto head = Load<HnPageMapHead>(d + map);
  const std::size_t cAlloc = head.cAlloc;
  if (map + sizeof(HnPageMapHead) + (cAlloc + 1) * 2 > b.size()) {
    Fail(Defect::kOutOfBounds,
         "the allocation map of heap block " + std::to_string(block) + " of node " + Hex(node_) +
             " does not fit the block",
         "within " + std::to_string(b.size()) + " bytes",
         std::to_string(cAlloc) + " allocations at offset " + std::to_string(map));
  }
  if (index > cAlloc) {
    Fail(Defect::kBadHeapReference, "the " + reference() + " names no allocation",
         "an allocation of " + std::to_string(cAlloc), "allocation " + std::to_string(index));
  }
  const std::uint8_t* offsets = d + map + sizeof(HnPageMapHead);
  const std::size_t begin = Load<std::uint16_t>(offsets + (index - 1) * 2);
  const std::size_t end = Load<std::uint16_t>(offsets + index * 2);
  if (begin > end || end > map) {
    Fail(Defect::kOutOfBounds,
         "allocation " + std::to_string(index) + " of heap block " + std::to_string(block) +
             " of node " + Hex(node_) + " lies outside its data",
         "bytes within " + std::to_string(map),
         "bytes " + std::to_string(begin) + " to " + std::to_string(end));
  }
  return {d + begin, end - begin};
}

}  // namespace tarnvex::pst::ltp
