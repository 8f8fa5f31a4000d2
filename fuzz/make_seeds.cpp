// Writes the seed corpus of every fuzz target into <folder>/<target>/, made by the
// system's own writers: the record files of a real library after real requests, the
// replies its server sent, and the client's files after importing its certificate.
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "client/library/DocumentVersionEntry.h"
#include "client/library/ProjectDocumentList.h"
#include "client/library/ProjectInventory.h"
#include "client/link/FileRequestBody.h"
#include "client/link/RequestBodies.h"
#include "client/records/CertificateImport.h"
#include "client/records/ClientAppState.h"
#include "client/records/FolderRuleSet.h"
#include "client/records/LibraryEntryFile.h"
#include "common/CertificateFile.h"
#include "common/Codec.h"
#include "common/Msg.h"
#include "common/QuotedLines.h"
#include "common/RecordFields.h"
#include "fuzz/SeededLibrary.h"
#include "platform/ScratchFolder.h"

namespace {

namespace fs = std::filesystem;

class Corpus {
 public:
  explicit Corpus(fs::path folder) : folder_(std::move(folder)) {}

  // Adds one seed to the target's folder, prefixed with the selector byte when given.
  void Add(const std::string& target, const std::string& bytes, int selector = -1) {
    const fs::path folder = folder_ / target;
    fs::create_directories(folder);
    const std::string seed = selector < 0 ? bytes : std::string(1, static_cast<char>(selector)) + bytes;
    std::ofstream(folder / ("seed_" + std::to_string(++count_)), std::ios::binary) << seed;
  }

