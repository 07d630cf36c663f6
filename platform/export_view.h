#pragma once

// What the export run reads from and does to its front end: the window, or the command line's
// console view.

#include <cstdint>
#include <string>

#include "platform/pointer_mode.h"

namespace tarnvex {

class ExportView {
 public:
  virtual ~ExportView() = default;
  // Source: the default profile's Contacts folder.
  virtual bool Option1() = 0;
  // Source: the PST file named by Text2.
  virtual bool Option2() = 0;
  // PST file path, as typed.
  virtual std::string Text2() = 0;
  // Output folder, as typed; used untrimmed.
  virtual std::string Text3() = 0;
  virtual void SetPointer(PointerMode mode) = 0;
};

// Progress of a run, for front ends that show it; the window shows none.
class ExportProgress {
 public:
  virtual ~ExportProgress() = default;
  // The number of items the run is about to go through.
  virtual void Started(int32_t total) = 0;
  // One more item gone through, whatever became of it.
  virtual void ItemDone() = 0;
};

}  // namespace tarnvex
