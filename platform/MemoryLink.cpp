#include "platform/MemoryLink.h"

#include <openssl/bio.h>

#include <algorithm>
#include <chrono>

#include "platform/BioMethod.h"

namespace platform {

namespace {

using EndOf = MemoryLink::End;

int LinkWrite(BIO* bio, const char* data, std::size_t length, std::size_t* written) {
  BIO_clear_retry_flags(bio);
  const auto* end = static_cast<const EndOf*>(BIO_get_data(bio));
  if (!end->link->Write(end->side, data, length)) return 0;
  *written = length;
  return 1;
}

int LinkRead(BIO* bio, char* buffer, std::size_t length, std::size_t* read) {
  BIO_clear_retry_flags(bio);
  const auto* end = static_cast<const EndOf*>(BIO_get_data(bio));
  bool ended = false;
  *read = end->link->Read(end->side, buffer, length, ended);
  if (*read > 0) return 1;
  if (!ended) BIO_set_retry_read(bio);
  return 0;
}

long LinkControl(BIO* bio, int command, long, void*) {
  if (command == BIO_CTRL_FLUSH) return 1;
  if (command == BIO_CTRL_EOF) {
    const auto* end = static_cast<const EndOf*>(BIO_get_data(bio));
    return end->link->IsOpen(1 - end->side) ? 0 : 1;
  }
  return 0;
}

BIO_METHOD* LinkMethod() {
  static BIO_METHOD* const method = NewSourceSinkMethod("wexmoor memory link", LinkWrite, LinkRead, LinkControl);
  return method;
}

}  // namespace

bio_st* MemoryLink::NewBio(int side) {
  BIO* bio = LinkMethod() != nullptr ? BIO_new(LinkMethod()) : nullptr;
  if (bio == nullptr) return nullptr;
  BIO_set_data(bio, &ends_[side]);
  BIO_set_init(bio, 1);
  return bio;
}

bool MemoryLink::Write(int side, const char* data, std::size_t length) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (closed_[0] || closed_[1]) return false;
    toward_[1 - side].insert(toward_[1 - side].end(), data, data + length);
  }
  changed_.notify_all();
  return true;
}

std::size_t MemoryLink::Read(int side, char* buffer, std::size_t length, bool& ended) {
  std::lock_guard<std::mutex> lock(mutex_);
  std::deque<char>& queued = toward_[side];
  const std::size_t taken = std::min(length, queued.size());
  std::copy_n(queued.begin(), taken, buffer);
  queued.erase(queued.begin(), queued.begin() + static_cast<std::ptrdiff_t>(taken));
  ended = taken == 0 && closed_[1 - side];
  return taken;
}

bool MemoryLink::WaitReadable(int side, int timeoutMs) {
  std::unique_lock<std::mutex> lock(mutex_);
  return changed_.wait_for(lock, std::chrono::milliseconds(std::max(0, timeoutMs)),
                           [&] { return closed_[0] || closed_[1] || !toward_[side].empty(); });
}

void MemoryLink::Close(int side) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    closed_[side] = true;
  }
  changed_.notify_all();
}

bool MemoryLink::IsOpen(int side) const {
  std::lock_guard<std::mutex> lock(mutex_);
  return !closed_[side];
}

}  // namespace platform
