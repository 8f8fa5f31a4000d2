// Retrieval (5020) and original documents (5039) end to end: the rows and files a
// client receives, byte for byte, and what a lost stored file does to them.
#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "server/engine/LibraryRequestsTestLibrary_test.h"
#include "server/engine/RequestDispatcher.h"
#include "server/engine/RetrievalRequests.h"
#include "server/store/StoreFilePaths.h"

namespace {

std::string Generated(std::size_t size) {
  std::string bytes(size, '\0');
  for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>((i * 131 + (i >> 12)) & 0xFF);
  return bytes;
}

class RetrievalRequestsTest : public LibraryRequestsTest {
 protected:
  void SetUp() override {
    LibraryRequestsTest::SetUp();
    project_ = NewProject("Reports");
  }
  // Asserts a 5022 whose wire body is `body` (after the project) and whose files are `files`.
  void ExpectDelivered(const TestClient::Reply& reply, const std::string& body, const std::vector<std::string>& files) {
    EXPECT_EQ(reply.message.GetMessageId(), MSGID_RETRIEVED_DOCUMENTS);
    EXPECT_EQ(BodyOf(reply), "\"" + project_ + "\"," + body);
    ASSERT_EQ(reply.files.size(), files.size());
    for (std::size_t i = 0; i < files.size(); ++i) EXPECT_TRUE(reply.files[i] == files[i]) << "file " << i;
  }
  std::string project_;
};

TEST_F(RetrievalRequestsTest, CountZeroSendsTheLatestOfEveryDocumentInListOrder) {
  const std::string big = Generated(50 * 1024 * 1024);
  AddDocument(project_, "notes.txt", "first");
  CheckIn(project_, "notes.txt", "second");
  AddDocument(project_, "big.bin", big);
  AddDocument(project_, "empty.txt", "");
  const TestClient::Reply reply = Ask(MSGID_RETRIEVE, "\"" + project_ + "\",0\n");
  ExpectDelivered(reply, "3,\"notes.txt\",2,1,6\n\"big.bin\",1,1,52428800\n\"empty.txt\",1,1,0\n",
                  {"second", big, ""});
}

TEST_F(RetrievalRequestsTest, NamedRowsAreReadLineByLineAndServedAsFarAsTheyGo) {
  AddDocument(project_, "a", "alpha");
  CheckIn(project_, "a", "alpha2");
  AddDocument(project_, "c", "gamma");
  // The second row has no version (the latest), the fourth a version that does
  // not exist, the fifth a name that is not listed; the count claims a million.
  const std::string request = "\"" + project_ + "\",1000000\n\"a\",1\n\"a\"\n\"c\",1\n\"a\",5\n\"nope\",1\n";
  ExpectDelivered(Ask(MSGID_RETRIEVE, request),
                  "5,\"a\",1,1,5\n\"a\",2,1,6\n\"c\",1,1,5\n\"a\",-1,0,0\n\"nope\",-1,0,0\n",
                  {"alpha", "alpha2", "gamma"});
  ExpectDelivered(Ask(MSGID_RETRIEVE, "\"" + project_ + "\",-1\n"), "2,\"a\",2,1,6\n\"c\",1,1,5\n",
                  {"alpha2", "gamma"});
}

TEST_F(RetrievalRequestsTest, RowsBeyondTheBoundRefuseTheRequestWithASmallReply) {
  for (const std::size_t rows : {kMaxRetrievedRows + 1, std::size_t{1000000}}) {
    std::string request = "\"" + project_ + "\"," + std::to_string(rows) + "\n";
    for (std::size_t i = 0; i < rows; ++i) request += "\"nope\",1\n";
    const TestClient::Reply reply = Ask(MSGID_RETRIEVE, request);
    EXPECT_EQ(reply.message.GetMessageId(), MSGID_RETRIEVE_FAILED) << rows;
    EXPECT_EQ(BodyOf(reply), std::to_string(RequestDispatcher::kReplyTooLargeCode)) << rows;
  }
  // The connection goes on serving.
  ExpectDelivered(Ask(MSGID_RETRIEVE, "\"" + project_ + "\",1\n\"nope\",1\n"), "1,\"nope\",-1,0,0\n", {});
}

TEST_F(RetrievalRequestsTest, RowsNamingADocumentAgainReadItsStatisticsOnce) {
  AddDocument(project_, "a", "alpha");
  CheckIn(project_, "a", "alpha2");
  AddDocument(project_, "c", "gamma");
  std::atomic<int> loads{0};
  SetRetrievalStatisticsLoadHookForTesting([&loads](const std::string&) { ++loads; });
  constexpr int kRepeats = 2000;
  std::string request = "\"" + project_ + "\"," + std::to_string(4 * kRepeats) + "\n";
  std::string expected = std::to_string(4 * kRepeats);
  std::vector<std::string> files;
  for (int i = 0; i < kRepeats; ++i) {
    request += "\"a\",1\n\"a\"\n\"c\",0\n\"a\",5\n";
    expected += (i == 0 ? "," : "") + std::string("\"a\",1,1,5\n\"a\",2,1,6\n\"c\",1,1,5\n\"a\",-1,0,0\n");
    files.insert(files.end(), {"alpha", "alpha2", "gamma"});
  }
  ExpectDelivered(Ask(MSGID_RETRIEVE, request), expected, files);
  SetRetrievalStatisticsLoadHookForTesting(nullptr);
  EXPECT_EQ(loads.load(), 2);
}

TEST_F(RetrievalRequestsTest, LostOrDamagedVersionFileFailsOnlyItsRowAndKeepsTheConnection) {
  const std::string gone = AddDocument(project_, "gone", "gone");
  const std::string damaged = AddDocument(project_, "short", "longer text");
  AddDocument(project_, "fine", "fine");
  ASSERT_TRUE(std::filesystem::remove(VersionFile(project_, gone, 1)));
  ASSERT_TRUE(std::filesystem::remove(VersionFile(project_, damaged, 1)));
  std::ofstream(VersionFile(project_, damaged, 1), std::ios::binary) << "short";

  ExpectDelivered(Ask(MSGID_RETRIEVE, "\"" + project_ + "\",0\n"),
                  "3,\"gone\",-1,0,0\n\"short\",-1,0,0\n\"fine\",1,1,4\n", {"fine"});
  ExpectDelivered(Ask(MSGID_RETRIEVE, "\"" + project_ + "\",1\n\"fine\",1\n"), "1,\"fine\",1,1,4\n", {"fine"});
}

TEST_F(RetrievalRequestsTest, MissingProjectIsRefusedWithCode20) {
  const TestClient::Reply retrieve = Ask(MSGID_RETRIEVE, "\"WXFiName_Hi9Lo9\",0\n\"a\",1\n");
  EXPECT_EQ(retrieve.message.GetMessageId(), MSGID_RETRIEVE_FAILED);
  EXPECT_EQ(BodyOf(retrieve), "20");
  const TestClient::Reply originals = Ask(MSGID_GET_ORIGINAL_DOCUMENTS, "\"WXFiName_Hi9Lo9\"\n");
  EXPECT_EQ(originals.message.GetMessageId(), MSGID_GET_ORIGINAL_DOCUMENTS_FAILED);
  EXPECT_EQ(BodyOf(originals), "20");
}

TEST_F(RetrievalRequestsTest, OriginalDocumentsCountTheFailedRowsTheySend) {
  AddDocument(project_, "x", "ex");
  AddDocument(project_, "y", "why");
  AddDocument(project_, "z", "zed");
  const std::string edition = NewProject("Edition");
  FileStatistics x, y, z;
  ASSERT_EQ(Doc().AddReference("x", edition, "", project_, 1, x, true, false), 0);
  ASSERT_EQ(Doc().AddReference("y", edition, "", project_, 1, y, true, false), 0);
  ASSERT_EQ(Doc().AddReference("z", edition, "", project_, 1, z, false, false), 0);  // no row
  const std::string damaged = StatisticsPath(Doc().GetProjectFolderPath(edition) + "/", x.GetInternalFileName());
  std::ofstream(damaged, std::ios::binary | std::ios::trunc) << "damaged";
  Doc().GetRecordCache().Drop(damaged);  // damaged behind the store's back

  const TestClient::Reply reply = Ask(MSGID_GET_ORIGINAL_DOCUMENTS, "\"" + edition + "\"\n");
  EXPECT_EQ(reply.message.GetMessageId(), MSGID_RETRIEVED_DOCUMENTS);
  EXPECT_EQ(BodyOf(reply), "\"" + edition + "\",2,\"x\",-1,0,0\n\"y\",-1,1,3\n");
  ASSERT_EQ(reply.rows.size(), 2u);
  EXPECT_EQ(reply.files, std::vector<std::string>{"why"});

  // The originals themselves carry no original-edition version.
  ExpectDelivered(Ask(MSGID_GET_ORIGINAL_DOCUMENTS, "\"" + project_ + "\"\n"), "0", {});
}

}  // namespace
