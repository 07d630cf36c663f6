#include "tools/pstwriter/json_store.h"

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <nlohmann/json.hpp>
#include <optional>

#include "platform/failure.h"
#include "tools/pstwriter/code_page.h"
#include "tools/pstwriter/generator.h"
#include "tools/pstwriter/property_names.h"

namespace tarnvex::pstwriter {

namespace {

using nlohmann::json;

class Reader {
 public:
  Reader(std::string baseDir, std::string source)
      : baseDir_(std::move(baseDir)), source_(std::move(source)) {}

  [[noreturn]] void Fail(const std::string& where, const std::string& what) const {
    throw Failure("\"" + source_ + "\", " + where + ": " + what);
  }

  Store Read(const json& doc) {
    if (!doc.is_object())
      Fail("top level", "expected an object.");
    const bool standard = doc.value("standardFolders", true);
    Store store = standard ? Store::WithStandardFolders() : Store{};
    if (doc.contains("store"))
      store.displayName = String(doc["store"], "\"store\"");
    if (doc.contains("ipmSubtree")) {
      store.ipmSubtree.displayName = String(doc["ipmSubtree"], "\"ipmSubtree\"");
    }
    if (doc.contains("password"))
      store.password = String(doc["password"], "\"password\"");
    if (doc.contains("recordKey")) {
      store.recordKey = ParseGuid(String(doc["recordKey"], "\"recordKey\""), "\"recordKey\"");
    }
    // "format": "unicode" (the default), "ansi", "ost" or "ost2013".
    if (doc.contains("format")) {
      const auto format = StoreFormatNamed(String(doc["format"], "\"format\""));
      if (!format)
        Fail("\"format\"", std::string("expected ") + kStoreFormatNames + ".");
      store.format = *format;
    }
    // 8-bit strings: every item's strings in this code page, unless the item names its own. An
    // ANSI store writes its own names in it too.
    storeCodePage_ = CodePage(doc, "top level");
    if (storeCodePage_)
      store.codePage = *storeCodePage_;
    storeLocale_ = Locale(doc, "top level");
    recordCodePage_ = Flag(doc, "recordCodepage", "top level", true);
    if (doc.contains("items"))
      ReadItems(doc["items"], store.ipmSubtree.messages, "items");
    if (doc.contains("folders"))
      ReadFolders(doc["folders"], store.ipmSubtree, "folders", store);
    return store;
  }

 private:
  std::string String(const json& j, const std::string& where) const {
    if (!j.is_string())
      Fail(where, "expected a string.");
    return j.get<std::string>();
  }

  Guid ParseGuid(const std::string& text, const std::string& where) const {
    try {
      return Guid::Parse(text);
    } catch (const Failure&) {
      Fail(where, "\"" + text + "\" is not a GUID.");
    }
  }

  void ReadFolders(const json& list, Folder& parent, const std::string& where, Store& store) {
    if (!list.is_array())
      Fail(where, "expected a list of folders.");
    for (std::size_t i = 0; i < list.size(); ++i) {
      const json& f = list[i];
      const std::string here = where + "[" + std::to_string(i) + "]";
      if (!f.is_object() || !f.contains("name"))
        Fail(here, "a folder needs a \"name\".");
      const std::string name = String(f["name"], here + ".name");
      Folder* folder = nullptr;
      for (Folder& existing : parent.subfolders) {
        if (existing.displayName == name)
          folder = &existing;  // a standard folder: fill it in
      }
      if (!folder)
        folder = &parent.AddFolder(name, "IPF.Note");
      if (f.contains("class"))
        folder->containerClass = String(f["class"], here + ".class");
      if (f.contains("hidden")) {
        if (!f["hidden"].is_boolean())
          Fail(here + ".hidden", "expected true or false.");
        folder->hidden = f["hidden"].get<bool>();
      }
      if (f.value("defaultContacts", false)) {
        if (Folder* old = store.ipmSubtree.FindRole(FolderRole::kContacts))
          old->role = FolderRole::kNone;
        folder->role = FolderRole::kContacts;
      }
      if (f.contains("items"))
        ReadItems(f["items"], folder->messages, here + ".items");
      if (f.contains("associated"))
        ReadItems(f["associated"], folder->associated, here + ".associated");
      if (f.contains("folders"))
        ReadFolders(f["folders"], *folder, here + ".folders", store);
    }
  }

