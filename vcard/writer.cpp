#include "vcard/writer.h"

#include <algorithm>
#include <cstdio>
#include <initializer_list>
#include <string_view>
#include <vector>

#include "text/utf.h"

namespace tarnvex::vcard {
namespace detail {

std::string CleanText(const std::string& input) {
  std::string out;
  out.reserve(input.size());
  for (size_t i = 0; i < input.size();) {
    const char c = input[i];
    if (c >= 0x20 && c < 0x7F) {  // printable ASCII, the common case
      out += c;
      ++i;
      continue;
    }
    if (c == '\r') {
      out += '\n';
      i += (i + 1 < input.size() && input[i + 1] == '\n') ? 2 : 1;
      continue;
    }
    if (c == '\n' || c == '\t') {
      out += c;
      ++i;
      continue;
    }
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) {
      ++i;
      continue;
    }
    const size_t n = text::Utf8SequenceLength(input, i);
    if (n == 0) {
      text::AppendUtf8(out, text::kReplacementCharacter);
      ++i;
    } else {
      out.append(input, i, n);
      i += n;
    }
  }
  return out;
}

// RFC 6350 section 3.2 (and RFC 2425 section 5.8.1 for 3.0): lines longer than 75 octets are
// folded by inserting CRLF and a single space; multi-octet characters are not split.
std::string Fold(const std::string& line) {
  constexpr size_t kMax = 75;
  std::string out;
  out.reserve(line.size() + line.size() / kMax * 3 + 2);
  size_t width = 0;  // octets on the current physical line
  for (size_t i = 0; i < line.size();) {
    // A byte that starts no well-formed sequence stands alone.
    const size_t n = std::max<size_t>(text::Utf8SequenceLength(line, i), 1);
    if (width + n > kMax) {
      out += "\r\n ";
      width = 1;
    }
    out.append(line, i, n);
    width += n;
    i += n;
  }
  out += "\r\n";
  return out;
}

// vCard 2.1 section 2.1.3 with RFC 2045 section 6.7: quoted-printable, physical lines of at most
// 76 characters including the "=" of a soft line break.
std::string QuotedPrintable(const std::string& value, size_t used) {
  constexpr size_t kMax = 76;
  static const char kHex[] = "0123456789ABCDEF";
  std::string out;
  out.reserve(value.size() * 3);
  size_t width = used;
  // A token may fill the line to the last column only when nothing follows it; otherwise room
  // is kept for the soft break's "=".
  auto put = [&](std::string_view token, bool last) {
    if (width + token.size() + (last ? 0 : 1) > kMax) {
      out += "=\r\n";
      width = 0;
    }
    out += token;
    width += token.size();
  };
  for (size_t i = 0; i < value.size(); ++i) {
    const auto c = static_cast<unsigned char>(value[i]);
    if (c == '\n') {
      put("=0D=0A", i + 1 == value.size());
      continue;
    }
    const bool last = i + 1 == value.size() || value[i + 1] == '\n';
    const bool literal = (c >= 33 && c <= 126 && c != '=') || (c == ' ' && !last);
    if (literal) {
      const char ch = static_cast<char>(c);
      put(std::string_view(&ch, 1), i + 1 == value.size());
    } else {
      const char enc[3] = {'=', kHex[c >> 4], kHex[c & 0xF]};
      put(std::string_view(enc, 3), i + 1 == value.size());
    }
  }
  out += "\r\n";
  return out;
}

std::string Base64(const std::string& bytes) {
  static const char kTable[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  out.reserve((bytes.size() + 2) / 3 * 4);
  size_t i = 0;
  for (; i + 3 <= bytes.size(); i += 3) {
    const uint32_t v = (static_cast<unsigned char>(bytes[i]) << 16) |
                       (static_cast<unsigned char>(bytes[i + 1]) << 8) |
                       static_cast<unsigned char>(bytes[i + 2]);
    out += kTable[(v >> 18) & 63];
    out += kTable[(v >> 12) & 63];
    out += kTable[(v >> 6) & 63];
    out += kTable[v & 63];
  }
  if (i < bytes.size()) {
    uint32_t v = static_cast<unsigned char>(bytes[i]) << 16;
    if (i + 1 < bytes.size())
      v |= static_cast<unsigned char>(bytes[i + 1]) << 8;
    out += kTable[(v >> 18) & 63];
    out += kTable[(v >> 12) & 63];
    out += i + 1 < bytes.size() ? kTable[(v >> 6) & 63] : '=';
    out += '=';
  }
  return out;
}

// Text escaping. RFC 2426 section 4 (escaped-char) and RFC 6350 section 3.4: backslash, comma
// and semicolon are escaped, a line break becomes "\n". vCard 2.1 (section 2.1.3) escapes only
// the semicolon, but readers of today apply the 3.0 rules to 2.1 cards as well and cut a value
// at a bare comma, so 2.1 escapes the same characters; its line breaks are carried by
// quoted-printable instead of "\n". In 4.0 a semicolon is escaped only inside the components
// of a structured value (RFC 6350 section 3.3, "component"); elsewhere "\;" is not allowed.
std::string Escape(std::string_view text, bool lineBreaksAsBackslashN, bool semicolon) {
  std::string out;
  out.reserve(text.size() + 8);
  for (char c : text) {
    switch (c) {
      case '\\':
        out += "\\\\";
        break;
      case ',':
        out += "\\,";
        break;
      case ';':
        out += semicolon ? "\\;" : ";";
        break;
      case '\n':
        out += lineBreaksAsBackslashN ? "\\n" : "\n";
        break;
      default:
        out += c;
    }
  }
  return out;
}

// RFC 6868: a parameter value is quoted; "^" "\n" and '"' are written ^^ ^n ^'.
std::string QuotedParam(const std::string& text) {
  std::string out = "\"";
  for (char c : text) {
    if (c == '^') {
      out += "^^";
    } else if (c == '\n') {
      out += "^n";
    } else if (c == '"') {
      out += "^'";
    } else {
      out += c;
    }
  }
  out += '"';
  return out;
}

// Dates: RFC 2426 section 3.1.5 (ISO 8601 "1996-04-15"), vCard 2.1 section 2.2.4 and RFC 6350
// section 4.3.1 (basic form "19960415").
std::string DateText(const Date& d, VCardVersion v) {
  char buf[16];
  std::snprintf(buf, sizeof buf, v == VCardVersion::k30 ? "%04d-%02d-%02d" : "%04d%02d%02d", d.year,
                d.month, d.day);
  return buf;
}

// REV: a UTC time stamp. RFC 2426 section 3.6.4 (extended form), RFC 6350 section 6.7.4 and
// 4.3.5 (basic form), vCard 2.1 section 2.6.2.
std::string TimestampText(int64_t seconds, VCardVersion v) {
  int64_t days = seconds / 86400;
  int64_t second = seconds % 86400;
  if (second < 0) {
    second += 86400;
    --days;
  }
  const Date d = DateOfDay(days);
  const int hour = static_cast<int>(second / 3600);
  const int minute = static_cast<int>(second / 60 % 60);
  char buf[40];
  std::snprintf(
      buf, sizeof buf,
      v == VCardVersion::k30 ? "%04d-%02d-%02dT%02d:%02d:%02dZ" : "%04d%02d%02dT%02d%02d%02dZ",
      d.year, d.month, d.day, hour, minute, static_cast<int>(second % 60));
  return buf;
}

}  // namespace detail

namespace {

using detail::Base64;
using detail::CleanText;
using detail::DateText;
using detail::Escape;
using detail::Fold;
using detail::QuotedParam;
using detail::QuotedPrintable;
using detail::TimestampText;

bool IsAscii(std::string_view s) {
  for (char c : s) {
    if (static_cast<unsigned char>(c) >= 0x80)
      return false;
  }
  return true;
}

class CardWriter {
 public:
  explicit CardWriter(VCardVersion version) : version_(version) { out_.reserve(1024); }

