#pragma once

// Reading a contact item's properties into a Contact, in one pass over its record set.

#include <cstdint>
#include <string>

#include "platform/pst/store_reader.h"
#include "vcard/contact.h"
#include "vcard/writer.h"

namespace tarnvex::pst {

// The stand-in reads contacts into the vCard library's model and writes them with its writer.
using vcard::Contact;
using vcard::VCardVersion;

// PSETID_Address {00062004-0000-0000-C000-000000000046} as stored (first three fields
// little-endian).
inline constexpr uint8_t kPsetidAddress[16] = {0x04, 0x20, 0x06, 0x00, 0x00, 0x00, 0x00, 0x00,
                                               0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46};

// Throws Failure naming the file when a property cannot be read.
Contact ReadContact(const store::Item& message);

// The file-as text (PidLidFileUnder) alone; empty text when the item has none.
std::string ReadFileAs(const store::Item& message);

}  // namespace tarnvex::pst
