#include "vcard/writer.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <initializer_list>
#include <string_view>

#include "text/utf.h"

namespace tarnvex::vcard {
namespace detail {

void CleanTextInto(std::string& out, std::string_view input) {
  out.reserve(out.size() + input.size());
  for (size_t i = 0; i < input.size();) {
    // Printable ASCII and well-formed sequences beyond it, the common case, in runs.
    size_t j = i;
    while (j < input.size()) {
      const auto c = static_cast<unsigned char>(input[j]);
      if (c >= 0x20 && c < 0x7F) {
        ++j;
      } else if (const size_t n = c >= 0x80 ? text::Utf8SequenceLength(input, j) : 0; n != 0) {
        j += n;
      } else {
        break;
      }
    }
    out.append(input, i, j - i);
    i = j;
    if (i == input.size())
      break;
    const char c = input[i];
    if (c == '\r') {
      out += '\n';
      i += (i + 1 < input.size() && input[i + 1] == '\n') ? 2 : 1;
      continue;
    }
    if (c == '\n' || c == '\t')
      out += c;
    else if (static_cast<unsigned char>(c) >= 0x80)
      text::AppendUtf8(out, text::kReplacementCharacter);
    ++i;  // other control characters are dropped
  }
}

std::string CleanText(const std::string& input) {
  std::string out;
  CleanTextInto(out, input);
  return out;
}

namespace {

constexpr char kHex[] = "0123456789ABCDEF";

// RFC 6350 section 3.2 (and RFC 2425 section 5.8.1 for 3.0): lines longer than 75 octets are
// folded by inserting CRLF and a single space; multi-octet characters are not split. Appends the
// pieces of one logical line, folding as it goes. A fold is moved back a few characters of ASCII
// rather than leave a space or tab at either end of a physical line (readers that trim lines, or
// take a line of white space for a blank one, would lose them) or part a backslash or an RFC 6868
// caret from the character it escapes.
class Folder {
 public:
  explicit Folder(std::string& out) : out_(out), lineStart_(out.size()) {}

  void Put(std::string_view s) {
    for (size_t i = 0; i < s.size();) {
      // A run of ASCII that fits on the line.
      const size_t limit = std::min(s.size(), i + (kMax - width_));
      size_t j = i;
      while (j < limit && static_cast<unsigned char>(s[j]) < 0x80)
        ++j;
      out_.append(s, i, j - i);
      width_ += j - i;
      i = j;
      if (i == s.size())
        break;
      // A byte that starts no well-formed sequence stands alone.
      const size_t n = static_cast<unsigned char>(s[i]) < 0x80
                           ? 1
                           : std::max<size_t>(text::Utf8SequenceLength(s, i), 1);
      if (width_ + n > kMax) {
        Fold(s[i], /*moveBack=*/true);
        if (width_ + n > kMax)
          Fold(s[i], /*moveBack=*/false);
      }
      out_.append(s, i, n);
      width_ += n;
      i += n;
    }
  }

  void End() { out_ += "\r\n"; }

 private:
  static constexpr size_t kMax = 75;

  static bool IsBlank(char c) { return c == ' ' || c == '\t'; }

  // Whether a fold before out_[at] (or before `next`, still to come, when `at` is the end)
  // leaves white space at a line's end or start or parts an escape.
  bool BadFold(size_t at, char next) const {
    const char c = at == out_.size() ? next : out_[at];
    if (IsBlank(c) || (at > lineStart_ && IsBlank(out_[at - 1])))
      return true;
    // An odd run of backslashes (text escapes) or carets (RFC 6868 parameter escapes) before the
    // fold: the last one escapes the character after it.
    if (at == lineStart_ || (out_[at - 1] != '\\' && out_[at - 1] != '^'))
      return false;
    const char escape = out_[at - 1];
    size_t run = 0;
    for (size_t k = at; k > lineStart_ && out_[k - 1] == escape; --k)
      ++run;
    return run % 2 == 1;
  }

  void Fold(char next, bool moveBack) {
    size_t at = out_.size();
    if (moveBack) {
      while (BadFold(at, next) && at > lineStart_ + 1 &&
             static_cast<unsigned char>(out_[at - 1]) < 0x80) {
        --at;
      }
      if (BadFold(at, next))
        at = out_.size();
    }
    out_.insert(at, "\r\n ");
    lineStart_ = at + 3;
    width_ = 1 + (out_.size() - lineStart_);
  }

