// Check-out, check-in and add-documents requests end to end over 127.0.0.1:
// reply bodies byte for byte, the files that travel both ways, the acting user,
// and the temporary folder left empty.
#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "common/RecordFields.h"
#include "common/WireCapabilities.h"
#include "platform/DiskChangeHook.h"
#include "platform/ScratchFolder.h"
#include "platform/fs.h"
#include "server/engine/EngineTestLibrary_test.h"
#include "server/engine/LibraryRequestsTestLibrary_test.h"
#include "server/engine/ServerConsole.h"
#include "server/store/CWexmoorDoc.h"
#include "server/store/StoreFilePaths.h"
#include "server/store/StoreLimits.h"

namespace {

constexpr int kBigFileSize = 50 * 1024 * 1024;
constexpr int kLongWaitMs = 120000;  // a 50 MB transfer under the sanitizers

using enginetest::Content;

struct Upload {
  std::string name;
  std::string bytes;
};

// "project",count then "name",size,"comments" per file, as a client sends 5018
// and 5026.
std::string FilesBody(const std::string& project, const std::vector<Upload>& files, const std::string& comments) {
  std::string body = EndRecord(AppendIntField(static_cast<std::int32_t>(files.size()), AppendStringField(project, "")));
  for (const Upload& file : files) {
    body = AppendIntField(static_cast<std::int32_t>(file.bytes.size()), AppendStringField(file.name, body));
    body = EndRecord(AppendStringField(comments, body));
  }
  return body;
}

std::vector<std::string> BytesOf(const std::vector<Upload>& files) {
  std::vector<std::string> bytes;
  for (const Upload& file : files) bytes.push_back(file.bytes);
  return bytes;
}

class CheckOutRequestsTest : public LibraryRequestsTest {
 protected:
  void SetUp() override {
    LibraryRequestsTest::SetUp();
    bob_ = User("bob");
    project_ = NewProject("Plans");
  }

  UserAccount User(const std::string& name) {
    std::optional<UserAccount> account = server_.AddUser(name, "secret");
    EXPECT_TRUE(account.has_value());
    return account.value_or(UserAccount());
  }
  // `logonSecondTime` announces the client's protocol extensions; empty: none.
  std::unique_ptr<TestClient> LoggedOn(UserAccount& account, const std::string& logonSecondTime = "") {
    std::unique_ptr<TestClient> client = server_.MakeClient(account);
    client->SetLogonSecondTime(logonSecondTime);
    EXPECT_TRUE(client->Connect(server_.Port()));
    TestClient::Reply reply;
    EXPECT_EQ(client->Logon(account.GetName(), "secret", account.GetLogonCode(), reply), Status::Ok);
    EXPECT_EQ(reply.message.GetMessageId(), MSGID_LOGON_ACCEPTED);
    return client;
  }
  // Sends a request with its files and returns the answer to it.
  static TestClient::Reply Exchange(TestClient& client, MessageId id, const std::string& body,
                                    const std::vector<std::string>& files = {}, TestClient::SendOptions options = {}) {
    TestClient::Reply reply;
    options.timeoutMs = kLongWaitMs;
    const std::uint32_t stamp = client.SendWithFiles(id, body, files, options);
    EXPECT_NE(stamp, 0u);
    EXPECT_EQ(client.Receive(reply, kLongWaitMs), Status::Ok);
    EXPECT_EQ(reply.message.GetOriginalStamp(), stamp);
    return reply;
  }

  // A document of the project with `versions` versions, version v holding
  // Content(size, seed + v).
  void StoreDocument(const std::string& name, int versions, std::size_t size, unsigned seed) {
    AddDocument(project_, name, Content(size, seed + 1));
    for (int version = 2; version <= versions; ++version) CheckIn(project_, name, Content(size, seed + version));
  }

