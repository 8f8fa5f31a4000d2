#include "server/store/CWexmoorDoc.h"

#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/Notifier.h"
#include "platform/ScratchFolder.h"
#include "platform/fs.h"
#include "server/store/ProjectFileList.h"

namespace {

const std::string kA = "WXFiName_Hi1Lo1";
const std::string kB = "WXFiName_Hi1Lo2";
const std::string kC = "WXFiName_Hi1Lo3";
const std::string kSpecs = "WXFiName_Hi1Lo8";
const std::string kDocA = "WXFiName_Hi1Lo4";
const std::string kDocB = "WXFiName_Hi1Lo5";
const std::string kDocC = "WXFiName_Hi1Lo6";
const std::string kDocName = "Plan.txt";

FileEntry Version(const std::string& internalFileName, int number, const std::string& target = "", int linkVersion = -1,
                  const std::string& linkedFrom = "") {
  FileEntry entry;
  entry.SetName(kDocName);
  entry.SetInternalFileName(internalFileName);
  entry.SetVersion(number);
  entry.SetAuthor("ann");
  entry.SetComments("first");
  entry.SetInternalProjectName(target);
  entry.SetLinkVersion(linkVersion);
  if (!linkedFrom.empty()) entry.AddLink(linkedFrom);
  return entry;
}

class CWexmoorDocTest : public ::testing::Test {
 protected:
  void SetUp() override {
    work_ = scratch_ / "work";
    root_ = scratch_ / "lib";
    locks_ = scratch_ / "locks";
    for (const std::string& folder : {work_, root_, locks_}) ASSERT_TRUE(platform::fs::CreateFolder(folder));
    platform::SetNotifyHandler([this](const platform::Notification& n) {
      notices_.push_back(n.text);
      return platform::NotifyAnswer::Ok;
    });
  }
  void TearDown() override { platform::SetNotifyHandler(nullptr); }

  std::unique_ptr<CWexmoorDoc> MakeDoc(const std::string& work) const {
    return std::make_unique<CWexmoorDoc>(CWexmoorDoc::Setup{work, locks_, CertificateBuiltInKey()});
  }
  void PointWorkAtRoot() const {
    std::ofstream(work_ + "/" + CWexmoorDoc::kRootPathFileName, std::ios::binary) << "\"" << root_ << "\",\"\",0";
  }
  std::string Folder(const std::string& project) const { return root_ + "/" + project; }
  std::string Block(const std::string& name, const std::string& folder, const std::string& internal,
                    const std::string& subBlocks = "") const {
    std::string block = "Start Project\n" + name + "\n" + folder + "\n" + internal + "\n0\n0\n0\n";
    if (!subBlocks.empty()) block += "Start Sub Projects\n" + subBlocks + "End Sub Projects\n";
    return block + "End Project\n";
  }
  // Projects Drawings (A, with sub-project Specs), Refs (B), More (C); counters at 1,9.
  void WriteLibrary() const {
    PointWorkAtRoot();
    std::ofstream(root_ + "/" + CWexmoorDoc::kInventoryFileName, std::ios::binary)
        << Block("Drawings", Folder(kA), kA, Block("Specs", Folder(kA) + "/" + kSpecs, kSpecs))
        << Block("Refs", Folder(kB), kB) << Block("More", Folder(kC), kC);
    std::ofstream(root_ + "/GenInternalValue.wxf", std::ios::binary) << "1,9";
    for (const std::string& p : {kA, kB, kC}) platform::fs::CreateFolder(Folder(p));
  }
  void PutDocument(const std::string& project, const std::string& internalFileName,
                   const std::vector<FileEntry>& versions) const {
    ProjectFileList list;
    const std::string listPath = Folder(project) + "/" + project + "_ProjectFileList.wxf";
    ASSERT_TRUE(list.Load(listPath));
    list.SetAt(kDocName, internalFileName);
    ASSERT_TRUE(list.Save(listPath));
    FileStatistics statistics;
    statistics.SetOwnerProject(project);
    for (const FileEntry& version : versions) statistics.AddVersion(version);
    statistics.SetHeader(versions.back());
    ASSERT_EQ(statistics.Save(Folder(project) + "/" + internalFileName + "_FileStatistics.wxf"), 0);
  }
  FileStatistics Load(const std::string& project, const std::string& internalFileName, int versionIndex) const {
    FileStatistics statistics;
    int lines = 0;
    EXPECT_EQ(statistics.Load(Folder(project) + "/" + internalFileName + "_FileStatistics.wxf", lines), 0);
    statistics.SetHeader(statistics.GetVersion(versionIndex));
    return statistics;
  }
  std::unique_ptr<CWexmoorDoc> StartLibrary() const {
    auto doc = MakeDoc(work_);
    EXPECT_TRUE(doc->OnNewDocument());
    return doc;
  }
  // Every file under the working folder and the root with its content.
  std::map<std::string, std::string> Snapshot() const {
    std::map<std::string, std::string> files;
    for (const std::string& top : {work_, root_}) {
      for (const auto& entry : std::filesystem::recursive_directory_iterator(top)) {
        files[entry.path().string()] = entry.is_regular_file() ? platform::ScratchFolder::Read(entry.path()) : "<dir>";
      }
    }
    return files;
  }

