#pragma once

// Message boxes and an export view that record what the code under test shows and sets.

#include <string>
#include <vector>

#include "platform/export_view.h"
#include "platform/message_boxes.h"
#include "platform/program.h"
#include "platform/sleeper.h"

namespace tarnvex::fakes {

struct ShownBox {
  std::string text;
  std::string caption;
  MessageIcon icon;
};

class RecordingMessageBoxes : public MessageBoxes {
 public:
  std::vector<ShownBox> shown;
  void Show(const std::string& text, const std::string& caption, MessageIcon icon) override {
    shown.push_back({text, caption, icon});
  }
  // The texts of the plain messages (no icon), in order.
  std::vector<std::string> PlainTexts() const {
    std::vector<std::string> texts;
    for (const auto& box : shown) {
      if (box.icon == MessageIcon::kNone)
        texts.push_back(box.text);
    }
    return texts;
  }
  // The line numbers of the error reports, in order.
  std::vector<int> ReportedLines() const {
    std::vector<int> lines;
    for (const auto& box : shown) {
      if (box.icon != MessageIcon::kWarning)
        continue;
      const auto at = box.text.find("at line ");
      lines.push_back(std::stoi(box.text.substr(at + 8)));
    }
    return lines;
  }
};

class FakeExportView : public ExportView {
 public:
  bool option1 = true;
  bool option2 = false;
  std::string text2;
  std::string text3;
  std::vector<PointerMode> pointers;

  bool Option1() override { return option1; }
  bool Option2() override { return option2; }
  std::string Text2() override { return text2; }
  std::string Text3() override { return text3; }
  void SetPointer(PointerMode mode) override { pointers.push_back(mode); }
};

class RecordingSleeper : public Sleeper {
 public:
  std::vector<int> pauses;
  void Sleep(int milliseconds) override { pauses.push_back(milliseconds); }
};

class RecordingProgram : public Program {
 public:
  int ended = 0;
  void End() override { ++ended; }
};

}  // namespace tarnvex::fakes
