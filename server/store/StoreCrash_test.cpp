// Kill tests of the store: each operation runs in a child process that ends at its
// 1st, 2nd, ... disk change, and the library started again afterwards must hold the
// operation whole or not at all, with every earlier operation, link count, record
// file and check-out in order and no file that no record names.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iostream>
#include <map>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "server/store/StoreTestLibrary.h"
#include "server/store/StringList.h"

namespace {

// What the records say, without times: "project <internal>", "document <project>/<name>"
// and "version <project>/<name>#<index>" with their values.
using Catalogue = std::map<std::string, std::string>;

std::string AsciiLower(std::string text) {
  for (char& c : text) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return text;
}

std::string StripLine(std::string line) {
  const auto begin = line.find_first_not_of(" \t\r");
  if (begin == std::string::npos) return "";
  return line.substr(begin, line.find_last_not_of(" \t\r") - begin + 1);
}

struct InventoryNode {
  std::string name, folder, internalName, parent;
};

// Reads the inventory's nodes on its own terms (markers in any case, blank and "!"
// lines skipped); a block left open is named in `problems`.
std::vector<InventoryNode> ReadInventory(const std::string& path, std::vector<std::string>& problems) {
  std::ifstream in(path, std::ios::binary);
  if (!in) problems.push_back("inventory unreadable");
  std::vector<InventoryNode> nodes;
  std::vector<std::string> open;
  const auto next = [&in](std::string& value) {
    std::string line;
    while (std::getline(in, line)) {
      value = StripLine(line);
      if (!value.empty() && value[0] != '!') return true;
    }
    return false;
  };
  std::string line;
  while (next(line)) {
    const std::string marker = AsciiLower(line);
    if (marker == "start project") {
      InventoryNode node;
      if (!next(node.name) || !next(node.folder) || !next(node.internalName)) break;
      node.parent = open.empty() ? "" : open.back();
      open.push_back(node.internalName);
      nodes.push_back(node);
    } else if (marker == "end project") {
      if (open.empty()) problems.push_back("inventory closes a project never opened");
      if (!open.empty()) open.pop_back();
    }
  }
  if (!open.empty()) problems.push_back("inventory leaves project " + open.back() + " open");
  return nodes;
}

// The library read from its records alone: its catalogue, the faults found (link
// counts against the references that exist, unreadable records, references that do
// not resolve, missing version files), the files that no record names and the
// documents someone holds checked out.
class LibraryAudit {
 public:
  struct Holder {
    std::string project, name, user;
  };

  LibraryAudit(CWexmoorDoc& doc, const std::string& root) : doc_(&doc), root_(root) {
    allowedFiles_ = {root + "/" + CWexmoorDoc::kInventoryFileName, root + "/" + ServerSettings::kUsersFileName,
                     root + "/" + InternalNameCounter::kFileName, root + "/" + LibraryGroups::kFileName};
    for (const std::string keep : {"TemporaryFiles", CWexmoorDoc::kDeletedProjectsFolder}) {
      skippedFolders_.insert(root + "/" + keep);
    }
    allowedFolders_ = {root + "/" + CWexmoorDoc::kJournalFolderName, root + "/MAX_PATH"};
    for (const InventoryNode& node : ReadInventory(root + "/" + CWexmoorDoc::kInventoryFileName, problems)) {
      AuditProject(node);
    }
    CompareLinks();
    FindStrays();
    catalogue["groups"] = doc.GetGroups().Snapshot()->Encode();
  }

  Catalogue catalogue;
  std::vector<std::string> problems;
  std::vector<std::string> strays;
  std::vector<Holder> holders;

 private:
  // (project, document name, version) of an original version.
  using VersionKey = std::tuple<std::string, std::string, int>;
  using LinkCounts = std::map<std::string, int>;

