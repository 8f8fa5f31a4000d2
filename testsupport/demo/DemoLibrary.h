#pragma once
// A small library to show the programs with: projects with sub-projects, documents
// with several versions, an edition with a supplement, and one TCP/IP user whose
// certificate is written beside it. Made through the store, never shipped.
#include <string>

struct DemoLibraryOptions {
  std::string serverFolder;      // the server's working folder ("WexmoorRootPath.wxf")
  std::string rootPath;          // the library root; must not hold a library yet
  std::string certificatePath;   // where the user's certificate is written
  int port = 0;                  // the port the library's server will listen on
};

// Makes the library; false with `error` set when any step failed.
bool MakeDemoLibrary(const DemoLibraryOptions& options, std::string& error);
