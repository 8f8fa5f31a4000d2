// Whole rounds of the headless client against a running server: a user's working
// day on one library, the project tree as the server sends it before and after the
// library changed, and one client holding two libraries of two servers at once.
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <functional>
#include <set>
#include <shared_mutex>
#include <string>
#include <vector>

#include "client/document/FilePlacement.h"
#include "common/FileHelpers.h"
#include "common/MessageIds.h"
#include "platform/fs.h"
#include "server/store/FileStatistics.h"
#include "server/store/ProjectFileList.h"
#include "server/store/ServerProject.h"
#include "server/store/StoreFilePaths.h"
#include "testsupport/ClientLibraryTest.h"

namespace {

using namespace client_test;
namespace fs = platform::fs;
using platform::ScratchFolder;

class ClientScenarioTest : public ClientLibraryTest {
 protected:
  CWexmoorDoc& Store() { return server_.Document(); }
  std::string CreateProject(const std::string& parent, const std::string& name) {
    ServerProject created;
    EXPECT_EQ(Store().CreateProject(parent, name, "", created, false), 0) << name;
    return created.GetInternalName();
  }
  // Version 1 of a new document; its internal file name.
  std::string AddDocument(const std::string& project, const std::string& name, const std::string& content) {
    const std::string received = folder_.Put("received", content);
    FileStatistics added;
    EXPECT_EQ(Store().AddDocument(name, project, "ann", "", received, static_cast<int>(content.size()), added), 0);
    return added.GetInternalFileName();
  }
  // Every project of the store as "parent name/name", with its documents as
  // "project path:document name".
  std::set<std::string> StoreContents() {
    std::set<std::string> contents;
    std::shared_lock latch(Store().GetProjectTreeLatch());
    const std::function<void(PointerArray<ServerProject>&, const std::string&)> walk =
        [&](PointerArray<ServerProject>& level, const std::string& above) {
          for (int i = 0; i < level.GetSize(); ++i) {
            ServerProject& project = *level.GetAt(i);
            const std::string path = above + project.GetName();
            contents.insert(path);
            StringList names;
            StoreList(project.GetInternalName()).GetKeys(names);
            for (int n = 0; n < names.GetSize(); ++n) contents.insert(path + ":" + names.GetAt(n));
            walk(project.GetSubProjects(), path + "/");
          }
        };
    walk(Store().GetProjects(), "");
    return contents;
  }
  ProjectFileList StoreList(const std::string& project) {
    return ProjectFileList(ProjectFileListPath(Store().GetProjectFolderPath(project) + "/", project));
  }
  // The stored file of the document's latest version, read; "<none>" when there is none.
  std::string StoredVersion(const std::string& project, const std::string& name, int* version = nullptr) {
    const std::string folder = Store().GetProjectFolderPath(project) + "/";
    const std::string internal = StoreList(project).Lookup(name);
    FileStatistics statistics;
    int line = 0;
    if (internal.empty() || statistics.Load(StatisticsPath(folder, internal), line) != 0) return "<none>";
    if (version != nullptr) *version = statistics.GetVersion();
    const std::string path = Store().GetVersionFilePath(statistics);
    return path.empty() ? "<none>" : ScratchFolder::Read(path);
  }
  std::string LocalFolder(CBrannockDoc& document, const std::string& project) {
    const ProjectNode* node = document.GetProjectTree().FindProjectByPath(project);
    return node != nullptr ? node->GetLocalFolder() : std::string();
  }
  std::string NodeName(CBrannockDoc& document, const std::string& project) {
    const ProjectNode* node = document.GetProjectTree().FindProjectByPath(project);
    return node != nullptr ? node->GetName() : std::string("<none>");
  }
  static Instruction Make(std::int32_t kind, std::int32_t prerequisite, const std::string& indexName,
                          const std::string& name, const std::string& source, const std::string& target) {
    Instruction instruction;
    instruction.SetKind(kind);
    instruction.SetPrerequisite(prerequisite);
    instruction.SetIndexName(indexName);
    instruction.SetName(name);
    instruction.SetSourceFolder(source);
    instruction.SetTargetFolder(target);
    return instruction;
  }
  static void Write(const std::string& path, const std::string& content) {
    fs::SetReadOnly(path, false);
    std::ofstream(path, std::ios::binary | std::ios::trunc) << content;
  }
  std::size_t TemporaryCount() {
    std::vector<fs::FolderEntry> entries;
    EXPECT_TRUE(fs::ListFolder(work_ + "/TemporaryFiles", entries));
    return entries.size();
  }
};

TEST_F(ClientScenarioTest, AWorkingDayOnOneLibraryLeavesStoreAndFoldersInStep) {
  const std::string top = CreateProject("", "Top");
  const std::string one = CreateProject(top, "One");
  const std::string two = CreateProject(top, "Two");
  const std::string others = CreateProject("", "Others");
  const std::string plan = AddDocument(top, "plan.txt", "plan 1");
  const std::string notes = AddDocument(top, "notes.txt", "notes 1");
  AddDocument(one, "one.txt", "one 1");
  AddDocument(two, "two.txt", "two 1");
  FileStatistics reference;
  ASSERT_EQ(Store().AddReference("plan.txt", others, "", top, 1, reference, false, false), 0);

  const std::string backups = work_ + "/Backups";
  {
    platform::CriticalSection::Lock lock(app_->GetProfileLock());
    app_->GetCurrentUser()->SetBackupRoot(backups);
  }
  CBrannockDoc* doc = OpenReady("0");
  ASSERT_NE(doc, nullptr);
  std::vector<std::string> boxes;
  doc->SetInformationHook([&](const std::string& text) { boxes.push_back(text); });
  ASSERT_TRUE(PassUntil([&] { return doc->GetProjectTree().FindProjectByPath(two) != nullptr; }));
  const std::string topFolder = LocalFolder(*doc, top);
  const std::string oneFolder = LocalFolder(*doc, one);
  ASSERT_EQ(oneFolder, topFolder + "/One");

  // The project with its sub-projects, one retrieval each, as read-only copies.
  InstructionBatch get;
  for (const std::string& project : {top, one, two}) {
    get.AddInstruction(Make(1, 0, project, "", "", LocalFolder(*doc, project)));
  }
  ASSERT_TRUE(doc->QueueBatch(get, {0, false}));
  ASSERT_TRUE(PassUntil([&] { return doc->GetBatches().empty(); }, seconds(20)));
  EXPECT_TRUE(doc->GetLastOutcome());
  EXPECT_EQ(ScratchFolder::Read(LocalFolder(*doc, two) + "/two.txt"), "two 1");

  // Check out, edit, check in.
  const std::string planCopy = topFolder + "/plan.txt";
  ASSERT_TRUE(doc->SendCheckOutDocuments(OneDocument(top, "plan.txt", plan, 1), false, false, 0));
  ASSERT_TRUE(PassUntil([&] { return !fs::IsReadOnly(planCopy); }));
  Write(planCopy, "plan 2");
  ASSERT_TRUE(doc->SendCheckInDocuments(OneDocument(top, "plan.txt", plan, 1), 1));
  ASSERT_TRUE(PassUntil([&] { return fs::IsReadOnly(planCopy); }));

  // Mode 3 over an edited copy: the server's version comes in, the edit goes to the backup.
  Write(planCopy, "my edit");
  ASSERT_TRUE(doc->SendGetDocuments(OneDocument(top, "plan.txt", plan, 2), 3));
  ASSERT_TRUE(PassUntil([&] { return ScratchFolder::Read(planCopy) == "plan 2"; }));
  EXPECT_EQ(ScratchFolder::Read(backups + "/" + library_ + "/Top/plan.txt"), "my edit");

  // A folder tree inside the project's folder, added with rules: each folder's
  // project, its documents, then its sub-folders.
  const std::string src = topFolder + "/Src";
  ASSERT_TRUE(CreateFolderPath(src + "/sub"));
  Write(src + "/a.txt", "alpha");
  Write(src + "/skip.log", "log");
  Write(src + "/sub/c.txt", "gamma");
  InstructionBatch tree;
  tree.GetInstruction(0)->SetIndexName(top);
  for (const Instruction& step : {Make(2, 0, "", "Src", src, src), Make(3, 1, "", "Src", src, src),
                                  Make(2, 1, "", "sub", src + "/sub", src + "/sub"),
                                  Make(3, 3, "", "sub", src + "/sub", src + "/sub")}) {
    tree.AddInstruction(step);
  }
  tree.GetRuleSet().AddInclusion(FolderRule::kAllDocuments, "");
  tree.GetRuleSet().AddExclusion(FolderRule::kNoDocumentsNamed, "*.log");
  tree.SetComments("tree");
  ASSERT_TRUE(doc->QueueBatch(tree));
  ASSERT_TRUE(PassUntil([&] { return doc->GetBatches().empty(); }, seconds(20)));
  EXPECT_TRUE(doc->GetLastOutcome());
  ASSERT_TRUE(PassUntil([&] { return fs::IsReadOnly(src + "/sub/c.txt"); }));

  // A referenced document stays, with the server's report shown as a warning; a project goes.
  boxes.clear();
  const std::size_t shownBefore = Shown().size();
  ASSERT_TRUE(doc->SendDeleteDocuments(OneDocument(top, "plan.txt", plan, 2)));
  ASSERT_TRUE(PassUntil([&] { return Shown().size() > shownBefore; }));
  EXPECT_NE(Shown().back().find("Others"), std::string::npos) << Shown().back();
  ASSERT_TRUE(doc->SendDeleteProject(top, two));
  ASSERT_TRUE(PassUntil([&] { return doc->GetProjectTree().FindProjectByPath(two) == nullptr; }));

  // Renamed on both sides; a renamed project keeps its local folder.
  ASSERT_TRUE(doc->SendRenameProject(one, "Uno"));
  ASSERT_TRUE(PassUntil([&] { return NodeName(*doc, one) == "Uno"; }));
  EXPECT_EQ(LocalFolder(*doc, one), oneFolder);
  ASSERT_TRUE(doc->SendRenameDocument(top, notes, "memo.txt"));
  ASSERT_TRUE(PassUntil([&] { return StoreList(top).Contains("memo.txt"); }));
  EXPECT_TRUE(boxes.empty());

  EXPECT_EQ(StoreContents(),
            (std::set<std::string>{"Others", "Others:plan.txt", "Top", "Top:memo.txt", "Top:plan.txt", "Top/Src",
                                   "Top/Src:a.txt", "Top/Src/sub", "Top/Src/sub:c.txt", "Top/Uno",
                                   "Top/Uno:one.txt"}));
  int planVersion = 0;
  EXPECT_EQ(StoredVersion(top, "plan.txt", &planVersion), "plan 2");
  EXPECT_EQ(planVersion, 2);
  const ProjectNode* srcNode = doc->GetProjectTree().FindProjectByLocalFolder(src);
  ASSERT_NE(srcNode, nullptr);
  const std::string srcProject = srcNode->GetIndexName();
  struct Copy {
    std::string path, project, name;
  };
  for (const Copy& copy : {Copy{planCopy, top, "plan.txt"}, Copy{topFolder + "/notes.txt", top, "memo.txt"},
                           Copy{oneFolder + "/one.txt", one, "one.txt"}, Copy{src + "/a.txt", srcProject, "a.txt"}}) {
    EXPECT_EQ(ScratchFolder::Read(copy.path), StoredVersion(copy.project, copy.name)) << copy.path;
    EXPECT_TRUE(fs::IsReadOnly(copy.path)) << copy.path;
  }
  EXPECT_FALSE(fs::IsReadOnly(src + "/skip.log"));
  EXPECT_EQ(TemporaryCount(), 0u);
}

TEST_F(ClientScenarioTest, ServerTreeDecodesWholeAndAFreshOneKeepsLocalFoldersByIndexName) {
  const std::string top = CreateProject("", "Top");
  const std::string child = CreateProject(top, "Child");
  const std::string gone = CreateProject("", "Gone");
  ServerProject edition;
  ASSERT_EQ(Store().CreateEdition("", "Ed", "", "ann", "edition notes", edition), 0);
  ServerProject supplement;
  ASSERT_EQ(Store().CreateSupplement(edition.GetInternalName(), "Sup", "", "ann", "first line\nsecond \"line\"",
                                     supplement),
            0);

  CBrannockDoc* doc = OpenReady("0");
  ASSERT_NE(doc, nullptr);
  ProjectTree& tree = doc->GetProjectTree();
  ASSERT_TRUE(PassUntil([&] { return tree.FindProjectByPath(supplement.GetInternalName()) != nullptr; }));
  EXPECT_EQ(tree.GetRoot().GetChildCount(), 3);
  ASSERT_NE(tree.FindProjectByPath(child), nullptr);
  EXPECT_EQ(ProjectTree::GetParentIndexName(tree.GetRoot(), child), top);
  const ProjectNode* shownEdition = tree.FindProjectByPath(edition.GetInternalName());
  ASSERT_NE(shownEdition, nullptr);
  EXPECT_TRUE(shownEdition->IsEdition());
  EXPECT_EQ(shownEdition->GetName(), edition.GetName());
  EXPECT_EQ(shownEdition->GetEdition().GetComments(), "edition notes");
  const ProjectNode* shownSupplement = tree.FindProjectByPath(supplement.GetInternalName());
  EXPECT_TRUE(shownSupplement->IsSupplement());
  EXPECT_EQ(shownSupplement->GetSupplement().GetComments(), "first line\nsecond \"line\"");
  EXPECT_EQ(shownSupplement->GetSupplement().GetEditionInternalName(), edition.GetInternalName());
  EXPECT_EQ(ProjectTree::GetParentIndexName(tree.GetRoot(), supplement.GetInternalName()), edition.GetInternalName());

  // Mapped by hand; then the server renames it, adds below it and drops another.
  const std::string mapped = folder_ / "elsewhere";
  tree.FindProjectByPath(top)->SetLocalFolder(mapped, true);
  ASSERT_EQ(Store().RenameProject(top, "Renamed"), 0);
  const std::string grandchild = CreateProject(child, "Grand");
  StringList report;
  ASSERT_EQ(Store().DeleteProject(gone, "", report), 0);
  doc->RequestProjectTree(true);
  ASSERT_TRUE(PassUntil([&] { return tree.FindProjectByPath(grandchild) != nullptr; }));
  EXPECT_EQ(NodeName(*doc, top), "Renamed");
  EXPECT_EQ(LocalFolder(*doc, top), mapped);
  EXPECT_EQ(LocalFolder(*doc, child), mapped + "/Child");
  EXPECT_EQ(LocalFolder(*doc, grandchild), mapped + "/Child/Grand");
  EXPECT_EQ(tree.FindProjectByPath(gone), nullptr);
  EXPECT_EQ(tree.GetRoot().GetChildCount(), 2);
  EXPECT_EQ(tree.FindProjectByPath(supplement.GetInternalName())->GetSupplement().GetComments(),
            "first line\nsecond \"line\"");
}

// A second library, whose first account "bob" has ann's user number, served by a
// child process (a process holds one server document). The child is forked before
// the fixture's own server starts, while this process runs no other thread, and
// serves until the test ends.
class TwoLibrariesTest : public ClientScenarioTest {
 protected:
  static constexpr const char* kSecondLibrary = "Second Library";