  VCardVersion version() const { return version_; }
  bool v21() const { return version_ == VCardVersion::k21; }
  bool v40() const { return version_ == VCardVersion::k40; }

  // A property whose value is already in its written form (escaped, URI, date, ...). In 2.1
  // a value with line breaks, non-ASCII text or too long for one line is written as
  // quoted-printable with CHARSET=UTF-8.
  void Line(std::string_view name, const std::vector<std::string>& params, std::string_view value) {
    std::string head(name);
    for (const auto& p : params) {
      head += ';';
      head += p;
    }
    if (v21()) {
      const bool qp = !IsAscii(value) || value.find('\n') != std::string_view::npos ||
                      head.size() + 1 + value.size() > 75;
      if (qp) {
        head += ";CHARSET=UTF-8;ENCODING=QUOTED-PRINTABLE:";
        out_ += head;
        out_ += QuotedPrintable(std::string(value), head.size());
        return;
      }
      out_ += head;
      out_ += ':';
      out_ += value;
      out_ += "\r\n";
      return;
    }
    head += ':';
    head += value;
    out_ += Fold(head);
  }

  // A text value: cleaned, escaped, left out when empty.
  void Text(std::string_view name, const std::vector<std::string>& params, const std::string& raw) {
    const std::string text = CleanText(raw);
    if (text.empty())
      return;
    Line(name, params, Escape(text, !v21(), !v40()));
  }

