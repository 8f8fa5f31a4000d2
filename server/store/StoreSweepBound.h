#pragma once
// Keeps the sweep's dated folders "<root>/DeletedProjects/Leftovers YYYYMMDD-HHMMSS"
// within a bound: the newest kMaxFolders of them, and no more than kMaxBytes in all,
// whichever leaves fewer; older ones are removed with all they hold. A folder that
// holds project data (a file list, statistics or versions, as earlier builds could
// sweep) is never removed and does not count. Nothing is done when
// "DeletedProjects" is a symbolic link or not a folder, and links are never followed.
#include <cstdint>
#include <string>
#include <vector>

class StoreSweepBound {
 public:
  static constexpr std::size_t kMaxFolders = 5;
  static constexpr std::int64_t kMaxBytes = std::int64_t{1} << 30;

  struct Result {
    std::vector<std::string> removed;  // full paths of the folders removed
    std::int64_t removedBytes = 0;
    std::vector<std::string> failed;  // folders over the bound that could not be removed whole
  };

  explicit StoreSweepBound(const std::string& root);

  Result Run();

 private:
  struct Folder {
    std::string path;
    std::string stamp;  // "YYYYMMDD-HHMMSS"
    int number = 1;     // n of a " (n)" suffix
    std::int64_t bytes = 0;
  };
  // The dated folders that may be removed, newest first.
  std::vector<Folder> RemovableFolders() const;

  std::string deleted_;
};
