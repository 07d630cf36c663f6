#pragma once

// Generates stores full of contacts for tests and benchmarks: names in several scripts (Latin
// with diacritics, Cyrillic, Greek, CJK, Arabic, emoji), e-mail addresses, phones, addresses,
// optional photos and long notes, file-as texts that collide on purpose, plus a few
// distribution lists and non-contact items. The same options give the same store.

#include <cstdint>

#include "tools/pstwriter/store_model.h"

namespace tarnvex::pstwriter {

struct GeneratorOptions {
  std::uint64_t contacts = 100;
  std::uint64_t seed = 1;
  // 1: all contacts in the default Contacts folder. More: the Contacts folder and F-1 contact
  // folders nested below it (each inside the previous), contacts dealt round-robin.
  int folders = 1;
  std::string storeName = "Personal Folders";
  bool photos = true;         // about one contact in 10 gets a photo
  bool longNotes = true;      // about one in 25 gets a note above 8 KB (multi-block)
  int distributionLists = 3;  // "IPM.DistList" items in the Contacts folder
  int otherItems = 3;         // non-contact items ("IPM.Note", "IPM.StickyNote", ...)
  int collidingEvery = 20;    // every n-th contact reuses an earlier file-as text; 0: never
};

Store GenerateStore(const GeneratorOptions& options);

// A small but valid JPEG (a solid colour, 8x8 pixels) whose colour depends on seed.
Bytes TinyJpeg(std::uint32_t seed);

}  // namespace tarnvex::pstwriter
