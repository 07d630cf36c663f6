#pragma once

// Written cards read back by parsers that are not ours, brought into one form for comparison:
// python3-vobject (through the system Python, tests/support/read_vcard.py), belcard (4.0 only)
// and ez-vcard (Debian's libez-vcard-java, through tests/support/EzVcardReader.java), which reads
// vCard 2.1's quoted-printable folding strictly.

#include <map>
#include <set>
#include <string>
#include <vector>

namespace tarnvex::testing {

struct ParsedProperty {
  std::string name;                           // upper case
  std::set<std::string> types;                // lower case, from TYPE=... and 2.1's bare names
  bool pref = false;                          // TYPE=pref, bare PREF or PREF=1
  std::map<std::string, std::string> params;  // other parameters, names upper case
  std::vector<std::string> value;  // components of a structured value, items of a list, or one
};

using ParsedCard = std::vector<ParsedProperty>;

// All properties of that name, in card order.
std::vector<ParsedProperty> All(const ParsedCard& card, const std::string& name);
// The one property of that name; fails the test (and gives an empty one) when there is not
// exactly one.
ParsedProperty One(const ParsedCard& card, const std::string& name);

// How vobject reads.
struct VobjectOptions {
  // vobject's allowQP: a line ending in "=" inside a quoted-printable value is continued by the
  // next one (vCard 2.1). Off, only folded lines that start with white space continue a line.
  bool quotedPrintable = true;
  // vobject reads lines, parameters and quoted-printable; the values are read by the rules of
  // the card's own version (read_vcard.py --lexical). Off, vobject's vCard 3.0 value rules
  // apply to every card: a bare comma ends a 2.1 value, a data URI ends at its comma.
  bool lexical = false;
};

// Runs /usr/bin/python3 with vobject over the files; one card per file, in the given order.
// Throws std::runtime_error with the parser's output when it rejects a card.
std::vector<ParsedCard> ParseWithVobject(const std::vector<std::string>& paths,
                                         VobjectOptions options = {});

// Runs ez-vcard over the files; one card per file, in the given order. Properties come grouped
// by kind, not in card order; a LABEL ez-vcard matches to an ADR becomes that ADR's LABEL
// parameter. Throws std::runtime_error with the parser's output when it rejects a card.
std::vector<ParsedCard> ParseWithEzVcard(const std::vector<std::string>& paths);

// A text quoted for the shell.
std::string ShellQuote(const std::string& s);
// Runs a shell command; its standard output when it exits with 0, else throws
// std::runtime_error with what it said on standard output and standard error, naming `what`.
std::string RunCommand(const std::string& command, const std::string& what);

// Parses a vCard 4.0 text with belcard; throws std::runtime_error when belcard rejects it.
ParsedCard ParseWithBelcard(const std::string& text);

}  // namespace tarnvex::testing
