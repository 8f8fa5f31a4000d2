// The project-tree requests over a real connection on 127.0.0.1: reply ids, codes
// and bodies byte for byte, checked against the inventory read back from disk.
#include <gtest/gtest.h>

#include <cerrno>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <fstream>
#include <initializer_list>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <utility>

#include "common/EditionRecord.h"
#include "common/NameValidation.h"
#include "common/RecordFields.h"
#include "common/SupplementRecord.h"
#include "platform/AtomicFile.h"
#include "platform/DiskChangeHook.h"
#include "platform/fs.h"
#include "server/engine/ServerConsole.h"
#include "server/store/CWexmoorDoc.h"
#include "server/store/StoreLimits.h"
#include "testsupport/TestServer.h"

namespace {

using Status = TestClient::ReceiveStatus;

constexpr const char* kLibraryName = "Default Library Name";
constexpr const char* kRestrictionsReason =
    "\"The following restrictions apply to renaming a document:\r\n"
    " 1. Renamed document cannot have same name as sibling document within project.\r\n"
    " 2. The document cannot be referenced by or contain references to any other document.\r\n\"";
constexpr const char* kInvalidReason = "\"Supplied parameters are invalid.  Document rename aborted.\r\n\"";
constexpr const char* kUnusableNameReason =
    "\"The new name cannot be used: it is longer than 255 bytes or holds characters that a file name cannot.  "
    "Document rename aborted.\r\n\"";

struct Answer {
  MessageId id = 0;
  std::string body;
};

// A request body of quoted fields ending in a line feed.
std::string Body(std::initializer_list<std::string> fields) {
  std::string line;
  for (const std::string& field : fields) line = AppendStringField(field, line);
  return EndRecord(line);
}

std::string Line(const std::string& internalName) { return "\"" + internalName + "\"\n"; }

// The internal name of the project in a 5014 body (second field of its second line).
std::string CreatedInternalName(const std::string& body) {
  std::string name;
  std::string internalName;
  ReadStringField(internalName, ReadStringField(name, body.substr(body.find('\n') + 1)));
  return internalName;
}

// What a 5005 holds for these top-level projects.
std::string TreeText(const PointerArray<ServerProject>& projects) {
  std::string text = "\"Root\",\"Root\"," + std::to_string(projects.GetSize()) + ",0,0,0\n" +
                     EditionRecord().Encode("") + SupplementRecord().Encode("");
  for (int i = 0; i < projects.GetSize(); ++i) text = projects.GetAt(i)->Encode(text);
  return text;
}

const ServerProject* FindNamed(const PointerArray<ServerProject>& projects, const std::string& name) {
  for (int i = 0; i < projects.GetSize(); ++i) {
    const ServerProject* project = projects.GetAt(i);
    if (project->GetName() == name) return project;
    if (const ServerProject* below = FindNamed(project->GetSubProjects(), name)) return below;
  }
  return nullptr;
}

// Whether a 5005 of top-level projects without sub-projects carries as many as its
// root line counts: three lines per project after the root's three.
bool HoldsItsCountOfFlatProjects(const std::string& body) {
  if (body.rfind("\"Root\",\"Root\",", 0) != 0) return false;
  std::string field;
  std::int32_t count = -1;
  ReadIntField(count, ReadStringField(field, ReadStringField(field, body)));
  return std::count(body.begin(), body.end(), '\n') == 3 + 3 * static_cast<std::ptrdiff_t>(count);
}

// The inventory as the store wrote it to disk.
class ReloadedInventory {
 public:
  explicit ReloadedInventory(const std::string& root) {
    std::string fault;
    EXPECT_TRUE(ServerProject::ReadInventoryFile(root + "/" + CWexmoorDoc::kInventoryFileName, projects_, fault))
        << fault;
  }
  ~ReloadedInventory() {
    for (int i = 0; i < projects_.GetSize(); ++i) delete projects_.GetAt(i);
  }
  ReloadedInventory(const ReloadedInventory&) = delete;
  ReloadedInventory& operator=(const ReloadedInventory&) = delete;

  const PointerArray<ServerProject>& Projects() const { return projects_; }
  // The node of that display name; an empty node (and a failure) when none.
  const ServerProject& Named(const std::string& name) const {
    static const ServerProject none;
    const ServerProject* found = FindNamed(projects_, name);
    EXPECT_NE(found, nullptr) << name;
    return found ? *found : none;
  }
  bool IsTopLevel(const std::string& name) const {
    for (int i = 0; i < projects_.GetSize(); ++i) {
      if (projects_.GetAt(i)->GetName() == name) return true;
    }
    return false;
  }

