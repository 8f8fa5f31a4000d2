#include "client/document/UndeliveredCheckOuts.h"

#include <algorithm>

#include "common/NameValidation.h"
#include "common/StringHelpers.h"
#include "platform/fs.h"

bool UndeliveredCheckOuts::IsHeldWithoutFile(const DocumentVersionEntry& version, const std::string& userName,
                                             const std::string& projectFolder) {
  if (userName.empty() || version.GetCheckedOutTo() != userName || projectFolder.empty() ||
      !IsValidStoredName(version.GetName())) {
    return false;
  }
  const std::string path = EnsureTrailingBackslash(projectFolder) + version.GetName();
  return !platform::fs::IsFile(path) || platform::fs::IsReadOnly(path);
}

void UndeliveredCheckOuts::Clear() {
  awaited_.clear();
  found_.clear();
  missing_.clear();
  copies_.clear();
}

void UndeliveredCheckOuts::Await(std::uint32_t stamp, const std::string& projectIndexName) {
  awaited_[stamp] = projectIndexName;
}

bool UndeliveredCheckOuts::Take(std::uint32_t stamp, const VersionedDocumentList* list, const std::string& userName,
                                const std::string& projectFolder) {
  const auto awaited = awaited_.find(stamp);
  if (awaited == awaited_.end()) return false;
  if (list != nullptr && list->GetProjectIndexName() == awaited->second) {
    for (int d = 0; d < list->GetCount(); ++d) {
      const VersionedDocument& document = *list->GetAt(d);
      for (int v = 0; v < document.GetVersionCount(); ++v) {
        const DocumentVersionEntry& version = *document.GetVersion(v);
        if (userName.empty() || version.GetCheckedOutTo() != userName) continue;
        if (IsHeldWithoutFile(version, userName, projectFolder)) {
          missing_.push_back({list->GetProjectName(), list->GetProjectIndexName(), version});
        } else {
          copies_.insert(version.GetName());
        }
        break;
      }
    }
  }
  awaited_.erase(awaited);
  if (!awaited_.empty()) return false;
  AddUncovered();
  return !found_.empty();
}

void UndeliveredCheckOuts::AddFound(const std::string& projectName, const std::string& projectIndexName,
                                    const DocumentVersionEntry& version) {
  auto project = std::find_if(found_.begin(), found_.end(), [&](const ProjectDocumentList& documents) {
    return documents.GetProjectIndexName() == projectIndexName;
  });
  if (project == found_.end()) {
    project = found_.emplace(found_.end());
    project->SetProjectName(projectName);
    project->SetProjectIndexName(projectIndexName);
  }
  project->Add(version);
}

void UndeliveredCheckOuts::AddUncovered() {
  std::set<std::string> told;
  for (const bool references : {false, true}) {
    for (const HeldWithoutFile& held : missing_) {
      const std::string& name = held.version.GetName();
      if (held.version.HasInternalProjectName() != references || copies_.count(name) != 0) continue;
      if (references && !told.insert(name).second) continue;
      if (!references) told.insert(name);
      AddFound(held.projectName, held.projectIndexName, held.version);
    }
  }
  missing_.clear();
  copies_.clear();
}

std::string UndeliveredCheckOuts::OfferText() const {
  std::string text = kOfferHead;
  for (const ProjectDocumentList& project : found_) {
    for (int i = 0; i < project.GetCount(); ++i) {
      const DocumentVersionEntry& version = *project.GetAt(i);
      text += "    " + project.GetProjectName() + " : " + version.GetName() + " (version " +
              std::to_string(version.GetVersion()) + ")\r\n";
    }
  }
  return text + kOfferQuestion;
}
