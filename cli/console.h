#pragma once

// The export run's front end on a console.

#include <ostream>
#include <string>

#include "platform/export_view.h"
#include "platform/message_boxes.h"

namespace tarnvex::cli {

// The inputs of a run, taken from the command line.
class ConsoleView : public ExportView {
 public:
  ConsoleView(bool defaultContacts, std::string pstFile, std::string outFolder)
      : defaultContacts_(defaultContacts),
        pstFile_(std::move(pstFile)),
        outFolder_(std::move(outFolder)) {}
  bool Option1() override { return defaultContacts_; }
  bool Option2() override { return !defaultContacts_; }
  std::string Text2() override { return pstFile_; }
  std::string Text3() override { return outFolder_; }
  void SetPointer(PointerMode) override {}

 private:
  bool defaultContacts_;
  std::string pstFile_;
  std::string outFolder_;
};

// A progress bar with a count, redrawn in place on a terminal.
class ConsoleProgress : public ExportProgress {
 public:
  explicit ConsoleProgress(std::ostream& err) : err_(err) {}
  void Started(int32_t total) override;
  void ItemDone() override;
  // Removes the bar so that other text can be written; the next item draws it again.
  void Clear();
  // Leaves the finished bar on its own line.
  void Finish();

 private:
  void Draw();

  std::ostream& err_;
  int32_t total_ = 0;
  int32_t done_ = 0;
  int32_t drawnAt_ = -1;
  bool shown_ = false;
};

// Message boxes on a console: plain messages on standard output, error reports on standard
// error, each with its line breaks as the console writes them.
class ConsoleMessageBoxes : public MessageBoxes {
 public:
  ConsoleMessageBoxes(std::ostream& out, std::ostream& err, ConsoleProgress* progress)
      : out_(out), err_(err), progress_(progress) {}
  void Show(const std::string& text, const std::string& caption, MessageIcon icon) override;

 private:
  std::ostream& out_;
  std::ostream& err_;
  ConsoleProgress* progress_;
};

// CR LF and lone CR become LF.
std::string WithConsoleLineEnds(const std::string& text);

}  // namespace tarnvex::cli
