#include "platform/MemoryPools.h"

#include <malloc.h>
#include <pthread.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <mutex>
#include <thread>

namespace platform {
namespace {

constexpr std::size_t kTrimStep = std::size_t{16} << 20;
constexpr std::size_t kOwnMappingFrom = std::size_t{1} << 20;
// Free memory a pool keeps at its top after a free. Handing back every freed page
// made each request fault its buffers in again and flush every core's address
// cache; larger amounts go back through NoteMemoryFreed.
constexpr std::size_t kKeptAtTop = std::size_t{4} << 20;
std::atomic<std::size_t> freedSinceTrim{0};
std::mutex handBackHookMutex;
std::function<void()> handBackHook;

}  // namespace

int MemoryPoolBound(unsigned cores) { return std::clamp(static_cast<int>(cores / 2), 2, 8); }

void SetUpServerAllocator() {
  ::mallopt(M_ARENA_MAX, MemoryPoolBound(std::thread::hardware_concurrency()));
  ::mallopt(M_MMAP_THRESHOLD, static_cast<int>(kOwnMappingFrom));
  ::mallopt(M_TRIM_THRESHOLD, static_cast<int>(kKeptAtTop));
  pthread_attr_t threads;
  if (pthread_getattr_default_np(&threads) != 0) return;
  // Refused: threads keep the system's stack size, which works, only slower.
  if (pthread_attr_setstacksize(&threads, kServerThreadStackBytes) == 0) pthread_setattr_default_np(&threads);
  pthread_attr_destroy(&threads);
}

void NoteMemoryFreed(std::size_t bytes) {
  const std::size_t freed = freedSinceTrim.fetch_add(bytes) + bytes;
  if (freed < kTrimStep) return;
  // One thread trims; the others go on counting towards the next step.
  std::size_t expected = freed;
  while (expected >= kTrimStep && !freedSinceTrim.compare_exchange_weak(expected, 0)) {
  }
  // Memory freed and taken again by the next request is no reason to trim: handing
  // it back only makes every core fault it in again. Trim what the pools hold free.
  if (expected >= kTrimStep && ::mallinfo2().fordblks >= kTrimStep) ::malloc_trim(0);
}

void HandBackFreeMemory() {
  freedSinceTrim = 0;
  ::malloc_trim(0);
  std::function<void()> hook;
  {
    std::lock_guard<std::mutex> lock(handBackHookMutex);
    hook = handBackHook;
  }
  if (hook) hook();
}

void SetHandBackHookForTesting(std::function<void()> hook) {
  std::lock_guard<std::mutex> lock(handBackHookMutex);
  handBackHook = std::move(hook);
}

std::size_t ResidentBytes() {
  std::FILE* statm = std::fopen("/proc/self/statm", "r");
  if (statm == nullptr) return 0;
  unsigned long size = 0;
  unsigned long resident = 0;
  const int read = std::fscanf(statm, "%lu %lu", &size, &resident);
  std::fclose(statm);
  return read == 2 ? static_cast<std::size_t>(resident) * static_cast<std::size_t>(::sysconf(_SC_PAGESIZE)) : 0;
}

}  // namespace platform
