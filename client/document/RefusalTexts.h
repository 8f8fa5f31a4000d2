#pragma once
// Refusals and questions in the user's terms: the program's own text stays as the
// first line, the cause and the remedy follow, and the server's internal names never
// reach the user.
#include <functional>
#include <optional>
#include <string>

class ProjectDocumentList;
class ProjectNode;
#include "common/MessageIds.h"

class ProjectTree;
class VersionedDocumentList;

class RefusalTexts {
 public:
  // Renaming the project `indexName` to `name` when a project beside it already has
  // that name (case counts, as on the server): `refused` with that project and the
  // remedy. None when no sibling has the name.
  static std::optional<std::string> RenameToSibling(ProjectTree& tree, const std::string& indexName,
                                                    const std::string& name, const std::string& refused);

  // Renaming the document `indexName` of `documents` to `name`: which of the
  // server's rules refuses it (another document of the project has that name; a
  // version is a copy under an edition or supplement; one is used by one), with
  // the remedy. None when none holds, or when the document is not in the list.
  static std::optional<std::string> RenameDocument(const VersionedDocumentList& documents,
                                                   const std::string& indexName, const std::string& name);

  // The server's dependents report ("[project (internal)]:[name;version (internal)] has
  // dependent in project [path (internal)]" lines, perhaps after other lines) with the
  // internal names left out and the remedy added; none when no line is a dependent line.
  static std::optional<std::string> Dependents(const std::string& report);

  // The question before deleting `documents` from their project: how many, from
  // which project, every version, and their names (the first ten, then how many more).
  static std::string DeleteDocuments(const ProjectDocumentList& documents);

  // The number of documents listed for a project, none when its list was never read.
  using DocumentCount = std::function<std::optional<int>(const ProjectNode&)>;
  // `question` followed by what deleting `project` takes with it: its sub-projects
  // and documents, and apart from them its editions and supplements with the copies
  // of sub-projects and documents under them (when a list was never read, more
  // documents than counted may go).
  static std::string DeleteProject(const std::string& question, const ProjectNode& project,
                                   const DocumentCount& documentCount);

  // Why the account may not make `request` in a project, and the role that would allow
  // it; none for a request no role governs.
  static std::optional<std::string> Rights(MessageId request);
};
