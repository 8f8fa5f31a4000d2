#pragma once
// The memory all connections together may hold in bodies being received and
// replies waiting to be sent. A reader that would go beyond it waits before it
// takes more bytes from its peer, so a full budget slows senders down and refuses
// nothing. One body at a time may go beyond the budget, so that waiting readers
// that each hold part of a body can never block one another for good: the one
// allowed over finishes, gives its bytes back, and the next goes on.
//
// Two rules keep large bodies from starving everyone else. Small charges (a
// logon, an ordinary request) draw on a reserve of their own, so they are taken
// while large bodies wait. And the bodies of one account hold at most a quarter
// of the budget, beyond which one of that account's bodies at a time may go on:
// an account's stalled bodies cannot fill the budget for the others.
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <map>
#include <mutex>

class TransferBudget {
 public:
  static constexpr std::size_t kDefaultLimit = std::size_t{256} << 20;
  // A charge that never holds more than this is small and taken from the reserve.
  static constexpr std::size_t kSmallCharge = std::size_t{256} << 10;
  static constexpr std::size_t kSmallReserve = std::size_t{32} << 20;
  // A charge of no account: only the budget's own limit applies.
  static constexpr int kNoAccount = -1;

  explicit TransferBudget(std::size_t limit = kDefaultLimit) : limit_(limit) {}
  TransferBudget(const TransferBudget&) = delete;
  TransferBudget& operator=(const TransferBudget&) = delete;

  // The server's budget, shared by all its connections.
  static TransferBudget& Shared();

  // The bytes one body or reply holds of a budget, given back when it ends.
  class Charge {
   public:
    Charge() = default;
    explicit Charge(TransferBudget& budget, int account = kNoAccount) : budget_(&budget), account_(account) {}
    Charge(Charge&& other) noexcept;
    Charge& operator=(Charge&& other) noexcept;
    ~Charge() { Release(); }

    // Adds `bytes`, waiting while the budget (or, once the charge is no longer
    // small, its account's share) is spent, unless this charge may go beyond it;
    // false (nothing added) when `stop` is set first.
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
    friend class TransferBudget;
    // Add, with the budget's mutex held.
    void AddHeld(std::size_t bytes);
    TransferBudget* budget_ = nullptr;
    int account_ = kNoAccount;
    std::size_t bytes_ = 0;
    bool small_ = true;           // its bytes are in the small reserve
    bool beyond_ = false;         // holds the permit to go beyond the budget
    bool accountBeyond_ = false;  // holds the permit to go beyond its account's share
  };

  std::size_t Limit() const;
  // Every byte held: large charges, replies and the small reserve's.
  std::size_t Used() const;
  // The bytes one account's large charges hold.
  std::size_t UsedBy(int account) const;
  // Tests give the budget a small limit.
  void SetLimit(std::size_t limit);

 private:
  struct Account {
    std::size_t used = 0;
    bool beyondTaken = false;
  };

  // False when `charge` must wait before it holds `bytes` more; takes them
  // otherwise. Caller holds mutex_.
  bool TryTake(Charge& charge, std::size_t bytes);
  bool TryTakeLarge(Charge& charge, std::size_t bytes);
  // Gives back `bytes` of `charge` and, with `ends`, its permits.
  void Give(Charge& charge, std::size_t bytes, bool ends);

  mutable std::mutex mutex_;
  std::condition_variable released_;
  std::size_t limit_;
  std::size_t used_ = 0;        // large charges and replies
  std::size_t smallUsed_ = 0;   // small charges
  bool beyondTaken_ = false;
  std::map<int, Account> accounts_;
};
