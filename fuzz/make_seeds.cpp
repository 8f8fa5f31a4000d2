// Writes the seed corpus of every fuzz target into <folder>/<target>/, made by the
// system's own writers: the record files of a real library after real requests, the
// replies its server sent, and the client's files after importing its certificate.
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "client/core/CertificateImport.h"
#include "client/core/ClientAppState.h"
#include "client/core/DocumentVersionEntry.h"
#include "client/core/FolderRuleSet.h"
#include "client/core/LibraryEntryFile.h"
#include "client/core/ProjectDocumentList.h"
#include "client/core/ProjectInventory.h"
#include "client/core/RequestBodies.h"
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

// Every request the client sends, as the client builds it, naming the seeded project.
std::vector<std::pair<MessageId, std::string>> Requests() {
  using R = RequestBodies;
  const std::vector<R::DocumentVersion> documents{{"a.txt", 2}, {"b.txt", 0}};
  const std::vector<R::ReferenceRow> references{{"a.txt", 1, "$P", "why"}};
  return {{MSGID_REFRESH_PROJECTS, R::RefreshProjects()},
          {MSGID_ADD_PROJECT, R::AddProject("$P", "Q")},
          {MSGID_LIST_DOCUMENTS, R::ListDocuments("$P")},
          {MSGID_RETRIEVE, R::GetDocuments("$P", documents)},
          {MSGID_RETRIEVE, R::GetDocuments("$P", {})},
          {MSGID_CHECK_OUT, R::CheckOutDocuments("$P", documents, true, false)},
          {MSGID_LIST_VERSIONS, R::ListVersions("$P")},
          {MSGID_CREATE_EDITION, R::CreateEdition("$P", "E", "first")},
          {MSGID_ADD_ORIGINAL_PROJECT, R::AddOriginalProject("$P", "O")},
          {MSGID_ADD_ORIGINAL_REFERENCES, R::AddOriginalReferences("$P", references)},
          {MSGID_GET_ORIGINAL_DOCUMENTS, R::GetOriginalDocuments("$P")},
          {MSGID_ADD_REFERENCES, R::AddDocumentReferences("$P", references)},
          {MSGID_DELETE_PROJECT, R::DeleteProject("", "$P")},
          {MSGID_DELETE_DOCUMENTS, R::DeleteDocuments("$P", {"$D"})},
          {MSGID_RENAME_PROJECT, R::RenameProject("$P", "P2")},
          {MSGID_RENAME_DOCUMENT, R::RenameDocument("$P", "$D", "c.txt")}};
}

// The selector byte of fuzz_requests for a request id.
int RequestSelector(MessageId id) {
  const auto* found = std::find(std::begin(fuzz::kRequestsWithoutFiles), std::end(fuzz::kRequestsWithoutFiles), id);
  return static_cast<int>(found - std::begin(fuzz::kRequestsWithoutFiles));
}

void AddMessages(Corpus& corpus, const std::vector<std::pair<MessageId, std::string>>& requests) {
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

// Streams for fuzz_connection: a logon, then every request, as frames of that target.
void AddConnectionStreams(Corpus& corpus, const std::vector<std::pair<MessageId, std::string>>& requests) {
  const auto frame = [](MessageId id, const std::string& body) {
    const std::size_t length = std::min<std::size_t>(body.size(), 0xFFFF);
    return std::string{static_cast<char>(id - MSGID_BYE), static_cast<char>(length & 0xFF),
                       static_cast<char>(length >> 8)} + body.substr(0, length);
  };
  const std::string logon =
      frame(MSGID_LOGON, EndRecord(AppendStringField("$C", AppendStringField("secret", AppendStringField("ann", "")))));
  corpus.Add("fuzz_connection", logon);
  for (const auto& [id, body] : requests) corpus.Add("fuzz_connection", logon + frame(id, body));
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

// Every reply the server gave to the client's requests, by the selector of fuzz_client_replies.
// Runs last on the library: the requests delete and rename what they name.
void AddReplies(Corpus& corpus, fuzz::SeededLibrary& library, const std::vector<std::pair<MessageId, std::string>>& requests) {
  const std::vector<MessageId> ids = fuzz::ClientReplyIds();
  for (const auto& [id, body] : requests) {
    MessageId replyId = 0;
    const std::optional<std::string> reply = library.Ask(id, body, &replyId);
    const auto selector = std::find(ids.begin(), ids.end(), replyId);
    if (reply && selector != ids.end()) corpus.Add("fuzz_client_replies", *reply, static_cast<int>(selector - ids.begin()));
  }
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
  const std::vector<std::pair<MessageId, std::string>> requests = Requests();
  AddMessages(corpus, requests);
  AddConnectionStreams(corpus, requests);

  const std::optional<std::string> tree = library.Ask(MSGID_REFRESH_PROJECTS, "");
  const std::optional<std::string> list = library.Ask(MSGID_LIST_DOCUMENTS, RequestBodies::ListDocuments("$P"));
  const std::optional<std::string> versions = library.Ask(MSGID_LIST_VERSIONS, RequestBodies::ListVersions("$P"));
  FUZZ_CHECK(tree && list && versions);
  corpus.Add("fuzz_trees", *tree, 0);
  for (const std::string* reply : {&*tree, &*list, &*versions}) corpus.Add("fuzz_record_lines", *reply);
  AddDocumentList(corpus, *list);
  AddStoreFiles(corpus, library.Root());
  AddReplies(corpus, library, requests);

  const std::string certificate = library.Certificate();
  FUZZ_CHECK(!certificate.empty());
  corpus.Add("fuzz_certificate", certificate);
  AddCodecSeeds(corpus, certificate);
  AddClientFiles(corpus, certificate, *tree);
  return 0;
}
