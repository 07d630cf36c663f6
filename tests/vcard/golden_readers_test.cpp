// Every golden card (tests/golden/cards), read by parsers that are not ours, holds what its
// fixture (tests/golden/fixtures) holds, field by field; no parser loses or changes a value.
//
// Parsers per version:
//   2.1  ez-vcard (reads quoted-printable folding strictly); vobject with its quoted-printable
//        option, lexical (vobject would read the values by 3.0's rules).
//   3.0  vobject without and with its quoted-printable option; ez-vcard.
//   4.0  belcard; ez-vcard; vobject without its quoted-printable option, lexical (a 4.0 data URI
//        holds a comma, where 3.0's rules end a value).
// What the fixture holds is read from its JSON (tests/support/fixture_contacts.h), by the mapping
// of MS-OXVCARD and the vCard specifications, not by the stand-in's reader or the writer.
//
// Known quirks of the parsers, allowed for and nothing else: belcard trims white space at the
// ends of a value and keeps only the last TYPE of a list; ez-vcard hands a 2.1/3.0 LABEL over as
// the LABEL parameter of the ADR it belongs to, and gives properties grouped by kind.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <nlohmann/json.hpp>
#include <optional>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "tests/golden/fixture_names.h"
#include "tests/support/card_parsers.h"
#include "tests/support/fixture_contacts.h"

namespace tarnvex::vcard {
namespace {

namespace fs = std::filesystem;
using json = nlohmann::json;
using tarnvex::testing::All;
using tarnvex::testing::ParsedCard;
using tarnvex::testing::ParsedProperty;
using tarnvex::testing::fixture::Address;
using tarnvex::testing::fixture::CollectContacts;
using tarnvex::testing::fixture::Expected;
using tarnvex::testing::fixture::ReadAll;
using tarnvex::testing::fixture::Version;

const fs::path kGoldenDir = TARNVEX_GOLDEN_DIR;

// --- Reading the cards -----------------------------------------------------------------------

struct Reader {
  std::string name;
  bool trims = false;         // white space at a value's ends is lost (belcard)
  bool lastTypeOnly = false;  // only the last TYPE of a list is kept (belcard)
  bool caretEncoded = false;  // parameter values come as written, RFC 6868 escapes and quotes
  std::vector<ParsedCard> cards;
};

std::string Trim(const std::string& s) {
  const size_t b = s.find_first_not_of(" \t");
  if (b == std::string::npos)
    return {};
  return s.substr(b, s.find_last_not_of(" \t") - b + 1);
}

// A value as read, in the form the expectations use: line breaks "\n" (2.1's quoted-printable
// carries CRLF), dates and time stamps without separators, base64 without a data URI's head
// and without white space.
std::string Normal(const std::string& name, std::string s, const Reader& r) {
  std::string out;
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] == '\r' && i + 1 < s.size() && s[i + 1] == '\n')
      continue;
    out += s[i];
  }
  if (name == "BDAY" || name == "ANNIVERSARY" || name == "X-MS-ANNIVERSARY" || name == "REV") {
    out.erase(std::remove_if(out.begin(), out.end(), [](char c) { return c == '-' || c == ':'; }),
              out.end());
  }
  if (name == "PHOTO" || name == "X-MS-CARDPICTURE" || name == "KEY") {
    const size_t comma = out.find("base64,");
    if (out.rfind("data:", 0) == 0 && comma != std::string::npos)
      out = out.substr(comma + 7);
    out.erase(std::remove_if(out.begin(), out.end(),
                             [](char c) { return c == ' ' || c == '\t' || c == '\n'; }),
              out.end());
  }
  return r.trims ? Trim(out) : out;
}

std::string Expect(const std::string& s, const Reader& r) {
  return r.trims ? Trim(s) : s;
}

std::vector<std::string> Expect(std::vector<std::string> parts, const Reader& r,
                                bool dropTrailing) {
  for (auto& p : parts)
    p = Expect(p, r);
  if (dropTrailing) {
    while (!parts.empty() && parts.back().empty())
      parts.pop_back();
  }
  return parts;
}