 private:
  PointerArray<ServerProject> projects_;
};

class ProjectTreeRequestsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(server_.Start());
    std::optional<UserAccount> ann = server_.AddUser("ann", "secret");
    ASSERT_TRUE(ann.has_value());
    client_ = server_.MakeClient(*ann);
    ASSERT_TRUE(client_->Connect(server_.Port()));
    TestClient::Reply reply;
    ASSERT_EQ(client_->Logon("ann", "secret", ann->GetLogonCode(), reply), Status::Ok);
    ASSERT_EQ(reply.message.GetMessageId(), MSGID_LOGON_ACCEPTED);
  }
  void TearDown() override { platform::AtomicFile::SetWriteHookForTesting(nullptr); }

  // The reply to one request; id 0 when none came.
  Answer Ask(MessageId id, const std::string& body, const TestClient::SendOptions& options = {}) {
    const std::uint32_t stamp = client_->Send(id, body, options);
    TestClient::Reply reply;
    if (stamp == 0 || client_->Receive(reply) != Status::Ok) return {};
    EXPECT_EQ(reply.message.GetOriginalStamp(), stamp);
    const Msg& message = reply.message;
    return {message.GetMessageId(),
            message.GetBody() ? std::string(message.GetBody(), message.GetBodyLength()) : std::string()};
  }
  // Adds a project through 5012 and returns its internal name.
  std::string AddProject(const std::string& name, const std::string& parent = "") {
    EXPECT_EQ(Ask(MSGID_ADD_PROJECT, Body({parent, name})).id, MSGID_PROJECT_ADDED) << name;
    return Reloaded().Named(name).GetInternalName();
  }
  // Adds a document through the store and returns its statistics.
  FileStatistics AddDocument(const std::string& project, const std::string& name) {
    const std::string received = server_.RootPath() + "/TemporaryFiles/" + name;
    std::ofstream(received, std::ios::binary) << "text";
    FileStatistics statistics;
    EXPECT_EQ(server_.Document().AddDocument(name, project, "ann", "", received, 4, statistics), 0) << name;
    return statistics;
  }
  ReloadedInventory Reloaded() const { return ReloadedInventory(server_.RootPath()); }
  // The internal name the store hands out next.
  std::string NextInternalName() const {
    std::ifstream in(server_.RootPath() + "/GenInternalValue.wxf");
    int high = 0;
    int low = 0;
    char comma = 0;
    in >> high >> comma >> low;
    return "WXFiName_Hi" + std::to_string(high) + "Lo" + std::to_string(low);
  }

  TestServer server_;
  std::unique_ptr<TestClient> client_;
};

TEST_F(ProjectTreeRequestsTest, RefreshOfAnEmptyLibraryIsTheRootLineAndTwoEmptyRecords) {
  const Answer answer = Ask(MSGID_REFRESH_PROJECTS, "");
  EXPECT_EQ(answer.id, MSGID_PROJECT_TREE);
  EXPECT_EQ(answer.body,
            "\"Root\",\"Root\",0,0,0,0\n"
            "1030,1,\"\",\"\",\"00000000000000\",\"\",\"\",\"\",\"\"\n"
            "1020,1,\"\",\"\",\"00000000000000\",\"\",\"\",\"\",\"\",\"\",1\n");
}

TEST_F(ProjectTreeRequestsTest, RefreshOfATreeWithEditionAndSupplementEqualsTheReloadedInventory) {
  const std::string a = AddProject("A");
  AddProject("Sub", a);
  AddProject("C");
  ASSERT_EQ(Ask(MSGID_CREATE_EDITION, Body({a, "2024", "first"})).id, MSGID_EDITION_CREATED);
  const std::string edition = Reloaded().Named("<E> 2024").GetInternalName();
  ASSERT_EQ(Ask(MSGID_CREATE_EDITION, Body({edition, "May", ""})).id, MSGID_EDITION_CREATED);

  const Answer answer = Ask(MSGID_REFRESH_PROJECTS, "ignored");
  EXPECT_EQ(answer.id, MSGID_PROJECT_TREE);
  EXPECT_EQ(answer.body.rfind("\"Root\",\"Root\",2,0,0,0\n", 0), 0u) << answer.body;
  EXPECT_EQ(answer.body, TreeText(Reloaded().Projects()));
}

