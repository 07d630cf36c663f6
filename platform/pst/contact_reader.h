#pragma once

// Reading a contact item's properties into a Contact, in one pass over its record set.

#include <cstdint>
#include <optional>
#include <string>

#include "platform/pst/contact.h"
#include "platform/pst/store_reader.h"

namespace tarnvex::pst {

// PSETID_Address {00062004-0000-0000-C000-000000000046} as stored (first three fields
// little-endian).
inline constexpr uint8_t kPsetidAddress[16] = {0x04, 0x20, 0x06, 0x00, 0x00, 0x00, 0x00, 0x00,
                                               0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46};

// Throws Failure naming the file when a property cannot be read.
Contact ReadContact(const store::Item& message);

// The file-as text (PidLidFileUnder) alone; empty text when the item has none.
std::string ReadFileAs(const store::Item& message);

// FILETIME (100 ns since 1601-01-01 UTC) to seconds since 1970-01-01 UTC; empty for the
// "no date" values Outlook stores (zero, and 4501-01-01 and later).
std::optional<int64_t> FiletimeToUnix(uint64_t filetime);
// The calendar date of a stored date, rounded to the nearest midnight so that a local midnight
// kept in UTC lands on its own day.
std::optional<Date> FiletimeToDate(uint64_t filetime);

}  // namespace tarnvex::pst
