#include "server/engine/ReplyText.h"

#include <algorithm>
#include <cstring>
#include <utility>

ReplyText::ReplyText(TransferBudget::Charge charge, const std::atomic<bool>& stop)
    : stop_(stop), charge_(std::move(charge)), waitUntil_(std::chrono::steady_clock::now() + kWaitBound) {}

bool ReplyText::Charge(std::size_t bytes) { return charge_.GrowWaitingUntil(bytes, stop_, waitUntil_); }

bool ReplyText::Reserve(std::size_t bytes) {
  if (ahead_ >= bytes) return true;
  if (!Charge(bytes - ahead_)) return false;
  ahead_ = bytes;
  return true;
}

void ReplyText::CountRoom(std::size_t bytes) {
  const std::size_t fromAhead = std::min(ahead_, bytes);
  ahead_ -= fromAhead;
  charge_.Add(bytes - fromAhead);
}

void ReplyText::MakeRoom() {
  if (!blocks_.empty() && blocks_.back().size() < room_.back()) return;
  // The first block grows as a text does, up to a block; then whole blocks follow.
  if (blocks_.size() == 1 && room_.back() < kBlockSize) {
    const std::size_t grown = std::min(kBlockSize, room_.back() * 2);
    CountRoom(grown - room_.back());
    blocks_.back().reserve(grown);
    room_.back() = grown;
    return;
  }
  const std::size_t room = blocks_.empty() ? kFirstRoom : kBlockSize;
  CountRoom(room);
  blocks_.emplace_back().reserve(room);
  room_.push_back(room);
}

void ReplyText::Append(std::string_view text) {
  while (!text.empty()) {
    MakeRoom();
    std::string& block = blocks_.back();
    const std::size_t taken = std::min(text.size(), room_.back() - block.size());
    block.append(text.substr(0, taken));
    text.remove_prefix(taken);
    size_ += taken;
  }
}

void ReplyText::CopyTo(char* out) const {
  for (const std::string& block : blocks_) {
    std::memcpy(out, block.data(), block.size());
    out += block.size();
  }
}

void ReplyText::Free() {
  std::size_t room = std::exchange(ahead_, 0);
  for (const std::size_t blockRoom : room_) room += blockRoom;
  std::vector<std::string>().swap(blocks_);
  std::vector<std::size_t>().swap(room_);
  size_ = 0;
  charge_.Shrink(room);
}

TransferBudget::Charge ReplyText::TakeCharge() { return std::move(charge_); }