TEST_F(ProjectTreeRequestsTest, AddProjectPlacesTheProjectAndAnswersEveryRefusalWithItsCode) {
  Answer answer = Ask(MSGID_ADD_PROJECT, Body({"", "Alpha"}));
  EXPECT_EQ(answer.id, MSGID_PROJECT_ADDED);
  EXPECT_EQ(answer.body, Line("") + Reloaded().Named("Alpha").Encode(""));
  EXPECT_TRUE(Reloaded().IsTopLevel("Alpha"));

  answer = Ask(MSGID_ADD_PROJECT, Body({"Root", "Beta"}));
  EXPECT_EQ(answer.id, MSGID_PROJECT_ADDED);
  EXPECT_EQ(answer.body, Line("Root") + Reloaded().Named("Beta").Encode(""));
  EXPECT_TRUE(Reloaded().IsTopLevel("Beta"));

  const std::string alpha = Reloaded().Named("Alpha").GetInternalName();
  answer = Ask(MSGID_ADD_PROJECT, Body({alpha, "Alpha"}));
  EXPECT_EQ(answer.id, MSGID_PROJECT_ADDED);
  EXPECT_EQ(answer.body, Line(alpha) + Reloaded().Named("Alpha").GetSubProjects().GetAt(0)->Encode(""));

  const struct {
    const char* what;
    std::string body;
    const char* code;
  } refusals[] = {{"empty body", "", "1"},          {"only a parent", "abc", "2"},
                  {"blank name", Body({"", "  "}), "2"}, {"slash", Body({"", "a/b"}), "2"},
                  {"name too long", Body({alpha, std::string(kMaxStoredNameBytes + 1, 'n')}), "2"},
                  {"duplicate", Body({"", "Alpha"}), "3"}};
  for (const auto& refusal : refusals) {
    answer = Ask(MSGID_ADD_PROJECT, refusal.body);
    EXPECT_EQ(answer.id, MSGID_ADD_PROJECT_FAILED) << refusal.what;
    EXPECT_EQ(answer.body, refusal.code) << refusal.what;
  }

  // The counter file is written, the inventory is not: nothing was created, and the
  // client hears so as it would for a folder that could not be made.
  const std::string next = NextInternalName();
  int writes = 0;
  platform::AtomicFile::SetWriteHookForTesting([&writes](std::size_t) { return ++writes != 2; });
  answer = Ask(MSGID_ADD_PROJECT, Body({"", "Unsaved"}));
  platform::AtomicFile::SetWriteHookForTesting(nullptr);
  EXPECT_NE(NextInternalName(), next);
  EXPECT_EQ(answer.id, MSGID_ADD_PROJECT_FAILED);
  EXPECT_EQ(answer.body, "4");
  EXPECT_EQ(FindNamed(Reloaded().Projects(), "Unsaved"), nullptr);
}

TEST_F(ProjectTreeRequestsTest, AddOriginalProjectMarksItAndAnswersItsOwnCodes) {
  Answer answer = Ask(MSGID_ADD_ORIGINAL_PROJECT, Body({"", "Orig"}));
  EXPECT_EQ(answer.id, MSGID_ORIGINAL_PROJECT_ADDED);
  EXPECT_TRUE(Reloaded().Named("Orig").IsOriginalProject());
  EXPECT_EQ(answer.body, Line("") + Reloaded().Named("Orig").Encode(""));

  // The next folder already taken as a folder (exists) and as a file (cannot be made).
  platform::fs::CreateFolder(server_.RootPath() + "/" + NextInternalName());
  answer = Ask(MSGID_ADD_ORIGINAL_PROJECT, Body({"", "Exists"}));
  EXPECT_EQ(answer.id, MSGID_ADD_ORIGINAL_PROJECT_FAILED);
  EXPECT_EQ(answer.body, "33");
  std::ofstream(server_.RootPath() + "/" + NextInternalName()) << "in the way";
  answer = Ask(MSGID_ADD_ORIGINAL_PROJECT, Body({"", "Blocked"}));
  EXPECT_EQ(answer.id, MSGID_ADD_ORIGINAL_PROJECT_FAILED);
  EXPECT_EQ(answer.body, "32");

  const std::pair<std::string, const char*> refusals[] = {
      {"", "29"}, {"abc", "30"}, {Body({"", ".."}), "30"}, {Body({"", "Orig"}), "31"}};
  for (const auto& [body, code] : refusals) {
    answer = Ask(MSGID_ADD_ORIGINAL_PROJECT, body);
    EXPECT_EQ(answer.id, MSGID_ADD_ORIGINAL_PROJECT_FAILED) << body;
    EXPECT_EQ(answer.body, code) << body;
  }
  EXPECT_EQ(Reloaded().Projects().GetSize(), 1);
}

