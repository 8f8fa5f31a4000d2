#include "client/rules/LocalFileOrder.h"

#include <algorithm>

#include "client/rules/LocalFolderListing.h"

namespace {

std::string Upper(std::string text) {
  for (char& c : text) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return text;
}

// <0, 0, >0 as the column orders two files ascending.
int CompareFiles(const LocalFileEntry& first, const LocalFileEntry& second, int column) {
  switch (column) {
    case LocalFolderListing::kModified:
      return first.GetModified() < second.GetModified() ? -1 : (second.GetModified() < first.GetModified() ? 1 : 0);
    case LocalFolderListing::kEditStatus: return int{first.IsReadOnly()} - int{second.IsReadOnly()};
    case LocalFolderListing::kCheckOutStatus: return int{first.IsCheckedOut()} - int{second.IsCheckedOut()};
    case LocalFolderListing::kSize:
      return first.GetSize() < second.GetSize() ? -1 : (second.GetSize() < first.GetSize() ? 1 : 0);
    case LocalFolderListing::kProjectStatus: return int{first.IsProjectMember()} - int{second.IsProjectMember()};
    default: return first < second ? -1 : (second < first ? 1 : 0);
  }
}

}  // namespace

bool LocalFileOrder::Before(const LocalFileEntry& first, const LocalFileEntry& second, int column, bool ascending) {
  if (first.IsDirectory() != second.IsDirectory()) return first.IsDirectory();
  if (first.IsDirectory()) return Upper(first.GetBaseName()) < Upper(second.GetBaseName());
  const int order = CompareFiles(first, second, column);
  if (order != 0) return ascending ? order < 0 : order > 0;
  return first < second;
}

void LocalFileOrder::Sort(std::vector<LocalFileEntry>& entries, int column, bool ascending) {
  std::stable_sort(entries.begin(), entries.end(), [&](const LocalFileEntry& first, const LocalFileEntry& second) {
    return Before(first, second, column, ascending);
  });
}
