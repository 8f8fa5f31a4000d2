#pragma once
// Whether two files hold the same bytes, read side by side in blocks of 64 KiB.
#include <string>

// True when both files open for reading and hold the same bytes (two empty files
// are equal). False when either does not open, cannot be read to its end, or the
// sizes or any block differ.
bool FilesHaveSameContent(const std::string& first, const std::string& second);
