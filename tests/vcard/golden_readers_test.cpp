// Every golden card (tests/golden/cards), read by parsers that are not ours, holds what its
// fixture (tests/golden/fixtures) holds, field by field; no parser loses or changes a value.
//
// Parsers per version:
//   2.1  ez-vcard (reads quoted-printable folding strictly); vobject with its quoted-printable
//        option, lexical (vobject would read the values by 3.0's rules).
//   3.0  vobject without and with its quoted-printable option; ez-vcard.
//   4.0  belcard; ez-vcard; vobject without its quoted-printable option, lexical (a 4.0 data URI
//        holds a comma, where 3.0's rules end a value).
// What the fixture holds is read from its JSON here, by the mapping of MS-OXVCARD and the vCard
// specifications, not by the stand-in's reader or the writer.
//
// Known quirks of the parsers, allowed for and nothing else: belcard trims white space at the
// ends of a value and keeps only the last TYPE of a list; ez-vcard hands a 2.1/3.0 LABEL over as
// the LABEL parameter of the ADR it belongs to, and gives properties grouped by kind.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <nlohmann/json.hpp>
#include <optional>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "tests/golden/fixture_names.h"
#include "tests/support/card_parsers.h"
#include "tools/pstwriter/generator.h"

namespace tarnvex::vcard {
namespace {

namespace fs = std::filesystem;
using json = nlohmann::json;
using tarnvex::testing::All;
using tarnvex::testing::ParsedCard;
using tarnvex::testing::ParsedProperty;

const fs::path kGoldenDir = TARNVEX_GOLDEN_DIR;

enum class Version { k21, k30, k40 };

std::string ReadAll(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

// --- What the fixture holds ------------------------------------------------------------------

// Text as a card carries it: line breaks of any convention one "\n", other control characters
// (but the tab) left out.
std::string Clean(const std::string& s) {
  std::string out;
  for (size_t i = 0; i < s.size(); ++i) {
    const auto c = static_cast<unsigned char>(s[i]);
    if (c == '\r') {
      out += '\n';
      if (i + 1 < s.size() && s[i + 1] == '\n')
        ++i;
    } else if (c == '\n' || c == '\t' || (c >= 0x20 && c != 0x7F)) {
      out += static_cast<char>(c);
    }
  }
  return out;
}

std::string Base64(const std::string& bytes) {
  static const char kTable[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  for (size_t i = 0; i < bytes.size(); i += 3) {
    uint32_t v = static_cast<unsigned char>(bytes[i]) << 16;
    if (i + 1 < bytes.size())
      v |= static_cast<unsigned char>(bytes[i + 1]) << 8;
    if (i + 2 < bytes.size())
      v |= static_cast<unsigned char>(bytes[i + 2]);
    out += kTable[(v >> 18) & 63];
    out += kTable[(v >> 12) & 63];
    out += i + 1 < bytes.size() ? kTable[(v >> 6) & 63] : '=';
    out += i + 2 < bytes.size() ? kTable[v & 63] : '=';
  }
  return out;
}

std::string FromHex(const std::string& hex) {
  std::string out;
  for (size_t i = 0; i + 1 < hex.size(); i += 2)
    out += static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16));
  return out;
}

struct Phone {
  std::string name;
  std::set<std::string> types;
  bool pref = false;
};

struct Address {
  std::vector<std::string> parts;
  std::set<std::string> types;
  bool pref = false;
  std::string label;
};

struct Expected {
  std::string fn;
  std::vector<std::string> n;
  std::vector<std::string> org;
  // Properties with one text value each, by name; an empty text: the property is absent.
  std::map<std::string, std::string> texts;
  std::vector<std::string> children;
  std::vector<std::string> categories;
  std::map<std::string, Phone> phones;                    // by number
  std::vector<Address> addresses;                         // work, home, other
  std::vector<std::string> emails;                        // the first preferred
  std::vector<std::pair<std::string, std::string>> urls;  // type, address
  std::string photo;                                      // base64
  std::string cardPicture;                                // base64
  std::vector<std::string> certificates;                  // base64
};

// A contact property of the fixture item, as text; empty when absent.
std::string Prop(const json& props, const std::string& name) {
  if (!props.contains(name))
    return {};
  const json& v = props[name];
  if (v.is_string())
    return v.get<std::string>();
  if (v.is_number_integer())
    return std::to_string(v.get<long long>());
  return {};
}

std::vector<std::string> PropList(const json& props, const std::string& name) {
  std::vector<std::string> out;
  if (!props.contains(name))
    return out;
  const json& v = props[name];
  if (v.is_string()) {
    out.push_back(v.get<std::string>());
  } else if (v.is_array()) {
    for (const auto& s : v)
      out.push_back(s.get<std::string>());
  }
  return out;
}

// A date "YYYY-MM-DD" as the cards compare it: "YYYYMMDD".
std::string DateOf(const std::string& iso) {
  EXPECT_EQ(iso.find('T'), std::string::npos) << "fixture dates are whole days: " << iso;
  std::string d = iso.substr(0, 10);
  d.erase(std::remove(d.begin(), d.end(), '-'), d.end());
  return d;
}

struct PhoneRow {
  const char* canonicalName;
  const char* name21;
  std::set<std::string> types21;
  const char* name30;
  std::set<std::string> types30;
  const char* name40;
  std::set<std::string> types40;
  bool pref;
};

// vCard 2.1 section 2.4.1.1, RFC 2426 section 3.3.1, RFC 6350 section 6.4.1 and MS-OXVCARD
// section 2.1.3.9.5 (X-MS-TEL; in 2.1 as Outlook writes it, "X-MS-TEL;VOICE;CALLBACK"; in 3.0 and
// 4.0 a TEL with an x-name type, which address books keep). Outlook's 2.1 has no telex number (no
// name).
const std::vector<PhoneRow>& PhoneRows() {
  static const std::vector<PhoneRow> rows = {
      {"PidTagPrimaryTelephoneNumber", "TEL", {"voice"}, "TEL", {"voice"}, "TEL", {"voice"}, true},
      {"PidTagBusinessTelephoneNumber",
       "TEL",
       {"work", "voice"},
       "TEL",
       {"work", "voice"},
       "TEL",
       {"work", "voice"},
       false},
      {"PidTagBusiness2TelephoneNumber",
       "TEL",
       {"work", "voice"},
       "TEL",
       {"work", "voice"},
       "TEL",
       {"work", "voice"},
       false},
      {"PidTagHomeTelephoneNumber",
       "TEL",
       {"home", "voice"},
       "TEL",
       {"home", "voice"},
       "TEL",
       {"home", "voice"},
       false},
      {"PidTagHome2TelephoneNumber",
       "TEL",
       {"home", "voice"},
       "TEL",
       {"home", "voice"},
       "TEL",
       {"home", "voice"},
       false},
      {"PidTagMobileTelephoneNumber",
       "TEL",
       {"cell", "voice"},
       "TEL",
       {"cell", "voice"},
       "TEL",
       {"cell", "voice"},
       false},
      {"PidTagPagerTelephoneNumber",
       "TEL",
       {"pager", "voice"},
       "TEL",
       {"pager"},
       "TEL",
       {"pager"},
       false},
      {"PidTagCarTelephoneNumber",
       "TEL",
       {"car", "voice"},
       "TEL",
       {"car", "voice"},
       "TEL",
       {"car", "voice"},
       false},
      {"PidTagIsdnNumber", "TEL", {"isdn"}, "TEL", {"isdn"}, "TEL", {"isdn"}, false},
      {"PidTagBusinessFaxNumber",
       "TEL",
       {"work", "fax"},
       "TEL",
       {"work", "fax"},
       "TEL",
       {"work", "fax"},
       false},
      {"PidTagHomeFaxNumber",
       "TEL",
       {"home", "fax"},
       "TEL",
       {"home", "fax"},
       "TEL",
       {"home", "fax"},
       false},
      {"PidTagPrimaryFaxNumber", "TEL", {"fax"}, "TEL", {"fax"}, "TEL", {"fax"}, false},
      {"PidTagOtherTelephoneNumber", "TEL", {"voice"}, "TEL", {"voice"}, "TEL", {"voice"}, false},
      {"PidTagAssistantTelephoneNumber",
       "X-MS-TEL",
       {"voice", "assistant"},
       "TEL",
       {"x-assistant"},
       "TEL",
       {"x-assistant"},
       false},
      {"PidTagCallbackTelephoneNumber",
       "X-MS-TEL",
       {"voice", "callback"},
       "TEL",
       {"x-callback"},
       "TEL",
       {"x-callback"},
       false},
      {"PidTagCompanyMainTelephoneNumber",
       "X-MS-TEL",
       {"voice", "company"},
       "TEL",
       {"x-company"},
       "TEL",
       {"x-company"},
       false},
      {"PidTagRadioTelephoneNumber",
       "X-MS-TEL",
       {"voice", "radio"},
       "TEL",
       {"x-radio"},
       "TEL",
       {"x-radio"},
       false},
      {"PidTagTelexNumber", "", {}, "TEL", {"x-telex"}, "TEL", {"x-telex"}, false},
      {"PidTagTelecommunicationsDeviceForDeafTelephoneNumber",
       "X-MS-TEL",
       {"voice", "ttytdd"},
       "TEL",
       {"x-ttytdd"},
       "TEL",
       {"textphone"},
       false},
  };
  return rows;
}

// The e-mail address of slot n: an Exchange address's SMTP form is its original display name.
std::string Email(const json& props, int n) {
  const std::string k = "PidLidEmail" + std::to_string(n);
  const std::string address = Clean(Prop(props, k + "EmailAddress"));
  const std::string type = Prop(props, k + "AddressType");
  if (type != "EX" && type != "ex")
    return address;
  const std::string original = Clean(Prop(props, k + "OriginalDisplayName"));
  if (original.find('@') != std::string::npos && original.find(' ') == std::string::npos)
    return original;
  return {};
}

Expected ExpectedOf(const json& item, size_t index, Version v) {
  const json& p = item.contains("properties") ? item["properties"] : json::object();
  Expected e;
  const bool v21 = v == Version::k21, v40 = v == Version::k40;

  e.n = {Clean(Prop(p, "PidTagSurname")), Clean(Prop(p, "PidTagGivenName")),
         Clean(Prop(p, "PidTagMiddleName")), Clean(Prop(p, "PidTagDisplayNamePrefix")),
         Clean(Prop(p, "PidTagGeneration"))};
  // FN: the display name, else the subject, else the file-as text, else the name's parts, else
  // the company.
  for (const char* name : {"PidTagDisplayName", "PidTagNormalizedSubject", "PidLidFileUnder"}) {
    if (e.fn.empty())
      e.fn = Clean(Prop(p, name));
  }
  if (e.fn.empty()) {
    for (const char* name : {"PidTagDisplayNamePrefix", "PidTagGivenName", "PidTagMiddleName",
                             "PidTagSurname", "PidTagGeneration"}) {
      const std::string part = Prop(p, name);
      if (part.empty())
        continue;
      if (!e.fn.empty())
        e.fn += ' ';
      e.fn += part;
    }
    e.fn = Clean(e.fn);
  }
  if (e.fn.empty())
    e.fn = Clean(Prop(p, "PidTagCompanyName"));

  const std::string company = Clean(Prop(p, "PidTagCompanyName"));
  const std::string department = Clean(Prop(p, "PidTagDepartmentName"));
  if (!company.empty() || !department.empty())
    e.org = {company, department};

  e.texts["NICKNAME"] = Clean(Prop(p, "PidTagNickname"));
  e.texts["TITLE"] = Clean(Prop(p, "PidTagTitle"));
  e.texts["ROLE"] = Clean(Prop(p, "PidTagProfession"));
  // The initials and the office have no property of their own in any version; 2.1 writes them as
  // Outlook does: the office in the work address, no initials. 3.0 and 4.0 keep both as X- lines
  // as well.
  const std::string office = Clean(Prop(p, "PidTagOfficeLocation"));
  e.texts["X-INITIALS"] = v21 ? "" : Clean(Prop(p, "PidTagInitials"));
  e.texts["X-OFFICE-LOCATION"] = v21 ? "" : office;
  e.texts["FBURL"] = Clean(Prop(p, "PidLidFreeBusyLocation"));
  e.texts["X-MS-MANAGER"] = Clean(Prop(p, "PidTagManagerName"));
  e.texts["X-MS-INTERESTS"] = Clean(Prop(p, "PidTagHobbies"));
  e.texts["NOTE"] = Clean(Prop(p, "PidTagBody"));
  // The assistant and spouse: X-MS-ASSISTANT;N and X-MS-SPOUSE;N before 4.0 (MS-OXVCARD),
  // RELATED agent and spouse in 4.0 (RFC 6350 section 6.6.6); the children likewise.
  e.texts[v40 ? "RELATED agent" : "X-MS-ASSISTANT"] = Clean(Prop(p, "PidTagAssistant"));
  e.texts[v40 ? "RELATED spouse" : "X-MS-SPOUSE"] = Clean(Prop(p, "PidTagSpouseName"));
  for (const auto& child : PropList(p, "PidTagChildrensNames")) {
    if (!Clean(child).empty())
      e.children.push_back(Clean(child));
  }
  const std::string im = Clean(Prop(p, "PidLidInstantMessagingAddress"));
  if (v40) {
    e.texts["IMPP"] = im.empty() ? im : (im.find(':') == std::string::npos ? "sip:" : "") + im;
  } else {
    e.texts["X-MS-IMADDRESS"] = im;
  }
  // Gender: X-WAB-GENDER 1/2 before 4.0, GENDER F/M in 4.0 (RFC 6350 section 6.2.7).
  const std::string gender = Prop(p, "PidTagGender");
  std::string genderText;
  if (gender == "1")
    genderText = v40 ? "F" : "1";
  if (gender == "2")
    genderText = v40 ? "M" : "2";
  e.texts[v40 ? "GENDER" : "X-WAB-GENDER"] = genderText;
  // Sensitivity: CLASS in 3.0 (RFC 2426 section 3.7.1), X-CLASS in 4.0; Outlook's 2.1 has none.
  const std::string sensitivity = Prop(p, "PidTagSensitivity");
  e.texts[v == Version::k30 ? "CLASS" : "X-CLASS"] =
      v21 || sensitivity.empty() || sensitivity == "0"
          ? ""
          : (sensitivity == "3" ? "CONFIDENTIAL" : "PRIVATE");

  for (const auto& row : PhoneRows()) {
    const std::string number = Clean(Prop(p, row.canonicalName));
    if (number.empty())
      continue;
    Phone phone;
    phone.name = v21 ? row.name21 : v40 ? row.name40 : row.name30;
    if (phone.name.empty())
      continue;  // a number the version does not carry
    phone.types = v21 ? row.types21 : v40 ? row.types40 : row.types30;
    phone.pref = row.pref;
    e.phones[number] = phone;
  }

  // Addresses: work, home, other; the mailing one preferred.
  const std::string mailing = Prop(p, "PidLidPostalAddressId");
  e.texts["X-MS-OL-DEFAULT-POSTAL-ADDRESS"] =
      mailing == "1" || mailing == "2" || mailing == "3" ? mailing : "";
  struct AddressNames {
    const char* poBox;
    const char* street;
    const char* city;
    const char* region;
    const char* postalCode;
    const char* country;
    const char* label;
    const char* type;
    const char* id;
  };
  const AddressNames addresses[] = {
      {"PidLidWorkAddressPostOfficeBox", "PidLidWorkAddressStreet", "PidLidWorkAddressCity",
       "PidLidWorkAddressState", "PidLidWorkAddressPostalCode", "PidLidWorkAddressCountry",
       "PidLidWorkAddress", "work", "2"},
      {"PidTagHomeAddressPostOfficeBox", "PidTagHomeAddressStreet", "PidTagHomeAddressCity",
       "PidTagHomeAddressStateOrProvince", "PidTagHomeAddressPostalCode",
       "PidTagHomeAddressCountry", "PidLidHomeAddress", "home", "1"},
      {"PidTagOtherAddressPostOfficeBox", "PidTagOtherAddressStreet", "PidTagOtherAddressCity",
       "PidTagOtherAddressStateOrProvince", "PidTagOtherAddressPostalCode",
       "PidTagOtherAddressCountry", "PidLidOtherAddress", "postal", "3"},
  };
  for (const auto& names : addresses) {
    Address a;
    // The extended address: the office, for the work address.
    const bool work = std::string(names.type) == "work";
    a.parts = {Clean(Prop(p, names.poBox)),  work ? office : "",
               Clean(Prop(p, names.street)), Clean(Prop(p, names.city)),
               Clean(Prop(p, names.region)), Clean(Prop(p, names.postalCode)),
               Clean(Prop(p, names.country))};
    a.label = Clean(Prop(p, names.label));
    bool any = !a.label.empty();
    for (const auto& part : a.parts)
      any = any || !part.empty();
    if (!any)
      continue;
    // 4.0 has no "postal" type: the other address has none.
    if (!(v40 && std::string(names.type) == "postal"))
      a.types = {names.type};
    a.pref = mailing == names.id;
    e.addresses.push_back(a);
  }

  for (int slot = 1; slot <= 3; ++slot) {
    const std::string address = Email(p, slot);
    if (!address.empty())
      e.emails.push_back(address);
  }
  for (const auto& [name, type] :
       {std::pair{"PidTagPersonalHomePage", "home"}, std::pair{"PidTagBusinessHomePage", "work"}}) {
    const std::string url = Clean(Prop(p, name));
    if (!url.empty())
      e.urls.push_back({type, url});
  }

  // Dates: the local form when the item has it.
  std::string birthday = Prop(p, "PidLidBirthdayLocal");
  if (birthday.empty())
    birthday = Prop(p, "PidTagBirthday");
  e.texts["BDAY"] = birthday.empty() ? "" : DateOf(birthday);
  std::string anniversary = Prop(p, "PidLidWeddingAnniversaryLocal");
  if (anniversary.empty())
    anniversary = Prop(p, "PidTagWeddingAnniversary");
  e.texts[v40 ? "ANNIVERSARY" : "X-MS-ANNIVERSARY"] =
      anniversary.empty() ? "" : DateOf(anniversary);
  // The PST writer gives every message 2024-01-01 as its modification time unless set.
  std::string rev = Prop(p, "PidTagLastModificationTime");
  if (rev.empty())
    rev = "2024-01-01T00:00:00Z";
  rev.erase(std::remove_if(rev.begin(), rev.end(), [](char c) { return c == '-' || c == ':'; }),
            rev.end());
  e.texts["REV"] = rev;

  for (const auto& category : PropList(p, "PidNameKeywords")) {
    if (!Clean(category).empty())
      e.categories.push_back(Clean(category));
  }
  if (item.contains("photo")) {
    EXPECT_EQ(item["photo"], "generated") << "fixture photos are generated ones";
    const auto bytes = pstwriter::TinyJpeg(static_cast<std::uint32_t>(index));
    e.photo = Base64(std::string(bytes.begin(), bytes.end()));
  }
  if (p.contains("PidLidBusinessCardCardPicture"))
    e.cardPicture = Base64(FromHex(p["PidLidBusinessCardCardPicture"]["hex"].get<std::string>()));
  if (p.contains("PidTagUserX509Certificate")) {
    for (const auto& certificate : p["PidTagUserX509Certificate"])
      e.certificates.push_back(Base64(FromHex(certificate["hex"].get<std::string>())));
  }
  return e;
}

bool IsContact(const json& item) {
  if (!item.contains("class"))
    return true;
  std::string c = item["class"].get<std::string>();
  std::transform(c.begin(), c.end(), c.begin(), [](unsigned char ch) { return std::tolower(ch); });
  return c == "ipm.contact" || c.rfind("ipm.contact.", 0) == 0;
}

void CollectContacts(const json& folders, Version v, std::vector<Expected>& out) {
  for (const auto& folder : folders) {
    if (folder.contains("items")) {
      const json& items = folder["items"];
      for (size_t i = 0; i < items.size(); ++i) {
        if (IsContact(items[i]))
          out.push_back(ExpectedOf(items[i], i, v));
      }
    }
    if (folder.contains("folders"))
      CollectContacts(folder["folders"], v, out);
  }
}

// --- Reading the cards -----------------------------------------------------------------------

struct Reader {
  std::string name;
  bool trims = false;         // white space at a value's ends is lost (belcard)
  bool lastTypeOnly = false;  // only the last TYPE of a list is kept (belcard)
  bool caretEncoded = false;  // parameter values come as written, RFC 6868 escapes and quotes
  std::vector<ParsedCard> cards;
};

std::string Trim(const std::string& s) {
  const size_t b = s.find_first_not_of(" \t");
  if (b == std::string::npos)
    return {};
  return s.substr(b, s.find_last_not_of(" \t") - b + 1);
}

// A value as read, in the form the expectations use: line breaks "\n" (2.1's quoted-printable
// carries CRLF), dates and time stamps without separators, base64 without a data URI's head
// and without white space.
std::string Normal(const std::string& name, std::string s, const Reader& r) {
  std::string out;
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] == '\r' && i + 1 < s.size() && s[i + 1] == '\n')
      continue;
    out += s[i];
  }
  if (name == "BDAY" || name == "ANNIVERSARY" || name == "X-MS-ANNIVERSARY" || name == "REV") {
    out.erase(std::remove_if(out.begin(), out.end(), [](char c) { return c == '-' || c == ':'; }),
              out.end());
  }
  if (name == "PHOTO" || name == "X-MS-CARDPICTURE" || name == "KEY") {
    const size_t comma = out.find("base64,");
    if (out.rfind("data:", 0) == 0 && comma != std::string::npos)
      out = out.substr(comma + 7);
    out.erase(std::remove_if(out.begin(), out.end(),
                             [](char c) { return c == ' ' || c == '\t' || c == '\n'; }),
              out.end());
  }
  return r.trims ? Trim(out) : out;
}

