// The server program: "wexmoor --headless" serves without a window and never
// starts Qt; without that option (in a build with windows) it is the windowed server.
#include <iostream>
#include <string>
#include <vector>

#include "platform/MemoryPools.h"
#include "server/engine/HeadlessServer.h"
#ifdef WEX_WITH_UI
#include "server/ui/WindowedServer.h"
#endif

int main(int argc, char** argv) {
  // Before any thread: connections come and go with threads of their own.
  platform::SetUpServerAllocator();
#ifdef WEX_WITH_UI
  const char* usage = "usage: wexmoor [--headless] [--workdir DIR] [--root DIR] [--test-hooks]";
#else
  const char* usage = "usage: wexmoor --headless [--workdir DIR] [--root DIR]";
#endif
  const std::vector<std::string> arguments(argv + 1, argv + argc);
  if (arguments == std::vector<std::string>{"--help"}) {
    std::cout << usage << std::endl;
    return 0;
  }
  HeadlessOptions options;
  std::string error;
  const bool parsed = ParseServerArguments(arguments, options, error);
#ifdef WEX_WITH_UI
  if (parsed && !options.headless) return RunWindowedServer(options, argc, argv, std::cerr);
#endif
  if (!parsed || !options.headless) {
    std::cerr << (error.empty() ? "only --headless is supported" : error) << "\n" << usage << std::endl;
    return 64;
  }
  return RunHeadlessServer(options, std::cout, std::cerr);
}
