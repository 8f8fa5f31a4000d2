#pragma once
// "--version" on a program's command line: the program's name and the release's
// version on standard output.
#include <ostream>
#include <string>

// True after printing "<program> <version>" when an argument is "--version".
bool PrintVersionWhenAsked(const std::string& program, int argc, char** argv, std::ostream& out);
