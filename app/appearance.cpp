#include "app/appearance.h"

#include <climits>
#include <cstdint>
#include <variant>

#include "export/file_helpers.h"
#include "platform/failure.h"

namespace tarnvex {

std::string ProgramFile(WindowServices& window, const FileSystem& files, const std::string& name) {
  std::string path = window.ProgramFolder();
  // A root folder already ends in the separator.
  if (path.empty() || path.back() != files.PathSeparator())
    path += files.PathSeparator();
  return path + name;
}

std::string SkinFilePath(WindowServices& window, const FileSystem& files) {
  return ProgramFile(window, files, std::string("x") + files.PathSeparator() + "o.cjs");
}

std::string HandCursorPath(WindowServices& window, const FileSystem& files) {
  return ProgramFile(window, files, "HAND-M.CUR");
}

namespace {

bool TakesButtonFace(ControlKind kind) {
  return kind == ControlKind::kOptionButton || kind == ControlKind::kCheckBox ||
         kind == ControlKind::kFrame || kind == ControlKind::kLabel;
}

int32_t ToInt32(const DispatchValue& value) {
  if (const auto* number = std::get_if<int32_t>(&value))
    return *number;
  if (const auto* flag = std::get_if<bool>(&value))
    return *flag ? -1 : 0;
  if (std::holds_alternative<std::monostate>(value))
    return 0;
  const std::string& text = std::get<std::string>(value);
  try {
    std::size_t used = 0;
    const long long number = std::stoll(text, &used);
    if (used == text.size() && number >= INT32_MIN && number <= INT32_MAX) {
      return static_cast<int32_t>(number);
    }
  } catch (const std::exception&) {
  }
  throw Failure("Type mismatch");
}

}  // namespace

void ApplyAppearance(WindowServices& window, FileSystem& files, SkinEngine& skin) {
  const std::string skinFile = SkinFilePath(window, files);
  // The listing counts ordinary files only, so a hidden skin file is no skin.
  if (files.Dir(skinFile).empty())
    return;

  window.SetBackColor(kOleButtonFace);
  for (const ControlInfo& control : window.Controls()) {
    if (TakesButtonFace(control.kind))
      window.SetControlBackColor(control.name, kOleButtonFace);
  }

  skin.Invoke(kSkinLoadSkin, {skinFile, std::string()});
  const int32_t options = ToInt32(skin.GetProperty(kSkinOptions));
  skin.SetProperty(kSkinOptions, options | 1);
  skin.SetProperty(kSkinApplyOptions, true);
  skin.SetProperty(kSkinApplyColours, true);
  skin.Invoke(kSkinApplyWindow, {window.WindowHandle()});
}

bool HandCursorPresent(WindowServices& window, FileSystem& files) {
  return FileExists(files, HandCursorPath(window, files));
}

void LoadHandCursorImage(WindowServices& window, FileSystem& files) {
  window.LoadCustomPointer(HandCursorPath(window, files));
}

void LoadHandCursor(WindowServices& window, FileSystem& files) {
  if (HandCursorPresent(window, files))
    LoadHandCursorImage(window, files);
}

void HoverOverPushButton(WindowServices& window) {
  if (window.Pointer() != PointerMode::kBusy)
    window.SetPointer(PointerMode::kCustom);
}

void HoverOverBackground(WindowServices& window) {
  if (window.Pointer() != PointerMode::kBusy)
    window.SetPointer(PointerMode::kDefault);
}

}  // namespace tarnvex