  std::string Folder() { return Doc().GetProjectFolderPath(project_) + "/"; }
  std::string InternalName(const std::string& name) {
    ProjectFileList list;
    EXPECT_TRUE(list.Load(ProjectFileListPath(Folder(), project_)));
    return list.Lookup(name);
  }
  FileStatistics Statistics(const std::string& name) {
    FileStatistics statistics;
    int lines = 0;
    EXPECT_EQ(statistics.Load(StatisticsPath(Folder(), InternalName(name)), lines), 0) << name;
    return statistics;
  }
  std::string StoredFile(const std::string& name, int version) {
    return VersionFile(project_, InternalName(name), version);
  }
  // Names of the versions that somebody holds.
  std::vector<std::string> Holders(const std::string& name) {
    const FileStatistics statistics = Statistics(name);
    std::vector<std::string> holders;
    for (int i = 0; i < statistics.GetVersionCount(); ++i) {
      const std::string& holder = statistics.GetVersion(i).GetCheckedOutTo();
      if (!holder.empty()) holders.push_back(holder);
    }
    return holders;
  }
  std::vector<std::string> TemporaryFiles() {
    std::vector<platform::fs::FolderEntry> entries;
    platform::fs::ListFolder(server_.RootPath() + "/TemporaryFiles", entries);
    std::vector<std::string> names;
    for (const auto& entry : entries) names.push_back(entry.name);
    return names;
  }
  std::set<std::string> LibraryFiles() {
    std::set<std::string> files;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(server_.RootPath())) {
      if (entry.path().filename() != "GenInternalValue.wxf") files.insert(entry.path().string());
    }
    return files;
  }
  std::string CheckOutBody(const std::string& rows, int count) {
    return AppendStringField(project_, "") + "," + std::to_string(count) + ",0,0\n" + rows;
  }

  UserAccount bob_;
  std::string project_;
};

// --- add documents (5018) ----------------------------------------------------

TEST_F(CheckOutRequestsTest, AddedFilesArriveByteForByteInAnyPiecesAsReadOnlyVersions) {
  struct Batch {
    std::vector<Upload> files;
    std::size_t pieceSize;
  };
  const std::vector<Batch> batches = {
      {{{"empty", ""}, {"one", "x"}, {"big", Content(kBigFileSize, 1)}}, 1024 * 1024},
      {{{"seven", Content(3000, 2)}}, 7},
      {{{"sixty", Content(200000, 3)}}, 60000},
  };
  for (const Batch& batch : batches) {
    TestClient::SendOptions options;
    options.pieceSize = batch.pieceSize;
    options.pauseMs = 1;
    const TestClient::Reply reply = Exchange(
        *client_, MSGID_ADD_DOCUMENTS, FilesBody(project_, batch.files, "first\nline"), BytesOf(batch.files), options);
    ASSERT_EQ(reply.message.GetMessageId(), MSGID_ADD_DOCUMENTS_RESULT);
    std::string expected = AppendStringField(project_, "") + "," + std::to_string(batch.files.size()) + "\n";
    for (const Upload& file : batch.files) {
      expected +=
          "\"" + file.name + "\",\"" + InternalName(file.name) + "\",1," + std::to_string(file.bytes.size()) + ",1,0\n";
      EXPECT_EQ(platform::ScratchFolder::Read(StoredFile(file.name, 1)), file.bytes) << file.name;
      EXPECT_TRUE(platform::fs::IsReadOnly(StoredFile(file.name, 1))) << file.name;
      EXPECT_EQ(Statistics(file.name).GetComments(), "first\nline");
    }
    EXPECT_EQ(BodyOf(reply), expected);
    EXPECT_EQ(TemporaryFiles(), std::vector<std::string>());
  }
}

TEST_F(CheckOutRequestsTest, RefusedAddsAreReportedPerFileAndLeaveNothingBehind) {
  StoreDocument("taken", 1, 10, 0);
  const std::set<std::string> before = LibraryFiles();
  const std::vector<Upload> files = {{"taken", "abc"}, {"../x", "def"}, {"a/b", "ghi"}};
  TestClient::Reply reply = Exchange(*client_, MSGID_ADD_DOCUMENTS, FilesBody(project_, files, ""), BytesOf(files));
  const std::string rows = R"("taken","",-1,0,0,10
"../x","",-1,0,0,8
"a/b","",-1,0,0,8
)";
  EXPECT_EQ(BodyOf(reply), AppendStringField(project_, "") + ",3\n" + rows);

  const std::vector<Upload> two = {{"a", "1"}, {"b", ""}};
  reply = Exchange(*client_, MSGID_ADD_DOCUMENTS, FilesBody("WXFiName_Hi9Lo9", two, ""), BytesOf(two));
  EXPECT_EQ(BodyOf(reply), "\"WXFiName_Hi9Lo9\",2\n\"a\",\"\",-1,0,0,9\n\"b\",\"\",-1,0,0,9\n");

  EXPECT_EQ(LibraryFiles(), before);
  EXPECT_FALSE(platform::fs::Exists(server_.RootPath() + "/x"));
  EXPECT_EQ(TemporaryFiles(), std::vector<std::string>());
}

