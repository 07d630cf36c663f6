#pragma once

// The vCard text of a contact, in one of the three vCard versions. Pure functions of their
// input: no I/O, no clock, no locale.

#include <cstdint>
#include <string>
#include <string_view>

#include "vcard/contact.h"

namespace tarnvex::vcard {

enum class VCardVersion {
  k21,  // vCard 2.1, the form Outlook writes for "Save as vCard"
  k30,  // RFC 2426
  k40,  // RFC 6350
};

// The whole card, CRLF line ends, ending with "END:VCARD" CRLF.
std::string WriteVCard(const Contact& contact, VCardVersion version);

// Building blocks, exposed for their own tests.
namespace detail {

// Folds a logical line (without its CRLF) into physical lines of at most 75 octets each,
// continuation lines starting with one space; a UTF-8 sequence is never split. Gives the folded
// text with CRLF after every physical line.
std::string Fold(const std::string& line);

// QUOTED-PRINTABLE of a vCard 2.1 value with soft line breaks; `used` is the length of the
// physical line before the value (name, parameters and colon). Line breaks are encoded =0D=0A.
std::string QuotedPrintable(const std::string& value, size_t used);

std::string Base64(const std::string& bytes);

// Valid UTF-8 with the line breaks of any convention made "\n" and other control characters
// (except tab) removed; bytes that are not UTF-8 become U+FFFD.
std::string CleanText(const std::string& text);

// Text escaping: backslash and comma always, the semicolon when `semicolon` is set, a line break
// as "\n" when `lineBreaksAsBackslashN` is set (else kept).
std::string Escape(std::string_view text, bool lineBreaksAsBackslashN, bool semicolon);

// A parameter value quoted with RFC 6868's escapes (^^, ^n, ^').
std::string QuotedParam(const std::string& text);

// A date in the form of the version: "1996-04-15" in 3.0, "19960415" in 2.1 and 4.0.
std::string DateText(const Date& date, VCardVersion version);

// A UTC time stamp of seconds since 1970-01-01: "1996-04-15T13:30:00Z" in 3.0,
// "19960415T133000Z" in 2.1 and 4.0. Computed from the calendar, not from the C library's
// time functions.
std::string TimestampText(int64_t seconds, VCardVersion version);

}  // namespace detail

}  // namespace tarnvex::vcard
