#include "platform/ParallelSync.h"

#include <algorithm>
#include <atomic>
#include <system_error>
#include <thread>
#include <utility>

#include "platform/fs.h"

namespace platform {
namespace {

// Below this many paths per thread a thread costs more than the waits it overlaps.
constexpr std::size_t kPathsPerThread = 4;
constexpr std::size_t kMaxThreads = 8;

}  // namespace

bool SyncInParallel(const std::vector<std::string>& paths, std::vector<char>* synced) {
  std::vector<char> done(paths.size(), 0);
  std::atomic<std::size_t> next{0};
  const auto syncRest = [&] {
    for (std::size_t i = next++; i < paths.size(); i = next++) done[i] = fs::SyncPath(paths[i]) ? 1 : 0;
  };
  const std::size_t helpers = std::min(kMaxThreads, paths.size() / kPathsPerThread) - (paths.size() >= kPathsPerThread);
  std::vector<std::thread> threads;
  threads.reserve(helpers);
  for (std::size_t i = 0; i < helpers; ++i) {
    try {
      threads.emplace_back(syncRest);
    } catch (const std::system_error&) {
      break;  // the threads there are, or this one alone, sync the rest
    }
  }
  syncRest();
  for (std::thread& thread : threads) thread.join();
  const bool allSynced = std::all_of(done.begin(), done.end(), [](char one) { return one != 0; });
  if (synced != nullptr) *synced = std::move(done);
  return allSynced;
}

}  // namespace platform