  std::string& out_;
  size_t lineStart_;  // where the current physical line's text starts in out_
  size_t width_ = 0;  // octets on the current physical line
};

}  // namespace

std::string Fold(const std::string& line) {
  std::string out;
  out.reserve(line.size() + line.size() / 75 * 3 + 2);
  Folder f(out);
  f.Put(line);
  f.End();
  return out;
}

// How quoted-printable writes each byte, and the most bytes that takes: as it is (1), as "=XX"
// (3), a space or tab as it is except in two places (3), a line break as "=0D=0A" and a soft break
// (9).
enum class QpForm : uint8_t { kAsIs, kEncoded, kBlank, kLineBreak };
struct QpByte {
  QpForm form;
  uint8_t most;
  char hex[2];
};
constexpr auto kQpBytes = [] {
  std::array<QpByte, 256> bytes{};
  for (int c = 0; c < 256; ++c) {
    const char hex[2] = {kHex[c >> 4], kHex[c & 0xF]};
    if (c > 32 && c < 127 && c != '=')
      bytes[c] = {QpForm::kAsIs, 1, {hex[0], hex[1]}};
    else
      bytes[c] = {QpForm::kEncoded, 3, {hex[0], hex[1]}};
  }
  bytes[' '].form = bytes['\t'].form = QpForm::kBlank;
  bytes['\n'] = {QpForm::kLineBreak, 9, {'0', 'A'}};
  return bytes;
}();

// vCard 2.1 section 2.1.3 with RFC 2045 section 6.7, in the form Outlook writes: a soft line break
// right after each encoded line break and nowhere else. RFC 2045's 76 columns are not kept: a
// break inside a line is what makes readers that unfold 2.1 lines the way RFC 2425 does (or not
// at all) show "=" in the text, and Outlook's own cards never break a line of the value.
void QuotedPrintableInto(std::string& out, std::string_view value) {
  // Notes in other scripts encode nearly every byte, so the bytes are put in place rather than
  // appended one by one, into room for the most they can take.
  size_t most = 2;  // the final CRLF
  for (const char c : value)
    most += kQpBytes[static_cast<unsigned char>(c)].most;
  const size_t start = out.size();
  out.resize(start + most);
  char* p = out.data() + start;
  const auto encode = [&](const QpByte& b) {
    p[0] = '=';
    p[1] = b.hex[0];
    p[2] = b.hex[1];
    p += 3;
  };
  bool lineStart = false;  // right after a soft line break
  for (size_t i = 0; i < value.size(); ++i) {
    const char c = value[i];
    const QpByte& b = kQpBytes[static_cast<unsigned char>(c)];
    switch (b.form) {
      case QpForm::kAsIs:
        *p++ = c;
        break;
      case QpForm::kEncoded:
        encode(b);
        break;
      case QpForm::kBlank:
        // Encoded where a reader would lose it: first on a physical line after a soft break, or
        // last in the value.
        if (lineStart || i + 1 == value.size())
          encode(b);
        else
          *p++ = c;
        break;
      case QpForm::kLineBreak:
        p = std::copy_n("=0D=0A=\r\n", i + 1 == value.size() ? 6 : 9, p);
        lineStart = i + 1 < value.size();
        continue;
    }
    lineStart = false;
  }
  p = std::copy_n("\r\n", 2, p);
  out.resize(static_cast<size_t>(p - out.data()));
}

std::string QuotedPrintable(std::string_view value) {
  std::string out;
  QuotedPrintableInto(out, value);
  return out;
}

void Base64Into(std::string& out, std::string_view bytes) {
  static const char kTable[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  const size_t start = out.size();
  out.resize(start + (bytes.size() + 2) / 3 * 4);
  char* p = out.data() + start;
  const auto byte = [&](size_t i) {
    return static_cast<uint32_t>(static_cast<unsigned char>(bytes[i]));
  };
  size_t i = 0;
  for (; i + 3 <= bytes.size(); i += 3) {
    const uint32_t v = byte(i) << 16 | byte(i + 1) << 8 | byte(i + 2);
    p[0] = kTable[(v >> 18) & 63];
    p[1] = kTable[(v >> 12) & 63];
    p[2] = kTable[(v >> 6) & 63];
    p[3] = kTable[v & 63];
    p += 4;
  }
  if (i < bytes.size()) {
    const bool two = i + 1 < bytes.size();
    const uint32_t v = byte(i) << 16 | (two ? byte(i + 1) << 8 : 0);
    p[0] = kTable[(v >> 18) & 63];
    p[1] = kTable[(v >> 12) & 63];
    p[2] = two ? kTable[(v >> 6) & 63] : '=';
    p[3] = '=';
  }
}

std::string Base64(const std::string& bytes) {
  std::string out;
  Base64Into(out, bytes);
  return out;
}

// Text escaping. RFC 2426 section 4 (escaped-char) and RFC 6350 section 3.4: backslash, comma
// and semicolon are escaped, a line break becomes "\n"; in 4.0 a semicolon is escaped only inside
// the components of a structured value (RFC 6350 section 3.3, "component").
//
// vCard 2.1 (section 2.1.3) knows one escape: "\;" for a semicolon inside a component of a
// compound value (N, ADR, ORG) or a parameter value. Commas and semicolons elsewhere are text,
// and line breaks are carried by quoted-printable. A backslash is written "\\": 2.1 gives a
// backslash no other meaning, but a component ending in one would otherwise escape the
// separator after it, and the readers of today (ez-vcard, vobject) drop a lone backslash as an
// escape. The items of CATEGORIES and NICKNAME, lists 2.1 does not define and takes from
// RFC 2426 with their list syntax, keep "\," for a comma inside an item: no other form keeps the
// item whole.
void EscapeInto(std::string& out, std::string_view text, VCardVersion version, ValueKind kind) {
  const bool v21 = version == VCardVersion::k21;
  const bool comma = !v21 || kind == ValueKind::kListItem;
  const bool semicolon = v21 ? kind == ValueKind::kComponent
                             : (kind == ValueKind::kComponent || version == VCardVersion::k30);
  out.reserve(out.size() + text.size() + 8);
  size_t i = 0;
  while (i < text.size()) {
    size_t j = i;
    while (j < text.size() && text[j] != '\\' && text[j] != ',' && text[j] != ';' &&
           text[j] != '\n')
      ++j;
    out.append(text, i, j - i);
    if (j == text.size())
      break;
    switch (text[j]) {
      case '\\':
        out += "\\\\";
        break;
      case ',':
        out += comma ? "\\," : ",";
        break;
      case ';':
        out += semicolon ? "\\;" : ";";
        break;
      default:  // '\n'
        out += v21 ? "\n" : "\\n";
        break;
    }
    i = j + 1;
  }
}

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
void QuotedParamInto(std::string& out, std::string_view text) {
  out += '"';
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
}

std::string QuotedParam(const std::string& text) {
  std::string out;
  QuotedParamInto(out, text);
  return out;
}

namespace {

// `value` in at least `width` characters, zeros before it, as printf's "%0*d" writes it: the
// time stamp of every card is written, and snprintf took a few percent of forming one.
void PutPadded(std::string& out, int value, std::size_t width) {
  char digits[16];
  const char* end = std::to_chars(digits, digits + sizeof digits, value).ptr;
  std::string_view text(digits, static_cast<std::size_t>(end - digits));
  if (value < 0) {
    out += '-';
    text.remove_prefix(1);
    --width;
  }
  if (text.size() < width)
    out.append(width - text.size(), '0');
  out += text;
}

void PutDate(std::string& out, const Date& d, bool extended) {
  PutPadded(out, d.year, 4);
  if (extended)
    out += '-';
  PutPadded(out, d.month, 2);
  if (extended)
    out += '-';
  PutPadded(out, d.day, 2);
}

}  // namespace

// Dates: RFC 2426 section 3.1.5 (ISO 8601 "1996-04-15"), vCard 2.1 section 2.2.4 and RFC 6350
// section 4.3.1 (basic form "19960415").
std::string DateText(const Date& d, VCardVersion v) {
  std::string text;
  PutDate(text, d, v == VCardVersion::k30);
  return text;
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
  const bool extended = v == VCardVersion::k30;
  std::string text;
  PutDate(text, DateOfDay(days), extended);
  text += 'T';
  PutPadded(text, static_cast<int>(second / 3600), 2);
  if (extended)
    text += ':';
  PutPadded(text, static_cast<int>(second / 60 % 60), 2);
  if (extended)
    text += ':';
  PutPadded(text, static_cast<int>(second % 60), 2);
  text += 'Z';
  return text;
}

}  // namespace detail

namespace {

using detail::Base64Into;
using detail::CleanTextInto;
using detail::DateText;
using detail::EscapeInto;
using detail::Folder;
using detail::QuotedParamInto;
using detail::QuotedPrintableInto;
using detail::TimestampText;
using detail::ValueKind;

bool IsAscii(std::string_view s) {
  for (char c : s) {
    if (static_cast<unsigned char>(c) >= 0x80)
      return false;
  }
  return true;
}

// The buffers values are cleaned, escaped and encoded in, kept by each thread from card to card.
struct CardScratch {
  std::string clean, value, params, encoded;