  // A structured value (N, ADR, ORG): components escaped and joined with ";". With dropTrailing,
  // empty components at the end are left out. Left out entirely when all are empty and not
  // required.
  void Structured(std::string_view name, const std::vector<std::string>& params,
                  std::initializer_list<const std::string*> parts, bool dropTrailing,
                  bool required = false) {
    std::vector<std::string> cleaned;
    bool any = false;
    for (const auto* p : parts) {
      cleaned.push_back(Escape(CleanText(*p), !v21(), true));
      any = any || !cleaned.back().empty();
    }
    if (!any && !required)
      return;
    size_t count = cleaned.size();
    if (dropTrailing) {
      while (count > 1 && cleaned[count - 1].empty())
        --count;
    }
    std::string value;
    for (size_t i = 0; i < count; ++i) {
      if (i)
        value += ';';
      value += cleaned[i];
    }
    Line(name, params, value);
  }

  // Base64 data in the form of the version (2.1 section 2.1.3 / RFC 2426 section 5.7 / RFC 6350
  // section 6.2.4 data URI).
  void Binary(std::string_view name, std::vector<std::string> params, const std::string& bytes,
              std::string_view mediaType) {
    const std::string data = Base64(bytes);
    if (version_ == VCardVersion::k40) {
      std::string uri = "data:";
      uri += mediaType;
      uri += ";base64,";
      uri += data;
      Line(name, {}, uri);
      return;
    }
    if (version_ == VCardVersion::k30) {
      params.insert(params.begin(), "ENCODING=b");
      Line(name, params, data);
      return;
    }
    // 2.1: the data starts on the next line; every line of it begins with white space and a blank
    // line ends it (section 2.1.3, "BASE64").
    std::string head(name);
    for (const auto& p : params) {
      head += ';';
      head += p;
    }
    head += ";ENCODING=BASE64:\r\n";
    out_ += head;
    constexpr size_t kChunk = 72;
    for (size_t i = 0; i < data.size(); i += kChunk) {
      out_ += ' ';
      out_.append(data, i, kChunk);
      out_ += "\r\n";
    }
    out_ += "\r\n";
  }

  std::string Take() { return std::move(out_); }
  void Raw(std::string_view s) { out_ += s; }

