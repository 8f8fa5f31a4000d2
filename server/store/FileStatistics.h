#pragma once
// The record of one document: the header (this FileEntry: the document's current
// state), the internal name of the owning project and every version, oldest first.
// On disk ("<internal file name>_FileStatistics.wxf"): "Start FileStatistics", the
// owner, the header section, "Start FileEntry Array", one section per version,
// "End FileEntry Array", "End FileStatistics"; every line ends CR CR LF.
#include <cstddef>
#include <istream>
#include <string>
#include <utility>
#include <vector>

#include "server/store/FileEntry.h"

class FileStatistics : public FileEntry {
 public:
  static constexpr int kCannotOpen = 11000;
  static constexpr int kFrameStartMissing = 11001;
  static constexpr int kArrayStartMissing = 11002;
  static constexpr int kArrayNotClosed = 11003;
  static constexpr int kFrameEndMissing = 11005;
  static constexpr int kFrameEndOfFile = 11006;
  static constexpr int kAlreadyCheckedOut = 11007;
  static constexpr int kCheckOutWithoutHolder = 11008;  // empty user or check-out reference
  static constexpr int kNothingCheckedOut = 11012;
  static constexpr int kCheckedOutByOther = 11013;
  static constexpr int kVersionNotFound = 10016;

  // Owner emptied, header reset, versions removed.
  void Clear();

  // Header := a copy of `entry`, links included.
  void SetHeader(const FileEntry& entry) { FileEntry::operator=(entry); }
  const std::string& GetOwnerProject() const { return ownerProject_; }
  void SetOwnerProject(const std::string& project) { ownerProject_ = project; }

  using FileEntry::GetVersion;  // the header's version number
  int GetVersionCount() const { return static_cast<int>(versions_.size()); }
  // Version `index`, or the header itself for an index out of range.
  const FileEntry& GetVersion(int index) const;
  FileEntry& GetVersion(int index);
  void AddVersion(const FileEntry& entry) { versions_.push_back(entry); }

  // Index of the first version carrying the highest version number above 0; -1 when none.
  int GetLatestVersionIndex() const;
  // Check-out reference of the first checked-out version; "" when none is.
  std::string GetCheckOutReference() const;

  // Checks version `number` out to `user` under `reference`, which becomes the
  // header. When a version is already checked out: 0 without change if it was
  // under the same reference, else 11007. 10016 when no version has the number;
  // 11008 for an empty user or reference. Nothing changes on failure.
  int CheckOutVersion(const std::string& user, const std::string& reference, int number);
  // Releases the first checked-out version, which becomes the header. Always 0.
  int CancelCheckOut();
  // Appends a new version made from the checked-out one, released, and makes it the
  // header. 11012 when nothing is checked out; 11013 when `user` is not the holder or
  // a non-empty `reference` differs from the check-out's. Nothing changes on failure.
  int CheckInVersion(const std::string& user, const std::string& reference, int fileSize,
                     const std::string& comments, const std::string& internalProjectName, int linkVersion);

  // The version-list reply body: a line with the count and the index of the first
  // original-edition version (-1 when none), then one row per version, newest first.
  // `latestRow`, when given, gets where in it the latest version's row is (its
  // start and its size; 0 and 0 when no version is above 0).
  std::string EncodeVersions(std::pair<std::size_t, std::size_t>* latestRow = nullptr) const;
  // The memory the record holds, roughly: what a cache counts it as.
  std::size_t ApproximateBytes() const;

  // Replaces the file at the full `path` atomically. 0; 11000 when the folder is
  // missing or the file cannot be written (the old file stays); a section code.
  int Save(const std::string& path) const;
  // The file's content as Save writes it into `content`; 0 or the code Save gives.
  int Encode(std::string& content) const;
  // Clears, then reads the file at the full `path`. 0 or a code 11000-11006 or a
  // section code (12xxx-14xxx); what was read before a failure stays.
  int Load(const std::string& path, int& lineCounter);
  // The same from a record file's text.
  int LoadFrom(std::istream& in, int& lineCounter);

 private:
  // Index of the first version with a holder; -1 when none.
  int FirstCheckedOutIndex() const;

  std::string ownerProject_;
  std::vector<FileEntry> versions_;
};
