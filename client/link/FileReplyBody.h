#pragma once
// The body of a reply that files follow (5022, 5024). On the wire:
//   "project",count,"name",version,flag,size\n"name",version,flag,size\n...
// (the first row shares the count's line). Handed to the reply handlers as
//   "project",rows\n then per row "name",version,flag,"temporary path",size\n
// where rows is the number of rows the reply really carried.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

struct FileReplyRow {
  std::string name;
  std::int32_t version = 0;
  bool flagged = false;         // the file's bytes follow the message
  std::int32_t size = 0;
  std::string temporaryPath;    // filled by the receiver for flagged rows
};

struct FileReplyBody {
  std::string project;
  std::vector<FileReplyRow> rows;

  // Reads the rows present, never more than the count says. None (the link must
  // end, since the file bytes behind cannot be framed) for a negative count, more
  // rows than counted, a flagged row without a size, or a negative size.
  static std::optional<FileReplyBody> Parse(const std::string& wireBody);
  // The body for the reply handlers, count line ended, count = rows.
  std::string Rewrite() const;
};