  // What a card with a large picture or note grew them to is not kept for the cards after it.
  void Trim() {
    constexpr size_t kKept = 64 * 1024;
    for (std::string* buffer : {&clean, &value, &params, &encoded}) {
      if (buffer->capacity() > kKept)
        std::string().swap(*buffer);
    }
  }
};

// Writes one card into a string. Values are cleaned and escaped into buffers kept from card to
// card, so a card costs no allocation per property beyond the card's own text.
class CardWriter {
 public:
  CardWriter(const CardForm& form, uint32_t codePage, std::string& out, CardScratch& scratch)
      : form_(form),
        codePage_(codePage),
        out_(out),
        clean_(scratch.clean),
        value_(scratch.value),
        params_(scratch.params),
        encoded_(scratch.encoded) {}

  VCardVersion version() const { return form_.version; }
  bool v21() const { return form_.version == VCardVersion::k21; }
  bool v30() const { return form_.version == VCardVersion::k30; }
  bool v40() const { return form_.version == VCardVersion::k40; }

  // A property whose value is already in its written form (escaped, URI, date, ...). `params`
  // is empty or ";"-separated parameters beginning with ";". 3.0 and 4.0 fold the line; 2.1
  // writes it as Line21 says.
  void Line(std::string_view name, std::string_view params, std::string_view value) {
    if (v21()) {
      Line21(name, params, value);
      return;
    }
    Folder f(out_);
    f.Put(name);
    f.Put(params);
    f.Put(":");
    f.Put(value);
    f.End();
  }

  // The cleaned form of a text; valid until the next call.
  const std::string& Clean(const std::string& raw) {
    clean_.clear();
    CleanTextInto(clean_, raw);
    return clean_;
  }

  // A text value: cleaned, escaped, left out when empty. `kind` kListItem for a list property
  // that holds one item.
  void Text(std::string_view name, std::string_view params, const std::string& raw,
            ValueKind kind = ValueKind::kText) {
    if (Clean(raw).empty())
      return;
    value_.clear();
    EscapeInto(value_, clean_, version(), kind);
    Line(name, params, value_);
  }

