#pragma once
// The named project locks that one store operation holds. Locks known up front are
// taken all at once in sorted order of name (a refusal gives back what was taken,
// waits 10 ms and starts again); locks found later are tried once. Whatever is held
// is given back when the set is destroyed, on every path out of the operation.
#include <string>
#include <vector>

#include "server/store/LockTable.h"

class ProjectLockSet {
 public:
  struct Request {
    std::string name;
    int mode = LockTable::kShared;  // LockTable::kExclusive or LockTable::kShared
  };

  // Nothing is taken yet. A name asked for twice is taken once, exclusive when
  // either request is.
  ProjectLockSet(LockTable& table, const std::vector<Request>& requests);
  ~ProjectLockSet();
  ProjectLockSet(const ProjectLockSet&) = delete;
  ProjectLockSet& operator=(const ProjectLockSet&) = delete;

  // Takes every requested lock, polling every 10 ms without limit. False at once
  // (nothing held) when a request has a mode the table never grants.
  bool Acquire();
  // One attempt at every requested lock; on a refusal nothing stays held.
  bool TryAcquire();
  // Tries once to add the lock of `name` to the held set; true when the set holds
  // it afterwards (a name already held with the same or a stronger mode counts).
  bool TryAdd(const std::string& name, int mode);
  // Gives back every lock held; the requests stay, so Acquire can run again.
  void Release();

  bool Holds(const std::string& name) const;
  std::size_t GetHeldCount() const { return held_.size(); }

 private:
  LockTable& table_;
  std::vector<Request> requests_;  // sorted by name, one per name
  std::vector<Request> held_;
};
