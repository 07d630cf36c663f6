#pragma once

// Stores written by the project's writer, held in memory for the PST library's tests.

#include <memory>
#include <string>

#include "pst/byte_source.h"
#include "tools/pstwriter/store_model.h"

namespace tarnvex::pst::testing {

// The bytes of the store as the writer writes them.
std::string Written(const pstwriter::Store& store);

// The bytes as a source named "store.pst".
std::shared_ptr<const ByteSource> Source(std::string bytes);

// A store with the standard folders; Contacts holds `contacts` contacts filed as "Contact N",
// the first with a photo (pstwriter::TinyJpeg(1)) and a note of `longNote` characters, and a
// subfolder "Friends" with one contact.
pstwriter::Store SmallStore(int contacts = 3, std::size_t longNote = 20000);

}  // namespace tarnvex::pst::testing
