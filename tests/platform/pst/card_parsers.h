#pragma once

// Written cards read back by parsers that are not ours: python3-vobject (2.1, 3.0) and belcard
// (4.0), brought into one form for comparison.

#include <map>
#include <set>
#include <string>
#include <vector>

namespace tarnvex::pst::testing {

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

// Runs /usr/bin/python3 with vobject over the files; one card per file, in the given order.
// Throws std::runtime_error with the parser's output when it rejects a card.
std::vector<ParsedCard> ParseWithVobject(const std::vector<std::string>& paths);

// Parses a vCard 4.0 text with belcard; throws std::runtime_error when belcard rejects it.
ParsedCard ParseWithBelcard(const std::string& text);

}  // namespace tarnvex::pst::testing
