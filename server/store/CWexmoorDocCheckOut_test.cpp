#include "server/store/CWexmoorDoc.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <mutex>
#include <random>
#include <cstdint>
#include <fstream>
#include <functional>
#include <thread>
#include <vector>

#include "platform/DiskChangeHook.h"
#include "platform/MemoryPools.h"
#include "platform/fs.h"
#include "server/store/StoreFilePaths.h"
#include "server/store/StoreTestLibrary.h"
#include "server/store/StringList.h"

namespace {

const std::string kDoc = "Plan.txt";

class CheckOutTest : public StoreTestLibrary {
 protected:
  void SetUp() override {
    StoreTestLibrary::SetUp();
    a_ = NewProject("A");
    b_ = NewProject("B");
    c_ = NewProject("C");
  }

  // kDoc in A with versions 1..count; version n's stored file holds "v<n>".
  void Original(int count) {
    NewDocument(a_, kDoc, "v1");
    for (int n = 2; n <= count; ++n) {
      ASSERT_EQ(CheckOut(a_).code, 0);
      ASSERT_EQ(CheckIn(a_, "v" + std::to_string(n)), 0);
    }
  }
  void Reference(const std::string& project, const std::string& from, int version, bool replace = false) {
    FileStatistics result;
    ASSERT_EQ(Doc().AddReference(kDoc, project, "ref", from, version, result, false, replace), 0);
  }
  CWexmoorDoc::CheckOutResult CheckOut(const std::string& project, int version = -1, const std::string& user = "ann",
                                       bool referencing = false, bool referenced = false) {
    return Doc().CheckOutDocuments(project, kDoc, version, user, referencing, referenced);
  }
  int CheckInFile(const std::string& project, const std::string& received, const std::string& user = "ann") {
    int code = -2;
    const std::int64_t size = static_cast<std::int64_t>(platform::ScratchFolder::Read(received).size());
    const bool done = Doc().CheckInDocuments(project, user, kDoc, static_cast<int>(size), "next", received, code);
    EXPECT_EQ(done, code == 0);
    return code;
  }
  int CheckIn(const std::string& project, const std::string& content, const std::string& user = "ann") {
    return CheckInFile(project, Received(content), user);
  }

  std::string FileOf(const std::string& project) { return ListOf(project).Lookup(kDoc); }
  FileStatistics Stats(const std::string& project) { return StatisticsOf(project, FileOf(project)); }
  static FileEntry Latest(const FileStatistics& statistics) {
    return statistics.GetVersion(statistics.GetLatestVersionIndex());
  }
  static std::string Holder(const FileStatistics& statistics) {
    for (int i = 0; i < statistics.GetVersionCount(); ++i) {
      if (!statistics.GetVersion(i).GetCheckedOutTo().empty()) return statistics.GetVersion(i).GetCheckedOutTo();
    }
    return "";
  }
  std::string VersionFile(const std::string& project, int version) {
    return FolderOf(project) + FileOf(project) + "Ver" + std::to_string(version) + ".wxf";
  }
  // Applies `change` to the version at `index` of the project's document and makes it the header.
  void EditVersion(const std::string& project, int index, const std::function<void(FileEntry&)>& change) {
    FileStatistics statistics = Stats(project);
    change(statistics.GetVersion(index));
    statistics.SetHeader(statistics.GetVersion(index));
    SaveStatistics(project, statistics);
  }
  static void Hold(FileEntry& entry, const std::string& user, const std::string& reference) {
    entry.SetCheckedOutTo(user);
    entry.SetCheckOutReference(reference);
    entry.SetCheckOutStatus(FileEntry::kCheckedOut);
  }
  static int LinkCount(const FileEntry& entry, const std::string& project) {
    for (int i = 0; i < entry.GetLinkCount(); ++i) {
      if (entry.GetLinkAt(i).GetName() == project) return entry.GetLinkAt(i).GetCount();
    }
    return 0;
  }