  void SetUp() override {
    int ready[2];
    int stop[2];
    ASSERT_EQ(pipe(ready), 0);
    ASSERT_EQ(pipe(stop), 0);
    child_ = fork();
    if (child_ == 0) {
      close(ready[0]);
      close(stop[1]);
      ServeSecondLibrary(ready[1], stop[0]);
    }
    close(ready[1]);
    close(stop[0]);
    stop_ = stop[1];
    ASSERT_GT(child_, 0);
    pollfd answer{ready[0], POLLIN, 0};
    char started = '0';
    const bool answered = poll(&answer, 1, 20000) == 1 && read(ready[0], &started, 1) == 1;
    close(ready[0]);
    ASSERT_TRUE(answered && started == '1') << "the second library did not start";
    ASSERT_NO_FATAL_FAILURE(ClientScenarioTest::SetUp());
    ASSERT_EQ(app_->ImportCertificate(folder_ / "bob.wxc"), CertificateImport::Result::Imported);
    ASSERT_EQ(Connection(1).GetName(), kSecondLibrary);
    ASSERT_EQ(Connection(1).GetUserNumber(), Connection(0).GetUserNumber());   // each server's first account
    std::lock_guard lock(shownMutex_);
    shown_.clear();
  }
  void TearDown() override {
    ClientScenarioTest::TearDown();
    if (stop_ >= 0) close(stop_);   // the child's end-of-file: it stops its server
    if (child_ <= 0) return;
    int status = 0;
    if (!WaitUntil([&] { return waitpid(child_, &status, WNOHANG) == child_; }, seconds(15))) {
      kill(child_, SIGKILL);
      waitpid(child_, &status, 0);
      ADD_FAILURE() << "the second library did not stop";
    }
  }