TEST_F(ProjectTreeRequestsTest, CreateEditionMakesEditionsAndSupplementsByTheLoggedOnUser) {
  const std::string a = AddProject("A");
  std::optional<UserAccount> bob = server_.AddUser("bob", "secret");
  ASSERT_TRUE(bob.has_value());
  TestClient::SendOptions asBob;
  asBob.userId = static_cast<std::uint32_t>(bob->GetId());

  Answer answer = Ask(MSGID_CREATE_EDITION, Body({a, "2024", "notes"}), asBob);
  EXPECT_EQ(answer.id, MSGID_EDITION_CREATED);
  const ServerProject edition = Reloaded().Named("<E> 2024");
  EXPECT_EQ(answer.body, Line(a) + edition.Encode(""));
  EXPECT_EQ(edition.GetEdition().GetCreator(), "ann");
  EXPECT_EQ(edition.GetEdition().GetComments(), "notes");
  EXPECT_EQ(edition.GetEdition().GetProjectInternalName(), a);
  EXPECT_EQ(Reloaded().Named("A").GetSubProjects().GetAt(0)->GetName(), "<E> 2024");

  answer = Ask(MSGID_CREATE_EDITION, Body({edition.GetInternalName(), "May"}));
  EXPECT_EQ(answer.id, MSGID_EDITION_CREATED);
  const ServerProject supplement = Reloaded().Named("<S> May");
  EXPECT_EQ(answer.body, Line(edition.GetInternalName()) + supplement.Encode(""));
  EXPECT_EQ(supplement.GetSupplement().GetEditionInternalName(), edition.GetInternalName());
  EXPECT_EQ(supplement.GetSupplement().GetProjectInternalName(), a);
  EXPECT_EQ(supplement.GetSupplement().GetCreator(), "ann");

  for (const std::string project : {"", "WXFiName_Hi99Lo99"}) {
    answer = Ask(MSGID_CREATE_EDITION, Body({project, "Top" + project}));
    EXPECT_EQ(answer.id, MSGID_EDITION_CREATED) << project;
    EXPECT_TRUE(Reloaded().IsTopLevel("<E> Top" + project)) << project;
    EXPECT_EQ(Reloaded().Named("<E> Top" + project).GetEdition().GetProjectInternalName(), "");
  }

  const std::pair<std::string, const char*> refusals[] = {
      {"", "24"},
      {Body({a, "2025", std::string(kMaxFreeTextBytes + 1, 'c')}), "59"},
      {Body({a}), "25"},
      {Body({a, "a/b"}), "25"},
      {Body({a, std::string(kMaxStoredNameBytes + 1, 'n')}), "25"},
      {Body({a, "2024"}), "26"}};
  for (const auto& [body, code] : refusals) {
    answer = Ask(MSGID_CREATE_EDITION, body);
    EXPECT_EQ(answer.id, MSGID_CREATE_EDITION_FAILED) << body;
    EXPECT_EQ(answer.body, code) << body;
  }
}

