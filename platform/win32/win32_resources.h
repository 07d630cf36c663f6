#pragma once

// Resource numbers of the window program's executable (gui/tarnvex-card-exporter.rc), shared by
// the resource script and the window. Plain definitions: the resource compiler reads this too.

// The application icon (32, 48, 128 and 256 pixels): the executable's icon, as the first icon
// group, and the window's once the program has started.
#define TARNVEX_ICON_APPLICATION 1
// The window's initial icon, a single 32-pixel image, replaced at start-up.
#define TARNVEX_ICON_INITIAL 2
