#pragma once
// A library the server is about to make on its first start (the working folder
// records no root yet and the root holds no users file) starts with TLS required
// and its key made, so no logon of it ever travels on the plain wire. A library
// made earlier keeps its TLS settings (none: off).
#include <string>

class NewLibraryTls {
 public:
  struct Outcome {
    bool ok = true;
    std::string line;   // what the console is told; empty when the library is not new
  };

  // `rootPath` is the root the server was given; `serverName` what the new certificate names.
  static Outcome Prepare(const std::string& workingFolder, const std::string& rootPath, const std::string& serverName);
};
