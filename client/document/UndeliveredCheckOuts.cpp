#include "client/document/UndeliveredCheckOuts.h"

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
}

void UndeliveredCheckOuts::Await(std::uint32_t stamp, const std::string& projectIndexName) {
  awaited_[stamp] = projectIndexName;
}

bool UndeliveredCheckOuts::Take(std::uint32_t stamp, const VersionedDocumentList* list, const std::string& userName,
                                const std::string& projectFolder) {
  const auto awaited = awaited_.find(stamp);
  if (awaited == awaited_.end()) return false;
  if (list != nullptr && list->GetProjectIndexName() == awaited->second) {
    ProjectDocumentList held;
    held.SetProjectName(list->GetProjectName());
    held.SetProjectIndexName(list->GetProjectIndexName());
    for (int d = 0; d < list->GetCount(); ++d) {
      const VersionedDocument& document = *list->GetAt(d);
      for (int v = 0; v < document.GetVersionCount(); ++v) {
        const DocumentVersionEntry& version = *document.GetVersion(v);
        if (!IsHeldWithoutFile(version, userName, projectFolder)) continue;
        held.Add(version);
        break;
      }
    }
    if (held.GetCount() > 0) found_.push_back(held);
  }
  awaited_.erase(awaited);
  return awaited_.empty() && !found_.empty();
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
