// The account's rights end to end: asked from a server that announces them, kept,
// and refusals for rights in the user's terms; an earlier server sees nothing new.
#include <gtest/gtest.h>

#include <functional>

#include "client/document/RefusalTexts.h"
#include "client/link/ServerErrorTexts.h"
#include "common/MessageIds.h"
#include "testsupport/ClientLibraryTest.h"

namespace {

using namespace client_test;

// Refuses every project deletion and project creation with the rights code.
class RefusingServerTest : public ClientLibraryTest {
 protected:
  void RegisterCounters() override {
    for (const auto& [request, refusal] : {std::pair{MSGID_DELETE_PROJECT, MSGID_DELETE_PROJECT_FAILED},
                                           std::pair{MSGID_ADD_PROJECT, MSGID_ADD_PROJECT_FAILED}}) {
      server_.Dispatcher().Register(request, [refusal = refusal](RTE& engine, const Msg& message) {
        return RequestDispatcher::SendReply(engine, message, refusal, AppendIntField(RefusalTexts::kRightsCode, ""));
      });
    }
  }
  // The library's project "Plans", once the client's tree holds it.
  std::string OpenPlans(CBrannockDoc& document) {
    const std::string plans = NewProject("", "Plans");
    document.RequestProjectTree(true);
    EXPECT_TRUE(PassUntil([&] { return document.GetProjectTree().FindProjectByPath(plans) != nullptr; }));
    return plans;
  }
  // The text shown for the request `send` makes.
  std::string ShownFor(const std::function<void()>& send) {
    const std::size_t before = Shown().size();
    send();
    EXPECT_TRUE(PassUntil([&] { return Shown().size() > before; }));
    return Shown().size() > before ? Shown().back() : std::string();
  }
};

class RightsServerTest : public RefusingServerTest {
 protected:
  void RegisterCounters() override {
    RefusingServerTest::RegisterCounters();
    ServeRights();
  }
};

TEST_F(RightsServerTest, RightsAreAskedAfterEachTreeAndARefusalNamesWhatTheRoleForbidsAndTheRoleNeeded) {
  GrantRights({{AccountRole::kAuthor, "", "Authors"}});
  CBrannockDoc* document = OpenReady("0");
  ASSERT_NE(document, nullptr);
  ASSERT_TRUE(PassUntil([&] { return document->GetRights().has_value(); }));
  EXPECT_EQ(rightsRequests_, 1);   // once, after the tree of the logon
  EXPECT_EQ(document->GetRights()->GetRows().front().group, "Authors");

  const std::string root = document->GetProjectTree().GetRoot().GetIndexName();
  const std::string plans = OpenPlans(*document);
  struct Case {
    std::function<void()> send;
    std::string text;
  };
  const Case cases[] = {
      {[&] { document->SendDeleteProject(root, plans); },
       "Your account may not delete in this project. Ask the administrator for the publisher role here."},
      {[&] { document->SendAddProject(root, "Plans"); },
       "Your account may not make projects in this project. Ask the administrator for the author role here."},
  };
  ASSERT_TRUE(PassUntil([&] { return rightsRequests_ == 2; }));   // the tree just asked for
  int asked = rightsRequests_;
  for (const Case& c : cases) {
    EXPECT_EQ(ShownFor(c.send), c.text);
    // The refusal says the rights changed: they are asked for again.
    EXPECT_TRUE(PassUntil([&] { return rightsRequests_ == asked + 1; }));
    asked = rightsRequests_;
  }
  document->RequestProjectTree(true);
  EXPECT_TRUE(PassUntil([&] { return rightsRequests_ == asked + 1; }));
}

TEST_F(RefusingServerTest, AnEarlierServerIsNeverAskedAndItsCodesKeepTheirPlainTexts) {
  CBrannockDoc* document = OpenReady("0");
  ASSERT_NE(document, nullptr);
  const std::string root = document->GetProjectTree().GetRoot().GetIndexName();
  const std::string plans = OpenPlans(*document);
  EXPECT_EQ(ShownFor([&] { document->SendDeleteProject(root, plans); }),
            ServerErrorTexts::Lookup(ServerErrorTexts::FilePath(work_), RefusalTexts::kRightsCode));
  EXPECT_FALSE(document->GetRights().has_value());
  EXPECT_TRUE(document->MayRequest(document->GetProjectTree().GetRoot(), MSGID_DELETE_PROJECT));
}

}  // namespace
