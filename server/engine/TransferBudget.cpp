#include "server/engine/TransferBudget.h"

#include <algorithm>
#include <chrono>
#include <utility>

#include "platform/MemoryPools.h"

namespace {

// Waiting readers look at their stop flag this often.
constexpr std::chrono::milliseconds kWaitStep{20};

}  // namespace

TransferBudget& TransferBudget::Shared() {
  static TransferBudget budget;
  return budget;
}

std::size_t TransferBudget::Limit() const {
  std::lock_guard<std::mutex> hold(mutex_);
  return limit_;
}

std::size_t TransferBudget::Used() const {
  std::lock_guard<std::mutex> hold(mutex_);
  return used_;
}

void TransferBudget::SetLimit(std::size_t limit) {
  {
    std::lock_guard<std::mutex> hold(mutex_);
    limit_ = limit;
  }
  released_.notify_all();
}

bool TransferBudget::TryTake(std::size_t bytes, bool& beyond) {
  if (!beyond && used_ + bytes > limit_) {
    if (beyondTaken_) return false;
    beyondTaken_ = true;
    beyond = true;
  }
  used_ += bytes;
  return true;
}

void TransferBudget::Give(std::size_t bytes, bool endsBeyond) {
  {
    std::lock_guard<std::mutex> hold(mutex_);
    used_ -= std::min(bytes, used_);
    if (endsBeyond) beyondTaken_ = false;
  }
  released_.notify_all();
  platform::NoteMemoryFreed(bytes);
}

TransferBudget::Charge::Charge(Charge&& other) noexcept
    : budget_(std::exchange(other.budget_, nullptr)),
      bytes_(std::exchange(other.bytes_, 0)),
      beyond_(std::exchange(other.beyond_, false)) {}

TransferBudget::Charge& TransferBudget::Charge::operator=(Charge&& other) noexcept {
  if (this != &other) {
    Release();
    budget_ = std::exchange(other.budget_, nullptr);
    bytes_ = std::exchange(other.bytes_, 0);
    beyond_ = std::exchange(other.beyond_, false);
  }
  return *this;
}

bool TransferBudget::Charge::Grow(std::size_t bytes, const std::atomic<bool>& stop) {
  if (budget_ == nullptr || bytes == 0) return !stop;
  std::unique_lock<std::mutex> hold(budget_->mutex_);
  while (!budget_->TryTake(bytes, beyond_)) {
    if (stop) return false;
    budget_->released_.wait_for(hold, kWaitStep);
  }
  bytes_ += bytes;
  return true;
}

bool TransferBudget::Charge::GrowWaitingUntil(std::size_t bytes, const std::atomic<bool>& stop,
                                              std::chrono::steady_clock::time_point until) {
  if (budget_ == nullptr || bytes == 0) return !stop;
  std::unique_lock<std::mutex> hold(budget_->mutex_);
  while (budget_->used_ + bytes > budget_->limit_ && std::chrono::steady_clock::now() < until) {
    if (stop) return false;
    budget_->released_.wait_until(hold, std::min(until, std::chrono::steady_clock::now() + kWaitStep));
  }
  if (stop) return false;
  budget_->used_ += bytes;
  bytes_ += bytes;
  return true;
}

void TransferBudget::Charge::Add(std::size_t bytes) {
  if (budget_ == nullptr) return;
  std::lock_guard<std::mutex> hold(budget_->mutex_);
  budget_->used_ += bytes;
  bytes_ += bytes;
}

void TransferBudget::Charge::Shrink(std::size_t bytes) {
  if (budget_ == nullptr) return;
  bytes = std::min(bytes, bytes_);
  bytes_ -= bytes;
  budget_->Give(bytes, false);
}

void TransferBudget::Charge::Release() {
  if (budget_ == nullptr || (bytes_ == 0 && !beyond_)) return;
  budget_->Give(std::exchange(bytes_, 0), std::exchange(beyond_, false));
}
