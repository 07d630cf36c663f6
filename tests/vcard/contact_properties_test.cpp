// The table of contact properties: one row per property, every field reached, the look-ups find
// every row, and the PST writer's names for contacts are the table's.

#include "vcard/contact_properties.h"

#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <set>
#include <string>
#include <variant>

#include "tools/pstwriter/property_names.h"

namespace tarnvex::vcard {
namespace {

constexpr int kFieldCount = static_cast<int>(ContactField::kCount);

ContactField FieldAt(int i) {
  return static_cast<ContactField>(i);
}

bool StartsWith(std::string_view s, std::string_view prefix) {
  return s.substr(0, prefix.size()) == prefix;
}

TEST(ContactPropertiesTest, CanonicalNamesAreUniqueAndSayWhereThePropertyIsKept) {
  std::set<std::string_view> names;
  for (const auto& row : ContactProperties()) {
    EXPECT_TRUE(names.insert(row.canonicalName).second) << row.canonicalName;
    switch (row.set) {
      case PropertySet::kFixed:
        EXPECT_TRUE(StartsWith(row.canonicalName, "PidTag")) << row.canonicalName;
        break;
      case PropertySet::kAddress:
        EXPECT_TRUE(StartsWith(row.canonicalName, "PidLid")) << row.canonicalName;
        break;
      case PropertySet::kPublicStrings:
        EXPECT_TRUE(StartsWith(row.canonicalName, "PidName")) << row.canonicalName;
        EXPECT_EQ(row.canonicalName.substr(7), row.name) << "PidName<name>";
        break;
    }
  }
}

TEST(ContactPropertiesTest, KeysAreUniqueAndInTheirRange) {
  std::set<uint32_t> ids, lids;
  std::set<std::string_view> stringNames;
  for (const auto& row : ContactProperties()) {
    switch (row.set) {
      case PropertySet::kFixed:
        EXPECT_TRUE(ids.insert(row.id).second) << row.canonicalName;
        EXPECT_LT(row.id, 0x8000u) << row.canonicalName;
        EXPECT_GT(row.id, 0u) << row.canonicalName;
        EXPECT_TRUE(row.name.empty()) << row.canonicalName;
        break;
      case PropertySet::kAddress:
        EXPECT_TRUE(lids.insert(row.id).second) << row.canonicalName;
        EXPECT_GE(row.id, 0x8000u) << row.canonicalName;
        EXPECT_TRUE(row.name.empty()) << row.canonicalName;
        break;
      case PropertySet::kPublicStrings:
        EXPECT_TRUE(stringNames.insert(row.name).second) << row.canonicalName;
        EXPECT_FALSE(row.name.empty()) << row.canonicalName;
        EXPECT_EQ(row.id, 0u) << row.canonicalName;
        break;
    }
  }
}

TEST(ContactPropertiesTest, EveryFieldIsFilledByOneRow) {
  std::map<ContactField, int> rows;
  for (const auto& row : ContactProperties())
    ++rows[row.field];
  for (int i = 1; i < kFieldCount; ++i)
    EXPECT_EQ(rows[FieldAt(i)], 1) << "field " << i;
}

// The reader takes a field's value in the form the row's type says; the rows agree with it.
TEST(ContactPropertiesTest, EachFieldHasTheTypeItIsReadAs) {
  Contact c;
  for (const auto& row : ContactProperties()) {
    const ContactField f = row.field;
    PropertyType expected = PropertyType::kString;
    if (f == ContactField::kNone)
      continue;
    if (f == ContactField::kMailingAddress || f == ContactField::kSensitivity)
      expected = PropertyType::kInt32;
    if (f == ContactField::kGender)
      expected = PropertyType::kInt16;
    if (f == ContactField::kChildren)
      expected = PropertyType::kMultiString;
    if (f == ContactField::kBusinessCardPicture)
      expected = PropertyType::kBinary;
    if (f == ContactField::kCertificates)
      expected = PropertyType::kMultiBinary;
    if (f == ContactField::kBirthday || f == ContactField::kBirthdayLocal ||
        f == ContactField::kAnniversary || f == ContactField::kAnniversaryLocal ||
        f == ContactField::kLastModified) {
      expected = PropertyType::kTime;
    }
    if (f == ContactField::kCategories)
      expected = PropertyType::kMultiString;
    if (f == ContactField::kHasPicture)
      expected = PropertyType::kBoolean;
    EXPECT_EQ(row.type, expected) << row.canonicalName;
    const bool text = TextField(c, f) || IsPhone(f) || IsEmail(f);
    EXPECT_EQ(text, expected == PropertyType::kString) << row.canonicalName;
  }
}

TEST(ContactPropertiesTest, LookupsFindEveryRowAndNothingElse) {
  for (const auto& row : ContactProperties()) {
    EXPECT_EQ(FindByCanonicalName(row.canonicalName), &row);
    switch (row.set) {
      case PropertySet::kFixed:
        EXPECT_EQ(FindByPropertyId(row.id), &row) << row.canonicalName;
        break;
      case PropertySet::kAddress:
        EXPECT_EQ(FindAddressByLid(row.id), &row) << row.canonicalName;
        break;
      case PropertySet::kPublicStrings:
        EXPECT_EQ(FindByStringName(row.name), &row) << row.canonicalName;
        break;
    }
  }
  EXPECT_EQ(FindByPropertyId(0x001A), nullptr);  // PidTagMessageClass: not a contact property
  EXPECT_EQ(FindByPropertyId(0x0000), nullptr);
  EXPECT_EQ(FindByPropertyId(0xFFFF), nullptr);
  EXPECT_EQ(FindByPropertyId(0x8005), nullptr);  // a LID is no property id
  EXPECT_EQ(FindAddressByLid(0x3A06), nullptr);
  EXPECT_EQ(FindAddressByLid(0x8506), nullptr);  // PidLidPrivate is in PSETID_Common
  EXPECT_EQ(FindByStringName("keywords"), nullptr);
  EXPECT_EQ(FindByStringName(""), nullptr);
  EXPECT_EQ(FindByCanonicalName("PidTagSubject"), nullptr);
}

TEST(ContactPropertiesTest, KnownRows) {
  const auto* surname = FindByCanonicalName("PidTagSurname");
  ASSERT_NE(surname, nullptr);
  EXPECT_EQ(surname->set, PropertySet::kFixed);
  EXPECT_EQ(surname->id, 0x3A11u);
  EXPECT_EQ(surname->field, ContactField::kSurname);
  const auto* fileAs = FindByCanonicalName("PidLidFileUnder");
  ASSERT_NE(fileAs, nullptr);
  EXPECT_EQ(fileAs->set, PropertySet::kAddress);
  EXPECT_EQ(fileAs->id, 0x8005u);
  EXPECT_EQ(fileAs->field, ContactField::kFileAs);
  const auto* keywords = FindByCanonicalName("PidNameKeywords");
  ASSERT_NE(keywords, nullptr);
  EXPECT_EQ(keywords->field, ContactField::kCategories);
  EXPECT_EQ(FindByPropertyId(0x3A4B)->field, ContactField::kPhoneTty);
  EXPECT_EQ(FindAddressByLid(0x80A4)->field, ContactField::kEmail3OriginalName);
}

TEST(ContactPropertiesTest, TextFieldsReachEveryTextOfTheContactOnce) {
  Contact c;
  std::set<std::string*> members;
  for (int i = 0; i < kFieldCount; ++i) {
    std::string* member = TextField(c, FieldAt(i));
    if (member) {
      EXPECT_TRUE(members.insert(member).second) << "field " << i;
    }
  }
  // Fill every member reached and check each text of Contact got its own value.
  int n = 0;
  for (std::string* m : members)
    *m = "value " + std::to_string(++n);
  for (const std::string* s :
       {&c.fileAs,        &c.displayName, &c.subject,    &c.givenName,        &c.middleName,
        &c.surname,       &c.prefix,      &c.suffix,     &c.nickname,         &c.company,
        &c.department,    &c.jobTitle,    &c.profession, &c.businessHomePage, &c.personalHomePage,
        &c.imAddress,     &c.notes,       &c.initials,   &c.officeLocation,   &c.managerName,
        &c.assistantName, &c.spouseName,  &c.hobbies,    &c.freeBusyUrl}) {
    EXPECT_FALSE(s->empty());
  }
  for (const PostalAddress* a : {&c.work, &c.home, &c.other}) {
    for (const std::string* s :
         {&a->poBox, &a->street, &a->city, &a->region, &a->postalCode, &a->country, &a->label}) {
      EXPECT_FALSE(s->empty());
    }
  }
  EXPECT_EQ(members.size(), 24u + 3u * 7u);
  EXPECT_EQ(TextField(c, ContactField::kNone), nullptr);
  EXPECT_EQ(TextField(c, ContactField::kPhoneHome), nullptr);
  EXPECT_EQ(TextField(c, ContactField::kEmail1Address), nullptr);
}

TEST(ContactPropertiesTest, PhoneAndEmailFields) {
  std::set<PhoneKind> kinds;
  std::set<std::pair<int, EmailPart>> emailParts;
  for (int i = 0; i < kFieldCount; ++i) {
    const ContactField f = FieldAt(i);
    EXPECT_FALSE(IsPhone(f) && IsEmail(f));
    if (IsPhone(f)) {
      EXPECT_TRUE(kinds.insert(PhoneKindOf(f)).second);
    }
    if (IsEmail(f)) {
      EXPECT_TRUE(emailParts.insert({EmailSlotOf(f), EmailPartOf(f)}).second);
    }
  }
  EXPECT_EQ(kinds.size(), static_cast<size_t>(PhoneKind::kTty) + 1);
  EXPECT_EQ(PhoneKindOf(ContactField::kPhonePrimary), PhoneKind::kPrimary);
  EXPECT_EQ(PhoneKindOf(ContactField::kPhoneCompanyMain), PhoneKind::kCompanyMain);
  EXPECT_EQ(emailParts.size(), 9u);
  EXPECT_EQ(EmailSlotOf(ContactField::kEmail2AddressType), 1);
  EXPECT_EQ(EmailPartOf(ContactField::kEmail2AddressType), EmailPart::kAddressType);
}

// The PST writer's fixtures name contact properties canonically; those names resolve to the
// table's key and type, and the writer knows no contact property beside the table.
TEST(ContactPropertiesTest, ThePstWritersContactNamesAreTheTables) {
  for (const auto& row : ContactProperties()) {
    const auto known = pstwriter::LookupPropertyName(row.canonicalName);
    ASSERT_TRUE(known) << row.canonicalName;
    EXPECT_EQ(static_cast<uint16_t>(known->type), static_cast<uint16_t>(row.type))
        << row.canonicalName;
    switch (row.set) {
      case PropertySet::kFixed:
        EXPECT_EQ(known->key, pstwriter::PropKey::Tag(static_cast<uint16_t>(row.id)))
            << row.canonicalName;
        break;
      case PropertySet::kAddress:
        EXPECT_EQ(known->key, pstwriter::PropKey::Named(pstwriter::kPsetidAddress, row.id))
            << row.canonicalName;
        EXPECT_EQ(std::memcmp(pstwriter::kPsetidAddress.bytes.data(), kPsetidAddress.data(), 16),
                  0);
        break;
      case PropertySet::kPublicStrings:
        EXPECT_EQ(known->key,
                  pstwriter::PropKey::Named(pstwriter::kPsPublicStrings, std::string(row.name)))
            << row.canonicalName;
        EXPECT_EQ(
            std::memcmp(pstwriter::kPsPublicStrings.bytes.data(), kPsPublicStrings.data(), 16), 0);
        break;
    }
  }
  std::set<std::string_view> names;
  for (const auto& known : pstwriter::KnownPropertyNames()) {
    EXPECT_TRUE(names.insert(known.canonicalName).second) << known.canonicalName;
    if (!known.key.IsNamed())
      continue;
    const auto& name = std::get<pstwriter::PropName>(known.key.key);
    if (name.set == pstwriter::kPsetidAddress || name.set == pstwriter::kPsPublicStrings) {
      EXPECT_NE(FindByCanonicalName(known.canonicalName), nullptr) << known.canonicalName;
    }
  }
}

}  // namespace
}  // namespace tarnvex::vcard
