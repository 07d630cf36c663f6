#pragma once

// File-system queries the core needs. Implementations: platform/posix (and later Win32).

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace tarnvex {

inline constexpr uint32_t kAttrReadOnly = 1;
inline constexpr uint32_t kAttrHidden = 2;
inline constexpr uint32_t kAttrSystem = 4;
inline constexpr uint32_t kAttrDirectory = 16;

class FileSystem {
 public:
  virtual ~FileSystem() = default;
  // The separator between folder and name in paths of this platform.
  virtual char PathSeparator() const = 0;
  // Attribute bits of the path, exactly as passed; throws Failure when they cannot be read.
  virtual uint32_t GetAttr(const std::string& path) = 0;
  // Last modification time of the path in seconds since the epoch; throws Failure when it cannot
  // be read.
  virtual int64_t FileDateTime(const std::string& path) = 0;
  // The first name that a listing of the pattern yields, counting only normal files (no folders,
  // hidden or system files); wildcards in the last component act as patterns. Empty text when
  // nothing matches; throws Failure when the pattern is malformed.
  virtual std::string Dir(const std::string& pattern) = 0;
  // The longest file name (one path component) the platform's file systems take, in the units
  // NameLength counts.
  virtual std::size_t MaxNameLength() const = 0;
  // The length of a UTF-8 file name in the platform's units: bytes on POSIX, UTF-16 code units
  // on Windows. A name's length is the sum of its characters' lengths.
  virtual std::size_t NameLength(std::string_view name) const = 0;
  // True where a name starting with "." is hidden from listings.
  virtual bool HidesDotNames() const = 0;
  // The key under which this platform's file names are compared: two paths with equal keys name
  // one file (or would, once copied to the case-insensitive file systems cards usually end up on).
  virtual std::string NameKey(const std::string& path) const = 0;
  // True when both paths name the same existing file; paths that cannot be looked up are
  // compared as text.
  virtual bool SameFile(const std::string& a, const std::string& b) = 0;
};

}  // namespace tarnvex
