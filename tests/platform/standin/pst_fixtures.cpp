#include "tests/platform/standin/pst_fixtures.h"

#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <vector>

#include "tools/pstwriter/pst_writer.h"

namespace tarnvex::standin::testing {

using pstwriter::FileTime;
using pstwriter::Value;
using vcard::Contact;
using vcard::Date;
using vcard::MailingAddress;
using vcard::PhoneKind;

namespace {

const char* PhoneProperty(PhoneKind kind) {
  switch (kind) {
    case PhoneKind::kPrimary:
      return "PidTagPrimaryTelephoneNumber";
    case PhoneKind::kBusiness:
      return "PidTagBusinessTelephoneNumber";
    case PhoneKind::kBusiness2:
      return "PidTagBusiness2TelephoneNumber";
    case PhoneKind::kHome:
      return "PidTagHomeTelephoneNumber";
    case PhoneKind::kHome2:
      return "PidTagHome2TelephoneNumber";
    case PhoneKind::kMobile:
      return "PidTagMobileTelephoneNumber";
    case PhoneKind::kPager:
      return "PidTagPagerTelephoneNumber";
    case PhoneKind::kCar:
      return "PidTagCarTelephoneNumber";
    case PhoneKind::kIsdn:
      return "PidTagIsdnNumber";
    case PhoneKind::kBusinessFax:
      return "PidTagBusinessFaxNumber";
    case PhoneKind::kHomeFax:
      return "PidTagHomeFaxNumber";
    case PhoneKind::kOtherFax:
      return "PidTagPrimaryFaxNumber";
    case PhoneKind::kOther:
      return "PidTagOtherTelephoneNumber";
    case PhoneKind::kAssistant:
      return "PidTagAssistantTelephoneNumber";
    case PhoneKind::kCallback:
      return "PidTagCallbackTelephoneNumber";
    case PhoneKind::kCompanyMain:
      return "PidTagCompanyMainTelephoneNumber";
    case PhoneKind::kRadio:
      return "PidTagRadioTelephoneNumber";
    case PhoneKind::kTelex:
      return "PidTagTelexNumber";
    case PhoneKind::kTty:
      return "PidTagTelecommunicationsDeviceForDeafTelephoneNumber";
  }
  return "";
}

// Seconds since the epoch of a date's midnight in UTC.
int64_t Midnight(const Date& d) {
  const int y = d.month <= 2 ? d.year - 1 : d.year;
  const int era = (y >= 0 ? y : y - 399) / 400;
  const int yoe = y - era * 400;
  const int doy = (153 * (d.month + (d.month > 2 ? -3 : 9)) + 2) / 5 + d.day - 1;
  const int doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return (static_cast<int64_t>(era) * 146097 + doe - 719468) * 86400;
}

}  // namespace

void SetContactProperties(pstwriter::Message& m, const Contact& c) {
  auto& p = m.props;
  auto text = [&](const char* name, const std::string& value) {
    if (!value.empty())
      p.SetString(name, value);
  };
  text("PidLidFileUnder", c.fileAs);
  text("PidTagDisplayName", c.displayName);
  text("PidTagNormalizedSubject", c.subject);
  text("PidTagGivenName", c.givenName);
  text("PidTagMiddleName", c.middleName);
  text("PidTagSurname", c.surname);
  text("PidTagDisplayNamePrefix", c.prefix);
  text("PidTagGeneration", c.suffix);
  text("PidTagNickname", c.nickname);
  text("PidTagCompanyName", c.company);
  text("PidTagDepartmentName", c.department);
  text("PidTagTitle", c.jobTitle);
  text("PidTagProfession", c.profession);
  for (const auto& phone : c.phones)
    text(PhoneProperty(phone.kind), phone.number);
  text("PidLidWorkAddressStreet", c.work.street);
  text("PidLidWorkAddressCity", c.work.city);
  text("PidLidWorkAddressState", c.work.region);
  text("PidLidWorkAddressPostalCode", c.work.postalCode);
  text("PidLidWorkAddressCountry", c.work.country);
  text("PidLidWorkAddressPostOfficeBox", c.work.poBox);
  text("PidLidWorkAddress", c.work.label);
  text("PidTagHomeAddressStreet", c.home.street);
  text("PidTagHomeAddressCity", c.home.city);
  text("PidTagHomeAddressStateOrProvince", c.home.region);
  text("PidTagHomeAddressPostalCode", c.home.postalCode);
  text("PidTagHomeAddressCountry", c.home.country);
  text("PidTagHomeAddressPostOfficeBox", c.home.poBox);
  text("PidLidHomeAddress", c.home.label);
  text("PidTagOtherAddressStreet", c.other.street);
  text("PidTagOtherAddressCity", c.other.city);
  text("PidTagOtherAddressStateOrProvince", c.other.region);
  text("PidTagOtherAddressPostalCode", c.other.postalCode);
  text("PidTagOtherAddressCountry", c.other.country);
  text("PidTagOtherAddressPostOfficeBox", c.other.poBox);
  text("PidLidOtherAddress", c.other.label);
  if (c.mailing != MailingAddress::kNone) {
    p.Set("PidLidPostalAddressId", Value::Int32(static_cast<int32_t>(c.mailing)));
  }
  const char* emailNames[3][2] = {{"PidLidEmail1EmailAddress", "PidLidEmail1AddressType"},
                                  {"PidLidEmail2EmailAddress", "PidLidEmail2AddressType"},
                                  {"PidLidEmail3EmailAddress", "PidLidEmail3AddressType"}};
  for (int i = 0; i < 3; ++i) {
    if (c.emails[i].empty())
      continue;
    text(emailNames[i][0], c.emails[i]);
    text(emailNames[i][1], "SMTP");
  }
  text("PidLidInstantMessagingAddress", c.imAddress);
  text("PidTagBusinessHomePage", c.businessHomePage);
  text("PidTagPersonalHomePage", c.personalHomePage);
  text("PidLidFreeBusyLocation", c.freeBusyUrl);
  if (!c.certificates.empty()) {
    std::vector<pstwriter::Bytes> certificates;
    for (const auto& certificate : c.certificates)
      certificates.emplace_back(certificate.begin(), certificate.end());
    p.Set("PidTagUserX509Certificate", Value::MultiBinary(std::move(certificates)));
  }
  // Outlook keeps local midnight in the "Local" property and that midnight in UTC in the other;
  // here the owner's zone is two hours east of UTC, so the UTC value falls on the day before.
  if (c.birthday) {
    p.Set("PidLidBirthdayLocal", Value::Time(FileTime::FromUnix(Midnight(*c.birthday))));
    p.Set("PidTagBirthday", Value::Time(FileTime::FromUnix(Midnight(*c.birthday) - 7200)));
  }
  if (c.anniversary) {
    p.Set("PidLidWeddingAnniversaryLocal",
          Value::Time(FileTime::FromUnix(Midnight(*c.anniversary))));
    p.Set("PidTagWeddingAnniversary",
          Value::Time(FileTime::FromUnix(Midnight(*c.anniversary) - 7200)));
  }
  text("PidTagBody", c.notes);
  if (!c.categories.empty())
    p.Set("PidNameKeywords", Value::MultiString(c.categories));
  if (!c.photo.empty())
    m.SetContactPhoto(pstwriter::Bytes(c.photo.begin(), c.photo.end()));
  if (c.lastModified) {
    p.Set("PidTagLastModificationTime", Value::Time(FileTime::FromUnix(*c.lastModified)));
  }
}

pstwriter::Message& AddSimpleContact(pstwriter::Folder& folder, const std::string& fileAs,
                                     const std::string& surname) {
  auto& m = folder.AddMessage("IPM.Contact");
  Contact c;
  c.fileAs = fileAs;
  c.surname = surname.empty() ? fileAs : surname;
  c.displayName = c.surname;
  SetContactProperties(m, c);
  return m;
}

std::string WriteStore(const pstwriter::Store& store, const std::string& path) {
  pstwriter::WritePst(store, path);
  return path;
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

std::vector<std::string> FileNames(const std::string& folder) {
  std::vector<std::string> names;
  for (const auto& e : std::filesystem::directory_iterator(folder))
    names.push_back(e.path().filename());
  std::sort(names.begin(), names.end());
  return names;
}

}  // namespace tarnvex::standin::testing
