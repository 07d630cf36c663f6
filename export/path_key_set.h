#pragma once

// The keys of the card paths one run took, held compactly: a run of a million cards keeps a
// million keys, which as separate strings in a node-based set take about three times the memory.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tarnvex {

// A set of path keys (the file system's NameKey of a path). A key is split at its last '/' or
// '\': each distinct folder part is kept once, and the names are kept one after the other in one
// buffer, found through an open-addressing table of their positions. Two keys are the same member
// exactly when they are equal as strings.
class PathKeySet {
 public:
  bool Contains(std::string_view key) const;
  // Adds the key; true when it was not there yet.
  bool Insert(std::string_view key);
  std::size_t size() const { return size_; }

 private:
  struct Split {
    std::uint32_t folder;  // index into folders_, or kNoFolder when the folder is not kept
    std::string_view name;
    std::uint64_t hash;
  };
  static constexpr std::uint32_t kNoFolder = UINT32_MAX;

  Split SplitKey(std::string_view key) const;
  // The slot that holds the key, or the empty slot where it would go.
  std::size_t SlotOf(const Split& key) const;
  bool Matches(std::uint64_t slot, const Split& key) const;
  void Grow();

  const char* Entry(std::uint64_t slot) const;

  std::vector<std::string> folders_;
  // Each name as its folder's index (4 bytes), its length (4 bytes) and its bytes, in chunks
  // that are never moved (one growing buffer would need twice its size while it moves).
  std::vector<std::string> chunks_;
  // A name's hash tag and (chunk << 32 | offset) + 1; 0 marks an empty slot. The size is a power
  // of two.
  std::vector<std::uint64_t> slots_;
  std::size_t size_ = 0;
};

}  // namespace tarnvex