TEST_F(ProjectTreeRequestsTest, DeleteProjectReportsDependentsAndKeepsTheFilesOfADeletedOne) {
  const std::string a = AddProject("A");
  const std::string b = AddProject("B");
  const std::string c = AddProject("C", b);
  const FileStatistics plan = AddDocument(a, "Plan.doc");
  FileStatistics reference;
  ASSERT_EQ(server_.Document().AddReference("Plan.doc", b, "", a, 1, reference, false, false), 0);

  EXPECT_EQ(Ask(MSGID_DELETE_PROJECT, "").body, "56");
  Answer answer = Ask(MSGID_DELETE_PROJECT, Body({""}));
  EXPECT_EQ(answer.id, MSGID_DELETE_PROJECT_FAILED);
  EXPECT_EQ(answer.body, "56");
  answer = Ask(MSGID_DELETE_PROJECT, Body({"", "WXFiName_Hi99Lo99"}));
  EXPECT_EQ(answer.id, MSGID_PROJECT_DELETED);
  EXPECT_EQ(answer.body, "");

  answer = Ask(MSGID_DELETE_PROJECT, Body({"", a}));
  EXPECT_EQ(answer.id, MSGID_DELETE_PROJECT_FAILED);
  EXPECT_EQ(answer.body, "[A (" + a + ")]:[Plan.doc;1 (" + plan.GetVersion(0).GetInternalFileName() +
                             ")] has dependent in project [" + kLibraryName + "->B (" + b + ")]\r\n");
  EXPECT_TRUE(platform::fs::IsFolder(server_.RootPath() + "/" + a));

  answer = Ask(MSGID_DELETE_PROJECT, Body({b, c}));
  EXPECT_EQ(answer.id, MSGID_PROJECT_DELETED);
  EXPECT_EQ(answer.body, "");
  EXPECT_FALSE(platform::fs::Exists(server_.RootPath() + "/" + b + "/" + c));
  EXPECT_TRUE(platform::fs::IsFolder(server_.RootPath() + "/DeletedProjects/" + b + "/" + c));
  EXPECT_EQ(Reloaded().Named("B").GetSubProjectCount(), 0);

  ASSERT_EQ(Ask(MSGID_DELETE_PROJECT, Body({"Root", b})).id, MSGID_PROJECT_DELETED);
  EXPECT_TRUE(platform::fs::IsFolder(server_.RootPath() + "/DeletedProjects/" + kLibraryName + "/" + b));
  EXPECT_EQ(Ask(MSGID_DELETE_PROJECT, Body({"", a})).id, MSGID_PROJECT_DELETED);
  EXPECT_EQ(Reloaded().Projects().GetSize(), 0);
}

TEST_F(ProjectTreeRequestsTest, RenameProjectRefusesBlanksAndSiblingNamesOnly) {
  const std::string a = AddProject("A");
  AddProject("C");
  const std::string sub = AddProject("Sub", a);
  const std::string refused[] = {"",
                                 Body({a}),
                                 Body({a, "   "}),
                                 Body({a, "C"}),
                                 Body({a, "x\\y"}),
                                 Body({"WXFiName_Hi99Lo99", "New"})};
  for (const std::string& body : refused) {
    const Answer answer = Ask(MSGID_RENAME_PROJECT, body);
    EXPECT_EQ(answer.id, MSGID_RENAME_PROJECT_FAILED) << body;
    EXPECT_EQ(answer.body, "") << body;
  }
  const Answer answer = Ask(MSGID_RENAME_PROJECT, Body({sub, "  C "}));
  EXPECT_EQ(answer.id, MSGID_PROJECT_RENAMED);
  EXPECT_EQ(answer.body, "");
  EXPECT_EQ(Reloaded().Named("A").GetSubProjects().GetAt(0)->GetName(), "C");
  EXPECT_EQ(Reloaded().Named("A").GetInternalName(), a);
}

TEST_F(ProjectTreeRequestsTest, RenameDocumentAnswersWithTheProjectLineAndTheReason) {
  const std::string a = AddProject("A");
  const std::string b = AddProject("B");
  const std::string plan = AddDocument(a, "Plan.doc").GetInternalFileName();
  const std::string notes = AddDocument(a, "Notes.txt").GetInternalFileName();
  FileStatistics reference;
  ASSERT_EQ(server_.Document().AddReference("Plan.doc", b, "", a, 1, reference, false, false), 0);

  for (const std::string& body : {std::string(), Body({a}), Body({a, notes})}) {
    const Answer answer = Ask(MSGID_RENAME_DOCUMENT, body);
    EXPECT_EQ(answer.id, MSGID_RENAME_DOCUMENT_FAILED) << body;
    EXPECT_EQ(answer.body, "") << body;
  }
  const struct {
    std::string body;
    std::string project;
    const char* reason;
  } failures[] = {{Body({a, "", "New.txt"}), a, kInvalidReason},
                  {Body({a, notes, "  "}), a, kInvalidReason},
                  {Body({"WXFiName_Hi99Lo99", notes, "New.txt"}), "WXFiName_Hi99Lo99", kInvalidReason},
                  {Body({a, plan, "New.doc"}), a, kRestrictionsReason},
                  {Body({a, notes, "Plan.doc"}), a, kRestrictionsReason},
                  {Body({a, notes, "a/b"}), a, kUnusableNameReason},
                  {Body({a, notes, std::string(1536 * 1024, 'n')}), a, kUnusableNameReason}};
  for (const auto& failure : failures) {
    const Answer answer = Ask(MSGID_RENAME_DOCUMENT, failure.body);
    EXPECT_EQ(answer.id, MSGID_RENAME_DOCUMENT_FAILED) << failure.body;
    EXPECT_EQ(answer.body, Line(failure.project) + failure.reason) << failure.body;
  }

  const Answer answer = Ask(MSGID_RENAME_DOCUMENT, Body({a, notes, " Minutes.txt "}));
  EXPECT_EQ(answer.id, MSGID_DOCUMENT_RENAMED);
  EXPECT_EQ(answer.body, Line(a));
  FileStatistics renamed;
  int lineCounter = 0;
  ASSERT_EQ(renamed.Load(server_.RootPath() + "/" + a + "/" + notes + "_FileStatistics.wxf", lineCounter), 0);
  EXPECT_EQ(renamed.GetName(), "Minutes.txt");
}

