#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <future>
#include <mutex>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include "common/StringHelpers.h"

#include "server/store/StoreTestLibrary.h"

namespace {

class CWexmoorDocDocumentsTest : public StoreTestLibrary {
 protected:
  void SetUp() override {
    StoreTestLibrary::SetUp();
    Doc().GetSettings().SetLibraryName("Main");
    a_ = NewProject("A");
    b_ = NewProject("B");
    c_ = NewProject("C");
  }
  // Gives the document a second stored version, as a check-in would.
  void AddSecondVersion(const std::string& project, const std::string& internalFileName) {
    FileStatistics statistics = StatisticsOf(project, internalFileName);
    FileEntry second = statistics.GetVersion(0);
    second.SetVersion(2);
    statistics.AddVersion(second);
    statistics.SetHeader(second);
    SaveStatistics(project, statistics);
    std::ofstream(FolderOf(project) + second.GetVersionFileName(), std::ios::binary) << "v2";
  }
  int Reference(const std::string& name, const std::string& destination, const std::string& original, int version,
                bool replace = false) {
    FileStatistics result;
    return Doc().AddReference(name, destination, "ref", original, version, result, false, replace);
  }
  std::string ReferenceFile(const std::string& project, const std::string& name) {
    return ListOf(project).Lookup(name);
  }

