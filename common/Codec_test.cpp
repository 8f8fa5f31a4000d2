#include "common/Codec.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<unsigned char>;

Bytes Sequence(std::size_t n, unsigned seed) {
  Bytes bytes(n);
  unsigned state = seed;
  for (auto& b : bytes) {
    state = state * 1103515245u + 12345u;
    b = static_cast<unsigned char>(state >> 16);
  }
  return bytes;
}

// Byte i XOR key byte (i mod k), written the obvious way.
Bytes ReferenceXor(Bytes data, const Bytes& key) {
  for (std::size_t i = 0; i < data.size(); ++i) data[i] ^= key[i % key.size()];
  return data;
}

// The key bytes a codec holds, revealed by transforming zeros.
Bytes KeyBytes(const Codec& codec, int index) {
  Bytes zeros(static_cast<std::size_t>(codec.GetKeyLength(index)));
  EXPECT_TRUE(codec.Encode(index, static_cast<std::int64_t>(zeros.size()), zeros.data()));
  return zeros;
}

TEST(CodecTest, BufferTransformMatchesReferenceForAllLengths) {
  for (std::size_t keyLength : {1u, 3u, 8u, 90u, 1000u}) {
    Codec codec;
    Bytes key = Sequence(keyLength, 7);
    ASSERT_EQ(codec.Add(static_cast<int>(keyLength), key.data(), 1), 0);
    for (std::size_t n = 0; n < 2200; n += (n < 100 ? 1 : 37)) {
      Bytes data = Sequence(n, static_cast<unsigned>(n));
      Bytes work = data;
      ASSERT_TRUE(codec.Encode(0, static_cast<std::int64_t>(n), work.data()));
      ASSERT_EQ(work, ReferenceXor(data, key)) << "key " << keyLength << " length " << n;
      ASSERT_TRUE(codec.Decode(0, static_cast<std::int64_t>(n), work.data()));
      ASSERT_EQ(work, data);
    }
  }
}

TEST(CodecTest, EveryCallStartsAtKeyByteZero) {
  Codec codec;
  const unsigned char key[] = {1, 2, 3};
  ASSERT_EQ(codec.Add(3, key, 1), 0);
  Bytes whole(10, 0);
  Bytes split(10, 0);
  ASSERT_TRUE(codec.Encode(0, 10, whole.data()));
  ASSERT_TRUE(codec.Encode(0, 4, split.data()));
  ASSERT_TRUE(codec.Encode(0, 6, split.data() + 4));
  EXPECT_EQ(whole, (Bytes{1, 2, 3, 1, 2, 3, 1, 2, 3, 1}));
  EXPECT_EQ(split, (Bytes{1, 2, 3, 1, 1, 2, 3, 1, 2, 3}));
}

TEST(CodecTest, AddNumbersKeysAndRefusesEmptyKeys) {
  Codec codec;
  const unsigned char key[] = {9, 9};
  EXPECT_EQ(codec.Add(0, key, 1), -1);
  EXPECT_EQ(codec.Add(-5, key, 1), -1);
  EXPECT_EQ(codec.Add(0, std::string(), 1), -1);
  EXPECT_EQ(codec.Add(2, key, 1), 0);
  EXPECT_EQ(codec.Add(1, key, 1), 1);
  EXPECT_EQ(codec.GetKeyLength(0), 2);
  EXPECT_THROW(codec.GetKeyLength(2), std::bad_alloc);
  EXPECT_THROW(codec.GetKeyLength(-1), std::bad_alloc);
  codec.Reset();
  EXPECT_EQ(codec.Add(1, key, 1), 0);
}

TEST(CodecTest, HexKeyLengthRule) {
  Codec codec;
  EXPECT_EQ(codec.Add(2, std::string("0aFf"), 1), 0);     // 2L
  EXPECT_EQ(codec.Add(2, std::string("0AFF7"), 1), 1);    // 2L + 1: last character ignored
  EXPECT_EQ(codec.Add(2, std::string("0AF"), 1), -1);     // 2L - 1
  EXPECT_EQ(codec.Add(2, std::string("0AFF00"), 1), -1);  // 2L + 2
  EXPECT_EQ(KeyBytes(codec, 0), (Bytes{0x0A, 0xFF}));
  EXPECT_EQ(KeyBytes(codec, 1), (Bytes{0x0A, 0xFF}));
}

TEST(CodecTest, HexKeyCharactersAreConvertedUnchecked) {
  Codec codec;
  // 'G' counts 16, so its high nibble falls off; "zz" is read as "ZZ" = 35, 35;
  // 0x80 as a signed byte is below '9' and counts -176.
  ASSERT_EQ(codec.Add(4, std::string("G0zz0\x80" "19"), 1), 0);
  EXPECT_EQ(KeyBytes(codec, 0), (Bytes{0x00, 0x33, 0x50, 0x19}));
}

TEST(CodecTest, BadIndexOrTypeLeavesBufferAlone) {
  Codec codec;
  const unsigned char key[] = {0xFF};
  ASSERT_EQ(codec.Add(1, key, 1), 0);
  ASSERT_EQ(codec.Add(1, key, 2), 1);
  ASSERT_EQ(codec.Add(1, key, 3), 2);
  const Bytes original = Sequence(16, 3);
  Bytes work = original;
  EXPECT_FALSE(codec.Encode(-1, 16, work.data()));
  EXPECT_FALSE(codec.Encode(3, 16, work.data()));
  EXPECT_TRUE(codec.Encode(1, 16, work.data()));
  EXPECT_FALSE(codec.Decode(2, 16, work.data()));
  EXPECT_TRUE(codec.Encode(0, 0, work.data()));
  EXPECT_TRUE(codec.Encode(0, -4, work.data()));
  EXPECT_EQ(work, original);
}