  void AuditProject(const InventoryNode& node) {
    std::string folder = node.folder;
    while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
    for (std::string above = folder; above.size() > root_.size(); above = platform::fs::ParentFolder(above)) {
      allowedFolders_.insert(above);
    }
    folder += "/";
    catalogue["project " + node.internalName] = "name=" + node.name + " parent=" + node.parent + " folder=" + folder;
    const std::string listPath = ProjectFileListPath(folder, node.internalName);
    allowedFiles_.insert(listPath);
    ProjectFileList list;
    if (!list.Load(listPath)) problems.push_back("file list unreadable: " + listPath);
    StringList names, files;
    list.GetKeys(names);
    list.GetValues(files);
    for (int i = 0; i < names.GetSize(); ++i) AuditDocument(node.internalName, folder, names.GetAt(i), files.GetAt(i));
  }

  void AuditDocument(const std::string& project, const std::string& folder, const std::string& name,
                     const std::string& internalFileName) {
    const std::string document = project + "/" + name;
    catalogue["document " + document] = internalFileName;
    const std::string path = StatisticsPath(folder, internalFileName);
    allowedFiles_.insert(path);
    FileStatistics statistics;
    int lines = 0;
    if (statistics.Load(path, lines) != 0) {
      problems.push_back("statistics unreadable: " + path);
      return;
    }
    for (int i = 0; i < statistics.GetVersionCount(); ++i) {
      const FileEntry& version = statistics.GetVersion(i);
      std::string file;
      if (version.GetInternalProjectName().empty()) {
        file = folder + version.GetVersionFileName();
        allowedFiles_.insert(file);
      } else {
        ++referencesTo_[{version.GetInternalProjectName(), version.GetName(), version.GetLinkVersion()}][project];
        FileStatistics shown = statistics;
        shown.SetHeader(version);
        file = doc_->GetVersionFilePath(shown);
      }
      if (!platform::fs::IsFile(file)) problems.push_back("version file missing: " + document + " #" + std::to_string(i));
      std::string links;
      for (int l = 0; l < version.GetLinkCount(); ++l) {
        const ActiveFileLinkEntry link = version.GetLinkAt(l);
        if (link.GetCount() <= 0) continue;
        links += link.GetName() + ":" + std::to_string(link.GetCount()) + " ";
        linksOf_[{project, name, version.GetVersion()}][link.GetName()] = link.GetCount();
      }
      if (!version.GetCheckedOutTo().empty()) holders.push_back(Holder{project, name, version.GetCheckedOutTo()});
      catalogue["version " + document + "#" + std::to_string(i)] =
          "v" + std::to_string(version.GetVersion()) + " of " + version.GetInternalProjectName() + ":" +
          std::to_string(version.GetLinkVersion()) + " held by " + version.GetCheckedOutTo() + "/" +
          version.GetCheckOutReference() + " size " + std::to_string(version.GetFileSize()) + " comments " +
          version.GetComments() + " links " + links + "content " + platform::ScratchFolder::Read(file);
    }
  }

  void CompareLinks() {
    std::set<VersionKey> keys;
    for (const auto& [key, counts] : referencesTo_) keys.insert(key);
    for (const auto& [key, counts] : linksOf_) keys.insert(key);
    for (const VersionKey& key : keys) {
      const LinkCounts references = referencesTo_.count(key) ? referencesTo_[key] : LinkCounts();
      const LinkCounts links = linksOf_.count(key) ? linksOf_[key] : LinkCounts();
      if (references == links) continue;
      problems.push_back("links of " + std::get<0>(key) + "/" + std::get<1>(key) + " v" +
                         std::to_string(std::get<2>(key)) + ": " + Describe(links) + "but references " +
                         Describe(references));
    }
  }

  static std::string Describe(const LinkCounts& counts) {
    std::string text;
    for (const auto& [project, count] : counts) text += project + ":" + std::to_string(count) + " ";
    return text;
  }

