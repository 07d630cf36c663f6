#include "pst/ltp/bth.h"

namespace tarnvex::pst::ltp {

using namespace format;

namespace {

// More allocations than a heap of 64 MB in 8 KB blocks could hold: a damaged tree.
constexpr std::size_t kMaxTreeNodes = 1 << 16;

void Walk(const Heap& heap, Hid hid, int level, std::size_t keySize, std::size_t dataSize,
          std::size_t& budget, const std::function<void(const std::uint8_t*)>& record) {
  if (budget-- == 0)
    heap.Fail(Defect::kLoop, "the property tree of node " + Hex(heap.node()) + " has a loop");
  const auto bytes = heap.Allocation(hid);
  // Intermediate records are a key and the HID of the level below.
  const std::size_t size = level > 0 ? keySize + sizeof(Hid) : keySize + dataSize;
  for (std::size_t at = 0; at + size <= bytes.size(); at += size) {
    if (level > 0) {
      Walk(heap, Load<Hid>(bytes.data() + at + keySize), level - 1, keySize, dataSize, budget,
           record);
    } else {
      record(bytes.data() + at);
    }
  }
}

}  // namespace

void ForEachBthRecord(const Heap& heap, Hid header, std::uint8_t keySize, std::uint8_t dataSize,
                      const std::function<void(const std::uint8_t* record)>& record) {
  const auto bytes = heap.Allocation(header);
  if (bytes.size() < sizeof(BthHeader))
    heap.Fail(Defect::kBadStructure,
              "the property tree of node " + Hex(heap.node()) + " is missing");
  const auto head = Load<BthHeader>(bytes.data());
  if (head.bType != kClientSigBTH || head.cbKey != keySize || head.cbEnt != dataSize ||
      head.bIdxLevels > kMaxBtreeLevels) {
    heap.Fail(Defect::kBadStructure,
              "the property tree of node " + Hex(heap.node()) + " has a damaged header",
              "type " + Hex(kClientSigBTH) + ", " + std::to_string(keySize) + "-byte keys, " +
                  std::to_string(dataSize) + "-byte data",
              "type " + Hex(head.bType) + ", " + std::to_string(head.cbKey) + "-byte keys, " +
                  std::to_string(head.cbEnt) + "-byte data, " + std::to_string(head.bIdxLevels) +
                  " levels");
  }
  std::size_t budget = kMaxTreeNodes;
  Walk(heap, head.hidRoot, head.bIdxLevels, keySize, dataSize, budget, record);
}

}  // namespace tarnvex::pst::ltp
