#include "tools/pstwriter/property_names.h"

#include <unordered_map>

namespace tarnvex::pstwriter {

namespace {

struct Row {
  std::string_view name;
  int kind;  // 0 tag, 1 LID in PSETID_Address, 2 LID in PSETID_Common, 3 string in
             // PS_PUBLIC_STRINGS
  std::uint32_t id;
  PropType type;
  std::string_view stringName = {};
};

constexpr PropType S = PropType::kString;
constexpr PropType I = PropType::kInt32;
constexpr PropType B = PropType::kBoolean;
constexpr PropType T = PropType::kTime;
constexpr PropType BIN = PropType::kBinary;

const Row kRows[] = {
    // Message and common object properties
    {"PidTagMessageClass", 0, 0x001A, S},
    {"PidTagSubject", 0, 0x0037, S},
    {"PidTagNormalizedSubject", 0, 0x0E1D, S},
    {"PidTagConversationTopic", 0, 0x0070, S},
    {"PidTagImportance", 0, 0x0017, I},
    {"PidTagSensitivity", 0, 0x0036, I},
    {"PidTagPriority", 0, 0x0026, I},
    {"PidTagMessageFlags", 0, 0x0E07, I},
    {"PidTagMessageSize", 0, 0x0E08, I},
    {"PidTagMessageStatus", 0, 0x0E17, I},
    {"PidTagMessageDeliveryTime", 0, 0x0E06, T},
    {"PidTagClientSubmitTime", 0, 0x0039, T},
    {"PidTagCreationTime", 0, 0x3007, T},
    {"PidTagLastModificationTime", 0, 0x3008, T},
    {"PidTagSenderName", 0, 0x0C1A, S},
    {"PidTagSenderEmailAddress", 0, 0x0C1F, S},
    {"PidTagSentRepresentingName", 0, 0x0042, S},
    {"PidTagDisplayTo", 0, 0x0E04, S},
    {"PidTagDisplayCc", 0, 0x0E03, S},
    {"PidTagDisplayBcc", 0, 0x0E02, S},
    {"PidTagBody", 0, 0x1000, S},
    {"PidTagBodyHtml", 0, 0x1013, S},
    {"PidTagSearchKey", 0, 0x300B, BIN},
    {"PidTagRecordKey", 0, 0x0FF9, BIN},
    {"PidTagHasAttachments", 0, 0x0E1B, B},
    {"PidTagInternetCodepage", 0, 0x3FDE, I},
    {"PidTagMessageCodepage", 0, 0x3FFD, I},
    {"PidTagIconIndex", 0, 0x1080, I},
    // Contact names, organisation, people
    {"PidTagDisplayName", 0, 0x3001, S},
    {"PidTagGivenName", 0, 0x3A06, S},
    {"PidTagMiddleName", 0, 0x3A44, S},
    {"PidTagSurname", 0, 0x3A11, S},
    {"PidTagDisplayNamePrefix", 0, 0x3A45, S},
    {"PidTagGeneration", 0, 0x3A05, S},
    {"PidTagInitials", 0, 0x3A0A, S},
    {"PidTagNickname", 0, 0x3A4F, S},
    {"PidTagCompanyName", 0, 0x3A16, S},
    {"PidTagDepartmentName", 0, 0x3A18, S},
    {"PidTagTitle", 0, 0x3A17, S},
    {"PidTagProfession", 0, 0x3A46, S},
    {"PidTagOfficeLocation", 0, 0x3A19, S},
    {"PidTagManagerName", 0, 0x3A4E, S},
    {"PidTagAssistant", 0, 0x3A30, S},
    {"PidTagSpouseName", 0, 0x3A48, S},
    {"PidTagChildrensNames", 0, 0x3A58, PropType::kMultiString},
    {"PidTagGender", 0, 0x3A4D, PropType::kInt16},
    {"PidTagHobbies", 0, 0x3A43, S},
    {"PidTagEmailAddress", 0, 0x3003, S},
    {"PidTagAddressType", 0, 0x3002, S},
    // Phones
    {"PidTagBusinessTelephoneNumber", 0, 0x3A08, S},
    {"PidTagBusiness2TelephoneNumber", 0, 0x3A1B, S},
    {"PidTagHomeTelephoneNumber", 0, 0x3A09, S},
    {"PidTagHome2TelephoneNumber", 0, 0x3A2F, S},
    {"PidTagMobileTelephoneNumber", 0, 0x3A1C, S},
    {"PidTagCarTelephoneNumber", 0, 0x3A1E, S},
    {"PidTagBusinessFaxNumber", 0, 0x3A24, S},
    {"PidTagHomeFaxNumber", 0, 0x3A25, S},
    {"PidTagPrimaryFaxNumber", 0, 0x3A23, S},
    {"PidTagPagerTelephoneNumber", 0, 0x3A21, S},
    {"PidTagPrimaryTelephoneNumber", 0, 0x3A1A, S},
    {"PidTagAssistantTelephoneNumber", 0, 0x3A2E, S},
    {"PidTagCallbackTelephoneNumber", 0, 0x3A02, S},
    {"PidTagCompanyMainTelephoneNumber", 0, 0x3A57, S},
    {"PidTagRadioTelephoneNumber", 0, 0x3A1D, S},
    {"PidTagTelexNumber", 0, 0x3A2C, S},
    {"PidTagTelecommunicationsDeviceForDeafTelephoneNumber", 0, 0x3A4B, S},
    {"PidTagIsdnNumber", 0, 0x3A2D, S},
    {"PidTagOtherTelephoneNumber", 0, 0x3A1F, S},
    // Addresses (home, other, mailing copy)
    {"PidTagHomeAddressStreet", 0, 0x3A5D, S},
    {"PidTagHomeAddressCity", 0, 0x3A59, S},
    {"PidTagHomeAddressStateOrProvince", 0, 0x3A5C, S},
    {"PidTagHomeAddressPostalCode", 0, 0x3A5B, S},
    {"PidTagHomeAddressCountry", 0, 0x3A5A, S},
    {"PidTagHomeAddressPostOfficeBox", 0, 0x3A5E, S},
    {"PidTagOtherAddressStreet", 0, 0x3A63, S},
    {"PidTagOtherAddressCity", 0, 0x3A5F, S},
    {"PidTagOtherAddressStateOrProvince", 0, 0x3A62, S},
    {"PidTagOtherAddressPostalCode", 0, 0x3A61, S},
    {"PidTagOtherAddressCountry", 0, 0x3A60, S},
    {"PidTagOtherAddressPostOfficeBox", 0, 0x3A64, S},
    {"PidTagStreetAddress", 0, 0x3A29, S},
    {"PidTagLocality", 0, 0x3A27, S},
    {"PidTagStateOrProvince", 0, 0x3A28, S},
    {"PidTagPostalCode", 0, 0x3A2A, S},
    {"PidTagCountry", 0, 0x3A26, S},
    {"PidTagPostOfficeBox", 0, 0x3A2B, S},
    {"PidTagPostalAddress", 0, 0x3A15, S},
    // Other contact fields
    {"PidTagBusinessHomePage", 0, 0x3A51, S},
    {"PidTagPersonalHomePage", 0, 0x3A50, S},
    {"PidTagBirthday", 0, 0x3A42, T},
    {"PidTagWeddingAnniversary", 0, 0x3A41, T},
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
    // Named properties in PSETID_Address
    {"PidLidFileUnder", 1, 0x8005, S},
    {"PidLidFileUnderId", 1, 0x8006, I},
    {"PidLidContactItemData", 1, 0x8007, PropType::kMultiInt32},
    {"PidLidHasPicture", 1, 0x8015, B},
    {"PidLidHomeAddress", 1, 0x801A, S},
    {"PidLidWorkAddress", 1, 0x801B, S},
    {"PidLidOtherAddress", 1, 0x801C, S},
    {"PidLidPostalAddressId", 1, 0x8022, I},
    {"PidLidHtml", 1, 0x802B, S},
    {"PidLidWorkAddressStreet", 1, 0x8045, S},
    {"PidLidWorkAddressCity", 1, 0x8046, S},
    {"PidLidWorkAddressState", 1, 0x8047, S},
    {"PidLidWorkAddressPostalCode", 1, 0x8048, S},
    {"PidLidWorkAddressCountry", 1, 0x8049, S},
    {"PidLidWorkAddressPostOfficeBox", 1, 0x804A, S},
    {"PidLidBusinessCardDisplayDefinition", 1, 0x8040, BIN},
    {"PidLidBusinessCardCardPicture", 1, 0x8041, BIN},
    {"PidLidDistributionListName", 1, 0x8053, S},
    {"PidLidDistributionListOneOffMembers", 1, 0x8054, PropType::kMultiBinary},
    {"PidLidDistributionListMembers", 1, 0x8055, PropType::kMultiBinary},
    {"PidLidInstantMessagingAddress", 1, 0x8062, S},
    {"PidLidEmail1DisplayName", 1, 0x8080, S},
    {"PidLidEmail1AddressType", 1, 0x8082, S},
    {"PidLidEmail1EmailAddress", 1, 0x8083, S},
    {"PidLidEmail1OriginalDisplayName", 1, 0x8084, S},
    {"PidLidEmail1OriginalEntryId", 1, 0x8085, BIN},
    {"PidLidEmail2DisplayName", 1, 0x8090, S},
    {"PidLidEmail2AddressType", 1, 0x8092, S},
    {"PidLidEmail2EmailAddress", 1, 0x8093, S},
    {"PidLidEmail2OriginalDisplayName", 1, 0x8094, S},
    {"PidLidEmail3DisplayName", 1, 0x80A0, S},
    {"PidLidEmail3AddressType", 1, 0x80A2, S},
    {"PidLidEmail3EmailAddress", 1, 0x80A3, S},
    {"PidLidEmail3OriginalDisplayName", 1, 0x80A4, S},
    {"PidLidFax1EmailAddress", 1, 0x80B3, S},
    {"PidLidFax2EmailAddress", 1, 0x80C3, S},
    {"PidLidFax3EmailAddress", 1, 0x80D3, S},
    {"PidLidAddressCountryCode", 1, 0x80DD, S},
    {"PidLidHomeAddressCountryCode", 1, 0x80DA, S},
    {"PidLidWorkAddressCountryCode", 1, 0x80DB, S},
    {"PidLidOtherAddressCountryCode", 1, 0x80DC, S},
    {"PidLidBirthdayLocal", 1, 0x80DE, T},
    {"PidLidWeddingAnniversaryLocal", 1, 0x80DF, T},
    // Named properties in PSETID_Common
    {"PidLidPrivate", 2, 0x8506, B},
    {"PidLidReminderSet", 2, 0x8503, B},
    // Named properties in PS_PUBLIC_STRINGS
    {"PidNameKeywords", 3, 0, PropType::kMultiString, "Keywords"},
};

const std::vector<PropertyName>& Table() {
  static const std::vector<PropertyName> table = [] {
    std::vector<PropertyName> out;
    for (const Row& r : kRows) {
      PropKey key;
      switch (r.kind) {
        case 0:
          key = PropKey::Tag(static_cast<std::uint16_t>(r.id));
          break;
        case 1:
          key = PropKey::Named(kPsetidAddress, r.id);
          break;
        case 2:
          key = PropKey::Named(kPsetidCommon, r.id);
          break;
        default:
          key = PropKey::Named(kPsPublicStrings, std::string(r.stringName));
          break;
      }
      out.push_back(PropertyName{r.name, key, r.type});
    }
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
