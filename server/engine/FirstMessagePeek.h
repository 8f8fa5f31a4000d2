#pragma once
// Looks at what a connection that is not served yet has sent, without taking a
// byte from it: nothing, the start of a message, a whole first message (a logon
// or another request), bytes no first message begins with, or its end. A first
// message is read as the connection engine reads one before logon: a header in
// the library's default key naming a known account, a body within the logon
// bound and no files.
#include "platform/Transport.h"

class ServerSettings;

class FirstMessagePeek {
 public:
  enum class Arrival {
    Quiet,     // nothing yet
    Begun,     // part of a first message
    Message,   // a whole first message other than a logon
    Logon,     // a whole logon
    Refused,   // bytes the engine would end the connection for
    Closed     // the peer closed or the connection failed
  };

  // Reads the default key and the accounts from `settings` (which must outlive it).
  explicit FirstMessagePeek(const ServerSettings& settings);

  // Over TLS the look also moves the handshake on: a connection still shaking hands is Quiet.
  Arrival Look(platform::Transport& connection) const;

 private:
  const ServerSettings& settings_;
};
