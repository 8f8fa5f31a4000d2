#include <gtest/gtest.h>

#include <algorithm>
#include <deque>
#include <mutex>
#include <utility>
#include <vector>

#include "client/document/CBrannockDoc.h"
#include "client/document/ClientHints.h"
#include "client/link/ServerErrorTexts.h"
#include "common/MessageIds.h"
#include "server/engine/RequestDispatcher.h"
#include "testsupport/ClientLibraryTest.h"

namespace {

using namespace client_test;

Instruction MakeInstruction(std::int32_t kind, std::int32_t prerequisite, const std::string& indexName) {
  Instruction instruction;
  instruction.SetKind(kind);
  instruction.SetPrerequisite(prerequisite);
  instruction.SetIndexName(indexName);
  return instruction;
}

// The shared fixture whose server answers each project-tree request (5004) with the
// next scripted reply, and keeps every 5004 stamp.
class CBrannockDocDispatchTest : public ClientLibraryTest {
 protected:
  static constexpr MessageId kAnswer = 0;   // answer as the server does
  struct Scripted {
    MessageId id = kAnswer;
    std::string body;
  };

  void RegisterCounters() override {
    server_.Dispatcher().Register(MSGID_REFRESH_PROJECTS, [this](RTE& engine, const Msg& request) {
      std::optional<Scripted> next;
      {
        std::lock_guard lock(scriptMutex_);
        treeStamps_.push_back(request.GetOriginalStamp());
        if (!script_.empty()) {
          next = script_.front();
          script_.pop_front();
        }
      }
      if (!next || next->id == kAnswer) return standard_.Dispatch(engine, request);
      return RequestDispatcher::SendReply(engine, request, next->id, next->body);
    });
  }
  void Script(std::vector<Scripted> replies) {
    std::lock_guard lock(scriptMutex_);
    script_.assign(replies.begin(), replies.end());
  }
  std::vector<std::uint32_t> TreeStamps() {
    std::lock_guard lock(scriptMutex_);
    return treeStamps_;
  }
  // Records, for every instruction finished, its index and outcome.
  void RecordFinished(CBrannockDoc& document) {
    tree_.onUpdate = [this, &document](int code) {
      if (code == ClientHints::kInstructionFinished) finished_.emplace_back(document.GetCurrentInstructionIndex(), document.GetLastOutcome());
    };
    document.GetViews().Attach(tree_);
  }

