#include "platform/standin/contact_reader.h"

#include <array>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/failure.h"
#include "vcard/contact_properties.h"

namespace tarnvex::standin {
namespace {

using vcard::ContactField;
using vcard::ContactProperty;
using vcard::PropertyType;

// Attachment properties that mark the contact picture.
constexpr uint32_t kTagAttachFilename = 0x3704;          // PidTagAttachFilename
constexpr uint32_t kTagAttachmentContactPhoto = 0x7FFF;  // PidTagAttachmentContactPhoto

bool IsString(uint32_t type) {
  return type == store::kTypeUnicode || type == store::kTypeString8;
}
bool IsMultiString(uint32_t type) {
  return type == store::kTypeMultiUnicode || type == store::kTypeMultiString8;
}

// The table's row for a property of the item, or null when the table has none. A property named
// by string is matched on its name alone, whatever property set the file gives it.
const ContactProperty* RowOf(const store::Entry& e) {
  if (!e.Named())
    return vcard::FindByPropertyId(e.Tag());
  if (!e.Name().empty())
    return vcard::FindByStringName(e.Name());
  if (std::memcmp(e.Guid(), vcard::kPsetidAddress.data(), 16) == 0)
    return vcard::FindAddressByLid(e.Lid());
  return nullptr;
}

// Whether a stored value type is one the row is read from: text is taken as Unicode or 8-bit
// text, and a list of texts also as a single text.
bool Fits(const ContactProperty& row, uint32_t storedType) {
  switch (row.type) {
    case PropertyType::kString:
      return IsString(storedType);
    case PropertyType::kMultiString:
      return IsMultiString(storedType) || IsString(storedType);
    default:
      return storedType == static_cast<uint32_t>(row.type);
  }
}

// A list of texts, or a single text as a list of one.
std::vector<std::string> Texts(const store::Entry& e) {
  if (IsMultiString(e.ValueType()))
    return e.Texts();
  return {e.Text()};
}

// The row of a property the reader maps to a field; null for every other property.
const ContactProperty* MappedRow(const store::Entry& e) {
  const ContactProperty* row = RowOf(e);
  if (!row || row->field == ContactField::kNone || !Fits(*row, e.ValueType()))
    return nullptr;
  return row;
}

struct EmailSlot {
  std::string address;
  std::string type;
  std::string original;
};

std::string SmtpForm(const EmailSlot& slot) {
  return vcard::SmtpForm(slot.address, slot.type, slot.original);
}

// What a failure says is wrong with the file, without the words naming it: the card's report
// names the file already.
std::string WhatIsWrong(std::string failure) {
  constexpr std::string_view kDamaged = " is damaged: ";
  if (const auto at = failure.find(kDamaged); at != std::string::npos)
    failure.erase(0, at + kDamaged.size());
  if (failure.ends_with('.'))
    failure.pop_back();
  return failure;
}

// Runs `read`, which takes a part of the contact from the file. Where the file fails it, that
// part is left out of the card and the damage told (pst/ndb/damage.h), so that the card is
// reported as written from damaged data, not lost whole for one unreadable field: "its `part`
// cannot be read`leftOut`", say "its PidTagBody cannot be read and is left out". The words are
// put together only then: every property of every contact is read through here.
template <typename Read>
void LeftOutWhenUnreadable(std::string_view part, std::string_view leftOut, Read&& read) {
  try {
    read();
  } catch (const Failure& failure) {
    store::DamageScope::Tell("its " + std::string(part) + " cannot be read" + std::string(leftOut) +
                             " (" + WhatIsWrong(failure.what()) + ")");
  }
}

std::string ContactPicture(const store::Item& message, bool hasPicture);

}  // namespace

std::string ReadFileAs(const store::Item& message) {
  std::string fileAs;
  message.ForEachEntry([&](const store::Entry& e) {
    const ContactProperty* row = MappedRow(e);
    if (row && row->field == ContactField::kFileAs)
      fileAs = e.Text();
  });
  return fileAs;
}

Contact ReadNames(const store::Item& message) {
  Contact c;
  EmailSlot email;
  message.ForEachEntry([&](const store::Entry& e) {
    const ContactProperty* row = MappedRow(e);
    if (!row)
      return;
    switch (row->field) {
      case ContactField::kFileAs:
      case ContactField::kDisplayName:
      case ContactField::kGivenName:
      case ContactField::kSurname:
      case ContactField::kCompany:
        *vcard::TextField(c, row->field) = e.Text();
        break;
      case ContactField::kEmail1Address:
        email.address = e.Text();
        break;
      case ContactField::kEmail1AddressType:
        email.type = e.Text();
        break;
      case ContactField::kEmail1OriginalName:
        email.original = e.Text();
        break;
      default:
        break;
    }
  });
  c.emails[0] = SmtpForm(email);
  return c;
}

Contact ReadContact(const store::Item& message) {
  Contact c;
  std::array<EmailSlot, 3> emails;
  std::optional<vcard::Date> birthdayUtc, anniversaryUtc, birthdayLocal, anniversaryLocal;
  bool hasPicture = false;

  auto take = [&](const ContactProperty& row, const store::Entry& e) {
    const ContactField field = row.field;
    if (std::string* target = vcard::TextField(c, field)) {
      *target = e.Text();
      return;
    }
    if (vcard::IsPhone(field)) {
      std::string number = e.Text();
      if (!number.empty())
        c.phones.push_back({vcard::PhoneKindOf(field), std::move(number)});
      return;
    }
    if (vcard::IsEmail(field)) {
      EmailSlot& slot = emails[vcard::EmailSlotOf(field)];
      switch (vcard::EmailPartOf(field)) {
        case vcard::EmailPart::kAddress:
          slot.address = e.Text();
          break;
        case vcard::EmailPart::kAddressType:
          slot.type = e.Text();
          break;
        case vcard::EmailPart::kOriginalName:
          slot.original = e.Text();
          break;
      }
      return;
    }
    switch (field) {
      case ContactField::kMailingAddress: {
        const uint32_t v = e.Int32();
        c.mailing = v <= 3 ? static_cast<vcard::MailingAddress>(v) : vcard::MailingAddress::kNone;
        break;
      }
      case ContactField::kBirthday:
        birthdayUtc = vcard::FiletimeToDate(e.Filetime());
        break;
      case ContactField::kBirthdayLocal:
        birthdayLocal = vcard::FiletimeToDate(e.Filetime());
        break;
      case ContactField::kAnniversary:
        anniversaryUtc = vcard::FiletimeToDate(e.Filetime());
        break;
      case ContactField::kAnniversaryLocal:
        anniversaryLocal = vcard::FiletimeToDate(e.Filetime());
        break;
      case ContactField::kLastModified:
        c.lastModified = vcard::FiletimeToUnix(e.Filetime());
        break;
      case ContactField::kCategories:
        c.categories = Texts(e);
        break;
      case ContactField::kChildren:
        c.children = Texts(e);
        break;
      case ContactField::kGender: {
        // PT_I2, two bytes little-endian; values beyond the three PidTagGender defines count as
        // unspecified.
        const std::string raw = e.Bytes();
        const unsigned v = raw.size() >= 2 ? static_cast<unsigned char>(raw[0]) |
                                                 static_cast<unsigned char>(raw[1]) << 8
                                           : 0;
        c.gender = v <= 2 ? static_cast<vcard::Gender>(v) : vcard::Gender::kUnspecified;
        break;
      }
      case ContactField::kSensitivity: {
        const uint32_t v = e.Int32();
        c.sensitivity = v <= 3 ? static_cast<vcard::Sensitivity>(v) : vcard::Sensitivity::kNormal;
        break;
      }
      case ContactField::kBusinessCardPicture:
        c.businessCardPicture = e.Bytes();
        break;
      case ContactField::kCertificates:
        c.certificates = e.Binaries();
        break;
      case ContactField::kHasPicture:
        hasPicture = e.Boolean();
        break;
      default:
        break;
    }
  };
  message.ForEachEntry([&](const store::Entry& e) {
    const ContactProperty* row = MappedRow(e);
    if (!row)
      return;
    // The card is named after the file-as text: without it the card is not written.
    if (row->field == ContactField::kFileAs)
      take(*row, e);
    else
      LeftOutWhenUnreadable(row->canonicalName, " and is left out", [&] { take(*row, e); });
  });

  for (size_t i = 0; i < emails.size(); ++i)
    c.emails[i] = SmtpForm(emails[i]);
  c.codePage = message.CodePage();
  // The local forms hold the date as the contact's owner entered it.
  c.birthday = birthdayLocal ? birthdayLocal : birthdayUtc;
  c.anniversary = anniversaryLocal ? anniversaryLocal : anniversaryUtc;

  LeftOutWhenUnreadable("attachments", ", and a picture among them is left out",
                        [&] { c.photo = ContactPicture(message, hasPicture); });
  return c;
}

namespace {

// The contact picture: the first attachment flagged PidTagAttachmentContactPhoto that holds data.
std::string ContactPicture(const store::Item& message, bool hasPicture) {
  const int attachments = message.AttachmentCount();
  for (int i = 0; i < attachments; ++i) {
    auto att = message.Attachment(i);
    bool isPhoto = false;
    std::string name;
    att->ForEachEntry([&](const store::Entry& e) {
      if (e.Named())
        return;
      if (e.Tag() == kTagAttachmentContactPhoto && e.ValueType() == store::kTypeBoolean)
        isPhoto = e.Boolean();
      if (e.Tag() == kTagAttachFilename && IsString(e.ValueType()))
        name = e.Text();
    });
    if (!isPhoto && hasPicture && name == "ContactPicture.jpg")
      isPhoto = true;
    if (isPhoto && att->IsDataAttachment()) {
      if (std::string photo = att->AttachmentData(); !photo.empty())
        return photo;
    }
  }
  return {};
}

}  // namespace

}  // namespace tarnvex::standin
