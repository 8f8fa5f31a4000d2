// The project-tree and document-list requests under load: readers refresh the tree
// and list documents on four connections while two more create, rename and delete
// projects and a thread checks documents in through the store. Every reply must
// parse, and the tree the server ends with must be the one its inventory holds.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "common/PointerArray.h"
#include "common/RecordFields.h"
#include "server/engine/FileListBody.h"
#include "server/engine/LibraryRequestsTestLibrary_test.h"

namespace {

constexpr int kReaders = 4;
constexpr int kWriters = 2;
constexpr int kRounds = 15;
constexpr int kCheckIns = 15;

// Ends the process when the test outlives its bound, so that a deadlock fails the
// run instead of hanging it.
class Watchdog {
 public:
  explicit Watchdog(std::chrono::seconds bound)
      : thread_([this, bound] {
          std::unique_lock<std::mutex> lock(mutex_);
          if (!done_.wait_for(lock, bound, [this] { return finished_; })) {
            std::fprintf(stderr, "watchdog: the concurrency test did not finish in time\n");
            std::abort();
          }
        }) {}
  ~Watchdog() {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      finished_ = true;
    }
    done_.notify_one();
    thread_.join();
  }

 private:
  std::mutex mutex_;
  std::condition_variable done_;
  bool finished_ = false;
  std::thread thread_;
};

std::string BodyText(const TestClient::Reply& reply) {
  const char* body = reply.message.GetBody();
  return body == nullptr ? std::string() : std::string(body, reply.message.GetBodyLength());
}

// Reads one node of a 5005 (its line, the edition and supplement lines, then its
// children) from rows[at]; false when the rows end early.
bool ParseNode(const std::vector<std::string>& rows, std::size_t& at, std::vector<std::string>& internalNames) {
  if (at + 3 > rows.size()) return false;
  std::string name, internalName;
  std::int32_t children = -1;
  ReadIntField(children, ReadStringField(internalName, ReadStringField(name, rows[at])));
  internalNames.push_back(internalName);
  at += 3;
  for (std::int32_t i = 0; i < children; ++i) {
    if (!ParseNode(rows, at, internalNames)) return false;
  }
  return children >= 0;
}

// The internal names of every node of a 5005 body; false when it does not parse
// as a root with its nodes and nothing behind them.
bool ParseTree(const std::string& body, std::vector<std::string>& internalNames) {
  const std::vector<std::string> rows = SplitRecordRows(body);
  std::size_t at = 0;
  if (!ParseNode(rows, at, internalNames) || internalNames.front() != "Root") return false;
  internalNames.erase(internalNames.begin());
  return at == rows.size();
}

// Whether a 5016 / 5030 body holds the rows its first line announces.
bool ParseList(MessageId id, const std::string& body) {
  const std::vector<std::string> rows = SplitRecordRows(body);
  if (rows.empty()) return false;
  std::string name, internalName;
  std::int32_t count = -1;
  ReadIntField(count, ReadStringField(internalName, ReadStringField(name, rows[0])));
  if (count < 0) return false;
  if (id == MSGID_DOCUMENT_LIST) return rows.size() == static_cast<std::size_t>(count) + 1;
  std::size_t at = 1;
  for (std::int32_t document = 0; document < count; ++document) {
    if (at >= rows.size()) return false;
    std::int32_t versions = -1;
    ReadIntField(versions, rows[at]);
    if (versions < 1) return false;
    at += 1 + static_cast<std::size_t>(versions);
  }
  return at == rows.size();
}

class ProjectRequestsConcurrencyTest : public LibraryRequestsTest {
 protected:
  // A logged-on client of a new account.
  std::unique_ptr<TestClient> NewClient(const std::string& name) {
    const std::optional<UserAccount> account = server_.AddUser(name, "secret");
    EXPECT_TRUE(account.has_value());
    if (!account) return nullptr;
    std::unique_ptr<TestClient> client = server_.MakeClient(*account);
    TestClient::Reply reply;
    EXPECT_TRUE(client->Connect(server_.Port()));
    EXPECT_EQ(client->Logon(name, "secret", account->GetLogonCode(), reply), Status::Ok);
    return client;
  }
  static bool Exchange(TestClient& client, MessageId id, const std::string& body, TestClient::Reply& reply) {
    const std::uint32_t stamp = client.Send(id, body);
    return stamp != 0 && client.Receive(reply) == Status::Ok && reply.message.GetOriginalStamp() == stamp;
  }
};

