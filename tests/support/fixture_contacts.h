#pragma once

// What a golden fixture's contacts (tests/golden/fixtures/NAME.json) should carry in a card of
// each vCard version, read from the fixture's JSON by the mapping of MS-OXVCARD and the vCard
// specifications, not by the stand-in's reader or the writer: readers of the cards are compared
// with a second, independent reading of what was stored.

#include <cstddef>
#include <filesystem>
#include <map>
#include <nlohmann/json.hpp>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "tools/pstwriter/store_model.h"

namespace tarnvex::testing::fixture {

using json = nlohmann::json;

enum class Version { k21, k30, k40 };

std::string ReadAll(const std::filesystem::path& path);

// Text as a card carries it: line breaks of any convention one "\n", other control characters
// (but the tab) left out.
std::string Clean(const std::string& s);
std::string Base64(const std::string& bytes);
std::string FromHex(const std::string& hex);

// A number as the version writes it: its property name ("TEL", "X-MS-TEL") and types.
struct Phone {
  std::string name;
  std::set<std::string> types;
  bool pref = false;
};

struct Address {
  std::vector<std::string> parts;
  std::set<std::string> types;
  bool pref = false;
  std::string label;
};

// One contact, field by field, as a card of one version should carry it.
struct Expected {
  std::string fn;
  std::vector<std::string> n;
  std::vector<std::string> org;
  // Properties with one text value each, by name; an empty text: the property is absent.
  std::map<std::string, std::string> texts;
  std::vector<std::string> children;
  std::vector<std::string> categories;
  std::map<std::string, Phone> phones;                    // by number
  std::vector<Address> addresses;                         // work, home, other
  std::vector<std::string> emails;                        // the first preferred
  std::vector<std::pair<std::string, std::string>> urls;  // type, address
  std::string photo;                                      // base64
  std::string cardPicture;                                // base64
  std::vector<std::string> certificates;                  // base64
};

// The contact a fixture item (one entry of a folder's "items") describes; `index` is its place
// in the folder, which picks its generated photo.
Expected ExpectedOf(const json& item, std::size_t index, Version v);
// A store made in memory (a generated one) described as a fixture's JSON: its folders with their
// items' properties by canonical name, and each contact photo's bytes ("photo": {"hex": ...}).
json FixtureOf(const pstwriter::Store& store);

// Every contact of the folders and the folders below them, in the fixture's order.
void CollectContacts(const json& folders, Version v, std::vector<Expected>& out);

}  // namespace tarnvex::testing::fixture
