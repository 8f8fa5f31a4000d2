#include "platform/FileDescriptor.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <utility>

#include "platform/DiskChangeHook.h"

namespace platform {

FileDescriptor::FileDescriptor(const std::string& path, int flags, unsigned mode)
    : fd_(::open(path.c_str(), flags | O_CLOEXEC, static_cast<mode_t>(mode))) {}

FileDescriptor::~FileDescriptor() { Close(); }

bool FileDescriptor::Size(std::int64_t& size) const {
  struct stat st;
  if (fd_ < 0 || ::fstat(fd_, &st) != 0) return false;
  size = static_cast<std::int64_t>(st.st_size);
  return true;
}

void FileDescriptor::AdviseSequential() const {
  if (fd_ >= 0) ::posix_fadvise(fd_, 0, 0, POSIX_FADV_SEQUENTIAL);
}

bool FileDescriptor::ReadExactly(char* data, std::size_t length) const {
  while (length > 0) {
    const ssize_t got = ::read(fd_, data, length);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) return false;
    data += got;
    length -= static_cast<std::size_t>(got);
  }
  return true;
}

bool FileDescriptor::WriteAll(const char* data, std::size_t length) const {
  while (length > 0) {
    if (!MayChangeDisk()) return false;
    const ssize_t written = ::write(fd_, data, length);
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return false;
    data += written;
    length -= static_cast<std::size_t>(written);
  }
  return true;
}

void FileDescriptor::StartWriteBack(std::int64_t offset, std::int64_t length) const {
  if (fd_ >= 0) ::sync_file_range(fd_, offset, length, SYNC_FILE_RANGE_WRITE);
}

bool FileDescriptor::Sync() const { return fd_ >= 0 && ChangeDisk([this] { return ::fsync(fd_); }); }

bool FileDescriptor::Close() {
  if (fd_ < 0) return false;
  return ::close(std::exchange(fd_, -1)) == 0;
}

}  // namespace platform
