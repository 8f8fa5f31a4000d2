// After every logon the library shows what the server holds, whatever this computer
// kept from before, and a check-out cut before its file arrived is finished by its
// holder: after the user closed and reopened the library, after a server restart and
// after a link the server cut.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "client/library/DocumentListCache.h"
#include "client/library/VersionedDocumentList.h"
#include "common/FileHelpers.h"
#include "platform/fs.h"
#include "testsupport/ClientLibraryTest.h"

namespace {

using namespace client_test;

// How the library went away and came back.
enum class Return { kClosedAndReopened, kServerRestarted, kLinkCut };

const char* NameOf(Return how) {
  switch (how) {
    case Return::kClosedAndReopened: return "closed and reopened";
    case Return::kServerRestarted: return "server restarted";
    case Return::kLinkCut: return "link cut";
  }
  return "";
}

class CBrannockDocSessionTest : public ClientLibraryTest {
 protected:
  // A reply with a file of negative size, which cannot be framed: the client cuts the
  // link as if it had broken mid-reply, and reconnects.
  static constexpr const char* kUnframable = "\"p\",1\n\"a\",1,1,\"\",-1\n";

  void RegisterCounters() override {
    // Armed, the next request of these kinds loses its reply; a check-out is first
    // marked in the store, as a server cut off right after marking it would.
    server_.Dispatcher().Register(MSGID_ADD_PROJECT, [this](RTE& engine, const Msg& request) {
      if (!cutNext_.exchange(false)) return standard_.Dispatch(engine, request);
      return RequestDispatcher::SendReply(engine, request, MSGID_RETRIEVED_DOCUMENTS, kUnframable);
    });
    server_.Dispatcher().Register(MSGID_CHECK_OUT, [this](RTE& engine, const Msg& request) {
      if (!markAndCut_.exchange(false)) return standard_.Dispatch(engine, request);
      EXPECT_EQ(Store().CheckOutDocuments(plans_, kDocument, -1, "ann", false, false).code, 0);
      // A server about to be stopped never answers.
      return restartAfterCut_ || RequestDispatcher::SendReply(engine, request, MSGID_RETRIEVED_DOCUMENTS, kUnframable);
    });
  }
  void SetUp() override {
    ClientLibraryTest::SetUp();
    plans_ = NewProject("", "Plans");
    // A replaced local copy that differs from the library's goes here.
    platform::CriticalSection::Lock lock(app_->GetProfileLock());
    app_->GetCurrentUser()->SetBackupRoot(work_ + "/Backups");
  }

  static constexpr const char* kDocument = "big.txt";

  bool IsOpen(const CBrannockDoc* document) {
    return app_->GetOpenLibraries().Find([&](const LibraryDocument& open) { return &open == document; }) != nullptr;
  }
  // The library opened, its tree holding Plans.
  CBrannockDoc* Open() {
    CBrannockDoc* document = OpenReady("0");
    if (document == nullptr) return nullptr;
    EXPECT_TRUE(PassUntil([&] { return document->GetProjectTree().FindProjectByPath(plans_) != nullptr; }));
    return document;
  }
  // Shows the project's documents as selecting it does; the names the document list
  // holds and the names its versions cache holds, once both hold `count`. The node is
  // looked up on each pass: a tree reply replaces every node.
  std::vector<std::string> ShownDocuments(CBrannockDoc& document, const std::string& project, int count) {
    VersionedDocumentList kept;
    const auto shows = [&] {
      ProjectNode* node = document.GetProjectTree().FindProjectByPath(project);
      if (node == nullptr || !document.LoadProjectDocuments(*node)) return false;
      const ProjectDocumentList* list = document.GetListCache().GetCurrentList();
      return list != nullptr && list->GetProjectIndexName() == project && list->GetCount() == count &&
             kept.ReadFile(DocumentListCache::VersionsFilePath(document.GetLibraryFolder(), node->GetCacheFilePath())) &&
             kept.GetCount() == count;
    };
    if (!PassUntil(shows)) return {"<not shown>"};
    std::vector<std::string> names;
    const ProjectDocumentList* list = document.GetListCache().GetCurrentList();
    for (int i = 0; i < list->GetCount(); ++i) names.push_back(list->GetAt(i)->GetName());
    for (int i = 0; i < kept.GetCount(); ++i) names.push_back(kept.GetAt(i)->GetVersion(0)->GetName());
    return names;
  }
  // Takes the library away `how` (`after` runs while it is away) and returns it.
  CBrannockDoc* AwayAndBack(CBrannockDoc* document, Return how, const std::function<void()>& after) {
    switch (how) {
      case Return::kClosedAndReopened:
        app_->GetOpenLibraries().RequestClose(*document);
        after();
        return Open();
      case Return::kServerRestarted:
        server_.Stop();
        EXPECT_TRUE(PassUntil([&] { return !IsOpen(document); }));
        EXPECT_TRUE(server_.Start());
        after();
        return Open();
      case Return::kLinkCut:
        after();
        cutNext_ = true;
        document->SendAddProject("", "never added");
        EXPECT_TRUE(PassUntil([&] { return AbandonedRequestsTold() && document->IsReady(); }));
        return document;
    }
    return nullptr;
  }
  FileStatistics Stored(const std::string& name) {
    const std::optional<FileStatistics> stored = server_.StoredDocument(plans_, name);
    EXPECT_TRUE(stored.has_value()) << name;
    return stored.value_or(FileStatistics());
  }
  static int HeldVersions(const FileStatistics& statistics) {
    int held = 0;
    for (int i = 0; i < statistics.GetVersionCount(); ++i) held += statistics.GetVersion(i).GetCheckedOutTo().empty() ? 0 : 1;
    return held;
  }

