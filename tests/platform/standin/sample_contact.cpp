#include "tests/platform/standin/sample_contact.h"

namespace tarnvex::standin::testing {

using vcard::Contact;
using vcard::Date;
using vcard::MailingAddress;
using vcard::PhoneKind;

constexpr char kJpegBytes[] =
    "\xFF\xD8\xFF\xE0\x00\x10JFIF\x00\x01\x02\x00\x00\x01\x00\x01\x00\x00"
    "\xFF\xD9";
const std::string kJpeg(kJpegBytes, sizeof kJpegBytes - 1);

Contact FullContact() {
  Contact c;
  c.fileAs = "Lindqvist, Åsa";
  c.displayName = "Dr. Åsa M. Lindqvist, Jr.";
  c.givenName = "Åsa";
  c.middleName = "Maria";
  c.surname = "Lindqvist";
  c.prefix = "Dr.";
  c.suffix = "Jr.";
  c.nickname = "Ace";
  c.company = "Nordic; Widgets, Inc.";
  c.department = "R&D";
  c.jobTitle = "Chief Engineer";
  c.profession = "Engineer";
  c.phones = {{PhoneKind::kBusiness, "+46 8 123 45"},
              {PhoneKind::kBusiness2, "+46 8 123 46"},
              {PhoneKind::kHome, "+46 8 555 01"},
              {PhoneKind::kHome2, "+46 8 555 02"},
              {PhoneKind::kMobile, "+46 70 111 22 33"},
              {PhoneKind::kPager, "111"},
              {PhoneKind::kCar, "222"},
              {PhoneKind::kIsdn, "333"},
              {PhoneKind::kBusinessFax, "444"},
              {PhoneKind::kHomeFax, "555"},
              {PhoneKind::kOtherFax, "666"},
              {PhoneKind::kPrimary, "777"},
              {PhoneKind::kOther, "888"},
              {PhoneKind::kAssistant, "999"},
              {PhoneKind::kCallback, "1010"},
              {PhoneKind::kCompanyMain, "1111"},
              {PhoneKind::kRadio, "1212"},
              {PhoneKind::kTelex, "1313"},
              {PhoneKind::kTty, "1414"}};
  c.work = {"Box 12",
            "Storgatan 1",
            "Stockholm",
            "Stockholms län",
            "111 22",
            "Sweden",
            "Storgatan 1\nStockholm 111 22\nSweden"};
  c.home = {"", "Hemvägen 5; lgh 3", "Uppsala", "", "753 10", "Sweden", ""};
  c.other = {"", "Other St. 9", "Oslo", "", "0150", "Norway", "Other St. 9\nOslo"};
  c.mailing = MailingAddress::kHome;
  c.emails = {"asa@example.se", "", "asa.private@example.org"};
  c.imAddress = "asa@im.example.se";
  c.businessHomePage = "https://widgets.example/asa";
  c.personalHomePage = "http://asa.example.org/";
  c.freeBusyUrl = "https://calendar.example/fb/asa.vfb";
  c.certificates = {
      std::string("\x30\x82\x01\x0A"
                  "certificate of Åsa",
                  22)};
  c.birthday = Date{1975, 2, 28};
  c.anniversary = Date{2001, 6, 16};
  c.notes = "First line, with comma; and semicolon\\backslash.\nSecond line: ünïcödé 漢字.\n" +
            std::string(200, 'n');
  c.categories = {"Business", "Key, Customer", "Gifts"};
  c.photo = kJpeg;
  c.lastModified = 1700000000;  // 2023-11-14T22:13:20Z
  return c;
}

}  // namespace tarnvex::standin::testing
