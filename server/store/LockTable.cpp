#include "server/store/LockTable.h"

bool LockTable::Lock(const std::string& name, int request) {
  platform::CriticalSection::Lock hold(section_);
  auto found = records_.find(name);
  const LockRecord current = found == records_.end() ? LockRecord{} : found->second;
  const bool granted = (request == kExclusive && current.mode == 0) ||
                       (request == kShared && current.mode != kExclusive);
  if (!granted) return false;
  LockRecord& record = records_[name];
  record.mode = request;
  record.holderCount = current.holderCount + 1;
  return true;
}

bool LockTable::Unlock(const std::string& name) {
  platform::CriticalSection::Lock hold(section_);
  auto found = records_.find(name);
  if (found == records_.end()) return true;
  LockRecord& record = found->second;
  if (record.holderCount > 0) --record.holderCount;
  if (record.holderCount > 0) return false;
  records_.erase(found);
  return true;
}

LockTable::LockRecord LockTable::GetRecord(const std::string& name) const {
  platform::CriticalSection::Lock hold(section_);
  auto found = records_.find(name);
  return found == records_.end() ? LockRecord{} : found->second;
}

std::size_t LockTable::GetCount() const {
  platform::CriticalSection::Lock hold(section_);
  return records_.size();
}