TEST(CodecTest, CopyHoldsItsOwnKeys) {
  Codec source;
  const unsigned char key[] = {1, 2, 3};
  ASSERT_EQ(source.Add(3, key, 1), 0);
  ASSERT_EQ(source.Add(2, std::string("ABCD"), 2), 1);
  Codec copy(source);
  Codec assigned;
  assigned.Add(1, key, 1);
  assigned = source;
  source.Reset();
  for (const Codec* codec : {&copy, &assigned}) {
    EXPECT_EQ(KeyBytes(*codec, 0), (Bytes{1, 2, 3}));
    Bytes data{7, 7};
    EXPECT_TRUE(codec->Encode(1, 2, data.data()));
    EXPECT_EQ(data, (Bytes{7, 7}));
    EXPECT_THROW(codec->GetKeyLength(2), std::bad_alloc);
  }
}

class CodecFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/codec_test_XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    folder_ = pattern;
  }
  void TearDown() override { std::filesystem::remove_all(folder_); }

  std::string WriteFile(const std::string& name, const Bytes& content) {
    std::string path = folder_ + "/" + name;
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(content.data()), static_cast<std::streamsize>(content.size()));
    return path;
  }

  static Bytes ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }

  std::string folder_;
};

TEST_F(CodecFileTest, LargeFileEqualsOneShotTransform) {
  Codec codec;
  Bytes key = Sequence(90, 11);
  ASSERT_EQ(codec.Add(90, key.data(), 1), 0);
  const Bytes content = Sequence(200000, 5);  // three blocks of 65520 and one of 3440
  std::string path = WriteFile("data.bin", content);

  ASSERT_TRUE(codec.EncodeFile(0, path));
  Bytes oneShot = content;
  ASSERT_TRUE(codec.Encode(0, static_cast<std::int64_t>(oneShot.size()), oneShot.data()));
  EXPECT_EQ(ReadFile(path), oneShot);
  ASSERT_TRUE(codec.DecodeFile(0, path));
  EXPECT_EQ(ReadFile(path), content);
}

TEST_F(CodecFileTest, KeysUpToOneBlockLongAreAccepted) {
  Codec codec;
  Bytes longest = Sequence(65535, 13);
  Bytes tooLong = Sequence(65536, 17);
  ASSERT_EQ(codec.Add(65535, longest.data(), 1), 0);
  ASSERT_EQ(codec.Add(65536, tooLong.data(), 1), 1);
  const Bytes content = Sequence(140000, 6);
  std::string path = WriteFile("data.bin", content);
  EXPECT_FALSE(codec.EncodeFile(1, path));
  EXPECT_EQ(ReadFile(path), content);
  ASSERT_TRUE(codec.EncodeFile(0, path));
  EXPECT_EQ(ReadFile(path), ReferenceXor(content, longest));
}

TEST_F(CodecFileTest, EmptyMissingAndUnopenablePaths) {
  Codec codec;
  const unsigned char key[] = {1, 2};
  ASSERT_EQ(codec.Add(2, key, 1), 0);
  std::string empty = WriteFile("empty.bin", {});
  EXPECT_TRUE(codec.EncodeFile(0, empty));
  EXPECT_TRUE(ReadFile(empty).empty());

  std::string missing = folder_ + "/missing.bin";
  EXPECT_FALSE(codec.EncodeFile(0, missing));
  EXPECT_FALSE(std::filesystem::exists(missing));
  EXPECT_FALSE(codec.DecodeFile(0, folder_));
  EXPECT_FALSE(codec.EncodeFile(1, empty));
  EXPECT_FALSE(codec.EncodeFile(-1, empty));
}

TEST_F(CodecFileTest, KeyThatTransformsNothingLeavesFileAsItWas) {
  Codec codec;
  const unsigned char key[] = {1, 2};
  ASSERT_EQ(codec.Add(2, key, 7), 0);
  const Bytes content = Sequence(70000, 9);
  std::string path = WriteFile("data.bin", content);
  EXPECT_TRUE(codec.EncodeFile(0, path));
  EXPECT_EQ(ReadFile(path), content);
}

TEST_F(CodecFileTest, FailedWriteIsReported) {
  // A sealed memory file opens for writing but refuses every write.
  int fd = memfd_create("codec_test", MFD_ALLOW_SEALING);
  ASSERT_GE(fd, 0);
  const Bytes content = Sequence(5000, 10);
  ASSERT_EQ(write(fd, content.data(), content.size()), static_cast<ssize_t>(content.size()));
  ASSERT_EQ(fcntl(fd, F_ADD_SEALS, F_SEAL_WRITE), 0);
  std::string path = "/proc/self/fd/" + std::to_string(fd);

  Codec codec;
  const unsigned char key[] = {0x33};
  ASSERT_EQ(codec.Add(1, key, 1), 0);
  EXPECT_FALSE(codec.EncodeFile(0, path));
  EXPECT_EQ(ReadFile(path), content);
  close(fd);
}

}  // namespace
