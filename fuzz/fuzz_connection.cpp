// A whole connection's byte stream through the real engine of the seeded library.
// The input is a run of frames (fuzz::SplitFrames); "$C" in a body stands for ben's
// current logon code, so a stream may log on. Below 52 the selector's low six bits
// pick the id (5002-5053) of a message whose body is the content; from 52 they
// shape the next message: an even value makes its header announce the content's
// first four bytes (little-endian) as its length, whatever the body, an odd one
// sends the content behind it as a file. Bit 6 scrambles the header with the
// default key whatever the state, bit 7 sends the message in 7-byte pieces. Every
// message the server sends is a reply or 5002, never more than the messages sent
// but for a last 5002 (the farewell before it closes); no received file outlives
// the connection, and the server takes the next one. Each stream runs twice: on the
// plain wire and inside TLS, whose records pass in memory, where the same holds.
#include "fuzz/SeededLibrary.h"

namespace {

constexpr unsigned kFirstShaping = kLastMessageId - MSGID_BYE + 1;
constexpr auto kConnectionEndBound = std::chrono::seconds(10);

struct Message {
  MessageId id = 0;
  TestClient::SendOptions options;
  std::string body;
  std::vector<std::string> files;
};

std::vector<Message> Messages(const std::string& input, const std::string& code) {
  std::vector<Message> messages;
  Message next;
  for (const fuzz::Frame& frame : fuzz::SplitFrames(input)) {
    const unsigned kind = frame.selector & 0x3Fu;
    if (kind >= kFirstShaping && kind % 2 == 0) {
      next.options.announcedLength = fuzz::LittleEndian32(frame.content);
    } else if (kind >= kFirstShaping) {
      next.files.push_back(frame.content);
    } else {
      next.id = MSGID_BYE + kind;
      if ((frame.selector & 0x40) != 0) next.options.headerKey = TestClient::HeaderKey::Default;
      if ((frame.selector & 0x80) != 0) next.options.pieceSize = 7;
      next.body = frame.content;
      fuzz::ReplaceAll(next.body, "$C", code);
      messages.push_back(std::move(next));
      next = Message{};
    }
  }
  return messages;
}

// One stream over one connection, then what came back.
void RunStream(fuzz::SeededLibrary& library, std::unique_ptr<TestClient> client, const std::string& input) {
  std::size_t sent = 0;
  for (const Message& message : Messages(input, library.LogonCode())) {
    if (client->SendWithFiles(message.id, message.body, message.files, message.options) == 0) break;
    ++sent;
  }
  std::size_t received = 0;
  TestClient::Reply reply;
  while (client->Receive(reply, 100) == TestClient::ReceiveStatus::Ok) {
    const MessageId id = reply.message.GetMessageId();
    FUZZ_CHECK(IsReplyId(id) || id == MSGID_BYE);
    FUZZ_CHECK(++received <= sent + 1);
    FUZZ_CHECK(received <= sent || id == MSGID_BYE);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static fuzz::SeededLibrary library;
  const std::string input = fuzz::Text(data, size);
  RunStream(library, library.Connect(), input);
  FUZZ_CHECK(library.NoReceivedFileLeft(kConnectionEndBound));
  RunStream(library, library.ConnectTlsInMemory(), input);
  FUZZ_CHECK(library.NoReceivedFileLeft(kConnectionEndBound));
  return 0;
}
