// The cards as the address books people move to read them. Evolution and GNOME Contacts
// (evolution-data-server's EContact), KDE (KContacts), Nextcloud, ownCloud and Baikal
// (sabre/vobject) and Thunderbird (ical.js) each parse every golden card and a generated export of
// a version, through an adapter of their own in this folder that prints the fields of the
// address book's model as JSON. Each field is compared with what the fixture holds
// (tests/support/fixture_contacts.h). A difference fails the test unless it is a known fault of
// that importer, listed once in kKnownFaults by importer, version and field with its reason and
// the shape it takes, and tolerated only in that shape.

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <map>
#include <nlohmann/json.hpp>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "cli/cli.h"
#include "tests/golden/fixture_names.h"
#include "tests/importers/sha256.h"
#include "tests/sandbox/sandbox.h"
#include "tests/support/card_parsers.h"
#include "tests/support/fixture_contacts.h"
#include "tools/pstwriter/generator.h"
#include "tools/pstwriter/pst_writer.h"
#include "vcard/writer.h"

namespace tarnvex::importers {
namespace {

namespace fs = std::filesystem;
using json = nlohmann::json;
using testing::RunCommand;
using testing::ShellQuote;
using testing::fixture::Address;
using testing::fixture::Expected;
using testing::fixture::Version;

const fs::path kGoldenDir = TARNVEX_GOLDEN_DIR;

const char* NameOf(Version v) {
  return v == Version::k21 ? "2.1" : v == Version::k30 ? "3.0" : "4.0";
}

// --- The importers ---------------------------------------------------------------------------

struct Importer {
  const char* name;
  const char* command;  // followed by the card files
  std::vector<Version> versions;
};

const std::vector<Importer>& Importers() {
  static const std::vector<Importer> importers = {
      {"eds", TARNVEX_EDS_ADAPTER, {Version::k21, Version::k30, Version::k40}},
      {"kcontacts", TARNVEX_KCONTACTS_READER, {Version::k21, Version::k30, Version::k40}},
      {"sabre", TARNVEX_SABRE_ADAPTER, {Version::k21, Version::k30, Version::k40}},
      // Thunderbird converts 2.1 cards itself before ical.js sees them.
      {"icaljs", TARNVEX_ICALJS_ADAPTER, {Version::k30, Version::k40}},
  };
  return importers;
}

// --- Known faults of the importers -----------------------------------------------------------

// Structured values (N, ORG, ADR) are compared as their parts joined with this.
constexpr const char* kPartSeparator = " | ";

std::string Replaced(std::string s, const std::string& from, const std::string& to) {
  for (size_t at = s.find(from); at != std::string::npos; at = s.find(from, at + to.size()))
    s.replace(at, from.size(), to);
  return s;
}

// Applies `f` to each part of a structured value (or to the one part of a plain value).
std::string EachPart(const std::string& s, std::string (*f)(const std::string&)) {
  std::string out;
  size_t start = 0;
  const std::string separator = kPartSeparator;
  while (true) {
    const size_t end = s.find(separator, start);
    out += f(s.substr(start, end == std::string::npos ? std::string::npos : end - start));
    if (end == std::string::npos)
      return out;
    out += separator;
    start = end + separator.size();
  }
}

std::string Trimmed(const std::string& s) {
  const size_t b = s.find_first_not_of(" \t\n");
  if (b == std::string::npos)
    return {};
  return s.substr(b, s.find_last_not_of(" \t\n") - b + 1);
}

// What an importer's fault does to a value the fixture holds.
using Transform = std::function<std::string(const std::string&)>;

// The value is gone.
const Transform kDropped = [](const std::string&) { return std::string(); };
// White space at the ends of the value (of each part) is gone.
const Transform kTrimmed = [](const std::string& s) { return EachPart(s, Trimmed); };
// The value ends before its first ";", which the version needs not escape.
const Transform kCutAtSemicolon = [](const std::string& s) {
  return EachPart(s, [](const std::string& part) { return part.substr(0, part.find(';')); });
};
// The escapes the version writes are kept as written: "\\", "\," and "\;".
const Transform kBackslashEscapeKept = [](const std::string& s) {
  return Replaced(s, "\\", "\\\\");
};
const Transform kCommaEscapeKept = [](const std::string& s) { return Replaced(s, ",", "\\,"); };
const Transform kSemicolonEscapeKept = [](const std::string& s) { return Replaced(s, ";", "\\;"); };
// An escaped backslash before an "n" is read as a backslash and a line break ("C:\\new" gives
// "C:\" and "ew" on the next line).
const Transform kBackslashNAsBreak = [](const std::string& s) {
  return Replaced(s, "\\n", "\\\n");
};
// A quoted-printable value is left encoded (one line: the soft breaks were refused).
const Transform kQuotedPrintableKept = [](const std::string& s) {
  std::string encoded = vcard::detail::QuotedPrintable(s);
  while (!encoded.empty() && (encoded.back() == '\n' || encoded.back() == '\r'))
    encoded.pop_back();
  if (!encoded.empty() && encoded.back() == '=')
    encoded.pop_back();  // the soft break after a final line break
  return encoded;
};
// The backslash escapes of a multi-line value are read on its first line only, where an
// escaped backslash before an "n" is a backslash and a line break; on the others they stay.
const Transform kEscapesReadOnFirstLine = [](const std::string& s) {
  const size_t firstBreak = s.find('\n');
  if (firstBreak == std::string::npos)
    return kBackslashNAsBreak(s);
  return kBackslashNAsBreak(s.substr(0, firstBreak)) + kBackslashEscapeKept(s.substr(firstBreak));
};
// The preference is gone (Compare writes it as ": pref" after the value).
const Transform kPrefDropped = [](const std::string& s) { return Replaced(s, ": pref", ""); };
// The type is gone (Compare writes it after ": ").
const Transform kTypeDropped = [](const std::string& s) { return s.substr(0, s.find(": ") + 2); };

struct KnownFault {
  const char* importer;
  Version version;
  // As Compare names them ("note", "tel.pref", "adr.street"); "adr.*" stands for all that start
  // so, "*pref" for all that end so. "card": the importer refuses the card.
  const char* field;
  const char* reason;
  // The fault applied to the fixture's value gives the importer's: each transform, in order, or
  // any of them together in this order.
  std::vector<Transform> transforms;
};

const std::vector<KnownFault>& KnownFaults() {
  static const std::vector<KnownFault> faults = {
#include "tests/importers/known_faults.inc"
  };
  return faults;
}

bool FieldMatches(const std::string& pattern, const std::string& field) {
  if (!pattern.empty() && pattern.front() == '*') {
    const std::string tail = pattern.substr(1);
    return field.size() >= tail.size() &&
           field.compare(field.size() - tail.size(), tail.size(), tail) == 0;
  }
  if (!pattern.empty() && pattern.back() == '*')
    return field.rfind(pattern.substr(0, pattern.size() - 1), 0) == 0;
  return pattern == field;
}

bool ShapeMatches(const KnownFault& fault, const std::string& expected, const std::string& actual) {
  const size_t n = fault.transforms.size();
  for (size_t subset = 1; subset < (size_t{1} << n); ++subset) {
    std::string value = expected;
    for (size_t i = 0; i < n; ++i) {
      if (subset & (size_t{1} << i))
        value = fault.transforms[i](value);
    }
    if (value == actual)
      return true;
  }
  return false;
}

const KnownFault* FaultOf(const std::string& importer, Version v, const std::string& field,
                          const std::string& expected, const std::string& actual) {
  for (const auto& fault : KnownFaults()) {
    if (fault.importer == importer && fault.version == v && FieldMatches(fault.field, field) &&
        (field == "card" || ShapeMatches(fault, expected, actual))) {
      return &fault;
    }
  }
  return nullptr;
}

// --- What the importer gave ------------------------------------------------------------------

// A text value; a line break of any convention is "\n", as in the fixture's texts.
std::string Text(const json& j) {
  if (!j.is_string())
    return {};
  return Replaced(Replaced(j.get<std::string>(), "\r\n", "\n"), "\r", "\n");
}

std::vector<std::string> Texts(const json& j) {
  std::vector<std::string> out;
  if (j.is_array()) {
    for (const auto& item : j)
      out.push_back(Text(item));
  }
  return out;
}

std::set<std::string> TypesOf(const json& j) {
  std::set<std::string> types;
  for (const auto& t : Texts(j.value("types", json::array()))) {
    // "voice" is every number's default and "internet" every address's: neither tells one
    // from another.
    if (t != "voice" && t != "internet")
      types.insert(t);
  }
  return types;
}

std::string Joined(const std::set<std::string>& types) {
  std::string out;
  for (const auto& t : types)
    out += (out.empty() ? "" : ",") + t;
  return out;
}

std::string Joined(const std::vector<std::string>& parts, const char* separator = kPartSeparator) {
  std::string out;
  for (size_t i = 0; i < parts.size(); ++i)
    out += (i ? separator : "") + parts[i];
  return out;
}

std::vector<std::string> WithoutTrailingEmpty(std::vector<std::string> parts) {
  while (!parts.empty() && parts.back().empty())
    parts.pop_back();
  return parts;
}

// --- Comparing a card with its contact -------------------------------------------------------

struct Difference {
  std::string field;
  std::string expected;
  std::string actual;
};

struct Comparison {
  int fields = 0;
  std::vector<Difference> differences;