TEST_F(ProjectTreeRequestsTest, RenameOnAFullDiskSaysTheRecordsCouldNotBeWrittenAndTheConsoleNamesTheFolder) {
  const std::string a = AddProject("A");
  const std::string notes = AddDocument(a, "Notes.txt").GetInternalFileName();
  platform::SetDiskFailureForTesting([](const std::string&) { return ENOSPC; });
  const Answer answer = Ask(MSGID_RENAME_DOCUMENT, Body({a, notes, "Minutes.txt"}));
  platform::SetDiskFailureForTesting(nullptr);
  EXPECT_EQ(answer.id, MSGID_RENAME_DOCUMENT_FAILED);
  EXPECT_EQ(answer.body, Line(a) +
                             "\"The server could not write the library's records (its folder is read-only or its disk "
                             "is full).  Document rename aborted.\r\n\"");
  const std::vector<std::string> lines = server_.App().GetConsole()->GetStatusLines();
  EXPECT_EQ(lines.back(), "The folder \"" + server_.Document().GetProjectFolderPath(a) +
                              "\" could not be written: the renaming of a document was refused.");
  EXPECT_EQ(Ask(MSGID_RENAME_DOCUMENT, Body({a, notes, "Minutes.txt"})).id, MSGID_DOCUMENT_RENAMED);
}

// Refreshes on one connection while another creates and deletes projects: every tree
// is read whole (under the sanitizers a node or slot freed during encoding would show;
// the hundred projects make each encoding long enough to be caught in the act).
TEST_F(ProjectTreeRequestsTest, RefreshWhileProjectsComeAndGoSeesWholeTrees) {
  for (int i = 0; i < 100; ++i) {
    ServerProject created;
    ASSERT_EQ(server_.Document().CreateProject("", "Q" + std::to_string(i), "", created, false), 0);
  }
  std::optional<UserAccount> bob = server_.AddUser("bob", "secret");
  ASSERT_TRUE(bob.has_value());
  std::unique_ptr<TestClient> writer = server_.MakeClient(*bob);
  ASSERT_TRUE(writer->Connect(server_.Port()));
  TestClient::Reply reply;
  ASSERT_EQ(writer->Logon("bob", "secret", bob->GetLogonCode(), reply), Status::Ok);

  std::atomic<bool> done{false};
  std::atomic<int> changed{0};
  std::thread changes([&] {
    for (int i = 0; i < 40; ++i) {
      TestClient::Reply answer;
      writer->Send(MSGID_ADD_PROJECT, Body({"", "P" + std::to_string(i)}));
      if (writer->Receive(answer) != Status::Ok || answer.message.GetMessageId() != MSGID_PROJECT_ADDED) break;
      writer->Send(MSGID_DELETE_PROJECT, Body({"", CreatedInternalName(answer.message.GetBody())}));
      if (writer->Receive(answer) != Status::Ok || answer.message.GetMessageId() != MSGID_PROJECT_DELETED) break;
      ++changed;
    }
    done = true;
  });
  int refreshes = 0;
  while (!done) {
    const Answer answer = Ask(MSGID_REFRESH_PROJECTS, "");
    EXPECT_EQ(answer.id, MSGID_PROJECT_TREE);
    EXPECT_TRUE(HoldsItsCountOfFlatProjects(answer.body)) << answer.body.substr(0, 40);
    if (answer.id != MSGID_PROJECT_TREE) break;
    ++refreshes;
  }
  changes.join();
  EXPECT_EQ(changed, 40);
  EXPECT_GT(refreshes, 0);
  EXPECT_EQ(Ask(MSGID_REFRESH_PROJECTS, "").body, TreeText(Reloaded().Projects()));
}

}  // namespace
