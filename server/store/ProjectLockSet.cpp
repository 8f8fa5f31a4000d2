#include "server/store/ProjectLockSet.h"

#include <algorithm>
#include <chrono>
#include <thread>

namespace {

bool IsValidMode(int mode) { return mode == LockTable::kExclusive || mode == LockTable::kShared; }

}  // namespace

ProjectLockSet::ProjectLockSet(LockTable& table, const std::vector<Request>& requests)
    : table_(table) {
  for (const Request& request : requests) {
    auto same = std::find_if(requests_.begin(), requests_.end(),
                             [&](const Request& r) { return r.name == request.name; });
    if (same == requests_.end()) {
      requests_.push_back(request);
    } else if (!IsValidMode(request.mode) ||
               (request.mode == LockTable::kExclusive && IsValidMode(same->mode))) {
      same->mode = request.mode;  // the stronger (or an impossible) request decides
    }
  }
  std::sort(requests_.begin(), requests_.end(),
            [](const Request& a, const Request& b) { return a.name < b.name; });
}

ProjectLockSet::~ProjectLockSet() { Release(); }

bool ProjectLockSet::Acquire() {
  for (const Request& request : requests_) {
    if (!IsValidMode(request.mode)) return false;
  }
  while (!TryAcquire()) std::this_thread::sleep_for(std::chrono::milliseconds(10));
  return true;
}

bool ProjectLockSet::TryAcquire() {
  for (const Request& request : requests_) {
    if (!TryAdd(request.name, request.mode)) {
      Release();
      return false;
    }
  }
  return true;
}

bool ProjectLockSet::TryAdd(const std::string& name, int mode) {
  auto held = std::find_if(held_.begin(), held_.end(), [&](const Request& r) { return r.name == name; });
  if (held != held_.end()) return held->mode == LockTable::kExclusive || held->mode == mode;
  if (!table_.Lock(name, mode)) return false;
  held_.push_back(Request{name, mode});
  return true;
}

void ProjectLockSet::Release() {
  // Reverse order of taking.
  for (auto it = held_.rbegin(); it != held_.rend(); ++it) table_.Unlock(it->name);
  held_.clear();
}

bool ProjectLockSet::Holds(const std::string& name) const {
  return std::any_of(held_.begin(), held_.end(), [&](const Request& r) { return r.name == name; });
}