// --- check-out (5023) --------------------------------------------------------

TEST_F(CheckOutRequestsTest, CountZeroChecksOutTheLatestOfEveryDocumentInListOrder) {
  StoreDocument("d1", 2, 100, 10);
  StoreDocument("d2", 1, 0, 20);
  const TestClient::Reply reply = Exchange(*client_, MSGID_CHECK_OUT, CheckOutBody("", 0));
  ASSERT_EQ(reply.message.GetMessageId(), MSGID_CHECKED_OUT_DOCUMENTS);
  EXPECT_EQ(BodyOf(reply), AppendStringField(project_, "") + ",2,\"d1\",2,1,100\n\"d2\",1,1,0\n");
  ASSERT_EQ(reply.files.size(), 2u);
  EXPECT_EQ(reply.files[0], Content(100, 12));
  EXPECT_EQ(reply.files[1], "");
  EXPECT_EQ(Holders("d1"), std::vector<std::string>{"ann"});
  EXPECT_EQ(Holders("d2"), std::vector<std::string>{"ann"});
}

TEST_F(CheckOutRequestsTest, DocumentsThatCannotBeCheckedOutGetFailedRowsWhileTheRestAreSent) {
  for (const char* name : {"mine", "held", "lost", "last"}) StoreDocument(name, 1, 50, name[1]);
  ASSERT_EQ(Doc().CheckOutDocuments(project_, "held", -1, "bob", false, false).code, 0);
  ASSERT_TRUE(platform::fs::SetReadOnly(StoredFile("lost", 1), false));
  ASSERT_TRUE(std::filesystem::remove(StoredFile("lost", 1)));

  const TestClient::Reply reply = Exchange(
      *client_, MSGID_CHECK_OUT, CheckOutBody("\"mine\",0\n\"nosuch\",0\n\"held\",0\n\"lost\",1\n\"last\",1\n", 5));
  EXPECT_EQ(BodyOf(reply), AppendStringField(project_, "") +
                               ",5,\"mine\",1,1,50\n\"nosuch\",-1,0,0\n\"held\",-1,0,"
                               "0\n\"lost\",-1,0,0\n\"last\",1,1,50\n");
  ASSERT_EQ(reply.files.size(), 2u);
  EXPECT_EQ(reply.files[0], Content(50, 'i' + 1));
  EXPECT_EQ(reply.files[1], Content(50, 'a' + 1));
  EXPECT_EQ(Holders("held"), std::vector<std::string>{"bob"});
  EXPECT_EQ(Holders("lost"),
            std::vector<std::string>());  // nobody waits for a file that never came
}

// A check-out whose reply was lost is asked for again by its holder: the same row and
// file come back and the record stays as it was; anybody else is still refused.
TEST_F(CheckOutRequestsTest, TheHolderAskingAgainGetsTheFileOnceMoreAndOthersAreStillRefused) {
  StoreDocument("d1", 2, 40, 100);
  const std::string okRow = AppendStringField(project_, "") + ",1,\"d1\",2,1,40\n";
  ASSERT_EQ(BodyOf(Exchange(*client_, MSGID_CHECK_OUT, CheckOutBody("\"d1\",2\n", 1))), okRow);
  const std::string reference = Statistics("d1").GetCheckOutReference();
  const std::set<std::string> before = LibraryFiles();

  const TestClient::Reply again = Exchange(*client_, MSGID_CHECK_OUT, CheckOutBody("\"d1\",2\n", 1));
  ASSERT_EQ(again.message.GetMessageId(), MSGID_CHECKED_OUT_DOCUMENTS);
  EXPECT_EQ(BodyOf(again), okRow);
  ASSERT_EQ(again.files.size(), 1u);
  EXPECT_EQ(again.files[0], Content(40, 102));
  EXPECT_EQ(Holders("d1"), std::vector<std::string>{"ann"});
  EXPECT_EQ(Statistics("d1").GetCheckOutReference(), reference);
  EXPECT_EQ(LibraryFiles(), before);

  std::unique_ptr<TestClient> bob = LoggedOn(bob_);
  const TestClient::Reply refused = Exchange(*bob, MSGID_CHECK_OUT, CheckOutBody("\"d1\",2\n", 1));
  EXPECT_EQ(BodyOf(refused), AppendStringField(project_, "") + ",1,\"d1\",-1,0,0\n");
  EXPECT_TRUE(refused.files.empty());
  EXPECT_EQ(Holders("d1"), std::vector<std::string>{"ann"});
}

