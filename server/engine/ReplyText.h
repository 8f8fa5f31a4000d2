#pragma once
// A large reply's text while it is built: a first block that grows as a text does
// up to 1 MiB, then blocks of 1 MiB, all room counted against the transfer budget.
// The room never runs far ahead of the text (a doubling text may hold twice it),
// and each whole block, a mapping of its own, goes straight back to the system
// when freed. Waits for room happen only in Reserve and Charge, so a builder that
// appends under a lock never waits there.
#include <atomic>
#include <chrono>
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "server/engine/TransferBudget.h"

class ReplyText {
 public:
  static constexpr std::size_t kBlockSize = std::size_t{1} << 20;
  static constexpr std::size_t kFirstRoom = std::size_t{64} << 10;
  // How long a reply being built waits for room in all: replies being built must
  // not wait for one another (or for requests queued behind them) for good.
  static constexpr std::chrono::milliseconds kWaitBound{1000};

  // Counted in `charge`; waits for room at most kWaitBound in all, and not once
  // `stop` (the connection's end) is set.
  ReplyText(TransferBudget::Charge charge, const std::atomic<bool>& stop);

  // Counts `bytes` ahead for the next appends, waiting while the budget is spent;
  // false when the connection ended first.
  bool Reserve(std::size_t bytes);
  // Appends without waiting: room beyond what Reserve counted is counted as taken.
  void Append(std::string_view text);
  // Counts `bytes` more (the message the text is copied into), waiting as Reserve does.
  bool Charge(std::size_t bytes);
  std::size_t Size() const { return size_; }
  // Copies the Size() bytes of the text to `out`.
  void CopyTo(char* out) const;
  // Frees the text and gives back its room; what Charge counted stays.
  void Free();
  // The charge, for the message made of the text; the text must be freed first.
  TransferBudget::Charge TakeCharge();

 private:
  // Room for one more byte in the last block.
  void MakeRoom();
  // Counts `bytes` of room taken, from what Reserve counted ahead first.
  void CountRoom(std::size_t bytes);

  const std::atomic<bool>& stop_;
  TransferBudget::Charge charge_;
  std::chrono::steady_clock::time_point waitUntil_;
  std::vector<std::string> blocks_;
  std::vector<std::size_t> room_;   // each block's counted room
  std::size_t ahead_ = 0;           // counted by Reserve, not yet taken
  std::size_t size_ = 0;
};
