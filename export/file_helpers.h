#pragma once

// Turning a contact's file-as text into a safe file name, and the path queries of the export.

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/file_system.h"
#include "platform/shell.h"

namespace tarnvex {

// Deletes tab, CR, LF, '"', '/', '\', '*', ':', '?', '<', '>' and '|'; nothing else changes, so
// names stay portable to Windows file systems. The result may be empty.
std::string SafeFileName(std::string_view text);

// Replaces every pair of consecutive separators by one, in a single left-to-right pass. A leading
// run of backslashes of any length becomes exactly two, which keeps a network path's prefix; a
// leading run of "/" (POSIX paths, which have no such prefix) becomes one.
std::string CollapseBackslashes(std::string_view path, char separator = '\\');

// True when the path, exactly as passed, names a folder. Never fails.
bool FolderExists(FileSystem& files, const std::string& path);

// True when the path's modification time can be read. Never fails.
bool FileExists(FileSystem& files, const std::string& path);

// The special folder's path; empty text when the shell finds none.
std::string GetSpecialFolder(Shell& shell, int32_t id);

// The desktop folder followed by one separator; throws Failure when there is no desktop path.
std::string GetDesktopFolder(Shell& shell, char separator);

}  // namespace tarnvex
