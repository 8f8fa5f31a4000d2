// The publishing client program: "brannockpublisher [--workdir DIR]".
#include <iostream>

#include "client/ui/ClientProgram.h"
#include "common/VersionOption.h"

int main(int argc, char** argv) {
  if (PrintVersionWhenAsked("brannockpublisher", argc, argv, std::cout)) return 0;
  return RunClientProgram(true, argc, argv, std::cerr);
}