  std::mutex scriptMutex_;
  std::deque<Scripted> script_;
  std::vector<std::uint32_t> treeStamps_;
  RecordingView tree_{UpdateHint::kTreeView};   // outlives the document (closed in TearDown)
  std::vector<std::pair<int, bool>> finished_;
};

TEST_F(CBrannockDocDispatchTest, UnhandledIdsShowTheirNumberAndThePlainClientLacksThePublisherReplies) {
  Script({{MSGID_LOGON, ""}, {MSGID_RESEND, ""}, {9999, ""}, {MSGID_DELETE_DOCUMENTS_RESULT, ""}});
  CBrannockDoc* document = OpenReady("0");
  ASSERT_NE(document, nullptr);
  document->SetPublisher(false);
  for (int i = 0; i < 3; ++i) document->RequestProjectTree(true);
  ASSERT_TRUE(PassUntil([&] { return Shown().size() >= 4; }));
  EXPECT_EQ(Shown(), (std::vector<std::string>{"MessageId = 5003", "MessageId = 5007", "MessageId = 9999",
                                               "MessageId = 5047"}));
}

TEST_F(CBrannockDocDispatchTest, ErrorRepliesFailTheirInstructionAndShowTheServerText) {
  folder_.Put(ServerErrorTexts::kFileName, "0,\"zero\"\n21,\"no such project\"\n");
  Script({{MSGID_CHECK_OUT_FAILED, "21"}, {MSGID_CREATE_EDITION_FAILED, "77"}, {MSGID_ADD_PROJECT_FAILED, ""}});
  CBrannockDoc* document = OpenReady("0");
  ASSERT_NE(document, nullptr);
  for (int i = 0; i < 2; ++i) document->RequestProjectTree(true);
  ASSERT_TRUE(PassUntil([&] { return Shown().size() >= 3; }));
  EXPECT_EQ(Shown(), (std::vector<std::string>{"no such project", ServerErrorTexts::kDefaultText, "zero"}));
}

TEST_F(CBrannockDocDispatchTest, RetrieveRefusalFailsItsInstructionAndItsDependantWithoutABox) {
  CBrannockDoc* document = OpenReady("0");
  ASSERT_NE(document, nullptr);
  RecordFinished(*document);
  InstructionBatch batch;
  batch.AddInstruction(MakeInstruction(1, 0, "NoSuchProject"));   // 5020, refused with 5021
  batch.AddInstruction(MakeInstruction(1, 1, "NoSuchProject"));
  document->QueueBatch(batch);
  ASSERT_TRUE(PassUntil([&] { return document->GetBatches().empty(); }));
  EXPECT_EQ(finished_, (std::vector<std::pair<int, bool>>{{1, false}, {2, false}}));
  EXPECT_TRUE(Shown().empty());
}

// The lists of a deleted project (its own, its edition's, its supplement's) give no
// box each: the tree is asked for once, and shows it gone; other refusals still tell.
TEST_F(CBrannockDocDispatchTest, ListsOfADeletedProjectAskForTheTreeOnceWithoutABox) {
  CBrannockDoc* document = OpenReady("0");
  ASSERT_NE(document, nullptr);
  ASSERT_TRUE(PassUntil([&] { return TreeStamps().size() == 1 && document->GetUnansweredRequestCount() == 0; }));
  for (const char* gone : {"PGone", "PEdition", "PSupplement"}) {
    ASSERT_TRUE(document->SendListDocuments(gone));
    ASSERT_TRUE(document->SendListVersions(gone));
  }
  ASSERT_TRUE(PassUntil([&] { return document->GetUnansweredRequestCount() == 0; }));
  EXPECT_TRUE(Shown().empty());
  EXPECT_EQ(TreeStamps().size(), 2u);

  Msg unnamed;   // a list refused for another cause is told
  unnamed.SetMessageId(MSGID_DOCUMENT_LIST_FAILED);
  unnamed.SetBody("6");
  document->OnListFailed(unnamed);
  EXPECT_EQ(Shown(), std::vector<std::string>{document->GetServerErrorText(6)});
  // The tree came: a later deleted project asks for it again.
  ASSERT_TRUE(document->SendListDocuments("PLater"));
  ASSERT_TRUE(PassUntil([&] { return TreeStamps().size() == 3; }));
}

TEST_F(CBrannockDocDispatchTest, MarkingFindsTheHeadBatchInstructionByStamp) {
  CBrannockDoc document(*app_);
  RecordFinished(document);
  document.MarkInstructionFailed(7, false);   // empty queue: nothing to mark
  EXPECT_EQ(document.GetInstructionTargetFolder(7), "");

  InstructionBatch batch;
  Instruction add = MakeInstruction(2, 0, "");
  add.SetTargetFolder("/target");
  add.SetSourceFolder("/source");
  batch.MapMessage(batch.AddInstruction(add), 7);
  batch.MapMessage(5, 8);   // a stamp mapped past the instructions
  document.QueueBatch(batch);

  document.MarkInstructionDone(9, "unmapped", true);
  document.MarkInstructionFailed(8, false);
  EXPECT_TRUE(finished_.empty());
  EXPECT_FALSE(document.GetBatches().front().GetInstruction(1)->IsDone());
  EXPECT_EQ(document.GetInstructionSourceFolder(9), "");
  EXPECT_EQ(document.GetInstructionTargetFolder(8), "");
  EXPECT_EQ(document.GetInstructionTargetFolder(7), "/target");
  EXPECT_EQ(document.GetInstructionSourceFolder(7), "/source");

  document.MarkInstructionDone(7, "WXNew", true);
  const Instruction& marked = *document.GetBatches().front().GetInstruction(1);
  EXPECT_TRUE(marked.IsDone());
  EXPECT_TRUE(marked.HasSucceeded());
  EXPECT_EQ(marked.GetIndexName(), "WXNew");
  document.MarkInstructionDone(7, "ignored on failure", false);
  EXPECT_EQ(marked.GetIndexName(), "WXNew");
  EXPECT_FALSE(marked.HasSucceeded());
  EXPECT_EQ(finished_, (std::vector<std::pair<int, bool>>{{1, true}, {1, false}}));
  document.GetViews().Detach(tree_);
}

TEST_F(CBrannockDocDispatchTest, InformationGoesToTheHookElseToTheMessageBox) {
  CBrannockDoc document(*app_);
  document.ShowInformation("boxed");
  std::vector<std::string> hooked;
  document.SetInformationHook([&](const std::string& text) { hooked.push_back(text); });
  document.ShowInformation("hooked");
  EXPECT_EQ(Shown(), std::vector<std::string>{"boxed"});
  EXPECT_EQ(hooked, std::vector<std::string>{"hooked"});
}

TEST_F(CBrannockDocDispatchTest, StampsKeepRisingOverAReconnectSoNoLateReplyMarksAnOldInstruction) {
  // The second request is answered with a file of negative size, which cannot be
  // framed: the client cuts the link and reconnects, the request abandoned.
  Script({{kAnswer, ""}, {MSGID_RETRIEVED_DOCUMENTS, "\"p\",1\n\"a\",1,1,\"\",-1\n"}});
  CBrannockDoc* document = OpenReady("0");
  ASSERT_NE(document, nullptr);
  document->RequestProjectTree(true);
  // The link comes back; the abandoned request is told to the user, and the tree of
  // the new logon is asked for and answered.
  ASSERT_TRUE(PassUntil([&] {
    return app_->GetOpenLibraries().GetCount() == 1 && AbandonedRequestsTold() && document->IsReady() &&
           TreeStamps().size() == 3u && document->GetUnansweredRequestCount() == 0;
  }));
  const std::uint32_t dropped = TreeStamps()[1];

  RecordFinished(*document);
  InstructionBatch batch;
  Instruction refresh = MakeInstruction(17, 0, "");
  refresh.SetSent(true);   // its request went with the dropped link
  batch.MapMessage(batch.AddInstruction(refresh), dropped);
  document->QueueBatch(batch);
  const std::size_t hints = tree_.codes.size();
  document->RequestProjectTree(true);
  ASSERT_TRUE(PassUntil([&] {
    return std::count(tree_.codes.begin() + static_cast<std::ptrdiff_t>(hints), tree_.codes.end(), 5005) > 0;
  }));
  ASSERT_EQ(TreeStamps().size(), 4u);
  EXPECT_GT(TreeStamps()[3], dropped);
  EXPECT_TRUE(finished_.empty());
  EXPECT_FALSE(document->GetBatches().front().GetInstruction(1)->IsDone());
}

}  // namespace