  // A structured value (N, ADR, ORG): components escaped and joined with ";". With dropTrailing,
  // empty components at the end are left out. Left out entirely when all are empty and not
  // required.
  void Structured(std::string_view name, std::string_view params,
                  std::initializer_list<const std::string*> parts, bool dropTrailing,
                  bool required = false) {
    value_.clear();
    size_t end = 0;  // the value's length after its last non-empty component
    bool any = false;
    bool firstPart = true;
    for (const auto* p : parts) {
      if (!firstPart)
        value_ += ';';
      firstPart = false;
      if (!Clean(*p).empty()) {
        EscapeInto(value_, clean_, version(), ValueKind::kComponent);
        end = value_.size();
        any = true;
      }
    }
    if (!any && !required)
      return;
    if (dropTrailing)
      value_.resize(end);
    Line(name, params, value_);
  }

  // Base64 data in the form of the version (2.1 section 2.1.3 / RFC 2426 section 5.7 / RFC 6350
  // section 6.2.4 data URI, VALUE=uri). `typeParams` are the 2.1/3.0 parameters that say what the
  // data is
  // (";TYPE=JPEG", 2.1's ";X509"; empty when unknown).
  void Binary(std::string_view name, std::string_view typeParams, std::string_view mediaType,
              std::string_view bytes) {
    value_.clear();
    if (v40()) {
      value_ += "data:";
      value_ += mediaType;
      value_ += ";base64,";
      Base64Into(value_, bytes);
      // VALUE=uri, the default, said all the same: Evolution 3.46 and KContacts 5.103 keep a data
      // URI only when it is marked so; unmarked they drop the picture.
      Line(name, ";VALUE=uri", value_);
      return;
    }
    Base64Into(value_, bytes);
    if (v30()) {
      params_.assign(";ENCODING=b");
      params_ += typeParams;
      Line(name, params_, value_);
      return;
    }
    // 2.1 as Outlook writes it: the data starts on the next line, in lines of one space and 72
    // characters, and an empty line ends it (section 2.1.3, "BASE64").
    out_ += name;
    out_ += typeParams;
    out_ += ";ENCODING=BASE64:\r\n";
    constexpr size_t kChunk = 72;
    for (size_t i = 0; i < value_.size(); i += kChunk) {
      out_ += ' ';
      out_.append(value_, i, kChunk);
      out_ += "\r\n";
    }
    out_ += "\r\n";
  }

  void Raw(std::string_view s) { out_ += s; }

  // Buffers for callers that compose a value or parameters themselves.
  std::string& ValueBuffer() {
    value_.clear();
    return value_;
  }
  std::string& ParamsBuffer() {
    params_.clear();
    return params_;
  }

 private:
  // vCard 2.1 as Outlook writes it: never folded; a value that holds a line break is
  // quoted-printable, any other stands as it is, however long. Text beyond ASCII is raw bytes
  // with a CHARSET parameter before ENCODING; ASCII names no charset, except on a multi-line
  // NOTE, which Outlook marks "us-ascii".
  void Line21(std::string_view name, std::string_view params, std::string_view value) {
    const bool multiLine = value.find('\n') != std::string_view::npos;
    std::string_view bytes = value;
    std::string_view charset;
    if (!IsAscii(value)) {
      charset = Encode(value, bytes);
    } else if (multiLine && name == "NOTE") {
      charset = "us-ascii";
    }
    out_ += name;
    out_ += params;
    if (!charset.empty()) {
      out_ += ";CHARSET=";
      out_ += charset;
    }
    if (multiLine) {
      out_ += ";ENCODING=QUOTED-PRINTABLE:";
      QuotedPrintableInto(out_, bytes);
      return;
    }
    out_ += ':';
    out_ += bytes;
    out_ += "\r\n";
  }

  // The bytes of a text beyond ASCII in the card's charset, and that charset's name.
  std::string_view Encode(std::string_view utf8, std::string_view& bytes) {
    if (form_.charset == Charset::kOutlook && form_.encoder) {
      const std::string_view name = CharsetName(codePage_);
      if (!name.empty()) {
        if (std::optional<std::string> encoded = form_.encoder->Encode(utf8, codePage_)) {
          encoded_ = std::move(*encoded);
          bytes = encoded_;
          return name;
        }
      }
    }
    return "UTF-8";
  }

  const CardForm& form_;
  uint32_t codePage_;
  std::string& out_;
  std::string& clean_;
  std::string& value_;
  std::string& params_;
  std::string& encoded_;
};

// Parameters of one property in each version: 2.1 bare type names (section 2.1.2), 3.0 TYPE with
// a comma list (RFC 2426 section 4, "type-param"), 4.0 TYPE plus PREF=1 (RFC 6350 sections 5.6,
// 5.3). Each begins with ";" or is empty.
struct Params {
  std::string_view v21;
  std::string_view v30;
  std::string_view v40;

