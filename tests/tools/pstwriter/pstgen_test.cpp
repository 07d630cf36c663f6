// The tarnvex-pstgen command: JSON descriptions, the generator, damaged copies, usage errors.

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <set>
#include <sstream>

#include "platform/failure.h"
#include "pst/byte_source.h"
#include "pst/errors.h"
#include "pst/messaging/store.h"
#include "tests/tools/pstwriter/readers.h"
#include "tests/tools/pstwriter/test_support.h"
#include "tools/pstgen/pstgen_cli.h"
#include "tools/pstwriter/damage.h"
#include "tools/pstwriter/generator.h"
#include "tools/pstwriter/json_store.h"
#include "tools/pstwriter/pst_writer.h"

namespace tarnvex::pstwriter::testing {
namespace {

struct PstgenResult {
  int code;
  std::string out;
  std::string err;
};

PstgenResult Pstgen(const std::vector<std::string>& args) {
  std::ostringstream out, err;
  const int code = RunPstgen(args, out, err);
  return PstgenResult{code, out.str(), err.str()};
}

void WriteText(const std::string& path, const std::string& text) {
  std::ofstream(path, std::ios::binary) << text;
}

std::string ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

const char kDescription[] = R"({
  "store": "Fixture Store",
  "password": "s3cret",
  "ipmSubtree": "Top of Personal Folders",
  "folders": [
    {"name": "Contacts",
     "items": [
       {"class": "IPM.Contact",
        "properties": {
          "PidLidFileUnder": "Doe, Jane",
          "PidTagGivenName": "Jane",
          "PidTagSurname": "Doe",
          "PidLidEmail1EmailAddress": "jane@example.com",
          "PidTagBirthday": "1980-02-29",
          "PidTagLastModificationTime": "2024-05-01T12:30:00Z",
          "PidLidPostalAddressId": 2,
          "PidLidHasPicture": true,
          "PidNameKeywords": ["Work", "Ärzte"],
          "PidTagGender": 2,
          "0x6001001F": "tag given in hex",
          "{00062004-0000-0000-C000-000000000046}:0x8106:0003": 42,
          "{00020329-0000-0000-C000-000000000046}:My Field:001F": "by string name",
          "PidLidBusinessCardCardPicture": {"hex": "00ff10"}
        },
        "photo": {"base64": "/9j/2wBDAAEB"},
        "attachments": [{"name": "cv.txt", "text": "curriculum"},
                        {"name": "data.bin", "file": "payload.bin"}]},
       {"class": "IPM.DistList", "properties": {"PidTagDisplayName": "Friends"}}
     ],
     "folders": [{"name": "Work", "class": "IPF.Contact", "items": [
       {"properties": {"PidLidFileUnder": "Nested, Item"}}]}]},
    {"name": "Archive", "class": "IPF.Contact", "hidden": true, "defaultContacts": true},
    {"name": "Inbox", "items": [{"class": "IPM.Note", "properties": {"PidTagSubject": "Hi"},
                                 "recipients": [{"name": "Jane", "email": "jane@example.com"}]}]}
  ]
})";

