#include "platform/WorkerGroup.h"

#include <system_error>
#include <utility>

namespace platform {

WorkerGroup::WorkerGroup(std::size_t helpers) : helpers_(helpers) {}

void WorkerGroup::StartHelpers() {
  const std::size_t wanted = std::exchange(helpers_, 0);
  threads_.reserve(wanted);
  for (std::size_t i = 0; i < wanted; ++i) {
    try {
      threads_.emplace_back(&WorkerGroup::Help, this);
    } catch (const std::system_error&) {
      break;   // fewer helpers: the caller does more of each round
    }
  }
}

WorkerGroup::~WorkerGroup() {
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  roundStarted_.notify_all();
  for (std::thread& thread : threads_) thread.join();
}

void WorkerGroup::RunAll(std::size_t count, const Task& task) {
  if (count == 0) return;
  if (count > 1 && helpers_ > 0) StartHelpers();
  const bool shared = count > 1 && !threads_.empty();
  if (shared) {
    {
      std::lock_guard lock(mutex_);
      task_ = &task;
      count_ = count;
      next_ = 0;
      ++round_;
    }
    roundStarted_.notify_all();
  } else {
    next_ = 0;
  }
  TakeTasks(task, count);
  if (!shared) return;
  std::unique_lock lock(mutex_);
  // A helper that wakes from now on finds no round; those inside finish theirs.
  task_ = nullptr;
  helpersDone_.wait(lock, [this] { return helping_ == 0; });
}

void WorkerGroup::TakeTasks(const Task& task, std::size_t count) {
  for (std::size_t i = next_++; i < count; i = next_++) task(i);
}

void WorkerGroup::Help() {
  std::uint64_t seen = 0;
  std::unique_lock lock(mutex_);
  for (;;) {
    roundStarted_.wait(lock, [&] { return stopping_ || (task_ != nullptr && round_ != seen); });
    if (stopping_) return;
    seen = round_;
    const Task& task = *task_;
    const std::size_t count = count_;
    ++helping_;
    lock.unlock();
    TakeTasks(task, count);
    lock.lock();
    if (--helping_ == 0) helpersDone_.notify_all();
  }
}

}  // namespace platform