  void ReadItems(const json& list, std::list<Message>& out, const std::string& where) {
    if (!list.is_array())
      Fail(where, "expected a list of items.");
    for (std::size_t i = 0; i < list.size(); ++i) {
      const json& item = list[i];
      const std::string here = where + "[" + std::to_string(i) + "]";
      if (!item.is_object())
        Fail(here, "expected an object.");
      Message& m = out.emplace_back();
      m.messageClass =
          item.contains("class") ? String(item["class"], here + ".class") : "IPM.Contact";
      if (item.contains("properties"))
        ReadProperties(item["properties"], m.props, here + ".properties");
      // "codepage": the item's strings as 8-bit strings in it, recorded in PidTagMessageCodepage
      // unless "recordCodepage" is false; "locale": PidTagMessageLocaleId.
      if (const auto codePage = CodePage(item, here).value_or(storeCodePage_.value_or(0))) {
        try {
          EncodeStrings(m.props, codePage);
        } catch (const Failure& e) {
          Fail(here, e.what());
        }
        if (Flag(item, "recordCodepage", here, recordCodePage_))
          m.props.Set(kTagMessageCodepage, Value::Int32(static_cast<std::int32_t>(codePage)));
      }
      if (const auto locale = Locale(item, here).value_or(storeLocale_.value_or(0)))
        m.props.Set(kTagMessageLocaleId, Value::Int32(static_cast<std::int32_t>(locale)));
      if (item.contains("photo")) {
        const json& photo = item["photo"];
        if (photo.is_string() && photo.get<std::string>() == "generated") {
          m.SetContactPhoto(TinyJpeg(static_cast<std::uint32_t>(i)));
        } else {
          m.SetContactPhoto(Data(photo, here + ".photo"));
        }
      }
      if (item.contains("attachments")) {
        const json& atts = item["attachments"];
        if (!atts.is_array())
          Fail(here + ".attachments", "expected a list.");
        for (std::size_t k = 0; k < atts.size(); ++k) {
          const std::string at = here + ".attachments[" + std::to_string(k) + "]";
          if (!atts[k].is_object() || !atts[k].contains("name"))
            Fail(at, "an attachment needs a \"name\".");
          m.attachments.push_back(
              Attachment::File(String(atts[k]["name"], at + ".name"), Data(atts[k], at)));
        }
      }
      if (item.contains("recipients")) {
        const json& rs = item["recipients"];
        if (!rs.is_array())
          Fail(here + ".recipients", "expected a list.");
        for (std::size_t k = 0; k < rs.size(); ++k) {
          const std::string at = here + ".recipients[" + std::to_string(k) + "]";
          if (!rs[k].is_object())
            Fail(at, "expected an object.");
          Recipient r;
          r.displayName = rs[k].contains("name") ? String(rs[k]["name"], at + ".name") : "";
          r.emailAddress = rs[k].contains("email") ? String(rs[k]["email"], at + ".email") : "";
          r.type = rs[k].value("type", 1);
          m.recipients.push_back(r);
        }
      }
    }
  }

  // Bytes from {"base64": ...}, {"hex": ...}, {"text": ...} or {"file": ...}.
  Bytes Data(const json& j, const std::string& where) const {
    if (!j.is_object())
      Fail(where,
           "expected {\"base64\": ...}, {\"hex\": ...}, {\"text\": ...} or {\"file\": ...}.");
    if (j.contains("base64"))
      return Base64(String(j["base64"], where + ".base64"), where);
    if (j.contains("hex"))
      return Hex(String(j["hex"], where + ".hex"), where);
    if (j.contains("text")) {
      const std::string t = String(j["text"], where + ".text");
      return Bytes(t.begin(), t.end());
    }
    if (j.contains("file")) {
      std::string path = String(j["file"], where + ".file");
      if (!path.empty() && path[0] != '/')
        path = baseDir_ + "/" + path;
      std::ifstream in(path, std::ios::binary);
      if (!in)
        Fail(where, "cannot read \"" + path + "\": " + std::strerror(errno) + ".");
      return Bytes(std::istreambuf_iterator<char>(in), {});
    }
    Fail(where, "expected \"base64\", \"hex\", \"text\" or \"file\".");
  }