TEST(Pstgen, JsonDescriptionBecomesThePstItDescribes) {
  Sandbox dir;
  WriteText((dir / "store.json"), kDescription);
  WriteText((dir / "payload.bin"), std::string("\x00\x01\x02", 3));
  const PstgenResult run = Pstgen({"--json", (dir / "store.json"), "--out", (dir / "out.pst")});
  ASSERT_EQ(run.code, 0) << run.err;
  EXPECT_NE(run.out.find("Wrote"), std::string::npos);

  const Store store = StoreFromJson(kDescription, (dir / ""), "store.json");
  const SeenStore pff = ReadWithLibpff((dir / "out.pst"));
  ExpectSameStore(Expected(store), pff, Reader::kLibpff);
  ExpectSameStore(Expected(store), ReadWithLibpst((dir / "out.pst")), Reader::kLibpst);

  // Values as the JSON gave them, seen through libpff.
  EXPECT_EQ(pff.defaultContactsPath, "Archive");
  EXPECT_EQ(pff.passwordChecksum,
            std::to_string(static_cast<std::int32_t>(PstPasswordChecksum("s3cret"))));
  EXPECT_NE(PstPasswordChecksum("s3cret"), PstPasswordChecksum("s3cret "));
  EXPECT_TRUE(pff.folders.at("Archive").hidden);
  const SeenItem& jane = pff.folders.at("Contacts").items.at(0);
  const std::string address = kPsetidAddress.ToString();
  EXPECT_EQ(jane.props.at(address + ":0x8005"), "Doe, Jane");
  EXPECT_EQ(jane.props.at("0x3A42"), std::to_string(FileTime::FromUnix(320630400).ticks));
  EXPECT_EQ(jane.props.at("0x3008"), std::to_string(FileTime::FromUnix(1714566600).ticks));
  EXPECT_EQ(jane.props.at(kPsPublicStrings.ToString() + ":Keywords"), "Work | Ärzte");
  EXPECT_EQ(jane.props.at(kPsPublicStrings.ToString() + ":My Field"), "by string name");
  EXPECT_EQ(jane.props.at(address + ":0x8106"), "42");
  EXPECT_EQ(jane.props.at("0x6001"), "tag given in hex");
  EXPECT_EQ(jane.props.at("0x3A4D"), "2");
  EXPECT_EQ(jane.props.at(address + ":0x8041"), "00ff10");
  ASSERT_EQ(jane.attachments.size(), 3u);
  EXPECT_EQ(jane.attachments[0].data, std::string("\xFF\xD8\xFF\xDB\x00\x43\x00\x01\x01", 9));
  EXPECT_EQ(jane.attachments[0].props.at("0x7FFF"), "true");
  EXPECT_EQ(jane.attachments[1].data, "curriculum");
  EXPECT_EQ(jane.attachments[2].data, std::string("\x00\x01\x02", 3));
  EXPECT_EQ(pff.folders.at("Contacts/Work").items.at(0).messageClass, "IPM.Contact");
  EXPECT_EQ(pff.folders.at("Inbox").items.at(0).recipients,
            std::vector<std::string>{"Jane <jane@example.com>"});
}

TEST(Pstgen, TheExampleDescriptionWorks) {
  Sandbox dir;
  const PstgenResult run = Pstgen({"--json", PSTGEN_EXAMPLE, "--out", (dir / "example.pst")});
  ASSERT_EQ(run.code, 0) << run.err;
  const SeenStore pff = ReadWithLibpff((dir / "example.pst"));
  EXPECT_EQ(pff.storeName, "Example Store");
  ASSERT_EQ(pff.folders.at("Contacts").items.size(), 3u);
  EXPECT_EQ(pff.folders.at("Contacts").items[0].attachments.size(), 1u);
  EXPECT_TRUE(pff.folders.at("Contacts/Old Contacts").hidden);
  EXPECT_EQ(ReadWithLibpst((dir / "example.pst")).folders.at("Inbox").items.size(), 1u);
}

struct BadInput {
  const char* name;
  const char* json;
  const char* wantInMessage;
};

void PrintTo(const BadInput& c, std::ostream* os) {
  *os << c.name;
}

class PstgenBadJson : public ::testing::TestWithParam<BadInput> {};

TEST_P(PstgenBadJson, FailsNamingTheFileAndThePlace) {
  Sandbox dir;
  WriteText((dir / "bad.json"), GetParam().json);
  const PstgenResult run = Pstgen({"--json", (dir / "bad.json"), "--out", (dir / "out.pst")});
  EXPECT_EQ(run.code, 1);
  EXPECT_NE(run.err.find("bad.json"), std::string::npos) << run.err;
  EXPECT_NE(run.err.find(GetParam().wantInMessage), std::string::npos) << run.err;
  EXPECT_FALSE(std::filesystem::exists((dir / "out.pst")));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, PstgenBadJson,
    ::testing::Values(
        BadInput{"NotJson", "{\"store\": ", "not valid JSON"},
        BadInput{"UnknownProperty",
                 R"({"folders": [{"name": "C", "items": [{"properties": {"PidTagNope": "x"}}]}]})",
                 "folders[0].items[0].properties.PidTagNope"},
        BadInput{
            "WrongType",
            R"({"folders": [{"name": "C", "items": [{"properties": {"PidTagGivenName": 5}}]}]})",
            "expected a string"},
        BadInput{
            "BadDate",
            R"({"folders": [{"name": "C", "items": [{"properties": {"PidTagBirthday": "soon"}}]}]})",
            "is not a date"},
        BadInput{"FolderWithoutName", R"({"folders": [{"class": "IPF.Contact"}]})", "folders[0]"},
        BadInput{"MissingFile",
                 R"({"folders": [{"name": "C", "items": [{"photo": {"file": "nope.jpg"}}]}]})",
                 "nope.jpg"}),
    [](const ::testing::TestParamInfo<BadInput>& info) { return info.param.name; });