  void Check(const std::string& field, const std::string& expected, const std::string& actual) {
    ++fields;
    if (expected != actual)
      differences.push_back({field, expected, actual});
  }
};

std::string PhotoDigest(const std::string& base64) {
  if (base64.empty())
    return {};
  static const std::string kTable =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string bytes;
  uint32_t bits = 0;
  int count = 0;
  for (char c : base64) {
    const size_t v = kTable.find(c);
    if (v == std::string::npos)
      continue;
    bits = (bits << 6) | static_cast<uint32_t>(v);
    count += 6;
    if (count >= 8) {
      count -= 8;
      bytes += static_cast<char>((bits >> count) & 0xFF);
    }
  }
  return Sha256Hex(bytes);
}

// The numbers: matched by their number; types and preference compared. Numbers the version
// writes as X-MS-TEL (2.1) are not a TEL, and not expected of the importers.
// The same number when the escapes are dropped or the number is cut at its ";".
bool LooselyEqual(const std::string& value, const std::string& number) {
  return Replaced(value, "\\", "") == number ||
         (!value.empty() && value == Trimmed(number.substr(0, number.find(';'))));
}

void ComparePhones(const json& f, const Expected& e, Comparison& c) {
  const json tels = f.value("tel", json::array());
  std::vector<bool> used(tels.size(), false);
  // A number is found by its text, else loosely: an importer that keeps the escapes, or cuts the
  // number short, still has the number, whose value is then compared.
  auto find = [&](const std::string& number) {
    for (const bool loose : {false, true}) {
      for (size_t i = 0; i < tels.size(); ++i) {
        const std::string value = Text(tels[i].value("value", json()));
        if (!used[i] && (value == number || (loose && LooselyEqual(value, number))))
          return i;
      }
    }
    return tels.size();
  };
  for (const auto& [number, phone] : e.phones) {
    if (phone.name != "TEL")
      continue;
    std::set<std::string> types = phone.types;
    types.erase("voice");
    const size_t match = find(number);
    if (match == tels.size()) {
      c.Check("tel", number + " (" + Joined(types) + ")", "");
      continue;
    }
    used[match] = true;
    c.Check("tel", number, Text(tels[match].value("value", json())));
    c.Check("tel.types", number + ": " + Joined(types),
            number + ": " + Joined(TypesOf(tels[match])));
    c.Check("tel.pref", number + (phone.pref ? ": pref" : ""),
            number + (tels[match].value("pref", false) ? ": pref" : ""));
  }
  for (size_t i = 0; i < tels.size(); ++i) {
    if (!used[i])
      c.Check("tel", "", Text(tels[i].value("value", json())) + " (not in the contact)");
  }
}

void CompareEmails(const json& f, const Expected& e, Comparison& c) {
  const json emails = f.value("email", json::array());
  std::vector<std::string> values;
  for (const auto& email : emails)
    values.push_back(Text(email.value("value", json())));
  c.Check("email", Joined(e.emails, ", "), Joined(values, ", "));
  if (!e.emails.empty() && !emails.empty() && values.front() == e.emails.front()) {
    c.Check("email.pref", e.emails.front() + ": pref",
            values.front() + (emails.front().value("pref", false) ? ": pref" : ""));
  }
}

// The addresses: matched by their types; their parts, and the preference, compared.
void CompareAddresses(const json& f, const Expected& e, Comparison& c) {
  const json adrs = f.value("adr", json::array());
  std::vector<bool> used(adrs.size(), false);
  for (const Address& a : e.addresses) {
    const std::string name = Joined(a.types).empty() ? "(no type)" : Joined(a.types);
    size_t match = adrs.size();
    for (size_t i = 0; i < adrs.size() && match == adrs.size(); ++i) {
      if (!used[i] && TypesOf(adrs[i]) == a.types)
        match = i;
    }
    for (size_t i = 0; i < adrs.size() && match == adrs.size(); ++i) {
      if (!used[i] && Texts(adrs[i].value("parts", json::array())) == a.parts)
        match = i;
    }
    if (match == adrs.size()) {
      c.Check("adr", name + ": " + Joined(a.parts), "");
      continue;
    }
    used[match] = true;
    const json& adr = adrs[match];
    const std::vector<std::string> parts = Texts(adr.value("parts", json::array()));
    static const char* kPartNames[] = {"pobox",  "extended", "street", "locality",
                                       "region", "code",     "country"};
    for (size_t i = 0; i < a.parts.size(); ++i) {
      c.Check(std::string("adr.") + kPartNames[i], a.parts[i],
              i < parts.size() ? parts[i] : std::string());
    }
    c.Check("adr.types", name, Joined(TypesOf(adr)).empty() ? "(no type)" : Joined(TypesOf(adr)));
    c.Check("adr.pref", name + (a.pref ? ": pref" : ""),
            name + (adr.value("pref", false) ? ": pref" : ""));
  }
  for (size_t i = 0; i < adrs.size(); ++i) {
    if (!used[i])
      c.Check("adr", "", Joined(Texts(adrs[i].value("parts", json::array()))));
  }
}

void CompareUrls(const json& f, const Expected& e, Comparison& c) {
  const json urls = f.value("url", json::array());
  std::vector<bool> used(urls.size(), false);
  for (const auto& [type, address] : e.urls) {
    size_t match = urls.size();
    for (size_t i = 0; i < urls.size() && match == urls.size(); ++i) {
      if (!used[i] && Text(urls[i].value("value", json())) == address)
        match = i;
    }
    if (match == urls.size()) {
      c.Check("url", address, "");
      continue;
    }
    used[match] = true;
    c.Check("url", address, address);
    c.Check("url.types", address + ": " + type, address + ": " + Joined(TypesOf(urls[match])));
  }
}

Comparison Compare(const json& f, const Expected& e) {
  Comparison c;
  c.Check("fn", e.fn, Text(f.value("fn", json())));
  std::vector<std::string> n = Texts(f.value("n", json()));
  if (n.empty())
    n.assign(5, "");
  c.Check("n", Joined(e.n), Joined(n));
  c.Check("org", Joined(WithoutTrailingEmpty(e.org)),
          Joined(WithoutTrailingEmpty(Texts(f.value("org", json())))));
  c.Check("title", e.texts.at("TITLE"), Text(f.value("title", json())));
  ComparePhones(f, e, c);
  CompareEmails(f, e, c);
  CompareAddresses(f, e, c);
  CompareUrls(f, e, c);
  std::string bday = Text(f.value("bday", json()));
  bday.erase(std::remove(bday.begin(), bday.end(), '-'), bday.end());
  c.Check("bday", e.texts.at("BDAY"), bday);
  c.Check("note", e.texts.at("NOTE"), Text(f.value("note", json())));
  const std::string nickname = e.texts.at("NICKNAME");
  c.Check("nickname", nickname, Joined(Texts(f.value("nickname", json::array())), ","));
  c.Check("photo", PhotoDigest(e.photo), Text(f.value("photo", json())));
  return c;
}

// --- The cards and their contacts ------------------------------------------------------------

struct Card {
  std::string path;
  std::string source;                               // "golden names/3.0", "generated 3.0"
  std::string fn;                                   // as the card writes it
  const std::vector<Expected>* contacts = nullptr;  // of the card's store
};

// A vCard 2.1 quoted-printable value, soft line breaks joined.
std::string FromQuotedPrintable(const std::string& text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '=') {
      out += text[i];
    } else if (i + 2 < text.size() && text[i + 1] == '\r' && text[i + 2] == '\n') {
      i += 2;
    } else if (i + 2 < text.size()) {
      out += static_cast<char>(std::stoi(text.substr(i + 1, 2), nullptr, 16));
      i += 2;
    }
  }
  return out;
}