std::string Expect(const std::string& s, const Reader& r) {
  return r.trims ? Trim(s) : s;
}

std::vector<std::string> Expect(std::vector<std::string> parts, const Reader& r,
                                bool dropTrailing) {
  for (auto& p : parts)
    p = Expect(p, r);
  if (dropTrailing) {
    while (!parts.empty() && parts.back().empty())
      parts.pop_back();
  }
  return parts;
}

std::vector<std::string> Values(const ParsedProperty& p, const Reader& r, bool dropTrailing) {
  std::vector<std::string> out;
  for (const auto& v : p.value)
    out.push_back(Normal(p.name, v, r));
  if (dropTrailing) {
    while (!out.empty() && out.back().empty())
      out.pop_back();
  }
  return out;
}

// An RFC 6868 parameter value as written (quoted, ^n ^' ^^) in plain text.
std::string Uncaret(std::string s) {
  if (s.size() >= 2 && s.front() == '"' && s.back() == '"')
    s = s.substr(1, s.size() - 2);
  std::string out;
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] == '^' && i + 1 < s.size()) {
      const char n = s[i + 1];
      if (n == 'n' || n == 'N') {
        out += '\n';
        ++i;
        continue;
      }
      if (n == '\'') {
        out += '"';
        ++i;
        continue;
      }
      if (n == '^') {
        out += '^';
        ++i;
        continue;
      }
    }
    out += s[i];
  }
  return out;
}

