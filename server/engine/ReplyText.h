#pragma once
// A large reply's body while it is built: one buffer for the head and the text
// behind it, its room counted against the transfer budget. It grows as a text does
// up to 1 MiB, then by 1 MiB at a time; from there the system moves its pages when
// it grows, never copying them, and the finished buffer becomes the message's body
// as it is, so a reply is held once, not twice.
#include <atomic>
#include <chrono>
#include <cstddef>
#include <string_view>

#include "common/Msg.h"
#include "server/engine/TransferBudget.h"

class ReplyText {
 public:
  static constexpr std::size_t kStep = std::size_t{1} << 20;
  static constexpr std::size_t kFirstRoom = std::size_t{64} << 10;
  // How long a reply being built waits for room in all: replies being built must
  // not wait for one another (or for requests queued behind them) for good.
  static constexpr std::chrono::milliseconds kWaitBound{1000};

  // Counted in `charge`; waits for room at most kWaitBound in all, and not once
  // `stop` (the connection's end) is set. `headRoom` bytes are kept in front for
  // the head, which is known only once the text is.
  ReplyText(TransferBudget::Charge charge, const std::atomic<bool>& stop, std::size_t headRoom);

  // Counts `bytes` ahead for the next appends, waiting while the budget is spent;
  // false when the connection ended first.
  bool Reserve(std::size_t bytes);
  // Appends without waiting: room beyond what Reserve counted is counted as taken.
  // Throws std::bad_alloc when memory runs out.
  void Append(std::string_view text);
  std::size_t Size() const { return size_; }
  // Makes `head` and the text the message's body, leaving the text empty. False
  // (the body empty) when the whole is above the message's bound.
  bool MoveInto(Msg& message, std::string_view head);
  // The charge, for the message made of the text; its room stays counted until
  // the message is queued.
  TransferBudget::Charge TakeCharge() { return std::move(charge_); }

 private:
  // Grows the buffer to hold `bytes` at least (counted as taken).
  void Grow(std::size_t bytes);

  const std::atomic<bool>& stop_;
  TransferBudget::Charge charge_;
  std::chrono::steady_clock::time_point waitUntil_;
  Msg::Body buffer_;
  std::size_t room_ = 0;     // the buffer's bytes
  std::size_t ahead_ = 0;    // counted by Reserve, not yet taken
  std::size_t headRoom_;
  std::size_t size_ = 0;     // of the text, behind the head room
};