  std::string a_, b_, c_;
};

TEST_F(CheckOutTest, CheckedOutDocumentsAreReadOnceAfterStartAndFollowedThroughEveryChange) {
  NewDocument(a_, kDoc, "v1");
  NewDocument(b_, kDoc, "v1");
  ASSERT_EQ(CheckOut(a_).code, 0);
  Restart();   // the new document has seen nothing written
  const auto holders = [this] {
    std::map<std::string, std::string> held;
    for (const auto& [path, statistics] : Doc().CheckedOutDocuments()) held[path] = Holder(*statistics);
    return held;
  };
  const std::string a = StatisticsPath(FolderOf(a_), FileOf(a_));
  const std::string b = StatisticsPath(FolderOf(b_), FileOf(b_));
  using Held = std::map<std::string, std::string>;
  EXPECT_EQ(holders(), (Held{{a, "ann"}}));
  ASSERT_EQ(CheckOut(b_, -1, "bob").code, 0);
  EXPECT_EQ(holders(), (Held{{a, "ann"}, {b, "bob"}}));
  ASSERT_EQ(CheckIn(a_, "v2"), 0);
  EXPECT_EQ(holders(), (Held{{b, "bob"}}));
  FailWrite(1);
  EXPECT_NE(CheckIn(b_, "v2", "bob"), 0);
  StopFailing();
  EXPECT_EQ(holders(), (Held{{b, "bob"}})) << "a failed check-in leaves the document held";
}

TEST_F(CheckOutTest, VersionBelowOneChecksOutTheLatestAndHandsBackItsEntryAndFile) {
  Original(3);
  for (const int requested : {0, -1}) {
    const auto result = CheckOut(a_, requested);
    ASSERT_EQ(result.code, 0);
    const int latest = Latest(Stats(a_)).GetVersion();
    EXPECT_EQ(result.version.GetVersion(), latest);
    EXPECT_EQ(result.version.GetCheckedOutTo(), "ann");
    EXPECT_EQ(result.version.GetFileSize(), 2);
    EXPECT_EQ(result.path, VersionFile(a_, latest));
    EXPECT_EQ(platform::ScratchFolder::Read(result.path), "v" + std::to_string(latest));
    EXPECT_EQ(Holder(Stats(a_)), "ann");
    ASSERT_EQ(CheckIn(a_, "v4"), 0);
  }
}

TEST_F(CheckOutTest, RefusedCheckOutsChangeNothing) {
  Original(2);
  EXPECT_EQ(CheckOut(a_, 1, "bob").code, 0);
  const auto before = Snapshot(root_);
  for (const int version : {1, 2, -1}) EXPECT_EQ(CheckOut(a_, version).code, 11007) << version;
  EXPECT_EQ(CheckOut(a_, 2, "bob").code, 11007);  // the holder asking for another version
  EXPECT_EQ(CheckOut(a_, 1, "").code, 11008);
  EXPECT_EQ(CheckOut("WXFiName_Hi77Lo1").code, CWexmoorDoc::kProjectNotFound);
  EXPECT_EQ(Doc().CheckOutDocuments(a_, "Other.txt", -1, "ann", false, false).code, CWexmoorDoc::kDocumentNotListed);
  EXPECT_EQ(Snapshot(root_), before);

  ASSERT_EQ(CheckIn(a_, "v3", "bob"), 0);
  const auto checkedIn = Snapshot(root_);
  EXPECT_EQ(CheckOut(a_, 9).code, 10016);
  EXPECT_EQ(Snapshot(root_), checkedIn);

  // Without its counter file the store hands out empty check-out references.
  ASSERT_TRUE(platform::fs::DeleteFile(root_ + "/GenInternalValue.wxf"));
  EXPECT_EQ(CheckOut(a_).code, 11008);
  EXPECT_EQ(Snapshot(root_), checkedIn);
}

TEST_F(CheckOutTest, TheHolderAskingAgainForTheHeldVersionGetsItsFileWithTheRecordsUnchanged) {
  struct Case {
    std::string project;
    int held;        // the version checked out first
    int askedAgain;  // the version the holder asks for again (below 1: the latest)
  };
  for (const Case& c : {Case{a_, 2, 2}, Case{b_, 2, -1}, Case{c_, 1, 1}}) {
    SCOPED_TRACE(c.project);
    NewDocument(c.project, kDoc, "v1");
    ASSERT_EQ(CheckOut(c.project).code, 0);
    ASSERT_EQ(CheckIn(c.project, "v2"), 0);
    ASSERT_EQ(CheckOut(c.project, c.held).code, 0);
    const std::string reference = Stats(c.project).GetCheckOutReference();
    const auto before = Snapshot(root_);
    const auto again = CheckOut(c.project, c.askedAgain);
    ASSERT_EQ(again.code, 0);
    EXPECT_EQ(again.version.GetVersion(), c.held);
    EXPECT_EQ(again.version.GetCheckedOutTo(), "ann");
    EXPECT_EQ(again.path, VersionFile(c.project, c.held));
    EXPECT_EQ(platform::ScratchFolder::Read(again.path), "v" + std::to_string(c.held));
    EXPECT_EQ(Snapshot(root_), before);
    EXPECT_EQ(Stats(c.project).GetCheckOutReference(), reference);
    EXPECT_EQ(CheckOut(c.project, c.held, "bob").code, 11007);  // anybody else is refused as before
    ASSERT_EQ(CheckIn(c.project, "v3"), 0);
    EXPECT_EQ(Stats(c.project).GetVersionCount(), 3);
  }
}

TEST_F(CheckOutTest, StoredFileMissingOrOfAnotherSizeIsNotCheckedOut) {
  Original(1);
  const std::string stored = VersionFile(a_, 1);
  ASSERT_TRUE(platform::fs::SetReadOnly(stored, false));
  std::ofstream(stored, std::ios::binary) << "longer";
  auto result = CheckOut(a_);
  EXPECT_NE(result.code, 0);
  EXPECT_EQ(result.path, "");
  EXPECT_EQ(Holder(Stats(a_)), "");
  ASSERT_TRUE(platform::fs::DeleteFile(stored));
  EXPECT_NE(CheckOut(a_, -1, "ann", true, true).code, 0);
  EXPECT_EQ(Holder(Stats(a_)), "");
}

// A:D <- B:D <- C:D, references taking the original's display name.
TEST_F(CheckOutTest, ReferencingFlagTakesTheChainAndCheckInGivesEachANewVersionOnItsParent) {
  Original(1);
  Reference(b_, a_, 1);
  Reference(c_, b_, 1);
  ASSERT_EQ(CheckOut(a_, -1, "ann", true).code, 0);
  const std::string reference = Stats(a_).GetCheckOutReference();
  EXPECT_FALSE(reference.empty());
  EXPECT_EQ(Stats(b_).GetCheckOutReference(), reference);
  EXPECT_EQ(Stats(c_).GetCheckOutReference(), reference);

  ASSERT_EQ(CheckIn(a_, "v2"), 0);
  const FileEntry a = Latest(Stats(a_)), b = Latest(Stats(b_)), c = Latest(Stats(c_));
  EXPECT_EQ(a.GetVersion(), 2);
  EXPECT_EQ(a.GetInternalProjectName(), "");
  EXPECT_EQ(platform::ScratchFolder::Read(VersionFile(a_, 2)), "v2");
  EXPECT_EQ(b.GetInternalProjectName(), a_);
  EXPECT_EQ(b.GetLinkVersion(), 2);
  EXPECT_EQ(c.GetInternalProjectName(), b_);
  EXPECT_EQ(c.GetLinkVersion(), b.GetVersion());
  EXPECT_EQ(LinkCount(a, b_), 1);
  EXPECT_EQ(LinkCount(b, c_), 1);
  EXPECT_EQ(c.GetLinkCount(), 0);
  EXPECT_FALSE(platform::fs::Exists(VersionFile(b_, 2)));
  for (const std::string& project : {a_, b_, c_}) EXPECT_EQ(Holder(Stats(project)), "") << project;
  FileStatistics resolved = Stats(c_);
  resolved.SetHeader(c);
  EXPECT_EQ(Doc().GetVersionFilePath(resolved), VersionFile(a_, 2));
}

// The walks along references recurse once per reference: the longest chain they
// follow must fit the stack of a server thread.
TEST_F(CheckOutTest, TheLongestChainOfReferencesIsWalkedOnAServerThreadsStack) {
  Original(1);
  std::string last = a_;
  for (int i = 1; i < CWexmoorDoc::kMaxReferenceDepth; ++i) {
    const std::string next = NewProject("R" + std::to_string(i));
    Reference(next, last, 1);
    last = next;
  }
  platform::SetUpServerAllocator();   // as the server program starts: its threads' stacks
  std::thread([&] {
    ASSERT_EQ(CheckOut(a_, -1, "ann", true).code, 0);
    EXPECT_EQ(Stats(last).GetCheckOutReference(), Stats(a_).GetCheckOutReference());
    ASSERT_EQ(CheckIn(a_, "v2"), 0);
    EXPECT_EQ(Latest(Stats(last)).GetLinkVersion(), 2);
    ASSERT_EQ(CheckOut(last, -1, "ann", false, true).code, 0);
    std::string holder;
    ASSERT_EQ(Doc().ReleaseCheckOut(a_, kDoc, holder), 0);
    EXPECT_EQ(Holder(Stats(last)), "");
  }).join();
}

TEST_F(CheckOutTest, ReleaseFromAnyMemberFreesTheWholeCheckOutWithoutANewVersion) {
  Original(1);
  Reference(b_, a_, 1);
  Reference(c_, b_, 1);
  for (const std::string& asked : {a_, c_}) {
    ASSERT_EQ(CheckOut(a_, -1, "ann", true).code, 0);
    std::string holder;
    ASSERT_EQ(Doc().ReleaseCheckOut(asked, kDoc, holder), 0) << asked;
    EXPECT_EQ(holder, "ann");
    for (const std::string& project : {a_, b_, c_}) {
      EXPECT_EQ(Holder(Stats(project)), "") << project;
      EXPECT_EQ(Stats(project).GetVersionCount(), 1) << project;
    }
    EXPECT_EQ(CheckOut(b_, -1, "bob").code, 0) << "free again";
    ASSERT_EQ(Doc().ReleaseCheckOut(b_, kDoc, holder), 0);
  }
}

TEST_F(CheckOutTest, ReleaseLeavesOtherCheckOutsAndRefusesWhatNobodyHolds) {
  Original(1);
  Reference(b_, a_, 1);
  std::string holder;
  EXPECT_EQ(Doc().ReleaseCheckOut(a_, kDoc, holder), FileStatistics::kNothingCheckedOut);
  EXPECT_EQ(Doc().ReleaseCheckOut(a_, "Absent.txt", holder), CWexmoorDoc::kDocumentNotListed);
  ASSERT_EQ(CheckOut(a_).code, 0);
  ASSERT_EQ(CheckOut(b_, -1, "bob").code, 0);
  EXPECT_EQ(Doc().ReleaseCheckOut(b_, kDoc, holder, "ann"), FileStatistics::kCheckedOutByOther);
  ASSERT_EQ(Doc().ReleaseCheckOut(a_, kDoc, holder, "ann"), 0);
  EXPECT_EQ(Holder(Stats(a_)), "");
  EXPECT_EQ(Holder(Stats(b_)), "bob");
}

TEST_F(CheckOutTest, ReferencedFlagFromTheLastReferenceStoresTheCheckInInTheOriginal) {
  Original(1);
  Reference(b_, a_, 1);
  Reference(c_, b_, 1);
  const auto result = CheckOut(c_, -1, "ann", false, true);
  ASSERT_EQ(result.code, 0);
  EXPECT_EQ(result.path, VersionFile(a_, 1));
  EXPECT_EQ(Stats(a_).GetCheckOutReference(), Stats(c_).GetCheckOutReference());
  EXPECT_EQ(Stats(b_).GetCheckOutReference(), Stats(c_).GetCheckOutReference());

  ASSERT_EQ(CheckIn(c_, "v2"), 0);
  EXPECT_EQ(platform::ScratchFolder::Read(VersionFile(a_, 2)), "v2");
  EXPECT_EQ(Latest(Stats(b_)).GetLinkVersion(), 2);
  EXPECT_EQ(Latest(Stats(c_)).GetInternalProjectName(), b_);
  EXPECT_EQ(Latest(Stats(c_)).GetLinkVersion(), 2);
}

TEST_F(CheckOutTest, ReferenceAloneUnderAHeldOriginalBecomesAnOriginalOfItsOwnProject) {
  Original(1);
  Reference(b_, a_, 1);
  ASSERT_EQ(CheckOut(a_, -1, "bob").code, 0);
  ASSERT_EQ(CheckOut(b_, -1, "ann", false, true).code, 0);
  EXPECT_NE(Stats(a_).GetCheckOutReference(), Stats(b_).GetCheckOutReference());

  ASSERT_EQ(CheckIn(b_, "mine"), 0);
  const FileEntry b = Latest(Stats(b_));
  EXPECT_EQ(b.GetInternalProjectName(), "");
  EXPECT_EQ(b.GetLinkVersion(), -1);
  EXPECT_EQ(platform::ScratchFolder::Read(VersionFile(b_, 2)), "mine");
  EXPECT_EQ(Stats(a_).GetVersionCount(), 1);
  EXPECT_EQ(Holder(Stats(a_)), "bob");
}

// A reference is taken along exactly when its latest version shows the version checked out.
TEST_F(CheckOutTest, ReferenceIsTakenWhenItsLatestVersionShowsTheCheckedOutOne) {
  struct Case {
    int shownFirst, shownLatest;
    bool taken;
  };
  int round = 0;
  for (const Case& row : {Case{2, 1, false}, Case{2, 2, true}}) {
    SCOPED_TRACE(std::to_string(row.shownFirst) + " then " + std::to_string(row.shownLatest));
    ++round;
    a_ = NewProject("A" + std::to_string(round));
    b_ = NewProject("B" + std::to_string(round));
    Original(2);
    Reference(b_, a_, row.shownFirst);
    Reference(b_, a_, row.shownLatest, true);
    ASSERT_EQ(CheckOut(a_, 2, "ann", true).code, 0);
    EXPECT_EQ(Holder(Stats(b_)), row.taken ? "ann" : "");
    ASSERT_EQ(CheckIn(a_, "v3"), 0);
    EXPECT_EQ(Stats(b_).GetVersionCount(), row.taken ? 3 : 2);
    EXPECT_EQ(LinkCount(Latest(Stats(a_)), b_), row.taken ? 1 : 0);
  }
}

// A:2 <- B:1 <- C:2, while C's older version 1 still shows A:2 too.
TEST_F(CheckOutTest, DocumentReachedAlongTwoReferencesIsReleasedOrCheckedInOnceOnTheOriginalItsHeldVersionShows) {
  Original(2);
  Reference(b_, a_, 2);
  Reference(c_, a_, 2);
  Reference(c_, b_, 1, true);
  ASSERT_EQ(CheckOut(c_, -1, "ann", false, true).code, 0);
  std::string holder;
  ASSERT_EQ(Doc().ReleaseCheckOut(a_, kDoc, holder), 0);
  for (const std::string& project : {a_, b_, c_}) EXPECT_EQ(Holder(Stats(project)), "") << project;
  EXPECT_EQ(Stats(c_).GetVersionCount(), 2);

  ASSERT_EQ(CheckOut(c_, -1, "ann", false, true).code, 0);
  ASSERT_EQ(CheckIn(c_, "v3"), 0);
  const FileEntry a = Latest(Stats(a_)), b = Latest(Stats(b_)), c = Latest(Stats(c_));
  EXPECT_EQ(platform::ScratchFolder::Read(VersionFile(a_, 3)), "v3");
  EXPECT_EQ(b.GetInternalProjectName() + "/" + std::to_string(b.GetLinkVersion()), a_ + "/3");
  EXPECT_EQ(c.GetInternalProjectName() + "/" + std::to_string(c.GetLinkVersion()), b_ + "/2");
  EXPECT_EQ(LinkCount(a, b_), 1);
  EXPECT_EQ(LinkCount(a, c_), 0);
  EXPECT_EQ(LinkCount(b, c_), 1);
  EXPECT_EQ(Stats(c_).GetVersionCount(), 3);
  for (const std::string& project : {a_, b_, c_}) EXPECT_EQ(Holder(Stats(project)), "") << project;
}

TEST_F(CheckOutTest, RefusedCheckInsLeaveFilesAndReceivedFileAlone) {
  Original(1);
  const std::string received = Received("v2");
  auto before = Snapshot(root_);
  EXPECT_EQ(CheckInFile(a_, received), 11012);
  EXPECT_EQ(Snapshot(root_), before);
  ASSERT_EQ(CheckOut(a_).code, 0);
  before = Snapshot(root_);
  EXPECT_EQ(CheckInFile(a_, received, "bob"), 11013);
  EXPECT_EQ(CheckInFile(a_, received, ""), 11013);
  EXPECT_EQ(CheckInFile("WXFiName_Hi77Lo1", received), CWexmoorDoc::kProjectNotFound);
  EXPECT_EQ(Snapshot(root_), before);

  ASSERT_TRUE(platform::fs::CopyFile(received, VersionFile(a_, 2), platform::fs::CopyMode::FailIfExists));
  before = Snapshot(root_);
  EXPECT_EQ(CheckInFile(a_, received), CWexmoorDoc::kVersionFileNotMoved);
  EXPECT_EQ(Snapshot(root_), before);
}

TEST_F(CheckOutTest, TheReceivedFileIsMadeDurableBeforeAnySectionAndOneThatCannotBeIsNotCheckedIn) {
  Original(1);
  ASSERT_EQ(CheckOut(a_).code, 0);
  // Whether, at each change of the disk, another thread could enter the sections.
  std::vector<bool> sectionsFree;
  platform::SetDiskChangeHookForTesting([&] {
    bool free = false;
    std::thread([&] {
      for (platform::CriticalSection* section : {&Doc().GetProjectTreeSection(), &Doc().GetInventorySection()}) {
        free = section->TryEnter();
        if (!free) return;
        section->Leave();
      }
    }).join();
    sectionsFree.push_back(free);
  });
  const std::string received = Received("v2");
  platform::SetDiskFailureForTesting([](const std::string&) { return EIO; });
  const auto before = Snapshot(root_);
  EXPECT_EQ(CheckInFile(a_, received), CWexmoorDoc::kCheckInNotSaved);
  platform::SetDiskFailureForTesting(nullptr);
  EXPECT_EQ(Snapshot(root_), before);
  ASSERT_EQ(sectionsFree, std::vector<bool>{true});

  sectionsFree.clear();
  EXPECT_EQ(CheckInFile(a_, received), 0);
  platform::SetDiskChangeHookForTesting(nullptr);
  ASSERT_GT(sectionsFree.size(), 1u);
  EXPECT_TRUE(sectionsFree.front());  // the received file's sync
  EXPECT_EQ(std::count(sectionsFree.begin(), sectionsFree.end(), false),
            static_cast<std::ptrdiff_t>(sectionsFree.size()) - 1);
  EXPECT_EQ(Latest(Stats(a_)).GetVersion(), 2);
}

TEST_F(CheckOutTest, CheckInOfACheckOutWithoutReferenceIsAccepted) {
  Original(1);
  EditVersion(a_, 0, [](FileEntry& v) { Hold(v, "ann", ""); });
  ASSERT_EQ(CheckIn(a_, "v2"), 0);
  EXPECT_EQ(Latest(Stats(a_)).GetVersion(), 2);
  EXPECT_EQ(Holder(Stats(a_)), "");
}

TEST_F(CheckOutTest, FailedSecondSaveOfACheckOutIsRolledBack) {
  Original(1);
  Reference(b_, a_, 1);
  FailWrite(4);  // the name counter, the journal record, B, then A
  const auto result = CheckOut(a_, -1, "ann", true);
  StopFailing();
  EXPECT_EQ(result.code, CWexmoorDoc::kCheckOutRolledBack);
  EXPECT_EQ(result.path, "");
  EXPECT_EQ(Holder(Stats(a_)), "");
  EXPECT_EQ(Holder(Stats(b_)), "");
  ASSERT_EQ(CheckOut(a_, -1, "ann", true).code, 0);
  EXPECT_EQ(CheckIn(a_, "v2"), 0);
}

TEST_F(CheckOutTest, FailedSecondSaveOfACheckInChangesNothingAndTheNextCheckInSucceeds) {
  Original(1);
  Reference(b_, a_, 1);
  ASSERT_EQ(CheckOut(a_, -1, "ann", true).code, 0);
  const std::string received = Received("v2");
  const auto expected = Snapshot(root_);
  FailWrite(3);  // the journal record, A, then B
  EXPECT_EQ(CheckInFile(a_, received), CWexmoorDoc::kCheckInNotSaved);
  StopFailing();
  EXPECT_EQ(Snapshot(root_), expected);  // the received file back, no new version file
  EXPECT_EQ(CheckIn(a_, "v2"), 0);
  EXPECT_EQ(Latest(Stats(b_)).GetLinkVersion(), 2);
}

// An original checked in alone must not keep links that no reference follows: the
// reference's delete gives back only the link it holds, and the original would stay
// "referenced" for ever.
TEST_F(CheckOutTest, NewVersionLinksOnlyTheReferencesCheckedInWithIt) {
  Original(1);
  Reference(b_, a_, 1);
  Reference(c_, a_, 1);
  ASSERT_EQ(CheckOut(c_, -1, "bob").code, 0);
  ASSERT_EQ(CheckOut(a_).code, 0);
  ASSERT_EQ(CheckIn(a_, "v2"), 0);
  const FileStatistics a = Stats(a_);
  EXPECT_EQ(Latest(a).GetLinkCount(), 0);
  EXPECT_EQ(LinkCount(a.GetVersion(0), b_), 1);
  EXPECT_EQ(Holder(Stats(c_)), "bob");  // passed over, still held
  ASSERT_EQ(CheckIn(c_, "c2", "bob"), 0);

  StringList report;
  ASSERT_EQ(Doc().DeleteDocument(b_, FileOf(b_), report), 0);
  ASSERT_EQ(Doc().DeleteDocument(c_, FileOf(c_), report), 0);
  EXPECT_EQ(Doc().DeleteDocument(a_, FileOf(a_), report), 0);
  EXPECT_TRUE(report.IsEmpty());
}

TEST_F(CheckOutTest, CheckedInReferenceCountsOnceWhateverTheOldCount) {
  Original(1);
  Reference(b_, a_, 1);
  EditVersion(a_, 0, [this](FileEntry& v) { v.AddLink(b_); });  // a stale count of 2
  ASSERT_EQ(CheckOut(a_, -1, "ann", true).code, 0);
  ASSERT_EQ(CheckIn(a_, "v2"), 0);
  EXPECT_EQ(LinkCount(Latest(Stats(a_)), b_), 1);
}

TEST_F(CheckOutTest, ReferenceCyclesEndTheWalksWithAFailure) {
  Original(2);
  Reference(b_, a_, 1);
  Reference(c_, b_, 1);
  // A:1 <- B:1 <- A:2, the latest of A: checking out A:1 with its references comes back to A.
  EditVersion(a_, 1, [this](FileEntry& v) {
    v.SetInternalProjectName(b_);
    v.SetLinkVersion(1);
  });
  EditVersion(b_, 0, [this](FileEntry& v) { v.AddLink(a_); });
  EXPECT_EQ(CheckOut(a_, 1, "ann", true).code, CWexmoorDoc::kReferenceWalkFailed);
  for (const std::string& project : {a_, b_, c_}) EXPECT_EQ(Holder(Stats(project)), "") << project;

  // B and C showing each other, both held under one reference.
  EditVersion(b_, 0, [this](FileEntry& v) {
    v.SetInternalProjectName(c_);
    Hold(v, "ann", "R1");
  });
  EditVersion(c_, 0, [](FileEntry& v) { Hold(v, "ann", "R1"); });
  EXPECT_EQ(CheckIn(b_, "v2"), CWexmoorDoc::kReferenceWalkFailed);
  EXPECT_EQ(Stats(b_).GetVersionCount(), 1);
}

TEST_F(CheckOutTest, OfTwoThreadsCheckingOutOneDocumentExactlyOneWins) {
  Original(1);
  std::atomic<bool> go{false};
  std::vector<int> codes(2, -2);
  std::vector<std::thread> threads;
  for (int i = 0; i < 2; ++i) {
    threads.emplace_back([&, i] {
      while (!go.load()) std::this_thread::yield();
      codes[static_cast<std::size_t>(i)] = CheckOut(a_, -1, i == 0 ? "ann" : "bob").code;
    });
  }
  go = true;
  for (std::thread& thread : threads) thread.join();
  EXPECT_EQ(std::count(codes.begin(), codes.end(), 0), 1);
  EXPECT_EQ(std::count(codes.begin(), codes.end(), 11007), 1);
}

// Eight threads of random adds, references, check-outs, check-ins, renames and
// deletes over three projects and four names; afterwards the library must be whole.
class StoreSoakTest : public StoreTestLibrary {
 protected:
  static constexpr int kThreads = 8;
  static constexpr int kOperationsPerThread = 200;
  static constexpr auto kWatchdog = std::chrono::seconds(120);

