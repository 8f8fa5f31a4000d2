// Every reply the client handles, on an opened library: the first byte's low seven
// bits pick the reply's id, the rest is its body, which a running server sends in
// answer to the document's next tree request. With the first byte's high bit the
// next four bytes (little-endian) are instead the original stamp of a reply nobody
// asked for, sent just before the tree request's own answer. The files a file reply
// flags are sent too (small ones only). Afterwards the document has taken the reply (or ended or remade its
// link), no temporary file is left, and nothing was written beside the libraries.
#include <algorithm>
#include <mutex>
#include <optional>
#include <set>

#include "client/document/TemporaryFiles.h"
#include "client/link/FileReplyBody.h"
#include "common/RecordFields.h"
#include "fuzz/FuzzSupport.h"
#include "server/engine/FileListBody.h"
#include "server/engine/RequestDispatcher.h"
#include "testsupport/ClientLibraryTest.h"

namespace {

constexpr std::int32_t kMaxFileBytes = 64 * 1024;
constexpr std::int32_t kMaxReplyFileBytes = 1024 * 1024;

class ClientReplies : public client_test::ClientLibraryTest {
 public:
  ClientReplies() {
    SetUp();
    FUZZ_CHECK(app_ != nullptr);
  }
  ~ClientReplies() override { TearDown(); }
  void TestBody() override {}

  // `stamp`: the original stamp of a reply sent ahead of the real answer; none: the
  // reply answers the tree request.
  void Take(MessageId id, const std::string& body, std::optional<std::uint32_t> stamp) {
    std::optional<std::string> sent = id == MSGID_RETRIEVED_DOCUMENTS || id == MSGID_CHECKED_OUT_DOCUMENTS
                                          ? WithServerFiles(body)
                                          : std::optional<std::string>(body);
    if (!sent) return;
    CBrannockDoc* document = ReadyDocument();
    const std::set<std::string> before = fuzz::Entries(work_);
    {
      std::lock_guard lock(replyMutex_);
      reply_ = Reply{id, *sent, stamp};
    }
    document->RequestProjectTree(true);
    FUZZ_CHECK(PassUntil([&] { return !IsOpen(document) || Settled(*document); }, client_test::seconds(20)));
    // The document drains whatever the reply queued before the files are looked at.
    FUZZ_CHECK(PassUntil([&] { return !IsOpen(document) || document->GetBatches().empty(); }, client_test::seconds(20)));
    FUZZ_CHECK(fuzz::Entries(work_ + "/" + TemporaryFiles::kFolderName).empty());
    for (const std::string& name : fuzz::Entries(work_)) FUZZ_CHECK(before.count(name) != 0);
    std::lock_guard lock(shownMutex_);
    shown_.clear();
  }

 private:
  void RegisterCounters() override {
    server_.Dispatcher().Register(MSGID_REFRESH_PROJECTS, [this](RTE& engine, const Msg& request) {
      std::optional<Reply> reply;
      {
        std::lock_guard lock(replyMutex_);
        reply.swap(reply_);
      }
      if (!reply) return standard_.Dispatch(engine, request);
      if (!reply->stamp) return RequestDispatcher::SendReply(engine, request, reply->id, reply->body);
      Msg unasked = request;
      unasked.SetOriginalStamp(*reply->stamp);
      return RequestDispatcher::SendReply(engine, unasked, reply->id, reply->body) &&
             standard_.Dispatch(engine, request);
    });
  }

  bool IsOpen(const CBrannockDoc* document) {
    return app_->GetOpenLibraries().Find([&](const LibraryDocument& open) { return &open == document; }) != nullptr;
  }
  bool Settled(const CBrannockDoc& document) {
    return document.IsReady() && document.GetUnansweredRequestCount() == 0;
  }

  // The document of the library, opened again when a reply closed it, once every
  // earlier request is answered.
  // A goodbye still in flight may close it while it settles: it is opened once more.
  CBrannockDoc* ReadyDocument() {
    for (int attempt = 0; attempt < 3; ++attempt) {
      if (document_ == nullptr || !IsOpen(document_)) {
        PassUntil([&] { return app_->GetOpenLibraries().GetCount() == 0; });
        document_ = OpenReady("0");
        FUZZ_CHECK(document_ != nullptr);
      }
      FUZZ_CHECK(PassUntil([&] { return !IsOpen(document_) || Settled(*document_); }, client_test::seconds(20)));
      if (IsOpen(document_)) return document_;
    }
    FUZZ_CHECK(!"the library stays open");
    return nullptr;
  }

  // The body as a file reply's handler builds it on the server, each flagged row
  // naming a file of its size; none for files too large to send here, and none when
  // the wire body the server makes of it would not frame the same files (the server
  // never sends a body that it did not build itself).
  std::optional<std::string> WithServerFiles(const std::string& wireBody) {
    const std::optional<FileReplyBody> parsed = FileReplyBody::Parse(wireBody);
    if (!parsed) return std::nullopt;
    std::int64_t total = 0;
    for (const FileReplyRow& row : parsed->rows) total += row.flagged ? row.size : 0;
    const bool tooLarge = std::any_of(parsed->rows.begin(), parsed->rows.end(), [](const FileReplyRow& row) {
      return row.flagged && row.size > kMaxFileBytes;
    });
    if (tooLarge || total > kMaxReplyFileBytes) return std::nullopt;
    std::string body = EndRecord(AppendIntField(static_cast<std::int32_t>(parsed->rows.size()),
                                                AppendStringField(parsed->project, "")));
    for (std::size_t i = 0; i < parsed->rows.size(); ++i) {
      const FileReplyRow& row = parsed->rows[i];
      const std::string path =
          row.flagged ? folder_.Put("sent_" + std::to_string(i), std::string(static_cast<std::size_t>(row.size), 'x'))
                      : std::string();
      std::string line = AppendStringField(path, AppendBoolField(row.flagged, AppendIntField(row.version, AppendStringField(row.name, ""))));
      body += EndRecord(AppendIntField(row.size, std::move(line)));
    }
    std::string project;
    std::vector<OutgoingFile> files;
    ParseFileReply(body, project, files);
    const std::optional<FileReplyBody> sent = FileReplyBody::Parse(BuildWireFileReply(project, files));
    const auto sameFiles = [](const FileReplyRow& a, const FileReplyRow& b) {
      return a.flagged == b.flagged && (!a.flagged || a.size == b.size);
    };
    if (!sent || !std::equal(sent->rows.begin(), sent->rows.end(), parsed->rows.begin(), parsed->rows.end(), sameFiles)) {
      return std::nullopt;
    }
    return body;
  }

  struct Reply {
    MessageId id = 0;
    std::string body;
    std::optional<std::uint32_t> stamp;
  };
  std::mutex replyMutex_;
  std::optional<Reply> reply_;
  CBrannockDoc* document_ = nullptr;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  static const std::vector<MessageId> ids = fuzz::ClientReplyIds();
  static ClientReplies client;
  const MessageId id = ids[(data[0] & 0x7Fu) % ids.size()];
  if ((data[0] & 0x80u) == 0) {
    client.Take(id, fuzz::Text(data + 1, size - 1), std::nullopt);
  } else if (size >= 5) {
    client.Take(id, fuzz::Text(data + 5, size - 5), fuzz::LittleEndian32(fuzz::Text(data + 1, 4)));
  }
  return 0;
}