  void FindStrays() {
    namespace stdfs = std::filesystem;
    for (auto entry = stdfs::recursive_directory_iterator(root_); entry != stdfs::recursive_directory_iterator();
         ++entry) {
      const std::string path = entry->path().string();
      if (entry->is_directory()) {
        if (skippedFolders_.count(path)) {
          entry.disable_recursion_pending();
        } else if (!allowedFolders_.count(path)) {
          strays.push_back(path + "/");
        }
      } else if (!allowedFiles_.count(path)) {
        strays.push_back(path);
      }
    }
  }

  CWexmoorDoc* doc_;
  std::string root_;
  std::set<std::string> allowedFiles_, allowedFolders_, skippedFolders_;
  std::map<VersionKey, LinkCounts> referencesTo_;  // reference versions per referencing project
  std::map<VersionKey, LinkCounts> linksOf_;       // link entries of the original versions
};

std::string Differences(const Catalogue& found, const Catalogue& expected) {
  std::string text;
  for (const auto& [key, value] : found) {
    const auto other = expected.find(key);
    if (other == expected.end()) {
      text += "\n  extra " + key + " = " + value;
    } else if (other->second != value) {
      text += "\n  changed " + key + " = " + value + "\n    expected " + other->second;
    }
  }
  for (const auto& [key, value] : expected) {
    if (!found.count(key)) text += "\n  missing " + key + " = " + value;
  }
  return text;
}

class StoreCrashTest;

struct Operation {
  const char* name;
  std::function<void(StoreCrashTest&)> prepare;    // after the common library is built
  std::function<bool(StoreCrashTest&)> run;        // true when the store says it is done
  std::function<bool(StoreCrashTest&)> isPresent;  // after a restart
};

void PrintTo(const Operation& operation, std::ostream* out) { *out << operation.name; }

class StoreCrashTest : public StoreTestLibrary {
 public:
  // For the operation table.
  using StoreTestLibrary::CheckIn;
  using StoreTestLibrary::CheckOut;
  using StoreTestLibrary::Doc;
  using StoreTestLibrary::Received;

  // Projects Originals (Plan.doc of two versions, Loose.doc, an edition), Users
  // (Notes.doc, a reference to Plan.doc 2) and Readers (the same reference).
  void BuildLibrary() {
    originals_ = NewProject("Originals");
    users_ = NewProject("Users");
    readers_ = NewProject("Readers");
    NewDocument(originals_, "Plan.doc", "plan 1");
    ASSERT_EQ(CheckOut(originals_, "Plan.doc"), 0);
    ASSERT_EQ(CheckIn(originals_, "Plan.doc", "plan 2"), 0);
    loose_ = NewDocument(originals_, "Loose.doc", "loose 1");
    NewDocument(users_, "Notes.doc", "notes 1");
    FileStatistics reference;
    ASSERT_EQ(Doc().AddReference("Plan.doc", users_, "", originals_, 2, reference, false, false), 0);
    ASSERT_EQ(Doc().AddReference("Plan.doc", readers_, "", originals_, 2, reference, false, false), 0);
    readersPlan_ = reference.GetInternalFileName();
    ServerProject edition;
    ASSERT_EQ(Doc().CreateEdition(originals_, "One", "", "ann", "first", edition), 0);
    edition_ = edition.GetInternalName();
  }

  LibraryAudit Audit() { return LibraryAudit(Doc(), root_); }

  bool Listed(const std::string& project, const std::string& name) {
    return Audit().catalogue.count("document " + project + "/" + name) > 0;
  }
  int VersionCount(const std::string& project, const std::string& name) {
    const Catalogue catalogue = Audit().catalogue;
    int count = 0;
    while (catalogue.count("version " + project + "/" + name + "#" + std::to_string(count))) ++count;
    return count;
  }
  bool HeldBy(const std::string& project, const std::string& name, const std::string& user) {
    for (const LibraryAudit::Holder& holder : Audit().holders) {
      if (holder.project == project && holder.name == name && holder.user == user) return true;
    }
    return false;
  }
  bool NodeNamed(const std::string& name) {
    for (const auto& [key, value] : Audit().catalogue) {
      if (key.rfind("project ", 0) == 0 && value.rfind("name=" + name + " parent=", 0) == 0) return true;
    }
    return false;
  }

