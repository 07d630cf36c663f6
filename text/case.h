#pragma once

// Comparison of names without regard to letter case, the same on every platform: no locale, no
// wide characters. Letters are mapped with the simple lower-case mappings of Unicode, code point
// by code point (so "Ä" and "ä" match; "ß" and "SS" do not, as in the file systems' own tables).

#include <string>
#include <string_view>

namespace tarnvex::text {

char32_t ToLower(char32_t codePoint);

// The UTF-8 text with every letter in lower case; bytes that are not UTF-8 stay as they are.
// Two names whose keys are equal differ in letter case only.
std::string LowerCaseKey(std::string_view utf8);

// ASCII letters only: for protocol words such as container classes ("IPF.Contact").
bool EqualsIgnoringAsciiCase(std::string_view a, std::string_view b);
bool StartsWithIgnoringAsciiCase(std::string_view text, std::string_view prefix);

// The text without the ASCII white space (space, tab, line feed, vertical tab, form feed,
// carriage return) it starts and ends with.
std::string_view TrimAsciiSpace(std::string_view text);

}  // namespace tarnvex::text
