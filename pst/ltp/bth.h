#pragma once

// The BTree-on-Heap (MS-PST 2.3.2): records of fixed-size keys and data in a heap.

#include <cstdint>
#include <functional>

#include "pst/ltp/heap.h"

namespace tarnvex::pst::ltp {

// Calls `record` with each leaf record (key then data, keySize + dataSize bytes) of the BTH whose
// BTHHEADER is at `header`, in stored order. Throws CorruptionError when the header is not one
// of a BTH with these sizes, or the walk meets more index records than any heap could hold.
void ForEachBthRecord(const Heap& heap, Hid header, std::uint8_t keySize, std::uint8_t dataSize,
                      const std::function<void(const std::uint8_t* record)>& record);

}  // namespace tarnvex::pst::ltp
