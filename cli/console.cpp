#include "cli/console.h"

#include <algorithm>

namespace tarnvex::cli {
namespace {

constexpr int kBarWidth = 30;
// Redraws per run at most, so that large folders do not flood the terminal.
constexpr int32_t kRedraws = 200;

}  // namespace

std::string WithConsoleLineEnds(const std::string& text) {
  std::string converted;
  converted.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\r') {
      converted += text[i];
    } else if (i + 1 >= text.size() || text[i + 1] != '\n') {
      converted += '\n';
    }
  }
  return converted;
}

void ConsoleProgress::Started(int32_t total) {
  total_ = std::max<int32_t>(total, 0);
  done_ = 0;
  Draw();
}

void ConsoleProgress::ItemDone() {
  ++done_;
  const int32_t step = std::max<int32_t>(1, total_ / kRedraws);
  if (!shown_ || done_ - drawnAt_ >= step || done_ == total_)
    Draw();
}

void ConsoleProgress::Draw() {
  const int32_t shownDone = std::min(done_, total_);
  const int filled = total_ > 0 ? static_cast<int>(int64_t{kBarWidth} * shownDone / total_) : 0;
  err_ << "\r[" << std::string(filled, '#') << std::string(kBarWidth - filled, '-') << "] " << done_
       << "/" << total_ << std::flush;
  drawnAt_ = done_;
  shown_ = true;
}

void ConsoleProgress::Clear() {
  if (!shown_)
    return;
  err_ << "\r\033[K" << std::flush;
  shown_ = false;
}

void ConsoleProgress::Finish() {
  if (!shown_)
    return;
  Draw();
  err_ << "\n" << std::flush;
  shown_ = false;
}

void ConsoleMessageBoxes::Show(const std::string& text, const std::string&, MessageIcon icon) {
  if (progress_ && icon == MessageIcon::kWarning)
    progress_->Clear();
  if (progress_ && icon == MessageIcon::kNone)
    progress_->Finish();
  std::ostream& stream = icon == MessageIcon::kWarning ? err_ : out_;
  stream << WithConsoleLineEnds(text) << "\n" << std::flush;
}

}  // namespace tarnvex::cli
