#pragma once

// The golden cards of tests/golden as a Windows export names them, for the suites that run
// tarnvex-export.exe under wine (the own reader's and Outlook's through the test server). Needs
// TARNVEX_GOLDEN_DIR, the golden folder as wine's drive Z: shows it.

#include <windows.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <set>
#include <string>

#include "tests/golden/compare_cards.h"
#include "tests/platform/win32/test_support.h"

namespace tarnvex::cli {

using tarnvex::testing::Names;
using tarnvex::testing::ReadBytes;

// Paths of the build machine as wine's drive Z: shows them, with Windows separators.
inline std::string WindowsPath(std::string path) {
  std::replace(path.begin(), path.end(), '/', '\\');
  return path;
}
inline const std::string kGoldenDir = WindowsPath(TARNVEX_GOLDEN_DIR);

inline std::map<std::string, std::string> ReadFolder(const std::string& folder) {
  std::map<std::string, std::string> files;
  for (const std::string& name : Names(folder))
    files[name] = ReadBytes(folder + "\\" + name).value_or("(unreadable)");
  return files;
}

inline std::string Repeat(const std::string& text, int times) {
  std::string out;
  for (int i = 0; i < times; ++i)
    out += text;
  return out;
}

// "長い名前"
inline constexpr const char* kLongName = "\xE9\x95\xB7\xE3\x81\x84\xE5\x90\x8D\xE5\x89\x8D";

inline bool UnderWine() {
  const HMODULE ntdll = ::GetModuleHandleW(L"ntdll.dll");
  return ntdll && ::GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

// The golden names that Windows gives otherwise, and the names it gives.
inline const std::map<std::string, std::string>& WindowsNames() {
  static const std::map<std::string, std::string> names = {
      // ".hidden start": a leading "." hides nothing on Windows and stays.
      {"hidden start.vcf", ".hidden start.vcf"},
      // A contact with nothing to name its card after: nothing before the extension.
      {"(no name).vcf", ".vcf"},
      // 120 CJK characters: 360 bytes, cut to 251 on Linux; 120 UTF-16 units fit whole. Wine
      // keeps the file in the build machine's file system, whose names hold 255 bytes of UTF-8,
      // and cuts the name the program gives it there (85 characters, extension and all).
      {Repeat(kLongName, 20) + "\xE9\x95\xB7\xE3\x81\x84\xE5\x90\x8D.vcf",
       UnderWine() ? Repeat(kLongName, 21) + "\xE9\x95\xB7" : Repeat(kLongName, 30) + ".vcf"},
  };
  return names;
}

// The folder holds the golden cards of the fixture, under the names Windows gives them.
inline void ExpectGoldenCards(const std::string& folder, const std::string& fixture,
                              const std::string& version) {
  const std::string goldenDir = kGoldenDir + "\\cards\\" + fixture + "\\" + version;
  golden::ExpectSameCards(ReadFolder(goldenDir), ReadFolder(folder), goldenDir, WindowsNames());
}

}  // namespace tarnvex::cli
