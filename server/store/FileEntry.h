#pragma once
// One version of one document: names, version number, author, times, comments,
// check-out state, size, the referenced project and version for a reference, and
// the projects that reference this version. On disk a section of KEY=value lines
// between "Start FileEntry" and "End FileEntry" with an ActiveFileLink section
// before the end; comments are stored as common/CommentRecordValue.h says, so
// they read back as written.
#include <cstddef>
#include <istream>
#include <ostream>
#include <string>

#include "common/DateTime.h"
#include "server/store/ActiveFileLink.h"

class FileEntry {
 public:
  // Read and write results.
  static constexpr int kNotWritable = 13000;
  static constexpr int kLinksMissing = 13001;
  static constexpr int kCheckOutStatusMissing = 13002;
  static constexpr int kCheckedOutTimeMissing = 13003;
  static constexpr int kCheckedOutToMissing = 13004;
  static constexpr int kCheckInStatusMissing = 13005;
  static constexpr int kCommentsMissing = 13006;
  static constexpr int kCreatedTimeMissing = 13007;
  static constexpr int kAuthorMissing = 13008;
  static constexpr int kVersionMissing = 13009;
  static constexpr int kLinkVersionMissing = 13010;
  static constexpr int kInternalFileNameMissing = 13011;
  static constexpr int kNameMissing = 13012;
  static constexpr int kStartMissing = 13014;
  static constexpr int kBadLine = 13015;
  static constexpr int kEndOfFile = 13016;
  static constexpr int kFileSizeMissing = 13017;

  // Stored states.
  static constexpr int kCheckedOut = 11009;     // check-out status
  static constexpr int kNotCheckedOut = 11012;  // check-out status after check-in or cancel
  static constexpr int kCheckedIn = 11014;      // check-in status

  FileEntry() = default;

  void Reset() { *this = FileEntry(); }

  const std::string& GetName() const { return name_; }
  void SetName(const std::string& name) { name_ = name; }
  const std::string& GetInternalFileName() const { return internalFileName_; }
  void SetInternalFileName(const std::string& name) { internalFileName_ = name; }
  // Empty for a document of its own project; for a reference, the project holding the original.
  const std::string& GetInternalProjectName() const { return internalProjectName_; }
  void SetInternalProjectName(const std::string& name) { internalProjectName_ = name; }
  int GetLinkVersion() const { return linkVersion_; }
  void SetLinkVersion(int version) { linkVersion_ = version; }
  int GetVersion() const { return version_; }
  void SetVersion(int version) { version_ = version; }
  const std::string& GetAuthor() const { return author_; }
  void SetAuthor(const std::string& author) { author_ = author; }
  const DateTime& GetCreatedTime() const { return createdTime_; }
  void SetCreatedTime(const DateTime& time) { createdTime_ = time; }
  // Creation time := now.
  void StampCreated() { createdTime_.SetNow(); }
  const std::string& GetComments() const { return comments_; }
  void SetComments(const std::string& comments) { comments_ = comments; }
  int GetCheckInStatus() const { return checkInStatus_; }
  void SetCheckInStatus(int status) { checkInStatus_ = status; }
  const std::string& GetCheckedOutTo() const { return checkedOutTo_; }
  void SetCheckedOutTo(const std::string& user) { checkedOutTo_ = user; }
  const DateTime& GetCheckedOutTime() const { return checkedOutTime_; }
  void SetCheckedOutTime(const DateTime& time) { checkedOutTime_ = time; }
  // With `reset` the time becomes "00000000000000", otherwise now.
  void SetCheckedOutTime(bool reset);
  int GetCheckOutStatus() const { return checkOutStatus_; }
  void SetCheckOutStatus(int status) { checkOutStatus_ = status; }
  int GetFileSize() const { return fileSize_; }
  void SetFileSize(int bytes) { fileSize_ = bytes; }
  bool IsOriginalEdition() const { return originalEdition_; }
  void SetOriginalEdition(bool flag) { originalEdition_ = flag; }
  bool GetBreakReferenceOnCheckIn() const { return breakReferenceOnCheckIn_; }
  void SetBreakReferenceOnCheckIn(bool flag) { breakReferenceOnCheckIn_ = flag; }
  const std::string& GetCheckOutReference() const { return checkOutReference_; }
  void SetCheckOutReference(const std::string& reference) { checkOutReference_ = reference; }

  void AddLink(const std::string& project) { links_.AddLink(project); }
  void RemoveLink(const std::string& project) { links_.RemoveLink(project); }
  int GetLinkCount() const { return links_.GetCount(); }
  ActiveFileLinkEntry GetLinkAt(int index) const { return links_.GetAt(index); }
  const ActiveFileLink& GetLinks() const { return links_; }

  // "<internal file name>Ver<version>.wxf".
  std::string GetVersionFileName() const;
  // The memory the entry holds, roughly: what a cache counts it as.
  std::size_t ApproximateBytes() const;

  // Writes the section. 0, or 13000 when the stream fails at any point or a value
  // does not fit one record line (a failing links section gives its own 12000/14000).
  int Write(std::ostream& out) const;
  // Reads one section starting at `firstLine`, or at the next line when it is
  // empty. 0 or a code 13001-13017 (link codes pass through); a failed read leaves
  // the fields read so far.
  int Read(std::istream& in, int& lineCounter, const std::string& firstLine);
  // Stores the value of one KEY=value line (key in any case) and returns its key
  // number 1-16; 0 for "End FileEntry" and "Start ActiveFileLink"; -1 for anything else.
  int ParseLine(const std::string& line);

  // Appends this version's row for the client's document lists and returns it;
  // line breaks in the comments travel as the bytes 1 and 2.
  std::string& EncodeRow(std::string& line) const;

 private:
  std::string name_;
  std::string internalFileName_;
  std::string internalProjectName_;
  int linkVersion_ = -1;
  int version_ = -1;
  std::string author_;
  DateTime createdTime_;
  std::string comments_;
  int checkInStatus_ = -1;
  std::string checkedOutTo_;
  DateTime checkedOutTime_;
  int checkOutStatus_ = -1;
  int fileSize_ = 0;
  bool originalEdition_ = false;
  bool breakReferenceOnCheckIn_ = false;
  std::string checkOutReference_;
  ActiveFileLink links_;
};
