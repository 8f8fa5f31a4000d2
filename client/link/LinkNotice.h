#pragma once
// The texts that tell the user why a library could not be opened, or why its link
// ended while it was open: which library and server, the cause in plain words, the
// work the server never confirmed, and what to do next.
#include <string>
#include <vector>

#include "client/link/LinkEnd.h"

class LibraryConnection;
class LibraryEntry;

class LinkNotice {
 public:
  // The library as the user knows it, at the port its link connects to.
  struct Library {
    std::string name;
    std::string host;
    int port = 0;
    std::string user;
    bool tls = false;   // the port is the TLS port its entry pins
  };

  // The library of `connection`: at its TLS port when `entry` (may be null) pins
  // the server's certificate, the link's port then, else at the connection's port.
  static Library LibraryOf(const LibraryConnection& connection, const LibraryEntry* entry);

  // The fingerprints of a server certificate the client refused.
  struct Fingerprints {
    std::string expected;    // the library's entry pins it
    std::string presented;   // the server showed it
  };

  // A visit that never got logged on. `connectError` is the system's error number
  // of a failed connection attempt (0: none); `refusalText` the server's own words
  // with a refused logon (may be empty); `fingerprints` those of a refused server.
  static std::string FailedVisit(const Library& library, LinkEnd cause, int connectError,
                                 const std::string& refusalText, const Fingerprints& fingerprints = {});
  // The status line while a visit's link is made and logged on.
  static std::string Connecting(const Library& library);
  // A link that ended after its logon without the user closing it. `reconnect` says
  // why a new link could not be made (kNone: none was tried); `unconfirmed` names
  // the work in flight, one line each.
  static std::string LostLink(const Library& library, LinkEnd cause, LinkEnd reconnect,
                              const std::vector<std::string>& unconfirmed);
};
