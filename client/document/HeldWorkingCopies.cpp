#include "client/document/HeldWorkingCopies.h"

#include <set>

#include "common/NameValidation.h"
#include "common/StringHelpers.h"
#include "platform/fs.h"

std::vector<std::string> HeldWorkingCopies::Find(const ProjectDocumentList& list, const std::string& userName,
                                                 const std::string& folder, const std::vector<std::string>& names) {
  std::vector<std::string> found;
  if (userName.empty() || folder.empty()) return found;
  std::set<std::string> held;
  for (int i = 0; i < list.GetCount(); ++i) {
    const DocumentVersionEntry& entry = *list.GetAt(i);
    if (entry.GetCheckedOutTo() == userName) held.insert(entry.GetName());
  }
  for (const std::string& name : names) {
    if (held.count(name) == 0 || !IsValidStoredName(name)) continue;
    if (platform::fs::IsFile(EnsureTrailingBackslash(folder) + name)) found.push_back(name);
  }
  return found;
}

std::string HeldWorkingCopies::QuestionText(const std::string& projectName, const std::vector<std::string>& names) {
  std::string text = kQuestionHead;
  for (const std::string& name : names) text += "    " + projectName + " : " + name + "\r\n";
  return text + kQuestion;
}