  platform::ScratchFolder scratch_;
  std::string work_, root_, locks_;
  std::vector<std::string> notices_;
};

TEST_F(CWexmoorDocTest, FirstStartInEmptyFolderCreatesTheLibraryFiles) {
  auto doc = MakeDoc(work_);
  ASSERT_TRUE(doc->OnNewDocument());
  EXPECT_EQ(platform::ScratchFolder::Read(work_ + "/WexmoorRootPath.wxf"), "\"" + work_ + "\",\"\",0");
  EXPECT_EQ(doc->GetRootPath(), work_);
  EXPECT_TRUE(platform::fs::IsFile(work_ + "/WXUsers.wxf"));
  EXPECT_EQ(doc->GetSettings().GetPort(), 6000);
  EXPECT_EQ(platform::ScratchFolder::Read(work_ + "/WexmoorInventory.wxf"), "");
  EXPECT_EQ(platform::ScratchFolder::Read(work_ + "/GenInternalValue.wxf"), "1,1");
  EXPECT_TRUE(platform::fs::IsFolder(work_ + "/TemporaryFiles"));
  EXPECT_EQ(doc->GenerateInternalName(), "WXFiName_Hi1Lo1");
  EXPECT_FALSE(doc->OnNewDocument());  // only one start-up
  EXPECT_TRUE(notices_.empty());
}

TEST_F(CWexmoorDocTest, SecondInstanceOnSameRootOrPortIsRefusedAndChangesNothing) {
  PointWorkAtRoot();
  auto first = StartLibrary();
  const auto before = Snapshot();

  auto sameRoot = MakeDoc(work_);
  EXPECT_FALSE(sameRoot->OnNewDocument());
  ASSERT_EQ(notices_.size(), 1u);
  EXPECT_EQ(notices_[0], "An instance of Wexmoor is already running and using the same Library root or the "
                         "same listening Port.  Application aborting!");

  const std::string otherWork = scratch_ / "other";  // another root, the same port 6000
  ASSERT_TRUE(platform::fs::CreateFolder(otherWork));
  auto samePort = MakeDoc(otherWork);
  EXPECT_FALSE(samePort->OnNewDocument());
  EXPECT_EQ(notices_.size(), 2u);
  sameRoot.reset();
  samePort.reset();  // a refused document saves nothing at shutdown either
  EXPECT_EQ(Snapshot(), before);
  EXPECT_FALSE(platform::fs::Exists(otherWork + "/WexmoorRootPath.wxf"));
}

TEST_F(CWexmoorDocTest, KilledHolderReleasesTheLibrary) {
  PointWorkAtRoot();
  int ready[2];
  ASSERT_EQ(pipe(ready), 0);
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    CWexmoorDoc doc(CWexmoorDoc::Setup{work_, locks_, CertificateBuiltInKey()});
    const char started = doc.OnNewDocument() ? '1' : '0';
    if (write(ready[1], &started, 1) != 1) _exit(2);
    for (;;) pause();
  }
  close(ready[1]);
  pollfd wait{ready[0], POLLIN, 0};
  ASSERT_EQ(poll(&wait, 1, 20000), 1);
  char started = 0;
  ASSERT_EQ(read(ready[0], &started, 1), 1);
  close(ready[0]);
  EXPECT_EQ(started, '1');
  kill(child, SIGKILL);
  ASSERT_EQ(waitpid(child, nullptr, 0), child);