TEST_F(ProjectRequestsConcurrencyTest, ReadersAndWritersOfTheTreeAndItsDocumentsAgree) {
  const std::string stable = NewProject("Stable");
  for (int i = 0; i < 3; ++i) AddDocument(stable, "doc" + std::to_string(i) + ".txt", "first");
  std::vector<std::unique_ptr<TestClient>> clients;
  for (int i = 0; i < kReaders + kWriters; ++i) {
    clients.push_back(NewClient("user" + std::to_string(i)));
    ASSERT_NE(clients.back(), nullptr);
  }
  const Watchdog watchdog(std::chrono::seconds(120));
  std::atomic<int> writersLeft{kWriters + 1};
  std::atomic<int> badReplies{0};
  std::atomic<int> roundsDuringWrites{0};
  const auto bad = [&](const std::string& what) {
    ++badReplies;
    ADD_FAILURE() << what;
  };

  std::vector<std::thread> threads;
  for (int w = 0; w < kWriters; ++w) {
    threads.emplace_back([&, w] {
      TestClient& client = *clients[static_cast<std::size_t>(kReaders + w)];
      TestClient::Reply reply;
      for (int round = 0; round < kRounds; ++round) {
        const std::string tag = std::to_string(w) + "_" + std::to_string(round);
        if (!Exchange(client, MSGID_ADD_PROJECT, "\"\",\"P" + tag + "\"", reply) ||
            reply.message.GetMessageId() != MSGID_PROJECT_ADDED) {
          bad("5012 " + tag);
          break;
        }
        const std::vector<std::string> rows = SplitRecordRows(BodyText(reply));
        std::string name, created;
        if (rows.size() > 1) ReadStringField(created, ReadStringField(name, rows[1]));
        const std::string project = AppendStringField(created, "");
        if (!Exchange(client, MSGID_ADD_PROJECT, project + ",\"Child\"", reply) ||
            reply.message.GetMessageId() != MSGID_PROJECT_ADDED ||
            !Exchange(client, MSGID_RENAME_PROJECT, project + ",\"R" + tag + "\"", reply) ||
            reply.message.GetMessageId() != MSGID_PROJECT_RENAMED) {
          bad("5012/5048 " + tag);
          break;
        }
        if (round % 2 == 0 && (!Exchange(client, MSGID_DELETE_PROJECT, "\"\"," + project, reply) ||
                               reply.message.GetMessageId() != MSGID_PROJECT_DELETED)) {
          bad("5043 " + tag);
          break;
        }
      }
      --writersLeft;
    });
  }
  threads.emplace_back([&] {
    for (int i = 0; i < kCheckIns; ++i) {
      CheckIn(stable, "doc" + std::to_string(i % 3) + ".txt", "v" + std::to_string(i));
    }
    --writersLeft;
  });
  for (int r = 0; r < kReaders; ++r) {
    threads.emplace_back([&, r] {
      TestClient& client = *clients[static_cast<std::size_t>(r)];
      TestClient::Reply reply;
      for (int round = 0; writersLeft > 0 || round == 0; ++round) {
        if (writersLeft > 0) ++roundsDuringWrites;
        std::vector<std::string> projects;
        if (!Exchange(client, MSGID_REFRESH_PROJECTS, "", reply) ||
            reply.message.GetMessageId() != MSGID_PROJECT_TREE || !ParseTree(BodyText(reply), projects)) {
          bad("5005 did not parse");
          return;
        }
        // The listed project may be deleted before the list is read.
        const std::string& project = projects[static_cast<std::size_t>(round) % projects.size()];
        const std::string listed = AppendStringField(round % 2 == 0 ? stable : project, "");
        for (const MessageId id : {MSGID_LIST_DOCUMENTS, MSGID_LIST_VERSIONS}) {
          if (!Exchange(client, id, listed, reply)) {
            bad("no answer to " + std::to_string(id));
            return;
          }
          const MessageId answer = reply.message.GetMessageId();
          const std::string body = BodyText(reply);
          const bool gone = (answer == MSGID_DOCUMENT_LIST_FAILED && body == "7") ||
                            (answer == MSGID_VERSION_LIST_FAILED && body == "23");
          if (!gone && !ParseList(answer, body)) bad(std::to_string(answer) + " did not parse: " + body);
        }
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  ASSERT_EQ(badReplies, 0);
  EXPECT_GE(roundsDuringWrites, kReaders);

  // The final tree is the inventory's, node for node.
  TestClient::Reply reply;
  ASSERT_TRUE(Exchange(*clients.front(), MSGID_REFRESH_PROJECTS, "", reply));
  PointerArray<ServerProject> stored;
  std::string fault;
  ASSERT_TRUE(ServerProject::ReadInventoryFile(server_.RootPath() + "/" + CWexmoorDoc::kInventoryFileName, stored,
                                               fault))
      << fault;
  std::vector<std::unique_ptr<ServerProject>> owned;  // the array does not own its nodes
  std::string projectsText;
  for (int i = 0; i < stored.GetSize(); ++i) {
    owned.emplace_back(stored.GetAt(i));
    projectsText += owned.back()->Encode("");
  }
  const std::string tree = BodyText(reply);
  const std::vector<std::string> rows = SplitRecordRows(tree);
  ASSERT_GE(rows.size(), 3u);
  EXPECT_EQ(rows[0], "\"Root\",\"Root\"," + std::to_string(1 + kWriters * (kRounds / 2)) + ",0,0,0");
  const std::size_t header = rows[0].size() + rows[1].size() + rows[2].size() + 3;
  EXPECT_EQ(tree.substr(header), projectsText);
  EXPECT_EQ(stored.GetSize(), 1 + kWriters * (kRounds / 2));
}

}  // namespace
