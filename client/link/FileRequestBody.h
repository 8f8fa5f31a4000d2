#pragma once
// A queued request that files follow (5018, 5026), as its sender built it:
//   "local folder","project",count\n then per file "name",size,"comments"\n
// The folder stays with the client; the rest of the body goes on the wire and the
// files, read from the folder, follow it in row order.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

struct FileRequestBody {
  struct File {
    std::string path;   // folder + name
    std::int64_t size = 0;
  };

  std::string wireBody;      // the body without the folder field
  std::vector<File> files;   // the counted rows

  // None when a counted row or one of its fields is missing, the count or a size
  // is negative, or the folder is empty.
  static std::optional<FileRequestBody> Parse(const std::string& queuedBody);
};
