#include "platform/standin/profile.h"

#include <cstdlib>
#include <sstream>

#include "platform/failure.h"
#include "text/case.h"

namespace tarnvex::standin {
namespace {

std::string Trim(std::string_view s) {
  return std::string(text::TrimAsciiSpace(s));
}

constexpr std::string_view kWhat = "the Outlook profile";
// A profile is a few lines; anything near this size is not one.
constexpr std::size_t kMaxProfileBytes = 64 * 1024;

}  // namespace

std::string ProfilePath(const std::optional<std::string>& variable,
                        const std::optional<std::string>& configFolder) {
  if (variable && !variable->empty())
    return *variable;
  if (configFolder && !configFolder->empty())
    return *configFolder + "/tarnvex/profile.ini";
  return {};
}

std::string ProfilePathFromEnvironment(const std::optional<std::string>& configFolder) {
  const char* variable = std::getenv(kProfileVariable);
  return ProfilePath(variable ? std::optional<std::string>(variable) : std::nullopt, configFolder);
}

std::string WindowsProfilePath(const std::optional<std::string>& variable,
                               const std::optional<std::string>& appDataFolder) {
  if (variable && !variable->empty())
    return *variable;
  if (appDataFolder && !appDataFolder->empty())
    return *appDataFolder + "\\tarnvex\\profile.ini";
  return {};
}

namespace {

// The value of a key of the [Profile] section; empty when there is no profile, no such key or an
// empty value. The last of several keys of the same name counts.
std::optional<std::string> ReadKey(const std::string& profilePath, FileAccess& files,
                                   std::string_view key) {
  if (profilePath.empty())
    return std::nullopt;
  const std::optional<std::string> text = files.ReadIfPresent(profilePath, kWhat, kMaxProfileBytes);
  if (!text)
    return std::nullopt;
  std::istringstream in(*text);
  std::string line, section;
  std::optional<std::string> found;
  while (std::getline(in, line)) {
    line = Trim(line);
    if (line.empty() || line[0] == ';' || line[0] == '#')
      continue;
    if (line.front() == '[' && line.back() == ']') {
      section = Trim(line.substr(1, line.size() - 2));
      continue;
    }
    const size_t eq = line.find('=');
    if (eq == std::string::npos || section != "Profile")
      continue;
    if (Trim(line.substr(0, eq)) == key) {
      std::string value = Trim(line.substr(eq + 1));
      found = value.empty() ? std::nullopt : std::optional<std::string>(value);
    }
  }
  return found;
}

}  // namespace

std::optional<std::string> ReadDefaultStore(const std::string& profilePath, FileAccess& files) {
  return ReadKey(profilePath, files, "DefaultStore");
}

std::optional<uint32_t> ReadProfileCodePage(const std::string& profilePath, FileAccess& files) {
  const std::optional<std::string> value = ReadKey(profilePath, files, "Codepage");
  if (!value || value->size() > 5 || value->find_first_not_of("0123456789") != std::string::npos) {
    return std::nullopt;
  }
  const uint32_t codePage = static_cast<uint32_t>(std::stoul(*value));
  if (codePage == 0 || codePage > 65535)
    return std::nullopt;
  return codePage;
}

std::optional<vcard::Charset> ParseCharset(std::string_view name) {
  if (text::EqualsIgnoringAsciiCase(name, "outlook"))
    return vcard::Charset::kOutlook;
  if (text::EqualsIgnoringAsciiCase(name, "utf-8"))
    return vcard::Charset::kUtf8;
  return std::nullopt;
}

std::optional<vcard::Charset> ReadProfileCharset(const std::string& profilePath,
                                                 FileAccess& files) {
  const std::optional<std::string> value = ReadKey(profilePath, files, "Charset");
  return value ? ParseCharset(*value) : std::nullopt;
}

namespace {

// The profile's text with its DefaultStore key set to the store: the key of the [Profile]
// section replaced where it stands (every one of them, so that the last, which counts, is the
// new one), else added at the section's start, else a [Profile] section added.
std::string WithDefaultStore(const std::string& text, const std::string& storePath) {
  const std::string entry = "DefaultStore=" + storePath;
  std::istringstream in(text);
  std::string line, section, out;
  bool hadSection = false, placed = false;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r')
      line.pop_back();
    const std::string trimmed = Trim(line);
    if (!trimmed.empty() && trimmed.front() == '[' && trimmed.back() == ']') {
      section = Trim(trimmed.substr(1, trimmed.size() - 2));
      out += line + "\n";
      if (section == "Profile" && !hadSection) {
        hadSection = true;
        out += entry + "\n";
        placed = true;
      }
      continue;
    }
    const size_t eq = trimmed.find('=');
    const bool isKey = !trimmed.empty() && trimmed[0] != ';' && trimmed[0] != '#' &&
                       eq != std::string::npos && Trim(trimmed.substr(0, eq)) == "DefaultStore";
    if (section == "Profile" && isKey)
      continue;  // the new entry stands at the section's start
    out += line + "\n";
  }
  if (!placed)
    out = "[Profile]\n" + entry + "\n" + out;
  return out;
}

}  // namespace

void WriteDefaultStore(const std::string& profilePath, const std::string& storePath,
                       FileAccess& files, AtomicFileWriter& writer) {
  if (profilePath.empty()) {
    throw Failure("The store \"" + storePath +
                  "\" cannot be made the default: no place for the Outlook profile is known, as "
                  "the user has no configuration folder. Name the profile file with " +
                  std::string(kProfileVariable) + ".");
  }
  if (storePath.find_first_of("\r\n") != std::string::npos) {
    throw Failure("The store path \"" + storePath +
                  "\" cannot be kept in the profile: it holds "
                  "a line break.");
  }
  if (const size_t slash = profilePath.rfind('/'); slash != std::string::npos && slash > 0)
    files.CreateFolders(profilePath.substr(0, slash), "the profile");
  const std::optional<std::string> old = files.ReadIfPresent(profilePath, kWhat, kMaxProfileBytes);
  writer.WriteReplacing(profilePath, WithDefaultStore(old.value_or(std::string()), storePath));
}

}  // namespace tarnvex::standin
