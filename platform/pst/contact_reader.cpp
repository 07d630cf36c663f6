#include "platform/pst/contact_reader.h"

#include <cstring>

namespace tarnvex::pst {
namespace {

using vcard::Date;
using vcard::FiletimeToDate;
using vcard::FiletimeToUnix;
using vcard::MailingAddress;
using vcard::PhoneKind;

bool IsString(uint32_t type) {
  return type == store::kTypeUnicode || type == store::kTypeString8;
}
bool IsMultiString(uint32_t type) {
  return type == store::kTypeMultiUnicode || type == store::kTypeMultiString8;
}
bool InAddressSet(const store::Entry& e) {
  return e.Named() && e.Name().empty() && std::memcmp(e.Guid(), kPsetidAddress, 16) == 0;
}

// The fixed tags of the telephone fields (MS-OXOCNTC section 2.2.1.4).
struct PhoneTag {
  uint32_t tag;
  PhoneKind kind;
};
constexpr PhoneTag kPhoneTags[] = {
    {0x3A1A, PhoneKind::kPrimary},   {0x3A08, PhoneKind::kBusiness},
    {0x3A1B, PhoneKind::kBusiness2}, {0x3A09, PhoneKind::kHome},
    {0x3A2F, PhoneKind::kHome2},     {0x3A1C, PhoneKind::kMobile},
    {0x3A21, PhoneKind::kPager},     {0x3A1E, PhoneKind::kCar},
    {0x3A2D, PhoneKind::kIsdn},      {0x3A24, PhoneKind::kBusinessFax},
    {0x3A25, PhoneKind::kHomeFax},   {0x3A23, PhoneKind::kOtherFax},
    {0x3A1F, PhoneKind::kOther},     {0x3A2E, PhoneKind::kAssistant},
    {0x3A02, PhoneKind::kCallback},  {0x3A57, PhoneKind::kCompanyMain},
    {0x3A1D, PhoneKind::kRadio},     {0x3A2C, PhoneKind::kTelex},
    {0x3A4B, PhoneKind::kTty},
};

struct EmailSlot {
  std::string address;
  std::string type;
  std::string original;
};

bool EqualsNoCase(const std::string& a, const char* b) {
  const size_t n = std::strlen(b);
  if (a.size() != n)
    return false;
  for (size_t i = 0; i < n; ++i) {
    char x = a[i];
    if (x >= 'a' && x <= 'z')
      x = static_cast<char>(x - 32);
    char y = b[i];
    if (y >= 'a' && y <= 'z')
      y = static_cast<char>(y - 32);
    if (x != y)
      return false;
  }
  return true;
}

// An Exchange ("EX") address is an X.500 name that no mail program can use; its SMTP form, when
// the item has one, is the original display name.
std::string SmtpForm(const EmailSlot& slot) {
  if (!EqualsNoCase(slot.type, "EX"))
    return slot.address;
  if (slot.original.find('@') != std::string::npos &&
      slot.original.find(' ') == std::string::npos) {
    return slot.original;
  }
  return {};
}

}  // namespace

std::string ReadFileAs(const store::Item& message) {
  std::string fileAs;
  message.ForEachEntry([&](const store::Entry& e) {
    if (InAddressSet(e) && e.Lid() == 0x8005 && IsString(e.ValueType()))
      fileAs = e.Text();
  });
  return fileAs;
}

Contact ReadContact(const store::Item& message) {
  Contact c;
  std::array<EmailSlot, 3> emails;
  std::optional<Date> birthdayUtc, anniversaryUtc, birthdayLocal, anniversaryLocal;
  bool hasPicture = false;

  message.ForEachEntry([&](const store::Entry& e) {
    const uint32_t type = e.ValueType();
    if (InAddressSet(e)) {
      const uint32_t lid = e.Lid();
      if (IsString(type)) {
        std::string* target = nullptr;
        switch (lid) {
          case 0x8005:
            target = &c.fileAs;
            break;
          case 0x8045:
            target = &c.work.street;
            break;
          case 0x8046:
            target = &c.work.city;
            break;
          case 0x8047:
            target = &c.work.region;
            break;
          case 0x8048:
            target = &c.work.postalCode;
            break;
          case 0x8049:
            target = &c.work.country;
            break;
          case 0x804A:
            target = &c.work.poBox;
            break;
          case 0x801B:
            target = &c.work.label;
            break;
          case 0x801A:
            target = &c.home.label;
            break;
          case 0x801C:
            target = &c.other.label;
            break;
          case 0x8083:
            target = &emails[0].address;
            break;
          case 0x8082:
            target = &emails[0].type;
            break;
          case 0x8084:
            target = &emails[0].original;
            break;
          case 0x8093:
            target = &emails[1].address;
            break;
          case 0x8092:
            target = &emails[1].type;
            break;
          case 0x8094:
            target = &emails[1].original;
            break;
          case 0x80A3:
            target = &emails[2].address;
            break;
          case 0x80A2:
            target = &emails[2].type;
            break;
          case 0x80A4:
            target = &emails[2].original;
            break;
          case 0x8062:
            target = &c.imAddress;
            break;
          default:
            break;
        }
        if (target)
          *target = e.Text();
      } else if (type == store::kTypeInt32 && lid == 0x8022) {
        const uint32_t v = e.Int32();
        c.mailing = v <= 3 ? static_cast<MailingAddress>(v) : MailingAddress::kNone;
      } else if (type == store::kTypeSystime && (lid == 0x80DE || lid == 0x80DF)) {
        (lid == 0x80DE ? birthdayLocal : anniversaryLocal) = FiletimeToDate(e.Filetime());
      } else if (type == store::kTypeBoolean && lid == 0x8015) {
        hasPicture = e.Boolean();
      }
      return;
    }
    if (e.Named()) {
      // PS_PUBLIC_STRINGS "Keywords": the categories.
      if (e.Name() == "Keywords") {
        if (IsMultiString(type)) {
          c.categories = e.Texts();
        } else if (IsString(type)) {
          c.categories = {e.Text()};
        }
      }
      return;
    }
    const uint32_t tag = e.Tag();
    if (IsString(type)) {
      std::string* target = nullptr;
      switch (tag) {
        case 0x3001:
          target = &c.displayName;
          break;
        case 0x0E1D:
          target = &c.subject;
          break;
        case 0x3A06:
          target = &c.givenName;
          break;
        case 0x3A44:
          target = &c.middleName;
          break;
        case 0x3A11:
          target = &c.surname;
          break;
        case 0x3A45:
          target = &c.prefix;
          break;
        case 0x3A05:
          target = &c.suffix;
          break;
        case 0x3A4F:
          target = &c.nickname;
          break;
        case 0x3A16:
          target = &c.company;
          break;
        case 0x3A18:
          target = &c.department;
          break;
        case 0x3A17:
          target = &c.jobTitle;
          break;
        case 0x3A46:
          target = &c.profession;
          break;
        case 0x3A5D:
          target = &c.home.street;
          break;
        case 0x3A59:
          target = &c.home.city;
          break;
        case 0x3A5C:
          target = &c.home.region;
          break;
        case 0x3A5B:
          target = &c.home.postalCode;
          break;
        case 0x3A5A:
          target = &c.home.country;
          break;
        case 0x3A5E:
          target = &c.home.poBox;
          break;
        case 0x3A63:
          target = &c.other.street;
          break;
        case 0x3A5F:
          target = &c.other.city;
          break;
        case 0x3A62:
          target = &c.other.region;
          break;
        case 0x3A61:
          target = &c.other.postalCode;
          break;
        case 0x3A60:
          target = &c.other.country;
          break;
        case 0x3A64:
          target = &c.other.poBox;
          break;
        case 0x3A51:
          target = &c.businessHomePage;
          break;
        case 0x3A50:
          target = &c.personalHomePage;
          break;
        case 0x1000:
          target = &c.notes;
          break;
        default:
          break;
      }
      if (target) {
        *target = e.Text();
        return;
      }
      for (const auto& p : kPhoneTags) {
        if (p.tag == tag) {
          std::string number = e.Text();
          if (!number.empty())
            c.phones.push_back({p.kind, std::move(number)});
          return;
        }
      }
    } else if (type == store::kTypeSystime) {
      if (tag == 0x3A42)
        birthdayUtc = FiletimeToDate(e.Filetime());
      if (tag == 0x3A41)
        anniversaryUtc = FiletimeToDate(e.Filetime());
      if (tag == 0x3008)
        c.lastModified = FiletimeToUnix(e.Filetime());
    }
  });

  for (size_t i = 0; i < emails.size(); ++i)
    c.emails[i] = SmtpForm(emails[i]);
  // The local forms hold the date as the contact's owner entered it.
  c.birthday = birthdayLocal ? birthdayLocal : birthdayUtc;
  c.anniversary = anniversaryLocal ? anniversaryLocal : anniversaryUtc;

  // The contact picture: the attachment flagged PidTagAttachmentContactPhoto (0x7FFF).
  const int attachments = message.AttachmentCount();
  for (int i = 0; i < attachments && c.photo.empty(); ++i) {
    auto att = message.Attachment(i);
    bool isPhoto = false;
    std::string name;
    att->ForEachEntry([&](const store::Entry& e) {
      if (e.Named())
        return;
      if (e.Tag() == 0x7FFF && e.ValueType() == store::kTypeBoolean)
        isPhoto = e.Boolean();
      if (e.Tag() == 0x3704 && IsString(e.ValueType()))
        name = e.Text();
    });
    if (!isPhoto && hasPicture && name == "ContactPicture.jpg")
      isPhoto = true;
    if (isPhoto && att->IsDataAttachment())
      c.photo = att->AttachmentData();
  }
  return c;
}

}  // namespace tarnvex::pst
