#pragma once

// Turning a contact's file-as text into a safe file name, and the path queries of the export.

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/file_system.h"
#include "platform/outlook.h"
#include "platform/shell.h"

namespace tarnvex {

// Deletes the control characters (U+0000 to U+001F and U+007F: tab, CR, LF and the others),
// '"', '/', '\', '*', ':', '?', '<', '>' and '|'; nothing else changes, so names stay portable to
// Windows file systems, which refuse all of these. The result may be empty.
std::string SafeFileName(std::string_view text);

// What a card's file is named after where names starting with "." are hidden and no file name
// may be empty but its extension.
inline constexpr std::string_view kNoNameStem = "(no name)";

// True when Windows takes the name for a device: CON, PRN, AUX, NUL, COM0 to COM9, LPT0 to
// LPT9, and COM and LPT with a superscript digit 1, 2 or 3, in any letter case, alone or before
// a dot ("CON.backup"), blanks before the dot or the end counting for nothing.
bool IsDeviceName(std::string_view name);

// The name, with "_" after its device part when it is a device name ("CON" gives "CON_",
// "nul.backup" gives "nul_.backup"), so that Windows can keep a file under it. Every platform
// names cards so, and folders of cards stay portable.
std::string AvoidingDeviceNames(std::string name);

// The stem of a card's file name, made of the file-as text as SafeFileName makes it, without
// leading dots where the file system hides names starting with ".", and clear of device names;
// when that leaves nothing, made the same way of the first of the display name, "Surname, Given
// name", the company and the first e-mail address that gives one, each read only when the ones
// before gave none; else kNoNameStem where names starting with "." are hidden, and empty text
// where they are not. Throws what the contact's calls throw.
std::string CardStem(OutlookItem& contact, const FileSystem& files);

// stem + tail (" (2).vcf", ".vcf"), with the stem cut at a character boundary where the whole
// would be longer than the file system's longest name.
std::string FittedFileName(std::string_view stem, std::string_view tail, const FileSystem& files);

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