void CheckTypes(const ParsedProperty& p, const std::set<std::string>& expected, const Reader& r,
                const std::string& what) {
  if (r.lastTypeOnly && !expected.empty()) {
    EXPECT_EQ(p.types.size(), 1u) << what;
    for (const auto& t : p.types)
      EXPECT_TRUE(expected.count(t)) << what << ": type " << t;
    return;
  }
  EXPECT_EQ(p.types, expected) << what;
}

// The card as one reader read it against what the fixture holds.
void Compare(const ParsedCard& card, const Expected& e, const Reader& r, Version v,
             const std::string& where) {
  const std::string at = where + " (" + r.name + ")";
  const bool v21 = v == Version::k21, v40 = v == Version::k40;
  auto one = [&](const std::string& name) -> std::optional<ParsedProperty> {
    const auto all = All(card, name);
    EXPECT_LE(all.size(), 1u) << at << ": " << name << " more than once";
    if (all.empty())
      return std::nullopt;
    return all.front();
  };

  // FN and N.
  if (const auto fn = one("FN")) {
    EXPECT_EQ(Values(*fn, r, false), std::vector<std::string>{Expect(e.fn, r)}) << at;
  } else {
    EXPECT_TRUE(e.fn.empty() && v21) << at << ": no FN";
  }
  if (const auto n = one("N")) {
    EXPECT_EQ(Values(*n, r, true), Expect(e.n, r, true)) << at << ": N";
  } else {
    EXPECT_TRUE(v40) << at << ": no N";
  }
  if (const auto org = one("ORG")) {
    EXPECT_EQ(Values(*org, r, true), Expect(e.org, r, true)) << at << ": ORG";
  } else {
    EXPECT_TRUE(e.org.empty()) << at << ": no ORG";
  }

  // The single texts; RELATED ones by their type.
  for (const auto& [key, value] : e.texts) {
    if (key.rfind("RELATED ", 0) == 0) {
      const std::string type = key.substr(8);
      std::vector<std::string> found;
      for (const auto& p : All(card, "RELATED")) {
        if (p.types.count(type))
          found.push_back(Normal(p.name, p.value.at(0), r));
      }
      EXPECT_EQ(found, value.empty() ? std::vector<std::string>{}
                                     : std::vector<std::string>{Expect(value, r)})
          << at << ": RELATED " << type;
      continue;
    }
    const auto p = one(key);
    if (value.empty()) {
      EXPECT_FALSE(p) << at << ": " << key << " should be absent";
      continue;
    }
    ASSERT_TRUE(p) << at << ": no " << key;
    EXPECT_EQ(Values(*p, r, false), std::vector<std::string>{Expect(value, r)})
        << at << ": " << key;
  }

  // Children.
  std::vector<std::string> children;
  if (v40) {
    for (const auto& p : All(card, "RELATED")) {
      if (p.types.count("child"))
        children.push_back(Normal(p.name, p.value.at(0), r));
    }
  } else {
    for (const auto& p : All(card, "X-MS-CHILD"))
      children.push_back(Normal(p.name, p.value.at(0), r));
  }
  EXPECT_EQ(children, Expect(e.children, r, false)) << at << ": children";

  // Telephone numbers, each once, with its property and types.
  size_t phones = 0;
  for (const char* name : {"TEL", "X-MS-TEL"}) {
    for (const auto& p : All(card, name)) {
      ++phones;
      const std::string number = Normal(p.name, p.value.at(0), r);
      auto it = std::find_if(e.phones.begin(), e.phones.end(),
                             [&](const auto& kv) { return Expect(kv.first, r) == number; });
      if (it == e.phones.end()) {
        ADD_FAILURE() << at << ": a number the contact does not have: " << number;
        continue;
      }
      EXPECT_EQ(p.name, it->second.name) << at << ": " << number;
      CheckTypes(p, it->second.types, r, at + ": " + number);
      EXPECT_EQ(p.pref, it->second.pref) << at << ": " << number;
    }
  }
  EXPECT_EQ(phones, e.phones.size()) << at << ": numbers";

  // Addresses in card order, with their labels.
  const auto adrs = All(card, "ADR");
  ASSERT_EQ(adrs.size(), e.addresses.size()) << at << ": addresses";
  auto labels = All(card, "LABEL");
  for (size_t i = 0; i < adrs.size(); ++i) {
    const Address& a = e.addresses[i];
    EXPECT_EQ(Values(adrs[i], r, false), Expect(a.parts, r, false)) << at << ": ADR " << i;
    CheckTypes(adrs[i], a.types, r, at + ": ADR types");
    EXPECT_EQ(adrs[i].pref, a.pref) << at << ": ADR " << i;
    auto param = adrs[i].params.find("LABEL");
    if (param != adrs[i].params.end()) {
      const std::string label = r.caretEncoded ? Uncaret(param->second) : param->second;
      EXPECT_EQ(Normal("LABEL", label, r), Expect(a.label, r)) << at << ": ADR " << i << " label";
      continue;
    }
    if (a.label.empty())
      continue;
    EXPECT_FALSE(v40) << at << ": 4.0 carries the label as ADR's LABEL parameter";
    auto it = std::find_if(labels.begin(), labels.end(),
                           [&](const ParsedProperty& l) { return l.types == adrs[i].types; });
    if (it == labels.end()) {
      ADD_FAILURE() << at << ": no LABEL for ADR " << i;
      continue;
    }
    EXPECT_EQ(Values(*it, r, false), std::vector<std::string>{Expect(a.label, r)})
        << at << ": LABEL " << i;
    labels.erase(it);
  }
  EXPECT_TRUE(labels.empty()) << at << ": a LABEL of no address";

  // E-mail: in order, the first preferred.
  const auto emails = All(card, "EMAIL");
  ASSERT_EQ(emails.size(), e.emails.size()) << at << ": e-mail addresses";
  for (size_t i = 0; i < emails.size(); ++i) {
    EXPECT_EQ(Normal("EMAIL", emails[i].value.at(0), r), Expect(e.emails[i], r)) << at;
    EXPECT_EQ(emails[i].pref, i == 0) << at << ": EMAIL " << i;
    if (!v40)
      CheckTypes(emails[i], {"internet"}, r, at + ": EMAIL types");
  }

  const auto urls = All(card, "URL");
  ASSERT_EQ(urls.size(), e.urls.size()) << at << ": URLs";
  for (size_t i = 0; i < urls.size(); ++i) {
    EXPECT_EQ(Normal("URL", urls[i].value.at(0), r), Expect(e.urls[i].second, r)) << at;
    CheckTypes(urls[i], {e.urls[i].first}, r, at + ": URL types");
  }

  if (const auto categories = one("CATEGORIES")) {
    EXPECT_EQ(Values(*categories, r, false), Expect(e.categories, r, false)) << at;
  } else {
    EXPECT_TRUE(e.categories.empty()) << at << ": no CATEGORIES";
  }

  for (const auto& [name, data] :
       {std::pair{"PHOTO", &e.photo}, std::pair{"X-MS-CARDPICTURE", &e.cardPicture}}) {
    const auto p = one(name);
    if (data->empty()) {
      EXPECT_FALSE(p) << at << ": " << name;
      continue;
    }
    ASSERT_TRUE(p) << at << ": no " << name;
    EXPECT_EQ(Normal(name, p->value.at(0), r), *data) << at << ": " << name;
  }

  // Certificates: one KEY each, in order.
  const auto keys = All(card, "KEY");
  ASSERT_EQ(keys.size(), e.certificates.size()) << at << ": KEY";
  for (size_t i = 0; i < keys.size(); ++i)
    EXPECT_EQ(Normal("KEY", keys[i].value.at(0), r), e.certificates[i]) << at << ": KEY " << i;
}

