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

// The server's own refusals, ann a reader everywhere; it serves the rows granted
// when `Param`, else lists no rights, as an earlier server.
class RightsRefusalTest : public ClientLibraryTest, public ::testing::WithParamInterface<bool> {
 protected:
  void RegisterCounters() override {
    if (GetParam()) {
      ServeRights();
    } else {
      server_.Dispatcher().Register(MSGID_LIST_RIGHTS, {});   // a server of an earlier build
    }
  }
};

TEST_P(RightsRefusalTest, RightsAreAskedAfterEachTreeAndRefusalsNameTheRequestAndTheRoleNeeded) {
  const bool served = GetParam();
  ASSERT_TRUE(Store().GetGroups().Change([](GroupTable& table) {
    for (Group& group : table.groups) group.role = GroupRole::Reader;
    return true;
  }));
  GrantRights({{AccountRole::kReader, "", "Readers"}});
  const std::string plans = NewProject("", "Plans");
  AddDocument(plans, "a.txt", "v1");
  CBrannockDoc* document = OpenReady("0");
  ASSERT_NE(document, nullptr);
  ASSERT_TRUE(PassUntil([&] { return document->GetProjectTree().FindProjectByPath(plans) != nullptr; }));
  EXPECT_EQ(PassUntil([&] { return document->GetRights().has_value(); }, served ? seconds(10) : milliseconds(0)),
            served);
  EXPECT_EQ(rightsRequests_, served ? 1 : 0);   // once, after the tree of the logon

  const std::string root = document->GetProjectTree().GetRoot().GetIndexName();
  const std::string plain = ServerErrorTexts::Lookup(ServerErrorTexts::FilePath(work_), kRightsRefusedCode);
  const std::string reported = kRightsRefusedLine;
  ProjectDocumentList documents;
  documents.SetProjectIndexName(plans);
  DocumentVersionEntry entry;
  entry.SetIndexName("WXFiName_Hi0Lo1");
  documents.Add(entry);
  struct Case {
    std::function<bool()> send;
    std::string text;      // from a server that serves rights
    std::string earlier;   // what one that does not shows in it: its code's plain text, or its report
  };
  const Case cases[] = {
      {[&] { return document->SendDeleteProject(root, plans); },
       "Your account may not delete in this project. Ask the administrator for the publisher role here.", reported},
      {[&] { return document->SendAddProject(root, "Roof"); },
       "Your account may not make projects in this project. Ask the administrator for the author role here.", plain},
      {[&] { return document->SendDeleteDocuments(documents); },
       "Your account may not delete in this project. Ask the administrator for the publisher role here.", reported},
      {[&] { return document->SendRenameDocument(plans, "WXFiName_Hi0Lo1", "b.txt"); },
       "Your account may not rename in this project. Ask the administrator for the publisher role here.", reported},
  };
  int asked = rightsRequests_;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    const std::size_t before = Shown().size();
    ASSERT_TRUE(c.send());
    ASSERT_TRUE(PassUntil([&] { return Shown().size() > before; }));
    if (served) {
      EXPECT_EQ(Shown().back(), c.text);
    } else {
      EXPECT_NE(Shown().back().find(c.earlier), std::string::npos) << Shown().back();
    }
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
