// The stand-in's profile and its place, over fakes of the machine: where the profile is, how it
// is read and written, and what happens when no place for it is known.
#include "platform/standin/profile.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "platform/failure.h"
#include "platform/standin/pst_outlook.h"
#include "tests/fakes/fake_file_access.h"

namespace tarnvex::standin {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using Text = std::optional<std::string>;

struct PlaceCase {
  const char* name;
  Text variable;
  Text configFolder;
  std::string profile;
};

const PlaceCase kPlaces[] = {
    {"TheVariableFirst", "/tmp/work.ini", "/home/ann/.config", "/tmp/work.ini"},
    {"TheVariableAlone", "/tmp/work.ini", std::nullopt, "/tmp/work.ini"},
    {"AnEmptyVariableIsUnset", "", "/home/ann/.config", "/home/ann/.config/tarnvex/profile.ini"},
    {"TheConfigurationFolder", std::nullopt, "/home/ann/.config",
     "/home/ann/.config/tarnvex/profile.ini"},
    // Neither: no place at all, not "/tarnvex/profile.ini" at the root.
    {"NeitherIsKnown", std::nullopt, std::nullopt, ""},
    {"AnEmptyConfigurationFolderIsNone", std::nullopt, "", ""},
};

class ProfilePlace : public ::testing::TestWithParam<PlaceCase> {};

TEST_P(ProfilePlace, IsTheVariableElseTheConfigurationFolderElseNone) {
  EXPECT_EQ(ProfilePath(GetParam().variable, GetParam().configFolder), GetParam().profile);
}

INSTANTIATE_TEST_SUITE_P(Places, ProfilePlace, ::testing::ValuesIn(kPlaces),
                         [](const auto& info) { return std::string(info.param.name); });

class Profile : public ::testing::Test {
 protected:
  fakes::FakeFileAccess files;
  fakes::FakeAtomicFileWriter writer{files};
};

TEST_F(Profile, ReadsTheDefaultStoreOfTheProfileSection) {
  files.files["/c/profile.ini"] =
      "; comment\r\n[Other]\nDefaultStore=/not/this.pst\n[ Profile ]\n  DefaultStore = /a b.pst "
      "\r\n";
  EXPECT_EQ(ReadDefaultStore("/c/profile.ini", files), "/a b.pst");
  files.files["/c/empty.ini"] = "[Profile]\nDefaultStore=\n";
  EXPECT_EQ(ReadDefaultStore("/c/empty.ini", files), std::nullopt);
  EXPECT_EQ(ReadDefaultStore("/c/missing.ini", files), std::nullopt);
  files.unreadable.insert("/c/locked.ini");
  EXPECT_THROW(ReadDefaultStore("/c/locked.ini", files), Failure);
}

TEST_F(Profile, ReadsTheCodePageOfTheProfileSection) {
  files.files["/c/profile.ini"] = "[Other]\nCodepage=932\n[Profile]\nCodepage = 1251 \n";
  EXPECT_EQ(ReadProfileCodePage("/c/profile.ini", files), 1251u);
  for (const char* value : {"", "cyrillic", "0", "70000", "-1", "12 51"}) {
    files.files["/c/bad.ini"] = std::string("[Profile]\nCodepage=") + value + "\n";
    EXPECT_EQ(ReadProfileCodePage("/c/bad.ini", files), std::nullopt) << value;
  }
  files.files["/c/none.ini"] = "[Profile]\nDefaultStore=/a.pst\n";
  EXPECT_EQ(ReadProfileCodePage("/c/none.ini", files), std::nullopt);
  EXPECT_EQ(ReadProfileCodePage("/c/missing.ini", files), std::nullopt);
  EXPECT_EQ(ReadProfileCodePage("", files), std::nullopt);
  files.unreadable.insert("/c/locked.ini");
  EXPECT_THROW(ReadProfileCodePage("/c/locked.ini", files), Failure);
}

TEST_F(Profile, ReadsTheCharsetOfTheProfileSection) {
  files.files["/c/profile.ini"] = "[Other]\nCharset=utf-8\n[Profile]\nCharset = Outlook \n";
  EXPECT_EQ(ReadProfileCharset("/c/profile.ini", files), vcard::Charset::kOutlook);
  files.files["/c/utf8.ini"] = "[Profile]\nCharset=UTF-8\n";
  EXPECT_EQ(ReadProfileCharset("/c/utf8.ini", files), vcard::Charset::kUtf8);
  for (const char* value : {"", "utf8", "windows-1252", "outlook2007"}) {
    files.files["/c/bad.ini"] = std::string("[Profile]\nCharset=") + value + "\n";
    EXPECT_EQ(ReadProfileCharset("/c/bad.ini", files), std::nullopt) << value;
  }
  EXPECT_EQ(ReadProfileCharset("/c/missing.ini", files), std::nullopt);
  files.unreadable.insert("/c/locked.ini");
  EXPECT_THROW(ReadProfileCharset("/c/locked.ini", files), Failure);
}

// Making a store the default keeps what else the user set in the profile.
TEST_F(Profile, WritingTheDefaultStoreKeepsTheOtherKeys) {
  struct Case {
    std::string before;
    std::string after;
  };
  const Case cases[] = {
      {"[Profile]\nCodepage=1251\nCharset=outlook\n",
       "[Profile]\nDefaultStore=/data/b.pst\nCodepage=1251\nCharset=outlook\n"},
      {"; "
       "mine\r\n[Profile]\r\nDefaultStore=/"
       "old.pst\r\nCodepage=932\r\n[Other]\r\nDefaultStore=x\r\n",
       "; mine\n[Profile]\nDefaultStore=/data/b.pst\nCodepage=932\n[Other]\nDefaultStore=x\n"},
      {"[Other]\nKey=1\n", "[Profile]\nDefaultStore=/data/b.pst\n[Other]\nKey=1\n"},
      {"", "[Profile]\nDefaultStore=/data/b.pst\n"},
  };
  for (const auto& c : cases) {
    files.files["/c/p.ini"] = c.before;
    WriteDefaultStore("/c/p.ini", "/data/b.pst", files, writer);
    EXPECT_EQ(files.files["/c/p.ini"], c.after) << c.before;
    EXPECT_EQ(ReadDefaultStore("/c/p.ini", files), "/data/b.pst") << c.before;
  }
  files.unreadable.insert("/c/locked.ini");
  EXPECT_THROW(WriteDefaultStore("/c/locked.ini", "/data/b.pst", files, writer), Failure);
}

TEST_F(Profile, WritingMakesTheFoldersAndWritesTheFileWhole) {
  WriteDefaultStore("/home/ann/.config/tarnvex/profile.ini", "/data/a.pst", files, writer);
  EXPECT_THAT(files.folders, ElementsAre("/home/ann/.config/tarnvex"));
  EXPECT_THAT(writer.written, ElementsAre("/home/ann/.config/tarnvex/profile.ini"));
  EXPECT_EQ(files.files["/home/ann/.config/tarnvex/profile.ini"],
            "[Profile]\nDefaultStore=/data/a.pst\n");
  EXPECT_EQ(ReadDefaultStore("/home/ann/.config/tarnvex/profile.ini", files), "/data/a.pst");
  EXPECT_THROW(WriteDefaultStore("/c/p.ini", "/data/line\nbreak.pst", files, writer), Failure);
  writer.failing.insert("/c/p.ini");
  EXPECT_THROW(WriteDefaultStore("/c/p.ini", "/data/a.pst", files, writer), Failure);
  files.blocked.insert("/blocked");
  EXPECT_THROW(WriteDefaultStore("/blocked/p.ini", "/data/a.pst", files, writer), Failure);
}

TEST_F(Profile, WithoutAPlaceNothingIsReadAndWritingFailsSayingWhy) {
  EXPECT_EQ(ReadDefaultStore("", files), std::nullopt);
  try {
    WriteDefaultStore("", "/data/a.pst", files, writer);
    ADD_FAILURE() << "no failure";
  } catch (const Failure& failure) {
    EXPECT_THAT(failure.what(), HasSubstr("\"/data/a.pst\" cannot be made the default"));
    EXPECT_THAT(failure.what(), HasSubstr("no configuration folder"));
    EXPECT_THAT(failure.what(), HasSubstr("TARNVEX_OUTLOOK_PROFILE"));
  }
  EXPECT_TRUE(writer.written.empty());
  EXPECT_TRUE(files.folders.empty());
}

TEST_F(Profile, TheStandInWithoutAPlaceHasNoDefaultFolderAndSaysWhy) {
  auto automation =
      MakePstOutlook({VCardVersion::k21, std::nullopt, std::string()}, {writer, files});
  auto ns = automation->CreateApplication()->GetNamespace("MAPI");
  try {
    ns->GetDefaultFolder(kOlFolderContacts);
    ADD_FAILURE() << "no failure";
  } catch (const Failure& failure) {
    EXPECT_THAT(failure.what(), HasSubstr("no place for the Outlook profile"));
    EXPECT_THAT(failure.what(), HasSubstr("TARNVEX_OUTLOOK_PROFILE"));
  }
  EXPECT_EQ(ns->Folders()->Count(), 0);
}

TEST_F(Profile, TheStandInReadsTheProfileThroughTheMachineItIsGiven) {
  files.files["/c/profile.ini"] = "[Profile]\nDefaultStore=/data/missing.pst\n";
  auto automation =
      MakePstOutlook({VCardVersion::k21, std::nullopt, "/c/profile.ini"}, {writer, files});
  auto ns = automation->CreateApplication()->GetNamespace("MAPI");
  // The store it names cannot be opened: that is the failure, not a missing profile.
  try {
    ns->GetDefaultFolder(kOlFolderContacts);
    ADD_FAILURE() << "no failure";
  } catch (const Failure& failure) {
    EXPECT_THAT(failure.what(), HasSubstr("/data/missing.pst"));
  }
}

// A profile that cannot be read (a pipe, a device, no permission) does not stop the stand-in:
// only the default Contacts folder fails, naming the profile and what is wrong with it.
TEST_F(Profile, AnUnreadableProfileFailsOnlyTheDefaultFolder) {
  files.unreadable.insert("/c/profile.ini");
  auto automation =
      MakePstOutlook({VCardVersion::k21, std::nullopt, "/c/profile.ini"}, {writer, files});
  auto ns = automation->CreateApplication()->GetNamespace("MAPI");
  try {
    ns->GetDefaultFolder(kOlFolderContacts);
    ADD_FAILURE() << "no failure";
  } catch (const Failure& failure) {
    EXPECT_THAT(failure.what(), HasSubstr("Cannot read the Outlook profile \"/c/profile.ini\""));
  }
  EXPECT_EQ(ns->Folders()->Count(), 0);
}

}  // namespace
}  // namespace tarnvex::standin
