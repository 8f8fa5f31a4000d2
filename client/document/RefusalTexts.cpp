#include "client/document/RefusalTexts.h"

#include "client/document/RequestRoles.h"
#include "client/library/ProjectNode.h"
#include "client/library/ProjectTree.h"

namespace {

constexpr const char* kDependentMark = "] has dependent in project [";

std::string Counted(int count, const char* one, const char* many) {
  return std::to_string(count) + " " + (count == 1 ? one : many);
}

// Each bracketed "[shown (internal)]" of a dependent line loses its " (internal)".
std::string WithoutInternalNames(const std::string& line) {
  std::string shown;
  std::size_t from = 0;
  for (std::size_t close = line.find(']'); close != std::string::npos; close = line.find(']', from)) {
    const std::size_t open = line.rfind(" (", close);
    const std::size_t end = open == std::string::npos || open < from ? close : open;
    shown.append(line, from, end - from).push_back(']');
    from = close + 1;
  }
  return shown + line.substr(from);
}

}  // namespace

std::optional<std::string> RefusalTexts::RenameToSibling(ProjectTree& tree, const std::string& indexName,
                                                         const std::string& name, const std::string& refused) {
  const ProjectNode* parent = tree.FindProjectByPath(ProjectTree::GetParentIndexName(tree.GetRoot(), indexName));
  if (parent == nullptr) return std::nullopt;
  for (int i = 0; i < parent->GetChildCount(); ++i) {
    const ProjectNode& sibling = *parent->GetChild(i);
    if (sibling.GetName() == name && sibling.GetIndexName() != indexName) {
      return refused + "\n\"" + parent->GetName() + "\" already holds a project named \"" + name +
             "\". Choose another name, or rename that project first.";
    }
  }
  return std::nullopt;
}

std::optional<std::string> RefusalTexts::Dependents(const std::string& report) {
  std::string text;
  bool found = false;
  std::size_t start = 0;
  while (start < report.size()) {
    std::size_t end = report.find('\n', start);
    if (end == std::string::npos) end = report.size();
    std::string line = report.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    start = end + 1;
    if (line.find(kDependentMark) == std::string::npos) {
      if (line.find_first_not_of('-') != std::string::npos) text += line + "\n";  // separator lines go
      continue;
    }
    found = true;
    text += WithoutInternalNames(line) + "\n";
  }
  if (!found) return std::nullopt;
  return text +
         "Each document version above was not deleted: the edition or project named last on its line uses it.\n"
         "Delete that edition or project first, or keep the document.";
}

std::string RefusalTexts::DeleteProject(const std::string& question, const std::string& projectName,
                                        int subProjects, int documents, bool allDocumentsKnown) {
  const std::string what = allDocumentsKnown ? Counted(documents, "document", "documents") + " in it."
                                             : "all documents in it (" + std::to_string(documents) +
                                                   " listed so far; some lists have not been read yet).";
  return question + "\n\"" + projectName + "\" is deleted with " +
         Counted(subProjects, "sub-project", "sub-projects") + " and " + what;
}

std::optional<std::string> RefusalTexts::Rights(MessageId request) {
  const std::optional<RequestRole> needed = RoleForRequest(request);
  if (!needed) return std::nullopt;
  return std::string("Your account may not ") + needed->action + " in this project. Ask the administrator for the " +
         AccountRights::RoleName(needed->role) + " role here.";
}
