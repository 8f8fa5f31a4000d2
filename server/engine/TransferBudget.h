#pragma once
// The memory all connections together may hold in bodies being received and
// replies waiting to be sent. A reader that would go beyond it waits before it
// takes more bytes from its peer, so a full budget slows senders down and refuses
// nothing. One body at a time may go beyond the budget, so that waiting readers
// that each hold part of a body can never block one another for good: the one
// allowed over finishes, gives its bytes back, and the next goes on.
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <mutex>

class TransferBudget {
 public:
  static constexpr std::size_t kDefaultLimit = std::size_t{256} << 20;

  explicit TransferBudget(std::size_t limit = kDefaultLimit) : limit_(limit) {}
  TransferBudget(const TransferBudget&) = delete;
  TransferBudget& operator=(const TransferBudget&) = delete;

  // The server's budget, shared by all its connections.
  static TransferBudget& Shared();

  // The bytes one body or reply holds of a budget, given back when it ends.
  class Charge {
   public:
    Charge() = default;
    explicit Charge(TransferBudget& budget) : budget_(&budget) {}
    Charge(Charge&& other) noexcept;
    Charge& operator=(Charge&& other) noexcept;
    ~Charge() { Release(); }

    // Adds `bytes`, waiting while the budget is spent, unless this charge may go
    // beyond it; false (nothing added) when `stop` is set first.
    bool Grow(std::size_t bytes, const std::atomic<bool>& stop);
    // Adds `bytes`, waiting while the budget is spent until `until` at most, then
    // without waiting; false (nothing added) when `stop` is set first. For replies
    // being built: they must not wait for one another (or for requests queued
    // behind them) for good.
    bool GrowWaitingUntil(std::size_t bytes, const std::atomic<bool>& stop, std::chrono::steady_clock::time_point until);
    // Adds memory that is already taken, without waiting.
    void Add(std::size_t bytes);
    // Gives back part of the bytes (at most all of them).
    void Shrink(std::size_t bytes);
    // Gives everything back.
    void Release();
    std::size_t Bytes() const { return bytes_; }

   private:
    TransferBudget* budget_ = nullptr;
    std::size_t bytes_ = 0;
    bool beyond_ = false;   // holds the one permit to go beyond the budget
  };

  std::size_t Limit() const;
  std::size_t Used() const;
  // Tests give the budget a small limit.
  void SetLimit(std::size_t limit);

 private:
  // False when the caller must wait; sets `beyond` when it takes the permit.
  bool TryTake(std::size_t bytes, bool& beyond);
  void Give(std::size_t bytes, bool endsBeyond);

  mutable std::mutex mutex_;
  std::condition_variable released_;
  std::size_t limit_;
  std::size_t used_ = 0;
  bool beyondTaken_ = false;
};
