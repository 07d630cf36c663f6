#include "pst/messaging/name_map.h"

#include <cstring>

#include "pst/ltp/property_context.h"
#include "text/utf.h"

namespace tarnvex::pst::messaging {

using namespace format;

NameMap NameMap::Read(const std::shared_ptr<const ndb::NodeDatabase>& db) {
  NameMap map;
  const ndb::Node* node = db->FindNode(kNidNameToIdMap);
  if (!node)
    return map;
  const ltp::PropertyContext pc(db, node->nid, node->data, node->sub);
  std::string guids, entries, strings;
  for (const auto& r : pc.records()) {
    if (r.type != ltp::kTypeBinary)
      continue;
    if (r.id == 0x0002)  // PidTagNameidStreamGuid
      guids = pc.ValueBytes(r);
    if (r.id == 0x0003)  // PidTagNameidStreamEntry
      entries = pc.ValueBytes(r);
    if (r.id == 0x0004)  // PidTagNameidStreamString
      strings = pc.ValueBytes(r);
  }
  auto fail = [&](const std::string& what, std::string expected, std::string found) {
    db->Fail(Defect::kOutOfBounds, "the named property map " + what,
             Location::OfNode(kNidNameToIdMap), std::move(expected), std::move(found));
  };
  for (std::size_t at = 0; at + sizeof(NameId) <= entries.size(); at += sizeof(NameId)) {
    const auto id = Load<NameId>(entries.data() + at);
    NamedProperty p;
    const std::size_t guid = id.wGuidAndKind >> 1;
    if (guid == 1) {
      std::memcpy(p.guid, kPsMapi.data(), 16);
    } else if (guid == 2) {
      std::memcpy(p.guid, kPsPublicStrings.data(), 16);
    } else if (guid >= 3) {
      if ((guid - 3) * 16 + 16 > guids.size()) {
        fail("refers to a missing property set",
             "a set below " + std::to_string(guids.size() / 16 + 3), "set " + std::to_string(guid));
      }
      std::memcpy(p.guid, guids.data() + (guid - 3) * 16, 16);
    }
    if (id.wGuidAndKind & 1) {
      if (strings.size() < 4 || id.dwPropertyID > strings.size() - 4) {
        fail("refers to a missing name", "an offset below " + std::to_string(strings.size()),
             "offset " + std::to_string(id.dwPropertyID));
      }
      const std::size_t length = Load<std::uint32_t>(strings.data() + id.dwPropertyID);
      if (length > strings.size() - 4 - id.dwPropertyID) {
        fail("has a name that does not fit it",
             "at most " + std::to_string(strings.size() - 4 - id.dwPropertyID) + " bytes",
             std::to_string(length) + " bytes");
      }
      p.isString = true;
      p.name = text::Utf16LeToUtf8(
          reinterpret_cast<const std::uint8_t*>(strings.data()) + id.dwPropertyID + 4, length);
    } else {
      p.lid = id.dwPropertyID;
    }
    if (id.wPropIdx >= 0x8000)
      continue;  // beyond the named property range
    if (id.wPropIdx >= map.names_.size())
      map.names_.resize(id.wPropIdx + 1);
    map.names_[id.wPropIdx] = std::move(p);
  }
  return map;
}

const NamedProperty* NameMap::Find(std::uint16_t propId) const {
  const std::size_t i = propId - 0x8000u;
  return propId >= 0x8000 && i < names_.size() && names_[i] ? &*names_[i] : nullptr;
}

}  // namespace tarnvex::pst::messaging
