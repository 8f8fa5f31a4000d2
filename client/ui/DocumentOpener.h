#pragma once
// What the document list does with one of its rows beyond ticking it: opens the
// document (its local copy, else a read-only copy of the latest version; a version
// row, a copy of that version) with the desktop's application, or shows the
// document's history window. Copies it fetched stay until the opener goes with
// its library window.
#include <memory>
#include <string>
#include <vector>

#include "client/document/VersionCopyFolder.h"
#include "client/library/VersionedDocument.h"

class CBrannockDoc;
class ProjectNode;
class QWidget;

class DocumentOpener {
 public:
  static constexpr const char* kNotFetched = "The document could not be fetched from the library to open it: ";

  DocumentOpener(CBrannockDoc& document, QWidget* parent) : document_(document), parent_(parent) {}

  // Opens version `versionIndex` of `versions` in `project`: a version row always
  // as a fetched copy; a document row as its local copy when there is one.
  void Open(const ProjectNode& project, const VersionedDocument& versions, int versionIndex, bool versionRow);
  // Runs the history window of the document.
  void ShowHistory(const ProjectNode& project, const VersionedDocument& versions);

  // Where the document's local copy is, or would be; "" when the project has no folder.
  static std::string LocalPath(const ProjectNode& project, const std::string& name);

 private:
  void OpenFetched(const ProjectNode& project, const std::string& name, std::int32_t version);

  CBrannockDoc& document_;
  QWidget* parent_;
  std::vector<std::unique_ptr<VersionCopyFolder>> copies_;
};
