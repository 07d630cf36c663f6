#pragma once

#include <QColor>
#include <QPalette>
#include <cstdint>

namespace tarnvex {

// An OLE colour as Qt draws it: 0x00BBGGRR directly, a system colour index (high bit set)
// through the palette's matching role.
QColor OleColour(uint32_t oleColour, const QPalette& palette);

}  // namespace tarnvex