std::vector<std::string> Values(const ParsedProperty& p, const Reader& r, bool dropTrailing) {
  std::vector<std::string> out;
  for (const auto& v : p.value)
    out.push_back(Normal(p.name, v, r));
  if (dropTrailing) {
    while (!out.empty() && out.back().empty())
      out.pop_back();
  }
  return out;
}

// An RFC 6868 parameter value as written (quoted, ^n ^' ^^) in plain text.
std::string Uncaret(std::string s) {
  if (s.size() >= 2 && s.front() == '"' && s.back() == '"')
    s = s.substr(1, s.size() - 2);
  std::string out;
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] == '^' && i + 1 < s.size()) {
      const char n = s[i + 1];
      if (n == 'n' || n == 'N') {
        out += '\n';
        ++i;
        continue;
      }
      if (n == '\'') {
        out += '"';
        ++i;
        continue;
      }
      if (n == '^') {
        out += '^';
        ++i;
        continue;
      }
    }
    out += s[i];
  }
  return out;
}

void CheckTypes(const ParsedProperty& p, const std::set<std::string>& expected, const Reader& r,
                const std::string& what) {
  if (r.lastTypeOnly && !expected.empty()) {
    EXPECT_EQ(p.types.size(), 1u) << what;
    for (const auto& t : p.types)
      EXPECT_TRUE(expected.count(t)) << what << ": type " << t;
    return;
  }
  EXPECT_EQ(p.types, expected) << what;
}

