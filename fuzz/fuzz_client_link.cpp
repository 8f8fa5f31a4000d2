// Raw server bytes into the client's link. A peer on 127.0.0.1 takes the link's
// connection and logon, sends the input's frames (fuzz::SplitFrames) and hangs up.
// A selector below 0x80 frames a message: its low six bits pick the id (5002-5053),
// the content is a stamp byte and the body; with bit 6 four bytes ahead of the body
// give the length the header announces instead of the body's own. Behind a 5022 or
// 5024 without bit 6 follow the files its rows flag (1 MiB in all at most). From
// 0x80 an even selector sends the content as a whole header (cut or zero-filled to
// 52 bytes), an odd one as bytes of a body or file.
// Whatever arrives: nothing is taken after a 5002, the account's code changes only
// on the logon reply the link took, a reconnect follows only a lost logged-on link,
// every received file is named by a reply and no other is left; a stream of honest
// messages is taken whole, up to where the link must stop, and after an accepted
// logon the next request's stamp lies above the reply's stamp counter.
#include <optional>
#include <string_view>

#include "client/link/FileReplyBody.h"
#include "client/link/IPConnectionPeer_test.h"
#include "common/RecordFields.h"
#include "common/RecordRows.h"
#include "fuzz/FuzzSupport.h"

