#pragma once
// The server run without a window: "wexmoor --headless [--workdir DIR [--create-workdir]] [--root DIR]".
// It starts the application, prints the console's status lines, serves until SIGINT
// or SIGTERM, then shuts down in order (console, document save, thread wait).
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "server/engine/CWexmoorApp.h"

struct HeadlessOptions {
  bool headless = false;
  std::string workingFolder;   // holds "WexmoorRootPath.wxf"; empty: the current folder
  bool createWorkingFolder = false;   // a missing working folder is made, not refused
  std::string rootPath;        // used only when the root-path file is missing or empty
  bool testHooks = false;      // windowed only: commands on standard input (scripts, screenshots)
  bool newLibraryTls = false;  // a library made by this start serves TLS only (NewLibraryTls)
  CWexmoorApp::CompanionStarter companion;   // runs beside the console (the administration socket)
};

// Reads the arguments after the program name; false with `error` set for an
// unknown argument or a missing folder name.
bool ParseServerArguments(const std::vector<std::string>& arguments, HeadlessOptions& options, std::string& error);

// The working folder to start in: "" for the current one; nullopt after `err` was told
// why the one given cannot be used.
std::optional<std::string> ServerWorkingFolder(const HeadlessOptions& options, std::ostream& err);

// Serves until SIGINT or SIGTERM. Under a service manager ($NOTIFY_SOCKET) it says
// "READY=1" once the port listens, "WATCHDOG=1" while it answers (when
// $WATCHDOG_USEC asks for it) and "STOPPING=1" at the shutdown. Result 0 after an orderly shutdown; 1 when the
// document refused to start (another instance, unreadable files); 2 when the
// listener could not listen. Call before any other thread is started: the two
// signals are blocked in every thread and taken by this one.
int RunHeadlessServer(const HeadlessOptions& options, std::ostream& out, std::ostream& err);
