// libFuzzer target: the export of all contacts of a PST file held in memory, through the Outlook
// stand-in and the export run, as `tarnvex-export --pst` runs it. Cards go to an in-memory
// writer. Besides crashes and the sanitizers' reports, the target stops on an export whose
// accounting does not hold: every item of the folders the run enumerates ends as a card, an
// item passed over or a failure.
//
// Data files are opened through pst/file_source.h; this target links its own definition, which
// serves the fuzzer's input for kInput and refuses every other path.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "export/export_run.h"
#include "platform/failure.h"
#include "platform/standin/pst_outlook.h"
#include "pst/file_source.h"
#include "tests/fakes/fake_file_access.h"
#include "tests/fakes/fake_file_system.h"
#include "tests/fakes/fake_ui.h"

namespace {

constexpr const char* kInput = "/fuzz/input.pst";
std::string* currentInput = nullptr;

// Counts the items each folder collection hands out, so the summary can be checked against them.
class CountingProgress : public tarnvex::ExportProgress {
 public:
  void Started(int32_t total) override { total_ = total; }
  void ItemDone() override { ++done_; }
  int32_t total() const { return total_; }
  int32_t done() const { return done_; }

 private:
  int32_t total_ = 0;
  int32_t done_ = 0;
};

}  // namespace

namespace tarnvex::pst {

std::shared_ptr<const ByteSource> OpenFileSource(const std::string& path) {
  if (path != kInput || !currentInput)
    throw Failure("Cannot open the Outlook data file \"" + path + "\": not the fuzzer's input.");
  return std::make_shared<MemoryByteSource>(path, *currentInput);
}

}  // namespace tarnvex::pst

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace tarnvex;
  std::string input(reinterpret_cast<const char*>(data), size);
  currentInput = &input;

  fakes::FakeFileAccess access;
  access.files[kInput] = std::string();  // known to the stand-in; its bytes come from the source
  fakes::FakeAtomicFileWriter writer(access);
  std::unique_ptr<OutlookAutomation> outlook =
      standin::MakePstOutlook({standin::VCardVersion::k21, std::nullopt, ""}, {writer, access});

  fakes::FakeFileSystem files;
  files.folders = {"/out"};
  files.files = {kInput};
  fakes::RecordingMessageBoxes boxes;
  fakes::RecordingSleeper sleeper;
  fakes::FakeExportView view;
  view.option1 = false;
  view.option2 = true;
  view.text2 = kInput;
  view.text3 = "/out";
  CountingProgress progress;
  const ExportServices services{*outlook, files, boxes, sleeper, "Tarnvex Card", &progress};
  const ExportSummary summary = PushButton3_Click(view, services);

  // Every item handed out ended one way; none was counted twice or dropped.
  const int accounted = summary.cardsWritten + summary.itemsPassedOver;
  if (summary.closingMessage == kMsgDone &&
      (accounted > progress.done() || progress.done() > progress.total() ||
       accounted + summary.failures < progress.done() ||
       (progress.done() < progress.total() && summary.failures == 0))) {
    std::fprintf(stderr,
                 "accounting: %d items handed out of %d, %d cards, %d passed over, %d "
                 "failures\n",
                 progress.done(), progress.total(), summary.cardsWritten, summary.itemsPassedOver,
                 summary.failures);
    std::abort();
  }
  currentInput = nullptr;
  return 0;
}
