#include "app/form1.h"

#include <array>
#include <optional>

#include "app/appearance.h"
#include "app/security_advice.h"
#include "app/start_up.h"
#include "dialogs/add_folder.h"
#include "dialogs/step_guard.h"
#include "export/export_run.h"
#include "export/file_helpers.h"
#include "export/is_installed.h"
#include "platform/failure.h"
#include "product/product.h"

namespace tarnvex {

Form1::Form1(const Form1Services& services) : s_(services) {}

std::string Form1::Get(const char* key, const std::string& defaultValue) {
  return s_.settings.Get(std::string(product::kSettingsApplication),
                         std::string(product::kSettingsSection), key, defaultValue);
}

void Form1::SaveFromEvent(const char* key, const std::string& value) {
  try {
    s_.settings.Save(std::string(product::kSettingsApplication),
                     std::string(product::kSettingsSection), key, value);
    failedKeys_.erase(key);
  } catch (const std::exception& failure) {
    // One message per run of failures of a key: typing into a box whose value cannot be stored
    // must not raise a box per keystroke.
    if (failedKeys_[key])
      return;
    failedKeys_[key] = true;
    s_.boxes.Show(failure.what(), s_.window.AppTitle(), MessageIcon::kWarning);
  }
}

void Form1::Form_Load() {
  StepGuard guard(s_.boxes, "Form_Load");
  guard.Run(100, [&] { ApplyAppearance(s_.window, s_.files, s_.skin); });
  guard.Run(104, [&] { s_.window.SetCaption(std::string(product::kName)); });
  guard.Run(104, [&] { s_.window.SetApplicationIcon(); });
  guard.Run(104, [&] { SetAppTitle(s_.window); });
  if (guard.Test(106, [&] { return HandCursorPresent(s_.window, s_.files); })) {
    guard.Run(108, [&] { LoadHandCursorImage(s_.window, s_.files); });
  }
  guard.Run(110, [&] { OpenHomePageAtRandom(s_.clock, s_.random, s_.processes); });
  guard.Run(128, [&] { s_.view.SetText2(Get(kKeyPstFile, "")); });
  guard.Run(130, [&] {
    const std::string desktop = GetDesktopFolder(s_.shell, s_.files.PathSeparator());
    s_.view.SetText3(Get(kKeyOutputFolder, desktop));
  });
  // Selecting Option1 stores both options at once, so the stored Option2 is taken before that,
  // or a stored choice of Option2 would be overwritten before it is read.
  std::optional<std::string> storedOption2;
  try {
    storedOption2 = Get(kKeyOption2, "0");
  } catch (const std::exception&) {
    // Read again, and reported, at its own step.
  }
  guard.Run(132, [&] { s_.view.SetOption1(ReadTruthValue(Get(kKeyOption1, "1"))); });
  guard.Run(134, [&] {
    s_.view.SetOption2(ReadTruthValue(storedOption2 ? *storedOption2 : Get(kKeyOption2, "0")));
  });
  guard.Run(134,
            [&] { CheckOutlookInstalled(s_.outlook, s_.boxes, s_.window.AppTitle(), s_.program); });
}

void Form1::WriteSourceChoice() {
  SaveFromEvent(kKeyOption1, TruthText(s_.view.Option1()));
  SaveFromEvent(kKeyOption2, TruthText(s_.view.Option2()));
}

void Form1::Option1_Click() {
  WriteSourceChoice();
}
void Form1::Option2_Click() {
  WriteSourceChoice();
}
void Form1::Text2_Change() {
  SaveFromEvent(kKeyPstFile, s_.view.Text2());
}
void Form1::Text3_Change() {
  SaveFromEvent(kKeyOutputFolder, s_.view.Text3());
}

void Form1::PushButton2_Click() {
  StepGuard guard(s_.boxes, "PushButton2_Click");
  std::string result;
  guard.Run(100, [&] { rememberedFolder_ = Get(kKeyLastFolder, ""); });
  guard.Run(100, [&] {
    result = BrowseForFolder(s_.folderBrowser, s_.window.WindowHandle(), kBrowsePrompt,
                             rememberedFolder_);
  });
  if (guard.Test(102, [&] { return result.empty(); }))
    return;
  guard.Run(104, [&] { rememberedFolder_ = result; });
  guard.Run(104, [&] {
    s_.settings.Save(std::string(product::kSettingsApplication),
                     std::string(product::kSettingsSection), kKeyLastFolder, result);
  });
  const char separator = s_.files.PathSeparator();
  if (guard.Test(104, [&] { return result.empty() || result.back() != separator; })) {
    guard.Run(106, [&] { s_.view.SetText3(result + separator); });
  } else {
    guard.Run(108, [&] { s_.view.SetText3(result); });
  }
}

void Form1::PushButton3_Click() {
  std::string appTitle;
  try {
    appTitle = s_.window.AppTitle();
  } catch (const std::exception&) {
  }
  ExportServices services{s_.outlook, s_.files, s_.boxes, s_.sleeper, appTitle};
  tarnvex::PushButton3_Click(s_.view, services);
}

void Form1::PushButton7_Click() {
  StepGuard guard(s_.boxes, "PushButton7_Click");
  std::array<std::string, kSecurityAdvice.size()> paragraphs;
  for (std::size_t i = 0; i < paragraphs.size(); ++i) {
    guard.Run(100 + 2 * static_cast<int32_t>(i),
              [&] { paragraphs[i] = std::string(kSecurityAdvice[i]); });
  }
  std::string separator;
  guard.Run(110, [&] { separator = std::string(kParagraphSeparator); });
  guard.Run(112, [&] {
    std::string text;
    for (std::size_t i = 0; i < paragraphs.size(); ++i) {
      if (i > 0)
        text += separator;
      text += paragraphs[i];
    }
    s_.boxes.Show(text, s_.window.AppTitle(), MessageIcon::kNone);
  });
}

void Form1::PushButton8_Click() {
  StepGuard guard(s_.boxes, "PushButton8_Click");
  guard.Run(100, [&] { s_.openDialog.SetFileName(""); });
  guard.Run(102, [&] { s_.openDialog.SetDialogTitle(kPickerTitle); });
  guard.Run(104, [&] { s_.openDialog.SetFilter(kPickerFilter); });
  guard.Run(106, [&] { s_.openDialog.ShowOpen(); });
  if (guard.Test(108, [&] { return !s_.openDialog.FileName().empty(); })) {
    guard.Run(110, [&] { s_.view.SetText2(s_.openDialog.FileName()); });
  }
}

void Form1::PushButton_MouseMove() {
  HoverOverPushButton(s_.window);
}
void Form1::Background_MouseMove() {
  HoverOverBackground(s_.window);
}

}  // namespace tarnvex
