#pragma once

// The properties of a contact item, in one table: each row names a property the way MS-OXPROPS
// does ("PidTagSurname", "PidLidFileUnder"), says where an item keeps it (a fixed property id, or
// a named property: its property set with a LID or a string name), its MAPI type, and the field
// of Contact it fills. The stand-in's contact reader maps an item through this table
// (platform/standin/contact_reader.cpp) and the PST writer takes its contact property names from it
// (tools/pstwriter/property_names.cpp), so the two cannot disagree.
//
// Rows with ContactField::kNone are properties contacts keep that no card field comes from; the
// PST writer knows them so that fixtures can set them. The contact picture's attachment is found
// by attachment properties, which are not in this table.

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "mapi/mapi.h"
#include "vcard/contact.h"

namespace tarnvex::vcard {

// MAPI property types (PT_*) of the table's rows. Text is PT_UNICODE; readers take PT_STRING8
// text for it as well.
enum class PropertyType : uint16_t {
  kInt16 = mapi::kTypeInt16,
  kInt32 = mapi::kTypeInt32,
  kBoolean = mapi::kTypeBoolean,
  kString = mapi::kTypeUnicode,
  kTime = mapi::kTypeSystime,  // a FILETIME
  kBinary = mapi::kTypeBinary,
  kMultiInt32 = mapi::kTypeMultiInt32,
  kMultiString = mapi::kTypeMultiUnicode,
  kMultiBinary = mapi::kTypeMultiBinary,
};

// Where an item keeps a property.
enum class PropertySet : uint8_t {
  kFixed,          // a fixed property id below 0x8000
  kAddress,        // PSETID_Address, by LID
  kPublicStrings,  // PS_PUBLIC_STRINGS, by string name
};

// The property sets' GUIDs as stored.
using mapi::kPsetidAddress;
using mapi::kPsPublicStrings;

// What a property fills: a field of Contact, or a value the reader combines into one (the e-mail
// slots' parts, the two forms of a date, the picture flag).
enum class ContactField : uint8_t {
  kNone,

  // Text fields of Contact.
  kFileAs,
  kDisplayName,
  kSubject,
  kGivenName,
  kMiddleName,
  kSurname,
  kPrefix,
  kSuffix,
  kNickname,
  kInitials,
  kCompany,
  kDepartment,
  kJobTitle,
  kProfession,
  kOfficeLocation,
  kManagerName,
  kAssistantName,
  kSpouseName,
  kHobbies,
  kWorkStreet,
  kWorkCity,
  kWorkRegion,
  kWorkPostalCode,
  kWorkCountry,
  kWorkPoBox,
  kWorkLabel,
  kHomeStreet,
  kHomeCity,
  kHomeRegion,
  kHomePostalCode,
  kHomeCountry,
  kHomePoBox,
  kHomeLabel,
  kOtherStreet,
  kOtherCity,
  kOtherRegion,
  kOtherPostalCode,
  kOtherCountry,
  kOtherPoBox,
  kOtherLabel,
  kImAddress,
  kBusinessHomePage,
  kPersonalHomePage,
  kFreeBusyUrl,
  kNotes,

  // Telephone numbers, in the order of PhoneKind.
  kPhonePrimary,
  kPhoneBusiness,
  kPhoneBusiness2,
  kPhoneHome,
  kPhoneHome2,
  kPhoneMobile,
  kPhonePager,
  kPhoneCar,
  kPhoneIsdn,
  kPhoneBusinessFax,
  kPhoneHomeFax,
  kPhoneOtherFax,
  kPhoneOther,
  kPhoneAssistant,
  kPhoneCallback,
  kPhoneCompanyMain,
  kPhoneRadio,
  kPhoneTelex,
  kPhoneTty,

  // E-mail 1 to 3, three parts each: the address, its address type ("SMTP", "EX") and the
  // original display name (an Exchange address's SMTP form).
  kEmail1Address,
  kEmail1AddressType,
  kEmail1OriginalName,
  kEmail2Address,
  kEmail2AddressType,
  kEmail2OriginalName,
  kEmail3Address,
  kEmail3AddressType,
  kEmail3OriginalName,

  kMailingAddress,    // which postal address is the mailing address (MailingAddress)
  kBirthday,          // the birthday's midnight in UTC
  kBirthdayLocal,     // the birthday as its owner entered it; preferred
  kAnniversary,       // likewise the wedding anniversary
  kAnniversaryLocal,  //
  kLastModified,
  kCategories,
  kChildren,
  kGender,
  kSensitivity,
  kHasPicture,           // the item has a contact picture (an attachment)
  kBusinessCardPicture,  // the picture of the electronic business card
  kCertificates,         // the contact's X.509 certificates

  kCount  // the number of fields, not a field
};

// The text member of Contact a text field fills; null for the other fields.
std::string* TextField(Contact& contact, ContactField field);

// The SMTP form of an e-mail slot: the address itself, unless its type is "EX" (an Exchange
// X.500 name that no mail program can use); then the original display name where that is an
// address, else empty text.
std::string SmtpForm(std::string_view address, std::string_view type,
                     std::string_view originalName);

constexpr bool IsPhone(ContactField f) {
  return f >= ContactField::kPhonePrimary && f <= ContactField::kPhoneTty;
}
constexpr PhoneKind PhoneKindOf(ContactField phone) {
  return static_cast<PhoneKind>(static_cast<int>(phone) -
                                static_cast<int>(ContactField::kPhonePrimary));
}
static_assert(PhoneKindOf(ContactField::kPhoneTty) == PhoneKind::kTty);

enum class EmailPart { kAddress, kAddressType, kOriginalName };
constexpr bool IsEmail(ContactField f) {
  return f >= ContactField::kEmail1Address && f <= ContactField::kEmail3OriginalName;
}
// The slot (0 to 2) and the part of an e-mail field.
constexpr int EmailSlotOf(ContactField email) {
  return (static_cast<int>(email) - static_cast<int>(ContactField::kEmail1Address)) / 3;
}
constexpr EmailPart EmailPartOf(ContactField email) {
  return static_cast<EmailPart>(
      (static_cast<int>(email) - static_cast<int>(ContactField::kEmail1Address)) % 3);
}
static_assert(EmailSlotOf(ContactField::kEmail3OriginalName) == 2 &&
              EmailPartOf(ContactField::kEmail3OriginalName) == EmailPart::kOriginalName);

struct ContactProperty {
  std::string_view canonicalName;
  PropertySet set;
  // kFixed: the property id; kAddress: the LID; kPublicStrings: unused (0).
  uint32_t id;
  PropertyType type;
  ContactField field;
  // kPublicStrings: the string name.
  std::string_view name = {};
};

// Every row, grouped as MS-OXOCNTC groups the properties.
std::span<const ContactProperty> ContactProperties();

// Look-ups for readers: null when the table has no such property. The first three take no lock
// and no allocation (sorted arrays fixed at compile time).
const ContactProperty* FindByPropertyId(uint32_t propertyId);
const ContactProperty* FindAddressByLid(uint32_t lid);
// A property named by string, matched on the name alone.
const ContactProperty* FindByStringName(std::string_view name);
// By canonical name, for tools and tests.
const ContactProperty* FindByCanonicalName(std::string_view canonicalName);

}  // namespace tarnvex::vcard
