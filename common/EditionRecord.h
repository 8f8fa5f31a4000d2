#pragma once
// One published edition of a project: its name ("<E> ..."), internal name, creation time,
// comments, creator and the project it was made from. Record line (type 1030, version 1):
//   1030,1,"name","internal name","YYYYMMDDHHMMSS","comments","creator","project name",
//   "project internal name"\n
// (the source project's display name comes before its internal name).
#include <istream>
#include <ostream>
#include <string>

#include "common/DateTime.h"
#include "common/RecordLine.h"

class EditionRecord : public RecordLine<EditionRecord> {
 public:
  static constexpr int kRecordType = 1030;
  static constexpr int kRecordVersion = 1;

  EditionRecord() = default;

  // Empties every text; the creation time stays.
  void Clear();

  void SetName(const std::string& name) { name_ = name; }
  std::string GetName() const { return name_; }
  void SetInternalName(const std::string& internalName) { internalName_ = internalName; }
  std::string GetInternalName() const { return internalName_; }
  void SetCreationTime(const DateTime& creationTime) { creationTime_ = creationTime; }
  DateTime GetCreationTime() const { return creationTime_; }
  void SetComments(const std::string& comments) { comments_ = comments; }
  std::string GetComments() const { return comments_; }
  void SetCreator(const std::string& creator) { creator_ = creator; }
  std::string GetCreator() const { return creator_; }
  void SetProjectInternalName(const std::string& name) { projectInternalName_ = name; }
  std::string GetProjectInternalName() const { return projectInternalName_; }
  void SetProjectName(const std::string& name) { projectName_ = name; }
  std::string GetProjectName() const { return projectName_; }

  // The line followed by this record's line (no leading comma when the line is empty or
  // ends in a line feed).
  std::string Encode(std::string line) const;

  // Reads the record from the front of the text and returns the rest behind it. A text
  // of another record type clears the record and is returned whole. Missing fields read
  // as empty; a missing creation time leaves the creation time unchanged.
  std::string Decode(const std::string& text);
  using RecordLine::Decode;  // with Write and Read: one line on a stream


 private:
  std::string name_;
  std::string internalName_;
  DateTime creationTime_;
  std::string comments_;
  std::string creator_;
  std::string projectInternalName_;
  std::string projectName_;
};
