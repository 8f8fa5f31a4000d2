#include "client/document/AccountRights.h"

#include <gtest/gtest.h>

#include "common/RecordFields.h"

namespace {

std::string Row(int role, const std::string& path, const std::string& group) {
  return EndRecord(AppendStringField(group, AppendStringField(path, AppendIntField(role, ""))));
}
std::string Count(int count) { return EndRecord(AppendIntField(count, "")); }

TEST(AccountRightsTest, ABodyIsTakenOnlyWhenItsCountMatchesWholeRowsOfKnownRoles) {
  struct Case {
    const char* what;
    std::string body;
    bool taken;
  };
  const Case cases[] = {
      {"no groups", Count(0), true},
      {"two rows", Count(2) + Row(1, "", "Readers") + Row(3, "Lib->Plans", "Planners"), true},
      {"count above the rows", Count(2) + Row(1, "", "Readers"), false},
      {"negative count", Count(-1), false},
      {"unknown role", Count(1) + Row(4, "", "Owners"), false},
      {"row cut short", Count(1) + EndRecord(AppendStringField("", AppendIntField(2, ""))), false},
  };
  for (const Case& c : cases) EXPECT_EQ(AccountRights::Decode(c.body).has_value(), c.taken) << c.what;
}

TEST(AccountRightsTest, AProjectTakesTheHighestRoleOfTheRowsOverItOrItsAncestors) {
  const std::optional<AccountRights> rights =
      AccountRights::Decode(Count(3) + Row(1, "", "Readers") + Row(2, "Lib->Plans", "Planners") +
                            Row(3, "Old name->Plans->Roof", "Roofers"));
  ASSERT_TRUE(rights.has_value());
  struct Case {
    std::vector<std::string> shownPath;
    AccountRole role;
  };
  const Case cases[] = {
      {{}, AccountRole::kReader},                               // the root: only the whole library covers it
      {{"Plans"}, AccountRole::kAuthor},                        // named by a row
      {{"Plans", "Walls"}, AccountRole::kAuthor},               // below a row's project
      {{"Plans", "Roof", "Tiles"}, AccountRole::kPublisher},    // a renamed library's rows still hold
      {{"Budget", "Plans"}, AccountRole::kReader},              // the same name elsewhere is not covered
  };
  for (const Case& c : cases) {
    EXPECT_EQ(rights->RoleOf(c.shownPath), c.role) << ::testing::PrintToString(c.shownPath);
  }
  const std::optional<AccountRights> subtreeOnly = AccountRights::Decode(Count(1) + Row(1, "Lib->Plans", "Guests"));
  ASSERT_TRUE(subtreeOnly.has_value());
  EXPECT_EQ(subtreeOnly->RoleOf({"Budget"}), AccountRole::kNone);
  EXPECT_EQ(subtreeOnly->RoleOf({}), AccountRole::kNone);
}

}  // namespace
