#pragma once
// A running server on a library the request handlers know, built once per process:
// project P with a.txt (three versions) and b.txt; its child K with c.txt, checked
// out to ann, and a reference to version 2 of a.txt; an edition E of P holding a
// reference to b.txt, with a supplement S. ann is logged on over TCP; ben, whose
// account no logon locks, takes the logons and logoffs of the inputs and the
// stream targets' connections. In a request body "$P", "$K", "$E", "$S" and "$D"
// stand for the internal names of P, K, E, S and a.txt, "$C" in a logon body for
// ben's current code.
#include <chrono>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "common/CertificateFile.h"
#include "fuzz/FuzzSupport.h"
#include "platform/TlsContext.h"
#include "platform/Transport.h"
#include "server/engine/StartSockets.h"
#include "server/engine/FileListBody.h"
#include "server/engine/LibraryRequestsTestLibrary_test.h"

namespace fuzz {

// The requests fuzz_requests picks from by index: every request but the goodbye.
inline constexpr MessageId kRequests[] = {
    MSGID_REFRESH_PROJECTS,        MSGID_ADD_PROJECT,            MSGID_LIST_DOCUMENTS,  MSGID_RETRIEVE,
    MSGID_CHECK_OUT,               MSGID_LIST_VERSIONS,          MSGID_CREATE_EDITION,  MSGID_ADD_ORIGINAL_PROJECT,
    MSGID_ADD_ORIGINAL_REFERENCES, MSGID_GET_ORIGINAL_DOCUMENTS, MSGID_ADD_REFERENCES,  MSGID_DELETE_PROJECT,
    MSGID_DELETE_DOCUMENTS,        MSGID_RENAME_PROJECT,         MSGID_RENAME_DOCUMENT, MSGID_ADD_DOCUMENTS,
    MSGID_CHECK_IN,                MSGID_LOGON,                  MSGID_LOGOFF};

inline void ReplaceAll(std::string& text, const std::string& token, const std::string& value) {
  for (std::size_t at = text.find(token); at != std::string::npos; at = text.find(token, at + value.size())) {
    text.replace(at, token.size(), value);
  }
}

// The files the rows of a 5018 or 5026 body announce, each filled with one letter;
// none when the server cannot read the body, nothing at all when they exceed 1 MiB.
inline std::optional<std::vector<std::string>> AnnouncedFiles(const std::string& body) {
  constexpr std::int64_t kMaxFileBytes = 1 << 20;
  FileRequest request;
  if (ParseFileRequest(body, request) != FileRequestError::None) return std::vector<std::string>{};
  std::vector<std::string> files;
  std::int64_t total = 0;
  for (const ReceivedFile& file : request.files) {
    total += file.size;
    if (total > kMaxFileBytes) return std::nullopt;
    files.emplace_back(static_cast<std::size_t>(file.size), static_cast<char>('a' + files.size() % 26));
  }
  return files;
}

class SeededLibrary : public LibraryRequestsTest {
 public:
  static constexpr const char* kStreamUser = "ben";

  // The library serves plain and TLS connections alike.
  SeededLibrary() {
    FUZZ_CHECK(server_.EnableTls(TlsSettings::Mode::Optional));
    SetUp();
    std::string error;
    tlsContext_ = platform::TlsContext::ForServer(TlsSettings::CertificatePath(Root()), TlsSettings::KeyPath(Root()),
                                                  error);
    FUZZ_CHECK(tlsContext_ != nullptr);
    const std::optional<UserAccount> ben = server_.AddUser(kStreamUser, "secret", false);
    FUZZ_CHECK(ben.has_value());
    benSession_.account = *ben;
    annSession_.account = ann_;
    annSession_.client = std::move(client_);
    LogOnAgain(benSession_);
    Seed();
    FUZZ_CHECK(annSession_.client->IsLoggedOn() && !names_.empty());
  }
  void TestBody() override {}

  const std::string& Root() const { return server_.RootPath(); }

  // A new connection for ben, not logged on; the code his next logon must give.
  std::unique_ptr<TestClient> Connect() { return Connect(benSession_.account); }
  // The same over TLS whose records pass in memory, straight to a connection
  // thread of the server (no socket, no lobby).
  std::unique_ptr<TestClient> ConnectTlsInMemory() {
    const std::optional<UserAccount> stored = server_.StoredUser(benSession_.account.GetId());
    FUZZ_CHECK(stored.has_value());
    auto [serverEnd, clientEnd] = platform::Transport::MemoryPair(tlsContext_, TestClient::ClientTlsContext());
    FUZZ_CHECK(StartConnection(*server_.App().GetConsole(), std::move(serverEnd)));
    std::unique_ptr<TestClient> client = server_.MakeClient(*stored);
    FUZZ_CHECK(client->ConnectTls(std::move(clientEnd)));
    return client;
  }
  std::string LogonCode() const { return server_.StoredUser(benSession_.account.GetId())->GetLogonCode(); }

