// The export run over the Windows file system: card paths formed with "\", names told apart as
// Windows file systems tell them apart, lengths counted in UTF-16 units. Outlook is a fake.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "export/export_run.h"
#include "platform/win32/win32_file_system.h"
#include "tests/fakes/fake_outlook.h"
#include "tests/fakes/fake_ui.h"
#include "tests/platform/win32/test_support.h"

namespace tarnvex {
namespace {

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;

TEST(Win32ExportRunTest, CardPathsAsWindowsFormsThem) {
  testing::Sandbox folder;
  Win32FileSystem files;
  fakes::FakeOutlook outlook;
  fakes::FakeFolderSpec contacts{"Contacts", "IPF.Contact"};
  const std::string cjk = "\xE5\xB1\xB1";  // 山: three bytes, one UTF-16 unit
  contacts.items = {fakes::Contact("Smith"),
                    fakes::Contact("SMITH"),
                    fakes::Contact("smith (2)"),
                    fakes::Contact("\xC3\x84rger"),
                    fakes::Contact("\xC3\xA4RGER"),
                    fakes::Contact(".hidden? no"),
                    fakes::Contact(""),
                    fakes::Contact(std::string(300, 'x')),
                    fakes::Contact([&] {
                      std::string name;
                      for (int i = 0; i < 300; ++i)
                        name += cjk;
                      return name;
                    }())};
  outlook.defaultStore.root.subfolders = {contacts};
  outlook.contactsFolderIndex = 0;
  fakes::FakeExportView view;
  view.text3 = folder.path() + "\\";  // with the separator the run adds, a pair that collapses
  fakes::RecordingMessageBoxes boxes;
  NoSleep noPauses;
  const ExportSummary summary =
      PushButton3_Click(view, {outlook, files, boxes, noPauses, "Tarnvex Card Exporter"});

  EXPECT_EQ(summary.closingMessage, "Done.");
  std::vector<std::string> paths;
  for (const auto& card : outlook.saved)
    paths.push_back(card.path);
  std::string cjkStem;
  for (int i = 0; i < 251; ++i)  // 255 units less ".vcf"
    cjkStem += cjk;
  const std::string in = folder.path() + "\\";
  EXPECT_THAT(paths, ElementsAreArray({
                         in + "Smith.vcf",
                         in + "SMITH (2).vcf",
                         in + "smith (2) (2).vcf",
                         in + "\xC3\x84rger.vcf",
                         in + "\xC3\xA4RGER (2).vcf",
                         in + ".hidden no.vcf",  // dot names hide nothing on Windows
                         in + ".vcf",
                         in + std::string(251, 'x') + ".vcf",
                         in + cjkStem + ".vcf",
                     }));
  EXPECT_THAT(boxes.PlainTexts(), ElementsAre("Done."));
}

}  // namespace
}  // namespace tarnvex
