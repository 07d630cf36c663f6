// The settings store in the registry, under a key of each test's own.
#include "platform/win32/registry_settings_store.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <random>

#include "platform/failure.h"
#include "product/product.h"
#include "tests/platform/win32/test_support.h"

namespace tarnvex {
namespace {

using ::testing::HasSubstr;
using testing::Wide;

constexpr const char* kApp = "Dravelkin";
constexpr const char* kSection = "Tarnvex Card Exporter";

class RegistrySettingsStoreTest : public ::testing::Test {
 protected:
  RegistrySettingsStoreTest()
      : root("Software\\Tarnvex Tests\\" + std::to_string(std::random_device{}())), store(root) {}
  ~RegistrySettingsStoreTest() override { ::RegDeleteTreeW(HKEY_CURRENT_USER, Wide(root).c_str()); }

  // The value as the registry holds it: its type and its bytes.
  std::pair<DWORD, std::wstring> Raw(const std::string& key) {
    HKEY opened = nullptr;
    std::pair<DWORD, std::wstring> raw{REG_NONE, L""};
    if (::RegOpenKeyExW(HKEY_CURRENT_USER, Wide(store.KeyFor(kApp, kSection)).c_str(), 0,
                        KEY_QUERY_VALUE, &opened) != ERROR_SUCCESS) {
      return raw;
    }
    wchar_t data[4096] = {};
    DWORD size = sizeof data - sizeof(wchar_t);
    if (::RegQueryValueExW(opened, Wide(key).c_str(), nullptr, &raw.first,
                           reinterpret_cast<BYTE*>(data), &size) == ERROR_SUCCESS) {
      raw.second.assign(data, size / sizeof(wchar_t));
    }
    ::RegCloseKey(opened);
    return raw;
  }

  void SetRaw(const std::string& key, DWORD type, const void* data, DWORD size) {
    HKEY created = nullptr;
    ASSERT_EQ(::RegCreateKeyExW(HKEY_CURRENT_USER, Wide(store.KeyFor(kApp, kSection)).c_str(), 0,
                                nullptr, 0, KEY_SET_VALUE, nullptr, &created, nullptr),
              ERROR_SUCCESS);
    ASSERT_EQ(
        ::RegSetValueExW(created, Wide(key).c_str(), 0, type, static_cast<const BYTE*>(data), size),
        ERROR_SUCCESS);
    ::RegCloseKey(created);
  }

