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
  return used_ + smallUsed_;
}

std::size_t TransferBudget::UsedBy(int account) const {
  std::lock_guard<std::mutex> hold(mutex_);
  const auto found = accounts_.find(account);
  return found == accounts_.end() ? 0 : found->second.used;
}

void TransferBudget::SetLimit(std::size_t limit) {
  {
    std::lock_guard<std::mutex> hold(mutex_);
    limit_ = limit;
  }
  released_.notify_all();
}

bool TransferBudget::TryTake(Charge& charge, std::size_t bytes) {
  if (charge.small_ && charge.bytes_ + bytes <= kSmallCharge) {
    if (smallUsed_ + bytes > kSmallReserve) return false;
    smallUsed_ += bytes;
    return true;
  }
  // A charge outgrowing the reserve moves what it holds into the budget.
  const std::size_t moved = charge.small_ ? charge.bytes_ : 0;
  if (!TryTakeLarge(charge, moved + bytes)) return false;
  if (charge.small_) {
    smallUsed_ -= std::min(moved, smallUsed_);
    charge.small_ = false;
  }
  return true;
}

// The holder of the budget's permit always holds its account's permit too, so it
// can never wait on its own account: the one allowed over always finishes.
bool TransferBudget::TryTakeLarge(Charge& charge, std::size_t bytes) {
  Account* account = nullptr;
  bool takeAccountPermit = false;
  if (charge.account_ != kNoAccount) {
    account = &accounts_[charge.account_];
    if (!charge.accountBeyond_ && account->used + bytes > limit_ / 4) {
      if (account->beyondTaken) return false;
      takeAccountPermit = true;
    }
  }
  bool takePermit = false;
  if (!charge.beyond_ && used_ + bytes > limit_) {
    if (beyondTaken_) return false;
    if (account != nullptr && !charge.accountBeyond_) {
      if (account->beyondTaken) return false;
      takeAccountPermit = true;
    }
    takePermit = true;
  }
  if (takeAccountPermit) {
    account->beyondTaken = true;
    charge.accountBeyond_ = true;
  }
  if (takePermit) {
    beyondTaken_ = true;
    charge.beyond_ = true;
  }
  if (account != nullptr) account->used += bytes;
  used_ += bytes;
  return true;
}

void TransferBudget::Give(Charge& charge, std::size_t bytes, bool ends) {
  {
    std::lock_guard<std::mutex> hold(mutex_);
    if (charge.small_) {
      smallUsed_ -= std::min(bytes, smallUsed_);
    } else {
      used_ -= std::min(bytes, used_);
      const auto found = accounts_.find(charge.account_);
      if (found != accounts_.end()) {
        Account& account = found->second;
        account.used -= std::min(bytes, account.used);
        if (ends && charge.accountBeyond_) account.beyondTaken = false;
        if (account.used == 0 && !account.beyondTaken) accounts_.erase(found);
      }
    }
    if (ends) {
      if (charge.beyond_) beyondTaken_ = false;
      charge.beyond_ = false;
      charge.accountBeyond_ = false;
      charge.small_ = true;
    }
  }
  released_.notify_all();
  platform::NoteMemoryFreed(bytes);
}

TransferBudget::Charge::Charge(Charge&& other) noexcept
    : budget_(std::exchange(other.budget_, nullptr)),
      account_(other.account_),
      bytes_(std::exchange(other.bytes_, 0)),
      small_(std::exchange(other.small_, true)),
      beyond_(std::exchange(other.beyond_, false)),
      accountBeyond_(std::exchange(other.accountBeyond_, false)) {}

TransferBudget::Charge& TransferBudget::Charge::operator=(Charge&& other) noexcept {
  if (this != &other) {
    Release();
    budget_ = std::exchange(other.budget_, nullptr);
    account_ = other.account_;
    bytes_ = std::exchange(other.bytes_, 0);
    small_ = std::exchange(other.small_, true);
    beyond_ = std::exchange(other.beyond_, false);
    accountBeyond_ = std::exchange(other.accountBeyond_, false);
  }
  return *this;
}

bool TransferBudget::Charge::Grow(std::size_t bytes, const std::atomic<bool>& stop) {
  if (budget_ == nullptr || bytes == 0) return !stop;
  std::unique_lock<std::mutex> hold(budget_->mutex_);
  while (!budget_->TryTake(*this, bytes)) {
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
  AddHeld(bytes);
  return true;
}

void TransferBudget::Charge::Add(std::size_t bytes) {
  if (budget_ == nullptr) return;
  std::lock_guard<std::mutex> hold(budget_->mutex_);
  AddHeld(bytes);
}

// Memory that is already taken is counted in the budget (and the account's
// share), never in the reserve: nothing waits for it.
void TransferBudget::Charge::AddHeld(std::size_t bytes) {
  std::size_t added = bytes;
  if (small_) {
    budget_->smallUsed_ -= std::min(bytes_, budget_->smallUsed_);
    added += bytes_;
    small_ = false;
  }
  budget_->used_ += added;
  if (account_ != kNoAccount) budget_->accounts_[account_].used += added;
  bytes_ += bytes;
}

void TransferBudget::Charge::Shrink(std::size_t bytes) {
  if (budget_ == nullptr) return;
  bytes = std::min(bytes, bytes_);
  bytes_ -= bytes;
  budget_->Give(*this, bytes, false);
}

void TransferBudget::Charge::Release() {
  if (budget_ == nullptr || (bytes_ == 0 && !beyond_ && !accountBeyond_ && small_)) return;
  budget_->Give(*this, std::exchange(bytes_, 0), true);
}
