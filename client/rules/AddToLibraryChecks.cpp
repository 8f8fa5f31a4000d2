#include "client/rules/AddToLibraryChecks.h"

#include <algorithm>

#include "client/records/FolderRule.h"
#include "client/records/FolderRuleSet.h"
#include "client/records/UserProfile.h"
#include "common/FileHelpers.h"
#include "common/StringHelpers.h"

const std::vector<std::int32_t>& AddToLibraryChecks::InclusionTypes() {
  static const std::vector<std::int32_t> types = {FolderRule::kAllFolders, FolderRule::kFoldersNamed,
                                                  FolderRule::kAllDocuments, FolderRule::kDocumentsNamed};
  return types;
}

const std::vector<std::int32_t>& AddToLibraryChecks::ExclusionTypes() {
  static const std::vector<std::int32_t> types = {FolderRule::kNoFolders, FolderRule::kNoFoldersNamed,
                                                  FolderRule::kNoDocumentsNamed,
                                                  FolderRule::kNoSubFoldersOfFoldersNamed};
  return types;
}

std::string AddToLibraryChecks::TypeText(std::int32_t type) {
  switch (type) {
    case FolderRule::kAllFolders: return "All folders";
    case FolderRule::kFoldersNamed: return "All sub-folders named:";
    case FolderRule::kAllDocuments: return "All documents";
    case FolderRule::kDocumentsNamed: return "All documents named:";
    case FolderRule::kNoFolders: return "All sub-folders";
    case FolderRule::kNoFoldersNamed: return "All sub-folders named:";
    case FolderRule::kNoDocumentsNamed: return "All documents named:";
    case FolderRule::kNoSubFoldersOfFoldersNamed: return "All sub-folders of folders named:";
    default: return "";
  }
}

bool AddToLibraryChecks::NeedsParameter(std::int32_t type) {
  return type == FolderRule::kFoldersNamed || type == FolderRule::kDocumentsNamed ||
         type == FolderRule::kNoFoldersNamed || type == FolderRule::kNoDocumentsNamed ||
         type == FolderRule::kNoSubFoldersOfFoldersNamed;
}

std::optional<std::string> AddToLibraryChecks::CheckRule(bool inclusion, std::optional<std::int32_t> type,
                                                         std::string& parameter) {
  TrimString(parameter);
  const std::vector<std::int32_t>& offered = inclusion ? InclusionTypes() : ExclusionTypes();
  if (!type || std::find(offered.begin(), offered.end(), *type) == offered.end()) {
    return std::string(inclusion ? kChooseInclusionType : kChooseExclusionType);
  }
  if (NeedsParameter(*type) && parameter.empty()) return std::string(kNeedParameter);
  return std::nullopt;
}

std::optional<std::string> AddToLibraryChecks::CheckAddNow(const std::string& comments, const std::string& localFolder,
                                                           bool hasParent, const FolderRuleSet* folderRules) {
  if (comments.empty()) return std::string(kNeedComments);
  if (!IsFolderWritable(localFolder)) return std::string(kInvalidFolder);
  if (!hasParent) return std::string(kNeedParent);
  if (folderRules != nullptr && folderRules->GetInclusionCount() == 0) return std::string(kRulesTakeNothing);
  return std::nullopt;
}

bool AddToLibraryChecks::PrepareRuleSets(UserProfile& profile) {
  bool changed = false;
  while (profile.GetFolderRuleSetCount() < kRuleSetCount) {
    profile.AddFolderRuleSet(FolderRuleSet());
    changed = true;
  }
  if (profile.GetCurrentFolderRuleSet() < 0 || profile.GetCurrentFolderRuleSet() >= profile.GetFolderRuleSetCount()) {
    profile.SetCurrentFolderRuleSet(0);
    changed = true;
  }
  return changed;
}
