#pragma once
// A small library to show the programs with: projects with sub-projects, documents
// with several versions, an edition with a supplement, and two TCP/IP users, "editor"
// and "reader", whose certificates ("editor.wxc", "reader.wxc") are written into a
// folder: one for each client, since a logon changes the code a certificate holds.
// Made through the store, never shipped.
#include <map>
#include <string>

struct DemoLibraryOptions {
  std::string serverFolder;      // the server's working folder ("WexmoorRootPath.wxf")
  std::string rootPath;          // the library root; must not hold a library yet
  std::string certificateFolder;   // where the users' certificates are written
  int port = 0;                  // the port the library's server will listen on; 0: a free one
};

struct DemoLibrary {
  int port = 0;                                   // the port written into the library
  std::map<std::string, std::string> projects;    // project path ("Engineering/Drawings") -> internal name
};

// Makes the library; false with `error` set when any step failed.
bool MakeDemoLibrary(const DemoLibraryOptions& options, std::string& error, DemoLibrary& made);
