#include "server/store/InPlaceWrites.h"

#include <algorithm>
#include <atomic>
#include <mutex>

namespace {

std::mutex& Registry() {
  static std::mutex mutex;
  return mutex;
}

// The watches alive; guarded by Registry().
std::vector<InPlaceWrites::Watch*>& Watches() {
  static std::vector<InPlaceWrites::Watch*> watches;
  return watches;
}

// Lets a write go by without the mutex while nobody watches (nearly always).
std::atomic<int> watching{0};

}  // namespace

void InPlaceWrites::Note(const std::string& path) {
  if (watching.load() == 0) return;
  const std::lock_guard<std::mutex> hold(Registry());
  for (Watch* watch : Watches()) {
    if (std::find(watch->noted_.begin(), watch->noted_.end(), path) == watch->noted_.end()) watch->noted_.push_back(path);
  }
}

InPlaceWrites::Watch::Watch() {
  const std::lock_guard<std::mutex> hold(Registry());
  Watches().push_back(this);
  ++watching;
}

InPlaceWrites::Watch::~Watch() {
  const std::lock_guard<std::mutex> hold(Registry());
  std::erase(Watches(), this);
  --watching;
}

std::vector<std::string> InPlaceWrites::Watch::Noted() const {
  const std::lock_guard<std::mutex> hold(Registry());
  return noted_;
}
