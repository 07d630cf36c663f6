#pragma once

// The vCard text of a contact, in one of the three vCard versions. Pure functions of their
// input: no I/O, no clock, no locale.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "vcard/contact.h"

namespace tarnvex::vcard {

enum class VCardVersion {
  k21,  // vCard 2.1, the form Outlook writes for "Save as vCard"
  k30,  // RFC 2426
  k40,  // RFC 6350
};

// How a vCard 2.1 card writes text beyond ASCII: as raw bytes on its line, with a CHARSET
// parameter naming their encoding. 3.0 and 4.0 are UTF-8 throughout and name no charset.
enum class Charset {
  kUtf8,     // CHARSET=UTF-8: what the address books people move to read
  kOutlook,  // the contact's Windows code page (CHARSET=Windows-1252 ...), as Outlook writes;
             // a value the code page cannot hold stays UTF-8
};

// Text in Windows code pages, for cards in Outlook's charset; the platform supplies it.
class CodePageEncoder {
 public:
  virtual ~CodePageEncoder() = default;
  // The UTF-8 text in code page `codePage`; empty when the code page cannot hold every character
  // of it or is not known.
  virtual std::optional<std::string> Encode(std::string_view utf8, uint32_t codePage) const = 0;
};

struct CardForm {
  VCardVersion version = VCardVersion::k21;
  Charset charset = Charset::kUtf8;
  // Needed for Charset::kOutlook; without one the text stays UTF-8.
  const CodePageEncoder* encoder = nullptr;
};

// The whole card, CRLF line ends, ending with "END:VCARD" CRLF.
std::string WriteVCard(const Contact& contact, const CardForm& form);
// The same in UTF-8.
std::string WriteVCard(const Contact& contact, VCardVersion version);

// The CHARSET name cards give a Windows code page ("Windows-1252", "Shift_JIS"); empty for a
// code page Outlook's charset form does not write (a multi-byte or stateful one without a
// common name: its text stays UTF-8).
std::string_view CharsetName(uint32_t codePage);

// Building blocks, exposed for their own tests.
namespace detail {

// Folds a logical line (without its CRLF) into physical lines of at most 75 octets each,
// continuation lines starting with one space; a UTF-8 sequence is never split. Gives the folded
// text with CRLF after every physical line.
std::string Fold(const std::string& line);

// QUOTED-PRINTABLE of a vCard 2.1 value that holds line breaks, in Outlook's form, ending with
// CRLF: each line break is =0D=0A followed by a soft line break, so that every line of the value
// stands on a physical line of its own, however long; there is no other break. "=", control
// characters and bytes beyond ASCII are encoded; a space or tab is literal except at the start of
// a physical line after a soft break and at the value's end (=20, =09 there), where readers that
// unfold or trim lines would lose it. The Into form appends to `out`.
std::string QuotedPrintable(std::string_view value);
void QuotedPrintableInto(std::string& out, std::string_view value);

std::string Base64(const std::string& bytes);
void Base64Into(std::string& out, std::string_view bytes);

// Valid UTF-8 with the line breaks of any convention made "\n" and other control characters
// (except tab) removed; bytes that are not UTF-8 become U+FFFD. The Into form appends to `out`.
std::string CleanText(const std::string& text);
void CleanTextInto(std::string& out, std::string_view text);

// Where a text stands in a property's value: the whole value, a component of a structured value
// (N, ADR, ORG) or an item of a list (CATEGORIES, NICKNAME).
enum class ValueKind { kText, kComponent, kListItem };

// Text escaping in the rules of the version, appended to `out`. 3.0: backslash, comma,
// semicolon, a line break as "\n" (RFC 2426 section 4). 4.0: the same, the semicolon only in a
// component (RFC 6350 section 3.4). 2.1: "\\" for a backslash, "\;" in a component (section
// 2.1.3), "\," in a list item only; line breaks kept, for quoted-printable to carry.
void EscapeInto(std::string& out, std::string_view text, VCardVersion version, ValueKind kind);

// Escaping in the 3.0 manner: backslash and comma always, the semicolon when `semicolon` is set,
// a line break as "\n" when `lineBreaksAsBackslashN` is set (else kept).
std::string Escape(std::string_view text, bool lineBreaksAsBackslashN, bool semicolon);

// A parameter value quoted with RFC 6868's escapes (^^, ^n, ^').
std::string QuotedParam(const std::string& text);
void QuotedParamInto(std::string& out, std::string_view text);

// A date in the form of the version: "1996-04-15" in 3.0, "19960415" in 2.1 and 4.0.
std::string DateText(const Date& date, VCardVersion version);

// A UTC time stamp of seconds since 1970-01-01: "1996-04-15T13:30:00Z" in 3.0,
// "19960415T133000Z" in 2.1 and 4.0. Computed from the calendar, not from the C library's
// time functions.
std::string TimestampText(int64_t seconds, VCardVersion version);

}  // namespace detail

}  // namespace tarnvex::vcard
