#include "server/engine/ReplyText.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>
#include <utility>

ReplyText::ReplyText(TransferBudget::Charge charge, const std::atomic<bool>& stop, std::size_t headRoom)
    : stop_(stop),
      charge_(std::move(charge)),
      waitUntil_(std::chrono::steady_clock::now() + kWaitBound),
      headRoom_(headRoom) {}

bool ReplyText::Reserve(std::size_t bytes) {
  if (ahead_ >= bytes) return true;
  if (!charge_.GrowWaitingUntil(bytes - ahead_, stop_, waitUntil_)) return false;
  ahead_ = bytes;
  return true;
}

void ReplyText::Grow(std::size_t bytes) {
  std::size_t room = std::max(room_, kFirstRoom);
  while (room < bytes) room = room < kStep ? room * 2 : room + kStep;
  char* grown = static_cast<char*>(std::realloc(buffer_.get(), room));
  if (grown == nullptr) throw std::bad_alloc();
  static_cast<void>(buffer_.release());
  buffer_.reset(grown);
  const std::size_t added = room - room_;
  const std::size_t fromAhead = std::min(ahead_, added);
  ahead_ -= fromAhead;
  charge_.Add(added - fromAhead);
  room_ = room;
}

void ReplyText::Append(std::string_view text) {
  if (text.empty()) return;
  // One byte more for the body's terminating zero.
  const std::size_t needed = headRoom_ + size_ + text.size() + 1;
  if (needed > room_) Grow(needed);
  std::memcpy(buffer_.get() + headRoom_ + size_, text.data(), text.size());
  size_ += text.size();
}

bool ReplyText::MoveInto(Msg& message, std::string_view head) {
  const std::size_t length = head.size() + size_;
  if (length > Msg::kMaxBodyLength) {
    buffer_.reset();
    charge_.Shrink(std::exchange(room_, 0) + std::exchange(ahead_, 0));
    size_ = 0;
    message.TakeBody(nullptr, 0);
    return false;
  }
  if (length + 1 > room_) Grow(length + 1);
  char* body = buffer_.get();
  if (head.size() != headRoom_) std::memmove(body + head.size(), body + headRoom_, size_);
  std::memcpy(body, head.data(), head.size());
  body[length] = '\0';
  // The room beyond the body goes back (a mapping shrinks in place).
  if (char* fitted = static_cast<char*>(std::realloc(body, length + 1))) {
    static_cast<void>(buffer_.release());
    buffer_.reset(fitted);
  }
  charge_.Shrink(std::exchange(room_, 0) - (length + 1) + std::exchange(ahead_, 0));
  size_ = 0;
  return message.TakeBody(std::move(buffer_), static_cast<std::uint32_t>(length));
}
