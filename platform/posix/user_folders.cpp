#include "platform/posix/user_folders.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>

namespace tarnvex {
namespace {

std::optional<std::string> NotEmpty(const std::optional<std::string>& text) {
  if (text && !text->empty())
    return text;
  return std::nullopt;
}

std::optional<std::string> Variable(const char* name) {
  if (const char* value = std::getenv(name))
    return std::string(value);
  return std::nullopt;
}

std::optional<std::string> AccountHome() {
  if (const passwd* user = ::getpwuid(::getuid()); user && user->pw_dir)
    return std::string(user->pw_dir);
  return std::nullopt;
}

}  // namespace

UserFolderSources CurrentUserFolderSources() {
  UserFolderSources sources{Variable("HOME"), Variable("XDG_CONFIG_HOME"), std::nullopt};
  if (!NotEmpty(sources.home))
    sources.accountHome = AccountHome();  // only when needed: the lookup may go over the network
  return sources;
}

std::optional<std::string> HomeFolder(const UserFolderSources& sources) {
  if (auto home = NotEmpty(sources.home))
    return home;
  return NotEmpty(sources.accountHome);
}

std::optional<std::string> ConfigFolder(const UserFolderSources& sources) {
  if (auto config = NotEmpty(sources.xdgConfigHome); config && config->front() == '/')
    return config;
  if (auto home = HomeFolder(sources))
    return *home + (home->back() == '/' ? ".config" : "/.config");
  return std::nullopt;
}

std::optional<std::string> HomeFolder() {
  return HomeFolder(CurrentUserFolderSources());
}

std::optional<std::string> ConfigFolder() {
  return ConfigFolder(CurrentUserFolderSources());
}

}  // namespace tarnvex
