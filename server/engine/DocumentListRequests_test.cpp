// The document-list requests end to end: a real server on 127.0.0.1, a logged-on
// client, and a library built through the store; replies are compared byte for byte
// with what the record files on disk say.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <utility>
#include <vector>

#include "common/RecordFields.h"
#include "platform/fs.h"
#include "server/engine/TransferBudget.h"
#include "server/engine/LibraryRequestsTestLibrary_test.h"
#include "server/store/StoreFilePaths.h"

namespace {

const std::string kSeparator = std::string(57, '-') + "\r\n";

class DocumentListRequestsTest : public LibraryRequestsTest {
 protected:
  // The answer's id and body.
  std::pair<MessageId, std::string> Answer(MessageId id, const std::string& body) {
    const TestClient::Reply reply = Ask(id, body);
    return {reply.message.GetMessageId(), BodyOf(reply)};
  }
  std::string NewDocument(const std::string& project, const std::string& name) {
    return AddDocument(project, name, "content of " + name);
  }
  std::string StatisticsFile(const std::string& project, const std::string& internalFileName) {
    return StatisticsPath(Doc().GetProjectFolderPath(project) + "/", internalFileName);
  }
  FileStatistics Statistics(const std::string& project, const std::string& internalFileName) {
    FileStatistics statistics;
    int lines = 0;
    EXPECT_EQ(statistics.Load(StatisticsFile(project, internalFileName), lines), 0);
    return statistics;
  }
  bool Listed(const std::string& project, const std::string& internalFileName) {
    ProjectFileList list;
    EXPECT_TRUE(list.Load(ProjectFileListPath(Doc().GetProjectFolderPath(project) + "/", project)));
    StringList values;
    list.GetValues(values);
    for (int i = 0; i < values.GetSize(); ++i) {
      if (values.GetAt(i) == internalFileName) return true;
    }
    return false;
  }
  static std::string FirstLine(const std::string& name, const std::string& internalName, int count) {
    return EndRecord(AppendIntField(count, AppendStringField(internalName, AppendStringField(name, ""))));
  }
  static std::string DeleteBody(const std::string& project, int count, const std::vector<std::string>& names) {
    std::string body = EndRecord(AppendIntField(count, AppendStringField(project, "")));
    for (const std::string& name : names) body = EndRecord(AppendStringField(name, body));
    return body;
  }
};

TEST_F(DocumentListRequestsTest, EmptyBodyAndUnknownProjectFailWithTheirCodes) {
  NewProject("Alpha");
  struct Case {
    MessageId request;
    std::string body;
    MessageId reply;
    std::string code;
  };
  for (const Case& c : {Case{MSGID_LIST_DOCUMENTS, "", MSGID_DOCUMENT_LIST_FAILED, "6"},
                        Case{MSGID_LIST_DOCUMENTS, "\"WXFiName_Hi9Lo9\"", MSGID_DOCUMENT_LIST_FAILED, "7"},
                        Case{MSGID_LIST_VERSIONS, "", MSGID_VERSION_LIST_FAILED, "22"},
                        Case{MSGID_LIST_VERSIONS, "\"Alpha\"", MSGID_VERSION_LIST_FAILED, "23"}}) {
    EXPECT_EQ(Answer(c.request, c.body), std::make_pair(c.reply, c.code)) << c.request << " " << c.body;
  }
}

TEST_F(DocumentListRequestsTest, ProjectWithoutFileListAnswersCountZero) {
  const std::string alpha = NewProject("Alpha");
  ASSERT_FALSE(platform::fs::Exists(ProjectFileListPath(Doc().GetProjectFolderPath(alpha) + "/", alpha)));
  EXPECT_EQ(Answer(MSGID_LIST_DOCUMENTS, AppendStringField(alpha, "")),
            std::make_pair(MSGID_DOCUMENT_LIST, FirstLine("Alpha", alpha, 0)));
  EXPECT_EQ(Answer(MSGID_LIST_VERSIONS, AppendStringField(alpha, "")),
            std::make_pair(MSGID_VERSION_LIST, FirstLine("Alpha", alpha, 0)));
}

TEST_F(DocumentListRequestsTest, ListsShowLoadableDocumentsWithAVersionInListOrder) {
  const std::string alpha = NewProject("Alpha");
  const std::string first = NewDocument(alpha, "first.txt");
  const std::string unreadable = NewDocument(alpha, "gone.txt");
  const std::string versionless = NewDocument(alpha, "zero.txt");
  const std::string second = NewDocument(alpha, "second.txt");
  // "first.txt" gains a version 2 with a two-line comment; "gone.txt" loses its
  // statistics file; "zero.txt" keeps only a version numbered 0.
  FileStatistics grown = Statistics(alpha, first);
  FileEntry next = grown.GetVersion(0);
  next.SetVersion(2);
  next.SetComments("line one\r\nline two");
  grown.AddVersion(next);
  ASSERT_EQ(grown.Save(StatisticsFile(alpha, first)), 0);
  ASSERT_TRUE(platform::fs::DeleteFile(StatisticsFile(alpha, unreadable)));
  FileStatistics zero = Statistics(alpha, versionless);
  zero.GetVersion(0).SetVersion(0);
  ASSERT_EQ(zero.Save(StatisticsFile(alpha, versionless)), 0);
  // Changed behind the store's back: its cached parses go.
  Doc().GetRecordCache().DropBelow(Doc().GetProjectFolderPath(alpha));

  const FileStatistics firstRead = Statistics(alpha, first);
  const FileStatistics secondRead = Statistics(alpha, second);
  std::string latestRows;
  firstRead.GetVersion(1).EncodeRow(latestRows);
  secondRead.GetVersion(0).EncodeRow(latestRows);
  EXPECT_EQ(Answer(MSGID_LIST_DOCUMENTS, AppendStringField(alpha, "")),
            std::make_pair(MSGID_DOCUMENT_LIST, FirstLine("Alpha", alpha, 2) + latestRows));
  EXPECT_EQ(latestRows.find('\r'), std::string::npos);  // the comment's break travels as bytes 1 and 2

  const std::string versions = firstRead.EncodeVersions() + secondRead.EncodeVersions();
  ASSERT_EQ(versions.substr(0, 5), "2,-1\n");
  EXPECT_EQ(Answer(MSGID_LIST_VERSIONS, AppendStringField(alpha, "")),
            std::make_pair(MSGID_VERSION_LIST, FirstLine("Alpha", alpha, 2) + versions));
}

TEST_F(DocumentListRequestsTest, ListsLargerThanTheTransferBudgetAreStillAnsweredWhole) {
  const std::string alpha = NewProject("Alpha");
  std::vector<std::string> documents;
  for (int i = 0; i < 8; ++i) documents.push_back(NewDocument(alpha, "document " + std::to_string(i) + ".txt"));
  std::string latestRows;
  std::string versions;
  for (const std::string& internalFileName : documents) {
    const FileStatistics read = Statistics(alpha, internalFileName);
    read.GetVersion(0).EncodeRow(latestRows);
    versions += read.EncodeVersions();
  }
  TransferBudget& budget = TransferBudget::Shared();
  const std::size_t limit = budget.Limit();
  budget.SetLimit(latestRows.size() / 2);
  const auto latest = Answer(MSGID_LIST_DOCUMENTS, AppendStringField(alpha, ""));
  const auto all = Answer(MSGID_LIST_VERSIONS, AppendStringField(alpha, ""));
  budget.SetLimit(limit);
  EXPECT_EQ(latest, std::make_pair(MSGID_DOCUMENT_LIST, FirstLine("Alpha", alpha, 8) + latestRows));
  EXPECT_EQ(all, std::make_pair(MSGID_VERSION_LIST, FirstLine("Alpha", alpha, 8) + versions));
}

// What the lists show of a comment comes from the store's cache until the server
// restarts and from the disk afterwards: both must be what the user wrote.
TEST_F(DocumentListRequestsTest, CommentsReadTheSameAfterARestart) {
  const std::string alpha = NewProject("Alpha");
  const std::string comment = "  it's Ann's \"plan\",with a | bar\r\nline two\n";
  FileStatistics added;
  ASSERT_EQ(Doc().AddDocument("plan.txt", alpha, "ann", comment, Received("plan"), 4, added), 0);
  std::string row;
  added.GetVersion(0).EncodeRow(row);
  ASSERT_NE(row.find("it's Ann's"), std::string::npos) << row;
  const std::string body = AppendStringField(alpha, "");
  const auto before = std::make_pair(Answer(MSGID_LIST_DOCUMENTS, body), Answer(MSGID_LIST_VERSIONS, body));
  EXPECT_EQ(before.first.second, FirstLine("Alpha", alpha, 1) + row);

  client_->Close();
  server_.Stop();
  ASSERT_TRUE(server_.Start());
  const UserAccount ann = Doc().GetSettings().FindUser(ann_.GetId()).value_or(UserAccount());
  client_ = server_.MakeClient(ann);
  ASSERT_TRUE(client_->Connect(server_.Port()));
  TestClient::Reply reply;
  ASSERT_EQ(client_->Logon("ann", "secret", ann.GetLogonCode(), reply), Status::Ok);
  EXPECT_EQ(Answer(MSGID_LIST_DOCUMENTS, body), before.first);
  EXPECT_EQ(Answer(MSGID_LIST_VERSIONS, body), before.second);
}

TEST_F(DocumentListRequestsTest, DeleteWithNoNamesOrAnUnknownProjectAnswersTheProjectLineAlone) {
  const std::string alpha = NewProject("Alpha");
  const std::string kept = NewDocument(alpha, "kept.txt");
  EXPECT_EQ(Answer(MSGID_DELETE_DOCUMENTS, DeleteBody(alpha, 0, {kept})),
            std::make_pair(MSGID_DELETE_DOCUMENTS_RESULT, "\"" + alpha + "\"\n"));
  EXPECT_EQ(Answer(MSGID_DELETE_DOCUMENTS, DeleteBody("WXFiName_Hi9Lo9", 1, {kept})),
            std::make_pair(MSGID_DELETE_DOCUMENTS_RESULT, std::string("\"WXFiName_Hi9Lo9\"\n")));
  EXPECT_EQ(Answer(MSGID_DELETE_DOCUMENTS, ""), std::make_pair(MSGID_DELETE_DOCUMENTS_RESULT, std::string("\"\"\n")));
  EXPECT_TRUE(Listed(alpha, kept));
}

TEST_F(DocumentListRequestsTest, DeleteKeepsADocumentWithDependentsAndReportsIt) {
  const std::string alpha = NewProject("Alpha");
  const std::string beta = NewProject("Beta");
  const std::string plain = NewDocument(alpha, "plain.txt");
  const std::string used = NewDocument(alpha, "used.txt");
  FileStatistics reference;
  ASSERT_EQ(Doc().AddReference("used.txt", beta, "", alpha, 1, reference, false, false), 0);

  const std::string report = "[Alpha (" + alpha + ")]:[used.txt;1 (" + used + ")] has dependent in project [" +
                             Doc().GetSettings().GetLibraryName() + "->Beta (" + beta + ")]\r\n";
  EXPECT_EQ(Answer(MSGID_DELETE_DOCUMENTS, DeleteBody(alpha, 2, {plain, used})),
            std::make_pair(MSGID_DELETE_DOCUMENTS_RESULT, "\"" + alpha + "\"\n" + kSeparator + report));
  EXPECT_FALSE(Listed(alpha, plain));
  EXPECT_TRUE(Listed(alpha, used));
}

TEST_F(DocumentListRequestsTest, DeleteReadsOnlyTheNamesPresentAndOnlyNamesOfTheProject) {
  const std::string alpha = NewProject("Alpha");
  const std::string beta = NewProject("Beta");
  const std::string first = NewDocument(alpha, "first.txt");
  const std::string second = NewDocument(alpha, "second.txt");
  const std::string foreign = NewDocument(beta, "foreign.txt");

  // Neither a path nor another project's document is deleted.
  EXPECT_EQ(Answer(MSGID_DELETE_DOCUMENTS, DeleteBody(alpha, 2, {"../" + second, foreign})).first,
            MSGID_DELETE_DOCUMENTS_RESULT);
  EXPECT_TRUE(Listed(alpha, first));
  EXPECT_TRUE(Listed(alpha, second));
  EXPECT_TRUE(Listed(beta, foreign));
  EXPECT_TRUE(platform::fs::Exists(StatisticsFile(beta, foreign)));

  // A count far beyond the names given is answered at once, with one deletion.
  for (const int count : {1000000, 2147483647}) {
    const auto started = std::chrono::steady_clock::now();
    const std::string name = count == 1000000 ? first : second;
    EXPECT_EQ(Answer(MSGID_DELETE_DOCUMENTS, DeleteBody(alpha, count, {name})),
              std::make_pair(MSGID_DELETE_DOCUMENTS_RESULT, "\"" + alpha + "\"\n"));
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(5));
    EXPECT_FALSE(Listed(alpha, name));
  }
  EXPECT_TRUE(Listed(beta, foreign));
}

}  // namespace
