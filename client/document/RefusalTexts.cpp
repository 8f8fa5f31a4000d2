#include "client/document/RefusalTexts.h"

#include "client/library/ProjectDocumentList.h"
#include "client/document/RequestRoles.h"
#include "client/library/ProjectNode.h"
#include "client/library/ProjectTree.h"
#include "client/library/VersionedDocumentList.h"

namespace {

constexpr const char* kDependentMark = "] has dependent in project [";
constexpr int kNamesListed = 10;

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

std::optional<std::string> RefusalTexts::RenameDocument(const VersionedDocumentList& documents,
                                                        const std::string& indexName, const std::string& name) {
  const VersionedDocument* renamed = nullptr;
  const VersionedDocument* holder = nullptr;
  for (int i = 0; i < documents.GetCount(); ++i) {
    const VersionedDocument& document = *documents.GetAt(i);
    if (document.GetVersionCount() == 0) continue;
    const DocumentVersionEntry& first = *document.GetVersion(0);
    if (first.GetIndexName() == indexName) {
      renamed = &document;
    } else if (first.GetName() == name) {
      holder = &document;
    }
  }
  if (renamed == nullptr) return std::nullopt;
  const std::string refused = "\"" + renamed->GetVersion(0)->GetName() + "\" cannot be renamed to \"" + name + "\".\n";
  if (holder != nullptr) {
    return refused + "The project \"" + documents.GetProjectName() + "\" already holds a document named \"" + name +
           "\". Choose another name, or rename that document first.";
  }
  for (int v = 0; v < renamed->GetVersionCount(); ++v) {
    if (renamed->GetVersion(v)->HasInternalProjectName()) {
      return refused + "It is a copy of a document under an edition or supplement, and a copy keeps the name of "
                       "its original. Rename the original instead.";
    }
  }
  for (int v = 0; v < renamed->GetVersionCount(); ++v) {
    if (renamed->GetVersion(v)->HasReferences()) {
      return refused + "Version " + std::to_string(renamed->GetVersion(v)->GetVersion()) +
             " is used by an edition or supplement, which keeps it under this name. Delete that edition or "
             "supplement first, or keep the name.";
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

std::string RefusalTexts::DeleteDocuments(const ProjectDocumentList& documents) {
  const int count = documents.GetCount();
  std::string text = "Delete " + Counted(count, "document", "documents") + " from the project \"" +
                     documents.GetProjectName() + "\", with every version of " + (count == 1 ? "it" : "each") +
                     "?";
  for (int i = 0; i < count && i < kNamesListed; ++i) text += "\n    " + documents.GetAt(i)->GetName();
  if (count > kNamesListed) text += "\n    and " + std::to_string(count - kNamesListed) + " more";
  return text;
}

std::string RefusalTexts::DeleteProject(const std::string& question, const ProjectNode& project,
                                        const DocumentCount& documentCount) {
  struct Tally {
    int projects = 0;
    int documents = 0;
  };
  Tally own;      // the project's own sub-projects and documents
  Tally copies;   // what lies under its editions and supplements
  int editions = 0;
  bool allKnown = true;
  struct Pending {
    const ProjectNode* node;
    bool copy;
  };
  std::vector<Pending> pending = {{&project, false}};
  while (!pending.empty()) {
    const Pending next = pending.back();
    pending.pop_back();
    const bool publication = next.node->IsEdition() || next.node->IsSupplement();
    const bool copy = next.copy || publication;
    Tally& tally = copy ? copies : own;
    if (publication) {
      ++editions;
    } else if (next.node != &project) {
      ++tally.projects;
    }
    if (const std::optional<int> count = documentCount(*next.node)) {
      tally.documents += *count;
    } else {
      allKnown = false;
    }
    for (int i = 0; i < next.node->GetChildCount(); ++i) pending.push_back({next.node->GetChild(i), copy});
  }
  std::string text = question + "\n\"" + project.GetName() + "\" is deleted with " +
                     Counted(own.projects, "sub-project", "sub-projects") + " and " +
                     Counted(own.documents, "document", "documents");
  if (editions > 0) {
    text += ", and " + Counted(editions, "edition or supplement", "editions and supplements") + " holding " +
            Counted(copies.projects, "copy of a sub-project", "copies of sub-projects") + " and " +
            Counted(copies.documents, "copy of a document", "copies of documents");
  }
  text += ".";
  if (!allKnown) text += "\nSome document lists have not been read yet: more documents than counted may go.";
  return text;
}

std::optional<std::string> RefusalTexts::Rights(MessageId request) {
  const std::optional<RequestRole> needed = RoleForRequest(request);
  if (!needed) return std::nullopt;
  return std::string("Your account may not ") + needed->action + " in this project. Ask the administrator for the " +
         AccountRights::RoleName(needed->role) + " role here.";
}
