#include "platform/qt/ole_colour.h"

namespace tarnvex {

QColor OleColour(uint32_t oleColour, const QPalette& palette) {
  if ((oleColour & 0x80000000u) == 0) {
    return QColor(oleColour & 0xFF, (oleColour >> 8) & 0xFF, (oleColour >> 16) & 0xFF);
  }
  switch (oleColour & 0xFF) {
    case 5:  // COLOR_WINDOW
      return palette.color(QPalette::Base);
    case 8:  // COLOR_WINDOWTEXT
      return palette.color(QPalette::Text);
    case 15:  // COLOR_BTNFACE
      return palette.color(QPalette::Button);
    case 18:  // COLOR_BTNTEXT
      return palette.color(QPalette::ButtonText);
    case 13:  // COLOR_HIGHLIGHT
      return palette.color(QPalette::Highlight);
    case 14:  // COLOR_HIGHLIGHTTEXT
      return palette.color(QPalette::HighlightedText);
    default:
      return palette.color(QPalette::Window);
  }
}

}  // namespace tarnvex
