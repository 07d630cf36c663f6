#include "tools/pstwriter/property_names.h"

#include <unordered_map>

#include "vcard/contact_properties.h"

namespace tarnvex::pstwriter {

namespace {

struct Row {
  std::string_view name;
  int kind;  // 0 tag, 1 LID in PSETID_Common
  std::uint32_t id;
  PropType type;
};

constexpr PropType S = PropType::kString;
constexpr PropType I = PropType::kInt32;
constexpr PropType B = PropType::kBoolean;
constexpr PropType T = PropType::kTime;
constexpr PropType BIN = PropType::kBinary;

// The properties of messages, attachments and folders. Contact properties come from the contact
// table (vcard/contact_properties.h), which the stand-in's reader maps through as well; so does
// PidTagSensitivity, which a card carries as CLASS.
const Row kRows[] = {
    // Message and common object properties
    {"PidTagMessageClass", 0, 0x001A, S},
    {"PidTagSubject", 0, 0x0037, S},
    {"PidTagConversationTopic", 0, 0x0070, S},
    {"PidTagImportance", 0, 0x0017, I},
    {"PidTagPriority", 0, 0x0026, I},
    {"PidTagMessageFlags", 0, 0x0E07, I},
    {"PidTagMessageSize", 0, 0x0E08, I},
    {"PidTagMessageStatus", 0, 0x0E17, I},
    {"PidTagMessageDeliveryTime", 0, 0x0E06, T},
    {"PidTagClientSubmitTime", 0, 0x0039, T},
    {"PidTagCreationTime", 0, 0x3007, T},
    {"PidTagSenderName", 0, 0x0C1A, S},
    {"PidTagSenderEmailAddress", 0, 0x0C1F, S},
    {"PidTagSentRepresentingName", 0, 0x0042, S},
    {"PidTagDisplayTo", 0, 0x0E04, S},
    {"PidTagDisplayCc", 0, 0x0E03, S},
    {"PidTagDisplayBcc", 0, 0x0E02, S},
    {"PidTagBodyHtml", 0, 0x1013, S},
    {"PidTagSearchKey", 0, 0x300B, BIN},
    {"PidTagRecordKey", 0, 0x0FF9, BIN},
    {"PidTagHasAttachments", 0, 0x0E1B, B},
    {"PidTagInternetCodepage", 0, 0x3FDE, I},
    {"PidTagMessageCodepage", 0, 0x3FFD, I},
    {"PidTagIconIndex", 0, 0x1080, I},
    // Attachments
    {"PidTagAttachDataBinary", 0, 0x3701, BIN},
    {"PidTagAttachExtension", 0, 0x3703, S},
    {"PidTagAttachFilename", 0, 0x3704, S},
    {"PidTagAttachMethod", 0, 0x3705, I},
    {"PidTagAttachLongFilename", 0, 0x3707, S},
    {"PidTagRenderingPosition", 0, 0x370B, I},
    {"PidTagAttachMimeTag", 0, 0x370E, S},
    {"PidTagAttachSize", 0, 0x0E20, I},
    {"PidTagAttachNumber", 0, 0x0E21, I},
    {"PidTagAttachmentHidden", 0, 0x7FFE, B},
    {"PidTagAttachmentContactPhoto", 0, 0x7FFF, B},
    // Folders
    {"PidTagContainerClass", 0, 0x3613, S},
    {"PidTagAttributeHidden", 0, 0x10F4, B},
    // Named properties in PSETID_Common
    {"PidLidPrivate", 1, 0x8506, B},
    {"PidLidReminderSet", 1, 0x8503, B},
};

PropKey KeyOf(const vcard::ContactProperty& p) {
  switch (p.set) {
    case vcard::PropertySet::kFixed:
      return PropKey::Tag(static_cast<std::uint16_t>(p.id));
    case vcard::PropertySet::kAddress:
      return PropKey::Named(kPsetidAddress, p.id);
    case vcard::PropertySet::kPublicStrings:
      break;
  }
  return PropKey::Named(kPsPublicStrings, std::string(p.name));
}

const std::vector<PropertyName>& Table() {
  static const std::vector<PropertyName> table = [] {
    std::vector<PropertyName> out;
    for (const Row& r : kRows) {
      const PropKey key = r.kind == 0 ? PropKey::Tag(static_cast<std::uint16_t>(r.id))
                                      : PropKey::Named(kPsetidCommon, r.id);
      out.push_back(PropertyName{r.name, key, r.type});
    }
    // The type codes of both are MAPI's PT_ values.
    for (const auto& p : vcard::ContactProperties())
      out.push_back(PropertyName{p.canonicalName, KeyOf(p),
                                 static_cast<PropType>(static_cast<std::uint16_t>(p.type))});
    return out;
  }();
  return table;
}

}  // namespace

std::optional<PropertyName> LookupPropertyName(std::string_view canonicalName) {
  static const std::unordered_map<std::string_view, std::size_t> index = [] {
    std::unordered_map<std::string_view, std::size_t> m;
    for (std::size_t i = 0; i < Table().size(); ++i)
      m.emplace(Table()[i].canonicalName, i);
    return m;
  }();
  auto it = index.find(canonicalName);
  if (it == index.end())
    return std::nullopt;
  return Table()[it->second];
}

const std::vector<PropertyName>& KnownPropertyNames() {
  return Table();
}

}  // namespace tarnvex::pstwriter