TEST(Pstgen, UsageErrorsExplainThemselves) {
  const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
      {{}, "exactly one of"},
      {{"--generate", "10"}, "--out is missing"},
      {{"--generate", "ten", "--out", "x.pst"}, "needs a whole number"},
      {{"--generate", "10", "--json", "a.json", "--out", "x.pst"}, "exactly one of"},
      {{"--from", "a.pst", "--out", "b.pst"}, "needs --truncate or --flip-bytes"},
      {{"--generate", "10", "--folders", "0", "--out", "x.pst"}, "at least 1"},
      {{"--generate", "10", "--colour", "red", "--out", "x.pst"}, "Unknown option"},
      {{"--generate"}, "needs a value"},
      {{"--generate", "10", "--format", "pst2013", "--out", "x.pst"}, "--format takes"},
  };
  for (const auto& [args, message] : cases) {
    const PstgenResult run = Pstgen(args);
    EXPECT_EQ(run.code, 2) << message;
    EXPECT_NE(run.err.find(message), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("Usage:"), std::string::npos);
  }
}

// --help shows the usage on standard output and succeeds, whatever else is given.
TEST(Pstgen, HelpShowsTheUsage) {
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{"--help"}, {"-h"}, {"--generate", "10", "--help"}}) {
    const PstgenResult run = Pstgen(args);
    EXPECT_EQ(run.code, 0);
    EXPECT_NE(run.out.find("Usage:"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("ost2013"), std::string::npos) << run.out;
    EXPECT_EQ(run.err, "");
  }
}

TEST(Pstgen, GeneratedStoresDependOnlyOnTheirOptions) {
  Sandbox dir;
  ASSERT_EQ(
      Pstgen({"--generate", "50", "--seed", "9", "--folders", "3", "--out", (dir / "a.pst")}).code,
      0);
  ASSERT_EQ(
      Pstgen({"--generate", "50", "--seed", "9", "--folders", "3", "--out", (dir / "b.pst")}).code,
      0);
  ASSERT_EQ(
      Pstgen({"--generate", "50", "--seed", "10", "--folders", "3", "--out", (dir / "c.pst")}).code,
      0);
  EXPECT_EQ(ReadBytes((dir / "a.pst")), ReadBytes((dir / "b.pst")));
  EXPECT_NE(ReadBytes((dir / "a.pst")), ReadBytes((dir / "c.pst")));
  const SeenStore seen = ReadWithLibpst((dir / "a.pst"), false);
  EXPECT_EQ(seen.folders.count("Contacts/Contacts 2/Contacts 3"), 1u);
}

struct DamageCase {
  const char* name;
  std::vector<std::string> args;  // after --from PST --out DAMAGED
  bool keepsHeader;               // no byte of the 564-byte header changes
  bool unreadable;                // both readers must refuse the result
};

void PrintTo(const DamageCase& c, std::ostream* os) {
  *os << c.name;
}

class Damage : public ::testing::TestWithParam<DamageCase> {};

