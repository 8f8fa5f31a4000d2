// The server program. Without a window for now: it runs with --headless.
#include <iostream>
#include <string>
#include <vector>

#include "server/engine/HeadlessServer.h"

int main(int argc, char** argv) {
  HeadlessOptions options;
  std::string error;
  if (!ParseServerArguments(std::vector<std::string>(argv + 1, argv + argc), options, error) || !options.headless) {
    std::cerr << (error.empty() ? "only --headless is supported" : error) << "\n"
              << "usage: wexmoor --headless [--workdir DIR] [--root DIR]" << std::endl;
    return 64;
  }
  return RunHeadlessServer(options, std::cout, std::cerr);
}
