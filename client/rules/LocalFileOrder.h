#pragma once
// The order of the local file list: folders first, in ascending order of their
// upper-case names whatever the direction; then files by the sort column (name,
// modification time, read-only, checked-out, size, project member), the direction
// reversing only the files. Files equal in the column follow their lower-case
// names, so the order is the same on every listing.
#include <vector>

#include "client/document/LocalFileEntry.h"

class LocalFileOrder {
 public:
  // Sorts `entries` for `column` (0-5 as LocalFolderListing::Column; any other counts
  // as 0) and `ascending`.
  static void Sort(std::vector<LocalFileEntry>& entries, int column, bool ascending);
  // True when `first` goes before `second`.
  static bool Before(const LocalFileEntry& first, const LocalFileEntry& second, int column, bool ascending);
};
