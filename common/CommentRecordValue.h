#pragma once
// A comment as the value of a line of a document record file: one line that reads
// back exactly as the comment was written. Earlier records hold the comment
// trimmed, every apostrophe as '|', CR and LF as bytes 0xFE and 0xFF (a last byte
// left as it was) and a blank after each comma, so they never hold an apostrophe.
// Newer records take the apostrophe as their escape: "''" is an apostrophe, and
// "'" with two upper-case hex digits is that byte, written for '|', for bytes 0xFE
// and 0xFF and for white space at either end (which record readers trim). Other
// CR and LF bytes are 0xFE and 0xFF as before; nothing else changes.
#include <string>

// The value to store for `comment`.
std::string CommentToRecordValue(const std::string& comment);
// The comment a stored value holds, of either kind; a bare '|' is an earlier
// record's apostrophe.
std::string CommentFromRecordValue(const std::string& value);
