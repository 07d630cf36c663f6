// Password-protected stores: the kept value is the CRC-32 (MS-PST's block CRC: initial value 0,
// no final inversion) of the password's bytes.

#include <gtest/gtest.h>

#include "platform/failure.h"
#include "platform/standin/password.h"
#include "platform/standin/pst_outlook.h"

namespace tarnvex::standin {
namespace {

// Expected values computed independently with zlib (~crc32(data, 0xFFFFFFFF)).
TEST(PasswordTest, CrcKnownAnswers) {
  EXPECT_EQ(PstPasswordCrc(""), 0x00000000u);
  EXPECT_EQ(PstPasswordCrc("123456789"), 0x2DFD2D88u);
  EXPECT_EQ(PstPasswordCrc("secret"), 0xED604946u);
  EXPECT_EQ(PstPasswordCrc("P\xC3\xA4ssw\xC3\xB6rd"), 0xFF60A4CAu);
}

TEST(PasswordTest, OpenedOnlyWithTheKeptPassword) {
  const std::string path = "/data/locked.pst";
  const uint32_t kept = PstPasswordCrc("secret");
  struct Case {
    std::optional<uint32_t> kept;
    std::optional<std::string> password;
    const char* failure;  // part of the description, or null when the store opens
  };
  const Case cases[] = {
      {std::nullopt, std::nullopt, nullptr},        // no password kept
      {0u, std::nullopt, nullptr},                  // kept as 0: none
      {std::nullopt, std::string("any"), nullptr},  // a password given for an open store
      {kept, std::string("secret"), nullptr},
      {kept, std::nullopt, "is protected by a password"},
      {kept, std::string("Secret"), "is not its password"},
      {kept, std::string(""), "is not its password"},
  };
  for (const auto& c : cases) {
    if (!c.failure) {
      EXPECT_NO_THROW(CheckStorePassword(path, c.kept, c.password));
      continue;
    }
    try {
      CheckStorePassword(path, c.kept, c.password);
      ADD_FAILURE() << "no failure for " << c.failure;
    } catch (const Failure& f) {
      EXPECT_NE(std::string(f.what()).find(c.failure), std::string::npos) << f.what();
      EXPECT_NE(std::string(f.what()).find(path), std::string::npos) << f.what();
    }
  }
}

}  // namespace
}  // namespace tarnvex::standin
