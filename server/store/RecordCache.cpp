#include "server/store/RecordCache.h"

#include <functional>
#include <utility>

#include "platform/MemoryPools.h"

namespace {

// What a record costs besides its own estimate: the entry, its path and its index slot.
std::size_t EntryBytes(const std::string& path, std::size_t recordBytes) {
  return recordBytes + path.size() + 128;
}

}  // namespace

RecordCache::ParsedStatistics::ParsedStatistics(FileStatistics parsed) : statistics(std::move(parsed)) {
  const int latest = statistics.GetLatestVersionIndex();
  if (latest >= 0) statistics.GetVersion(latest).EncodeRow(latestRow);
  versionRows = statistics.EncodeVersions();
}

std::size_t RecordCache::BytesOf(const ParsedStatistics& parsed) {
  return parsed.statistics.ApproximateBytes() + sizeof(ParsedStatistics) - sizeof(FileStatistics) +
         parsed.latestRow.size() + parsed.versionRows.size();
}

RecordCache::StatisticsRecord RecordCache::Statistics(const std::string& path) {
  ParsedRecord parsed = Parsed(path);
  return parsed ? StatisticsRecord(parsed, &parsed->statistics) : nullptr;
}

RecordCache::ParsedRecord RecordCache::Parsed(const std::string& path) {
  Stamp stamp;
  if (ParsedRecord held = Find<ParsedStatistics>(path, stamp)) return held;
  FileStatistics statistics;
  int lineCounter = 0;
  if (statistics.Load(path, lineCounter) != 0) return nullptr;
  auto loaded = std::make_shared<const ParsedStatistics>(std::move(statistics));
  Offer(path, loaded, BytesOf(*loaded), stamp);
  return loaded;
}

RecordCache::ListRecord RecordCache::List(const std::string& path) {
  Stamp stamp;
  if (ListRecord held = Find<ProjectFileList>(path, stamp)) return held;
  auto loaded = std::make_shared<ProjectFileList>(path);
  if (!loaded->LoadFailed()) Offer(path, ListRecord(loaded), loaded->ApproximateBytes(), stamp);
  return loaded;
}

void RecordCache::Put(const std::string& path, FileStatistics statistics) {
  auto parsed = std::make_shared<const ParsedStatistics>(std::move(statistics));
  const std::size_t bytes = BytesOf(*parsed);
  std::size_t evicted = 0;
  {
    std::lock_guard<std::mutex> hold(mutex_);
    MarkWritten(path);
    evicted = Store(path, std::move(parsed), bytes);
  }
  platform::NoteMemoryFreed(evicted);
}

void RecordCache::Put(const std::string& path, ProjectFileList list) {
  auto shared = std::make_shared<const ProjectFileList>(std::move(list));
  const std::size_t bytes = shared->ApproximateBytes();
  std::size_t evicted = 0;
  {
    std::lock_guard<std::mutex> hold(mutex_);
    MarkWritten(path);
    evicted = Store(path, std::move(shared), bytes);
  }
  platform::NoteMemoryFreed(evicted);
}

void RecordCache::Drop(const std::string& path) {
  std::lock_guard<std::mutex> hold(mutex_);
  MarkWritten(path);
  const auto found = index_.find(path);
  if (found != index_.end()) Forget(found->second);
}

void RecordCache::DropBelow(const std::string& folder) {
  std::string prefix = folder;
  if (prefix.empty() || prefix.back() != '/') prefix += '/';
  std::lock_guard<std::mutex> hold(mutex_);
  ++allWrites_;
  for (auto entry = entries_.begin(); entry != entries_.end();) {
    const auto next = std::next(entry);
    if (entry->path.compare(0, prefix.size(), prefix) == 0) Forget(entry);
    entry = next;
  }
}

std::size_t RecordCache::HeldBytes() const {
  std::lock_guard<std::mutex> hold(mutex_);
  return heldBytes_;
}

std::size_t RecordCache::HeldRecords() const {
  std::lock_guard<std::mutex> hold(mutex_);
  return entries_.size();
}

template <class T>
std::shared_ptr<const T> RecordCache::Find(const std::string& path, Stamp& stamp) {
  std::lock_guard<std::mutex> hold(mutex_);
  const auto found = index_.find(path);
  const auto* record = found == index_.end() ? nullptr : std::get_if<std::shared_ptr<const T>>(&found->second->record);
  if (record == nullptr) {
    stamp = StampOf(path);
    return nullptr;
  }
  entries_.splice(entries_.begin(), entries_, found->second);
  return *record;
}

void RecordCache::Offer(const std::string& path, Record record, std::size_t bytes, const Stamp& stamp) {
  std::size_t evicted = 0;
  {
    std::lock_guard<std::mutex> hold(mutex_);
    if (StampOf(path) == stamp) evicted = Store(path, std::move(record), bytes);
  }
  platform::NoteMemoryFreed(evicted);
}

std::size_t RecordCache::Store(const std::string& path, Record record, std::size_t bytes) {
  std::size_t evicted = 0;
  const auto found = index_.find(path);
  if (found != index_.end()) evicted += Forget(found->second);
  bytes = EntryBytes(path, bytes);
  if (bytes > byteLimit_) return evicted;
  while (heldBytes_ + bytes > byteLimit_) evicted += Forget(std::prev(entries_.end()));
  entries_.push_front(Entry{path, std::move(record), bytes});
  index_.emplace(entries_.front().path, entries_.begin());
  heldBytes_ += bytes;
  return evicted;
}

std::size_t RecordCache::Forget(Entries::iterator entry) {
  const std::size_t bytes = entry->bytes;
  heldBytes_ -= bytes;
  index_.erase(entry->path);
  entries_.erase(entry);
  return bytes;
}

RecordCache::Stamp RecordCache::StampOf(const std::string& path) const {
  return Stamp{stripeWrites_[std::hash<std::string>{}(path) % kStripes], allWrites_};
}

void RecordCache::MarkWritten(const std::string& path) { ++stripeWrites_[std::hash<std::string>{}(path) % kStripes]; }
