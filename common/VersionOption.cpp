#include "common/VersionOption.h"

#include <cstring>

#include "common/Version.h"

bool PrintVersionWhenAsked(const std::string& program, int argc, char** argv, std::ostream& out) {
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--version") == 0) {
      out << program << ' ' << kWexVersion << std::endl;
      return true;
    }
  }
  return false;
}