  // The library as it is after the operation (present) or as it was (absent), with
  // its records in order; the check-outs are then given back by their holders.
  void ExpectWholeLibrary(const Operation& operation, const Catalogue& before, const Catalogue& after,
                          const std::string& label) {
    const bool present = operation.isPresent(*this);
    LibraryAudit audit = Audit();
    EXPECT_EQ(Differences(audit.catalogue, present ? after : before), "")
        << label << (present ? " (present)" : " (absent)");
    EXPECT_EQ(audit.problems, std::vector<std::string>()) << label;
    EXPECT_EQ(audit.strays, std::vector<std::string>()) << label << ": files no record names";
    for (int round = 0; round < 8 && !audit.holders.empty(); ++round) {
      const LibraryAudit::Holder holder = audit.holders.front();
      EXPECT_EQ(CheckIn(holder.project, holder.name, "given back", holder.user), 0)
          << label << ": " << holder.user << " checks " << holder.project << "/" << holder.name << " in";
      audit = Audit();
    }
    EXPECT_TRUE(audit.holders.empty()) << label;
    EXPECT_EQ(audit.problems, std::vector<std::string>()) << label << ": after the check-outs were given back";
  }

  // Builds the library, runs the operation once unkilled to learn its disk changes
  // and its result, and keeps the library as it was under "base".
  struct Baseline {
    Catalogue before, after;
    int diskChanges = 0;
  };
  Baseline Prepare(const Operation& operation) {
    Baseline baseline;
    BuildLibrary();
    operation.prepare(*this);
    KeepLibraryAs("base");
    Restart();
    baseline.before = Audit().catalogue;
    bool done = false;
    baseline.diskChanges = CountDiskChanges([&] { done = operation.run(*this); });
    EXPECT_TRUE(done) << operation.name;
    Restart();
    baseline.after = Audit().catalogue;
    EXPECT_NE(baseline.before, baseline.after) << operation.name;
    return baseline;
  }

  // The operation in a child that ends at its n-th disk change; the child's status.
  int RunKilledAt(const Operation& operation, int n) {
    return RunInChild([&] {
      if (!StartDocument()) return 2;
      ExitAtDiskChange(n);
      return operation.run(*this) ? 0 : 3;
    });
  }

