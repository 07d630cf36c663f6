#pragma once

// A contact as the vCard writer sees it: plain UTF-8 texts, dates and bytes. Readers of contact
// items fill it through the table of contact properties (vcard/contact_properties.h). Empty text
// means "absent" throughout.

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tarnvex::vcard {

// The telephone fields of a contact item, in the order the writer emits them.
enum class PhoneKind {
  kPrimary,
  kBusiness,
  kBusiness2,
  kHome,
  kHome2,
  kMobile,
  kPager,
  kCar,
  kIsdn,
  kBusinessFax,
  kHomeFax,
  kOtherFax,
  kOther,
  kAssistant,
  kCallback,
  kCompanyMain,
  kRadio,
  kTelex,
  kTty,
};

struct Phone {
  PhoneKind kind;
  std::string number;
};

struct PostalAddress {
  std::string poBox;
  std::string street;
  std::string city;
  std::string region;
  std::string postalCode;
  std::string country;
  // The address as one block of text, lines separated by line breaks.
  std::string label;

  bool Empty() const {
    return poBox.empty() && street.empty() && city.empty() && region.empty() &&
           postalCode.empty() && country.empty() && label.empty();
  }
};

// A calendar date with no time of day and no time zone.
struct Date {
  int year = 0;
  int month = 0;
  int day = 0;
  bool operator==(const Date&) const = default;
};

// Which of the three postal addresses is the mailing address (PidLidPostalAddressId).
enum class MailingAddress { kNone = 0, kHome = 1, kWork = 2, kOther = 3 };

// PidTagGender's values.
enum class Gender { kUnspecified = 0, kFemale = 1, kMale = 2 };

// PidTagSensitivity's values.
enum class Sensitivity { kNormal = 0, kPersonal = 1, kPrivate = 2, kConfidential = 3 };

struct Contact {
  std::string fileAs;
  std::string displayName;
  std::string subject;  // normalized subject: the display-name fall-back
  std::string givenName;
  std::string middleName;
  std::string surname;
  std::string prefix;
  std::string suffix;
  std::string nickname;
  std::string initials;
  std::string company;
  std::string department;
  std::string jobTitle;
  std::string profession;
  std::string officeLocation;

  // People the contact names.
  std::string managerName;
  std::string assistantName;
  std::string spouseName;
  std::vector<std::string> children;

  Gender gender = Gender::kUnspecified;
  std::string hobbies;

  std::vector<Phone> phones;

  PostalAddress work;
  PostalAddress home;
  PostalAddress other;
  MailingAddress mailing = MailingAddress::kNone;

  // E-mail 1 to 3 (SMTP forms only); empty slots are absent.
  std::array<std::string, 3> emails;
  std::string imAddress;

  std::string businessHomePage;
  std::string personalHomePage;
  // Where the contact's free/busy information is published (a URL).
  std::string freeBusyUrl;

  std::optional<Date> birthday;
  std::optional<Date> anniversary;

  std::string notes;
  std::vector<std::string> categories;
  Sensitivity sensitivity = Sensitivity::kNormal;

  // The contact picture's bytes as stored (normally JPEG).
  std::string photo;
  // The picture of the contact's electronic business card (PNG or JPEG).
  std::string businessCardPicture;
  // The contact's certificates (DER-encoded X.509), as stored.
  std::vector<std::string> certificates;

  // Last modification, seconds since 1970-01-01 UTC.
  std::optional<int64_t> lastModified;

  // The Windows code page of the item's 8-bit text as its reader determined it (the item's own,
  // else its store's, else the user's); 0 when unknown. Cards in Outlook's charset use it.
  uint32_t codePage = 0;
};

// The calendar date of a day counted from 1970-01-01 (day 0; earlier days are negative), in the
// proleptic Gregorian calendar.
Date DateOfDay(int64_t daysSince1970);

// FILETIME (100 ns since 1601-01-01 UTC) to seconds since 1970-01-01 UTC; empty for the
// "no date" values Outlook stores (zero, and 4501-01-01 and later).
std::optional<int64_t> FiletimeToUnix(uint64_t filetime);
// The calendar date of a stored date, rounded to the nearest midnight so that a local midnight
// kept in UTC lands on its own day; empty for "no date" and for years outside 1 to 9999.
std::optional<Date> FiletimeToDate(uint64_t filetime);

}  // namespace tarnvex::vcard
