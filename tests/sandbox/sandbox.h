#pragma once

// What every test that touches files stands in: a folder of its own, and the program's
// configuration pointed into it. CTest runs the cases side by side, each in a process of its own,
// so nothing may be shared by name: not a folder, not a profile.

#ifdef _WIN32
#include <windows.h>
#endif

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <random>
#include <stdexcept>
#include <string>
#include <string_view>
#include <thread>

namespace tarnvex::testing {

// UTF-8 text and paths, on every system.
inline std::filesystem::path PathOf(std::string_view utf8) {
  return std::filesystem::path(
      std::u8string(reinterpret_cast<const char8_t*>(utf8.data()), utf8.size()));
}

inline std::string Utf8Of(const std::filesystem::path& path) {
  const std::u8string text = path.u8string();
  return std::string(reinterpret_cast<const char*>(text.data()), text.size());
}

// A new folder in the system's temporary folder, removed with everything in it when it goes.
class Sandbox {
 public:
  // prefix starts the folder's name (UTF-8), so that a folder left behind says whose it was. The
  // default holds a letter outside ASCII, so that every path a test makes crosses one.
  explicit Sandbox(std::string_view prefix = "tarnvex-T\u00e9st") {
    const std::filesystem::path temp = std::filesystem::temp_directory_path();
    std::random_device random;
    for (int attempt = 0; attempt < 100; ++attempt) {
      const std::filesystem::path folder =
          temp / PathOf(std::string(prefix) + "-" + std::to_string(random()) + "-" +
                        std::to_string(random()));
      std::error_code error;
      if (std::filesystem::create_directory(folder, error)) {
        folder_ = folder;
        path_ = Utf8Of(folder);
        return;
      }
    }
    throw std::runtime_error("cannot make a folder in " + Utf8Of(temp));
  }
  Sandbox(const Sandbox&) = delete;
  Sandbox& operator=(const Sandbox&) = delete;

  // A program the test started may still hold a file in it for a moment after it ended (wine
  // closes a finished process's handles late): removal is tried again for up to a second.
  ~Sandbox() {
    if (std::getenv("TARNVEX_KEEP_TEST_FILES"))
      return;  // for looking at the files by hand
    for (int attempt = 0; attempt < 50; ++attempt) {
      if (RemoveTree(folder_))
        return;
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
  }

  // The folder's path in UTF-8, without a trailing separator.
  const std::string& path() const { return path_; }
  const std::filesystem::path& folder() const { return folder_; }
  // A path inside the folder, in UTF-8.
  std::string operator/(std::string_view name) const {
    return path_ + kSeparator + std::string(name);
  }

 private:
#ifdef _WIN32
  static constexpr const char* kSeparator = "\\";
  // Whether the folder is gone. Through the API itself, in the long form (the tests make paths
  // longer than MAX_PATH), read-only files made writable first.
  static bool RemoveTree(const std::filesystem::path& folder) {
    return RemoveLong(L"\\\\?\\" + folder.wstring());
  }
  static bool RemoveLong(const std::wstring& folder) {
    WIN32_FIND_DATAW found;
    const HANDLE listing = ::FindFirstFileW((folder + L"\\*").c_str(), &found);
    if (listing != INVALID_HANDLE_VALUE) {
      do {
        const std::wstring name = found.cFileName;
        if (name == L"." || name == L"..")
          continue;
        const std::wstring path = folder + L"\\" + name;
        const bool isFolder = (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) &&
                              !(found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT);
        ::SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
        if (isFolder)
          RemoveLong(path);
        else
          ::DeleteFileW(path.c_str());
      } while (::FindNextFileW(listing, &found));
      ::FindClose(listing);
    }
    ::RemoveDirectoryW(folder.c_str());
    return ::GetFileAttributesW(folder.c_str()) == INVALID_FILE_ATTRIBUTES;
  }
#else
  static constexpr const char* kSeparator = "/";
  static bool RemoveTree(const std::filesystem::path& folder) {
    std::error_code error;
    std::filesystem::remove_all(folder, error);
    return !std::filesystem::exists(folder, error) && !error;
  }
#endif

  std::filesystem::path folder_;
  std::string path_;
};

// An environment variable set (or unset, for nullopt) while the object lives, and put back as it
// was when it goes.
class ScopedVariable {
 public:
  ScopedVariable(std::string name, const std::optional<std::string>& value)
      : name_(std::move(name)) {
#ifdef _WIN32
    if (const wchar_t* old = _wgetenv(PathOf(name_).wstring().c_str()))
      old_ = Utf8Of(std::filesystem::path(old));
#else
    if (const char* old = std::getenv(name_.c_str()))
      old_ = old;
#endif
    Set(value);
  }
  ScopedVariable(const ScopedVariable&) = delete;
  ScopedVariable& operator=(const ScopedVariable&) = delete;
  ~ScopedVariable() {
    Set(old_);
  }

 private:
  void Set(const std::optional<std::string>& value) {
#ifdef _WIN32
    // Sets the process's environment, which the program reads, as well as the C library's.
    _wputenv_s(PathOf(name_).wstring().c_str(), value ? PathOf(*value).wstring().c_str() : L"");
#else
    if (value)
      ::setenv(name_.c_str(), value->c_str(), 1);
    else
      ::unsetenv(name_.c_str());
#endif
  }

  std::string name_;
  std::optional<std::string> old_;
};

// The program's default-profile file inside the sandbox, for as long as the object lives.
class SandboxedProfile {
 public:
  explicit SandboxedProfile(const Sandbox& sandbox, std::string_view name = "profile.ini")
      : path_(sandbox / name), variable_("TARNVEX_OUTLOOK_PROFILE", path_) {}
  const std::string& path() const { return path_; }

 private:
  std::string path_;
  ScopedVariable variable_;
};

}  // namespace tarnvex::testing