// The card as one reader read it against what the fixture holds.
void Compare(const ParsedCard& card, const Expected& e, const Reader& r, Version v,
             const std::string& where) {
  const std::string at = where + " (" + r.name + ")";
  const bool v21 = v == Version::k21, v40 = v == Version::k40;
  auto one = [&](const std::string& name) -> std::optional<ParsedProperty> {
    const auto all = All(card, name);
    EXPECT_LE(all.size(), 1u) << at << ": " << name << " more than once";
    if (all.empty())
      return std::nullopt;
    return all.front();
  };

  // FN and N.
  if (const auto fn = one("FN")) {
    EXPECT_EQ(Values(*fn, r, false), std::vector<std::string>{Expect(e.fn, r)}) << at;
  } else {
    EXPECT_TRUE(e.fn.empty() && v21) << at << ": no FN";
  }
  if (const auto n = one("N")) {
    EXPECT_EQ(Values(*n, r, true), Expect(e.n, r, true)) << at << ": N";
  } else {
    EXPECT_TRUE(v40) << at << ": no N";
  }
  if (const auto org = one("ORG")) {
    EXPECT_EQ(Values(*org, r, true), Expect(e.org, r, true)) << at << ": ORG";
  } else {
    EXPECT_TRUE(e.org.empty()) << at << ": no ORG";
  }

  // The single texts; RELATED ones by their type.
  for (const auto& [key, value] : e.texts) {
    if (key.rfind("RELATED ", 0) == 0) {
      const std::string type = key.substr(8);
      std::vector<std::string> found;
      for (const auto& p : All(card, "RELATED")) {
        if (p.types.count(type))
          found.push_back(Normal(p.name, p.value.at(0), r));
      }
      EXPECT_EQ(found, value.empty() ? std::vector<std::string>{}
                                     : std::vector<std::string>{Expect(value, r)})
          << at << ": RELATED " << type;
      continue;
    }
    const auto p = one(key);
    if (value.empty()) {
      EXPECT_FALSE(p) << at << ": " << key << " should be absent";
      continue;
    }
    ASSERT_TRUE(p) << at << ": no " << key;
    EXPECT_EQ(Values(*p, r, false), std::vector<std::string>{Expect(value, r)})
        << at << ": " << key;
  }

  // Children.
  std::vector<std::string> children;
  if (v40) {
    for (const auto& p : All(card, "RELATED")) {
      if (p.types.count("child"))
        children.push_back(Normal(p.name, p.value.at(0), r));
    }
  } else {
    for (const auto& p : All(card, "X-MS-CHILD"))
      children.push_back(Normal(p.name, p.value.at(0), r));
  }
  EXPECT_EQ(children, Expect(e.children, r, false)) << at << ": children";

  // Telephone numbers, each once, with its property and types.
  size_t phones = 0;
  for (const char* name : {"TEL", "X-MS-TEL"}) {
    for (const auto& p : All(card, name)) {
      ++phones;
      const std::string number = Normal(p.name, p.value.at(0), r);
      auto it = std::find_if(e.phones.begin(), e.phones.end(),
                             [&](const auto& kv) { return Expect(kv.first, r) == number; });
      if (it == e.phones.end()) {
        ADD_FAILURE() << at << ": a number the contact does not have: " << number;
        continue;
      }
      EXPECT_EQ(p.name, it->second.name) << at << ": " << number;
      CheckTypes(p, it->second.types, r, at + ": " + number);
      EXPECT_EQ(p.pref, it->second.pref) << at << ": " << number;
    }
  }
  EXPECT_EQ(phones, e.phones.size()) << at << ": numbers";

  // Addresses in card order, with their labels.
  const auto adrs = All(card, "ADR");
  ASSERT_EQ(adrs.size(), e.addresses.size()) << at << ": addresses";
  auto labels = All(card, "LABEL");
  for (size_t i = 0; i < adrs.size(); ++i) {
    const Address& a = e.addresses[i];
    EXPECT_EQ(Values(adrs[i], r, false), Expect(a.parts, r, false)) << at << ": ADR " << i;
    CheckTypes(adrs[i], a.types, r, at + ": ADR types");
    EXPECT_EQ(adrs[i].pref, a.pref) << at << ": ADR " << i;
    auto param = adrs[i].params.find("LABEL");
    if (param != adrs[i].params.end()) {
      const std::string label = r.caretEncoded ? Uncaret(param->second) : param->second;
      EXPECT_EQ(Normal("LABEL", label, r), Expect(a.label, r)) << at << ": ADR " << i << " label";
      continue;
    }
    if (a.label.empty())
      continue;
    EXPECT_FALSE(v40) << at << ": 4.0 carries the label as ADR's LABEL parameter";
    auto it = std::find_if(labels.begin(), labels.end(),
                           [&](const ParsedProperty& l) { return l.types == adrs[i].types; });
    if (it == labels.end()) {
      ADD_FAILURE() << at << ": no LABEL for ADR " << i;
      continue;
    }
    EXPECT_EQ(Values(*it, r, false), std::vector<std::string>{Expect(a.label, r)})
        << at << ": LABEL " << i;
    labels.erase(it);
  }
  EXPECT_TRUE(labels.empty()) << at << ": a LABEL of no address";

  // E-mail: in order, the first preferred.
  const auto emails = All(card, "EMAIL");
  ASSERT_EQ(emails.size(), e.emails.size()) << at << ": e-mail addresses";
  for (size_t i = 0; i < emails.size(); ++i) {
    EXPECT_EQ(Normal("EMAIL", emails[i].value.at(0), r), Expect(e.emails[i], r)) << at;
    EXPECT_EQ(emails[i].pref, i == 0) << at << ": EMAIL " << i;
    if (!v40)
      CheckTypes(emails[i], {"internet"}, r, at + ": EMAIL types");
  }

  const auto urls = All(card, "URL");
  ASSERT_EQ(urls.size(), e.urls.size()) << at << ": URLs";
  for (size_t i = 0; i < urls.size(); ++i) {
    EXPECT_EQ(Normal("URL", urls[i].value.at(0), r), Expect(e.urls[i].second, r)) << at;
    CheckTypes(urls[i], {e.urls[i].first}, r, at + ": URL types");
  }

  if (const auto categories = one("CATEGORIES")) {
    EXPECT_EQ(Values(*categories, r, false), Expect(e.categories, r, false)) << at;
  } else {
    EXPECT_TRUE(e.categories.empty()) << at << ": no CATEGORIES";
  }

  for (const auto& [name, data] :
       {std::pair{"PHOTO", &e.photo}, std::pair{"X-MS-CARDPICTURE", &e.cardPicture}}) {
    const auto p = one(name);
    if (data->empty()) {
      EXPECT_FALSE(p) << at << ": " << name;
      continue;
    }
    ASSERT_TRUE(p) << at << ": no " << name;
    EXPECT_EQ(Normal(name, p->value.at(0), r), *data) << at << ": " << name;
  }

  // Certificates: one KEY each, in order.
  const auto keys = All(card, "KEY");
  ASSERT_EQ(keys.size(), e.certificates.size()) << at << ": KEY";
  for (size_t i = 0; i < keys.size(); ++i)
    EXPECT_EQ(Normal("KEY", keys[i].value.at(0), r), e.certificates[i]) << at << ": KEY " << i;
}

