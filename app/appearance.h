#pragma once

// The optional skin and hand pointer, and the hover rule of the pointer.

#include <string>

#include "platform/file_system.h"
#include "platform/skin_engine.h"
#include "platform/window_services.h"

namespace tarnvex {

// Program folder joined with a relative path in the platform's separator.
std::string ProgramFile(WindowServices& window, const FileSystem& files, const std::string& name);

// The skin file "x/o.cjs" and the cursor file "HAND-M.CUR" beside the program.
std::string SkinFilePath(WindowServices& window, const FileSystem& files);
std::string HandCursorPath(WindowServices& window, const FileSystem& files);

// When a skin file (an ordinary file, not a hidden one) lies beside the program: recolours the
// window, its frames, option buttons, check boxes and labels with the button face, then has
// the skin engine load the skin and draw the window with it. Without one nothing happens.
void ApplyAppearance(WindowServices& window, FileSystem& files, SkinEngine& skin);

// Both halves of loading the hand cursor, for callers that guard them as separate steps.
bool HandCursorPresent(WindowServices& window, FileSystem& files);
void LoadHandCursorImage(WindowServices& window, FileSystem& files);
// Loads the hand cursor as the window's custom pointer when its file exists.
void LoadHandCursor(WindowServices& window, FileSystem& files);

// The hover rule: over a push button the custom pointer, over the background the default one;
// neither while the window is busy.
void HoverOverPushButton(WindowServices& window);
void HoverOverBackground(WindowServices& window);

}  // namespace tarnvex
