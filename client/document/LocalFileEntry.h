#pragma once
// One file or sub-folder of a local folder as the folder scan and the local file
// list see it: its name (the whole file name in the base name; the extension is
// kept apart only when someone sets one), read-only, checked-out, project-member
// and folder flags, a tag copied with the entry, its 64-bit size and its local
// modification time. Entries order folders first, then by name ignoring case.
#include <cstdint>
#include <string>

#include "common/DateTime.h"

class LocalFileEntry {
 public:
  // A cleared entry.
  LocalFileEntry();

  // Names emptied, read-only set, the other flags cleared, tag -1, size 0,
  // modification time now.
  void Clear();

  void SetBaseName(const std::string& name) { baseName_ = name; }
  const std::string& GetBaseName() const { return baseName_; }
  void SetExtension(const std::string& extension) { extension_ = extension; }
  const std::string& GetExtension() const { return extension_; }
  void SetReadOnly(bool readOnly) { readOnly_ = readOnly; }
  bool IsReadOnly() const { return readOnly_; }
  void SetCheckedOut(bool checkedOut) { checkedOut_ = checkedOut; }
  bool IsCheckedOut() const { return checkedOut_; }
  void SetProjectMember(bool member) { projectMember_ = member; }
  bool IsProjectMember() const { return projectMember_; }
  void SetDirectory(bool directory) { directory_ = directory; }
  bool IsDirectory() const { return directory_; }
  void SetTag(int tag) { tag_ = tag; }
  int GetTag() const { return tag_; }
  void SetSize(std::int64_t size) { size_ = size; }
  std::int64_t GetSize() const { return size_; }
  const DateTime& GetModified() const { return modified_; }

  void SetAll(const std::string& baseName, const std::string& extension, bool readOnly, bool projectMember,
              bool directory, int tag, bool checkedOut);
  // Date fields outside their ranges keep their old values (the Date setters); a
  // value beyond its digits (a year above 9999, another field above 99, any
  // negative one) changes nothing.
  void SetModified(int year, int month, int day, int hour, int minute, int second);
  // The modification time in the user's date format, a blank and HH:MM:SS.
  std::string GetModifiedText() const;
  // The base name, then "." when the extension is neither empty nor begins with
  // ".", then the extension.
  std::string GetFileName() const;

  // Folders before files; then base names, then extensions, ignoring ASCII case.
  bool operator<(const LocalFileEntry& other) const { return Compare(other) < 0; }
  bool operator<=(const LocalFileEntry& other) const { return Compare(other) <= 0; }
  bool operator>(const LocalFileEntry& other) const { return Compare(other) > 0; }
  bool operator>=(const LocalFileEntry& other) const { return Compare(other) >= 0; }
  // Same kind and both names equal ignoring case.
  bool operator==(const LocalFileEntry& other) const { return Compare(other) == 0; }
  bool operator!=(const LocalFileEntry& other) const { return Compare(other) != 0; }

 private:
  int Compare(const LocalFileEntry& other) const;

  std::string baseName_;
  std::string extension_;
  bool readOnly_ = true;
  bool checkedOut_ = false;
  bool projectMember_ = false;
  bool directory_ = false;
  int tag_ = -1;
  std::int64_t size_ = 0;
  DateTime modified_;
};
