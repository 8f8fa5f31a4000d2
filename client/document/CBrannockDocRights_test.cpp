// The account's rights end to end: asked from a server that announces them, and
// refusals for rights in the user's terms; an earlier server sees nothing new.
#include <gtest/gtest.h>

#include <functional>

#include "client/document/RefusalTexts.h"
#include "client/link/ServerErrorTexts.h"
#include "common/ResultCodes.h"
#include "testsupport/ClientLibraryTest.h"

namespace {

using namespace client_test;

// Refuses every project deletion and creation with the rights code; serves the rows
// granted when `Param`, else lists no rights, as an earlier server.
class RightsRefusalTest : public ClientLibraryTest, public ::testing::WithParamInterface<bool> {
 protected:
  void RegisterCounters() override {
    for (const auto& [request, refusal] : {std::pair{MSGID_DELETE_PROJECT, MSGID_DELETE_PROJECT_FAILED},
                                           std::pair{MSGID_ADD_PROJECT, MSGID_ADD_PROJECT_FAILED}}) {
      server_.Dispatcher().Register(request, [refusal = refusal](RTE& engine, const Msg& message) {
        return RequestDispatcher::SendReply(engine, message, refusal, AppendIntField(kRightsRefusedCode, ""));
      });
    }
    if (GetParam()) {
      ServeRights();
    } else {
      server_.Dispatcher().Register(MSGID_LIST_RIGHTS, {});   // a server of an earlier build
    }
  }
};

TEST_P(RightsRefusalTest, RightsAreAskedAfterEachTreeAndRefusalsNameTheRequestAndTheRoleNeeded) {
  const bool served = GetParam();
  GrantRights({{AccountRole::kAuthor, "", "Authors"}});
  const std::string plans = NewProject("", "Plans");
  CBrannockDoc* document = OpenReady("0");
  ASSERT_NE(document, nullptr);
  ASSERT_TRUE(PassUntil([&] { return document->GetProjectTree().FindProjectByPath(plans) != nullptr; }));
  EXPECT_EQ(PassUntil([&] { return document->GetRights().has_value(); }, served ? seconds(10) : milliseconds(0)),
            served);
  EXPECT_EQ(rightsRequests_, served ? 1 : 0);   // once, after the tree of the logon

  const std::string root = document->GetProjectTree().GetRoot().GetIndexName();
  const std::string plain = ServerErrorTexts::Lookup(ServerErrorTexts::FilePath(work_), kRightsRefusedCode);
  struct Case {
    std::function<void()> send;
    std::string text;   // from a server that serves rights; an earlier one's code keeps its plain text
  };
  const Case cases[] = {
      {[&] { document->SendDeleteProject(root, plans); },
       "Your account may not delete in this project. Ask the administrator for the publisher role here."},
      {[&] { document->SendAddProject(root, "Roof"); },
       "Your account may not make projects in this project. Ask the administrator for the author role here."},
  };
  int asked = rightsRequests_;
  for (const Case& c : cases) {
    const std::size_t before = Shown().size();
    c.send();
    ASSERT_TRUE(PassUntil([&] { return Shown().size() > before; }));
    EXPECT_EQ(Shown().back(), served ? c.text : plain);
    // A refusal for rights says they changed: they are asked for again.
    EXPECT_TRUE(PassUntil([&] { return rightsRequests_ == asked + (served ? 1 : 0); }));
    asked = rightsRequests_;
  }
  document->RequestProjectTree(true);
  EXPECT_TRUE(PassUntil([&] { return document->IsReady() && rightsRequests_ == asked + (served ? 1 : 0); }));
}

INSTANTIATE_TEST_SUITE_P(Servers, RightsRefusalTest, ::testing::Bool(),
                         [](const ::testing::TestParamInfo<bool>& info) {
                           return std::string(info.param ? "Served" : "EarlierServer");
                         });

}  // namespace
