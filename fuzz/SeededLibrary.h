#pragma once
// A running server on a library with one project of two documents (one of three
// versions), ann logged on over TCP: the request handlers' own test library, built
// once per process. "$P" and "$D" in a request body stand for the project's and the
// first document's internal names, "$C" in a logon body for ann's current code.
#include <filesystem>
#include <memory>
#include <optional>
#include <string>

#include "common/CertificateFile.h"
#include "fuzz/FuzzSupport.h"
#include "server/engine/LibraryRequestsTestLibrary_test.h"

namespace fuzz {

// The requests that carry no files, which fuzz_requests picks from by index.
inline constexpr MessageId kRequestsWithoutFiles[] = {
    MSGID_REFRESH_PROJECTS,        MSGID_ADD_PROJECT,           MSGID_LIST_DOCUMENTS,       MSGID_RETRIEVE,
    MSGID_CHECK_OUT,               MSGID_LIST_VERSIONS,         MSGID_CREATE_EDITION,       MSGID_ADD_ORIGINAL_PROJECT,
    MSGID_ADD_ORIGINAL_REFERENCES, MSGID_GET_ORIGINAL_DOCUMENTS, MSGID_ADD_REFERENCES,      MSGID_DELETE_PROJECT,
    MSGID_DELETE_DOCUMENTS,        MSGID_RENAME_PROJECT,        MSGID_RENAME_DOCUMENT};

inline void ReplaceAll(std::string& text, const std::string& token, const std::string& value) {
  for (std::size_t at = text.find(token); at != std::string::npos; at = text.find(token, at + value.size())) {
    text.replace(at, token.size(), value);
  }
}

class SeededLibrary : public LibraryRequestsTest {
 public:
  SeededLibrary() {
    SetUp();
    project_ = NewProject("P");
    document_ = AddDocument(project_, "a.txt", "one");
    AddDocument(project_, "b.txt", "two");
    CheckIn(project_, "a.txt", "v2");
    CheckIn(project_, "a.txt", "v3");
    FUZZ_CHECK(client_ && client_->IsLoggedOn() && !document_.empty());
  }
  void TestBody() override {}

  const std::string& Root() const { return server_.RootPath(); }

  // A new connection for ann, not logged on; the code her next logon must give.
  std::unique_ptr<TestClient> Connect() {
    const std::optional<UserAccount> stored = server_.StoredUser(ann_.GetId());
    FUZZ_CHECK(stored.has_value());
    std::unique_ptr<TestClient> client = server_.MakeClient(*stored);
    FUZZ_CHECK(client->Connect(server_.Port()));
    return client;
  }
  std::string LogonCode() const { return server_.StoredUser(ann_.GetId())->GetLogonCode(); }

  // A certificate for ann as the administration issues it (plain text); "" when
  // none was made. ann's key changes: the library takes no more requests after it.
  std::string Certificate() {
    const std::string path = Root() + "/ann.wxc";
    std::string text;
    if (server_.WriteCertificate(ann_.GetId(), path)) CertificateFile::Read(path, text);
    std::filesystem::remove(path);
    return text;
  }

  // Sends the request and returns the reply's body (and id, when asked); none when the
  // server ended the connection (a new one is then logged on). Any other outcome is a finding.
  std::optional<std::string> Ask(MessageId id, std::string body, MessageId* replyId = nullptr) {
    ReplaceAll(body, "$P", project_);
    ReplaceAll(body, "$D", document_);
    const std::uint32_t stamp = client_->Send(id, body);
    TestClient::Reply reply;
    const Status status = stamp == 0 ? Status::Closed : client_->Receive(reply, 30000);
    if (status == Status::Closed) {
      LogOnAgain();
      return std::nullopt;
    }
    FUZZ_CHECK(status == Status::Ok);
    FUZZ_CHECK(reply.message.GetOriginalStamp() == stamp);
    FUZZ_CHECK(IsReplyId(reply.message.GetMessageId()));
    if (replyId != nullptr) *replyId = reply.message.GetMessageId();
    return reply.message.GetBodyText();
  }

 private:
  void LogOnAgain() {
    const std::string code = LogonCode();
    client_ = Connect();
    TestClient::Reply reply;
    FUZZ_CHECK(client_->Logon("ann", "secret", code, reply) == Status::Ok);
    FUZZ_CHECK(reply.message.GetMessageId() == MSGID_LOGON_ACCEPTED);
  }

  std::string project_;
  std::string document_;
};

}  // namespace fuzz
