// The client program without publishing: "brannock [--workdir DIR]".
#include <iostream>

#include "client/ui/ClientProgram.h"
#include "common/VersionOption.h"

int main(int argc, char** argv) {
  if (PrintVersionWhenAsked("brannock", argc, argv, std::cout)) return 0;
  return RunClientProgram(false, argc, argv, std::cerr);
}
