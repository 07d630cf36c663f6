#include "platform/std/skin_protocol.h"

#include "platform/failure.h"
#include "text/utf.h"

namespace tarnvex {
namespace {

Failure TypeMismatch() {
  return Failure("Type mismatch");
}

Failure UnknownMember(int32_t dispatchId) {
  return Failure("The skin engine has no member with dispatch id " + std::to_string(dispatchId));
}

template <typename T>
const T& Argument(const std::vector<DispatchValue>& arguments, std::size_t index) {
  if (index >= arguments.size())
    throw Failure("Argument not optional");
  const auto* value = std::get_if<T>(&arguments[index]);
  if (!value)
    throw TypeMismatch();
  return *value;
}

bool BooleanValue(const DispatchValue& value) {
  if (const auto* flag = std::get_if<bool>(&value))
    return *flag;
  if (const auto* number = std::get_if<int32_t>(&value))
    return *number != 0;
  throw TypeMismatch();
}

}  // namespace

DispatchValue SkinProtocol::Invoke(int32_t dispatchId,
                                   const std::vector<DispatchValue>& arguments) {
  switch (dispatchId) {
    case kSkinLoadSkin:
      LoadSkin(Argument<std::string>(arguments, 0));
      return {};
    case kSkinApplyWindow:
      ApplyWindow(Argument<int32_t>(arguments, 0));
      return {};
    default:
      throw UnknownMember(dispatchId);
  }
}

DispatchValue SkinProtocol::GetProperty(int32_t dispatchId) {
  switch (dispatchId) {
    case kSkinOptions:
      return options_;
    case kSkinApplyOptions:
      return applyOptions_;
    case kSkinApplyColours:
      return applyColours_;
    default:
      throw UnknownMember(dispatchId);
  }
}

void SkinProtocol::SetProperty(int32_t dispatchId, const DispatchValue& value) {
  switch (dispatchId) {
    case kSkinOptions:
      if (const auto* number = std::get_if<int32_t>(&value)) {
        options_ = *number;
        return;
      }
      throw TypeMismatch();
    case kSkinApplyOptions:
      applyOptions_ = BooleanValue(value);
      return;
    case kSkinApplyColours:
      applyColours_ = BooleanValue(value);
      return;
    default:
      throw UnknownMember(dispatchId);
  }
}

void SkinProtocol::LoadSkin(const std::string& path) {
  std::string sheet;
  try {
    sheet = ReadSkinFile(path);
  } catch (const std::exception& failure) {
    throw Failure("The skin file " + path + " cannot be loaded: " + failure.what());
  }
  if (!text::IsValidUtf8(sheet))
    throw Failure("The skin file " + path + " cannot be loaded: it is not UTF-8 text");
  // Checked now, so that a broken skin fails where it is loaded.
  CheckSkin(sheet);
  skin_ = std::move(sheet);
}

void SkinProtocol::ApplyWindow(int32_t handle) {
  if (!skin_)
    throw Failure("The skin engine has no skin loaded");
  if (!IsOwnWindow(handle))
    throw Failure("The skin engine cannot apply its skin to window " + std::to_string(handle));
  DrawSkin(*skin_);
  applied_ = true;
}

}  // namespace tarnvex
