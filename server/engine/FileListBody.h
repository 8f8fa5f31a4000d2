#pragma once
// The bodies of the messages that files follow. A request (5018, 5026) arrives as
//   "field 1",count\n  then per file  "name",size,"comments"\n
// and is handed on with each file's temporary path as a fourth field, empty for a
// file the server's disk did not take (its handler refuses that file). A reply (5022,
// 5024) is built by its handler as
//   "field 1",count\n  then per file  "name",number,send flag,"server path",size\n
// and goes on the wire without the server path (and without a line end after count).
// Rows end at line feeds outside double quotes, so a quoted comment may span lines.
#include <cstdint>
#include <string>
#include <vector>

#include "common/RecordRows.h"

struct ReceivedFile {
  std::string name;
  std::int32_t size = 0;
  std::string third;   // passed on unchanged
  std::string temporaryPath;  // empty when the file could not be stored
};

struct FileRequest {
  std::string field1;
  std::vector<ReceivedFile> files;
};

// Why a request body was refused. The numbered "empty" reasons are, in order: no
// text, nothing behind field 1, a file row missing, nothing behind a name, nothing
// behind a size.
enum class FileRequestError { None, Empty1, Empty2, Empty3, Empty4, Empty5, BadCount, BadSize };

// Reads a request body; every size must be a plain non-negative decimal that fits
// 32 bits and the count must not be negative. Temporary paths are left empty.
FileRequestError ParseFileRequest(const std::string& text, FileRequest& request);
// The body handed to the request's handler (each row with its temporary path).
std::string BuildFileRequestBody(const FileRequest& request);
// The temporary paths (fourth fields) of a body built by BuildFileRequestBody.
std::vector<std::string> TemporaryPathsOf(const std::string& body);

struct OutgoingFile {
  std::string name;
  std::int32_t number = 0;
  bool send = false;
  std::string serverPath;
  std::int32_t size = 0;
};

// Reads a reply body as its handler built it; rows beyond the count, or a count
// beyond the rows present, are not read.
void ParseFileReply(const std::string& body, std::string& field1, std::vector<OutgoingFile>& files);
// The reply body as it goes on the wire: field 1, the number of rows, then per row
// name, number, send flag, size, line end.
std::string BuildWireFileReply(const std::string& field1, const std::vector<OutgoingFile>& files);
