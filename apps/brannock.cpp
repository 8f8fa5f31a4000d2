// The client program without publishing: "brannock [--workdir DIR]".
#include <iostream>

#include "client/ui/ClientProgram.h"

int main(int argc, char** argv) { return RunClientProgram(false, argc, argv, std::cerr); }
