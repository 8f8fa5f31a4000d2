#pragma once
// Whom "wexmoor admin" trusts with a library's secrets: the user its working folder
// belongs to (the user the server runs as) and root. A folder, a socket file or a
// listening program of anyone else could be a stand-in planted to catch passwords,
// so each is checked before anything is sent or written, and refused with a reason
// that names it and says what to do.
#include <sys/types.h>

#include <optional>
#include <string>

class AdminTrust {
 public:
  explicit AdminTrust(uid_t libraryUser) : libraryUser_(libraryUser) {}

  // The trust of the library kept in `workingFolder` (a full path): its user is the
  // folder's owner. None, with why, when the folder does not exist, is no folder or
  // may be written by others.
  static std::optional<AdminTrust> OfWorkingFolder(const std::string& workingFolder, std::string& problem);

  uid_t LibraryUser() const { return libraryUser_; }
  bool Trusts(uid_t uid) const { return uid == libraryUser_ || uid == 0; }

  // Why `folder` cannot be trusted (it belongs to someone else, or group or others
  // may write it); empty when it can or does not exist yet.
  std::string FolderProblem(const std::string& folder) const;
  // Why the file at `path` is not the library's server's socket: a link, no socket,
  // someone else's, or writable by others; empty when it is.
  std::string SocketFileProblem(const std::string& path) const;
  // Why the program on the other end of the connected socket `fd` (made from the
  // socket at `path`) is not the library's server; empty when it is.
  std::string PeerProblem(int fd, const std::string& path) const;

 private:
  std::string Someone() const;

  uid_t libraryUser_;
};
