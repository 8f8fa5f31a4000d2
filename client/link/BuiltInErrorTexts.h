#pragma once
// The shipped "ErrorStringLookup.txt", built into the program when it is compiled,
// for a client that finds no lookup file (or one that lacks a number).
#include <string>

// The whole file, as it was in resources/ at build time.
const std::string& BuiltInErrorTexts();