  Bytes Base64(const std::string& s, const std::string& where) const {
    Bytes out;
    std::uint32_t acc = 0;
    int bits = 0;
    for (char c : s) {
      int v;
      if (c >= 'A' && c <= 'Z')
        v = c - 'A';
      else if (c >= 'a' && c <= 'z')
        v = c - 'a' + 26;
      else if (c >= '0' && c <= '9')
        v = c - '0' + 52;
      else if (c == '+' || c == '-')
        v = 62;
      else if (c == '/' || c == '_')
        v = 63;
      else if (c == '=' || c == '\n' || c == '\r' || c == ' ')
        continue;
      else
        Fail(where, "not base64.");
      acc = (acc << 6) | static_cast<std::uint32_t>(v);
      bits += 6;
      if (bits >= 8) {
        bits -= 8;
        out.push_back(static_cast<std::uint8_t>((acc >> bits) & 0xFF));
      }
    }
    return out;
  }

  Bytes Hex(const std::string& s, const std::string& where) const {
    Bytes out;
    std::string digits;
    for (char c : s) {
      if (c == ' ' || c == ':' || c == '-')
        continue;
      if (!std::isxdigit(static_cast<unsigned char>(c)))
        Fail(where, "not hexadecimal.");
      digits += c;
    }
    if (digits.size() % 2)
      Fail(where, "odd number of hexadecimal digits.");
    for (std::size_t i = 0; i < digits.size(); i += 2) {
      out.push_back(static_cast<std::uint8_t>(std::stoi(digits.substr(i, 2), nullptr, 16)));
    }
    return out;
  }

