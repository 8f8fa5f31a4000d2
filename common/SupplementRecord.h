#pragma once
// One supplement of an edition: its name ("<S> ..."), internal name, the edition's source
// project, the edition it belongs to, creation time, comments, creator, and whether it is
// chosen in a list (true by default). Record line (type 1020, version 1):
//   1020,1,"name","internal name","YYYYMMDDHHMMSS","comments","creator",
//   "project internal name","project name","edition internal name",1\n
#include <istream>
#include <ostream>
#include <string>

#include "common/DateTime.h"
#include "common/RecordLine.h"

class SupplementRecord : public RecordLine<SupplementRecord> {
 public:
  static constexpr int kRecordType = 1020;
  static constexpr int kRecordVersion = 1;

  SupplementRecord() = default;

  // Empties every text and makes the supplement included; the creation time stays.
  void Clear();

  void SetName(const std::string& name) { name_ = name; }
  std::string GetName() const { return name_; }
  void SetInternalName(const std::string& internalName) { internalName_ = internalName; }
  std::string GetInternalName() const { return internalName_; }
  void SetProjectInternalName(const std::string& name) { projectInternalName_ = name; }
  std::string GetProjectInternalName() const { return projectInternalName_; }
  void SetProjectName(const std::string& name) { projectName_ = name; }
  std::string GetProjectName() const { return projectName_; }
  void SetEditionInternalName(const std::string& name) { editionInternalName_ = name; }
  std::string GetEditionInternalName() const { return editionInternalName_; }
  void SetCreationTime(const DateTime& creationTime) { creationTime_ = creationTime; }
  DateTime GetCreationTime() const { return creationTime_; }
  void SetComments(const std::string& comments) { comments_ = comments; }
  std::string GetComments() const { return comments_; }
  void SetCreator(const std::string& creator) { creator_ = creator; }
  std::string GetCreator() const { return creator_; }
  void SetIncluded(bool included) { included_ = included; }
  bool IsIncluded() const { return included_; }

  // The line followed by this record's line (no leading comma when the line is empty or
  // ends in a line feed).
  std::string Encode(std::string line) const;

  // Reads the record from the front of the text and returns the rest behind it. A text
  // of another record type clears the record and is returned whole. Missing fields read
  // as empty / false; a missing creation time leaves the creation time unchanged.
  std::string Decode(const std::string& text);
  using RecordLine::Decode;  // with Write and Read: one line on a stream


 private:
  std::string name_;
  std::string internalName_;
  std::string projectInternalName_;
  std::string projectName_;
  std::string editionInternalName_;
  DateTime creationTime_;
  std::string comments_;
  std::string creator_;
  bool included_ = true;
};
