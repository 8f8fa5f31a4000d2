#pragma once
// Owns one open file descriptor: the bulk file paths (files behind requests and
// replies) read and write through it without stream buffers. Closes on
// destruction; Close reports the error a late write-back may surface.
#include <cstddef>
#include <cstdint>
#include <string>

namespace platform {

class FileDescriptor {
 public:
  // open(2) with O_CLOEXEC added; IsOpen tells whether it worked.
  FileDescriptor(const std::string& path, int flags, unsigned mode = 0);
  ~FileDescriptor();
  FileDescriptor(const FileDescriptor&) = delete;
  FileDescriptor& operator=(const FileDescriptor&) = delete;

  bool IsOpen() const { return fd_ >= 0; }
  // The size of the open file; false when it cannot be read.
  bool Size(std::int64_t& size) const;
  // Announces reading front to back, so the kernel reads further ahead.
  void AdviseSequential() const;
  // Exactly `length` bytes; false at an error or an early end of the file.
  bool ReadExactly(char* data, std::size_t length) const;
  bool WriteAll(const char* data, std::size_t length) const;
  // Starts writing the range's dirty pages to the disk without waiting for them,
  // so that a later Sync has little left to do.
  void StartWriteBack(std::int64_t offset, std::int64_t length) const;
  // fsync(2): the content (of a folder, its entries) reaches the disk.
  bool Sync() const;
  // Closes now; false when it was not open or close(2) failed.
  bool Close();

 private:
  int fd_ = -1;
};

}  // namespace platform
