#pragma once

// A temporary folder per test and the comparison of what a reader saw with what was written.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "tests/sandbox/sandbox.h"
#include "tests/tools/pstwriter/readers.h"

namespace tarnvex::pstwriter::testing {

using tarnvex::testing::Sandbox;

enum class Reader { kLibpff, kLibpst };

inline std::string Shorten(const std::string& s) {
  return s.size() <= 120
             ? "\"" + s + "\""
             : "\"" + s.substr(0, 120) + "...\" (" + std::to_string(s.size()) + " bytes)";
}

// Compares folders, counts, classes and properties. libpst reports only the fields it knows;
// for it every property it reports must match and every expected property in its domain must
// be reported.
inline void ExpectSameStore(const SeenStore& expected, const SeenStore& seen, Reader reader) {
  const bool pff = reader == Reader::kLibpff;
  SCOPED_TRACE(pff ? "read with libpff" : "read with libpst");
  EXPECT_EQ(seen.storeName, expected.storeName);
  EXPECT_EQ(seen.ipmSubtreeName, expected.ipmSubtreeName);
  if (pff) {
    EXPECT_EQ(seen.defaultContactsPath, expected.defaultContactsPath);
    EXPECT_EQ(seen.rootContactsPath, expected.rootContactsPath);
    EXPECT_EQ(seen.inboxContactsPath, expected.inboxContactsPath);
    EXPECT_EQ(seen.passwordChecksum, expected.passwordChecksum);
  }
  std::vector<std::string> expectedPaths, seenPaths;
  for (const auto& [path, f] : expected.folders)
    expectedPaths.push_back(path);
  for (const auto& [path, f] : seen.folders)
    seenPaths.push_back(path);
  ASSERT_EQ(seenPaths, expectedPaths);
  for (const auto& [path, want] : expected.folders) {
    SCOPED_TRACE("folder \"" + path + "\"");
    const SeenFolder& got = seen.folders.at(path);
    if (!path.empty()) {
      EXPECT_EQ(got.containerClass, want.containerClass);
    }
    ASSERT_EQ(got.items.size(), want.items.size());
    EXPECT_EQ(got.associated, want.associated);
    if (pff) {
      EXPECT_EQ(got.hidden, want.hidden);
      EXPECT_EQ(got.contentsTableRows, want.contentsTableRows);
      EXPECT_EQ(got.contentsTableClasses, want.contentsTableClasses);
      EXPECT_EQ(got.hierarchyTableRows, want.hierarchyTableRows);
      EXPECT_EQ(got.associatedTableRows, want.associatedTableRows);
    }
    for (std::size_t i = 0; i < want.items.size(); ++i) {
      const SeenItem& w = want.items[i];
      const SeenItem& g = got.items[i];
      SCOPED_TRACE("item " + std::to_string(i) + " (" + w.messageClass + ")");
      EXPECT_EQ(g.messageClass, w.messageClass);
      if (g.props.empty() && w.props.empty())
        continue;
      for (const auto& [key, value] : w.props) {
        auto it = g.props.find(key);
        if (pff) {
          ASSERT_NE(it, g.props.end()) << "missing property " << key;
          EXPECT_TRUE(it->second == value) << "property " << key << ": " << Shorten(it->second)
                                           << ", expected " << Shorten(value);
        } else if (it != g.props.end()) {
          EXPECT_TRUE(it->second == value) << "property " << key << ": " << Shorten(it->second)
                                           << ", expected " << Shorten(value);
        }
      }
      for (const auto& [key, value] : g.props) {
        if (!pff) {
          EXPECT_TRUE(w.props.count(key) || value.empty() || key == "0x3001" || key == "0x0037")
              << "unexpected property " << key << " = " << value;
        }
      }
      ASSERT_EQ(g.attachments.size(), w.attachments.size());
      std::vector<SeenAttachment> gotAtt = g.attachments, wantAtt = w.attachments;
      if (!pff) {  // libpst lists attachments in no particular order
        auto byData = [](const SeenAttachment& x, const SeenAttachment& y) {
          return x.data < y.data;
        };
        std::sort(gotAtt.begin(), gotAtt.end(), byData);
        std::sort(wantAtt.begin(), wantAtt.end(), byData);
      }
      for (std::size_t a = 0; a < wantAtt.size(); ++a) {
        EXPECT_TRUE(gotAtt[a].data == wantAtt[a].data)
            << "attachment " << a << ": " << gotAtt[a].data.size() << " bytes, expected "
            << wantAtt[a].data.size();
        for (const auto& [key, value] : wantAtt[a].props) {
          auto it = gotAtt[a].props.find(key);
          if (pff && key != "0x3701") {
            ASSERT_NE(it, gotAtt[a].props.end()) << "attachment property " << key;
          }
          if (it != gotAtt[a].props.end() && key != "0x3701") {
            EXPECT_EQ(it->second, value) << "attachment property " << key;
          }
        }
      }
      if (pff) {
        EXPECT_EQ(g.recipients, w.recipients);
      }
    }
  }
}

// Runs pffinfo on a file; its exit code.
inline int Pffinfo(const std::string& path) {
  const std::string command = std::string(PFFINFO) + " '" + path + "' > /dev/null 2>&1";
  const int status = std::system(command.c_str());
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace tarnvex::pstwriter::testing
