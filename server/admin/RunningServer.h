#pragma once
// The running server as an administration command sees it: who is logged on, which
// port it listens on, and its console, which records every change made with who
// made it and from where ("from the shell", "in the server window").
#include <sys/types.h>

#include <string>
#include <vector>

class ServerConsole;
class TlsListener;

class RunningServer {
 public:
  // `origin` says who administers and from where, e.g. "from the shell by wexmoor (uid 998)".
  RunningServer(ServerConsole& console, std::string origin) : console_(console), origin_(std::move(origin)) {}

  std::vector<std::string> ConnectedNames() const;
  int ListeningPort() const;
  // The listener's TLS side, which serves a change of the TLS settings at once.
  TlsListener& Tls() const;
  // "Up Time is ...", as the console shows it.
  std::string UpTime() const;
  // One console line: "Administration <origin>: <what>".
  void RecordChange(const std::string& what) const;

  // "by NAME (uid N)" for the user `uid`.
  static std::string ByUser(uid_t uid);

 private:
  ServerConsole& console_;
  std::string origin_;
};
