#include "platform/Process.h"

#include <limits.h>
#include <pwd.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <vector>

namespace platform {
namespace {

std::string CurrentFolder() {
  std::vector<char> buffer(PATH_MAX);
  while (::getcwd(buffer.data(), buffer.size()) == nullptr) {
    if (errno != ERANGE) return "/";
    buffer.resize(buffer.size() * 2);
  }
  std::string folder = buffer.data();
  while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
  return folder;
}

}  // namespace

std::string WorkingFolder() {
  static const std::string folder = CurrentFolder();
  return folder;
}

std::string LoginName() {
  struct passwd entry;
  struct passwd* found = nullptr;
  std::vector<char> buffer(16384);
  if (::getpwuid_r(::geteuid(), &entry, buffer.data(), buffer.size(), &found) == 0 &&
      found != nullptr && found->pw_name != nullptr && found->pw_name[0] != '\0') {
    return found->pw_name;
  }
  const char* user = std::getenv("USER");
  return user != nullptr && user[0] != '\0' ? user : "user";
}

std::string HostName() {
  char name[HOST_NAME_MAX + 1] = {};
  if (::gethostname(name, sizeof name - 1) != 0 || name[0] == '\0') return "localhost";
  return name;
}

std::string ProgramFolder() {
  std::vector<char> buffer(PATH_MAX);
  const ssize_t length = ::readlink("/proc/self/exe", buffer.data(), buffer.size());
  if (length <= 0 || static_cast<std::size_t>(length) >= buffer.size()) return "";
  const std::string program(buffer.data(), static_cast<std::size_t>(length));
  const std::size_t slash = program.rfind('/');
  if (slash == std::string::npos) return "";
  return slash == 0 ? "/" : program.substr(0, slash);
}

std::string InstalledDataFolder() {
  const std::string folder = ProgramFolder();
  return folder.empty() ? folder : folder + "/" + WEX_DATA_FROM_PROGRAM;
}

}  // namespace platform