TEST_F(CheckOutRequestsTest, AnUndoneCheckOutFreesOnlyTheHoldersDocumentsAndMakesNoVersion) {
  StoreDocument("d1", 2, 40, 100);
  StoreDocument("d2", 1, 40, 200);
  std::unique_ptr<TestClient> bob =
      LoggedOn(bob_, WireCapabilities::Ours().Announcement(WireCapabilities::Side::kClient));
  ASSERT_EQ(Exchange(*bob, MSGID_CHECK_OUT, CheckOutBody("\"d1\",2\n", 1)).message.GetMessageId(),
            MSGID_CHECKED_OUT_DOCUMENTS);
  ASSERT_EQ(Exchange(*client_, MSGID_CHECK_OUT, CheckOutBody("\"d2\",1\n", 1)).message.GetMessageId(),
            MSGID_CHECKED_OUT_DOCUMENTS);
  const std::set<std::string> before = LibraryFiles();

  // The count bounds the rows read, as in every request.
  const std::string body = EndRecord(AppendIntField(4, AppendStringField(project_, ""))) +
                           "\"d1\"\n\"d2\"\n\"absent\"\n";
  const TestClient::Reply reply = Exchange(*bob, MSGID_UNDO_CHECK_OUT, body);
  ASSERT_EQ(reply.message.GetMessageId(), MSGID_UNDO_CHECK_OUT_RESULT);
  EXPECT_EQ(BodyOf(reply), AppendStringField(project_, "") + ",3\n\"d1\",0\n\"d2\",16\n\"absent\",18\n");
  EXPECT_TRUE(Holders("d1").empty());
  EXPECT_EQ(Statistics("d1").GetVersionCount(), 2);
  EXPECT_EQ(Holders("d2"), std::vector<std::string>{"ann"});
  EXPECT_EQ(LibraryFiles(), before);
  EXPECT_TRUE(TemporaryFiles().empty());

  // Given back means free: another user checks it out at once; the holder undoing twice is told nothing is held.
  ASSERT_EQ(BodyOf(Exchange(*client_, MSGID_CHECK_OUT, CheckOutBody("\"d1\",2\n", 1))),
            AppendStringField(project_, "") + ",1,\"d1\",2,1,40\n");
  const std::string again = EndRecord(AppendIntField(1, AppendStringField(project_, ""))) + "\"d1\"\n";
  EXPECT_EQ(BodyOf(Exchange(*bob, MSGID_UNDO_CHECK_OUT, again)), AppendStringField(project_, "") + ",1\n\"d1\",16\n");
}

TEST_F(CheckOutRequestsTest, RowsAreReadFromTheirOwnLinesAndOnlyAsFarAsTheyGo) {
  StoreDocument("d1", 3, 10, 30);
  StoreDocument("doc2", 2, 20, 40);
  const TestClient::Reply reply = Exchange(*client_, MSGID_CHECK_OUT, CheckOutBody("\"d1\"\n\"doc2\",1\n", 1000000));
  EXPECT_EQ(BodyOf(reply), AppendStringField(project_, "") + ",2,\"d1\",3,1,10\n\"doc2\",1,1,20\n");
  ASSERT_EQ(reply.files.size(), 2u);
  EXPECT_EQ(reply.files[1], Content(20, 41));
}

TEST_F(CheckOutRequestsTest, OnlyLatestSettingChecksOutTheLatestWhateverIsAsked) {
  StoreDocument("d1", 3, 10, 50);
  Doc().SetOnlyLatestCheckOut(true);
  const TestClient::Reply reply = Exchange(*client_, MSGID_CHECK_OUT, CheckOutBody("\"d1\",1\n", 1));
  EXPECT_EQ(BodyOf(reply), AppendStringField(project_, "") + ",1,\"d1\",3,1,10\n");
  ASSERT_EQ(reply.files.size(), 1u);
  EXPECT_EQ(reply.files[0], Content(10, 53));
}

