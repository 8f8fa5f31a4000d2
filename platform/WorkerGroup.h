#pragma once
// A few threads kept for work that comes in rounds: a round runs a numbered task
// once per number, spread over the threads and the caller, and ends when all have
// run. For work too short to be worth a thread started each time (say, a TLS
// handshake step per waiting connection).
#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace platform {

class WorkerGroup {
 public:
  using Task = std::function<void(std::size_t)>;

  // `helpers` threads besides the caller of RunAll, started by the first round
  // that has more than one task (a group never needed costs no thread); none that
  // could not be started.
  explicit WorkerGroup(std::size_t helpers);
  ~WorkerGroup();   // joins the threads
  WorkerGroup(const WorkerGroup&) = delete;
  WorkerGroup& operator=(const WorkerGroup&) = delete;

  // task(0) ... task(count - 1), each once, the calling thread taking its share;
  // returns when every one has returned. One round at a time.
  void RunAll(std::size_t count, const Task& task);

 private:
  void StartHelpers();
  void Help();
  // Runs the round's tasks not yet taken.
  void TakeTasks(const Task& task, std::size_t count);

  std::mutex mutex_;
  std::condition_variable roundStarted_;
  std::condition_variable helpersDone_;
  const Task* task_ = nullptr;   // the round under way; null between rounds
  std::size_t count_ = 0;
  std::uint64_t round_ = 0;
  std::size_t helping_ = 0;      // helpers inside the round under way
  bool stopping_ = false;
  std::atomic<std::size_t> next_{0};
  std::size_t helpers_;
  std::vector<std::thread> threads_;
};

}  // namespace platform