  std::string root;
  RegistrySettingsStore store;
};

TEST(RegistrySettingsStorePlace, TheProgramsKeyIsWhereWindowsProgramsKeepSettings) {
  EXPECT_EQ(RegistrySettingsStore().KeyFor(std::string(product::kSettingsApplication),
                                           std::string(product::kSettingsSection)),
            "Software\\VB and VBA Program Settings\\Dravelkin\\Tarnvex Card Exporter");
}

TEST_F(RegistrySettingsStoreTest, AMissingKeyGivesTheDefaultAndMakesNothing) {
  EXPECT_EQ(store.Get(kApp, kSection, "Option1", "True"), "True");
  EXPECT_EQ(store.Get(kApp, kSection, "Output Folder", ""), "");
  HKEY opened = nullptr;
  EXPECT_EQ(::RegOpenKeyExW(HKEY_CURRENT_USER, Wide(root).c_str(), 0, KEY_READ, &opened),
            ERROR_FILE_NOT_FOUND);
}

TEST_F(RegistrySettingsStoreTest, TextValuesRoundTrip) {
  const std::pair<std::string, std::string> values[] = {
      {"Option1", "True"},
      {"Option2", "False"},
      {"Output Folder", "C:\\Users\\Zo\xC3\xAB\\Desktop\\"},
      {"PST File", "  D:\\Post\\\xE5\xB1\xB1\xE7\x94\xB0 \xF0\x9F\x8E\x89.pst  "},
      {"LastFolderDot", "\\\\server\\share\\\xD0\x98\xD0\xB2\xD0\xB0\xD0\xBD"},
      {"Long", std::string(3000, 'x')},
  };
  for (const auto& [key, value] : values)
    store.Save(kApp, kSection, key, value);
  for (const auto& [key, value] : values) {
    EXPECT_EQ(store.Get(kApp, kSection, key, "default"), value) << key;
  }
  // Stored as REG_SZ text in UTF-16, as other programs read it.
  const auto [type, text] = Raw("PST File");
  EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
  EXPECT_EQ(text, std::wstring(L"  D:\\Post\\\u5c71\u7530 \U0001F389.pst  ") + L'\0');
}

TEST_F(RegistrySettingsStoreTest, EmptyTextIsPresentAndValuesAreReplaced) {
  store.Save(kApp, kSection, "PST File", "");
  EXPECT_EQ(store.Get(kApp, kSection, "PST File", "default"), "");
  store.Save(kApp, kSection, "PST File", "C:\\a.pst");
  store.Save(kApp, kSection, "PST File", "C:\\b.pst");
  EXPECT_EQ(store.Get(kApp, kSection, "PST File", ""), "C:\\b.pst");
  // Another key of the same section is still absent.
  EXPECT_EQ(store.Get(kApp, kSection, "Option1", "True"), "True");
  // Other sections and applications are kept apart.
  EXPECT_EQ(store.Get(kApp, "Other", "PST File", "none"), "none");
  EXPECT_EQ(store.Get("Other", kSection, "PST File", "none"), "none");
}

TEST_F(RegistrySettingsStoreTest, ValuesOfAnEarlierInstallationAreRead) {
  // Text written without its closing NUL character is read all the same.
  const std::wstring folder = L"C:\\Karten\\\u00c4rger";
  SetRaw("Output Folder", REG_SZ, folder.data(), static_cast<DWORD>(folder.size() * 2));
  EXPECT_EQ(store.Get(kApp, kSection, "Output Folder", ""), "C:\\Karten\\\xC3\x84rger");
  const std::wstring expandable = L"%USERPROFILE%\\Desktop";
  SetRaw("LastFolderDot", REG_EXPAND_SZ, expandable.c_str(),
         static_cast<DWORD>((expandable.size() + 1) * 2));
  EXPECT_EQ(store.Get(kApp, kSection, "LastFolderDot", ""), "%USERPROFILE%\\Desktop");
}

TEST_F(RegistrySettingsStoreTest, AValueThatHoldsNoTextFailsNamingTheKey) {
  const DWORD number = 1;
  SetRaw("Option1", REG_DWORD, &number, sizeof number);
  try {
    store.Get(kApp, kSection, "Option1", "True");
    ADD_FAILURE() << "no failure";
  } catch (const Failure& failure) {
    EXPECT_EQ(failure.description(),
              "Cannot read the setting \"Option1\" from HKEY_CURRENT_USER\\" +
                  store.KeyFor(kApp, kSection) + ": the value holds no text.");
  }
}

TEST_F(RegistrySettingsStoreTest, AFailedWriteRaisesAFailureNamingTheKey) {
  // Below a volatile key no lasting key can be made.
  HKEY volatileKey = nullptr;
  ASSERT_EQ(::RegCreateKeyExW(HKEY_CURRENT_USER, Wide(root + "\\" + kApp).c_str(), 0, nullptr,
                              REG_OPTION_VOLATILE, KEY_WRITE, nullptr, &volatileKey, nullptr),
            ERROR_SUCCESS);
  ::RegCloseKey(volatileKey);
  try {
    store.Save(kApp, kSection, "Output Folder", "C:\\cards\\");
    ADD_FAILURE() << "no failure";
  } catch (const Failure& failure) {
    EXPECT_THAT(failure.description(),
                HasSubstr("Cannot save the setting \"Output Folder\" in HKEY_CURRENT_USER\\" +
                          store.KeyFor(kApp, kSection) + ": "));
  }
  EXPECT_EQ(store.Get(kApp, kSection, "Output Folder", "absent"), "absent");
}

}  // namespace
}  // namespace tarnvex
