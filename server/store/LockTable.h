#pragma once
// Named reader/writer locks of the library's projects, keyed by internal name.
// A name is present only while somebody holds it: exclusive with one holder, or
// shared with a count of holders. The table never blocks; callers that must wait
// poll (see ProjectLockSet).
#include <cstddef>
#include <string>
#include <unordered_map>

#include "platform/CriticalSection.h"
#include "server/store/SectionRank.h"

class LockTable {
 public:
  static constexpr int kExclusive = 1;
  static constexpr int kShared = 2;

  // One name's state: mode 0 free, 1 exclusive, 2 shared, and its holder count.
  struct LockRecord {
    int mode = 0;
    int holderCount = 0;
  };

  // Grants `request` (kExclusive or kShared) on `name` or refuses it at once.
  // Exclusive needs a free name; shared needs a name that is not exclusive; any
  // other request is refused. A refusal changes nothing.
  bool Lock(const std::string& name, int request);

  // Gives back one hold on `name`. True when the name is free (and absent) afterwards,
  // including when nobody held it; false while other shared holders remain.
  bool Unlock(const std::string& name);

  // The record of `name`, free with no holders when absent.
  LockRecord GetRecord(const std::string& name) const;
  // Number of names currently held.
  std::size_t GetCount() const;

 private:
  // The lock-table section: held only inside the calls.
  mutable platform::CriticalSection section_{SectionRank::kLockTable, "lock-table"};
  std::unordered_map<std::string, LockRecord> records_;
};