  std::string_view For(VCardVersion v) const {
    return v == VCardVersion::k21 ? v21 : v == VCardVersion::k30 ? v30 : v40;
  }
};

struct PhoneForm {
  PhoneKind kind;
  // The property in each version: TEL, or X-MS-TEL for the numbers the standard types do not
  // cover (MS-OXVCARD section 2.1.3.9.5); empty where the version carries no such number.
  std::string_view name21;
  std::string_view name30;
  std::string_view name40;
  Params params;
};

// vCard 2.1 section 2.4.1.1, RFC 2426 section 3.3.1 and RFC 6350 section 6.4.1 type values, and
// MS-OXVCARD's X-MS-TEL types (section 2.1.3.9.5), in 2.1 as Outlook writes them: bare type
// names, VOICE first ("X-MS-TEL;VOICE;CALLBACK"). RFC 6350 lists no type for car and ISDN
// numbers; they keep RFC 2426's "car" and "isdn" (type tokens RFC 6350's grammar takes, and that
// MS-OXVCARD's TEL table names), so that a reader still tells them from other voice numbers. The
// TTY/TDD number is "textphone" in 4.0 (RFC 6350 section 6.4.1). The numbers no standard type
// covers are MS-OXVCARD's X-MS-TEL in 2.1, as Outlook writes them; in 3.0 and 4.0 they are TEL
// with an x-name type (RFC 2426 and RFC 6350 allow them), since no address book people move to
// maps X-MS-TEL and every one keeps a TEL. MS-OXVCARD has no telex type, and no Outlook card
// shows one: 2.1 leaves the telex number out.
constexpr PhoneForm kPhoneForms[] = {
    {PhoneKind::kPrimary,
     "TEL",
     "TEL",
     "TEL",
     {";VOICE;PREF", ";TYPE=voice,pref", ";TYPE=voice;PREF=1"}},
    {PhoneKind::kBusiness,
     "TEL",
     "TEL",
     "TEL",
     {";WORK;VOICE", ";TYPE=work,voice", ";TYPE=work,voice"}},
    {PhoneKind::kBusiness2,
     "TEL",
     "TEL",
     "TEL",
     {";WORK;VOICE", ";TYPE=work,voice", ";TYPE=work,voice"}},
    {PhoneKind::kHome,
     "TEL",
     "TEL",
     "TEL",
     {";HOME;VOICE", ";TYPE=home,voice", ";TYPE=home,voice"}},
    {PhoneKind::kHome2,
     "TEL",
     "TEL",
     "TEL",
     {";HOME;VOICE", ";TYPE=home,voice", ";TYPE=home,voice"}},
    {PhoneKind::kMobile,
     "TEL",
     "TEL",
     "TEL",
     {";CELL;VOICE", ";TYPE=cell,voice", ";TYPE=cell,voice"}},
    {PhoneKind::kPager, "TEL", "TEL", "TEL", {";PAGER;VOICE", ";TYPE=pager", ";TYPE=pager"}},
    {PhoneKind::kCar, "TEL", "TEL", "TEL", {";CAR;VOICE", ";TYPE=car,voice", ";TYPE=car,voice"}},
    {PhoneKind::kIsdn, "TEL", "TEL", "TEL", {";ISDN", ";TYPE=isdn", ";TYPE=isdn"}},
    {PhoneKind::kBusinessFax,
     "TEL",
     "TEL",
     "TEL",
     {";WORK;FAX", ";TYPE=work,fax", ";TYPE=work,fax"}},
    {PhoneKind::kHomeFax, "TEL", "TEL", "TEL", {";HOME;FAX", ";TYPE=home,fax", ";TYPE=home,fax"}},
    {PhoneKind::kOtherFax, "TEL", "TEL", "TEL", {";FAX", ";TYPE=fax", ";TYPE=fax"}},
    {PhoneKind::kOther, "TEL", "TEL", "TEL", {";VOICE", ";TYPE=voice", ";TYPE=voice"}},
    {PhoneKind::kAssistant,
     "X-MS-TEL",
     "TEL",
     "TEL",
     {";VOICE;ASSISTANT", ";TYPE=x-assistant", ";TYPE=x-assistant"}},
    {PhoneKind::kCallback,
     "X-MS-TEL",
     "TEL",
     "TEL",
     {";VOICE;CALLBACK", ";TYPE=x-callback", ";TYPE=x-callback"}},
    {PhoneKind::kCompanyMain,
     "X-MS-TEL",
     "TEL",
     "TEL",
     {";VOICE;COMPANY", ";TYPE=x-company", ";TYPE=x-company"}},
    {PhoneKind::kRadio,
     "X-MS-TEL",
     "TEL",
     "TEL",
     {";VOICE;RADIO", ";TYPE=x-radio", ";TYPE=x-radio"}},
    {PhoneKind::kTelex, "", "TEL", "TEL", {"", ";TYPE=x-telex", ";TYPE=x-telex"}},
    {PhoneKind::kTty,
     "X-MS-TEL",
     "TEL",
     "TEL",
     {";VOICE;TTYTDD", ";TYPE=x-ttytdd", ";TYPE=textphone"}},
};

void WritePhones(CardWriter& w, const Contact& c) {
  const VCardVersion v = w.version();
  for (const auto& form : kPhoneForms) {
    const std::string_view name = v == VCardVersion::k21   ? form.name21
                                  : v == VCardVersion::k30 ? form.name30
                                                           : form.name40;
    if (name.empty())
      continue;
    for (const auto& phone : c.phones) {
      if (phone.kind == form.kind)
        w.Text(name, form.params.For(v), phone.number);
    }
  }
}

// ADR types (vCard 2.1 section 2.3.1.1, RFC 2426 section 3.2.1, RFC 6350 section 6.3.1); the
// mailing address carries the preference. The other address is "postal" before 4.0, which has
// no such type.
constexpr Params kWorkAddress{";WORK", ";TYPE=work", ";TYPE=work"};
constexpr Params kWorkAddressPref{";WORK;PREF", ";TYPE=work,pref", ";TYPE=work;PREF=1"};
constexpr Params kHomeAddress{";HOME", ";TYPE=home", ";TYPE=home"};
constexpr Params kHomeAddressPref{";HOME;PREF", ";TYPE=home,pref", ";TYPE=home;PREF=1"};
constexpr Params kOtherAddress{";POSTAL", ";TYPE=postal", ""};
constexpr Params kOtherAddressPref{";POSTAL;PREF", ";TYPE=postal,pref", ";PREF=1"};

// An address and its label. `extended` is the extended-address component: the office for the
// work address, as Outlook writes it ("ADR;WORK;PREF:;TheOffice;222 Broadway;..."), so that an
// office alone makes a work address.
void WriteAddress(CardWriter& w, const PostalAddress& a, const Params& params,
                  const std::string& extended = {}) {
  if (a.Empty() && w.Clean(extended).empty())
    return;
  std::string_view p = params.For(w.version());
  const bool label = !w.Clean(a.label).empty();
  if (w.v40() && label) {
    // RFC 6350 section 6.3.1: the delivery label is the LABEL parameter of ADR.
    std::string& composed = w.ParamsBuffer();
    composed += p;
    composed += ";LABEL=";
    QuotedParamInto(composed, w.Clean(a.label));
    p = composed;
  }
  // RFC 2426 section 3.2.1 / RFC 6350 section 6.3.1: post office box; extended address; street;
  // locality; region; postal code; country.
  w.Structured("ADR", p,
               {&a.poBox, &extended, &a.street, &a.city, &a.region, &a.postalCode, &a.country},
               /*dropTrailing=*/false, /*required=*/true);
  if (!w.v40() && label) {
    // RFC 2426 section 3.2.2 / vCard 2.1 section 2.3.2: LABEL with the same types.
    w.Text("LABEL", params.For(w.version()), a.label);
  }
}

// The picture's format from its first bytes: the 2.1/3.0 type name and the 4.0 media type.
struct PictureType {
  std::string_view name;
  std::string_view media;
};
PictureType DetectPicture(const std::string& b) {
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

void WritePicture(CardWriter& w, std::string_view name, const std::string& bytes) {
  if (bytes.empty())
    return;
  const PictureType type = DetectPicture(bytes);
  std::string params;
  if (!type.name.empty())
    params = ";TYPE=" + std::string(type.name);
  w.Binary(name, params, type.media, bytes);
}

// The contact's certificates: KEY (vCard 2.1 section 2.7.2 "KEY;X509", RFC 2426 section 3.7.2
// TYPE=X509, RFC 6350 section 6.8.1 with a data URI of an X.509 certificate's media type).
void WriteCertificates(CardWriter& w, const Contact& c) {
  for (const auto& certificate : c.certificates) {
    if (!certificate.empty())
      w.Binary("KEY", w.v21() ? ";X509" : ";TYPE=X509", "application/pkix-cert", certificate);
  }
}

std::string FormattedName(const Contact& c) {
  for (const std::string* s : {&c.displayName, &c.subject, &c.fileAs}) {
    if (!detail::CleanText(*s).empty())
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

// The people a contact names. MS-OXVCARD section 2.1.3.9.8 (X-MS-MANAGER;N), 2.1.3.9.9
// (X-MS-ASSISTANT;N), and its X-MS-SPOUSE;N and X-MS-CHILD. Outlook's own 2.1 cards write them
// without the N parameter; 3.0 writes it TYPE=N, the form of MS-OXVCARD's own example (section
// 3.2). 4.0 has RELATED (RFC 6350 section 6.6.6) with the types "spouse", "child" and "agent" (a
// person who acts for the contact: the assistant), text values with VALUE=text; it has no type
// for a manager, who keeps the X-MS-MANAGER form.
void WritePeople(CardWriter& w, const Contact& c) {
  const VCardVersion v = w.version();
  constexpr Params kName{"", ";TYPE=N", ";TYPE=N"};
  w.Text("X-MS-MANAGER", kName.For(v), c.managerName);
  if (w.v40()) {
    w.Text("RELATED", ";TYPE=agent;VALUE=text", c.assistantName);
    w.Text("RELATED", ";TYPE=spouse;VALUE=text", c.spouseName);
    for (const auto& child : c.children)
      w.Text("RELATED", ";TYPE=child;VALUE=text", child);
    return;
  }
  w.Text("X-MS-ASSISTANT", kName.For(v), c.assistantName);
  w.Text("X-MS-SPOUSE", kName.For(v), c.spouseName);
  for (const auto& child : c.children)
    w.Text("X-MS-CHILD", {}, child);
}

// A URI property (URL, FBURL: RFC 2426 sections 3.6.8 and RFC 2739, RFC 6350 sections 6.7.8 and
// 6.9.1), not escaped; left out when empty or when it holds a line break, which no URI does.
void WriteUri(CardWriter& w, std::string_view name, std::string_view params,
              const std::string& raw) {
  const std::string& uri = w.Clean(raw);
  if (uri.empty() || uri.find('\n') != std::string::npos)
    return;
  w.Line(name, params, uri);
}

// Names, organisation and the note, in the order of Outlook's cards.
void WriteIdentity(CardWriter& w, const Contact& c) {
  const VCardVersion v = w.version();
  // N: family; given; additional; prefixes; suffixes (RFC 2426 section 3.1.2, RFC 6350 section
  // 6.2.2). Required in 2.1 and 3.0; Outlook's 2.1 drops empty trailing parts.
  w.Structured("N", {}, {&c.surname, &c.givenName, &c.middleName, &c.prefix, &c.suffix},
               /*dropTrailing=*/w.v21(), /*required=*/!w.v40());

  // FN: required in 3.0 (RFC 2426 section 3.1.1) and 4.0 (RFC 6350 section 6.2.1).
  const std::string fn = FormattedName(c);
  if (w.Clean(fn).empty()) {
    if (v != VCardVersion::k21)
      w.Line("FN", {}, "");
  } else {
    w.Text("FN", {}, fn);
  }
  // NICKNAME: RFC 2426 section 3.1.3 / RFC 6350 section 6.2.3 (2.1 readers take it as well), a
  // list of which the contact's nickname is one item.
  w.Text("NICKNAME", {}, c.nickname, ValueKind::kListItem);
  // Initials and the office: no vCard version has a property for them. Outlook's 2.1 writes
  // neither (the office goes into the work address); 3.0 and 4.0 keep both.
  if (!w.v21())
    w.Text("X-INITIALS", {}, c.initials);

  // ORG: organisation name; unit (RFC 2426 section 3.5.5).
  w.Structured("ORG", {}, {&c.company, &c.department}, /*dropTrailing=*/true);
  w.Text("TITLE", {}, c.jobTitle);  // RFC 2426 section 3.5.1
  if (!w.v21())
    w.Text("X-OFFICE-LOCATION", {}, c.officeLocation);
  w.Text("NOTE", {}, c.notes);  // RFC 2426 section 3.6.2
}

void WriteAddresses(CardWriter& w, const Contact& c) {
  WriteAddress(w, c.work, c.mailing == MailingAddress::kWork ? kWorkAddressPref : kWorkAddress,
               c.officeLocation);
  WriteAddress(w, c.home, c.mailing == MailingAddress::kHome ? kHomeAddressPref : kHomeAddress);
  WriteAddress(w, c.other, c.mailing == MailingAddress::kOther ? kOtherAddressPref : kOtherAddress);
  if (c.mailing != MailingAddress::kNone) {
    const char id[2] = {static_cast<char>('0' + static_cast<int>(c.mailing)), '\0'};
    w.Line("X-MS-OL-DEFAULT-POSTAL-ADDRESS", {}, id);
  }
}

// Gender: GENDER in 4.0 (RFC 6350 section 6.2.7, sex "F" or "M"); before it the form Outlook and
// the Windows address book write, X-WAB-GENDER with PidTagGender's number (1 female, 2 male).
void WriteGender(CardWriter& w, const Contact& c) {
  if (c.gender != Gender::kFemale && c.gender != Gender::kMale)
    return;
  const bool female = c.gender == Gender::kFemale;
  if (w.v40()) {
    w.Line("GENDER", {}, female ? "F" : "M");
  } else {
    w.Line("X-WAB-GENDER", {}, female ? "1" : "2");
  }
}

// BDAY: RFC 2426 section 3.1.5 / RFC 6350 section 6.2.5; ANNIVERSARY: RFC 6350 section 6.2.6,
// X-MS-ANNIVERSARY before 4.0.
void WriteDates(CardWriter& w, const Contact& c) {
  if (c.birthday)
    w.Line("BDAY", {}, DateText(*c.birthday, w.version()));
  if (c.anniversary) {
    w.Line(w.v40() ? "ANNIVERSARY" : "X-MS-ANNIVERSARY", {}, DateText(*c.anniversary, w.version()));
  }
}

// EMAIL: RFC 2426 section 3.3.2 / RFC 6350 section 6.4.2; the first address is preferred,
// "EMAIL;PREF;INTERNET" in Outlook's 2.1. Then the IM address: X-MS-IMADDRESS before 4.0
// (MS-OXVCARD), IMPP with a URI in 4.0 (RFC 6350 section 6.4.3).
void WriteAddressesOnline(CardWriter& w, const Contact& c) {
  bool first = true;
  for (const auto& e : c.emails) {
    if (w.Clean(e).empty())
      continue;
    constexpr Params kEmail{";INTERNET", ";TYPE=internet", ""};
    constexpr Params kEmailPref{";PREF;INTERNET", ";TYPE=internet,pref", ";PREF=1"};
    w.Text("EMAIL", (first ? kEmailPref : kEmail).For(w.version()), e);
    first = false;
  }
  if (const std::string& im = w.Clean(c.imAddress); !im.empty()) {
    if (w.v40()) {
      std::string& uri = w.ValueBuffer();
      if (im.find(':') == std::string::npos)
        uri += "sip:";
      uri += im;
      w.Line("IMPP", {}, uri);
    } else {
      w.Text("X-MS-IMADDRESS", {}, c.imAddress);
    }
  }
}

// CATEGORIES: a comma-separated list (RFC 2426 section 3.6.1 / RFC 6350 section 6.7.1).
void WriteCategories(CardWriter& w, const Contact& c) {
  std::string categories;
  for (const auto& cat : c.categories) {
    const std::string& clean = w.Clean(cat);
    if (clean.empty())
      continue;
    if (!categories.empty())
      categories += ',';
    EscapeInto(categories, clean, w.version(), ValueKind::kListItem);
  }
  if (!categories.empty())
    w.Line("CATEGORIES", {}, categories);
}

// Sensitivity: CLASS (RFC 2426 section 3.7.1; MS-OXVCARD imports CLASS to PidTagSensitivity),
// PRIVATE for a personal or private contact, CONFIDENTIAL for a confidential one. 4.0 has no
// CLASS and writes X-CLASS; Outlook's 2.1 writes neither.
void WriteSensitivity(CardWriter& w, const Contact& c) {
  if (c.sensitivity == Sensitivity::kNormal || w.v21())
    return;
  const std::string_view value =
      c.sensitivity == Sensitivity::kConfidential ? "CONFIDENTIAL" : "PRIVATE";
  w.Line(w.v30() ? "CLASS" : "X-CLASS", {}, value);
}

struct CharsetOfCodePage {
  uint32_t codePage;
  std::string_view name;
};

// Windows-125x as Outlook's own cards name them; the others by their IANA names (Outlook's names
// for them are not known here).
constexpr CharsetOfCodePage kCharsets[] = {
    {874, "Windows-874"},   {932, "Shift_JIS"},     {936, "GB2312"},        {949, "ks_c_5601-1987"},
    {950, "Big5"},          {1250, "Windows-1250"}, {1251, "Windows-1251"}, {1252, "Windows-1252"},
    {1253, "Windows-1253"}, {1254, "Windows-1254"}, {1255, "Windows-1255"}, {1256, "Windows-1256"},
    {1257, "Windows-1257"}, {1258, "Windows-1258"}, {20866, "KOI8-R"},      {21866, "KOI8-U"},
    {28591, "ISO-8859-1"},  {28592, "ISO-8859-2"},  {28593, "ISO-8859-3"},  {28594, "ISO-8859-4"},
    {28595, "ISO-8859-5"},  {28596, "ISO-8859-6"},  {28597, "ISO-8859-7"},  {28598, "ISO-8859-8"},
    {28599, "ISO-8859-9"},  {28603, "ISO-8859-13"}, {28605, "ISO-8859-15"},
};

}  // namespace

std::string_view CharsetName(uint32_t codePage) {
  for (const auto& c : kCharsets) {
    if (c.codePage == codePage)
      return c.name;
  }
  return {};
}

std::string WriteVCard(const Contact& c, VCardVersion v) {
  return WriteVCard(c, CardForm{v});
}

// The properties in the order of Outlook's 2.1 cards, in every version; those Outlook's cards do
// not show (children, interests, categories, sensitivity) before FBURL and REV.
std::string WriteVCard(const Contact& c, const CardForm& form) {
  std::string out;
  out.reserve(1024 + c.notes.size() * 3 / 2 +
              (c.photo.size() + c.businessCardPicture.size()) * 7 / 5);
  thread_local CardScratch scratch;
  CardWriter w(form, c.codePage, out, scratch);
  w.Raw("BEGIN:VCARD\r\n");
  // RFC 6350 section 6.7.9: VERSION directly after BEGIN.
  w.Raw(w.v21() ? "VERSION:2.1\r\n" : w.v30() ? "VERSION:3.0\r\n" : "VERSION:4.0\r\n");
  WriteIdentity(w, c);
  WritePhones(w, c);
  WriteAddresses(w, c);
  WriteGender(w, c);
  WriteUri(w, "URL", Params{";HOME", ";TYPE=home", ";TYPE=home"}.For(w.version()),
           c.personalHomePage);
  WriteUri(w, "URL", Params{";WORK", ";TYPE=work", ";TYPE=work"}.For(w.version()),
           c.businessHomePage);
  w.Text("ROLE", {}, c.profession);  // RFC 2426 section 3.5.2
  WriteDates(w, c);
  WriteCertificates(w, c);
  WriteAddressesOnline(w, c);
  // PHOTO: RFC 2426 section 3.1.4 / RFC 6350 section 6.2.4. The business card's picture as
  // MS-OXVCARD's X-MS-CARDPICTURE, in the form of PHOTO.
  WritePicture(w, "PHOTO", c.photo);
  WritePicture(w, "X-MS-CARDPICTURE", c.businessCardPicture);
  WritePeople(w, c);
  // Hobbies: X-MS-INTERESTS (the form MS-OXVCARD imports to PidTagHobbies) in every version;
  // the HOBBY of RFC 6715 is a list of single hobbies, not one text.
  w.Text("X-MS-INTERESTS", {}, c.hobbies);
  WriteCategories(w, c);
  WriteSensitivity(w, c);
  WriteUri(w, "FBURL", {}, c.freeBusyUrl);
  if (c.lastModified)
    w.Line("REV", {}, TimestampText(*c.lastModified, w.version()));
  w.Raw("END:VCARD\r\n");
  scratch.Trim();
  return out;
}

}  // namespace tarnvex::vcard