  auto doc = MakeDoc(work_);
  EXPECT_TRUE(doc->OnNewDocument());
  EXPECT_TRUE(notices_.empty());
}

TEST_F(CWexmoorDocTest, CountersAreKeptWhenTheInventoryIsEmptyButTheFileExists) {
  PointWorkAtRoot();
  std::ofstream(root_ + "/GenInternalValue.wxf", std::ios::binary) << "7,9";
  auto doc = StartLibrary();
  EXPECT_EQ(doc->GenerateInternalName(), "WXFiName_Hi7Lo9");
  EXPECT_EQ(platform::ScratchFolder::Read(root_ + "/GenInternalValue.wxf"), "7,10");
}

TEST_F(CWexmoorDocTest, MissingCounterFileWithProjectsFailsTheStartAndLaterNamesAreEmpty) {
  WriteLibrary();
  ASSERT_TRUE(platform::fs::DeleteFile(root_ + "/GenInternalValue.wxf"));
  EXPECT_FALSE(MakeDoc(work_)->OnNewDocument());
  EXPECT_TRUE(notices_.empty());

  std::ofstream(root_ + "/GenInternalValue.wxf", std::ios::binary) << "1,9";
  auto doc = StartLibrary();
  ASSERT_TRUE(platform::fs::DeleteFile(root_ + "/GenInternalValue.wxf"));
  EXPECT_EQ(doc->GenerateInternalName(), "");
}

TEST_F(CWexmoorDocTest, RootPathFileRoundTripsAndIsSavedAtShutdownOnly) {
  std::ofstream(work_ + "/WexmoorRootPath.wxf", std::ios::binary) << "\"" << root_ << "\",\"/old\"";
  {
    auto doc = StartLibrary();
    EXPECT_EQ(doc->GetPendingOldRoot(), "/old");
    EXPECT_FALSE(doc->IsOnlyLatestCheckOut());  // third field missing
    doc->SetOnlyLatestCheckOut(true);
    EXPECT_EQ(platform::ScratchFolder::Read(work_ + "/WexmoorRootPath.wxf"), "\"" + root_ + "\",\"/old\"");
  }
  EXPECT_EQ(platform::ScratchFolder::Read(work_ + "/WexmoorRootPath.wxf"), "\"" + root_ + "\",\"/old\",1");
}

TEST_F(CWexmoorDocTest, HashTableSizeIsTheNextPrimeAboveTheNodeCount) {
  EXPECT_EQ(CWexmoorDoc::GetHashTableSize(0), 50021);
  EXPECT_EQ(CWexmoorDoc::GetHashTableSize(50000), 50021);
  EXPECT_EQ(CWexmoorDoc::GetHashTableSize(60000), 60013);
  EXPECT_EQ(CWexmoorDoc::GetHashTableSize(50021), 50023);
  EXPECT_EQ(CWexmoorDoc::GetHashTableSize(999983), 999983 + 199996);  // no prime left below 1,000,000
}

TEST_F(CWexmoorDocTest, RootGuardNameReplacesSeparatorsAndDots) {
  EXPECT_EQ(CWexmoorDoc::RootGuardName("C:\\Docs.2"), "WXC__Docs_2");
  EXPECT_EQ(CWexmoorDoc::RootGuardName("/srv/lib.v1"), "WX_srv_lib_v1");
}

