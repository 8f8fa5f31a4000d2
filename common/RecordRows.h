#pragma once
// Splits a record text (a message body or a record file) into its rows: a line feed
// outside double quotes ends a row and is dropped, so a quoted field may hold line
// breaks; a last row without a line feed counts, an empty tail does not. Empty rows
// inside the text are kept, so a reader can tell a missing row from a short one.
#include <string>
#include <vector>

std::vector<std::string> SplitRecordRows(const std::string& text);