  std::string a_, b_, c_;
};

// --- adding documents -----------------------------------------------------------------

TEST_F(CWexmoorDocDocumentsTest, AddedDocumentHasOneVersionAndAReadOnlyFile) {
  const std::string received = Received("hello");
  FileStatistics result;
  ASSERT_EQ(Doc().AddDocument("Plan.doc", a_, "ann", "first", received, 5, result), 0);
  const std::string file = result.GetInternalFileName();
  EXPECT_EQ(ListOf(a_).Lookup("Plan.doc"), file);
  const FileStatistics stored = StatisticsOf(a_, file);
  ASSERT_EQ(stored.GetVersionCount(), 1);
  EXPECT_EQ(stored.GetOwnerProject(), a_);
  EXPECT_EQ(stored.GetVersion(0).GetVersion(), 1);
  EXPECT_EQ(stored.GetVersion(0).GetFileSize(), 5);
  EXPECT_EQ(stored.GetVersion(0).GetAuthor(), "ann");
  EXPECT_EQ(platform::ScratchFolder::Read(FolderOf(a_) + file + "Ver1.wxf"), "hello");
  EXPECT_TRUE(platform::fs::IsReadOnly(FolderOf(a_) + file + "Ver1.wxf"));
  EXPECT_FALSE(platform::fs::Exists(received));
  EXPECT_EQ(Doc().GetLocks().GetCount(), 0u);
}

// Received files are private (0600), yet a stored version reads like the records
// beside it: the mode of a new file less the umask, without write bits when read-only.
TEST_F(CWexmoorDocDocumentsTest, StoredVersionsTakeTheModeOfTheRecordFiles) {
  const mode_t previous = ::umask(027);
  const std::string file = NewDocument(a_, "Plan.doc", "one");
  ASSERT_EQ(CheckOut(a_, "Plan.doc"), 0);
  ASSERT_EQ(CheckIn(a_, "Plan.doc", "two"), 0);
  ::umask(previous);
  const std::string folder = FolderOf(a_);
  const struct {
    std::string path;
    mode_t mode;
  } expected[] = {
      {folder + file + "Ver1.wxf", 0440},  // added: read-only
      {folder + file + "Ver2.wxf", 0640},  // checked in
      {StatisticsPath(folder, file), 0640},
  };
  for (const auto& [path, mode] : expected) {
    struct stat st {};
    ASSERT_EQ(::stat(path.c_str(), &st), 0) << path;
    EXPECT_EQ(st.st_mode & 07777, mode) << path;
  }
}

TEST_F(CWexmoorDocDocumentsTest, DuplicateNameChangesNoFile) {
  NewDocument(a_, "Plan.doc");
  const std::string received = Received("again");
  const auto before = Snapshot(root_);
  FileStatistics result;
  EXPECT_EQ(Doc().AddDocument("Plan.doc", a_, "ann", "", received, 5, result), CWexmoorDoc::kDuplicateFileName);
  EXPECT_EQ(Snapshot(root_), before);
}

TEST_F(CWexmoorDocDocumentsTest, DocumentThreeSubProjectsDeepIsFound) {
  const std::string deep = NewProject("D3", NewProject("D2", NewProject("D1", a_)));
  const std::string file = NewDocument(deep, "Plan.doc");
  EXPECT_EQ(ListOf(deep).Lookup("Plan.doc"), file);
  FileStatistics result;
  EXPECT_EQ(Doc().AddDocument("Plan.doc", deep, "ann", "", Received("x"), 1, result), CWexmoorDoc::kDuplicateFileName);
  EXPECT_EQ(Doc().AddDocument("Plan.doc", "WXFiName_Hi9Lo9", "ann", "", Received("x"), 1, result),
            CWexmoorDoc::kNoProjectMatch);
}

TEST_F(CWexmoorDocDocumentsTest, BadParametersAndUnsafeNamesTouchNothing) {
  const std::string received = Received("x");
  const auto before = Snapshot(root_);
  FileStatistics result;
  for (const std::string name : {"", "  ", "../x", "a/b", "a\\b", ".", "..", "!x", "a\nb"}) {
    EXPECT_EQ(Doc().AddDocument(name, a_, "ann", "", received, 1, result), CWexmoorDoc::kBadParameters) << name;
  }
  EXPECT_EQ(Doc().AddDocument("Plan.doc", a_, "", "", received, 1, result), CWexmoorDoc::kBadParameters);
  EXPECT_EQ(Doc().AddDocument("Plan.doc", "", "ann", "", received, 1, result), CWexmoorDoc::kBadParameters);
  EXPECT_EQ(Snapshot(root_), before);
  EXPECT_EQ(Doc().GetLocks().GetCount(), 0u);
}

TEST_F(CWexmoorDocDocumentsTest, ExistingVersionFileIsNeverOverwritten) {
  const std::string next = Doc().GenerateInternalName();
  const std::string after = "WXFiName_Hi1Lo" + std::to_string(std::stoi(next.substr(next.find("Lo") + 2)) + 1);
  std::ofstream(FolderOf(a_) + after + "Ver1.wxf", std::ios::binary) << "old";
  const std::string received = Received("new");
  const auto before = Snapshot(root_);
  FileStatistics result;
  EXPECT_EQ(Doc().AddDocument("Plan.doc", a_, "ann", "", received, 3, result), CWexmoorDoc::kFileCopyFailed);
  EXPECT_EQ(Snapshot(root_), before);
}

// One change of many files leaves the library as the files added one by one would,
// refusals included; files beyond a change's share go into the next change.
TEST_F(CWexmoorDocDocumentsTest, FilesAddedTogetherReadBackAsFilesAddedOneByOne) {
  struct Case {
    std::string name;
    int code;
  };
  const std::vector<Case> cases{
      {"Plan.doc", 0},
      {"  Quoted \"name\", with commas.doc  ", 0},
      {"Plan.doc", CWexmoorDoc::kDuplicateFileName},  // a name of this request
      {"Old.doc", CWexmoorDoc::kDuplicateFileName},   // a name listed before
      {"", CWexmoorDoc::kBadParameters},
      {"Na\xC3\xAFve \xE2\x82\xAC.txt", 0},
      {"Last.doc", 0},
  };
  NewDocument(a_, "Old.doc");
  NewDocument(b_, "Old.doc");
  std::vector<CWexmoorDoc::NewDocument> together;
  for (const Case& c : cases) together.push_back({c.name, "c " + c.name, Received("data " + c.name), 7});
  const std::vector<CWexmoorDoc::AddedDocument> added = Doc().AddDocuments(a_, "ann", together);
  ASSERT_EQ(added.size(), cases.size());
  for (std::size_t i = 0; i < cases.size(); ++i) {
    FileStatistics single;
    const int code = Doc().AddDocument(cases[i].name, b_, "ann", "c " + cases[i].name,
                                       Received("data " + cases[i].name), 7, single);
    EXPECT_EQ(added[i].code, cases[i].code) << i;
    EXPECT_EQ(code, cases[i].code) << i;
    if (code != 0) continue;
    std::string name = cases[i].name;
    TrimString(name);
    const std::string file = ListOf(a_).Lookup(name);
    EXPECT_EQ(file, added[i].statistics.GetInternalFileName()) << i;
    const FileEntry got = StatisticsOf(a_, file).GetVersion(0);
    const FileEntry want = StatisticsOf(b_, ListOf(b_).Lookup(name)).GetVersion(0);
    EXPECT_EQ(std::make_tuple(got.GetName(), got.GetComments(), got.GetAuthor(), got.GetFileSize(), got.GetVersion()),
              std::make_tuple(want.GetName(), want.GetComments(), want.GetAuthor(), want.GetFileSize(), want.GetVersion()));
    EXPECT_EQ(platform::ScratchFolder::Read(FolderOf(a_) + got.GetVersionFileName()), "data " + cases[i].name);
    EXPECT_TRUE(platform::fs::IsReadOnly(FolderOf(a_) + got.GetVersionFileName()));
  }
  StringList keysA, keysB;
  ListOf(a_).GetKeys(keysA);
  ListOf(b_).GetKeys(keysB);
  EXPECT_EQ(keysA.GetSize(), keysB.GetSize());
  for (int i = 0; i < keysA.GetSize() && i < keysB.GetSize(); ++i) EXPECT_EQ(keysA.GetAt(i), keysB.GetAt(i));

  // Across two changes: a name of the first change is refused in the second.
  std::vector<CWexmoorDoc::NewDocument> many;
  for (std::size_t i = 0; i <= CWexmoorDoc::kAddBatch; ++i) many.push_back({"F" + std::to_string(i), "", Received("f"), 1});
  many.push_back({"F0", "", Received("f"), 1});
  const std::vector<CWexmoorDoc::AddedDocument> spread = Doc().AddDocuments(c_, "ann", many);
  EXPECT_EQ(spread[CWexmoorDoc::kAddBatch].code, 0);
  EXPECT_EQ(spread.back().code, CWexmoorDoc::kDuplicateFileName);
  EXPECT_EQ(ListOf(c_).GetCount(), static_cast<int>(CWexmoorDoc::kAddBatch) + 1);
  EXPECT_FALSE(platform::fs::Exists(many[CWexmoorDoc::kAddBatch].receivedFilePath));
  EXPECT_TRUE(platform::fs::Exists(many.back().receivedFilePath));
  for (const auto& entry : std::filesystem::directory_iterator(FolderOf(c_))) {
    EXPECT_NE(entry.path().filename().string().front(), '.') << "left over: " << entry.path();
  }
  EXPECT_EQ(Doc().GetLocks().GetCount(), 0u);
}

TEST_F(CWexmoorDocDocumentsTest, FailedSaveDuringAddLeavesNoTrace) {
  const std::string received = Received("data");
  const auto before = Snapshot(root_);
  int failures = 0;
  for (int n = 1; n < 10; ++n) {
    FailWrite(n);  // the name counter, the journal record, the statistics, the list
    FileStatistics result;
    const int code = Doc().AddDocument("Plan.doc", a_, "ann", "", received, 4, result);
    StopFailing();
    if (code == 0) break;
    ++failures;
    EXPECT_EQ(Snapshot(root_), before) << "write " << n;
  }
  EXPECT_EQ(failures, 4);
  EXPECT_TRUE(ListOf(a_).Contains("Plan.doc"));
}

// --- references -----------------------------------------------------------------------

TEST_F(CWexmoorDocDocumentsTest, ReferenceRefusals) {
  const std::string file = NewDocument(a_, "Plan.doc");
  AddSecondVersion(a_, file);
  const auto before = Snapshot(root_);
  EXPECT_EQ(Reference("Plan.doc", a_, a_, 1), CWexmoorDoc::kReferenceToSameProject);
  EXPECT_EQ(Reference("Plan.doc", b_, a_, 3), CWexmoorDoc::kOriginalVersionMissing);
  EXPECT_EQ(Reference("Plan.doc", b_, "WXFiName_Hi9Lo9", 1), CWexmoorDoc::kOriginalProjectMissing);
  EXPECT_EQ(Reference("Plan.doc", "WXFiName_Hi9Lo9", a_, 1), CWexmoorDoc::kDestinationMissing);
  EXPECT_EQ(Reference("Other.doc", b_, a_, 1), CWexmoorDoc::kOriginalDocumentMissing);
  EXPECT_EQ(Snapshot(root_), before);
  EXPECT_EQ(Doc().GetLocks().GetCount(), 0u);
}

TEST_F(CWexmoorDocDocumentsTest, AReferenceWhoseOriginalLeadsBackIntoItsProjectIsRefused) {
  NewDocument(a_, "Plan.doc");
  ASSERT_EQ(Reference("Plan.doc", b_, a_, 1), 0);  // B -> A
  ASSERT_EQ(Reference("Plan.doc", c_, b_, 1), 0);  // C -> B -> A
  const auto before = Snapshot(root_);
  // A -> C would close the chain into a ring that no read could resolve.
  EXPECT_EQ(Reference("Plan.doc", a_, c_, 1, true), CWexmoorDoc::kReferenceToSameProject);
  EXPECT_EQ(Reference("Plan.doc", b_, c_, 1, true), CWexmoorDoc::kReferenceToSameProject);
  EXPECT_EQ(Snapshot(root_), before);
  EXPECT_EQ(Doc().GetLocks().GetCount(), 0u);
}

TEST_F(CWexmoorDocDocumentsTest, ReferenceTwiceWithReplaceModeAddsAVersionAndALink) {
  const std::string file = NewDocument(a_, "Plan.doc");
  AddSecondVersion(a_, file);
  NewDocument(b_, "Local.doc");
  ASSERT_EQ(Reference("Plan.doc", b_, a_, 2), 0);
  const std::string reference = ReferenceFile(b_, "Plan.doc");
  EXPECT_EQ(ListOf(b_).GetCount(), 2);  // the list was read again under the lock
  EXPECT_EQ(Reference("Plan.doc", b_, a_, 2), CWexmoorDoc::kDuplicateFileName);
  ASSERT_EQ(Reference("Plan.doc", b_, a_, 2, true), 0);

  const FileEntry linked = StatisticsOf(a_, file).GetVersion(1);
  ASSERT_EQ(linked.GetLinkCount(), 1);
  EXPECT_EQ(linked.GetLinkAt(0).GetName(), b_);
  EXPECT_EQ(linked.GetLinkAt(0).GetCount(), 2);
  EXPECT_EQ(StatisticsOf(a_, file).GetVersion(0).GetLinkCount(), 0);

  EXPECT_EQ(ReferenceFile(b_, "Plan.doc"), reference);  // the reference keeps its identity
  const FileStatistics stored = StatisticsOf(b_, reference);
  ASSERT_EQ(stored.GetVersionCount(), 2);
  for (int v = 0; v < 2; ++v) {
    EXPECT_EQ(stored.GetVersion(v).GetVersion(), v + 1);
    EXPECT_EQ(stored.GetVersion(v).GetLinkVersion(), 2);
    EXPECT_EQ(stored.GetVersion(v).GetInternalProjectName(), a_);
    EXPECT_EQ(stored.GetVersion(v).GetInternalFileName(), reference);
    EXPECT_EQ(stored.GetVersion(v).GetLinkCount(), 0);
  }
  EXPECT_EQ(stored.GetOwnerProject(), b_);
  EXPECT_EQ(Doc().GetVersionFilePath(stored), FolderOf(a_) + file + "Ver2.wxf");
}

TEST_F(CWexmoorDocDocumentsTest, ReplaceWhileTheReferenceIsCheckedOutIsRefused) {
  const std::string file = NewDocument(a_, "Plan.doc");
  ASSERT_EQ(Reference("Plan.doc", b_, a_, 1), 0);
  FileStatistics reference = StatisticsOf(b_, ReferenceFile(b_, "Plan.doc"));
  ASSERT_EQ(reference.CheckOutVersion("bob", "R1", 1), 0);
  SaveStatistics(b_, reference);
  const auto before = Snapshot(root_);
  EXPECT_EQ(Reference("Plan.doc", b_, a_, 1, true), CWexmoorDoc::kExistingReferenceCheckedOut);
  EXPECT_EQ(Snapshot(root_), before);
}

TEST_F(CWexmoorDocDocumentsTest, FailedSaveDuringReferenceRestoresEveryFile) {
  const std::string file = NewDocument(a_, "Plan.doc");
  for (const bool replace : {false, true}) {
    const auto before = Snapshot(root_);
    int failures = 0;
    for (int n = 1; n < 10; ++n) {
      FailWrite(n);  // name counter (new only), the record, the reference, the original, the list (new only)
      const int code = Reference("Plan.doc", b_, a_, 1, replace);
      StopFailing();
      if (code == 0) break;
      ++failures;
      EXPECT_EQ(Snapshot(root_), before) << "write " << n << (replace ? " replacing" : "");
    }
    EXPECT_EQ(failures, replace ? 3 : 5);
  }
  EXPECT_EQ(StatisticsOf(a_, file).GetVersion(0).GetLinkAt(0).GetCount(), 2);
}

// --- deleting -------------------------------------------------------------------------

TEST_F(CWexmoorDocDocumentsTest, DeleteWithDependentsReportsEveryOneAndChangesNothing) {
  const std::string file = NewDocument(a_, "Plan.doc");
  AddSecondVersion(a_, file);
  ASSERT_EQ(Reference("Plan.doc", b_, a_, 2), 0);
  ASSERT_EQ(Reference("Plan.doc", c_, a_, 2), 0);
  FileStatistics original = StatisticsOf(a_, file);
  original.GetVersion(0).AddLink("WXFiName_Hi9Lo9");  // a project that is gone
  SaveStatistics(a_, original);
  const auto before = Snapshot(root_);

  StringList report;
  EXPECT_EQ(Doc().DeleteDocument(a_, file, report), CWexmoorDoc::kHasDependents);
  ASSERT_EQ(report.GetSize(), 3);
  const std::string head = "[A (" + a_ + ")]:[Plan.doc;";
  EXPECT_EQ(report.GetAt(0),
            head + "1 (" + file + ")] has dependent in project [<Unresolved project hierarchy> (WXFiName_Hi9Lo9)]\r\n");
  EXPECT_EQ(report.GetAt(1), head + "2 (" + file + ")] has dependent in project [Main->B (" + b_ + ")]\r\n");
  EXPECT_EQ(report.GetAt(2), head + "2 (" + file + ")] has dependent in project [Main->C (" + c_ + ")]\r\n");
  EXPECT_EQ(Snapshot(root_), before);
}

TEST_F(CWexmoorDocDocumentsTest, DeleteKeepsTheFilesOfAFreshLibrary) {
  const std::string file = NewDocument(a_, "Plan.doc", "one");
  AddSecondVersion(a_, file);
  const std::string kept = root_ + "/DeletedProjects/IndividualFiles/";
  ASSERT_FALSE(platform::fs::Exists(root_ + "/DeletedProjects"));
  StringList report;
  ASSERT_EQ(Doc().DeleteDocument(a_, file, report), 0);
  EXPECT_TRUE(report.IsEmpty());
  EXPECT_EQ(platform::ScratchFolder::Read(kept + file + "Ver1.wxf"), "one");
  EXPECT_EQ(platform::ScratchFolder::Read(kept + file + "Ver2.wxf"), "v2");
  FileStatistics keptStatistics;
  int lines = 0;
  EXPECT_EQ(keptStatistics.Load(kept + file + "_FileStatistics.wxf", lines), 0);
  EXPECT_EQ(keptStatistics.GetVersionCount(), 2);
  EXPECT_FALSE(ListOf(a_).Contains("Plan.doc"));
  for (const std::string suffix : {"Ver1.wxf", "Ver2.wxf", "_FileStatistics.wxf"}) {
    EXPECT_FALSE(platform::fs::Exists(FolderOf(a_) + file + suffix)) << suffix;
  }
}

TEST_F(CWexmoorDocDocumentsTest, DeletingAReferenceGivesItsLinkBack) {
  const std::string file = NewDocument(a_, "Plan.doc");
  ASSERT_EQ(Reference("Plan.doc", b_, a_, 1), 0);
  ASSERT_EQ(Reference("Plan.doc", c_, a_, 1), 0);
  StringList report;
  ASSERT_EQ(Doc().DeleteDocument(b_, ReferenceFile(b_, "Plan.doc"), report), 0);
  const FileEntry version = StatisticsOf(a_, file).GetVersion(0);
  ASSERT_EQ(version.GetLinkCount(), 1);
  EXPECT_EQ(version.GetLinkAt(0).GetName(), c_);
  ASSERT_EQ(Doc().DeleteDocument(c_, ReferenceFile(c_, "Plan.doc"), report), 0);
  EXPECT_EQ(StatisticsOf(a_, file).GetVersion(0).GetLinkCount(), 0);
  EXPECT_EQ(Doc().DeleteDocument(a_, file, report), 0);
  EXPECT_TRUE(report.IsEmpty());
}

TEST_F(CWexmoorDocDocumentsTest, InternalFileNamesOutsideTheListAreRefused) {
  const std::string file = NewDocument(a_, "Plan.doc");
  const std::string other = NewDocument(b_, "Other.doc");
  const auto before = Snapshot(root_);
  StringList report;
  for (const std::string& name : {"../" + b_ + "/" + other, other, std::string(""), std::string("..")}) {
    EXPECT_EQ(Doc().DeleteDocument(a_, name, report), 0) << name;
    EXPECT_FALSE(Doc().RenameDocument(a_, name, "New.doc")) << name;
  }
  EXPECT_EQ(Doc().DeleteDocument("WXFiName_Hi9Lo9", file, report), 0);
  EXPECT_EQ(Snapshot(root_), before);
}

TEST_F(CWexmoorDocDocumentsTest, FailedSaveDuringDeleteKeepsTheDocument) {
  const std::string file = NewDocument(a_, "Plan.doc");
  NewDocument(a_, "Stays.doc");  // an empty list would be written without content
  const auto before = Snapshot(FolderOf(a_));
  int failures = 0;
  for (int n = 1; n < 10; ++n) {
    FailWrite(n);  // the record, the kept statistics, the list
    StringList report;
    const int code = Doc().DeleteDocument(a_, file, report);
    StopFailing();
    if (code == 0) break;
    ++failures;
    EXPECT_EQ(code, CWexmoorDoc::kFileCopyFailed);
    EXPECT_EQ(Snapshot(FolderOf(a_)), before) << "write " << n;
  }
  EXPECT_EQ(failures, 3);
  EXPECT_FALSE(ListOf(a_).Contains("Plan.doc"));
}

// --- renaming -------------------------------------------------------------------------

TEST_F(CWexmoorDocDocumentsTest, RenameChangesEveryVersionAndKeepsTheInternalName) {
  const std::string file = NewDocument(a_, "Plan.doc");
  AddSecondVersion(a_, file);
  ASSERT_TRUE(Doc().RenameDocument(a_, file, "  Layout.doc "));
  EXPECT_EQ(ListOf(a_).Lookup("Layout.doc"), file);
  EXPECT_FALSE(ListOf(a_).Contains("Plan.doc"));
  const FileStatistics stored = StatisticsOf(a_, file);
  EXPECT_EQ(stored.GetName(), "Layout.doc");
  for (int v = 0; v < stored.GetVersionCount(); ++v) EXPECT_EQ(stored.GetVersion(v).GetName(), "Layout.doc");
}

TEST_F(CWexmoorDocDocumentsTest, RenameRefusalsChangeNothing) {
  const std::string file = NewDocument(a_, "Plan.doc");
  NewDocument(a_, "Sibling.doc");
  ASSERT_EQ(Reference("Plan.doc", b_, a_, 1), 0);
  const std::string reference = ReferenceFile(b_, "Plan.doc");
  const std::string plain = NewDocument(c_, "Free.doc");
  const auto before = Snapshot(root_);
  EXPECT_FALSE(Doc().RenameDocument(a_, file, "Sibling.doc"));  // also: referenced
  EXPECT_FALSE(Doc().RenameDocument(a_, file, "New.doc"));      // referenced
  EXPECT_FALSE(Doc().RenameDocument(b_, reference, "New.doc"));  // a reference
  for (const std::string name : {"", "a/b", "..", "!x"}) EXPECT_FALSE(Doc().RenameDocument(c_, plain, name)) << name;
  EXPECT_EQ(Snapshot(root_), before);

  for (int n = 1; n <= 2; ++n) {
    FailWrite(n);  // the statistics, the list
    EXPECT_FALSE(Doc().RenameDocument(c_, plain, "New.doc"));
    StopFailing();
    EXPECT_EQ(Snapshot(root_), before) << "write " << n;
  }
}

// --- several connections at once ------------------------------------------------------

TEST_F(CWexmoorDocDocumentsTest, ConcurrentAddReferenceDeleteAndRenameStayConsistent) {
  constexpr int kThreads = 4;
  constexpr int kRounds = 12;
  std::mutex failuresMutex;
  std::vector<std::string> failures;
  const auto fail = [&](const std::string& what, int code) {
    std::lock_guard<std::mutex> hold(failuresMutex);
    failures.push_back(what + " " + std::to_string(code));
  };
  const auto worker = [&](int t) {
    for (int i = 0; i < kRounds; ++i) {
      const std::string name = "T" + std::to_string(t) + "-" + std::to_string(i);
      FileStatistics added;
      if (const int code = Doc().AddDocument(name, a_, "ann", "", Received(name), 1, added); code != 0) {
        fail("add " + name, code);
      }
      const std::string file = added.GetInternalFileName();
      if (i % 2 == 0) {
        if (const int code = Reference(name, b_, a_, 1); code != 0) fail("reference " + name, code);
      }
      StringList report;
      if (i % 3 == 0) {
        const int code = Doc().DeleteDocument(a_, file, report);
        if (code != 0 && code != CWexmoorDoc::kHasDependents) fail("delete " + name, code);
      }
      if (i % 4 == 1 && i % 3 != 0 && !Doc().RenameDocument(a_, file, name + "-r")) fail("rename " + name, 0);
      if (i % 4 == 2) {
        StringList empty;
        const int code = Doc().DeleteDocument(b_, ListOf(b_).Lookup(name), empty);
        if (code != 0) fail("delete reference " + name, code);
      }
    }
  };
  auto all = std::async(std::launch::async, [&] {
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) threads.emplace_back(worker, t);
    for (std::thread& thread : threads) thread.join();
  });
  if (all.wait_for(std::chrono::seconds(60)) != std::future_status::ready) {
    ADD_FAILURE() << "the operations did not finish within 60 s";
    std::abort();
  }
  EXPECT_TRUE(failures.empty()) << failures.front() << " and " << failures.size() - 1 << " more";
  EXPECT_EQ(Doc().GetLocks().GetCount(), 0u);

