#pragma once
// The documents of one project, each in its latest version, in the server's order:
// the body of the document-list reply and the project's document-list cache file.
// Layout: a header line "project name","project index name",entry count, then one
// DocumentVersionEntry line per entry.
#include <string>
#include <vector>

#include "client/library/DocumentVersionEntry.h"
#include "common/QuotedLines.h"

class ProjectDocumentList {
 public:
  // Empties both names and the entries.
  void Clear();

  // Stores the name trimmed.
  void SetProjectName(const std::string& name);
  const std::string& GetProjectName() const { return projectName_; }
  void SetProjectIndexName(const std::string& indexName) { projectIndexName_ = indexName; }
  const std::string& GetProjectIndexName() const { return projectIndexName_; }

  int GetCount() const { return static_cast<int>(entries_.size()); }
  // Null when `i` is out of range.
  DocumentVersionEntry* GetAt(int i);
  const DocumentVersionEntry* GetAt(int i) const;
  void Add(const DocumentVersionEntry& entry) { entries_.push_back(entry); }

  // The header line and one line per entry.
  std::string Encode() const;
  // Clears, then reads the layout from `lines`. Only the rows present are read, however
  // large the count; a row cut short at the end of the text is dropped. False when the
  // header is missing or fewer rows than the count were read; what was read stays.
  bool DecodeLines(QuotedLines& lines);

  // Reads the file at `path` with DecodeLines. False, list unchanged, when the file
  // cannot be read; true otherwise, also for a file that ends before its count.
  bool ReadFile(const std::string& path);
  // Replaces the file at `path` with Encode, atomically. False on any failure.
  bool WriteFile(const std::string& path) const;

 private:
  std::string projectName_;
  std::string projectIndexName_;
  std::vector<DocumentVersionEntry> entries_;
};
