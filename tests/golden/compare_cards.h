#pragma once

// The one comparison of an export's cards with the committed golden cards, for every suite that
// exports the golden fixtures, on Linux and under wine: each committed card, under the name the
// platform gives it, holds the same bytes; no other card was written; a card that differs is
// shown line by line. Standard C++ and GoogleTest alone.

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace tarnvex::golden {

// Card file name -> bytes.
using CardFiles = std::map<std::string, std::string>;

inline std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);)
    lines.push_back(line);
  return lines;
}

// The first lines where the two texts differ, numbered, each side shown with its line end.
inline std::string LineDiff(const std::string& expected, const std::string& actual) {
  const auto e = Lines(expected), a = Lines(actual);
  std::ostringstream out;
  int shown = 0;
  for (size_t i = 0; i < std::max(e.size(), a.size()) && shown < 8; ++i) {
    const std::string* ei = i < e.size() ? &e[i] : nullptr;
    const std::string* ai = i < a.size() ? &a[i] : nullptr;
    if (ei && ai && *ei == *ai)
      continue;
    out << "  line " << i + 1 << ":\n    expected: " << (ei ? *ei : "(none)")
        << "\n    actual:   " << (ai ? *ai : "(none)") << "\n";
    ++shown;
  }
  return out.str();
}

// `golden` as committed in `goldenDir`, `exported` as the run wrote them; `renamed`: the golden
// names the platform gives otherwise, and the names it gives.
inline void ExpectSameCards(const CardFiles& golden, const CardFiles& exported,
                            const std::string& goldenDir,
                            const std::map<std::string, std::string>& renamed = {}) {
  ASSERT_FALSE(golden.empty()) << "no committed cards in " << goldenDir;
  std::set<std::string> expectedNames;
  for (const auto& [goldenName, bytes] : golden) {
    const auto rename = renamed.find(goldenName);
    const std::string name = rename != renamed.end() ? rename->second : goldenName;
    expectedNames.insert(name);
    const auto it = exported.find(name);
    if (it == exported.end()) {
      ADD_FAILURE() << "card missing from the export: " << name
                    << (name != goldenName ? " (golden " + goldenName + ")" : "");
      continue;
    }
    EXPECT_TRUE(it->second == bytes)
        << name << " differs from " << goldenDir << "/" << goldenName << ":\n"
        << LineDiff(bytes, it->second);
  }
  for (const auto& [name, bytes] : exported) {
    if (!expectedNames.count(name))
      ADD_FAILURE() << "card not in the committed set: " << name;
  }
}

}  // namespace tarnvex::golden
