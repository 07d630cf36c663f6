// Which folders of a PST file tarnvex-export takes its contacts from, on stores described in
// tarnvex-pstgen's JSON: every contact of the store gets exactly one card, wherever it lies, and
// the summary adds up to the items of the folders exported.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <sstream>

#include "cli/cli.h"
#include "tests/platform/standin/pst_fixtures.h"
#include "tools/pstwriter/json_store.h"

namespace tarnvex::standin {
namespace {

using testing::Sandbox;
using testing::SandboxedProfile;
namespace fs = std::filesystem;

// A JSON list of contacts filed under the names, and of other items of the classes given
// after a "|" ("|IPM.Note").
std::string Items(const std::vector<std::string>& names) {
  std::string json = "[";
  for (const std::string& name : names) {
    if (json.size() > 1)
      json += ",";
    if (name.starts_with("|")) {
      json += R"({"class": ")" + name.substr(1) + R"(", "properties": {"PidTagSubject": "x"}})";
    } else {
      json += R"({"properties": {"PidLidFileUnder": ")" + name + R"("}})";
    }
  }
  return json + "]";
}

struct WalkCase {
  std::string name;
  std::string json;
  std::vector<std::string> args;  // beyond --pst and --out
  std::vector<std::string> cards;
  std::string output;
  int status = 0;
};

class FolderWalkTest : public ::testing::TestWithParam<WalkCase> {
 protected:
  void SetUp() override { fs::create_directory(out_); }

  std::string Store(const std::string& json) {
    return testing::WriteStore(pstwriter::StoreFromJson(json, tmp_.path(), "case"),
                               tmp_ / "case.pst");
  }

  int Export(std::vector<std::string> args, std::string& output) {
    std::ostringstream out, err;
    const int status = cli::Run(args, out, err);
    output = out.str();
    EXPECT_EQ(err.str(), "");
    return status;
  }

  // The cards' names without ".vcf", sorted.
  std::vector<std::string> Cards() const {
    std::vector<std::string> stems;
    for (const std::string& name : testing::FileNames(out_))
      stems.push_back(fs::path(name).stem());
    std::sort(stems.begin(), stems.end());
    return stems;
  }

  Sandbox tmp_;
  SandboxedProfile profile_{tmp_};
  std::string out_ = tmp_ / "out";
};

TEST_P(FolderWalkTest, EveryContactGetsOneCard) {
  const WalkCase& c = GetParam();
  std::vector<std::string> args = {"--pst", Store(c.json), "--out", out_};
  args.insert(args.end(), c.args.begin(), c.args.end());
  std::string output;
  EXPECT_EQ(Export(args, output), c.status);
  EXPECT_EQ(output, c.output);
  std::vector<std::string> expected = c.cards;
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(Cards(), expected);
}

const std::string kDeletedItems = R"({"folders": [
  {"name": "Contacts", "items": )" +
                                  Items({"Kept"}) + R"(},
  {"name": "Deleted Items", "items": )" +
                                  Items({"Gone 1", "|IPM.Note", "Gone 2"}) +
                                  R"(, "folders": [{"name": "Old", "class": "IPF.Contact",
     "items": )" + Items({"Older", "|IPM.DistList"}) +
                                  R"(}]}]})";

std::vector<std::string> Numbered(const std::string& stem, int count) {
  std::vector<std::string> names;
  for (int i = 1; i <= count; ++i)
    names.push_back(stem + " " + std::to_string(i));
  return names;
}

std::vector<std::string> WithMail(std::vector<std::string> names) {
  for (std::size_t i = 0; i < names.size(); i += 3)
    names.insert(names.begin() + static_cast<std::ptrdiff_t>(i), "|IPM.Note");
  return names;
}

INSTANTIATE_TEST_SUITE_P(
    Stores, FolderWalkTest,
    ::testing::Values(
        WalkCase{"ContactsFolderWithoutAClass",
                 R"({"standardFolders": false, "folders": [{"name": "Contacts", "class": "",
                     "items": )" +
                     Items({"A", "B", "|IPM.DistList"}) + "}]}",
                 {},
                 {"A", "B"},
                 "Done.\n2 cards written, 0 items passed over, 0 failures\n"},
        WalkCase{"ContactsInAMailFolder",
                 R"({"folders": [{"name": "myInbox", "items": )" +
                     Items(WithMail(Numbered("Mailed", 72))) + "}]}",
                 {},
                 Numbered("Mailed", 72),
                 "Done.\n72 cards written, 0 items passed over, 0 failures\n"},
        WalkCase{"ContactsInTheTopFolder",
                 R"({"standardFolders": false, "items": )" + Items({"Top", "|IPM.Note"}) + "}",
                 {},
                 {"Top"},
                 "Done.\n1 card written, 0 items passed over, 0 failures\n"},
        WalkCase{"ThreeLevelsDown",
                 R"({"folders": [{"name": "One", "folders": [{"name": "Two", "class": "",
                     "folders": [{"name": "Three", "items": )" +
                     Items({"Deep"}) + "}]}]}]}",
                 {},
                 {"Deep"},
                 "Done.\n1 card written, 0 items passed over, 0 failures\n"},
        WalkCase{"HiddenFolder",
                 R"({"folders": [{"name": "Recipient Cache", "class": "IPF.Contact",
                     "hidden": true, "items": )" +
                     Items({"Cached"}) + R"(}, {"name": "Contacts", "items": )" + Items({"Seen"}) +
                     "}]}",
                 {},
                 {"Seen"},
                 "Done.\n1 card written, 0 items passed over, 0 failures\n"},
        WalkCase{"DeletedItemsLeftOut",
                 kDeletedItems,
                 {},
                 {"Kept"},
                 "Done.\n1 card written, 0 items passed over, 0 failures\n"
                 "3 contacts in Deleted Items were not exported; --include-deleted exports them "
                 "too\n"},
        WalkCase{"DeletedItemsIncluded",
                 kDeletedItems,
                 {"--include-deleted"},
                 {"Kept", "Gone 1", "Gone 2", "Older"},
                 "Done.\n4 cards written, 1 item passed over, 0 failures\n"},
        WalkCase{"OnlyInDeletedItems",
                 R"({"folders": [{"name": "Deleted Items", "items": )" + Items({"Gone"}) + "}]}",
                 {},
                 {},
                 "No contacts found.\n"
                 "1 contact in Deleted Items was not exported; --include-deleted exports it too\n",
                 3},
        WalkCase{"DistributionListsInAMailFolder",
                 R"({"folders": [{"name": "Inbox", "items": )" +
                     Items({"|IPM.DistList", "|IPM.Note", "Dragged"}) + "}]}",
                 {},
                 {"Dragged"},
                 "Done.\n1 card written, 0 items passed over, 0 failures\n"}),
    [](const auto& info) { return info.param.name; });

