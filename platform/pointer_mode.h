#pragma once

namespace tarnvex {

// The main window's pointer, numbered as the window's pointer setting numbers it.
enum class PointerMode : int { kDefault = 0, kBusy = 11, kCustom = 99 };

}  // namespace tarnvex