  std::string originals_, users_, readers_, loose_, readersPlan_, edition_;
};

std::vector<Operation> Operations() {
  using T = StoreCrashTest;
  const auto nothing = [](T&) {};
  // Files are received once the store runs: a start-up may sweep "TemporaryFiles".
  return {
      {"AddDocument", nothing,
       [](T& t) {
         FileStatistics result;
         return t.Doc().AddDocument("New.doc", t.users_, "ann", "", t.Received("new 1"), 5, result) == 0;
       },
       [](T& t) { return t.Listed(t.users_, "New.doc"); }},
      {"AddDocuments", nothing,
       [](T& t) {
         const std::vector<CWexmoorDoc::AddedDocument> added = t.Doc().AddDocuments(
             t.users_, "ann",
             {{"New.doc", "", t.Received("new 1"), 5},
              {"Notes.doc", "", t.Received("refused"), 7},
              {"Quoted \"new\", 2.doc", "", t.Received("new 2"), 5}});
         return added[0].code == 0 && added[1].code == CWexmoorDoc::kDuplicateFileName && added[2].code == 0;
       },
       [](T& t) { return t.Listed(t.users_, "New.doc"); }},
      {"CheckOutReferencing", nothing,
       [](T& t) { return t.CheckOut(t.originals_, "Plan.doc", true, false) == 0; },
       [](T& t) { return t.HeldBy(t.originals_, "Plan.doc", "ann"); }},
      {"CheckOutReferenced", nothing,
       [](T& t) { return t.CheckOut(t.users_, "Plan.doc", false, true) == 0; },
       [](T& t) { return t.HeldBy(t.users_, "Plan.doc", "ann"); }},
      {"CheckIn", [](T& t) { ASSERT_EQ(t.CheckOut(t.users_, "Notes.doc"), 0); },
       [](T& t) { return t.CheckIn(t.users_, "Notes.doc", "notes 2") == 0; },
       [](T& t) { return t.VersionCount(t.users_, "Notes.doc") == 2; }},
      {"CheckInAlongReferences", [](T& t) { ASSERT_EQ(t.CheckOut(t.originals_, "Plan.doc", true, false), 0); },
       [](T& t) { return t.CheckIn(t.originals_, "Plan.doc", "plan 3") == 0; },
       [](T& t) { return t.VersionCount(t.originals_, "Plan.doc") == 3; }},
      {"ReleaseAlongReferences", [](T& t) { ASSERT_EQ(t.CheckOut(t.originals_, "Plan.doc", true, false), 0); },
       [](T& t) {
         std::string holder;
         return t.Doc().ReleaseCheckOut(t.originals_, "Plan.doc", holder) == 0;
       },
       [](T& t) { return !t.HeldBy(t.originals_, "Plan.doc", "ann"); }},
      {"AddReference", nothing,
       [](T& t) {
         FileStatistics result;
         return t.Doc().AddReference("Loose.doc", t.readers_, "", t.originals_, 1, result, false, false) == 0;
       },
       [](T& t) { return t.Listed(t.readers_, "Loose.doc"); }},
      {"DeleteReferenceDocument", nothing,
       [](T& t) {
         StringList report;
         return t.Doc().DeleteDocument(t.readers_, t.readersPlan_, report) == 0;
       },
       [](T& t) { return !t.Listed(t.readers_, "Plan.doc"); }},
      {"DeleteOriginalDocument", nothing,
       [](T& t) {
         StringList report;
         return t.Doc().DeleteDocument(t.originals_, t.loose_, report) == 0;
       },
       [](T& t) { return !t.Listed(t.originals_, "Loose.doc"); }},
      {"RenameDocument", nothing, [](T& t) { return t.Doc().RenameDocument(t.originals_, t.loose_, "Renamed.doc"); },
       [](T& t) { return t.Listed(t.originals_, "Renamed.doc"); }},
      {"CreateProject", nothing,
       [](T& t) {
         ServerProject created;
         return t.Doc().CreateProject("", "Fresh", "", created, false) == 0;
       },
       [](T& t) { return t.NodeNamed("Fresh"); }},
      {"CreateEdition", nothing,
       [](T& t) {
         ServerProject created;
         return t.Doc().CreateEdition(t.originals_, "Two", "", "ann", "second", created) == 0;
       },
       [](T& t) { return t.NodeNamed("<E> Two"); }},
      {"CreateSupplement", nothing,
       [](T& t) {
         ServerProject created;
         return t.Doc().CreateSupplement(t.edition_, "Extra", "", "ann", "more", created) == 0;
       },
       [](T& t) { return t.NodeNamed("<S> Extra"); }},
      {"DeleteProject", nothing,
       [](T& t) {
         StringList report;
         return t.Doc().DeleteProject(t.users_, "", report) == 0;
       },
       [](T& t) { return !t.Audit().catalogue.count("project " + t.users_); }},
      {"RenameProject", nothing, [](T& t) { return t.Doc().RenameProject(t.readers_, "Renamed readers") == 0; },
       [](T& t) { return t.NodeNamed("Renamed readers"); }},
      // The users file, then the groups file: the account joins its default group either way.
      {"AddAccount", nothing,
       [](T& t) {
         UserAccount account;
         account.SetName("cay");
         account.SetPassword("secret");
         account.SetConnectionType(UserAccount::kTcpIp);
         account.GenerateKeyText();
         return t.Doc().AddUser(account);
       },
       [](T& t) {
         const ServerSettings& settings = t.Doc().GetSettings();
         for (int index = 0; index < settings.GetUserCount(); ++index) {
           if (settings.GetUser(index)->GetName() == "cay") return true;
         }
         return false;
       }},
      {"ChangeGroups", nothing,
       [](T& t) {
         return t.Doc().GetGroups().Change([&t](GroupTable& table) {
           table.groups.push_back({"Leads", GroupRole::Publisher, {t.readers_}, {}});
           return true;
         });
       },
       [](T& t) { return t.Doc().GetGroups().Snapshot()->Find("Leads") != nullptr; }},
  };
}

const Operation& OperationNamed(const std::string& name) {
  static const std::vector<Operation> operations = Operations();
  return *std::find_if(operations.begin(), operations.end(),
                       [&name](const Operation& operation) { return operation.name == name; });
}

class StoreCrashEveryPointTest : public StoreCrashTest, public ::testing::WithParamInterface<Operation> {};

TEST_P(StoreCrashEveryPointTest, AnOperationKilledAtAnyDiskChangeIsWholeOrAbsentAfterARestart) {
  const Operation& operation = GetParam();
  const Baseline baseline = Prepare(operation);
  ASSERT_FALSE(HasFailure()) << "the unkilled run already fails";
  int n = 1;
  for (;; ++n) {
    PutLibraryBack("base");
    const int status = RunKilledAt(operation, n);
    Restart();
    if (status != kKilledExit) {
      EXPECT_EQ(status, 0) << operation.name << " unkilled";
      break;
    }
    ExpectWholeLibrary(operation, baseline.before, baseline.after,
                       std::string(operation.name) + " killed at disk change " + std::to_string(n));
    if (n > baseline.diskChanges) break;  // a run longer than the counted one must not loop for ever
  }
  EXPECT_EQ(n - 1, baseline.diskChanges) << operation.name;
  RecordProperty("killPoints", baseline.diskChanges);
  std::cout << "[ kill points ] " << operation.name << ": " << baseline.diskChanges << std::endl;
}

INSTANTIATE_TEST_SUITE_P(Store, StoreCrashEveryPointTest, ::testing::ValuesIn(Operations()),
                         [](const ::testing::TestParamInfo<Operation>& info) { return info.param.name; });

// An operation killed at one of its disk changes, then its recovery killed at each
// of the recovery's own: what is left to finish is the rename of folders or the
// append of the file list's row.
struct KilledOperation {
  const char* name;
  int changesFromTheEnd;  // where the operation is killed; 0: halfway
};

class StoreRecoveryKillTest : public StoreCrashTest, public ::testing::WithParamInterface<KilledOperation> {};

TEST_P(StoreRecoveryKillTest, ARecoveryKilledAtAnyDiskChangeStillEndsWhole) {
  const Operation& operation = OperationNamed(GetParam().name);
  const Baseline baseline = Prepare(operation);
  ASSERT_FALSE(HasFailure()) << "the unkilled run already fails";
  PutLibraryBack("base");
  const int fromTheEnd = GetParam().changesFromTheEnd;
  ASSERT_EQ(RunKilledAt(operation, fromTheEnd > 0 ? baseline.diskChanges - fromTheEnd : (baseline.diskChanges + 1) / 2),
            kKilledExit);
  KeepLibraryAs("killed");
  int m = 1;
  for (;; ++m) {
    PutLibraryBack("killed");
    const int status = RunInChild([&] {
      ExitAtDiskChange(m);
      return StartDocument() ? 0 : 2;
    });
    Restart();
    ExpectWholeLibrary(operation, baseline.before, baseline.after,
                       status == kKilledExit ? "recovery killed at disk change " + std::to_string(m)
                                             : "recovery run whole");
    if (status != kKilledExit) {
      EXPECT_EQ(status, 0);
      break;
    }
  }
  RecordProperty("recoveryKillPoints", m - 1);
  std::cout << "[ kill points ] recovery of " << operation.name << ": " << m - 1 << std::endl;
}

// The add is killed just before its row is appended.
INSTANTIATE_TEST_SUITE_P(Store, StoreRecoveryKillTest,
                         ::testing::Values(KilledOperation{"DeleteProject", 0}, KilledOperation{"AddDocument", 2},
                                           KilledOperation{"AddDocuments", 2}),
                         [](const ::testing::TestParamInfo<KilledOperation>& info) { return info.param.name; });

TEST_F(StoreCrashTest, ACheckInWhoseReplyWasLostGivesOneVersionWhenTheHolderRepeatsIt) {
  BuildLibrary();
  ASSERT_EQ(CheckOut(users_, "Notes.doc"), 0);
  const int status = RunInChild([&] {
    if (!StartDocument()) return 2;
    ::_exit(CheckIn(users_, "Notes.doc", "notes 2") == 0 ? kKilledExit : 3);  // ends before the reply goes out
  });
  ASSERT_EQ(status, kKilledExit);
  Restart();
  ASSERT_EQ(VersionCount(users_, "Notes.doc"), 2);
  EXPECT_EQ(CheckIn(users_, "Notes.doc", "notes 2"), 0);
  EXPECT_EQ(VersionCount(users_, "Notes.doc"), 2);
  EXPECT_EQ(Audit().problems, std::vector<std::string>());
}

// The documents "<prefix>0.doc", "<prefix>1.doc", ... received for an add.
std::vector<CWexmoorDoc::NewDocument> ReceivedDocuments(StoreCrashTest& test, const std::string& prefix, int count) {
  std::vector<CWexmoorDoc::NewDocument> documents;
  for (int i = 0; i < count; ++i) documents.push_back({prefix + std::to_string(i) + ".doc", "", test.Received("x"), 1});
  return documents;
}

// Every file below `folder`, as a path relative to it.
std::vector<std::string> FilesBelow(const std::string& folder) {
  std::vector<std::string> files;
  if (!std::filesystem::exists(folder)) return files;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(folder)) {
    if (entry.is_regular_file()) files.push_back(std::filesystem::relative(entry.path(), folder).string());
  }
  return files;
}

