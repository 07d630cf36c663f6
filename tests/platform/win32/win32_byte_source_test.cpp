// The PST library's data files over the wide API: positional reads, paths of any length and in
// any script, files another program holds open, and what is not a file.
#include "platform/win32/win32_byte_source.h"

#include <gtest/gtest.h>

#include <functional>

#include "platform/failure.h"
#include "pst/file_source.h"
#include "tests/platform/win32/test_support.h"

namespace tarnvex {
namespace {

using testing::Long;
using testing::Sandbox;
using testing::WriteBytes;

std::string FailureOf(const std::function<void()>& f) {
  try {
    f();
  } catch (const Failure& failure) {
    return failure.description();
  }
  return "(no failure)";
}

std::string Bytes() {
  std::string bytes;
  for (int i = 0; i < 300000; ++i)
    bytes += static_cast<char>(i * 7 % 251);
  return bytes;
}

std::string ReadAt(const pst::ByteSource& source, std::uint64_t offset, std::size_t size) {
  std::string out(size, '\0');
  out.resize(source.ReadAt(offset, out.data(), size));
  return out;
}

TEST(Win32ByteSourceTest, ReadsAtAnyOffsetAndStopsWhereTheDataEnds) {
  Sandbox folder;
  const std::string path = folder / "Outlook \xC3\x84rger \xE5\xB1\xB1 \xF0\x9F\x8E\x89.pst";
  const std::string bytes = Bytes();
  WriteBytes(path, bytes);
  const auto source = pst::OpenFileSource(path);
  EXPECT_EQ(source->Name(), path);
  EXPECT_EQ(source->Size(), bytes.size());
  EXPECT_EQ(ReadAt(*source, 0, 4), bytes.substr(0, 4));
  EXPECT_EQ(ReadAt(*source, 123457, 70000), bytes.substr(123457, 70000));
  // Reads do not move a shared position: an earlier offset after a later one.
  EXPECT_EQ(ReadAt(*source, 10, 5), bytes.substr(10, 5));
  EXPECT_EQ(ReadAt(*source, bytes.size() - 3, 10), bytes.substr(bytes.size() - 3));
  EXPECT_EQ(ReadAt(*source, bytes.size(), 10), "");
  EXPECT_EQ(ReadAt(*source, bytes.size() + 100000, 10), "");
}

TEST(Win32ByteSourceTest, PathsBeyondMaxPath) {
  Sandbox folder;
  std::string deep = folder.path();
  for (int level = 0; level < 4; ++level) {
    deep += "\\level " + std::to_string(level) + " \xC3\x84rger " + std::string(60, 'x');
    ASSERT_TRUE(::CreateDirectoryW(Long(deep).c_str(), nullptr));
  }
  const std::string path = deep + "\\store.pst";
  ASSERT_GT(path.size(), static_cast<std::size_t>(MAX_PATH));
  WriteBytes(path, "!BDN and more");
  const auto source = pst::OpenFileSource(path);
  EXPECT_EQ(ReadAt(*source, 0, 100), "!BDN and more");
}

TEST(Win32ByteSourceTest, AFileAnotherProgramHoldsOpenForWritingIsRead) {
  Sandbox folder;
  const std::string path = folder / "open.pst";
  WriteBytes(path, "!BDN");
  const HANDLE writer = ::CreateFileW(Long(path).c_str(), GENERIC_READ | GENERIC_WRITE,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(writer, INVALID_HANDLE_VALUE);
  {
    const auto source = pst::OpenFileSource(path);
    EXPECT_EQ(ReadAt(*source, 0, 4), "!BDN");
  }
  ::CloseHandle(writer);
}

TEST(Win32ByteSourceTest, WhatIsNoFileIsRefusedInWords) {
  Sandbox folder;
  EXPECT_EQ(FailureOf([&] { pst::OpenFileSource(folder.path()); }),
            "Cannot open the Outlook data file \"" + folder.path() + "\": it is not a file.");
  EXPECT_EQ(FailureOf([&] { pst::OpenFileSource("NUL"); }),
            "Cannot open the Outlook data file \"NUL\": it is not a file.");
  const std::string missing = folder / "missing.pst";
  EXPECT_EQ(FailureOf([&] {
              pst::OpenFileSource(missing);
            }).rfind("Cannot open the Outlook data file \"" + missing + "\": ", 0),
            0u);
  // A NUL character would end the path early at the API.
  EXPECT_NE(FailureOf([&] { pst::OpenFileSource(std::string("a\0b.pst", 7)); }), "(no failure)");
}

}  // namespace
}  // namespace tarnvex
