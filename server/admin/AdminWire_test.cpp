#include "server/admin/AdminWire.h"

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <unistd.h>

#include <thread>

namespace {

// A field as the wire carries it: its 4-byte length, then its bytes.
std::string Field(const std::string& bytes, std::uint32_t length) {
  std::string field;
  for (int shift = 24; shift >= 0; shift -= 8) field.push_back(static_cast<char>((length >> shift) & 0xFF));
  return field + bytes;
}
std::string Field(const std::string& bytes) { return Field(bytes, static_cast<std::uint32_t>(bytes.size())); }

TEST(AdminWireTest, RequestsAndRepliesTravelWholeAndMalformedBodiesAreRefused) {
  const AdminWire::Request request{{"add-user", "ann", std::string("a\0b", 3)}, std::string("pass\nword")};
  AdminWire::Request read;
  ASSERT_TRUE(AdminWire::Decode(AdminWire::Encode(request), read));
  EXPECT_EQ(read.command, request.command);
  EXPECT_EQ(read.password, request.password);
  AdminWire::Reply reply;
  ASSERT_TRUE(AdminWire::Decode(AdminWire::Encode(AdminWire::Reply{64, "out", "err"}), reply));
  EXPECT_EQ(reply.status, 64);
  EXPECT_EQ(reply.err, "err");

  const std::string tooManyWords = [] {
    std::string body = Field("0");
    for (std::size_t i = 0; i <= AdminWire::kMaxWords; ++i) body += Field("w");
    return body;
  }();
  const std::string badRequests[] = {
      "",                                      // nothing
      Field("0"),                              // no command
      Field("0") + Field("users", 9),          // a field longer than the body
      Field("0") + Field("users").substr(0, 3),  // a cut length
      Field("2") + Field("users"),             // neither flag
      Field("0x") + Field("users"),            // no password, yet bytes
      tooManyWords,
  };
  for (const std::string& body : badRequests) EXPECT_FALSE(AdminWire::Decode(body, read)) << body.size();
  const std::string badReplies[] = {Field("1") + Field(""), Field("-1") + Field("") + Field(""),
                                    Field("1000") + Field("") + Field(""), Field("") + Field("") + Field("")};
  for (const std::string& body : badReplies) EXPECT_FALSE(AdminWire::Decode(body, reply)) << body.size();
}

TEST(AdminWireTest, AFrameAboveTheBoundOrCutShortIsNotRead) {
  const struct {
    std::string bytes;
    bool read;
  } cases[] = {
      {Field("hello"), true},
      {Field("", AdminWire::kMaxRequestBytes + 1), false},
      {Field("hel", 5), false},   // the peer closes before the rest
  };
  for (const auto& c : cases) {
    int pair[2];
    ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM, 0, pair), 0);
    ASSERT_EQ(::write(pair[0], c.bytes.data(), c.bytes.size()), static_cast<ssize_t>(c.bytes.size()));
    ::close(pair[0]);
    std::string body;
    EXPECT_EQ(AdminWire::ReadFrame(pair[1], body, AdminWire::kMaxRequestBytes, AdminWire::kPeerBound), c.read)
        << c.bytes.size();
    if (c.read) {
      EXPECT_EQ(body, "hello");
    }
    ::close(pair[1]);
  }
}

TEST(AdminWireTest, ALongReplyArrivesWholeAndOneBeyondTheBoundIsARefusal) {
  const struct {
    std::size_t outBytes;
    int status;
    std::string errPart;
  } cases[] = {
      {AdminWire::kMaxRequestBytes + 1000, 0, "err"},
      {AdminWire::kMaxReplyBytes, 1, "longer than the administration socket carries"},
  };
  for (const auto& c : cases) {
    const std::string encoded = AdminWire::Encode(AdminWire::Reply{0, std::string(c.outBytes, 'r'), "err"});
    int pair[2];
    ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM, 0, pair), 0);
    std::thread writer([&] {
      EXPECT_TRUE(AdminWire::WriteFrame(pair[0], encoded));
      ::close(pair[0]);
    });
    std::string body;
    const bool read = AdminWire::ReadFrame(pair[1], body, AdminWire::kMaxReplyBytes, AdminWire::kPeerBound);
    writer.join();
    ::close(pair[1]);
    ASSERT_TRUE(read) << c.outBytes;
    AdminWire::Reply reply;
    ASSERT_TRUE(AdminWire::Decode(body, reply));
    EXPECT_EQ(reply.status, c.status);
    EXPECT_EQ(reply.out.size(), c.status == 0 ? c.outBytes : 0u);
    EXPECT_NE(reply.err.find(c.errPart), std::string::npos) << reply.err;
  }
}

}  // namespace