TEST_F(CWexmoorDocTest, LookUpsFindProjectsAnywhereInTheTree) {
  WriteLibrary();
  auto doc = StartLibrary();
  doc->GetSettings().SetLibraryName("Main");
  EXPECT_EQ(doc->GetProjectFolderPath(kSpecs), Folder(kA) + "/" + kSpecs);
  EXPECT_EQ(doc->GetProjectFolderPath("WXFiName_Hi9Lo9"), "");
  EXPECT_EQ(doc->GetProjectDisplayPath(Folder(kA) + "/" + kSpecs), "Main->Drawings->Specs");
  EXPECT_EQ(doc->GetProjectDisplayPath(Folder(kA) + "/WXFiName_Hi9Lo9/" + kSpecs), "Main->Drawings->Specs");
  std::shared_lock<std::shared_mutex> latch(doc->GetProjectTreeLatch());
  ASSERT_NE(doc->FindProjectByInternalName(kSpecs), nullptr);
  EXPECT_EQ(doc->FindProjectByInternalName(kSpecs)->GetName(), "Specs");
  EXPECT_EQ(doc->FindProjectByInternalName("wxfiname_hi1lo8"), nullptr);
}

TEST_F(CWexmoorDocTest, VersionFilePathFollowsAChainOfTwoReferences) {
  WriteLibrary();
  PutDocument(kA, kDocA, {Version(kDocA, 1), Version(kDocA, 2)});
  PutDocument(kB, kDocB, {Version(kDocB, 1, kA, 2)});
  PutDocument(kC, kDocC, {Version(kDocC, 1, kB, 1), Version(kDocC, 2, kB, 5)});
  auto doc = StartLibrary();
  EXPECT_EQ(doc->GetVersionFilePath(Load(kA, kDocA, 0)), Folder(kA) + "/" + kDocA + "Ver1.wxf");
  EXPECT_EQ(doc->GetVersionFilePath(Load(kC, kDocC, 0)), Folder(kA) + "/" + kDocA + "Ver2.wxf");
  EXPECT_EQ(doc->GetVersionFilePath(Load(kC, kDocC, 1)), "");  // link version 5 does not exist
}

TEST_F(CWexmoorDocTest, ReferenceCycleEndsTheVersionPathWalk) {
  WriteLibrary();
  PutDocument(kB, kDocB, {Version(kDocB, 1, kC, 1)});
  PutDocument(kC, kDocC, {Version(kDocC, 1, kB, 1)});
  auto doc = StartLibrary();
  EXPECT_EQ(doc->GetVersionFilePath(Load(kB, kDocB, 0)), "");
}

TEST_F(CWexmoorDocTest, CheckOutAlongReferencesTakesLatestReferencesAndKeepsTheirLocks) {
  WriteLibrary();
  PutDocument(kA, kDocA, {Version(kDocA, 1), Version(kDocA, 2, "", -1, kB)});
  PutDocument(kB, kDocB, {Version(kDocB, 1, kA, 2, kC)});
  PutDocument(kC, kDocC, {Version(kDocC, 1, kB, 1)});
  auto doc = StartLibrary();
  const FileStatistics requested = Load(kC, kDocC, 0);
  std::vector<FileStatistics> changed;
  {
    ProjectLockSet locks(doc->GetLocks(), {});
    EXPECT_EQ(doc->CheckOutAlongReferences(changed, requested, requested, "ann", "R1", locks), 0);
    EXPECT_TRUE(changed.empty());  // started on the origin itself
    EXPECT_EQ(locks.GetHeldCount(), 0u);

    ASSERT_TRUE(doc->GetLocks().Lock(kB, LockTable::kExclusive));
    EXPECT_EQ(doc->CheckOutAlongReferences(changed, Load(kA, kDocA, 1), requested, "ann", "R1", locks),
              CWexmoorDoc::kRetryAfterLockRefusal);
    changed.clear();
    locks.Release();
    doc->GetLocks().Unlock(kB);

    EXPECT_EQ(doc->CheckOutAlongReferences(changed, Load(kA, kDocA, 1), requested, "ann", "R1", locks), 0);
    ASSERT_EQ(changed.size(), 2u);
    EXPECT_EQ(changed[0].GetOwnerProject(), kA);
    EXPECT_EQ(changed[1].GetOwnerProject(), kB);
    EXPECT_EQ(changed[1].GetVersion(0).GetCheckedOutTo(), "ann");
    EXPECT_EQ(changed[1].GetVersion(0).GetCheckOutReference(), "R1");
    EXPECT_TRUE(locks.Holds(kA));
    EXPECT_TRUE(locks.Holds(kB));
  }
  EXPECT_EQ(doc->GetLocks().GetCount(), 0u);
}

