#pragma once

#include <string>

#include "vcard/contact.h"

namespace tarnvex::standin::testing {

// A small valid JPEG (SOI, APP0, EOI).
extern const std::string kJpeg;

// A contact with every property the writer maps set, with characters that need escaping, text
// beyond ASCII, line breaks and a photo.
vcard::Contact FullContact();

}  // namespace tarnvex::standin::testing