TEST_F(CheckOutRequestsTest, CheckOutOfAMissingProjectIsRefused) {
  const TestClient::Reply reply = Exchange(*client_, MSGID_CHECK_OUT, "\"WXFiName_Hi9Lo9\",0,0,0\n");
  EXPECT_EQ(reply.message.GetMessageId(), MSGID_CHECK_OUT_FAILED);
  EXPECT_EQ(BodyOf(reply), "21");
}

// --- check-in (5026) ---------------------------------------------------------

TEST_F(CheckOutRequestsTest, CheckInOfABigFileInPiecesMakesTheNextVersion) {
  StoreDocument("d1", 1, 10, 60);
  ASSERT_EQ(Exchange(*client_, MSGID_CHECK_OUT, CheckOutBody("\"d1\",0\n", 1)).files.size(), 1u);
  const std::vector<Upload> files = {{"d1", Content(kBigFileSize, 61)}};
  TestClient::SendOptions options;
  options.pieceSize = 1024 * 1024;
  options.pauseMs = 1;
  const TestClient::Reply reply =
      Exchange(*client_, MSGID_CHECK_IN, FilesBody(project_, files, "second"), BytesOf(files), options);
  ASSERT_EQ(reply.message.GetMessageId(), MSGID_CHECK_IN_RESULT);
  EXPECT_EQ(BodyOf(reply), AppendStringField(project_, "") + ",1\n\"d1\",\"" + InternalName("d1") + "\",-1," +
                               std::to_string(kBigFileSize) + ",1,0\n");
  EXPECT_EQ(platform::ScratchFolder::Read(StoredFile("d1", 2)), files[0].bytes);
  const FileStatistics statistics = Statistics("d1");
  EXPECT_EQ(statistics.GetVersionCount(), 2);
  EXPECT_EQ(statistics.GetVersion(1).GetComments(), "second");
  EXPECT_EQ(Holders("d1"), std::vector<std::string>());
  EXPECT_EQ(TemporaryFiles(), std::vector<std::string>());
}

TEST_F(CheckOutRequestsTest, RefusedCheckInsGetTheirCodesAndLeaveNoFile) {
  StoreDocument("held", 1, 10, 70);
  StoreDocument("free", 1, 10, 80);
  ASSERT_EQ(Doc().CheckOutDocuments(project_, "held", -1, "bob", false, false).code, 0);
  const std::vector<Upload> files = {{"held", "new"}, {"free", "new"}, {"nosuch", ""}};
  TestClient::Reply reply = Exchange(*client_, MSGID_CHECK_IN, FilesBody(project_, files, ""), BytesOf(files));
  EXPECT_EQ(BodyOf(reply), AppendStringField(project_, "") +
                               ",3\n\"held\",\"\",-1,-1,0,16\n\"free\",\"\",-1,"
                               "-1,0,15\n\"nosuch\",\"\",-1,-1,0,18\n");

  reply = Exchange(*client_, MSGID_CHECK_IN, FilesBody("WXFiName_Hi9Lo9", files, ""), BytesOf(files));
  EXPECT_EQ(BodyOf(reply),
            "\"WXFiName_Hi9Lo9\",3\n\"held\",\"\",-1,-1,0,"
            "14\n\"free\",\"\",-1,-1,0,14\n"
            "\"nosuch\",\"\",-1,-1,0,14\n");
  EXPECT_EQ(Statistics("held").GetVersionCount(), 1);
  EXPECT_EQ(TemporaryFiles(), std::vector<std::string>());
}

bool HasLine(const std::vector<std::string>& lines, const std::vector<std::string>& parts) {
  return std::any_of(lines.begin(), lines.end(), [&](const std::string& line) {
    return std::all_of(parts.begin(), parts.end(),
                       [&](const std::string& part) { return line.find(part) != std::string::npos; });
  });
}

