#pragma once

// The skin engine `SkinFramework1`, driven like an automation object: by dispatch id. The
// window owns the engine. Every call throws Failure when the engine refuses it.

#include <cstdint>
#include <string>
#include <variant>
#include <vector>

namespace tarnvex {

// A call's argument or result: nothing, text, 32-bit integer or Boolean.
using DispatchValue = std::variant<std::monostate, std::string, int32_t, bool>;

inline constexpr int32_t kSkinLoadSkin = 2;       // method (skin file path, ini name)
inline constexpr int32_t kSkinOptions = 1;        // property: option flags
inline constexpr int32_t kSkinApplyOptions = 5;   // property: Boolean setting
inline constexpr int32_t kSkinApplyColours = 10;  // property: Boolean setting
inline constexpr int32_t kSkinApplyWindow = 3;    // method (window handle)

class SkinEngine {
 public:
  virtual ~SkinEngine() = default;
  virtual DispatchValue Invoke(int32_t dispatchId, const std::vector<DispatchValue>& arguments) = 0;
  virtual DispatchValue GetProperty(int32_t dispatchId) = 0;
  virtual void SetProperty(int32_t dispatchId, const DispatchValue& value) = 0;
};

}  // namespace tarnvex
