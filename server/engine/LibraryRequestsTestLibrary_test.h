#pragma once
// Test fixture for the library's request handlers: a running server with the
// account "ann" logged on over one client, and helpers that build projects,
// documents and versions through the store and ask the server one request.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <fstream>
#include <memory>
#include <optional>
#include <string>

#include "common/RecordFields.h"
#include "server/store/CWexmoorDoc.h"
#include "server/store/ServerProject.h"
#include "testsupport/TestServer.h"

class LibraryRequestsTest : public ::testing::Test {
 protected:
  using Status = TestClient::ReceiveStatus;

  void SetUp() override {
    ASSERT_TRUE(server_.Start());
    const std::optional<UserAccount> account = server_.AddUser("ann", "secret");
    ASSERT_TRUE(account.has_value());
    ann_ = *account;
    client_ = server_.MakeClient(ann_);
    ASSERT_TRUE(client_->Connect(server_.Port()));
    TestClient::Reply reply;
    ASSERT_EQ(client_->Logon("ann", "secret", ann_.GetLogonCode(), reply), Status::Ok);
    ASSERT_EQ(reply.message.GetMessageId(), MSGID_LOGON_ACCEPTED);
  }

  CWexmoorDoc& Doc() { return server_.Document(); }

  // A new project's internal name ("" and a failure when refused).
  std::string NewProject(const std::string& name) {
    ServerProject created;
    EXPECT_EQ(Doc().CreateProject("", name, "", created, false), 0) << name;
    return created.GetInternalName();
  }
  // A file where the engine would have received it.
  std::string Received(const std::string& content) {
    const std::string path = server_.RootPath() + "/TemporaryFiles/Fixture_" + std::to_string(++received_) + ".wxf";
    std::ofstream(path, std::ios::binary) << content;
    return path;
  }
  // Adds version 1 of a document; returns its internal file name.
  std::string AddDocument(const std::string& project, const std::string& name, const std::string& content) {
    FileStatistics result;
    EXPECT_EQ(Doc().AddDocument(name, project, "ann", "", Received(content), static_cast<int>(content.size()), result),
              0)
        << name;
    return result.GetInternalFileName();
  }
  // Checks the document out to ann and `content` in as its next version.
  void CheckIn(const std::string& project, const std::string& name, const std::string& content) {
    ASSERT_EQ(Doc().CheckOutDocuments(project, name, -1, "ann", false, false).code, 0) << name;
    int code = -1;
    ASSERT_TRUE(Doc().CheckInDocuments(project, "ann", name, static_cast<int>(content.size()), "",
                                       Received(content), code))
        << name << " " << code;
  }
  // The stored file of version `version` of a document.
  std::string VersionFile(const std::string& project, const std::string& internalFileName, int version) {
    return Doc().GetProjectFolderPath(project) + "/" + internalFileName + "Ver" + std::to_string(version) + ".wxf";
  }

  // Sends one request and receives the answer, which must carry its stamp.
  TestClient::Reply Ask(MessageId id, const std::string& body) {
    const std::uint32_t stamp = client_->Send(id, body);
    TestClient::Reply reply;
    EXPECT_NE(stamp, 0u);
    EXPECT_EQ(client_->Receive(reply, 60000), Status::Ok) << id;
    EXPECT_EQ(reply.message.GetOriginalStamp(), stamp);
    return reply;
  }
  static std::string BodyOf(const TestClient::Reply& reply) {
    return reply.message.GetBodyText();
  }

  TestServer server_;
  UserAccount ann_;
  std::unique_ptr<TestClient> client_;
  std::atomic<int> received_{0};
};
