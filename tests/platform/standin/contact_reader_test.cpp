// The stand-in's contact mapping: every row of the contact table that fills a field is read from
// a PST item into that field.

#include "platform/standin/contact_reader.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <memory>

#include "tests/platform/standin/pst_fixtures.h"
#include "tools/pstwriter/store_model.h"
#include "vcard/contact_properties.h"

namespace tarnvex::standin {
namespace {

using pstwriter::FileTime;
using pstwriter::Value;
using vcard::ContactField;

// The first message of the folder named `name` in the file's folder tree.
std::unique_ptr<store::Item> FirstMessageIn(const store::Item& folder, const std::string& name,
                                            int depth = 0) {
  if (depth > 8)
    return nullptr;
  if (folder.FolderName() == name) {
    auto children = folder.NormalMessages();
    if (!children.empty())
      return std::move(children.front().item);
  }
  for (int i = 0; i < folder.SubFolderCount(); ++i) {
    if (auto found = FirstMessageIn(*folder.SubFolder(i), name, depth + 1))
      return found;
  }
  return nullptr;
}

int64_t Days(int n) {
  return int64_t{n} * 86400;
}

TEST(ContactReaderTest, EveryMappedRowOfTheTableFillsItsField) {
  pstwriter::Store store = pstwriter::Store::WithStandardFolders();
  pstwriter::Message& m = store.Contacts()->AddMessage("IPM.Contact");
  std::map<ContactField, std::string> texts;
  for (const auto& row : vcard::ContactProperties()) {
    if (row.field == ContactField::kNone || row.type != vcard::PropertyType::kString)
      continue;
    std::string value = "value of " + std::string(row.canonicalName);
    if (vcard::IsEmail(row.field) &&
        vcard::EmailPartOf(row.field) == vcard::EmailPart::kAddressType) {
      // The third address is an Exchange one (type in any case): its SMTP form is the original
      // display name.
      value = vcard::EmailSlotOf(row.field) == 2 ? "ex" : "SMTP";
    }
    if (row.field == ContactField::kEmail3OriginalName)
      value = "third@example.com";
    m.props.SetString(row.canonicalName, value);
    texts[row.field] = value;
  }
  // 1990-01-01 and 1990-01-02 (as local midnight) for the birthday, likewise in 2010 for the
  // anniversary: the local forms win.
  auto at = [](int64_t seconds) { return Value::Time(FileTime::FromUnix(seconds)); };
  m.props.Set("PidTagBirthday", at(Days(7305) - 7200));
  m.props.Set("PidLidBirthdayLocal", at(Days(7306)));
  m.props.Set("PidTagWeddingAnniversary", at(Days(14610)));
  m.props.Set("PidLidWeddingAnniversaryLocal", at(Days(14611)));
  m.props.Set("PidTagLastModificationTime", at(1700000000));
  m.props.Set("PidLidPostalAddressId", Value::Int32(2));
  m.props.Set("PidNameKeywords", Value::MultiString({"Red", "Blue, Green"}));
  m.props.Set("PidLidHasPicture", Value::Boolean(false));

  testing::Sandbox tmp;
  const std::string path = testing::WriteStore(store, tmp / "table.pst");
  const auto file = store::OpenFile(path);
  const auto item = FirstMessageIn(*file->RootFolder(), "Contacts");
  ASSERT_TRUE(item);
  const Contact c = ReadContact(*item);
  EXPECT_EQ(ReadFileAs(*item), texts[ContactField::kFileAs]);

  Contact expected;
  for (const auto& [field, value] : texts) {
    if (std::string* member = vcard::TextField(expected, field))
      *member = value;
    if (vcard::IsPhone(field))
      expected.phones.push_back({vcard::PhoneKindOf(field), value});
  }
  expected.emails = {texts[ContactField::kEmail1Address], texts[ContactField::kEmail2Address],
                     "third@example.com"};
  expected.birthday = vcard::Date{1990, 1, 2};
  expected.anniversary = vcard::Date{2010, 1, 2};
  expected.lastModified = 1700000000;
  expected.mailing = vcard::MailingAddress::kWork;
  expected.categories = {"Red", "Blue, Green"};

  for (int i = 0; i < static_cast<int>(ContactField::kCount); ++i) {
    const auto field = static_cast<ContactField>(i);
    Contact read = c;
    if (std::string* member = vcard::TextField(read, field)) {
      EXPECT_EQ(*member, *vcard::TextField(expected, field)) << "field " << i;
    }
  }
  auto byKind = [](std::vector<vcard::Phone> phones) {
    std::sort(phones.begin(), phones.end(),
              [](const auto& a, const auto& b) { return a.kind < b.kind; });
    std::vector<std::pair<vcard::PhoneKind, std::string>> out;
    for (const auto& p : phones)
      out.emplace_back(p.kind, p.number);
    return out;
  };
  EXPECT_EQ(byKind(c.phones), byKind(expected.phones));
  EXPECT_EQ(c.phones.size(), static_cast<size_t>(vcard::PhoneKind::kTty) + 1);
  EXPECT_EQ(c.emails, expected.emails);
  EXPECT_EQ(c.birthday, expected.birthday);
  EXPECT_EQ(c.anniversary, expected.anniversary);
  EXPECT_EQ(c.lastModified, expected.lastModified);
  EXPECT_EQ(c.mailing, expected.mailing);
  EXPECT_EQ(c.categories, expected.categories);
  EXPECT_TRUE(c.photo.empty());
}

// Without the local forms the UTC ones give the dates; a single text stands for the categories.
TEST(ContactReaderTest, FallBacksOfDatesAndCategories) {
  pstwriter::Store store = pstwriter::Store::WithStandardFolders();
  pstwriter::Message& m = store.Contacts()->AddMessage("IPM.Contact");
  m.props.SetString("PidLidFileUnder", "Fall, Back");
  m.props.Set("PidTagBirthday", Value::Time(FileTime::FromUnix(Days(7305) - 7200)));
  m.props.Set("PidTagWeddingAnniversary", Value::Time(FileTime::FromUnix(Days(14610) + 3600)));
  m.props.Set(pstwriter::PropKey::Named(pstwriter::kPsPublicStrings, "Keywords"),
              Value::String("Only"));

  testing::Sandbox tmp;
  const auto file = store::OpenFile(testing::WriteStore(store, tmp / "fallback.pst"));
  const auto item = FirstMessageIn(*file->RootFolder(), "Contacts");
  ASSERT_TRUE(item);
  const Contact c = ReadContact(*item);
  EXPECT_EQ(c.fileAs, "Fall, Back");
  EXPECT_EQ(c.birthday, (vcard::Date{1990, 1, 1}));
  EXPECT_EQ(c.anniversary, (vcard::Date{2010, 1, 1}));
  EXPECT_EQ(c.categories, std::vector<std::string>{"Only"});
}

}  // namespace
}  // namespace tarnvex::standin