struct Case {
  std::string fixture;
  Version version;
};

class GoldenReaders : public ::testing::TestWithParam<Case> {};

TEST_P(GoldenReaders, EveryCardHoldsWhatItsFixtureHolds) {
  const Case& c = GetParam();
  const std::string dir = c.version == Version::k21   ? "2.1"
                          : c.version == Version::k30 ? "3.0"
                                                      : "4.0";
  const json fixture = json::parse(ReadAll(kGoldenDir / "fixtures" / (c.fixture + ".json")),
                                   nullptr, true, /*ignore_comments=*/true);
  std::vector<Expected> contacts;
  CollectContacts(fixture["folders"], c.version, contacts);

  std::vector<std::string> paths;
  for (const auto& entry : fs::directory_iterator(kGoldenDir / "cards" / c.fixture / dir))
    paths.push_back(entry.path().string());
  std::sort(paths.begin(), paths.end());
  ASSERT_FALSE(paths.empty());

  std::vector<Reader> readers;
  using tarnvex::testing::ParseWithBelcard;
  using tarnvex::testing::ParseWithEzVcard;
  using tarnvex::testing::ParseWithVobject;
  try {
    readers.push_back({"ez-vcard", false, false, false, ParseWithEzVcard(paths)});
    switch (c.version) {
      case Version::k21:
        readers.push_back({"vobject, quoted-printable, lexical", false, false, false,
                           ParseWithVobject(paths, {.quotedPrintable = true, .lexical = true})});
        break;
      case Version::k30:
        readers.push_back(
            {"vobject", false, false, false, ParseWithVobject(paths, {.quotedPrintable = false})});
        readers.push_back({"vobject, quoted-printable", false, false, false,
                           ParseWithVobject(paths, {.quotedPrintable = true})});
        break;
      case Version::k40: {
        Reader belcard{"belcard", true, true, true, {}};
        for (const auto& p : paths)
          belcard.cards.push_back(ParseWithBelcard(ReadAll(p)));
        readers.push_back(std::move(belcard));
        readers.push_back({"vobject, lexical", false, false, true,
                           ParseWithVobject(paths, {.quotedPrintable = false, .lexical = true})});
        break;
      }
    }
  } catch (const std::exception& ex) {
    FAIL() << ex.what();
  }

  for (const Reader& r : readers) {
    std::vector<bool> used(contacts.size(), false);
    for (size_t i = 0; i < paths.size(); ++i) {
      const std::string where = fs::path(paths[i]).filename().string();
      // The contact whose formatted name the card carries.
      std::string fn;
      for (const auto& p : All(r.cards[i], "FN"))
        fn = Normal("FN", p.value.at(0), r);
      size_t match = contacts.size();
      for (size_t k = 0; k < contacts.size() && match == contacts.size(); ++k) {
        if (!used[k] && Expect(contacts[k].fn, r) == fn)
          match = k;
      }
      if (match == contacts.size()) {
        ADD_FAILURE() << where << " (" << r.name << "): no contact of the fixture is named \"" << fn
                      << "\"";
        continue;
      }
      used[match] = true;
      Compare(r.cards[i], contacts[match], r, c.version, c.fixture + "/" + dir + "/" + where);
    }
  }
}

std::vector<Case> AllCases() {
  std::vector<Case> cases;
  for (const char* fixture : golden::kFixtureNames) {
    for (Version v : {Version::k21, Version::k30, Version::k40})
      cases.push_back({fixture, v});
  }
  return cases;
}

INSTANTIATE_TEST_SUITE_P(Fixtures, GoldenReaders, ::testing::ValuesIn(AllCases()),
                         [](const ::testing::TestParamInfo<Case>& info) {
                           return info.param.fixture + "_v" +
                                  (info.param.version == Version::k21   ? "21"
                                   : info.param.version == Version::k30 ? "30"
                                                                        : "40");
                         });

}  // namespace
}  // namespace tarnvex::vcard