TEST_F(CheckOutRequestsTest, CommentsLongerThanTheStoreTakesAreRefusedBeforeAnythingIsStored) {
  StoreDocument("d1", 1, 10, 90);
  ASSERT_EQ(Exchange(*client_, MSGID_CHECK_OUT, CheckOutBody("\"d1\",0\n", 1)).files.size(), 1u);
  const std::set<std::string> before = LibraryFiles();
  const std::string longest(kMaxFreeTextBytes, 'c');
  const std::string head = AppendStringField(project_, "") + ",1\n";
  const std::vector<Upload> added = {{"d2", "new"}};
  const std::vector<Upload> checkedIn = {{"d1", "new"}};
  TestClient::Reply reply =
      Exchange(*client_, MSGID_ADD_DOCUMENTS, FilesBody(project_, added, longest + "c"), BytesOf(added));
  EXPECT_EQ(BodyOf(reply), head + "\"d2\",\"\",-1,0,0,58\n");
  reply = Exchange(*client_, MSGID_CHECK_IN, FilesBody(project_, checkedIn, longest + "c"), BytesOf(checkedIn));
  EXPECT_EQ(BodyOf(reply), head + "\"d1\",\"\",-1,-1,0,58\n");
  // The console names the project's folder once for both (within the minute).
  const std::vector<std::string> lines = server_.App().GetConsole()->GetStatusLines();
  EXPECT_EQ(std::count_if(lines.begin(), lines.end(),
                          [](const std::string& line) { return line.find("A comment longer than") == 0; }),
            1);
  EXPECT_TRUE(
      HasLine(lines, {"A comment longer than", Doc().GetProjectFolderPath(project_), "the add of \"d2\" by ann"}));
  EXPECT_EQ(LibraryFiles(), before);
  EXPECT_EQ(TemporaryFiles(), std::vector<std::string>());

  reply = Exchange(*client_, MSGID_CHECK_IN, FilesBody(project_, checkedIn, longest), BytesOf(checkedIn));
  EXPECT_EQ(BodyOf(reply), head + "\"d1\",\"" + InternalName("d1") + "\",-1,3,1,0\n");
  EXPECT_TRUE(Statistics("d1").GetVersion(1).GetComments() == longest);
}

// --- a disk or a library that cannot be written -------------------------------

// Makes the disk refuse changes as `failure` says, for as long as it lives.
class DiskFailure {
 public:
  explicit DiskFailure(platform::DiskFailure failure) { platform::SetDiskFailureForTesting(std::move(failure)); }
  ~DiskFailure() { platform::SetDiskFailureForTesting(nullptr); }
  DiskFailure(const DiskFailure&) = delete;
  DiskFailure& operator=(const DiskFailure&) = delete;

  // Every change of a path that begins with `prefix` fails with `error`.
  static platform::DiskFailure Under(const std::string& prefix, int error) {
    return [prefix, error](const std::string& path) { return path.rfind(prefix, 0) == 0 ? error : 0; };
  }
};

TEST_F(CheckOutRequestsTest, FilesTheDiskDoesNotTakeAreRefusedWithAReplyAndAConsoleLine) {
  StoreDocument("d1", 1, 10, 100);
  ASSERT_EQ(Exchange(*client_, MSGID_CHECK_OUT, CheckOutBody("\"d1\",0\n", 1)).files.size(), 1u);
  const std::string temporary = server_.RootPath() + "/TemporaryFiles";
  const std::string full = "No space left on device";
  const std::string denied = "Permission denied";
  const std::string project = Doc().GetProjectFolderPath(project_) + "\" could not be written";
  const struct {
    std::string what;
    platform::DiskFailure failure;
    MessageId request;
    std::vector<std::string> line;  // parts of the console line
  } cases[] = {
      {"full disk, add", [](const std::string&) { return ENOSPC; }, MSGID_ADD_DOCUMENTS, {temporary, full, "ann"}},
      {"full disk, check-in", [](const std::string&) { return ENOSPC; }, MSGID_CHECK_IN, {temporary, full}},
      {"temporary folder, add", DiskFailure::Under(temporary + "/", EACCES), MSGID_ADD_DOCUMENTS, {temporary, denied}},
      {"temporary folder, check-in", DiskFailure::Under(temporary + "/", EACCES), MSGID_CHECK_IN, {temporary, denied}},
      {"project folder, check-in", DiskFailure::Under(Folder(), EACCES), MSGID_CHECK_IN, {project, "d1"}},
  };
  const std::set<std::string> before = LibraryFiles();
  for (const auto& c : cases) {
    const std::vector<Upload> files = {{c.request == MSGID_CHECK_IN ? "d1" : "d2", Content(200000, 101)}};
    TestClient::Reply reply;
    {
      const DiskFailure failing(c.failure);
      reply = Exchange(*client_, c.request, FilesBody(project_, files, ""), BytesOf(files));
    }
    EXPECT_EQ(BodyOf(reply), AppendStringField(project_, "") + ",1\n\"" + files[0].name + "\",\"\",-1," +
                                 (c.request == MSGID_CHECK_IN ? "-1" : "0") + ",0,57\n")
        << c.what;
    EXPECT_TRUE(HasLine(server_.App().GetConsole()->GetStatusLines(), c.line)) << c.what;
    EXPECT_EQ(TemporaryFiles(), std::vector<std::string>()) << c.what;
    EXPECT_EQ(LibraryFiles(), before) << c.what;
  }
  StoreDocument("d3", 1, 10, 102);
  {
    const DiskFailure failing(DiskFailure::Under(Folder(), EACCES));
    const TestClient::Reply reply = Exchange(*client_, MSGID_CHECK_OUT, CheckOutBody("\"d3\",0\n", 1));
    EXPECT_EQ(reply.message.GetMessageId(), MSGID_CHECK_OUT_FAILED);
    EXPECT_EQ(BodyOf(reply), "57");
    EXPECT_TRUE(HasLine(server_.App().GetConsole()->GetStatusLines(), {project, "a check-out"}));
  }
  EXPECT_EQ(Holders("d3"), std::vector<std::string>());
  // The connection went on: the same files are taken once the disk takes them.
  const std::vector<Upload> files = {{"d1", "v2"}};
  EXPECT_EQ(BodyOf(Exchange(*client_, MSGID_CHECK_IN, FilesBody(project_, files, ""), BytesOf(files))),
            AppendStringField(project_, "") + ",1\n\"d1\",\"" + InternalName("d1") + "\",-1,2,1,0\n");
}

