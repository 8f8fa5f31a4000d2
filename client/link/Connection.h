#pragma once
// The owner's view of a link to a library server: queue a request, take a reply,
// run the link, log off and close. The network form is IPConnection.
#include "common/Msg.h"
#include "common/WireCapabilities.h"

class LibraryConnection;
class LibraryEntry;

class Connection {
 public:
  virtual ~Connection() = default;

  // Queues one outgoing message; 0 when queued (see IPConnection for the codes).
  virtual int SendMessage(Msg& message) = 0;
  // Takes the oldest received message; 0 when one was taken.
  virtual int ReceiveMessage(Msg& message) = 0;
  // The connection thread's whole run.
  virtual bool Connect() = 0;
  virtual bool SetConnection(const LibraryConnection& connection, const LibraryEntry* entry) = 0;
  virtual bool Logoff() = 0;
  virtual bool Close() = 0;
  // The protocol extensions the server announced at the last accepted logon; none
  // before it. Extension requests the server did not announce are never sent.
  virtual WireCapabilities GetServerCapabilities() const = 0;

  int Send(Msg& message) { return SendMessage(message); }
  int Receive(Msg& message) { return ReceiveMessage(message); }
};