TEST_F(FolderWalkTest, DefaultSourceTakesTheContactFoldersBelowTheContactsFolder) {
  const std::string pst = Store(R"({"folders": [
    {"name": "Contacts", "items": )" +
                                Items({"Own", "|IPM.DistList"}) +
                                R"(, "folders": [
      {"name": "Family", "class": "IPF.Contact", "items": )" +
                                Items({"Sister"}) + R"(, "folders": [
        {"name": "Cousins", "class": "IPF.Contact", "items": )" +
                                Items({"Cousin"}) + R"(}]},
      {"name": "Clients", "class": "IPF.Contact", "items": )" +
                                Items({"Client"}) + R"(}]},
    {"name": "Inbox", "items": )" +
                                Items({"Not below Contacts"}) + "}]}");
  std::string output;
  ASSERT_EQ(Export({"--set-default-store", pst}, output), 0);
  EXPECT_EQ(Export({"--default-contacts", "--out", out_}, output), 0);
  EXPECT_EQ(output, "Done.\n4 cards written, 1 item passed over, 0 failures\n");
  EXPECT_THAT(Cards(), ::testing::ElementsAre("Client", "Cousin", "Own", "Sister"));
}

// A contact without a file-as text gives its card the first of its other names that gives one.
TEST_F(FolderWalkTest, CardsOfContactsWithoutFileAsAreNamedAfterTheirOtherNames) {
  const std::string pst = Store(R"({"folders": [{"name": "Contacts", "items": [
    {"properties": {"PidTagDisplayName": "Wichert Kroos", "PidTagSurname": "Kroos",
                    "PidTagCompanyName": "Kroos BV"}},
    {"properties": {"PidTagGivenName": "Sebastian", "PidTagSurname": "Wright"}},
    {"properties": {"PidTagSurname": "Solo"}},
    {"properties": {"PidTagCompanyName": "Acme Tools",
                    "PidLidEmail1EmailAddress": "info@acme.example",
                    "PidLidEmail1AddressType": "SMTP"}},
    {"properties": {"PidLidEmail1EmailAddress": "anna@example.com",
                    "PidLidEmail1AddressType": "SMTP"}},
    {"properties": {"PidLidEmail1EmailAddress": "/o=Org/ou=Site/cn=Recipients/cn=boris",
                    "PidLidEmail1AddressType": "EX",
                    "PidLidEmail1OriginalDisplayName": "boris@example.com"}},
    {"properties": {"PidLidEmail1EmailAddress": "/o=Org/ou=Site/cn=Recipients/cn=carl",
                    "PidLidEmail1AddressType": "EX",
                    "PidLidEmail1OriginalDisplayName": "Carl Berg"}},
    {"properties": {"PidLidFileUnder": "<>|", "PidTagDisplayName": "Removed Only"}},
    {"properties": {"PidTagDisplayName": "Sam Lee"}},
    {"properties": {"PidLidFileUnder": "", "PidTagDisplayName": "Sam Lee"}},
    {"properties": {"PidTagCompanyName": "PRN"}}]}]})");
  std::string output;
  EXPECT_EQ(Export({"--pst", pst, "--out", out_}, output), 0);
  EXPECT_EQ(output, "Done.\n11 cards written, 0 items passed over, 0 failures\n");
  EXPECT_THAT(Cards(), ::testing::UnorderedElementsAre(
                           "Wichert Kroos", "Wright, Sebastian", "Solo", "Acme Tools",
                           "anna@example.com", "boris@example.com", "(no name)", "Removed Only",
                           "Sam Lee", "Sam Lee (2)", "PRN_"));
}

}  // namespace
}  // namespace tarnvex::standin