// The FN of a card as the file writes it, unescaped: the key a card is matched to its contact by,
// whatever an importer makes of it.
std::string WrittenFn(const std::string& path) {
  const std::string card = testing::fixture::ReadAll(path);
  const size_t start = card.find("\r\nFN");
  if (start == std::string::npos)
    return {};
  const size_t colon = card.find(':', start);
  const bool quotedPrintable =
      card.substr(start, colon - start).find("QUOTED-PRINTABLE") != std::string::npos;
  std::string value;
  if (quotedPrintable) {
    // The value goes on while a line ends with "=".
    size_t end = colon + 1;
    while (true) {
      const size_t lineEnd = card.find("\r\n", end);
      if (lineEnd == std::string::npos || card[lineEnd - 1] != '=') {
        end = lineEnd;
        break;
      }
      end = lineEnd + 2;
    }
    value = FromQuotedPrintable(card.substr(colon + 1, end - colon - 1));
  } else {
    // Unfolded: a line that starts with a blank continues the one before (3.0, 4.0).
    for (size_t at = colon + 1; at < card.size();) {
      const size_t lineEnd = card.find("\r\n", at);
      value += card.substr(at, lineEnd - at);
      if (lineEnd == std::string::npos || lineEnd + 2 >= card.size() ||
          (card[lineEnd + 2] != ' ' && card[lineEnd + 2] != '\t')) {
        break;
      }
      at = lineEnd + 3;
    }
  }
  std::string out;
  for (size_t i = 0; i < value.size(); ++i) {
    if (value[i] == '\\' && i + 1 < value.size()) {
      ++i;
      out += value[i] == 'n' || value[i] == 'N' ? '\n' : value[i];
    } else {
      out += value[i];
    }
  }
  return Replaced(out, "\r\n", "\n");
}

