#pragma once
// One step of a multi-step operation: its kind (which request it sends), the earlier
// instruction of its batch it waits for, the names and local folders it works with,
// the chosen documents it sends or fetches, and how far it got (sent, done,
// succeeded). A cleared instruction has kind and prerequisite -1, empty texts, no
// documents and no flags set.
#include <cstdint>
#include <string>

#include "client/library/ProjectDocumentList.h"

class Instruction {
 public:
  // The kinds whose step sends the request for the instruction's own documents: one
  // step of an operation on many chosen documents, which goes out in steps.
  static constexpr std::int32_t kCheckInDocuments = 5;
  static constexpr std::int32_t kCheckOutDocuments = 7;
  static constexpr std::int32_t kGetDocuments = 18;
  static constexpr std::int32_t kAddChosenDocuments = 19;
  // Whether the kind is one of these four.
  bool IsDocumentStep() const {
    return kind_ == kCheckInDocuments || kind_ == kCheckOutDocuments || kind_ == kGetDocuments ||
           kind_ == kAddChosenDocuments;
  }

  // Prerequisite and kind -1, texts empty, no documents, flags 0.
  void Clear();

  // The text the progress list shows for a kind, followed there by the instruction's
  // name; empty for a kind outside 1-19.
  static std::string KindCaption(std::int32_t kind);

  void SetPrerequisite(std::int32_t index) { prerequisite_ = index; }
  std::int32_t GetPrerequisite() const { return prerequisite_; }
  void SetKind(std::int32_t kind) { kind_ = kind; }
  std::int32_t GetKind() const { return kind_; }
  void SetName(const std::string& name) { name_ = name; }
  std::string GetName() const { return name_; }
  // The server's internal name of the project the request is about.
  void SetIndexName(const std::string& indexName) { indexName_ = indexName; }
  std::string GetIndexName() const { return indexName_; }
  // The local folder that receives the documents the reply brings.
  void SetTargetFolder(const std::string& folder) { targetFolder_ = folder; }
  std::string GetTargetFolder() const { return targetFolder_; }
  // The local folder whose documents are added, or the path of document-list cache files.
  void SetSourceFolder(const std::string& folder) { sourceFolder_ = folder; }
  std::string GetSourceFolder() const { return sourceFolder_; }
  // The documents of a document kind's step (their project, names, versions, comments).
  void SetDocuments(const ProjectDocumentList& documents) { documents_ = documents; }
  const ProjectDocumentList& GetDocuments() const { return documents_; }
  void SetSent(bool sent) { sent_ = sent; }
  bool IsSent() const { return sent_; }
  void SetDone(bool done) { done_ = done; }
  bool IsDone() const { return done_; }
  void SetSucceeded(bool succeeded) { succeeded_ = succeeded; }
  bool HasSucceeded() const { return succeeded_; }

 private:
  std::int32_t prerequisite_ = -1;
  std::int32_t kind_ = -1;
  std::string name_;
  std::string indexName_;
  std::string targetFolder_;
  std::string sourceFolder_;
  ProjectDocumentList documents_;
  bool sent_ = false;
  bool done_ = false;
  bool succeeded_ = false;
};
