#include "common/CertificateFile.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstring>

#include "common/BuiltInKeys.h"
#include "platform/AtomicFile.h"
#include "platform/ScratchFolder.h"

namespace {

constexpr const char* kText = "\"Library\",2,\"A1B2\"\n7,\"ann\",\"pw\",\"0F0F\",2,1,\"123\",\"h\",8901,\"\",0\n";

TEST(CertificateFileTest, WritesTextXoredWithCertificateKeyAndReadsItBack) {
  platform::ScratchFolder folder;
  const std::string path = folder / "ann.wxc";
  ASSERT_TRUE(CertificateFile::Write(path, kText));

  const std::string raw = platform::ScratchFolder::Read(path);
  const std::string text = kText;
  ASSERT_EQ(raw.size(), text.size());   // no terminating zero
  const BuiltInKey key = CertificateBuiltInKey();
  for (std::size_t i = 0; i < raw.size(); ++i) {
    ASSERT_EQ(static_cast<unsigned char>(raw[i]), static_cast<unsigned char>(text[i]) ^ key[i % key.size()]) << i;
  }

  std::string read;
  EXPECT_EQ(CertificateFile::Read(path, read), CertificateFile::ReadResult::Read);
  EXPECT_EQ(read, text);
}

TEST(CertificateFileTest, TextEndsAtFirstZeroByte) {
  platform::ScratchFolder folder;
  const std::string path = folder / "zero.wxc";
  ASSERT_TRUE(CertificateFile::Write(path, std::string("abc\0def", 7)));
  std::string read;
  ASSERT_EQ(CertificateFile::Read(path, read), CertificateFile::ReadResult::Read);
  EXPECT_EQ(read, "abc");
}

TEST(CertificateFileTest, MissingFolderAndOversizedFilesAreNotRead) {
  platform::ScratchFolder folder;
  std::string read = "stale";
  EXPECT_EQ(CertificateFile::Read(folder / "none.wxc", read), CertificateFile::ReadResult::Unreadable);
  EXPECT_EQ(read, "");
  EXPECT_EQ(CertificateFile::Read(folder.Path(), read), CertificateFile::ReadResult::Unreadable);

  const std::string limit = folder.Put("limit.wxc", std::string(CertificateFile::kMaxFileSize, 'x'));
  EXPECT_EQ(CertificateFile::Read(limit, read), CertificateFile::ReadResult::Read);
  const std::string big = folder.Put("big.wxc", std::string(CertificateFile::kMaxFileSize + 1, 'x'));
  EXPECT_EQ(CertificateFile::Read(big, read), CertificateFile::ReadResult::TooLarge);
  EXPECT_EQ(read, "");
}

TEST(CertificateFileTest, FailedWriteKeepsTheOldFile) {
  platform::ScratchFolder folder;
  const std::string path = folder / "keep.wxc";
  ASSERT_TRUE(CertificateFile::Write(path, "old\n"));
  platform::AtomicFile::SetWriteHookForTesting([](std::size_t) { return false; });
  const bool written = CertificateFile::Write(path, "new\n");
  platform::AtomicFile::SetWriteHookForTesting(nullptr);
  EXPECT_FALSE(written);
  std::string read;
  ASSERT_EQ(CertificateFile::Read(path, read), CertificateFile::ReadResult::Read);
  EXPECT_EQ(read, "old\n");
}

TEST(CertificateFileTest, FileIsOwnerOnlyAndFailuresSayWhy) {
  platform::ScratchFolder folder;
  const std::string fresh = folder / "fresh.wxc";
  const std::string shared = folder.Put("shared.wxc", "old");
  ASSERT_EQ(::chmod(shared.c_str(), 0644), 0);
  for (const std::string& path : {fresh, shared}) {
    ASSERT_TRUE(CertificateFile::Write(path, kText));
    struct stat written;
    ASSERT_EQ(::stat(path.c_str(), &written), 0);
    EXPECT_EQ(written.st_mode & 0777, 0600u) << path;
  }

  std::string reason;
  EXPECT_FALSE(CertificateFile::Write(folder / "missing/x.wxc", kText, &reason));
  EXPECT_EQ(reason, std::strerror(ENOENT));
  platform::AtomicFile::SetWriteHookForTesting([](std::size_t) { return false; });
  reason.clear();
  EXPECT_FALSE(CertificateFile::Write(fresh, kText, &reason));
  platform::AtomicFile::SetWriteHookForTesting(nullptr);
  EXPECT_FALSE(reason.empty());
}

}  // namespace
