// The command line's console: UTF-8 text shown in a console as UTF-16, bytes elsewhere.
#include "platform/win32/win32_console.h"

#include <gtest/gtest.h>

#include <ostream>

#include "tests/platform/win32/test_support.h"

namespace tarnvex {
namespace {

using testing::ReadBytes;
using testing::Sandbox;

TEST(WholeUtf8PrefixTest, ACharacterCutShortWaits) {
  const struct {
    std::string bytes;
    std::size_t whole;
  } cases[] = {
      {"", 0},
      {"abc", 3},
      {"a\xC3\xA4", 3},
      {"a\xC3", 1},
      {"a\xE5\xB1", 1},
      {"a\xE5", 1},
      {"a\xF0\x9F\x8E", 1},
      {"a\xF0\x9F\x8E\x89", 5},
      {"a\x80", 2},  // a stray continuation byte starts nothing
      {"a\xFF", 2},  // nor does a byte that is never UTF-8
      {"\x9F\x8E\x89", 3},
  };
  for (const auto& c : cases)
    EXPECT_EQ(WholeUtf8Prefix(c.bytes), c.whole) << c.bytes;
}

TEST(HandleStreamBufferTest, AFileGetsTheBytesAsTheyAre) {
  Sandbox folder;
  const std::string path = folder / "out.txt";
  const HANDLE file = ::CreateFileW(testing::Long(path).c_str(), GENERIC_WRITE, 0, nullptr,
                                    CREATE_ALWAYS, 0, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  const std::string text = "[###---] 1/2\r\x1b[KZo\xC3\xAB \xF0\x9F\x8E\x89\n";
  {
    HandleStreamBuffer buffer(file);
    EXPECT_FALSE(buffer.IsConsole());
    std::ostream out(&buffer);
    out << text.substr(0, 22) << std::flush << text.substr(22);
  }
  ::CloseHandle(file);
  EXPECT_EQ(ReadBytes(path), text);
}

TEST(HandleStreamBufferTest, APipeIsNoConsole) {
  HANDLE read = nullptr, write = nullptr;
  ASSERT_TRUE(::CreatePipe(&read, &write, nullptr, 0));
  {
    HandleStreamBuffer buffer(write);
    EXPECT_FALSE(buffer.IsConsole());
    std::ostream out(&buffer);
    out << "Done.\n" << std::flush;
  }
  char got[16] = {};
  DWORD length = 0;
  ASSERT_TRUE(::ReadFile(read, got, sizeof got, &length, nullptr));
  EXPECT_EQ(std::string(got, length), "Done.\n");
  ::CloseHandle(read);
  ::CloseHandle(write);
}

TEST(HandleStreamBufferTest, AMissingHandleTakesTheTextAndDropsIt) {
  HandleStreamBuffer buffer(nullptr);
  std::ostream out(&buffer);
  out << "lost" << std::flush;
  EXPECT_TRUE(out.good());
}

// A console of the test's own, read back cell by cell.
class ConsoleTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ::FreeConsole();
    if (!::AllocConsole())
      GTEST_SKIP() << "no console can be made here (no display)";
    console_ =
        ::CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                      nullptr, OPEN_EXISTING, 0, nullptr);
    DWORD mode = 0;
    if (console_ == INVALID_HANDLE_VALUE || !::GetConsoleMode(console_, &mode))
      GTEST_SKIP() << "the console cannot be used here (no display)";
  }
  void TearDown() override {
    if (console_ != INVALID_HANDLE_VALUE)
      ::CloseHandle(console_);
    ::FreeConsole();
  }

  // The first cells of the cursor's row.
  std::wstring Row(int cells) {
    CONSOLE_SCREEN_BUFFER_INFO info{};
    ::GetConsoleScreenBufferInfo(console_, &info);
    std::wstring row(cells, L'\0');
    DWORD read = 0;
    ::ReadConsoleOutputCharacterW(console_, row.data(), cells, {0, info.dwCursorPosition.Y}, &read);
    row.resize(read);
    return row;
  }

  HANDLE console_ = INVALID_HANDLE_VALUE;
};

TEST_F(ConsoleTest, TextShowsAsUtf16AndTheEraseSequenceClearsTheLine) {
  HandleStreamBuffer buffer(console_);
  ASSERT_TRUE(buffer.IsConsole());
  std::ostream out(&buffer);
  out << "[##########] 10/10 \xCE\xA3" << std::flush;  // Σ
  EXPECT_EQ(Row(22), L"[##########] 10/10 \u03a3  ");
  out << "\r\x1b[KZo\xC3\xAB" << std::flush;
  EXPECT_EQ(Row(22), std::wstring(L"Zo\u00eb") + std::wstring(19, L' '));
}

TEST_F(ConsoleTest, ACharacterSplitBetweenWritesShowsWhole) {
  HandleStreamBuffer buffer(console_);
  std::ostream out(&buffer);
  out << "\r\x1b[K"
      << "\xC3" << std::flush;
  out << "\xA4"
      << "\x1b" << std::flush;
  out << "[K!" << std::flush;
  EXPECT_EQ(Row(3), L"\u00e4! ");
}

}  // namespace
}  // namespace tarnvex