// The contact of a card: of those of its store not yet taken whose formatted name the card
// writes, the one the importer's fields differ least from (a generated store names some
// contacts alike on purpose); null when there is none.
const Expected* ContactOf(const Card& card, const json& fields, std::set<const Expected*>& taken) {
  const Expected* best = nullptr;
  size_t fewest = 0;
  for (const Expected& contact : *card.contacts) {
    if (contact.fn != card.fn || taken.count(&contact))
      continue;
    const size_t differences = fields.is_null() ? 0 : Compare(fields, contact).differences.size();
    if (!best || differences < fewest) {
      best = &contact;
      fewest = differences;
    }
  }
  if (best)
    taken.insert(best);
  return best;
}

class Cards {
 public:
  explicit Cards(Version v) : version_(v) {}

  void AddGolden(const std::string& fixtureName) {
    const json fixture =
        json::parse(testing::fixture::ReadAll(kGoldenDir / "fixtures" / (fixtureName + ".json")),
                    nullptr, true, /*ignore_comments=*/true);
    AddFolder(kGoldenDir / "cards" / fixtureName / NameOf(version_), fixture,
              "golden " + fixtureName + "/" + NameOf(version_));
  }

  // A generated store, written as a PST and exported by the program as a user would.
  void AddGenerated(const testing::Sandbox& sandbox, uint64_t contacts) {
    pstwriter::GeneratorOptions options;
    options.contacts = contacts;
    options.seed = 23;
    options.folders = 2;
    const pstwriter::Store store = pstwriter::GenerateStore(options);
    const fs::path pst = sandbox.folder() / "generated.pst";
    pstwriter::WritePst(store, pst.string());
    const fs::path out = sandbox.folder() / (std::string("generated-") + NameOf(version_));
    fs::create_directories(out);
    std::ostringstream runOut, runErr;
    const int status = cli::Run({"--pst", pst.string(), "--out", out.string(), "--vcard-version",
                                 NameOf(version_), "--quiet"},
                                runOut, runErr);
    ASSERT_EQ(status, 0) << runOut.str() << runErr.str();
    AddFolder(out, testing::fixture::FixtureOf(store),
              std::string("generated ") + NameOf(version_));
  }