 private:
  fs::path folder_;
  int count_ = 0;
};

std::string Unscrambled(std::string bytes, const BuiltInKey& key) {
  Codec codec;
  codec.Add(static_cast<int>(key.size()), key.data(), 1);
  codec.Decode(0, static_cast<std::int64_t>(bytes.size()), bytes.data());
  return bytes;
}

using Request = std::pair<MessageId, std::string>;

// A logon of the stream targets' account with its current code.
std::string LogonBody() {
  return EndRecord(AppendStringField("$C", AppendStringField("secret", AppendStringField(fuzz::SeededLibrary::kStreamUser, ""))));
}

// Four bytes that fuzz::LittleEndian32 reads back as `value`.
std::string LittleEndianBytes(std::uint32_t value) {
  return {static_cast<char>(value & 0xFF), static_cast<char>((value >> 8) & 0xFF), static_cast<char>((value >> 16) & 0xFF),
          static_cast<char>(value >> 24)};
}

// The body of a request that files follow as it goes on the wire.
std::string WireBody(const std::string& queuedBody) { return FileRequestBody::Parse(queuedBody)->wireBody; }

// Every request the client sends, as the client builds it, naming the seeded projects.
std::vector<Request> Requests() {
  using R = RequestBodies;
  const std::vector<R::DocumentVersion> documents{{"a.txt", 2}, {"b.txt", 0}};
  const std::vector<R::ReferenceRow> references{{"a.txt", 1, "$P", "why"}};
  return {{MSGID_REFRESH_PROJECTS, R::RefreshProjects()},
          {MSGID_ADD_PROJECT, R::AddProject("$P", "Q")},
          {MSGID_LIST_DOCUMENTS, R::ListDocuments("$P")},
          {MSGID_LIST_DOCUMENTS, R::ListDocuments("$K")},
          {MSGID_RETRIEVE, R::GetDocuments("$P", documents)},
          {MSGID_RETRIEVE, R::GetDocuments("$P", {})},
          {MSGID_CHECK_OUT, R::CheckOutDocuments("$P", documents, true, false)},
          {MSGID_CHECK_OUT, R::CheckOutDocuments("$K", {{"a.txt", 0}}, true, true)},
          {MSGID_ADD_DOCUMENTS, WireBody(R::AddDocuments("/f", "$P", {{"new.txt", 5, "first"}, {"empty.txt", 0, ""}}))},
          {MSGID_CHECK_IN, WireBody(R::CheckInDocuments("/f", "$K", {{"c.txt", 4, "fixed"}}))},
          {MSGID_LIST_VERSIONS, R::ListVersions("$P")},
          {MSGID_CREATE_EDITION, R::CreateEdition("$P", "E", "first")},
          {MSGID_CREATE_EDITION, R::CreateEdition("$E", "S2", "more")},
          {MSGID_ADD_ORIGINAL_PROJECT, R::AddOriginalProject("$P", "O")},
          {MSGID_ADD_ORIGINAL_REFERENCES, R::AddOriginalReferences("$E", references)},
          {MSGID_GET_ORIGINAL_DOCUMENTS, R::GetOriginalDocuments("$E")},
          {MSGID_ADD_REFERENCES, R::AddDocumentReferences("$K", references)},
          {MSGID_LOGON, LogonBody()},
          {MSGID_LOGOFF, ""},
          {MSGID_DELETE_DOCUMENTS, R::DeleteDocuments("$P", {"$D"})},
          {MSGID_RENAME_PROJECT, R::RenameProject("$S", "S3")},
          {MSGID_RENAME_DOCUMENT, R::RenameDocument("$P", "$D", "c.txt")},
          {MSGID_DELETE_PROJECT, R::DeleteProject("$P", "$K")},
          {MSGID_DELETE_PROJECT, R::DeleteProject("", "$P")}};
}

// The selector byte of fuzz_requests for a request id.
int RequestSelector(MessageId id) {
  const auto* found = std::find(std::begin(fuzz::kRequests), std::end(fuzz::kRequests), id);
  return static_cast<int>(found - std::begin(fuzz::kRequests));
}

void AddMessages(Corpus& corpus, const std::vector<Request>& requests) {
  std::uint32_t stamp = 0;
  for (const auto& [id, body] : requests) {
    Msg message;
    message.SetMessageId(id);
    message.SetOriginalStamp(++stamp);
    message.StampSendTime();
    message.SetBody(body);
    std::string wire(Msg::kHeaderSize, '\0');
    message.WriteHeader(reinterpret_cast<unsigned char*>(wire.data()));
    corpus.Add("fuzz_message", wire + body);
    corpus.Add("fuzz_record_lines", body);
    corpus.Add("fuzz_requests", body, RequestSelector(id));
  }
}

// Streams for fuzz_connection: a logon, then every request with the files it
// announces; and requests whose header announces a length other than the body's or
// whose files are shorter than announced.
void AddConnectionStreams(Corpus& corpus, fuzz::SeededLibrary& library, const std::vector<Request>& requests) {
  constexpr unsigned char kAnnounce = kLastMessageId - MSGID_BYE + 1;
  constexpr unsigned char kFile = kAnnounce + 1;
  const auto frame = [](MessageId id, const std::string& body) { return fuzz::FrameBytes(id - MSGID_BYE, body); };
  const std::string logon = frame(MSGID_LOGON, LogonBody());
  corpus.Add("fuzz_connection", logon);
  for (const auto& [id, body] : requests) {
    std::string files;
    for (const std::string& file : fuzz::AnnouncedFiles(library.Named(body)).value_or(std::vector<std::string>{})) {
      files += fuzz::FrameBytes(kFile, file);
    }
    corpus.Add("fuzz_connection", logon + files + frame(id, body));
    if (id == MSGID_ADD_DOCUMENTS) corpus.Add("fuzz_connection", logon + fuzz::FrameBytes(kFile, "ab") + frame(id, body));
  }
  const std::string list = RequestBodies::ListDocuments("$P");
  for (const std::uint32_t length : {3u, 65536u, Msg::kMaxBodyLength + 1}) {
    corpus.Add("fuzz_connection", logon + fuzz::FrameBytes(kAnnounce, LittleEndianBytes(length)) + frame(MSGID_LIST_DOCUMENTS, list) +
                                      frame(MSGID_REFRESH_PROJECTS, ""));
  }
}

// Streams for fuzz_client_link: the server's replies behind its logon reply (each
// with its own stamp); a refused logon; a 5002 mid-stream; a header announcing more
// than its body, a file reply whose files are shorter than its rows, and a header
// of any kind.
void AddLinkStreams(Corpus& corpus, const std::vector<Request>& replies) {
  const auto message = [](MessageId id, const std::string& body, std::uint8_t stamp) {
    return fuzz::FrameBytes(static_cast<unsigned char>(id - kFirstMessageId), std::string(1, static_cast<char>(stamp)) + body);
  };
  const auto logonReply = std::find_if(replies.begin(), replies.end(), [](const Request& r) {
    return r.first == MSGID_LOGON_ACCEPTED;
  });
  const std::string accepted = message(MSGID_LOGON_ACCEPTED, logonReply == replies.end() ? "\"CODE2\",7" : logonReply->second, 0);
  std::string all = accepted;
  std::uint8_t stamp = 0;
  for (const auto& [id, body] : replies) all += message(id, body, ++stamp);
  corpus.Add("fuzz_client_link", all);
  corpus.Add("fuzz_client_link", message(MSGID_LOGON_REFUSED, "", 0) + message(MSGID_PROJECT_TREE, "", 1));
  corpus.Add("fuzz_client_link", accepted + message(MSGID_PROJECT_TREE, "", 1) + message(MSGID_BYE, "", 0) +
                                     message(MSGID_PROJECT_TREE, "", 2));
  constexpr unsigned char kAnnounced = 0x40;
  constexpr unsigned char kRawHeader = 0x80;
  constexpr unsigned char kRawBytes = 0x81;
  const std::string files = "\"P\",2,\"a\",1,1,5\n\"b\",1,1,3\n";
  corpus.Add("fuzz_client_link", accepted +
                                     fuzz::FrameBytes(kAnnounced | (MSGID_PROJECT_TREE - kFirstMessageId),
                                                      std::string(1, '\1') + LittleEndianBytes(100) + "short") +
                                     fuzz::FrameBytes(kRawBytes, "rest of the body"));
  corpus.Add("fuzz_client_link", accepted +
                                     fuzz::FrameBytes(kAnnounced | (MSGID_RETRIEVED_DOCUMENTS - kFirstMessageId),
                                                      std::string(1, '\2') + LittleEndianBytes(static_cast<std::uint32_t>(files.size())) + files) +
                                     fuzz::FrameBytes(kRawBytes, "hel") + fuzz::FrameBytes(kRawBytes, "xyz"));
  Msg header;
  header.SetMessageId(MSGID_CHECKED_OUT_DOCUMENTS);
  header.SetOriginalStamp(3);
  header.SetBody(files);
  std::string plain(Msg::kHeaderSize, '\0');
  header.WriteHeader(reinterpret_cast<unsigned char*>(plain.data()));
  corpus.Add("fuzz_client_link", accepted + fuzz::FrameBytes(kRawHeader, plain) + fuzz::FrameBytes(kRawBytes, files) +
                                     fuzz::FrameBytes(kRawBytes, "hello") + fuzz::FrameBytes(kRawBytes, "abc"));
}

// The store's record files of the library root, by the selector of fuzz_store_records.
void AddStoreFiles(Corpus& corpus, const std::string& root) {
  for (const auto& entry : fs::recursive_directory_iterator(root)) {
    if (!entry.is_regular_file()) continue;
    const std::string name = entry.path().filename().string();
    const std::string content = platform::ScratchFolder::Read(entry.path().string());
    if (name.ends_with("_FileStatistics.wxf")) corpus.Add("fuzz_store_records", content, 0);
    if (name.ends_with("_ProjectFileList.wxf")) corpus.Add("fuzz_store_records", content, 1);
    if (name == CWexmoorDoc::kInventoryFileName) {
      corpus.Add("fuzz_store_records", content, 2);
      corpus.Add("fuzz_trees", content, 2);
    }
    if (name == InternalNameCounter::kFileName) corpus.Add("fuzz_store_records", content, 3);
    if (name == ServerSettings::kUsersFileName) {
      corpus.Add("fuzz_users_file", Unscrambled(content, CertificateBuiltInKey()));
    }
  }
}

// The client's files after importing the certificate, by the selector of fuzz_client_records.
void AddClientFiles(Corpus& corpus, const std::string& certificate, const std::string& treeReply) {
  const platform::ScratchFolder folder;
  fuzz::AnswerYesQuietly();
  std::vector<LibraryEntry> entries;
  std::vector<UserProfile> profiles(1);
  profiles[0].SetLoginName("login");
  FolderRuleSet rules;
  rules.AddInclusion(FolderRule::kAllDocuments, "");
  rules.AddInclusion(FolderRule::kFoldersNamed, "Src/");
  rules.AddExclusion(FolderRule::kNoDocumentsNamed, "*.bak");
  profiles[0].AddFolderRuleSet(rules);
  UserProfileFile usersFile(folder / UserProfileFile::kFileName);
  CertificateImport import({entries, folder / LibraryEntryFile::kFileName, profiles, 0, usersFile, folder.Path()});
  const std::string certificatePath = folder / "user.wxc";
  if (CertificateFile::Write(certificatePath, certificate) &&
      import.Import(certificatePath) == CertificateImport::Result::Imported) {
    corpus.Add("fuzz_client_records", platform::ScratchFolder::Read(usersFile.GetPath()), 0);
    corpus.Add("fuzz_client_records", platform::ScratchFolder::Read(folder / LibraryEntryFile::kFileName), 1);
  }
  ClientAppState::ClearUsersModified();

  ProjectNode tree;
  if (tree.DecodeServer(treeReply) && ProjectInventory(folder.Path()).Save(tree)) {
    corpus.Add("fuzz_client_records", platform::ScratchFolder::Read(folder / ProjectInventory::kFileName), 2);
    corpus.Add("fuzz_trees", tree.Encode(), 1);
  }
  corpus.Add("fuzz_client_records", rules.ToRecordString(), 4);
  corpus.Add("fuzz_record_lines", rules.ToRecordString());
}

// A list cache as the client keeps it: the server's list reply when the cache reads
// it, else a list of one document.
void AddDocumentList(Corpus& corpus, const std::string& listReply) {
  const platform::ScratchFolder folder;
  QuotedLines lines(listReply);
  ProjectDocumentList list;
  if (!list.DecodeLines(lines)) {
    list.Clear();
    list.SetProjectName("P");
    DocumentVersionEntry entry;
    entry.SetName("a.txt");
    entry.SetIndexName("$D");
    entry.SetAuthor("ann");
    list.Add(entry);
  }
  if (list.WriteFile(folder / "list.wxf")) {
    corpus.Add("fuzz_client_records", platform::ScratchFolder::Read(folder / "list.wxf"), 3);
  }
}

// Every reply the server gave to the client's requests, by the selector of
// fuzz_client_replies (also as a reply nobody asked for); returned as they came.
// Runs last on the library: the requests delete and rename what they name.
std::vector<Request> AddReplies(Corpus& corpus, fuzz::SeededLibrary& library, const std::vector<Request>& requests) {
  const std::vector<MessageId> ids = fuzz::ClientReplyIds();
  std::vector<Request> replies;
  for (const auto& [id, body] : requests) {
    MessageId replyId = 0;
    const std::vector<std::string> files =
        fuzz::AnnouncedFiles(library.Named(body)).value_or(std::vector<std::string>{});
    const std::optional<std::string> reply = library.Ask(id, body, &replyId, IsRequestWithFiles(id) ? files : std::vector<std::string>{});
    if (!reply) continue;
    replies.emplace_back(replyId, *reply);
    const auto selector = std::find(ids.begin(), ids.end(), replyId);
    if (selector == ids.end()) continue;
    const int index = static_cast<int>(selector - ids.begin());
    corpus.Add("fuzz_client_replies", *reply, index);
    corpus.Add("fuzz_client_replies", std::string(4, '\0') + *reply, index | 0x80);
  }
  return replies;
}

void AddCodecSeeds(Corpus& corpus, const std::string& certificate) {
  const BuiltInKey key = CertificateBuiltInKey();
  corpus.Add("fuzz_message", std::string(1, static_cast<char>(key.size() - 1)) +
                                 std::string(key.begin(), key.end()) + certificate);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s <corpus folder>\n", argv[0]);
    return 2;
  }
  fs::remove_all(argv[1]);
  Corpus corpus(argv[1]);
  fuzz::SeededLibrary library;
  const std::vector<Request> requests = Requests();
  AddMessages(corpus, requests);
  AddConnectionStreams(corpus, library, requests);

  const std::optional<std::string> tree = library.Ask(MSGID_REFRESH_PROJECTS, "");
  const std::optional<std::string> list = library.Ask(MSGID_LIST_DOCUMENTS, RequestBodies::ListDocuments("$P"));
  const std::optional<std::string> versions = library.Ask(MSGID_LIST_VERSIONS, RequestBodies::ListVersions("$P"));
  FUZZ_CHECK(tree && list && versions);
  corpus.Add("fuzz_trees", *tree, 0);
  for (const std::string* reply : {&*tree, &*list, &*versions}) corpus.Add("fuzz_record_lines", *reply);
  AddDocumentList(corpus, *list);
  AddStoreFiles(corpus, library.Root());
  AddLinkStreams(corpus, AddReplies(corpus, library, requests));

  const std::string certificate = library.Certificate();
  FUZZ_CHECK(!certificate.empty());
  corpus.Add("fuzz_certificate", certificate);
  AddCodecSeeds(corpus, certificate);
  AddClientFiles(corpus, certificate, *tree);
  return 0;
}