TEST_F(StoreCrashTest, AStartAfterAKillInsideALargeAddFindsNoTemporaryOfItsCommittedBatch) {
  const int batch = static_cast<int>(CWexmoorDoc::kAddBatch);
  const int tail = 600 - batch;
  const std::string project = NewProject("Large");
  KeepLibraryAs("base");
  Restart();
  const int tailChanges =
      CountDiskChanges([&] { Doc().AddDocuments(project, "ann", ReceivedDocuments(*this, "t", tail)); });
  PutLibraryBack("base");
  Restart();
  const int allChanges =
      CountDiskChanges([&] { Doc().AddDocuments(project, "ann", ReceivedDocuments(*this, "d", 600)); });
  PutLibraryBack("base");
  // Each file of the first batch is renamed into place after its record: a kill a
  // third of a batch before its end lies among those renames.
  const int status = RunInChild([&] {
    if (!StartDocument()) return 2;
    const std::vector<CWexmoorDoc::NewDocument> documents = ReceivedDocuments(*this, "d", 600);
    ExitAtDiskChange(allChanges - tailChanges - batch / 3);
    Doc().AddDocuments(project, "ann", documents);
    return 0;
  });
  ASSERT_EQ(status, kKilledExit);
  Restart();
  const LibraryAudit audit = Audit();
  int listed = 0;
  for (const auto& [key, value] : audit.catalogue) listed += key.rfind("document " + project + "/", 0) == 0;
  EXPECT_EQ(listed, batch) << "the first batch is whole, the second absent";
  EXPECT_EQ(audit.problems, std::vector<std::string>());
  EXPECT_EQ(audit.strays, std::vector<std::string>());
  // Only the files received for the second batch are left over.
  const std::vector<std::string> moved = FilesBelow(root_ + "/" + CWexmoorDoc::kDeletedProjectsFolder);
  EXPECT_EQ(moved.size(), static_cast<std::size_t>(tail));
  for (const std::string& file : moved) {
    EXPECT_NE(file.find("/TemporaryFiles/Temp_"), std::string::npos) << file;
  }
}

}  // namespace
