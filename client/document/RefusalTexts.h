#pragma once
// Refusals and questions in the user's terms: the program's own text stays as the
// first line, the cause and the remedy follow, and the server's internal names never
// reach the user.
#include <optional>
#include <string>

#include "common/MessageIds.h"

class ProjectTree;

class RefusalTexts {
 public:
  // Renaming the project `indexName` to `name` when a project beside it already has
  // that name (case counts, as on the server): `refused` with that project and the
  // remedy. None when no sibling has the name.
  static std::optional<std::string> RenameToSibling(ProjectTree& tree, const std::string& indexName,
                                                    const std::string& name, const std::string& refused);

  // The server's dependents report ("[project (internal)]:[name;version (internal)] has
  // dependent in project [path (internal)]" lines, perhaps after other lines) with the
  // internal names left out and the remedy added; none when no line is a dependent line.
  static std::optional<std::string> Dependents(const std::string& report);

  // `question` followed by what a project deletion takes with it: its sub-projects
  // and documents (`allDocumentsKnown` false: some lists were never read, so more may go).
  static std::string DeleteProject(const std::string& question, const std::string& projectName, int subProjects,
                                   int documents, bool allDocumentsKnown);

  // Why the account may not make `request` in a project, and the role that would allow
  // it; none for a request no role governs.
  static std::optional<std::string> Rights(MessageId request);
};
