#pragma once
// The client's record files are written as text: every line feed of a record
// becomes a carriage return and a line feed on disk. Readers take LF, CR LF and
// CR CR LF alike (ReadWholeLine) from the whole content read at once.
#include <string>

// `text` with every "\n" written as "\r\n".
std::string WithCrLfLineEnds(const std::string& text);

// The whole content of the regular file at `path`; false (content empty) when it
// is missing, not a regular file or cannot be read.
bool ReadWholeFile(const std::string& path, std::string& content);