TEST_F(CheckOutRequestsTest, ALibraryThatCannotBeWrittenIsNamedAtStartAndEveryChangeSaysSo) {
  StoreDocument("d1", 1, 10, 110);
  client_->Close();
  server_.Stop();
  const DiskFailure failing(DiskFailure::Under(server_.RootPath() + "/", EACCES));
  ASSERT_TRUE(server_.Start());
  EXPECT_TRUE(HasLine(server_.App().GetConsole()->GetStatusLines(),
                      {"The library folder \"" + server_.RootPath() + "\" cannot be written", "Permission denied"}));
  EXPECT_TRUE(HasLine(server_.App().GetConsole()->GetStatusLines(), {"Every change to the library will be refused"}));

  // The logon code the users file holds since the first logon: a read-only library keeps it.
  UserAccount ann = Doc().GetSettings().FindUser(ann_.GetId()).value_or(UserAccount());
  client_ = LoggedOn(ann);
  TestClient::Reply reply = Exchange(*client_, MSGID_CHECK_OUT, CheckOutBody("\"d1\",0\n", 1));
  EXPECT_EQ(reply.message.GetMessageId(), MSGID_CHECK_OUT_FAILED);
  EXPECT_EQ(BodyOf(reply), "57");
  EXPECT_TRUE(HasLine(server_.App().GetConsole()->GetStatusLines(),
                      {"The library folder \"" + server_.RootPath() + "\" cannot be written",
                       "a check-out by ann was refused."}));
  const std::vector<Upload> files = {{"d2", "new"}};
  reply = Exchange(*client_, MSGID_ADD_DOCUMENTS, FilesBody(project_, files, ""), BytesOf(files));
  EXPECT_EQ(BodyOf(reply), AppendStringField(project_, "") + ",1\n\"d2\",\"\",-1,0,0,57\n");
  reply = Exchange(*client_, MSGID_ADD_PROJECT, AppendStringField("Other", AppendStringField("", "")));
  EXPECT_EQ(reply.message.GetMessageId(), MSGID_ADD_PROJECT_FAILED);
  EXPECT_EQ(BodyOf(reply), "57");
  reply = Exchange(*client_, MSGID_DELETE_DOCUMENTS,
                   AppendStringField(project_, "") + ",1\n" + AppendStringField(InternalName("d1"), "") + "\n");
  EXPECT_NE(BodyOf(reply).find("cannot write to the library"), std::string::npos) << BodyOf(reply);
  EXPECT_EQ(Statistics("d1").GetVersionCount(), 1);
  EXPECT_EQ(Holders("d1"), std::vector<std::string>());
}

// --- the acting user ---------------------------------------------------------

