#pragma once
// What the local file list shows, without its window: one folder of the disk, its
// files and sub-folders as LocalFileEntry records ("." and ".." added by the list,
// "/" has no ".."), each marked as a member of the library (a file: one of the
// documents of any project mapped to the folder, with case; a sub-folder: some
// project is mapped to it), in the order of the chosen column and direction.
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "client/document/LocalFileEntry.h"

class CBrannockDoc;

class LocalFolderListing {
 public:
  enum Column { kName, kModified, kEditStatus, kCheckOutStatus, kSize, kProjectStatus, kColumnCount };
  static constexpr const char* kChooseEntry = ".";
  static constexpr const char* kParentEntry = "..";

  // What the listing asks of the open library.
  struct Library {
    // The index names of every project mapped to `folder`, root first, depth first.
    std::function<std::vector<std::string>(const std::string& folder)> projectsMappedTo;
    // A project's document names from the cache (no request); none when not held.
    std::function<std::optional<std::vector<std::string>>(const std::string& indexName)> documentNames;
    // Makes the first project mapped to `folder` current (asking the library for its
    // list when none is held).
    std::function<void(const std::string& folder)> loadMappedProject;
  };
  // The library side of an open document.
  static Library LibraryOf(CBrannockDoc& document);

  explicit LocalFolderListing(Library library);

  void SetFolder(const std::string& folder) { folder_ = folder; }
  const std::string& GetFolder() const { return folder_; }

  // Rescans the folder and sorts. A folder that cannot be listed gives no entries
  // (not even "." and "..").
  void Fill();
  const std::vector<LocalFileEntry>& GetEntries() const { return entries_; }

  // A column outside the six counts as the first.
  void SetSort(int column, bool ascending);
  int GetSortColumn() const { return sortColumn_; }
  bool IsAscending() const { return ascending_; }
  // A click on a column header: another column sorts ascending, the same one
  // toggles the direction. The caller refills.
  void ClickColumn(int column);

  // Whether `entry` is "." or "..", the list's own rows.
  static bool IsNavigationEntry(const LocalFileEntry& entry);
  // The folder above `folder` ("/a/b" -> "/a", "/a" -> "/"); none for "/" or "".
  static std::optional<std::string> ParentOf(const std::string& folder);
  // `name` inside `folder`.
  static std::string ChildOf(const std::string& folder, const std::string& name);
  // Two folder paths name the same folder: exactly equal (case counts) after one
  // trailing '/' is dropped from each; an empty path names no folder.
  static bool SameFolder(const std::string& first, const std::string& second);
  // The path the tool tip shows for an entry: the folder itself for ".", its parent
  // for "..", the entry's path for any other.
  std::string PathOf(const LocalFileEntry& entry) const;

 private:
  Library library_;
  std::string folder_;
  std::vector<LocalFileEntry> entries_;
  int sortColumn_ = kName;
  bool ascending_ = true;
};