  // "YYYY-MM-DD" or "YYYY-MM-DDTHH:MM:SS[Z]", UTC.
  FileTime Time(const std::string& s, const std::string& where) const {
    int y = 0, mo = 0, d = 0, h = 0, mi = 0, se = 0;
    const int n = std::sscanf(s.c_str(), "%d-%d-%dT%d:%d:%d", &y, &mo, &d, &h, &mi, &se);
    if ((n != 3 && n != 6) || mo < 1 || mo > 12 || d < 1 || d > 31 || y < 1601) {
      Fail(where, "\"" + s + "\" is not a date (YYYY-MM-DD or YYYY-MM-DDTHH:MM:SSZ).");
    }
    // Days from the civil date (proleptic Gregorian).
    y -= mo <= 2;
    const int era = (y >= 0 ? y : y - 399) / 400;
    const int yoe = y - era * 400;
    const int doy = (153 * (mo + (mo > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const int doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    const std::int64_t days = static_cast<std::int64_t>(era) * 146097 + doe - 719468;
    return FileTime::FromUnix(days * 86400 + h * 3600 + mi * 60 + se);
  }

  Value Convert(const json& j, PropType type, const std::string& where) const {
    auto integer = [&]() -> std::int64_t {
      if (!j.is_number_integer())
        Fail(where, "expected a whole number.");
      return j.get<std::int64_t>();
    };
    switch (type) {
      case PropType::kInt16:
        return Value::Int16(static_cast<std::int16_t>(integer()));
      case PropType::kInt32:
        return Value::Int32(static_cast<std::int32_t>(integer()));
      case PropType::kInt64:
        return Value::Int64(integer());
      case PropType::kDouble:
        if (!j.is_number())
          Fail(where, "expected a number.");
        return Value::Double(j.get<double>());
      case PropType::kBoolean:
        if (!j.is_boolean())
          Fail(where, "expected true or false.");
        return Value::Boolean(j.get<bool>());
      case PropType::kTime:
        return Value::Time(Time(String(j, where), where));
      case PropType::kString:
        return Value::String(String(j, where));
      case PropType::kGuid:
        return Value::GuidValue(ParseGuid(String(j, where), where));
      case PropType::kBinary:
        return Value::Binary(Data(j, where));
      case PropType::kMultiInt32:
      case PropType::kMultiString:
      case PropType::kMultiBinary: {
        if (!j.is_array())
          Fail(where, "expected a list.");
        std::vector<std::int32_t> ints;
        std::vector<std::string> strings;
        std::vector<Bytes> binaries;
        for (std::size_t i = 0; i < j.size(); ++i) {
          const std::string at = where + "[" + std::to_string(i) + "]";
          if (type == PropType::kMultiInt32) {
            if (!j[i].is_number_integer())
              Fail(at, "expected a whole number.");
            ints.push_back(j[i].get<std::int32_t>());
          } else if (type == PropType::kMultiString) {
            strings.push_back(String(j[i], at));
          } else {
            binaries.push_back(Data(j[i], at));
          }
        }
        if (type == PropType::kMultiInt32)
          return Value::MultiInt32(std::move(ints));
        if (type == PropType::kMultiString)
          return Value::MultiString(std::move(strings));
        return Value::MultiBinary(std::move(binaries));
      }
      case PropType::kString8:
      case PropType::kMultiString8:
        break;  // made from text through "codepage", never given as such
    }
    Fail(where, "unsupported property type.");
  }

  PropType TypeCode(const std::string& hex, const std::string& where) const {
    const unsigned long t = std::strtoul(hex.c_str(), nullptr, 16);
    static const PropType known[] = {
        PropType::kInt16,  PropType::kInt32,      PropType::kDouble,      PropType::kBoolean,
        PropType::kInt64,  PropType::kString,     PropType::kTime,        PropType::kGuid,
        PropType::kBinary, PropType::kMultiInt32, PropType::kMultiString, PropType::kMultiBinary};
    for (PropType k : known) {
      if (static_cast<unsigned long>(k) == t)
        return k;
    }
    Fail(where, "unsupported property type 0x" + hex + ".");
  }

  void ReadProperties(const json& props, PropertyBag& bag, const std::string& where) const {
    if (!props.is_object())
      Fail(where, "expected an object of properties.");
    for (const auto& [name, value] : props.items()) {
      const std::string at = where + "." + name;
      if (auto def = LookupPropertyName(name)) {
        bag.Set(def->key, Convert(value, def->type, at));
      } else if (name.size() == 10 && name.rfind("0x", 0) == 0) {
        // "0x3A06001F": a tag with its type.
        const auto id =
            static_cast<std::uint16_t>(std::strtoul(name.substr(2, 4).c_str(), nullptr, 16));
        bag.Set(PropKey::Tag(id), Convert(value, TypeCode(name.substr(6), at), at));
      } else if (!name.empty() && name[0] == '{') {
        // "{GUID}:0x8005:001F" (a LID) or "{GUID}:Name:101F" (a string name).
        const auto first = name.find(':');
        const auto last = name.rfind(':');
        if (first == std::string::npos || first == last)
          Fail(at, "expected \"{GUID}:name:type\".");
        const Guid set = ParseGuid(name.substr(0, first), at);
        const std::string n = name.substr(first + 1, last - first - 1);
        const PropType type = TypeCode(name.substr(last + 1), at);
        if (n.rfind("0x", 0) == 0) {
          bag.Set(PropKey::Named(
                      set, static_cast<std::uint32_t>(std::strtoul(n.c_str() + 2, nullptr, 16))),
                  Convert(value, type, at));
        } else {
          bag.Set(PropKey::Named(set, n), Convert(value, type, at));
        }
      } else {
        Fail(at, "unknown property name.");
      }
    }
  }

  std::optional<std::uint32_t> CodePage(const json& j, const std::string& where) const {
    if (!j.contains("codepage"))
      return std::nullopt;
    const json& v = j["codepage"];
    if (!v.is_number_unsigned() || v.get<std::uint64_t>() == 0 || v.get<std::uint64_t>() > 65535)
      Fail(where + ".codepage", "expected a code page number (such as 1252).");
    return v.get<std::uint32_t>();
  }
  std::optional<std::uint32_t> Locale(const json& j, const std::string& where) const {
    if (!j.contains("locale"))
      return std::nullopt;
    const json& v = j["locale"];
    if (!v.is_number_unsigned() || v.get<std::uint64_t>() > 0xFFFFFFFF)
      Fail(where + ".locale", "expected a locale id (such as 1049).");
    return v.get<std::uint32_t>();
  }
  bool Flag(const json& j, const char* name, const std::string& where, bool otherwise) const {
    if (!j.contains(name))
      return otherwise;
    if (!j[name].is_boolean())
      Fail(where + "." + name, "expected true or false.");
    return j[name].get<bool>();
  }

  static constexpr std::uint16_t kTagMessageCodepage = 0x3FFD;  // PidTagMessageCodepage
  static constexpr std::uint16_t kTagMessageLocaleId = 0x3FF1;  // PidTagMessageLocaleId

  std::string baseDir_;
  std::string source_;
  std::optional<std::uint32_t> storeCodePage_;
  std::optional<std::uint32_t> storeLocale_;
  bool recordCodePage_ = true;
};

}  // namespace

Store StoreFromJson(const std::string& jsonText, const std::string& baseDir,
                    const std::string& source) {
  json doc;
  try {
    doc = json::parse(jsonText, nullptr, true, /*ignore_comments=*/true);
  } catch (const json::parse_error& e) {
    throw Failure("\"" + source + "\" is not valid JSON: " + e.what());
  }
  return Reader(baseDir, source).Read(doc);
}

}  // namespace tarnvex::pstwriter