TEST_F(CheckOutRequestsTest, AnotherUsersNumberInTheHeaderChangesNothingAboutWhoActs) {
  TestClient::SendOptions asBob;
  asBob.userId = static_cast<std::uint32_t>(bob_.GetId());
  const std::vector<Upload> files = {{"d1", "v1"}};
  Exchange(*client_, MSGID_ADD_DOCUMENTS, FilesBody(project_, files, ""), BytesOf(files), asBob);
  EXPECT_EQ(Statistics("d1").GetAuthor(), "ann");

  Exchange(*client_, MSGID_CHECK_OUT, CheckOutBody("\"d1\",0\n", 1), {}, asBob);
  EXPECT_EQ(Holders("d1"), std::vector<std::string>{"ann"});

  const std::vector<Upload> second = {{"d1", "v2"}};
  const TestClient::Reply reply =
      Exchange(*client_, MSGID_CHECK_IN, FilesBody(project_, second, ""), BytesOf(second), asBob);
  EXPECT_EQ(BodyOf(reply), AppendStringField(project_, "") + ",1\n\"d1\",\"" + InternalName("d1") + "\",-1,2,1,0\n");
  EXPECT_EQ(Statistics("d1").GetVersion(1).GetAuthor(), "ann");
}

// --- many clients ------------------------------------------------------------

TEST_F(CheckOutRequestsTest, EightClientsCheckTheirOwnDocumentsOutAndInAndRetrieveTheOthers) {
  constexpr int kClients = 8;
  constexpr int kRounds = 3;
  constexpr std::size_t kSize = 70000;
  const auto name = [](int owner) { return "doc" + std::to_string(owner); };
  // Version v of client c's document holds Content(kSize, 100 * c + v).
  std::vector<UserAccount> users;
  for (int c = 0; c < kClients; ++c) {
    users.push_back(User("user" + std::to_string(c)));
    StoreDocument(name(c), 1, kSize, 100 * c);
  }
  std::vector<std::unique_ptr<TestClient>> clients;
  std::vector<std::string> internalNames;
  for (int c = 0; c < kClients; ++c) {
    clients.push_back(LoggedOn(users[c]));
    internalNames.push_back(InternalName(name(c)));
  }

  std::vector<std::thread> threads;
  for (int c = 0; c < kClients; ++c) {
    threads.emplace_back([&, c] {
      TestClient& client = *clients[c];
      for (int round = 0; round < kRounds; ++round) {
        const TestClient::Reply out =
            Exchange(client, MSGID_CHECK_OUT, CheckOutBody(AppendStringField(name(c), "") + ",0\n", 1));
        ASSERT_EQ(out.rows.size(), 1u);
        const int version = out.rows[0].number;
        ASSERT_EQ(version, round + 1);
        ASSERT_EQ(out.files, std::vector<std::string>{Content(kSize, 100 * c + version)});

        const std::vector<Upload> files = {{name(c), Content(kSize, 100 * c + version + 1)}};
        const TestClient::Reply in = Exchange(client, MSGID_CHECK_IN, FilesBody(project_, files, ""), BytesOf(files));
        ASSERT_EQ(BodyOf(in), AppendStringField(project_, "") + ",1\n\"" + name(c) + "\",\"" + internalNames[c] +
                                  "\",-1," + std::to_string(kSize) + ",1,0\n");

        const TestClient::Reply all = Exchange(client, MSGID_RETRIEVE, AppendStringField(project_, "") + ",0\n");
        ASSERT_EQ(all.message.GetMessageId(), MSGID_RETRIEVED_DOCUMENTS);
        ASSERT_EQ(all.rows.size(), static_cast<std::size_t>(kClients));
        std::size_t file = 0;
        for (int owner = 0; owner < kClients; ++owner) {
          const TestClient::FileRow& row = all.rows[owner];
          ASSERT_TRUE(row.sent) << row.name;
          EXPECT_EQ(all.files[file++], Content(kSize, 100 * owner + row.number)) << row.name;
        }
      }
    });
  }
  for (std::thread& thread : threads) thread.join();

  for (int c = 0; c < kClients; ++c) {
    EXPECT_EQ(Statistics(name(c)).GetVersionCount(), kRounds + 1);
    for (int version = 1; version <= kRounds + 1; ++version) {
      EXPECT_EQ(platform::ScratchFolder::Read(StoredFile(name(c), version)), Content(kSize, 100 * c + version));
    }
  }
  EXPECT_EQ(TemporaryFiles(), std::vector<std::string>());
}

}  // namespace
