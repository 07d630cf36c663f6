#include "platform/pst/profile.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <sstream>

#include "platform/failure.h"
#include "platform/pst/safe_write.h"

namespace tarnvex::pst {
namespace {

std::string Trim(const std::string& s) {
  const size_t b = s.find_first_not_of(" \t\r");
  if (b == std::string::npos)
    return {};
  const size_t e = s.find_last_not_of(" \t\r");
  return s.substr(b, e - b + 1);
}

void MakeFolders(const std::string& profilePath) {
  for (size_t pos = profilePath.find('/', 1); pos != std::string::npos;
       pos = profilePath.find('/', pos + 1)) {
    const std::string folder = profilePath.substr(0, pos);
    if (::mkdir(folder.c_str(), 0777) != 0 && errno != EEXIST) {
      throw Failure("Cannot create the folder \"" + folder +
                    "\" for the profile: " + std::strerror(errno) + ".");
    }
  }
}

}  // namespace

std::optional<std::string> ReadDefaultStore(const std::string& profilePath) {
  struct stat st {};
  if (::stat(profilePath.c_str(), &st) != 0) {
    if (errno == ENOENT || errno == ENOTDIR)
      return std::nullopt;
    throw Failure("Cannot read the Outlook profile \"" + profilePath +
                  "\": " + std::strerror(errno) + ".");
  }
  if (S_ISDIR(st.st_mode)) {
    throw Failure("Cannot read the Outlook profile \"" + profilePath + "\": it is a folder.");
  }
  std::ifstream in(profilePath, std::ios::binary);
  if (!in) {
    throw Failure("Cannot read the Outlook profile \"" + profilePath +
                  "\": " + std::strerror(errno) + ".");
  }
  std::string line, section;
  std::optional<std::string> store;
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
    if (Trim(line.substr(0, eq)) == "DefaultStore") {
      std::string value = Trim(line.substr(eq + 1));
      store = value.empty() ? std::nullopt : std::optional<std::string>(value);
    }
  }
  if (in.bad()) {
    throw Failure("Cannot read the Outlook profile \"" + profilePath +
                  "\": " + std::strerror(errno) + ".");
  }
  return store;
}

void WriteDefaultStore(const std::string& profilePath, const std::string& storePath) {
  if (storePath.find_first_of("\r\n") != std::string::npos) {
    throw Failure("The store path \"" + storePath +
                  "\" cannot be kept in the profile: it holds "
                  "a line break.");
  }
  MakeFolders(profilePath);
  WriteFileReplacing(profilePath, "[Profile]\nDefaultStore=" + storePath + "\n");
}

}  // namespace tarnvex::pst