 private:
  VCardVersion version_;
  std::string out_;
};

// Parameter lists per version: 2.1 bare type names (section 2.1.2), 3.0 TYPE with a comma list
// (RFC 2426 section 4, "type-param"), 4.0 TYPE plus PREF=1 (RFC 6350 sections 5.6, 5.3).
std::vector<std::string> Types(VCardVersion v, std::initializer_list<std::string_view> types,
                               bool pref) {
  std::vector<std::string> out;
  if (v == VCardVersion::k21) {
    for (auto t : types) {
      std::string upper(t);
      for (auto& c : upper)
        c = static_cast<char>(c >= 'a' && c <= 'z' ? c - 32 : c);
      out.push_back(upper);
    }
    if (pref)
      out.insert(out.begin() + (out.empty() ? 0 : 1), "PREF");
    return out;
  }
  std::string list;
  for (auto t : types) {
    if (!list.empty())
      list += ',';
    list += t;
  }
  if (v == VCardVersion::k30 && pref)
    list += list.empty() ? "pref" : ",pref";
  if (!list.empty())
    out.push_back("TYPE=" + list);
  if (v == VCardVersion::k40 && pref)
    out.push_back("PREF=1");
  return out;
}

struct PhoneForm {
  PhoneKind kind;
  // The property (TEL, or X-MS-TEL for the fields the standard types do not cover, as MS-OXVCARD
  // section 2.1.3.9.5 names them) and the type lists per version.
  std::string_view name;
  std::initializer_list<std::string_view> t21;
  std::initializer_list<std::string_view> t30;
  std::initializer_list<std::string_view> t40;
  bool pref = false;
};

// RFC 2426 section 3.3.1 and RFC 6350 section 6.4.1 type values; the "textphone" type of 4.0 is
// the TTY/TDD number.
const PhoneForm kPhoneForms[] = {
    {PhoneKind::kPrimary, "TEL", {"voice"}, {"voice"}, {"voice"}, true},
    {PhoneKind::kBusiness, "TEL", {"work", "voice"}, {"work", "voice"}, {"work", "voice"}},
    {PhoneKind::kBusiness2, "TEL", {"work", "voice"}, {"work", "voice"}, {"work", "voice"}},
    {PhoneKind::kHome, "TEL", {"home", "voice"}, {"home", "voice"}, {"home", "voice"}},
    {PhoneKind::kHome2, "TEL", {"home", "voice"}, {"home", "voice"}, {"home", "voice"}},
    {PhoneKind::kMobile, "TEL", {"cell", "voice"}, {"cell", "voice"}, {"cell", "voice"}},
    {PhoneKind::kPager, "TEL", {"pager", "voice"}, {"pager"}, {"pager"}},
    {PhoneKind::kCar, "TEL", {"car", "voice"}, {"car", "voice"}, {"voice"}},
    {PhoneKind::kIsdn, "TEL", {"isdn"}, {"isdn"}, {"voice"}},
    {PhoneKind::kBusinessFax, "TEL", {"work", "fax"}, {"work", "fax"}, {"work", "fax"}},
    {PhoneKind::kHomeFax, "TEL", {"home", "fax"}, {"home", "fax"}, {"home", "fax"}},
    {PhoneKind::kOtherFax, "TEL", {"fax"}, {"fax"}, {"fax"}},
    {PhoneKind::kOther, "TEL", {"voice"}, {"voice"}, {"voice"}},
    {PhoneKind::kAssistant, "X-MS-TEL", {"TYPE=ASSISTANT"}, {"ASSISTANT"}, {"ASSISTANT"}},
    {PhoneKind::kCallback, "X-MS-TEL", {"TYPE=CALLBACK"}, {"CALLBACK"}, {"CALLBACK"}},
    {PhoneKind::kCompanyMain, "X-MS-TEL", {"TYPE=COMPANY"}, {"COMPANY"}, {"COMPANY"}},
    {PhoneKind::kRadio, "X-MS-TEL", {"TYPE=RADIO"}, {"RADIO"}, {"RADIO"}},
    {PhoneKind::kTelex, "X-MS-TEL", {"TYPE=TELEX"}, {"TELEX"}, {"TELEX"}},
    {PhoneKind::kTty, "TEL", {"TYPE=TTYTDD"}, {"textphone"}, {"textphone"}},
};

void WritePhones(CardWriter& w, const Contact& c) {
  for (const auto& form : kPhoneForms) {
    for (const auto& phone : c.phones) {
      if (phone.kind != form.kind)
        continue;
      const std::string number = CleanText(phone.number);
      if (number.empty())
        continue;
      std::vector<std::string> params;
      if (w.v21()) {
        params = Types(w.version(), form.t21, form.pref);
        for (auto& p : params) {
          if (p.rfind("TYPE=", 0) == 0)
            p = "TYPE=" + p.substr(5);  // keep X-MS-TEL's TYPE as is
        }
      } else {
        params =
            Types(w.version(), w.version() == VCardVersion::k30 ? form.t30 : form.t40, form.pref);
      }
      // The TTY/TDD number in 2.1 has no standard type: write it as X-MS-TEL like the others.
      const std::string_view name =
          (form.kind == PhoneKind::kTty && w.v21()) ? std::string_view("X-MS-TEL") : form.name;
      w.Line(name, params, Escape(number, !w.v21(), !w.v40()));
    }
  }
}

void WriteAddress(CardWriter& w, const PostalAddress& a, std::string_view type, bool pref) {
  if (a.Empty())
    return;
  const std::string empty;
  std::vector<std::string> params;
  if (type.empty()) {
    params = Types(w.version(), {}, pref);
  } else {
    params = Types(w.version(), {type}, pref);
  }
  const std::string label = CleanText(a.label);
  if (w.version() == VCardVersion::k40 && !label.empty()) {
    // RFC 6350 section 6.3.1: the delivery label is the LABEL parameter of ADR.
    params.push_back("LABEL=" + QuotedParam(label));
  }
  // RFC 2426 section 3.2.1 / RFC 6350 section 6.3.1: post office box; extended address; street;
  // locality; region; postal code; country.
  w.Structured("ADR", params,
               {&a.poBox, &empty, &a.street, &a.city, &a.region, &a.postalCode, &a.country},
               /*dropTrailing=*/false, /*required=*/true);
  if (w.version() != VCardVersion::k40 && !label.empty()) {
    // RFC 2426 section 3.2.2 / vCard 2.1 section 2.3.2: LABEL with the same types.
    w.Text("LABEL", params, a.label);
  }
}

// The picture's format from its first bytes: the 2.1/3.0 type name and the 4.0 media type.
struct PhotoType {
  std::string_view name;
  std::string_view media;
};
PhotoType DetectPhoto(const std::string& b) {
  auto starts = [&](std::string_view sig) { return b.compare(0, sig.size(), sig) == 0; };
  if (starts("\xFF\xD8\xFF"))
    return {"JPEG", "image/jpeg"};
  if (starts("\x89PNG\r\n\x1A\n"))
    return {"PNG", "image/png"};
  if (starts("GIF87a") || starts("GIF89a"))
    return {"GIF", "image/gif"};
  if (starts("BM"))
    return {"BMP", "image/bmp"};
  if (b.size() >= 12 && b.compare(0, 4, "RIFF") == 0 && b.compare(8, 4, "WEBP") == 0) {
    return {"WEBP", "image/webp"};
  }
  if (starts("II*") || starts("MM\x00*"))
    return {"TIFF", "image/tiff"};
  return {"", "application/octet-stream"};
}

std::string FormattedName(const Contact& c) {
  for (const std::string* s : {&c.displayName, &c.subject, &c.fileAs}) {
    if (!CleanText(*s).empty())
      return *s;
  }
  std::string composed;
  for (const std::string* s : {&c.prefix, &c.givenName, &c.middleName, &c.surname, &c.suffix}) {
    if (s->empty())
      continue;
    if (!composed.empty())
      composed += ' ';
    composed += *s;
  }
  if (composed.empty())
    composed = c.company;
  return composed;
}

}  // namespace

std::string WriteVCard(const Contact& c, VCardVersion v) {
  CardWriter w(v);
  w.Raw("BEGIN:VCARD\r\n");
  // RFC 6350 section 6.7.9: VERSION directly after BEGIN.
  w.Raw(v == VCardVersion::k21   ? "VERSION:2.1\r\n"
        : v == VCardVersion::k30 ? "VERSION:3.0\r\n"
                                 : "VERSION:4.0\r\n");

  // N: family; given; additional; prefixes; suffixes (RFC 2426 section 3.1.2, RFC 6350 section
  // 6.2.2). Required in 2.1 and 3.0; Outlook's 2.1 drops empty trailing parts.
  w.Structured("N", {}, {&c.surname, &c.givenName, &c.middleName, &c.prefix, &c.suffix},
               /*dropTrailing=*/v == VCardVersion::k21, /*required=*/v != VCardVersion::k40);

  // FN: required in 3.0 (RFC 2426 section 3.1.1) and 4.0 (RFC 6350 section 6.2.1).
  const std::string fn = FormattedName(c);
  if (CleanText(fn).empty()) {
    if (v != VCardVersion::k21)
      w.Line("FN", {}, "");
  } else {
    w.Text("FN", {}, fn);
  }
  // NICKNAME: RFC 2426 section 3.1.3 / RFC 6350 section 6.2.3 (2.1 readers take it as well).
  w.Text("NICKNAME", {}, c.nickname);

  // ORG: organisation name; unit (RFC 2426 section 3.5.5).
  w.Structured("ORG", {}, {&c.company, &c.department}, /*dropTrailing=*/true);
  w.Text("TITLE", {}, c.jobTitle);   // RFC 2426 section 3.5.1
  w.Text("ROLE", {}, c.profession);  // RFC 2426 section 3.5.2
  w.Text("NOTE", {}, c.notes);       // RFC 2426 section 3.6.2

  WritePhones(w, c);

  // ADR and LABEL: the mailing address carries the preference.
  WriteAddress(w, c.work, "work", c.mailing == MailingAddress::kWork);
  WriteAddress(w, c.home, "home", c.mailing == MailingAddress::kHome);
  WriteAddress(w, c.other, v == VCardVersion::k40 ? "" : "postal",
               c.mailing == MailingAddress::kOther);
  if (c.mailing != MailingAddress::kNone) {
    w.Line("X-MS-OL-DEFAULT-POSTAL-ADDRESS", {}, std::to_string(static_cast<int>(c.mailing)));
  }

  // URL: RFC 2426 section 3.6.8 / RFC 6350 section 6.7.8; a URI, not escaped.
  for (const auto& [url, type] :
       {std::pair{&c.businessHomePage, "work"}, std::pair{&c.personalHomePage, "home"}}) {
    const std::string u = CleanText(*url);
    if (u.empty() || u.find('\n') != std::string::npos)
      continue;
    w.Line("URL", Types(v, {type}, false), u);
  }

  // BDAY: RFC 2426 section 3.1.5 / RFC 6350 section 6.2.5; ANNIVERSARY: RFC 6350 section 6.2.6,
  // X-MS-ANNIVERSARY before 4.0.
  if (c.birthday)
    w.Line("BDAY", {}, DateText(*c.birthday, v));
  if (c.anniversary) {
    w.Line(v == VCardVersion::k40 ? "ANNIVERSARY" : "X-MS-ANNIVERSARY", {},
           DateText(*c.anniversary, v));
  }

  // EMAIL: RFC 2426 section 3.3.2 / RFC 6350 section 6.4.2; the first address is preferred.
  bool first = true;
  for (const auto& e : c.emails) {
    const std::string addr = CleanText(e);
    if (addr.empty())
      continue;
    std::vector<std::string> params =
        v == VCardVersion::k40 ? Types(v, {}, first) : Types(v, {"internet"}, first);
    w.Line("EMAIL", params, Escape(addr, !w.v21(), !w.v40()));
    first = false;
  }

  // IM: X-MS-IMADDRESS before 4.0 (MS-OXVCARD), IMPP with a URI in 4.0 (RFC 6350 section 6.4.3).
  if (const std::string im = CleanText(c.imAddress); !im.empty()) {
    if (v == VCardVersion::k40) {
      const bool hasScheme = im.find(':') != std::string::npos;
      w.Line("IMPP", {}, hasScheme ? im : "sip:" + im);
    } else {
      w.Text("X-MS-IMADDRESS", {}, im);
    }
  }

  // PHOTO: RFC 2426 section 3.1.4 / RFC 6350 section 6.2.4.
  if (!c.photo.empty()) {
    const PhotoType type = DetectPhoto(c.photo);
    std::vector<std::string> params;
    if (!type.name.empty())
      params.push_back("TYPE=" + std::string(type.name));
    w.Binary("PHOTO", params, c.photo, type.media);
  }

  // CATEGORIES: a comma-separated list (RFC 2426 section 3.6.1 / RFC 6350 section 6.7.1).
  std::string categories;
  for (const auto& cat : c.categories) {
    const std::string clean = CleanText(cat);
    if (clean.empty())
      continue;
    if (!categories.empty())
      categories += ',';
    std::string escaped = Escape(clean, !w.v21(), !w.v40());
    categories += escaped;
  }
  if (!categories.empty())
    w.Line("CATEGORIES", {}, categories);

  if (c.lastModified)
    w.Line("REV", {}, TimestampText(*c.lastModified, v));

  w.Raw("END:VCARD\r\n");
  return w.Take();
}

}  // namespace tarnvex::vcard