 private:
  // The child: starts the server, adds bob, writes his certificate, answers '1' (or '0'),
  // serves until the parent closes `stop`, stops the server and leaves.
  [[noreturn]] void ServeSecondLibrary(int ready, int stop) {
    char started = '0';
    {
      TestServer second;
      if (second.Start()) {
        second.Document().GetSettings().SetLibraryName(kSecondLibrary);
        const std::optional<UserAccount> bob = second.AddUser("bob", "other");
        if (bob.has_value() && second.WriteCertificate(bob->GetId(), folder_ / "bob.wxc")) {
          started = '1';
        }
      }
      if (write(ready, &started, 1) == 1 && started == '1') {
        char ignored = 0;
        while (read(stop, &ignored, 1) > 0) {
        }
      }
    }
    _exit(0);
  }

  pid_t child_ = -1;
  int stop_ = -1;
};

TEST_F(TwoLibrariesTest, UserOneOfEachLogsOnSideBySideAndAgainAfterBothReopen) {
  std::string codes[2];
  for (int round = 0; round < 2; ++round) {
    CBrannockDoc* first = OpenReady("0");
    CBrannockDoc* second = OpenReady("1");
    ASSERT_NE(first, nullptr);
    ASSERT_NE(second, nullptr);
    ASSERT_NE(first, second);
    // The lock-out trap is on: a logon with the other library's code would lock the account.
    ASSERT_TRUE(PassUntil([&] { return first->IsReady() && second->IsReady(); })) << "round " << round;
    EXPECT_EQ(first->GetDisplayName(), library_ + CBrannockDoc::kDisplayNameSuffix);
    EXPECT_EQ(second->GetDisplayName(), std::string(kSecondLibrary) + CBrannockDoc::kDisplayNameSuffix);
    EXPECT_EQ(Connection(0).GetLogonCode(), server_.StoredUser(ann_.GetId())->GetLogonCode());
    // Each logon hands out a new code, kept in the profile of its own library only.
    EXPECT_NE(Connection(0).GetLogonCode(), codes[0]);
    EXPECT_NE(Connection(1).GetLogonCode(), codes[1]);
    EXPECT_NE(Connection(0).GetLogonCode(), Connection(1).GetLogonCode());
    codes[0] = Connection(0).GetLogonCode();
    codes[1] = Connection(1).GetLogonCode();
    app_->GetOpenLibraries().RequestClose(*first);
    app_->GetOpenLibraries().RequestClose(*second);
    ASSERT_EQ(app_->GetOpenLibraries().GetCount(), 0);
  }
  EXPECT_TRUE(Shown().empty());
}

}  // namespace