namespace {

using link_test::Link;
using link_test::RawPeer;

constexpr std::int64_t kMaxFileBytes = 1 << 20;
constexpr int kRetryLimit = 300;  // 3 s without progress ends a transfer
constexpr auto kEndBound = std::chrono::seconds(10);

struct Frame {
  enum class Kind { Message, Header, Bytes } kind = Kind::Message;
  MessageId id = 0;
  std::uint32_t stamp = 0;
  std::optional<std::uint32_t> announced;  // the header's length when not the body's
  std::string body;                        // or the raw bytes
  std::optional<std::vector<std::string>> files;  // what follows a file reply, when it can be framed
  bool Honest() const { return kind == Kind::Message && !announced && (!IsReplyWithFiles(id) || files); }
};

// The files a file reply's rows flag, in row order; none when the body cannot be
// framed or the files are too large to send here.
std::optional<std::vector<std::string>> FlaggedFiles(const std::string& body) {
  const std::optional<FileReplyBody> parsed = FileReplyBody::Parse(body);
  if (!parsed) return std::nullopt;
  std::vector<std::string> files;
  std::int64_t total = 0;
  for (const FileReplyRow& row : parsed->rows) {
    if (!row.flagged) continue;
    total += row.size;
    if (total > kMaxFileBytes) return std::nullopt;
    files.emplace_back(static_cast<std::size_t>(row.size), static_cast<char>('a' + files.size() % 26));
  }
  return files;
}

Frame Decode(const fuzz::Frame& raw) {
  Frame frame;
  if ((raw.selector & 0x80) != 0) {
    frame.kind = (raw.selector & 1) != 0 ? Frame::Kind::Bytes : Frame::Kind::Header;
    frame.body = raw.content;
    if (frame.kind == Frame::Kind::Header) frame.body.resize(Msg::kHeaderSize, '\0');
    return frame;
  }
  frame.id = kFirstMessageId + (raw.selector & 0x3F) % (kLastMessageId - kFirstMessageId + 1);
  std::string_view rest = raw.content;
  if (!rest.empty()) {
    frame.stamp = static_cast<unsigned char>(rest[0]);
    rest.remove_prefix(1);
  }
  if ((raw.selector & 0x40) != 0) {
    frame.announced = fuzz::LittleEndian32(std::string(rest.substr(0, 4)));
    rest.remove_prefix(std::min<std::size_t>(4, rest.size()));
  }
  frame.body = rest;
  if (!frame.announced && IsReplyWithFiles(frame.id)) frame.files = FlaggedFiles(frame.body);
  return frame;
}

// What the link must take of an honest stream: the frames up to a 5002, or up to a
// logon reply that ends the link. After a refused logon the link may still take
// what follows before it closes: then only a prefix is certain.
struct Expectation {
  std::size_t taken = 0;
  bool exact = true;
  std::optional<std::size_t> acceptedAt;  // the logon reply the link accepts
};

Expectation Expect(const std::vector<Frame>& frames) {
  Expectation expectation;
  bool logonAnswered = false;
  for (const Frame& frame : frames) {
    const std::size_t index = expectation.taken++;
    if (!logonAnswered && frame.id == MSGID_LOGON_REFUSED) {
      logonAnswered = true;
      expectation.exact = false;
    } else if (!logonAnswered && frame.id == MSGID_LOGON_ACCEPTED) {
      logonAnswered = true;
      if (frame.body.empty()) break;
      expectation.acceptedAt = index;
    }
    if (frame.id == MSGID_BYE) break;
  }
  return expectation;
}

bool Send(RawPeer& peer, const Frame& frame) {
  switch (frame.kind) {
    case Frame::Kind::Message:
      return peer.Write(frame.id, frame.body, frame.files.value_or(std::vector<std::string>{}), frame.announced,
                        frame.stamp);
    case Frame::Kind::Header:
    case Frame::Kind::Bytes:
      return peer.WriteParts({frame.body});
  }
  return false;
}

// After the accepted logon: the link's next request travels with a stamp above the
// counter the reply gave (its second field).
void CheckStampAfterLogon(Link& link, RawPeer& peer, const Frame& accepted) {
  FUZZ_CHECK(link.WaitLoggedOn());
  std::string code;
  std::int32_t counter = 0;
  ReadIntField(counter, ReadStringField(code, accepted.body));
  Msg request = link_test::Request(MSGID_REFRESH_PROJECTS, "");
  FUZZ_CHECK(link.connection.SendMessage(request) == IPConnection::kDone);
  const std::optional<Msg> sent = peer.Read(1);
  FUZZ_CHECK(sent && sent->GetOriginalStamp() == request.GetOriginalStamp() && request.GetOriginalStamp() != 0);
  FUZZ_CHECK(counter <= 0 || request.GetOriginalStamp() > static_cast<std::uint32_t>(counter));
}

struct ReceivedRow {
  std::string name;
  std::int32_t version = 0;
  std::int32_t flag = 0;
  std::string path;
  std::int32_t size = 0;
};

// The rows of a file reply as the link hands it on (each with its temporary path).
std::vector<ReceivedRow> ReceivedRows(const Msg& reply) {
  std::vector<std::string> lines = SplitRecordRows(link_test::BodyOf(reply));
  std::vector<ReceivedRow> rows;
  for (std::size_t i = 1; i < lines.size(); ++i) {
    ReceivedRow row;
    ReadIntField(row.size, ReadStringField(row.path, ReadIntField(row.flag, ReadIntField(row.version,
                                                                                       ReadStringField(row.name, lines[i])))));
    rows.push_back(row);
  }
  return rows;
}

// Every flagged row of a taken file reply names a file of its size, and no other
// file is left in the link's temporary folder.
void CheckReceivedFiles(const std::vector<Msg>& taken, const std::string& folder) {
  std::set<std::string> named;
  for (const Msg& message : taken) {
    if (!IsReplyWithFiles(message.GetMessageId())) continue;
    for (const ReceivedRow& row : ReceivedRows(message)) {
      if (row.flag == 0) continue;
      std::error_code error;
      FUZZ_CHECK(std::filesystem::file_size(row.path, error) == static_cast<std::uintmax_t>(row.size) && !error);
      named.insert(std::filesystem::path(row.path).filename().string());
    }
  }
  for (const std::string& name : fuzz::Entries(folder)) FUZZ_CHECK(named.count(name) != 0);
}

// An honest frame as the link must hand it on.
void CheckTakenAsSent(const Msg& taken, const Frame& sent) {
  FUZZ_CHECK(taken.GetMessageId() == sent.id && taken.GetOriginalStamp() == sent.stamp);
  if (!IsReplyWithFiles(sent.id)) {
    FUZZ_CHECK(link_test::BodyOf(taken) == sent.body);
    return;
  }
  const std::vector<FileReplyRow> rows = FileReplyBody::Parse(sent.body)->rows;
  const std::vector<ReceivedRow> received = ReceivedRows(taken);
  FUZZ_CHECK(received.size() == rows.size());
  std::size_t file = 0;
  for (std::size_t i = 0; i < rows.size(); ++i) {
    FUZZ_CHECK(received[i].name == rows[i].name && received[i].version == rows[i].version &&
               (received[i].flag != 0) == rows[i].flagged && received[i].size == rows[i].size);
    if (rows[i].flagged) FUZZ_CHECK(platform::ScratchFolder::Read(received[i].path) == (*sent.files)[file++]);
  }
}

void CheckTaken(const std::vector<Msg>& taken, const std::vector<Frame>& frames, std::size_t streamBytes,
                const std::vector<std::string>& codes, bool reconnected) {
  FUZZ_CHECK(taken.size() <= streamBytes / Msg::kHeaderSize);
  bool bye = false;
  for (const Msg& message : taken) {
    FUZZ_CHECK(!bye);
    bye = message.GetMessageId() == MSGID_BYE;
  }
  // The first logon reply taken is the one the link acted on.
  const auto logonReply = std::find_if(taken.begin(), taken.end(), [](const Msg& m) {
    return m.GetMessageId() == MSGID_LOGON_ACCEPTED || m.GetMessageId() == MSGID_LOGON_REFUSED;
  });
  const bool accepted = logonReply != taken.end() && logonReply->GetMessageId() == MSGID_LOGON_ACCEPTED &&
                        logonReply->GetBodyLength() > 0;
  FUZZ_CHECK(codes.size() == (accepted ? 1u : 0u));
  if (accepted) {
    std::string code;
    ReadStringField(code, link_test::BodyOf(*logonReply));
    FUZZ_CHECK(codes[0] == "Raw/7/" + code);
  }
  FUZZ_CHECK(!reconnected || (accepted && !bye));

  if (!std::all_of(frames.begin(), frames.end(), [](const Frame& f) { return f.Honest(); })) return;
  const Expectation expectation = Expect(frames);
  FUZZ_CHECK(expectation.exact ? taken.size() == expectation.taken : taken.size() <= expectation.taken);
  for (std::size_t i = 0; i < taken.size(); ++i) CheckTakenAsSent(taken[i], frames[i]);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::vector<Frame> frames;
  for (const fuzz::Frame& raw : fuzz::SplitFrames(fuzz::Text(data, size))) frames.push_back(Decode(raw));
  const bool honest = std::all_of(frames.begin(), frames.end(), [](const Frame& f) { return f.Honest(); });
  // The frame after which the link logs on, in an honest stream.
  const std::size_t acceptedAt = honest ? Expect(frames).acceptedAt.value_or(frames.size()) : frames.size();

  RawPeer peer;
  Link link(kRetryLimit);
  FUZZ_CHECK(link.Start(peer.Account(), peer.Entry()));
  FUZZ_CHECK(peer.Accept());
  const std::optional<Msg> logon = peer.Read(0);
  FUZZ_CHECK(logon && logon->GetMessageId() == MSGID_LOGON);
  std::size_t streamBytes = 0;
  for (std::size_t i = 0; i < frames.size(); ++i) {
    if (!Send(peer, frames[i])) break;
    streamBytes += (frames[i].kind == Frame::Kind::Message ? Msg::kHeaderSize : 0) + frames[i].body.size();
    for (const std::string& file : frames[i].files.value_or(std::vector<std::string>{})) streamBytes += file.size();
    if (acceptedAt == i) CheckStampAfterLogon(link, peer, frames[i]);
  }
  peer.Hang();
  FUZZ_CHECK(link_test::WaitUntil([&] { return link.Ended() || peer.HasNewConnection(0); }, kEndBound));
  const bool reconnected = peer.Accept(0);
  link.StopAndJoin();

  std::vector<Msg> taken;
  for (Msg message; link.connection.ReceiveMessage(message) == IPConnection::kDone;) taken.push_back(message);
  CheckReceivedFiles(taken, link.TemporaryFolder());
  CheckTaken(taken, frames, streamBytes, link.Codes(), reconnected);
  return 0;
}
