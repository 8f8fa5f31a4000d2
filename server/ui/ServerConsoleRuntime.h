#pragma once
// The status console's view of the running server's console: its refresh reads
// the engines as one snapshot under the queue section and the user names through
// the user table's locked look-ups. While the listener has failed or waits for its
// port, the line "Listening port is %d" is replaced by what went wrong; after a port change it
// also names the port of the next start. The library name line and the snapshot's
// name are the name as it is now.
#include "server/ui/ConsoleRuntime.h"

class ServerConsole;

class ServerConsoleRuntime : public ConsoleRuntime {
 public:
  static constexpr const char* kNotListeningPrefix = "Not listening: ";

  // `console` must outlive every call.
  explicit ServerConsoleRuntime(ServerConsole& console) : console_(console) {}

  ConsoleSnapshot Refresh() override;
  ConsoleSnapshot Current() const override;

 private:
  ServerConsole& console_;
};