TEST_P(Damage, WritesTheDamagedCopyItDescribes) {
  Sandbox dir;
  const std::string good = (dir / "good.pst");
  ASSERT_EQ(Pstgen({"--generate", "200", "--seed", "4", "--out", good}).code, 0);
  const std::string original = ReadBytes(good);
  std::vector<std::string> args = {"--from", good, "--out", (dir / "bad.pst")};
  args.insert(args.end(), GetParam().args.begin(), GetParam().args.end());
  const PstgenResult run = Pstgen(args);
  ASSERT_EQ(run.code, 0) << run.err;
  const std::string damaged = ReadBytes((dir / "bad.pst"));
  EXPECT_EQ(ReadBytes(good), original);  // the source stays as it was

  if (GetParam().args[0] == "--truncate") {
    const std::size_t length = std::stoul(GetParam().args[1]);
    EXPECT_EQ(damaged, original.substr(0, length));
  } else {
    ASSERT_EQ(damaged.size(), original.size());
    std::size_t differ = 0, firstDiff = original.size();
    for (std::size_t i = 0; i < original.size(); ++i) {
      if (damaged[i] != original[i]) {
        ++differ;
        firstDiff = std::min(firstDiff, i);
      }
    }
    EXPECT_GT(differ, 0u);
    EXPECT_LE(differ, std::stoul(GetParam().args[1]));
    if (GetParam().keepsHeader) {
      EXPECT_GE(firstDiff, 564u);
    }
    // The same seed damages the same bytes.
    args[3] = (dir / "again.pst");
    ASSERT_EQ(Pstgen(args).code, 0);
    EXPECT_EQ(ReadBytes((dir / "again.pst")), damaged);
  }
  if (GetParam().unreadable) {
    EXPECT_NE(Pffinfo((dir / "bad.pst")), 0);
    EXPECT_THROW(ReadWithLibpst((dir / "bad.pst"), false), std::runtime_error);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Variants, Damage,
    ::testing::Values(
        DamageCase{"TruncatedInHeader", {"--truncate", "100"}, false, true},
        DamageCase{"TruncatedToNothing", {"--truncate", "0"}, false, true},
        DamageCase{"TruncatedMidFile", {"--truncate", "300000"}, false, false},
        DamageCase{"FlippedAfterHeader",
                   {"--flip-bytes", "64", "--seed", "3", "--flip-from", "564"},
                   true,
                   false},
        DamageCase{"FlippedAnywhere", {"--flip-bytes", "2000", "--seed", "5"}, false, false}),
    [](const ::testing::TestParamInfo<DamageCase>& info) { return info.param.name; });

std::shared_ptr<const pst::ByteSource> InMemory(const std::string& path) {
  return std::make_shared<pst::MemoryByteSource>(path, ReadBytes(path));
}

// The byte ranges of 512-byte pages in which two files differ.
std::set<std::size_t> ChangedPages(const std::string& a, const std::string& b) {
  std::set<std::size_t> pages;
  for (std::size_t i = 0; i < std::min(a.size(), b.size()); ++i) {
    if (a[i] != b[i])
      pages.insert(i / 512);
  }
  return pages;
}

// Structural damage keeps every check sum valid: the PST library passes the header and every
// page's check sum and finds the structure itself wrong.
TEST(Pstgen, NodeListedTwiceKeepsEveryCheckSum) {
  Sandbox dir;
  const std::string good = (dir / "good.pst"), bad = (dir / "bad.pst");
  ASSERT_EQ(Pstgen({"--generate", "50", "--folders", "2", "--out", good}).code, 0);
  PstgenResult run = Pstgen({"--from", good, "--out", bad, "--duplicate-node", "auto"});
  ASSERT_EQ(run.code, 0) << run.err;
  EXPECT_EQ(run.out, "Listed node 0x8002 twice in the node index of " + bad + "\n");
  EXPECT_EQ(ChangedPages(ReadBytes(good), ReadBytes(bad)).size(), 1u);
  // Entries alike are used once; with --unlike the second gives the node another parent.
  EXPECT_EQ(pst::messaging::Store::Open(InMemory(bad))->db()->DamageNotes().size(), 1u);
  run = Pstgen({"--from", good, "--out", bad, "--duplicate-node", "auto", "--unlike"});
  ASSERT_EQ(run.code, 0) << run.err;
  EXPECT_EQ(ChangedPages(ReadBytes(good), ReadBytes(bad)).size(), 1u);
  try {
    pst::messaging::Store::Open(InMemory(bad));
    ADD_FAILURE() << "opened";
  } catch (const pst::CorruptionError& e) {
    EXPECT_EQ(e.defect(), pst::Defect::kDuplicateNode) << e.what();
    EXPECT_EQ(e.where().node, 0x8002u);
  }

  run = Pstgen({"--from", good, "--out", bad, "--duplicate-node", "0x21"});
  ASSERT_EQ(run.code, 0) << run.err;
  EXPECT_NE(run.out.find("Listed node 0x21 twice"), std::string::npos);
  run = Pstgen({"--from", good, "--out", bad, "--duplicate-node", "0x7FFFFFE2"});
  EXPECT_EQ(run.code, 1);
  EXPECT_NE(run.err.find("does not list node 0x7FFFFFE2"), std::string::npos) << run.err;
  EXPECT_EQ(Pstgen({"--from", good, "--out", bad, "--duplicate-node", "some"}).code, 2);
}

TEST(Pstgen, FolderCycleKeepsEveryCheckSum) {
  Sandbox dir;
  const std::string good = (dir / "good.pst"), bad = (dir / "bad.pst");
  ASSERT_EQ(Pstgen({"--generate", "50", "--folders", "2", "--out", good}).code, 0);
  const PstgenResult run = Pstgen({"--from", good, "--out", bad, "--folder-cycle", "auto"});
  ASSERT_EQ(run.code, 0) << run.err;
  EXPECT_EQ(run.out, "Made folder 0x8002 a subfolder of its subfolder 0x8042 in " + bad + "\n");
  EXPECT_EQ(ChangedPages(ReadBytes(good), ReadBytes(bad)).size(), 1u);
  const auto store = pst::messaging::Store::Open(InMemory(bad));
  try {
    store->SubFolders(0x8002);
    ADD_FAILURE() << "no loop found";
  } catch (const pst::CorruptionError& e) {
    EXPECT_EQ(e.defect(), pst::Defect::kFolderCycle) << e.what();
  }
  EXPECT_EQ(Pstgen({"--from", good, "--out", bad, "--folder-cycle", "0x21"}).code, 1);
}

// Encoded copies read with libpff as the plain file does (libpff decodes both encodings).
TEST(Pstgen, EncodedCopiesReadAsThePlainFile) {
  Sandbox dir;
  const std::string good = (dir / "good.pst");
  ASSERT_EQ(Pstgen({"--generate", "60", "--seed", "3", "--out", good}).code, 0);
  GeneratorOptions options;
  options.contacts = 60;
  options.seed = 3;
  const SeenStore expected = Expected(GenerateStore(options));
  for (const std::string method : {"permute", "cyclic"}) {
    SCOPED_TRACE(method);
    const std::string encoded = dir / (method + ".pst");
    const PstgenResult run = Pstgen({"--from", good, "--out", encoded, "--encode", method});
    ASSERT_EQ(run.code, 0) << run.err;
    EXPECT_EQ(run.out, "Encoded the data blocks of " + encoded + " (" + method + ")\n");
    const std::string bytes = ReadBytes(encoded);
    EXPECT_EQ(static_cast<int>(bytes.at(513)), method == "permute" ? 1 : 2);
    EXPECT_NE(bytes, ReadBytes(good));
    ExpectSameStore(expected, ReadWithLibpff(encoded), Reader::kLibpff);
    // Encoded once is enough.
    EXPECT_EQ(Pstgen({"--from", encoded, "--out", (dir / "twice.pst"), "--encode", method}).code,
              1);
  }
  EXPECT_EQ(Pstgen({"--from", good, "--out", (dir / "x.pst"), "--encode", "rot13"}).code, 2);
}

TEST(Pstgen, GeneratesAndDamagesInOneRun) {
  Sandbox dir;
  const PstgenResult run =
      Pstgen({"--generate", "20", "--out", (dir / "cut.pst"), "--truncate", "4096"});
  ASSERT_EQ(run.code, 0) << run.err;
  EXPECT_EQ(std::filesystem::file_size((dir / "cut.pst")), 4096u);
}

}  // namespace
}  // namespace tarnvex::pstwriter::testing