  struct Worker {
    int index = 0;
    std::mt19937 random;
    int files = 0;
    std::map<std::string, int> succeeded;  // by operation
    std::vector<std::string> unexpected;
  };

  std::string Pick(Worker& worker, const std::vector<std::string>& from) {
    return from[std::uniform_int_distribution<std::size_t>(0, from.size() - 1)(worker.random)];
  }
  std::string ReceivedBy(Worker& worker, const std::string& content) {
    const std::string path = root_ + "/TemporaryFiles/soak" + std::to_string(worker.index) + "_" +
                             std::to_string(++worker.files) + ".wxf";
    std::ofstream(path, std::ios::binary) << content;
    return path;
  }
  void Expect(Worker& worker, const char* operation, int code, std::initializer_list<int> allowed) {
    if (std::find(allowed.begin(), allowed.end(), code) == allowed.end()) {
      worker.unexpected.push_back(std::string(operation) + " " + std::to_string(code));
    }
  }

  void RunOne(Worker& worker) {
    const std::string project = Pick(worker, projects_);
    const std::string name = Pick(worker, names_);
    const std::string user = "u" + std::to_string(worker.index);
    const std::string content = user + "-" + std::to_string(worker.files);
    FileStatistics result;
    StringList report;
    // add, reference, check-out, check-in, rename, delete
    switch (std::discrete_distribution<int>({2, 3, 3, 3, 2, 1})(worker.random)) {
      case 0: {
        const std::string received = ReceivedBy(worker, content);
        worker.succeeded["add"] +=
            Doc().AddDocument(name, project, user, "", received, static_cast<int>(content.size()), result) == 0;
        platform::fs::DeleteFile(received);
        break;
      }
      case 1:
        worker.succeeded["reference"] +=
            Doc().AddReference(name, project, "", Pick(worker, projects_), 1 + static_cast<int>(worker.random() % 2),
                               result, false, worker.random() % 2 == 0) == 0;
        break;
      case 2: {
        const auto checkedOut = Doc().CheckOutDocuments(project, name, -1, user, worker.random() % 2 == 0,
                                                        worker.random() % 2 == 0);
        Expect(worker, "check-out", checkedOut.code, {0, 11007, CWexmoorDoc::kDocumentNotListed});
        worker.succeeded["check-out"] += checkedOut.code == 0;
        if (checkedOut.code == 0 && platform::ScratchFolder::Read(checkedOut.path).size() !=
                                        static_cast<std::size_t>(checkedOut.version.GetFileSize())) {
          worker.unexpected.push_back("check-out handed back a file of another size: " + checkedOut.path);
        }
        break;
      }
      case 3: {
        const std::string received = ReceivedBy(worker, content);
        int code = 0;
        Doc().CheckInDocuments(project, user, name, static_cast<int>(content.size()), "", received, code);
        Expect(worker, "check-in", code, {0, 11012, 11013, CWexmoorDoc::kDocumentNotListed});
        worker.succeeded["check-in"] += code == 0;
        platform::fs::DeleteFile(received);
        break;
      }
      case 4: {
        const ProjectFileList list = ListOf(project);
        std::vector<std::string> free;
        for (const std::string& candidate : names_) {
          if (!list.Contains(candidate)) free.push_back(candidate);
        }
        worker.succeeded["rename"] +=
            !free.empty() && Doc().RenameDocument(project, list.Lookup(name), Pick(worker, free));
        break;
      }
      default: {
        const std::string internalFileName = ListOf(project).Lookup(name);
        worker.succeeded["delete"] +=
            !internalFileName.empty() && Doc().DeleteDocument(project, internalFileName, report) == 0;
        break;
      }
    }
  }

