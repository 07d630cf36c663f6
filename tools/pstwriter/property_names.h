#pragma once

// Canonical property names (MS-OXPROPS) the writer knows, with the key and type each is stored
// under: "PidTagGivenName" is tag 0x3A06 PT_UNICODE, "PidLidFileUnder" is LID 0x8005 in
// PSETID_Address, "PidNameKeywords" is the string name "Keywords" in PS_PUBLIC_STRINGS. The
// contact properties are the rows of the contact table (vcard/contact_properties.h).

#include <optional>
#include <string_view>
#include <vector>

#include "tools/pstwriter/store_model.h"

namespace tarnvex::pstwriter {

struct PropertyName {
  std::string_view canonicalName;
  PropKey key;
  PropType type;
};

// The definition of a canonical name; empty when the name is unknown.
std::optional<PropertyName> LookupPropertyName(std::string_view canonicalName);

// Every known name, for documentation and tests.
const std::vector<PropertyName>& KnownPropertyNames();

}  // namespace tarnvex::pstwriter
