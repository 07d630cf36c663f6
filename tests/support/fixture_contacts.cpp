// What a golden fixture's contacts should carry in a card of each version, read from the
// fixture's JSON by the mapping of MS-OXVCARD and the vCard specifications: not by the stand-in's
// reader or the writer, so that readers of the cards are compared with a second reading.

#include "tests/support/fixture_contacts.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <fstream>
#include <sstream>

#include "tools/pstwriter/generator.h"
#include "tools/pstwriter/property_names.h"

namespace tarnvex::testing::fixture {

std::string ReadAll(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

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

namespace {

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

bool IsContact(const json& item) {
  if (!item.contains("class"))
    return true;
  std::string c = item["class"].get<std::string>();
  std::transform(c.begin(), c.end(), c.begin(), [](unsigned char ch) { return std::tolower(ch); });
  return c == "ipm.contact" || c.rfind("ipm.contact.", 0) == 0;
}

std::string Hex(const pstwriter::Bytes& bytes) {
  static const char kDigits[] = "0123456789abcdef";
  std::string out;
  for (const auto b : bytes) {
    out += kDigits[b >> 4];
    out += kDigits[b & 15];
  }
  return out;
}

// A FILETIME as the fixtures write times: "YYYY-MM-DD" for a birthday or anniversary (whole
// days), else "YYYY-MM-DDTHH:MM:SSZ".
std::string TimeText(pstwriter::FileTime time, bool wholeDay) {
  constexpr int64_t kTicksPerSecond = 10'000'000;
  constexpr int64_t kSecondsFrom1601To1970 = 11'644'473'600;
  const int64_t seconds =
      static_cast<int64_t>(time.ticks / kTicksPerSecond) - kSecondsFrom1601To1970;
  const int64_t days = (seconds >= 0 ? seconds : seconds - 86'399) / 86'400;
  const int64_t daySeconds = seconds - days * 86'400;
  // The civil date of a day count (days from civil, inverted; proleptic Gregorian).
  const int64_t z = days + 719'468;
  const int64_t era = (z >= 0 ? z : z - 146'096) / 146'097;
  const int64_t doe = z - era * 146'097;
  const int64_t yoe = (doe - doe / 1460 + doe / 36'524 - doe / 146'096) / 365;
  const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const int64_t mp = (5 * doy + 2) / 153;
  const int64_t day = doy - (153 * mp + 2) / 5 + 1;
  const int64_t month = mp < 10 ? mp + 3 : mp - 9;
  const int64_t year = yoe + era * 400 + (month <= 2 ? 1 : 0);
  char text[96];
  if (wholeDay) {
    std::snprintf(text, sizeof text, "%04lld-%02lld-%02lld", static_cast<long long>(year),
                  static_cast<long long>(month), static_cast<long long>(day));
  } else {
    std::snprintf(text, sizeof text, "%04lld-%02lld-%02lldT%02lld:%02lld:%02lldZ",
                  static_cast<long long>(year), static_cast<long long>(month),
                  static_cast<long long>(day), static_cast<long long>(daySeconds / 3600),
                  static_cast<long long>(daySeconds / 60 % 60),
                  static_cast<long long>(daySeconds % 60));
  }
  return text;
}

// A property value in the fixtures' JSON form; null for a type the fixtures do not use.
json JsonOfValue(std::string_view name, const pstwriter::Value& value) {
  using pstwriter::PropType;
  switch (value.type()) {
    case PropType::kString:
    case PropType::kString8:
      return value.AsString();
    case PropType::kInt16:
    case PropType::kInt32:
    case PropType::kInt64:
      return value.AsInteger();
    case PropType::kBoolean:
      return value.AsBoolean();
    case PropType::kTime: {
      const bool wholeDay = name.find("Birthday") != std::string_view::npos ||
                            name.find("Anniversary") != std::string_view::npos;
      return TimeText(value.AsTime(), wholeDay);
    }
    case PropType::kBinary:
      return json{{"hex", Hex(value.AsBinary())}};
    case PropType::kMultiString:
    case PropType::kMultiString8:
      return value.AsMultiString();
    case PropType::kMultiBinary: {
      json list = json::array();
      for (const auto& bytes : value.AsMultiBinary())
        list.push_back(json{{"hex", Hex(bytes)}});
      return list;
    }
    default:
      return nullptr;
  }
}

std::string_view CanonicalNameOf(const pstwriter::PropKey& key) {
  for (const auto& known : pstwriter::KnownPropertyNames()) {
    if (known.key == key)
      return known.canonicalName;
  }
  return {};
}

json JsonOfMessage(const pstwriter::Message& message) {
  json properties = json::object();
  for (const auto& property : message.props.all()) {
    const std::string_view name = CanonicalNameOf(property.key);
    if (name.empty())
      continue;
    json value = JsonOfValue(name, property.value);
    if (!value.is_null())
      properties[std::string(name)] = std::move(value);
  }
  json item = {{"class", message.messageClass}, {"properties", std::move(properties)}};
  for (const auto& attachment : message.attachments) {
    const pstwriter::Value* photo = attachment.props.Find("PidTagAttachmentContactPhoto");
    const pstwriter::Value* data = attachment.props.Find("PidTagAttachDataBinary");
    if (photo && photo->AsBoolean() && data)
      item["photo"] = json{{"hex", Hex(data->AsBinary())}};
  }
  return item;
}

json JsonOfFolders(const std::list<pstwriter::Folder>& folders) {
  json list = json::array();
  for (const auto& folder : folders) {
    json items = json::array();
    for (const auto& message : folder.messages)
      items.push_back(JsonOfMessage(message));
    list.push_back(json{{"name", folder.displayName},
                        {"items", std::move(items)},
                        {"folders", JsonOfFolders(folder.subfolders)}});
  }
  return list;
}

}  // namespace

json FixtureOf(const pstwriter::Store& store) {
  return json{{"folders", JsonOfFolders(store.ipmSubtree.subfolders)}};
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
  if (item.contains("photo") && item["photo"].is_object()) {
    e.photo = Base64(FromHex(item["photo"]["hex"].get<std::string>()));
  } else if (item.contains("photo")) {
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

}  // namespace tarnvex::testing::fixture
