#include "vcard/contact_properties.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <iterator>

#include "text/case.h"

namespace tarnvex::vcard {
namespace {

using F = ContactField;
constexpr PropertySet kTag = PropertySet::kFixed;
constexpr PropertySet kLid = PropertySet::kAddress;
constexpr PropertyType S = PropertyType::kString;
constexpr PropertyType I = PropertyType::kInt32;
constexpr PropertyType B = PropertyType::kBoolean;
constexpr PropertyType T = PropertyType::kTime;
constexpr PropertyType BIN = PropertyType::kBinary;

// MS-OXOCNTC section 2.2 names the properties; MS-OXPROPS gives their ids, LIDs and types.
constexpr ContactProperty kRows[] = {
    // Names and the message properties a card takes its values from
    {"PidLidFileUnder", kLid, 0x8005, S, F::kFileAs},
    {"PidLidFileUnderId", kLid, 0x8006, I, F::kNone},
    {"PidTagDisplayName", kTag, 0x3001, S, F::kDisplayName},
    {"PidTagNormalizedSubject", kTag, 0x0E1D, S, F::kSubject},
    {"PidTagGivenName", kTag, 0x3A06, S, F::kGivenName},
    {"PidTagMiddleName", kTag, 0x3A44, S, F::kMiddleName},
    {"PidTagSurname", kTag, 0x3A11, S, F::kSurname},
    {"PidTagDisplayNamePrefix", kTag, 0x3A45, S, F::kPrefix},
    {"PidTagGeneration", kTag, 0x3A05, S, F::kSuffix},
    {"PidTagInitials", kTag, 0x3A0A, S, F::kInitials},
    {"PidTagNickname", kTag, 0x3A4F, S, F::kNickname},
    {"PidTagBody", kTag, 0x1000, S, F::kNotes},
    {"PidTagLastModificationTime", kTag, 0x3008, T, F::kLastModified},
    {"PidTagSensitivity", kTag, 0x0036, I, F::kSensitivity},
    {"PidLidContactItemData", kLid, 0x8007, PropertyType::kMultiInt32, F::kNone},
    {"PidLidHtml", kLid, 0x802B, S, F::kNone},
    // Organisation and people
    {"PidTagCompanyName", kTag, 0x3A16, S, F::kCompany},
    {"PidTagDepartmentName", kTag, 0x3A18, S, F::kDepartment},
    {"PidTagTitle", kTag, 0x3A17, S, F::kJobTitle},
    {"PidTagProfession", kTag, 0x3A46, S, F::kProfession},
    {"PidTagOfficeLocation", kTag, 0x3A19, S, F::kOfficeLocation},
    {"PidTagManagerName", kTag, 0x3A4E, S, F::kManagerName},
    {"PidTagAssistant", kTag, 0x3A30, S, F::kAssistantName},
    {"PidTagSpouseName", kTag, 0x3A48, S, F::kSpouseName},
    {"PidTagChildrensNames", kTag, 0x3A58, PropertyType::kMultiString, F::kChildren},
    {"PidTagGender", kTag, 0x3A4D, PropertyType::kInt16, F::kGender},
    {"PidTagHobbies", kTag, 0x3A43, S, F::kHobbies},
    // Telephone numbers
    {"PidTagPrimaryTelephoneNumber", kTag, 0x3A1A, S, F::kPhonePrimary},
    {"PidTagBusinessTelephoneNumber", kTag, 0x3A08, S, F::kPhoneBusiness},
    {"PidTagBusiness2TelephoneNumber", kTag, 0x3A1B, S, F::kPhoneBusiness2},
    {"PidTagHomeTelephoneNumber", kTag, 0x3A09, S, F::kPhoneHome},
    {"PidTagHome2TelephoneNumber", kTag, 0x3A2F, S, F::kPhoneHome2},
    {"PidTagMobileTelephoneNumber", kTag, 0x3A1C, S, F::kPhoneMobile},
    {"PidTagPagerTelephoneNumber", kTag, 0x3A21, S, F::kPhonePager},
    {"PidTagCarTelephoneNumber", kTag, 0x3A1E, S, F::kPhoneCar},
    {"PidTagIsdnNumber", kTag, 0x3A2D, S, F::kPhoneIsdn},
    {"PidTagBusinessFaxNumber", kTag, 0x3A24, S, F::kPhoneBusinessFax},
    {"PidTagHomeFaxNumber", kTag, 0x3A25, S, F::kPhoneHomeFax},
    {"PidTagPrimaryFaxNumber", kTag, 0x3A23, S, F::kPhoneOtherFax},
    {"PidTagOtherTelephoneNumber", kTag, 0x3A1F, S, F::kPhoneOther},
    {"PidTagAssistantTelephoneNumber", kTag, 0x3A2E, S, F::kPhoneAssistant},
    {"PidTagCallbackTelephoneNumber", kTag, 0x3A02, S, F::kPhoneCallback},
    {"PidTagCompanyMainTelephoneNumber", kTag, 0x3A57, S, F::kPhoneCompanyMain},
    {"PidTagRadioTelephoneNumber", kTag, 0x3A1D, S, F::kPhoneRadio},
    {"PidTagTelexNumber", kTag, 0x3A2C, S, F::kPhoneTelex},
    {"PidTagTelecommunicationsDeviceForDeafTelephoneNumber", kTag, 0x3A4B, S, F::kPhoneTty},
    // Work address (named properties) and its block of text
    {"PidLidWorkAddressStreet", kLid, 0x8045, S, F::kWorkStreet},
    {"PidLidWorkAddressCity", kLid, 0x8046, S, F::kWorkCity},
    {"PidLidWorkAddressState", kLid, 0x8047, S, F::kWorkRegion},
    {"PidLidWorkAddressPostalCode", kLid, 0x8048, S, F::kWorkPostalCode},
    {"PidLidWorkAddressCountry", kLid, 0x8049, S, F::kWorkCountry},
    {"PidLidWorkAddressPostOfficeBox", kLid, 0x804A, S, F::kWorkPoBox},
    {"PidLidWorkAddress", kLid, 0x801B, S, F::kWorkLabel},
    {"PidLidWorkAddressCountryCode", kLid, 0x80DB, S, F::kNone},
    // Home address
    {"PidTagHomeAddressStreet", kTag, 0x3A5D, S, F::kHomeStreet},
    {"PidTagHomeAddressCity", kTag, 0x3A59, S, F::kHomeCity},
    {"PidTagHomeAddressStateOrProvince", kTag, 0x3A5C, S, F::kHomeRegion},
    {"PidTagHomeAddressPostalCode", kTag, 0x3A5B, S, F::kHomePostalCode},
    {"PidTagHomeAddressCountry", kTag, 0x3A5A, S, F::kHomeCountry},
    {"PidTagHomeAddressPostOfficeBox", kTag, 0x3A5E, S, F::kHomePoBox},
    {"PidLidHomeAddress", kLid, 0x801A, S, F::kHomeLabel},
    {"PidLidHomeAddressCountryCode", kLid, 0x80DA, S, F::kNone},
    // Other address
    {"PidTagOtherAddressStreet", kTag, 0x3A63, S, F::kOtherStreet},
    {"PidTagOtherAddressCity", kTag, 0x3A5F, S, F::kOtherCity},
    {"PidTagOtherAddressStateOrProvince", kTag, 0x3A62, S, F::kOtherRegion},
    {"PidTagOtherAddressPostalCode", kTag, 0x3A61, S, F::kOtherPostalCode},
    {"PidTagOtherAddressCountry", kTag, 0x3A60, S, F::kOtherCountry},
    {"PidTagOtherAddressPostOfficeBox", kTag, 0x3A64, S, F::kOtherPoBox},
    {"PidLidOtherAddress", kLid, 0x801C, S, F::kOtherLabel},
    {"PidLidOtherAddressCountryCode", kLid, 0x80DC, S, F::kNone},
    // The mailing address: which one it is, and Outlook's copy of it
    {"PidLidPostalAddressId", kLid, 0x8022, I, F::kMailingAddress},
    {"PidTagStreetAddress", kTag, 0x3A29, S, F::kNone},
    {"PidTagLocality", kTag, 0x3A27, S, F::kNone},
    {"PidTagStateOrProvince", kTag, 0x3A28, S, F::kNone},
    {"PidTagPostalCode", kTag, 0x3A2A, S, F::kNone},
    {"PidTagCountry", kTag, 0x3A26, S, F::kNone},
    {"PidTagPostOfficeBox", kTag, 0x3A2B, S, F::kNone},
    {"PidTagPostalAddress", kTag, 0x3A15, S, F::kNone},
    {"PidLidAddressCountryCode", kLid, 0x80DD, S, F::kNone},
    // Electronic addresses
    {"PidTagEmailAddress", kTag, 0x3003, S, F::kNone},
    {"PidTagAddressType", kTag, 0x3002, S, F::kNone},
    {"PidLidEmail1DisplayName", kLid, 0x8080, S, F::kNone},
    {"PidLidEmail1AddressType", kLid, 0x8082, S, F::kEmail1AddressType},
    {"PidLidEmail1EmailAddress", kLid, 0x8083, S, F::kEmail1Address},
    {"PidLidEmail1OriginalDisplayName", kLid, 0x8084, S, F::kEmail1OriginalName},
    {"PidLidEmail1OriginalEntryId", kLid, 0x8085, BIN, F::kNone},
    {"PidLidEmail2DisplayName", kLid, 0x8090, S, F::kNone},
    {"PidLidEmail2AddressType", kLid, 0x8092, S, F::kEmail2AddressType},
    {"PidLidEmail2EmailAddress", kLid, 0x8093, S, F::kEmail2Address},
    {"PidLidEmail2OriginalDisplayName", kLid, 0x8094, S, F::kEmail2OriginalName},
    {"PidLidEmail3DisplayName", kLid, 0x80A0, S, F::kNone},
    {"PidLidEmail3AddressType", kLid, 0x80A2, S, F::kEmail3AddressType},
    {"PidLidEmail3EmailAddress", kLid, 0x80A3, S, F::kEmail3Address},
    {"PidLidEmail3OriginalDisplayName", kLid, 0x80A4, S, F::kEmail3OriginalName},
    {"PidLidFax1EmailAddress", kLid, 0x80B3, S, F::kNone},
    {"PidLidFax2EmailAddress", kLid, 0x80C3, S, F::kNone},
    {"PidLidFax3EmailAddress", kLid, 0x80D3, S, F::kNone},
    {"PidLidInstantMessagingAddress", kLid, 0x8062, S, F::kImAddress},
    {"PidTagBusinessHomePage", kTag, 0x3A51, S, F::kBusinessHomePage},
    {"PidTagPersonalHomePage", kTag, 0x3A50, S, F::kPersonalHomePage},
    {"PidLidFreeBusyLocation", kLid, 0x80D8, S, F::kFreeBusyUrl},
    {"PidTagUserX509Certificate", kTag, 0x3A70, PropertyType::kMultiBinary, F::kCertificates},
    // Events: the UTC form and the local form Outlook keeps beside it
    {"PidTagBirthday", kTag, 0x3A42, T, F::kBirthday},
    {"PidLidBirthdayLocal", kLid, 0x80DE, T, F::kBirthdayLocal},
    {"PidTagWeddingAnniversary", kTag, 0x3A41, T, F::kAnniversary},
    {"PidLidWeddingAnniversaryLocal", kLid, 0x80DF, T, F::kAnniversaryLocal},
    // Picture and business card
    {"PidLidHasPicture", kLid, 0x8015, B, F::kHasPicture},
    {"PidLidBusinessCardDisplayDefinition", kLid, 0x8040, BIN, F::kNone},
    {"PidLidBusinessCardCardPicture", kLid, 0x8041, BIN, F::kBusinessCardPicture},
    // Categories
    {"PidNameKeywords", PropertySet::kPublicStrings, 0, PropertyType::kMultiString, F::kCategories,
     "Keywords"},
    // Personal distribution lists (IPM.DistList items in a contacts folder)
    {"PidLidDistributionListName", kLid, 0x8053, S, F::kNone},
    {"PidLidDistributionListOneOffMembers", kLid, 0x8054, PropertyType::kMultiBinary, F::kNone},
    {"PidLidDistributionListMembers", kLid, 0x8055, PropertyType::kMultiBinary, F::kNone},
};

// A row's key in one of the sorted look-up arrays.
struct Key {
  uint32_t id;
  uint16_t row;
};

template <PropertySet kSet>
constexpr std::size_t CountIn() {
  std::size_t n = 0;
  for (const auto& r : kRows)
    n += r.set == kSet ? 1 : 0;
  return n;
}

// The rows of one set ordered by id, fixed at compile time.
template <PropertySet kSet>
constexpr std::array<Key, CountIn<kSet>()> SortedById() {
  std::array<Key, CountIn<kSet>()> keys{};
  std::size_t n = 0;
  for (std::size_t i = 0; i < std::size(kRows); ++i) {
    if (kRows[i].set == kSet)
      keys[n++] = Key{kRows[i].id, static_cast<uint16_t>(i)};
  }
  std::sort(keys.begin(), keys.end(), [](const Key& a, const Key& b) { return a.id < b.id; });
  return keys;
}

template <std::size_t N>
constexpr bool IdsUnique(const std::array<Key, N>& keys) {
  for (std::size_t i = 1; i < N; ++i) {
    if (keys[i - 1].id == keys[i].id)
      return false;
  }
  return true;
}

constexpr auto kByPropertyId = SortedById<PropertySet::kFixed>();
constexpr auto kByLid = SortedById<PropertySet::kAddress>();
static_assert(IdsUnique(kByPropertyId), "two rows with one property id");
static_assert(IdsUnique(kByLid), "two rows with one LID");

template <std::size_t N>
const ContactProperty* Find(const std::array<Key, N>& keys, uint32_t id) {
  const auto it = std::lower_bound(keys.begin(), keys.end(), id,
                                   [](const Key& k, uint32_t value) { return k.id < value; });
  if (it == keys.end() || it->id != id)
    return nullptr;
  return &kRows[it->row];
}

}  // namespace

std::span<const ContactProperty> ContactProperties() {
  return kRows;
}

const ContactProperty* FindByPropertyId(uint32_t propertyId) {
  return Find(kByPropertyId, propertyId);
}

const ContactProperty* FindAddressByLid(uint32_t lid) {
  return Find(kByLid, lid);
}

const ContactProperty* FindByStringName(std::string_view name) {
  for (const auto& r : kRows) {
    if (r.set == PropertySet::kPublicStrings && r.name == name)
      return &r;
  }
  return nullptr;
}

const ContactProperty* FindByCanonicalName(std::string_view canonicalName) {
  for (const auto& r : kRows) {
    if (r.canonicalName == canonicalName)
      return &r;
  }
  return nullptr;
}

std::string SmtpForm(std::string_view address, std::string_view type,
                     std::string_view originalName) {
  if (!text::EqualsIgnoringAsciiCase(type, "EX"))
    return std::string(address);
  if (originalName.find('@') != std::string_view::npos &&
      originalName.find(' ') == std::string_view::npos) {
    return std::string(originalName);
  }
  return {};
}

std::string* TextField(Contact& c, ContactField field) {
  switch (field) {
    case F::kFileAs:
      return &c.fileAs;
    case F::kDisplayName:
      return &c.displayName;
    case F::kSubject:
      return &c.subject;
    case F::kGivenName:
      return &c.givenName;
    case F::kMiddleName:
      return &c.middleName;
    case F::kSurname:
      return &c.surname;
    case F::kPrefix:
      return &c.prefix;
    case F::kSuffix:
      return &c.suffix;
    case F::kNickname:
      return &c.nickname;
    case F::kInitials:
      return &c.initials;
    case F::kCompany:
      return &c.company;
    case F::kDepartment:
      return &c.department;
    case F::kJobTitle:
      return &c.jobTitle;
    case F::kProfession:
      return &c.profession;
    case F::kOfficeLocation:
      return &c.officeLocation;
    case F::kManagerName:
      return &c.managerName;
    case F::kAssistantName:
      return &c.assistantName;
    case F::kSpouseName:
      return &c.spouseName;
    case F::kHobbies:
      return &c.hobbies;
    case F::kWorkStreet:
      return &c.work.street;
    case F::kWorkCity:
      return &c.work.city;
    case F::kWorkRegion:
      return &c.work.region;
    case F::kWorkPostalCode:
      return &c.work.postalCode;
    case F::kWorkCountry:
      return &c.work.country;
    case F::kWorkPoBox:
      return &c.work.poBox;
    case F::kWorkLabel:
      return &c.work.label;
    case F::kHomeStreet:
      return &c.home.street;
    case F::kHomeCity:
      return &c.home.city;
    case F::kHomeRegion:
      return &c.home.region;
    case F::kHomePostalCode:
      return &c.home.postalCode;
    case F::kHomeCountry:
      return &c.home.country;
    case F::kHomePoBox:
      return &c.home.poBox;
    case F::kHomeLabel:
      return &c.home.label;
    case F::kOtherStreet:
      return &c.other.street;
    case F::kOtherCity:
      return &c.other.city;
    case F::kOtherRegion:
      return &c.other.region;
    case F::kOtherPostalCode:
      return &c.other.postalCode;
    case F::kOtherCountry:
      return &c.other.country;
    case F::kOtherPoBox:
      return &c.other.poBox;
    case F::kOtherLabel:
      return &c.other.label;
    case F::kImAddress:
      return &c.imAddress;
    case F::kBusinessHomePage:
      return &c.businessHomePage;
    case F::kPersonalHomePage:
      return &c.personalHomePage;
    case F::kFreeBusyUrl:
      return &c.freeBusyUrl;
    case F::kNotes:
      return &c.notes;
    default:
      return nullptr;
  }
}

}  // namespace tarnvex::vcard
