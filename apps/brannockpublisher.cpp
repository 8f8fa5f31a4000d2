// The publishing client program: "brannockpublisher [--workdir DIR]".
#include <iostream>

#include "client/ui/ClientProgram.h"

int main(int argc, char** argv) { return RunClientProgram(true, argc, argv, std::cerr); }
