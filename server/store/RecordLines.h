#pragma once
// Lines of the document record files ("_FileStatistics.wxf", "_ProjectFileList.wxf").
// On disk every line ends CR CR LF; readers accept any run of CR and LF at a line's
// end, skip blank lines and lines whose first non-blank character is '!', and read
// lines of any length up to kMaxRecordLineLength (common/RecordFields.h).
#include <fstream>
#include <istream>
#include <ostream>
#include <string>
#include <string_view>

inline constexpr std::string_view kRecordLineEnd = "\r\r\n";

// True when `text` followed by `lineEnd` (which ends in a line feed) stays one line
// the readers accept: no line break inside, and the text with the line end's carriage
// returns at most kMaxRecordLineLength bytes.
bool FitsRecordLine(std::string_view text, std::string_view lineEnd = kRecordLineEnd);

// Writes `text` and the record line end. A text that does not fit one record line
// (FitsRecordLine) is not written and fails the stream. The stream's state tells the
// caller whether it worked.
void WriteRecordLine(std::ostream& out, std::string_view text);

// The next meaningful line, trimmed. Adds 1 to `lineCounter` for every physical
// line read (comments and blank lines included). On end of file, a failed stream
// or a line longer than kMaxRecordLineLength, `result` := `endOfFileCode` and the
// line is empty (the stream stays failed); otherwise `result` := 0.
std::string ReadRecordLine(std::istream& in, int& lineCounter, int endOfFileCode, int& result);

// Opens a section that starts with the line `marker`: `firstLine` when a caller read
// it already, else the next meaningful line. 0 when it is the marker; `endOfFileCode`
// when no line came, `startMissingCode` when another line came.
int ReadSectionStart(std::istream& in, int& lineCounter, const std::string& firstLine, std::string_view marker,
                     int endOfFileCode, int startMissingCode);

// Decimal value with atoi rules (leading blanks, optional sign, leading digits,
// 0 when none), saturated to the int range instead of overflowing.
int RecordTextToInt(std::string_view text);

// ASCII letters compared without case; every other byte exactly.
bool RecordTextEqualsNoCase(std::string_view a, std::string_view b);

enum class RecordFileOpening { Opened, FolderMissing, FileAbsent, Unreadable };

// Opens the file at the full `path` for reading. Tells a missing folder, a missing
// file and a file that is present but cannot be opened apart. Never touches the
// process's current folder.
RecordFileOpening OpenRecordFile(const std::string& path, std::ifstream& in);

// True when the folder part of the full `path` is an existing folder.
bool RecordFolderExists(const std::string& path);
