#pragma once
// The rules of the add dialog, without its window: the folder-rule types it offers
// with their texts, which need a parameter, the refusals of its Add buttons and of
// Add Now, and the ten rule sets every profile keeps for it.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

class FolderRuleSet;
class UserProfile;

class AddToLibraryChecks {
 public:
  static constexpr int kRuleSetCount = 10;
  static constexpr const char* kChooseInclusionType =
      "Choose an inclusion type from the drop down list before you click on Add";
  static constexpr const char* kChooseExclusionType =
      "Choose an exclusion type from the drop down list before you click on Add";
  static constexpr const char* kNeedParameter = "You must specify a parameter";
  static constexpr const char* kNeedComments = "You must supply comments when adding items to the Library";
  static constexpr const char* kInvalidFolder = "The Local Folder Mapping is invalid";
  static constexpr const char* kNeedParent = "You must select a valid parent project on the tree";
  static constexpr const char* kRulesTakeNothing =
      "The rule set takes nothing from the folders: they would become empty projects, without their documents "
      "and sub-folders.\nAdd inclusion rules (such as \"All documents\" and \"All folders\") under Inclusions in "
      "this dialog, or choose a rule set that has them.";
  static constexpr const char* kDeleteInclusion = "Are you sure you want to delete this inclusion";
  static constexpr const char* kDeleteExclusion = "Are you sure you want to delete this exclusion";

  // The types each list offers, in the order of its drop-down list.
  static const std::vector<std::int32_t>& InclusionTypes();
  static const std::vector<std::int32_t>& ExclusionTypes();
  // The text of a rule type; empty for a type without one.
  static std::string TypeText(std::int32_t type);
  static bool NeedsParameter(std::int32_t type);

  // Trims `parameter` at both ends; then the refusal of adding a rule of `type`
  // (none chosen: nullopt) to the inclusions or exclusions, or none when it may go in.
  static std::optional<std::string> CheckRule(bool inclusion, std::optional<std::int32_t> type, std::string& parameter);
  // The first refusal of Add Now: empty comments (blanks pass), a local folder that
  // is not a writable folder, no parent chosen, `folderRules` (null: no folder is
  // added) without an inclusion. None when the dialog may close.
  static std::optional<std::string> CheckAddNow(const std::string& comments, const std::string& localFolder,
                                                bool hasParent, const FolderRuleSet* folderRules);

  // Gives the profile its ten rule sets and a selected one; true when it changed.
  static bool PrepareRuleSets(UserProfile& profile);
};
