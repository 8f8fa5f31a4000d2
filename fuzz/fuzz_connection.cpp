// A whole connection's byte stream through the real engine of the seeded library.
// The input is a run of frames, each a selector byte, a 2-byte little-endian length
// and that many body bytes ("$C" stands for ann's current logon code, so a stream
// may log on). The selector's low six bits pick the message id (5002-5053), bit 6
// scrambles the header with the default key whatever the state, bit 7 sends the
// message in 7-byte pieces. Every message the server sends is a reply or 5002, never
// more than the frames sent; and the server still takes the next connection.
#include "fuzz/SeededLibrary.h"

namespace {

struct Frame {
  MessageId id;
  TestClient::SendOptions options;
  std::string body;
};

std::vector<Frame> Frames(const std::string& input, const std::string& code) {
  std::vector<Frame> frames;
  for (std::size_t at = 0; at + 3 <= input.size();) {
    const unsigned char selector = static_cast<unsigned char>(input[at]);
    const std::size_t length = static_cast<unsigned char>(input[at + 1]) |
                               static_cast<std::size_t>(static_cast<unsigned char>(input[at + 2])) << 8;
    Frame frame{MSGID_BYE + (selector & 0x3F) % (kLastMessageId - MSGID_BYE + 1), {}, input.substr(at + 3, length)};
    if ((selector & 0x40) != 0) frame.options.headerKey = TestClient::HeaderKey::Default;
    if ((selector & 0x80) != 0) frame.options.pieceSize = 7;
    fuzz::ReplaceAll(frame.body, "$C", code);
    frames.push_back(std::move(frame));
    at += 3 + length;
  }
  return frames;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static fuzz::SeededLibrary library;
  const std::unique_ptr<TestClient> client = library.Connect();
  std::size_t sent = 0;
  for (const Frame& frame : Frames(fuzz::Text(data, size), library.LogonCode())) {
    if (client->Send(frame.id, frame.body, frame.options) == 0) break;
    ++sent;
  }
  std::size_t replies = 0;
  TestClient::Reply reply;
  while (client->Receive(reply, 100) == TestClient::ReceiveStatus::Ok) {
    const MessageId id = reply.message.GetMessageId();
    FUZZ_CHECK(IsReplyId(id) || id == MSGID_BYE);
    FUZZ_CHECK(++replies <= sent);
  }
  return 0;
}
