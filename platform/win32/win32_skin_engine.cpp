#include "platform/win32/win32_skin_engine.h"

#include "platform/failure.h"
#include "platform/std/style_sheet.h"
#include "platform/win32/win32_file_access.h"

namespace tarnvex {
namespace {

constexpr std::size_t kMaxSkinBytes = 1 << 20;

}  // namespace

std::string Win32SkinEngine::ReadSkinFile(const std::string& path) {
  Win32FileAccess files;
  std::optional<std::string> bytes = files.ReadIfPresent(path, "the skin file", kMaxSkinBytes);
  if (!bytes)
    throw Failure("it does not exist.");
  return std::move(*bytes);
}

void Win32SkinEngine::CheckSkin(const std::string& sheet) {
  SkinLooks(sheet, window_.Controls());
}

bool Win32SkinEngine::IsOwnWindow(int32_t handle) {
  return handle == window_.WindowHandle();
}

void Win32SkinEngine::DrawSkin(const std::string& sheet) {
  for (const auto& [name, look] : SkinLooks(sheet, window_.Controls()))
    window_.ApplyLook(name, look);
}

}  // namespace tarnvex
