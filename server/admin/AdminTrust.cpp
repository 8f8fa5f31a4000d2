#include "server/admin/AdminTrust.h"

#include <sys/socket.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstring>

namespace {

constexpr mode_t kOthersWrite = S_IWGRP | S_IWOTH;

std::string Uid(uid_t uid) { return "uid " + std::to_string(uid); }

std::string OthersMayWrite(const std::string& what, const std::string& path) {
  return what + " " + path + " may be written by other users; run \"chmod go-w " + path +
         "\" and check who changed it";
}

}  // namespace

std::optional<AdminTrust> AdminTrust::OfWorkingFolder(const std::string& workingFolder, std::string& problem) {
  struct stat status {};
  if (::stat(workingFolder.c_str(), &status) != 0 || !S_ISDIR(status.st_mode)) {
    problem = "The working folder " + workingFolder +
              " does not exist; check --workdir (a new library is made by starting the server with --create-workdir)";
    return std::nullopt;
  }
  AdminTrust trust(status.st_uid);
  problem = trust.FolderProblem(workingFolder);
  if (!problem.empty()) return std::nullopt;
  return trust;
}

std::string AdminTrust::Someone() const { return "the library's user (" + Uid(libraryUser_) + ") or root"; }

std::string AdminTrust::FolderProblem(const std::string& folder) const {
  struct stat status {};
  if (::stat(folder.c_str(), &status) != 0) {
    return errno == ENOENT ? "" : "The folder " + folder + ": " + std::strerror(errno);
  }
  if (!Trusts(status.st_uid)) {
    return "The folder " + folder + " belongs to " + Uid(status.st_uid) + ", not to " + Someone() +
           "; give it to the library's user";
  }
  if ((status.st_mode & kOthersWrite) != 0) return OthersMayWrite("The folder", folder);
  return "";
}

std::string AdminTrust::SocketFileProblem(const std::string& path) const {
  struct stat status {};
  if (::lstat(path.c_str(), &status) != 0) return "The administration socket " + path + ": " + std::strerror(errno);
  const std::string remedy = "; it was not made by the library's server: remove it and check who can write its folder";
  if (!S_ISSOCK(status.st_mode)) return "The administration socket " + path + " is no socket" + remedy;
  if (!Trusts(status.st_uid)) {
    return "The administration socket " + path + " belongs to " + Uid(status.st_uid) + ", not to " + Someone() +
           remedy;
  }
  if ((status.st_mode & kOthersWrite) != 0) return OthersMayWrite("The administration socket", path);
  return "";
}

std::string AdminTrust::PeerProblem(int fd, const std::string& path) const {
  ucred peer{};
  socklen_t length = sizeof peer;
  if (::getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &peer, &length) != 0) {
    return "Who listens on the administration socket " + path + " cannot be told: " + std::strerror(errno);
  }
  if (Trusts(peer.uid)) return "";
  return "The program listening on the administration socket " + path + " runs as " + Uid(peer.uid) +
         ", not as " + Someone() + "; nothing was sent to it: stop it, remove the socket and check who can write " +
         "its folder";
}
