#include "client/rules/AddToLibraryChecks.h"

#include <gtest/gtest.h>

#include "client/records/ClientAppState.h"
#include "client/records/FolderRule.h"
#include "client/records/UserProfile.h"

namespace {

using Checks = AddToLibraryChecks;

TEST(AddToLibraryChecksTest, ARuleNeedsATypeOfItsListAndItsParameter) {
  std::string blank = " \t";
  EXPECT_EQ(Checks::CheckRule(false, std::nullopt, blank), Checks::kChooseExclusionType);
  EXPECT_EQ(Checks::CheckRule(true, FolderRule::kNoFolders, blank), Checks::kChooseInclusionType);
  EXPECT_EQ(Checks::CheckRule(true, FolderRule::kDocumentsNamed, blank), Checks::kNeedParameter);
  EXPECT_EQ(Checks::CheckRule(true, FolderRule::kAllDocuments, blank), std::nullopt);
}

TEST(AddToLibraryChecksTest, AProfileGetsTenRuleSetsAndAValidSelectedOne) {
  UserProfile profile;
  ClientAppState::ClearUsersModified();
  EXPECT_TRUE(Checks::PrepareRuleSets(profile));
  EXPECT_EQ(std::pair(profile.GetFolderRuleSetCount(), profile.GetCurrentFolderRuleSet()), std::pair(10, 0));
  EXPECT_TRUE(ClientAppState::AreUsersModified());
  EXPECT_FALSE(Checks::PrepareRuleSets(profile));
  profile.SetCurrentFolderRuleSet(12);
  EXPECT_TRUE(Checks::PrepareRuleSets(profile));
  EXPECT_EQ(profile.GetCurrentFolderRuleSet(), 0);
  ClientAppState::ClearUsersModified();
}

}  // namespace
