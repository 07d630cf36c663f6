#pragma once

// The name-to-id map (MS-PST 2.4.7): which named property (a property set and a LID or a name)
// each property id from 0x8000 up stands for.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "pst/ndb/node_database.h"

namespace tarnvex::pst::messaging {

struct NamedProperty {
  std::uint8_t guid[16] = {};  // the property set, as stored
  bool isString = false;
  std::uint32_t lid = 0;  // when !isString
  std::string name;       // when isString, as UTF-8
};

class NameMap {
 public:
  // The map of the file; empty when it has none. Throws CorruptionError.
  static NameMap Read(const std::shared_ptr<const ndb::NodeDatabase>& db);

  // The named property behind property id `propId`, or null when the id is below 0x8000 or the
  // map has no entry for it.
  const NamedProperty* Find(std::uint16_t propId) const;

 private:
  std::vector<std::optional<NamedProperty>> names_;  // by property id less 0x8000
};

}  // namespace tarnvex::pst::messaging