  // Link counts kept by the originals and those the reference versions call for,
  // by "project/name/version/referencing project".
  void CheckLibrary() {
    std::map<std::string, int> kept, needed;
    for (const std::string& project : projects_) {
      StringList names;
      ListOf(project).GetKeys(names);
      for (int n = 0; n < names.GetSize(); ++n) {
        const FileStatistics statistics = StatisticsOf(project, ListOf(project).Lookup(names.GetAt(n)));
        ASSERT_GT(statistics.GetVersionCount(), 0) << names.GetAt(n);
        for (int v = 0; v < statistics.GetVersionCount(); ++v) {
          const FileEntry& version = statistics.GetVersion(v);
          const std::string key = project + "/" + version.GetName() + "/" + std::to_string(version.GetVersion());
          for (int l = 0; l < version.GetLinkCount(); ++l) {
            kept[key + "/" + version.GetLinkAt(l).GetName()] += version.GetLinkAt(l).GetCount();
          }
          if (version.GetInternalProjectName().empty()) {
            EXPECT_TRUE(platform::fs::IsFile(FolderOf(project) + version.GetVersionFileName())) << key;
          } else {
            ++needed[version.GetInternalProjectName() + "/" + version.GetName() + "/" +
                     std::to_string(version.GetLinkVersion()) + "/" + project];
          }
        }
      }
    }
    EXPECT_EQ(kept, needed);
  }

