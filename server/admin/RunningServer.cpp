#include "server/admin/RunningServer.h"

#include <pwd.h>

#include <vector>

#include "server/engine/ServerConsole.h"

std::vector<std::string> RunningServer::ConnectedNames() const { return console_.GetLoggedOnUserNames(); }

int RunningServer::ListeningPort() const { return console_.GetListeningPort(); }

TlsListener& RunningServer::Tls() const { return console_.GetTlsListener(); }

std::string RunningServer::UpTime() const { return console_.GetUpTimeText(); }

void RunningServer::RecordChange(const std::string& what) const {
  std::string line = "Administration " + origin_ + ": " + what;
  // A status line is one line.
  for (std::size_t at = line.find('\n'); at != std::string::npos; at = line.find('\n', at)) line.replace(at, 1, "; ");
  console_.AddStatusLine(line);
}

std::string RunningServer::ByUser(uid_t uid) {
  passwd entry{};
  passwd* found = nullptr;
  std::vector<char> buffer(16384);
  const bool named = ::getpwuid_r(uid, &entry, buffer.data(), buffer.size(), &found) == 0 && found != nullptr;
  return "by " + (named ? std::string(entry.pw_name) + " " : std::string()) + "(uid " + std::to_string(uid) + ")";
}
