// The server program: "wexmoor --headless" serves without a window and never
// starts Qt; without that option (in a build with windows) it is the windowed server;
// "wexmoor admin ..." administers a library from the shell.
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include "common/VersionOption.h"
#include "platform/MemoryPools.h"
#include "server/admin/AdminChannel.h"
#include "server/admin/AdminCommand.h"
#include "server/engine/HeadlessServer.h"
#ifdef WEX_WITH_UI
#include "server/ui/WindowedServer.h"
#endif

namespace {

#ifdef WEX_WITH_UI
constexpr const char* kUsage =
    "usage: wexmoor [--headless] [--workdir DIR [--create-workdir]] [--root DIR] [--new-library-tls] [--test-hooks]";
#else
constexpr const char* kUsage = "usage: wexmoor --headless [--workdir DIR [--create-workdir]] [--root DIR] [--new-library-tls]";
#endif

constexpr const char* kHelp =
    "The Wexmoor server: keeps one document library in a folder and serves the desktop\n"
    "clients over TCP.\n"
    "\n"
#ifdef WEX_WITH_UI
    "Without --headless it shows its status console with the Administration menu (this\n"
    "needs a display).\n"
    "\n"
#endif
    "  --headless      serve without a window; status lines go to standard output; SIGINT or\n"
    "                  SIGTERM stops the server in order\n"
    "  --workdir DIR   the working folder, which holds WexmoorRootPath.wxf (default: the\n"
    "                  current folder); it must exist\n"
    "  --create-workdir  make the --workdir folder when it does not exist\n"
    "  --root DIR      the library root, used only when none is recorded yet (then the\n"
    "                  working folder becomes the root, as the first status line says)\n"
    "  --new-library-tls  with --headless: a library this start makes serves TLS only,\n"
    "                  its key made now (the service starts so)\n"
#ifdef WEX_WITH_UI
    "  --test-hooks    read test commands on standard input (windowed only)\n"
#endif
    "  --help          show this text\n"
    "  --version       show the version\n"
    "\n"
    "The running server takes administration commands from its own user on the socket\n"
    "wexmoor-admin.socket in its working folder. Administration without a window (the\n"
    "same --workdir and --root as the server's):\n";

// One line of standard input; on a terminal it asks first and does not echo.
std::optional<std::string> ReadPassword() {
  const bool terminal = ::isatty(STDIN_FILENO) == 1;
  termios before{};
  if (terminal && ::tcgetattr(STDIN_FILENO, &before) == 0) {
    termios silent = before;
    silent.c_lflag &= ~static_cast<tcflag_t>(ECHO);
    std::cerr << "Password: " << std::flush;
    ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &silent);
  }
  std::string line;
  const bool read = static_cast<bool>(std::getline(std::cin, line));
  if (terminal) {
    ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &before);
    std::cerr << std::endl;
  }
  if (!read) return std::nullopt;
  if (!line.empty() && line.back() == '\r') line.pop_back();
  return line;
}

}  // namespace

int main(int argc, char** argv) {
  // Before any thread: connections come and go with threads of their own.
  platform::SetUpServerAllocator();
  const std::vector<std::string> arguments(argv + 1, argv + argc);
  const bool administration = !arguments.empty() && arguments.front() == "admin";
  if (!administration && PrintVersionWhenAsked("wexmoor", argc, argv, std::cout)) return 0;
  if (!administration && std::find(arguments.begin(), arguments.end(), "--help") != arguments.end()) {
    std::cout << kUsage << '\n' << kHelp << kAdminUsage << std::flush;
    return 0;
  }
  if (administration) {
    AdminOptions admin;
    std::string error;
    if (!ParseAdminArguments({arguments.begin() + 1, arguments.end()}, admin, error)) {
      std::cerr << error << '\n' << kAdminUsage << std::flush;
      return 64;
    }
    if (admin.help) {
      std::cout << kAdminUsage << std::flush;
      return 0;
    }
    return RunAdminCommand(admin, ReadPassword, std::cout, std::cerr);
  }
  HeadlessOptions options;
  std::string error;
  const bool parsed = ParseServerArguments(arguments, options, error);
  options.companion = StartAdminChannel;
#ifdef WEX_WITH_UI
  if (parsed && !options.headless) return RunWindowedServer(options, argc, argv, std::cerr);
#endif
  if (!parsed || !options.headless) {
    std::cerr << (error.empty() ? "only --headless is supported" : error) << "\n" << kUsage << std::endl;
    return 64;
  }
  return RunHeadlessServer(options, std::cout, std::cerr);
}
