#pragma once

// The vCard text of a contact, in one of the three vCard versions. Pure functions of their
// input: no I/O, no clock, no locale.

#include <string>

#include "platform/pst/contact.h"

namespace tarnvex::pst {

enum class VCardVersion {
  k21,  // vCard 2.1, the form Outlook writes for "Save as vCard"
  k30,  // RFC 2426
  k40,  // RFC 6350
};

// The whole card, CRLF line ends, ending with "END:VCARD" CRLF.
std::string WriteVCard(const Contact& contact, VCardVersion version);

// Building blocks, exposed for their own tests.
namespace vcard_detail {

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

}  // namespace vcard_detail

}  // namespace tarnvex::pst