TEST_F(CWexmoorDocTest, ReferenceToAnOlderVersionIsNotTakenAlong) {
  WriteLibrary();
  PutDocument(kA, kDocA, {Version(kDocA, 1), Version(kDocA, 2, "", -1, kB)});
  PutDocument(kB, kDocB, {Version(kDocB, 1, kA, 1)});
  PutDocument(kC, kDocC, {Version(kDocC, 1)});
  auto doc = StartLibrary();
  std::vector<FileStatistics> changed;
  ProjectLockSet locks(doc->GetLocks(), {});
  EXPECT_EQ(doc->CheckOutAlongReferences(changed, Load(kA, kDocA, 1), Load(kC, kDocC, 0), "ann", "R1", locks), 0);
  ASSERT_EQ(changed.size(), 1u);
  EXPECT_EQ(changed[0].GetOwnerProject(), kA);
}

TEST_F(CWexmoorDocTest, ReferenceCycleEndsTheCheckOutWalkWithAFailure) {
  WriteLibrary();
  PutDocument(kA, kDocA, {Version(kDocA, 1, kB, 1, kB)});
  PutDocument(kB, kDocB, {Version(kDocB, 1, kA, 1, kA)});
  PutDocument(kC, kDocC, {Version(kDocC, 1)});
  auto doc = StartLibrary();
  std::vector<FileStatistics> changed;
  ProjectLockSet locks(doc->GetLocks(), {});
  EXPECT_EQ(doc->CheckOutAlongReferences(changed, Load(kA, kDocA, 0), Load(kC, kDocC, 0), "ann", "R1", locks),
            CWexmoorDoc::kReferenceWalkFailed);
  EXPECT_EQ(changed.size(), 2u);
}

TEST_F(CWexmoorDocTest, AddUserRefusesDuplicatesAndSavesNewAccounts) {
  auto doc = StartLibrary();
  UserAccount ann;
  ann.SetName("ann");
  ann.SetConnectionType(1);
  ann.SetId(-1);
  ASSERT_TRUE(doc->AddUser(ann));
  EXPECT_EQ(ann.GetId(), 2);  // the first id of a new library
  UserAccount again = ann;
  again.SetId(-1);
  EXPECT_FALSE(doc->AddUser(again));  // same name and type, empty IP address
  EXPECT_EQ(doc->GetSettings().GetUserCount(), 1);
}

}  // namespace

namespace {

// Another local user made the shared lock folder of the server's user first; the
// server (run here as a user of its own) still starts.
TEST_F(CWexmoorDocTest, PlantedLockFolderDoesNotStopTheStart) {
  if (::geteuid() != 0) GTEST_SKIP() << "planting another user's folder needs root";
  constexpr uid_t kServerUser = 4321;
  const std::string planted = "/tmp/wex-" + std::to_string(kServerUser);
  std::filesystem::remove_all(planted);
  ASSERT_EQ(::mkdir(planted.c_str(), 0700), 0);
  ASSERT_EQ(::chmod(planted.c_str(), 0777), 0);
  PointWorkAtRoot();
  const std::string home = scratch_ / "home";
  ASSERT_TRUE(platform::fs::CreateFolder(home));
  for (const std::string& path : {scratch_.Path(), work_, root_, home}) ASSERT_EQ(::chown(path.c_str(), kServerUser, kServerUser), 0);
  for (const auto& entry : std::filesystem::recursive_directory_iterator(work_)) {
    ASSERT_EQ(::chown(entry.path().c_str(), kServerUser, kServerUser), 0);
  }

  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    ::unsetenv("XDG_RUNTIME_DIR");
    ::setenv("HOME", home.c_str(), 1);
    if (::setgid(kServerUser) != 0 || ::setuid(kServerUser) != 0) _exit(3);
    CWexmoorDoc doc(CWexmoorDoc::Setup{work_, "", CertificateBuiltInKey()});
    _exit(doc.OnNewDocument() ? 0 : 1);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  std::filesystem::remove_all(planted);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0) << "the server did not start";
}

}  // namespace
