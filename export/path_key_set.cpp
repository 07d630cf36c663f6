#include "export/path_key_set.h"

#include <algorithm>
#include <cstring>
#include <functional>
#include <stdexcept>

namespace tarnvex {
namespace {

constexpr std::size_t kHeader = 2 * sizeof(std::uint32_t);  // folder index and name length
constexpr std::size_t kChunk = 1 << 20;

std::uint64_t Mix(std::uint64_t folder, std::string_view name) {
  return std::hash<std::string_view>{}(name) ^ (folder * 0x9E3779B97F4A7C15ull);
}

// A slot holds a name's place, (chunk << 32 | offset) + 1, in its low 48 bits, and the top 16
// bits of its hash above them, so that a probe passes over most other names without reading them.
constexpr int kTagShift = 48;
constexpr std::uint64_t kPlaceMask = (std::uint64_t{1} << kTagShift) - 1;

std::uint64_t TagOf(std::uint64_t hash) {
  return hash >> kTagShift << kTagShift;
}

std::uint32_t LoadU32(const char* p) {
  std::uint32_t v;
  std::memcpy(&v, p, sizeof v);
  return v;
}

}  // namespace

PathKeySet::Split PathKeySet::SplitKey(std::string_view key) const {
  // find_last_of("/\\") would look each character up in the set with a call of its own.
  std::size_t folderSize = key.size();
  while (folderSize > 0 && key[folderSize - 1] != '/' && key[folderSize - 1] != '\\')
    --folderSize;
  const std::string_view folder = key.substr(0, folderSize);
  const std::string_view name = key.substr(folder.size());
  // Nearly every key of a run is in the last folder kept; the search runs from there.
  std::uint32_t index = kNoFolder;
  for (std::size_t i = folders_.size(); i-- > 0;) {
    if (folders_[i] == folder) {
      index = static_cast<std::uint32_t>(i);
      break;
    }
  }
  return {index, name, Mix(index, name)};
}

const char* PathKeySet::Entry(std::uint64_t slot) const {
  const std::uint64_t place = (slot & kPlaceMask) - 1;
  return chunks_[place >> 32].data() + (place & 0xFFFFFFFF);
}

bool PathKeySet::Matches(std::uint64_t slot, const Split& key) const {
  if ((slot & ~kPlaceMask) != TagOf(key.hash))
    return false;
  const char* entry = Entry(slot);
  return LoadU32(entry) == key.folder && LoadU32(entry + 4) == key.name.size() &&
         std::string_view(entry + kHeader, key.name.size()) == key.name;
}

std::size_t PathKeySet::SlotOf(const Split& key) const {
  const std::size_t mask = slots_.size() - 1;
  for (std::size_t at = key.hash & mask;; at = (at + 1) & mask) {
    if (slots_[at] == 0 || Matches(slots_[at], key))
      return at;
  }
}

bool PathKeySet::Contains(std::string_view key) const {
  if (size_ == 0)
    return false;
  const Split split = SplitKey(key);
  // A key whose folder is not kept cannot be a member.
  return split.folder != kNoFolder && slots_[SlotOf(split)] != 0;
}

bool PathKeySet::Insert(std::string_view key) {
  Split split = SplitKey(key);
  if (split.folder == kNoFolder) {
    folders_.emplace_back(key.substr(0, key.size() - split.name.size()));
    split.folder = static_cast<std::uint32_t>(folders_.size() - 1);
    split.hash = Mix(split.folder, split.name);
  }
  if (2 * (size_ + 1) > slots_.size())
    Grow();
  const std::size_t at = SlotOf(split);
  if (slots_[at] != 0)
    return false;
  const std::size_t bytes = kHeader + split.name.size();
  if (chunks_.empty() || chunks_.back().capacity() - chunks_.back().size() < bytes) {
    chunks_.emplace_back();
    chunks_.back().reserve(std::max(kChunk, bytes));
  }
  if (chunks_.size() > (kPlaceMask >> 32))
    throw std::length_error("too many path keys");
  std::string& chunk = chunks_.back();
  slots_[at] = TagOf(split.hash) | (((std::uint64_t{chunks_.size() - 1} << 32) | chunk.size()) + 1);
  const std::uint32_t header[2] = {split.folder, static_cast<std::uint32_t>(split.name.size())};
  chunk.append(reinterpret_cast<const char*>(header), kHeader);
  chunk.append(split.name);
  ++size_;
  return true;
}

void PathKeySet::Grow() {
  std::vector<std::uint64_t> old = std::move(slots_);
  slots_.assign(std::max<std::size_t>(16, 2 * old.size()), 0);
  const std::size_t mask = slots_.size() - 1;
  for (const std::uint64_t slot : old) {
    if (slot == 0)
      continue;
    const char* entry = Entry(slot);
    const std::uint32_t folder = LoadU32(entry);
    const std::string_view name(entry + kHeader, LoadU32(entry + 4));
    std::size_t at = Mix(folder, name) & mask;
    while (slots_[at] != 0)
      at = (at + 1) & mask;
    slots_[at] = slot;
  }
}

}  // namespace tarnvex