  std::vector<Card>& cards() { return cards_; }

 private:
  void AddFolder(const fs::path& folder, const json& fixture, const std::string& source) {
    auto& contacts = contacts_.emplace_back();
    testing::fixture::CollectContacts(fixture["folders"], version_, contacts);
    std::vector<std::string> paths;
    for (const auto& entry : fs::directory_iterator(folder))
      paths.push_back(entry.path().string());
    std::sort(paths.begin(), paths.end());
    for (const auto& path : paths)
      cards_.push_back({path, source, WrittenFn(path), &contacts});
  }

  Version version_;
  std::vector<Card> cards_;
  // A list: the cards point into its vectors, which never move once filled.
  std::list<std::vector<Expected>> contacts_;
};

// --- The test --------------------------------------------------------------------------------

struct Case {
  const Importer* importer;
  Version version;
};

// What one importer made of one version's cards.
struct Tally {
  int cards = 0, refused = 0, fields = 0, lost = 0, altered = 0, tolerated = 0;
  std::map<std::string, int> toleratedBy;  // reason -> differences
};

json RunImporter(const Importer& importer, const std::vector<Card>& cards) {
  std::string command = importer.command;
  for (const auto& card : cards)
    command += " " + ShellQuote(card.path);
  return json::parse(RunCommand(command, importer.name));
}