  std::vector<std::string> projects_;
  const std::vector<std::string> names_{"a.txt", "b.txt", "c.txt", "d.txt"};
};

TEST_F(StoreSoakTest, RandomOperationsFromEightThreadsFinishAndLeaveAWholeLibrary) {
  for (const char* name : {"P", "Q", "R"}) projects_.push_back(NewProject(name));
  std::vector<Worker> workers(kThreads);
  std::mutex doneMutex;
  std::condition_variable doneSignal;
  int done = 0;
  std::vector<std::thread> threads;
  for (int i = 0; i < kThreads; ++i) {
    workers[static_cast<std::size_t>(i)].index = i;
    workers[static_cast<std::size_t>(i)].random.seed(static_cast<unsigned>(1000 + i));
    threads.emplace_back([&, i] {
      for (int n = 0; n < kOperationsPerThread; ++n) RunOne(workers[static_cast<std::size_t>(i)]);
      std::lock_guard<std::mutex> hold(doneMutex);
      ++done;
      doneSignal.notify_all();
    });
  }
  {
    std::unique_lock<std::mutex> wait(doneMutex);
    if (!doneSignal.wait_for(wait, kWatchdog, [&] { return done == kThreads; })) {
      // Deadlocked threads cannot be joined: end the process as a failure.
      std::fprintf(stderr, "store soak: %d of %d threads finished before the watchdog\n", done, kThreads);
      std::_Exit(1);
    }
  }
  for (std::thread& thread : threads) thread.join();
  std::map<std::string, int> succeeded;
  for (const Worker& worker : workers) {
    EXPECT_TRUE(worker.unexpected.empty()) << worker.unexpected.front();
    for (const auto& [operation, count] : worker.succeeded) succeeded[operation] += count;
  }
  // The mix must really have exercised every operation.
  for (const char* operation : {"add", "reference", "check-out", "check-in", "rename", "delete"}) {
    EXPECT_GT(succeeded[operation], 0) << operation;
  }
  CheckLibrary();
}

}  // namespace