  std::string plans_;
  std::atomic<bool> cutNext_{false};
  std::atomic<bool> markAndCut_{false};
  std::atomic<bool> restartAfterCut_{false};
};

TEST_F(CBrannockDocSessionTest, TheTreeAndTheListShowWhatAnotherAccountAddedWhileTheLibraryWasAway) {
  for (const Return how : {Return::kClosedAndReopened, Return::kServerRestarted, Return::kLinkCut}) {
    SCOPED_TRACE(NameOf(how));
    const std::string project = NewProject("", std::string("Before ") + NameOf(how));
    CBrannockDoc* document = Open();
    ASSERT_NE(document, nullptr);
    ASSERT_TRUE(PassUntil([&] { return document->GetProjectTree().FindProjectByPath(project) != nullptr; }));
    // Kept on this computer: the project without documents.
    ASSERT_EQ(ShownDocuments(*document, project, 0), std::vector<std::string>());

    std::string added;
    document = AwayAndBack(document, how, [&] {
      added = NewProject("", std::string("Added while ") + NameOf(how));
      AddDocument(project, "new.txt", "by bob", "bob");
    });
    ASSERT_NE(document, nullptr);
    EXPECT_TRUE(PassUntil([&] { return document->GetProjectTree().FindProjectByPath(added) != nullptr; }));
    EXPECT_EQ(ShownDocuments(*document, project, 1), (std::vector<std::string>{"new.txt", "new.txt"}));
    app_->GetOpenLibraries().RequestClose(*document);
  }
}

TEST_F(CBrannockDocSessionTest, ACheckOutCutAfterTheServerMarkedItIsFinishedWithOneAnswer) {
  const std::string content(3 * 1024 * 1024, 'b');
  AddDocument(plans_, kDocument, content);
  questionAnswer_ = platform::NotifyAnswer::Yes;
  for (const Return how : {Return::kServerRestarted, Return::kLinkCut}) {
    SCOPED_TRACE(NameOf(how));
    CBrannockDoc* document = Open();
    ASSERT_NE(document, nullptr);
    ASSERT_EQ(ShownDocuments(*document, plans_, 1), (std::vector<std::string>{kDocument, kDocument}));
    // An older retrieved copy lies in the project's folder, read-only.
    const std::string folder = document->GetProjectTree().FindProjectByPath(plans_)->GetLocalFolder();
    const std::string copy = folder + "/" + kDocument;
    ASSERT_TRUE(CreateFolderPath(folder) && platform::fs::DeleteFile(copy));
    std::ofstream(copy, std::ios::binary) << "old copy";
    ASSERT_TRUE(platform::fs::SetReadOnly(copy, true));

    const int versions = Stored(kDocument).GetVersionCount();
    restartAfterCut_ = how == Return::kServerRestarted;
    markAndCut_ = true;
    ASSERT_TRUE(document->SendCheckOutDocuments(OneDocument(plans_, kDocument, "", versions), false, false, 3));
    ASSERT_TRUE(WaitUntil([&] { return HeldVersions(Stored(kDocument)) == 1; }));
    const std::string reference = Stored(kDocument).GetCheckOutReference();
    // The cut link comes back by itself; a stopped server is started again and the library reopened.
    if (how == Return::kServerRestarted) document = AwayAndBack(document, how, [] {});
    ASSERT_NE(document, nullptr);

    // The holder is told and, answering Yes, gets the file; the check-out stays one.
    EXPECT_TRUE(PassUntil(
        [&] { return !platform::fs::IsReadOnly(copy) && platform::ScratchFolder::Read(copy) == content; }, seconds(30)));
    const std::vector<std::string> shown = Shown();
    const auto offer = std::find_if(shown.begin(), shown.end(), [](const std::string& text) {
      return text.rfind(UndeliveredCheckOuts::kOfferHead, 0) == 0;
    });
    ASSERT_NE(offer, shown.end());
    EXPECT_NE(offer->find("Plans : big.txt (version " + std::to_string(versions) + ")"), std::string::npos) << *offer;
    const FileStatistics stored = Stored(kDocument);
    EXPECT_EQ(HeldVersions(stored), 1);
    EXPECT_EQ(stored.GetVersionCount(), versions);
    EXPECT_EQ(stored.GetCheckOutReference(), reference);

    // Checked in, the next round starts from a free document and no offer.
    ASSERT_TRUE(document->SendCheckInDocuments(OneDocument(plans_, kDocument, "", versions), 1));
    ASSERT_TRUE(PassUntil([&] { return HeldVersions(Stored(kDocument)) == 0; }));
    app_->GetOpenLibraries().RequestClose(*document);
    std::lock_guard lock(shownMutex_);
    shown_.clear();
  }
}

}  // namespace