class ImporterReads : public ::testing::TestWithParam<Case> {};

TEST_P(ImporterReads, EveryFieldOfEveryCard) {
  const Importer& importer = *GetParam().importer;
  const Version v = GetParam().version;
  testing::Sandbox sandbox;
  testing::SandboxedProfile profile(sandbox);
  Cards all(v);
  for (const char* fixture : golden::kFixtureNames)
    all.AddGolden(fixture);
  ASSERT_NO_FATAL_FAILURE(all.AddGenerated(sandbox, 300));

  json parsed;
  try {
    parsed = RunImporter(importer, all.cards());
  } catch (const std::exception& ex) {
    FAIL() << ex.what();
  }
  std::map<std::string, const json*> byPath;
  for (const auto& card : parsed.at("cards"))
    byPath[card.at("file").get<std::string>()] = &card;

  Tally tally;
  std::set<const Expected*> taken;
  for (const Card& card : all.cards()) {
    ++tally.cards;
    const std::string at = card.source + "/" + fs::path(card.path).filename().string();
    const auto found = byPath.find(card.path);
    if (found == byPath.end()) {
      ADD_FAILURE() << at << ": " << importer.name << " gave nothing for the card";
      continue;
    }
    const json& result = *found->second;
    if (!result.at("error").is_null()) {
      ++tally.refused;
      const KnownFault* fault =
          FaultOf(importer.name, v, "card", "", result.at("error").get<std::string>());
      if (fault) {
        ++tally.toleratedBy[fault->reason];
      } else {
        ADD_FAILURE() << at << ": " << importer.name << " refused it: " << result.at("error");
      }
      continue;
    }
    const Expected* contact = ContactOf(card, result.at("fields"), taken);
    if (!contact) {
      ADD_FAILURE() << at << ": no contact of its store has the name the card writes";
      continue;
    }
    const Comparison c = Compare(result.at("fields"), *contact);
    tally.fields += c.fields;
    for (const auto& d : c.differences) {
      ++(d.actual.empty() ? tally.lost : tally.altered);
      if (const KnownFault* fault = FaultOf(importer.name, v, d.field, d.expected, d.actual)) {
        ++tally.tolerated;
        ++tally.toleratedBy[fault->reason];
        continue;
      }
      ADD_FAILURE() << at << ": " << importer.name << " " << NameOf(v) << " " << d.field
                    << ": expected \"" << d.expected << "\", got \"" << d.actual << "\"";
    }
  }
  std::printf(
      "%s %s (%s): %d cards, %d refused, %d fields compared, %d lost, %d altered, %d of "
      "them tolerated\n",
      importer.name, NameOf(v), parsed.value("library", "").c_str(), tally.cards, tally.refused,
      tally.fields, tally.lost, tally.altered, tally.tolerated);
  for (const auto& [reason, count] : tally.toleratedBy)
    std::printf("  tolerated %d: %s\n", count, reason.c_str());
}

std::vector<Case> AllCases() {
  std::vector<Case> cases;
  for (const auto& importer : Importers()) {
    for (Version v : importer.versions)
      cases.push_back({&importer, v});
  }
  return cases;
}

INSTANTIATE_TEST_SUITE_P(Importers, ImporterReads, ::testing::ValuesIn(AllCases()),
                         [](const ::testing::TestParamInfo<Case>& info) {
                           std::string v = NameOf(info.param.version);
                           v.erase(std::remove(v.begin(), v.end(), '.'), v.end());
                           return std::string(info.param.importer->name) + "_v" + v;
                         });

}  // namespace
}  // namespace tarnvex::importers