struct Case {
  std::string fixture;
  Version version;
};

class GoldenReaders : public ::testing::TestWithParam<Case> {};

TEST_P(GoldenReaders, EveryCardHoldsWhatItsFixtureHolds) {
  const Case& c = GetParam();
  const std::string dir = c.version == Version::k21   ? "2.1"
                          : c.version == Version::k30 ? "3.0"
                                                      : "4.0";
  const json fixture = json::parse(ReadAll(kGoldenDir / "fixtures" / (c.fixture + ".json")),
                                   nullptr, true, /*ignore_comments=*/true);
  std::vector<Expected> contacts;
  CollectContacts(fixture["folders"], c.version, contacts);

  std::vector<std::string> paths;
  for (const auto& entry : fs::directory_iterator(kGoldenDir / "cards" / c.fixture / dir))
    paths.push_back(entry.path().string());
  std::sort(paths.begin(), paths.end());
  ASSERT_FALSE(paths.empty());

  std::vector<Reader> readers;
  using tarnvex::testing::ParseWithBelcard;
  using tarnvex::testing::ParseWithEzVcard;
  using tarnvex::testing::ParseWithVobject;
  try {
    readers.push_back({"ez-vcard", false, false, false, ParseWithEzVcard(paths)});
    switch (c.version) {
      case Version::k21:
        readers.push_back({"vobject, quoted-printable, lexical", false, false, false,
                           ParseWithVobject(paths, {.quotedPrintable = true, .lexical = true})});
        break;
      case Version::k30:
        readers.push_back(
            {"vobject", false, false, false, ParseWithVobject(paths, {.quotedPrintable = false})});
        readers.push_back({"vobject, quoted-printable", false, false, false,
                           ParseWithVobject(paths, {.quotedPrintable = true})});
        break;
      case Version::k40: {
        Reader belcard{"belcard", true, true, true, {}};
        for (const auto& p : paths)
          belcard.cards.push_back(ParseWithBelcard(ReadAll(p)));
        readers.push_back(std::move(belcard));
        readers.push_back({"vobject, lexical", false, false, true,
                           ParseWithVobject(paths, {.quotedPrintable = false, .lexical = true})});
        break;
      }
    }
  } catch (const std::exception& ex) {
    FAIL() << ex.what();
  }

  for (const Reader& r : readers) {
    std::vector<bool> used(contacts.size(), false);
    for (size_t i = 0; i < paths.size(); ++i) {
      const std::string where = fs::path(paths[i]).filename().string();
      // The contact whose formatted name the card carries.
      std::string fn;
      for (const auto& p : All(r.cards[i], "FN"))
        fn = Normal("FN", p.value.at(0), r);
      size_t match = contacts.size();
      for (size_t k = 0; k < contacts.size() && match == contacts.size(); ++k) {
        if (!used[k] && Expect(contacts[k].fn, r) == fn)
          match = k;
      }
      if (match == contacts.size()) {
        ADD_FAILURE() << where << " (" << r.name << "): no contact of the fixture is named \"" << fn
                      << "\"";
        continue;
      }
      used[match] = true;
      Compare(r.cards[i], contacts[match], r, c.version, c.fixture + "/" + dir + "/" + where);
    }
  }
}

std::vector<Case> AllCases() {
  std::vector<Case> cases;
  for (const char* fixture : golden::kFixtureNames) {
    for (Version v : {Version::k21, Version::k30, Version::k40})
      cases.push_back({fixture, v});
  }
  return cases;
}

INSTANTIATE_TEST_SUITE_P(Fixtures, GoldenReaders, ::testing::ValuesIn(AllCases()),
                         [](const ::testing::TestParamInfo<Case>& info) {
                           return info.param.fixture + "_v" +
                                  (info.param.version == Version::k21   ? "21"
                                   : info.param.version == Version::k30 ? "30"
                                                                        : "40");
                         });

}  // namespace
}  // namespace tarnvex::vcard