  // A certificate for ann as the administration issues it (plain text); "" when
  // none was made. ann's key changes: the library takes no more requests after it.
  std::string Certificate() {
    const std::string path = Root() + "/ann.wxc";
    std::string text;
    if (server_.WriteCertificate(annSession_.account.GetId(), path)) CertificateFile::Read(path, text);
    std::filesystem::remove(path);
    return text;
  }

  // Sends the request (ann's, or ben's for a logon or logoff), with `files` behind
  // it, and returns the reply's body (and id, when asked); none when the server
  // ended the connection or logged it off (a new one is then logged on). Any other
  // outcome is a finding.
  std::optional<std::string> Ask(MessageId id, std::string body, MessageId* replyId = nullptr,
                                 const std::vector<std::string>& files = {}) {
    Session& session = id == MSGID_LOGON || id == MSGID_LOGOFF ? benSession_ : annSession_;
    body = Named(std::move(body));
    if (id == MSGID_LOGON) ReplaceAll(body, "$C", LogonCode());
    const std::uint32_t stamp = session.client->SendWithFiles(id, body, files, {});
    TestClient::Reply reply;
    const Status status = stamp == 0 ? Status::Closed : session.client->Receive(reply, 30000);
    const MessageId answer = reply.message.GetMessageId();
    if (status == Status::Ok) {
      FUZZ_CHECK(reply.message.GetOriginalStamp() == stamp);
      FUZZ_CHECK(IsReplyId(answer) || answer == MSGID_BYE);
    } else {
      FUZZ_CHECK(status == Status::Closed);
    }
    if (status == Status::Closed || answer == MSGID_BYE || answer == MSGID_LOGON_REFUSED) {
      LogOnAgain(session);
      return std::nullopt;
    }
    if (replyId != nullptr) *replyId = answer;
    return reply.message.GetBodyText();
  }

  // The text with the names the tokens stand for.
  std::string Named(std::string text) const {
    for (const auto& [token, value] : names_) ReplaceAll(text, token, value);
    return text;
  }

  // Whether the server's temporary folder holds no received file, waiting up to
  // `wait` for connections that are still ending.
  bool NoReceivedFileLeft(std::chrono::milliseconds wait) const {
    const std::string folder = Root() + "/" + CWexmoorDoc::kTemporaryFolderName;
    const auto deadline = std::chrono::steady_clock::now() + wait;
    while (!Entries(folder).empty() && std::chrono::steady_clock::now() < deadline) {
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return Entries(folder).empty();
  }

 private:
  struct Session {
    UserAccount account;
    std::unique_ptr<TestClient> client;
  };

  std::unique_ptr<TestClient> Connect(const UserAccount& account) {
    const std::optional<UserAccount> stored = server_.StoredUser(account.GetId());
    FUZZ_CHECK(stored.has_value());
    std::unique_ptr<TestClient> client = server_.MakeClient(*stored);
    FUZZ_CHECK(client->Connect(server_.Port()));
    return client;
  }

  void LogOnAgain(Session& session) {
    const std::string code = server_.StoredUser(session.account.GetId())->GetLogonCode();
    session.client = Connect(session.account);
    TestClient::Reply reply;
    FUZZ_CHECK(session.client->Logon(session.account.GetName(), "secret", code, reply) == Status::Ok);
    FUZZ_CHECK(reply.message.GetMessageId() == MSGID_LOGON_ACCEPTED);
  }

  std::string Child(const std::string& parent, const std::string& name) {
    ServerProject created;
    FUZZ_CHECK(Doc().CreateProject(parent, name, "", created, false) == 0);
    return created.GetInternalName();
  }

  void Seed() {
    const std::string project = NewProject("P");
    const std::string document = AddDocument(project, "a.txt", "one");
    AddDocument(project, "b.txt", "two");
    CheckIn(project, "a.txt", "v2");
    CheckIn(project, "a.txt", "v3");
    const std::string child = Child(project, "K");
    AddDocument(child, "c.txt", "three");
    FUZZ_CHECK(Doc().CheckOutDocuments(child, "c.txt", -1, "ann", false, false).code == 0);
    FileStatistics reference;
    FUZZ_CHECK(Doc().AddReference("a.txt", child, "why", project, 2, reference, false, false) == 0);
    ServerProject edition;
    ServerProject supplement;
    FUZZ_CHECK(Doc().CreateEdition(project, "E", "", "ann", "first", edition) == 0);
    FUZZ_CHECK(Doc().AddReference("b.txt", edition.GetInternalName(), "", project, 1, reference, true, false) == 0);
    FUZZ_CHECK(Doc().CreateSupplement(edition.GetInternalName(), "S", "", "ann", "", supplement) == 0);
    FUZZ_CHECK(!document.empty() && NoReceivedFileLeft(std::chrono::milliseconds(0)));
    names_ = {{"$P", project},
              {"$K", child},
              {"$E", edition.GetInternalName()},
              {"$S", supplement.GetInternalName()},
              {"$D", document}};
  }

  Session annSession_;
  Session benSession_;
  std::shared_ptr<const platform::TlsContext> tlsContext_;
  std::vector<std::pair<std::string, std::string>> names_;
};

}  // namespace fuzz