  // Every listed document has its statistics and files, every link count matches
  // the references that exist, and no statistics file is left unlisted.
  std::map<std::string, int> referencesTo;
  StringList values;
  ListOf(b_).GetValues(values);
  for (int i = 0; i < values.GetSize(); ++i) {
    const FileStatistics reference = StatisticsOf(b_, values.GetAt(i));
    ASSERT_EQ(reference.GetVersionCount(), 1);
    ++referencesTo[reference.GetVersion(0).GetName()];
  }
  StringList keys;
  ProjectFileList documents = ListOf(a_);
  documents.GetKeys(keys);
  int linked = 0;
  for (int i = 0; i < keys.GetSize(); ++i) {
    const FileStatistics document = StatisticsOf(a_, documents.Lookup(keys.GetAt(i)));
    EXPECT_TRUE(platform::fs::IsFile(FolderOf(a_) + document.GetVersion(0).GetVersionFileName()));
    const FileEntry& version = document.GetVersion(0);
    const int count = version.GetLinkCount() == 0 ? 0 : version.GetLinkAt(0).GetCount();
    EXPECT_EQ(count, referencesTo[keys.GetAt(i)]) << keys.GetAt(i);
    linked += count;
  }
  EXPECT_EQ(linked, values.GetSize());
  int statisticsFiles = 0;
  for (const auto& entry : std::filesystem::directory_iterator(FolderOf(a_))) {
    if (entry.path().string().ends_with("_FileStatistics.wxf")) ++statisticsFiles;
  }
  EXPECT_EQ(statisticsFiles, keys.GetSize());
}

}  // namespace
