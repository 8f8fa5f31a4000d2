#pragma once
// What a backup cut short leaves in its folder. A backup writes its copy under
// "<folder>/.backup-in-progress" and moves "library" out of it, then the root-path
// file; so a folder holding the in-progress folder and no root-path file holds no
// whole copy, and a "library" beside it is the cut backup's own.
#include <string>

class BackupLeftover {
 public:
  static constexpr const char* kInProgressName = ".backup-in-progress";
  static constexpr const char* kCopyName = "library";

  // Whether `folder` holds the in-progress folder of a backup.
  static bool IsIn(const std::string& folder);
  // Removes the in-progress folder, and the copy beside it unless the root-path file
  // names it already. False, with what is left named in `problem`, when a part stays.
  static bool Remove(const std::string& folder, std::string& problem);
};
