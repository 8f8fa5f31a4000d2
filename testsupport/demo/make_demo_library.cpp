// Makes the demo library for the screenshots:
//   make_demo_library SERVER_FOLDER ROOT CERTIFICATE_FOLDER PORT
// PORT 0 takes a free port of this machine; the port is printed on standard output.
#include <cstdlib>
#include <iostream>
#include <string>

#include "testsupport/demo/DemoLibrary.h"

int main(int argc, char** argv) {
  if (argc != 5) {
    std::cerr << "usage: make_demo_library SERVER_FOLDER ROOT CERTIFICATE_FOLDER PORT" << std::endl;
    return 64;
  }
  char* end = nullptr;
  const long port = std::strtol(argv[4], &end, 10);
  if (*argv[4] == '\0' || *end != '\0' || port < 0 || port > 65535) {
    std::cerr << "make_demo_library: the port must be a number from 0 to 65535" << std::endl;
    return 64;
  }
  DemoLibraryOptions options{argv[1], argv[2], argv[3], static_cast<int>(port)};
  std::string error;
  DemoLibrary made;
  if (!MakeDemoLibrary(options, error, made)) {
    std::cerr << error << std::endl;
    return 1;
  }
  std::cout << made.port << std::endl;
  return 0;
}
