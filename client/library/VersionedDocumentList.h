#pragma once
// Every version of every document of one project: the body of the version-list reply
// and the project's versions cache file. Layout: a header line "project name","project
// index name",document count, then each document as VersionedDocument writes it.
#include <string>
#include <vector>

#include "client/library/VersionedDocument.h"
#include "common/QuotedLines.h"

class VersionedDocumentList {
 public:
  // Empties both names and the documents.
  void Clear();

  void SetProjectName(const std::string& name) { projectName_ = name; }
  const std::string& GetProjectName() const { return projectName_; }
  void SetProjectIndexName(const std::string& indexName) { projectIndexName_ = indexName; }
  const std::string& GetProjectIndexName() const { return projectIndexName_; }

  int GetCount() const { return static_cast<int>(documents_.size()); }
  // Null when `i` is out of range.
  VersionedDocument* GetAt(int i);
  const VersionedDocument* GetAt(int i) const;
  void Add(const VersionedDocument& document) { documents_.push_back(document); }

  // Clears, then reads the layout from `lines`, only as many documents as are present.
  // False when the header is missing or a document does not read whole; the documents
  // read whole before it stay, the one cut short is dropped.
  bool Read(QuotedLines& lines);
  // Appends the whole layout to `out`.
  void Write(std::string& out) const;

  // Clears, then reads the file at `path`. False when it cannot be read, or as Read.
  bool ReadFile(const std::string& path);
  // Replaces the file at `path` with the layout, atomically. False on any failure.
  bool WriteFile(const std::string& path) const;

 private:
  std::string projectName_;
  std::string projectIndexName_;
  std::vector<VersionedDocument> documents_;
};
