#include "server/store/RecordCache.h"

#include <functional>
#include <mutex>
#include <shared_mutex>
#include <sstream>
#include <utility>

#include "platform/MemoryPools.h"
#include "platform/fs.h"

RecordCache::RecordCache(std::size_t byteLimit)
    : byteLimit_(byteLimit),
      arena_(std::make_shared<RecordArena>()),
      entries_(ArenaAllocator<Entry>(arena_)),
      index_(0, ArenaAllocator<Index::value_type>(arena_)) {}

std::size_t RecordCache::EntryBytes(std::string_view path) {
  // A list node and an index node each carry two links besides their value; the index a bucket.
  return RecordArena::BlockBytes(path.size() + 1) + RecordArena::BlockBytes(sizeof(Entry) + 2 * sizeof(void*)) +
         RecordArena::BlockBytes(sizeof(Index::value_type) + 2 * sizeof(void*)) + sizeof(void*);
}

RecordCache::ParsedRecord RecordCache::MakeRecord(const FileStatistics& statistics, std::string_view fileText) const {
  return std::allocate_shared<CachedStatistics>(ArenaAllocator<CachedStatistics>(arena_), statistics, fileText,
                                                ArenaAllocator<char>(arena_));
}

RecordCache::StatisticsRecord RecordCache::Statistics(const std::string& path) {
  const ParsedRecord parsed = Parsed(path);
  return parsed ? parsed->Statistics() : nullptr;
}

RecordCache::ParsedRecord RecordCache::Parsed(const std::string& path) {
  Stamp stamp;
  {
    std::shared_lock<platform::WriterFirstMutex> hold(mutex_);
    if (ParsedRecord held = Find<CachedStatistics>(path, stamp)) return held;
  }
  return LoadParsed(path, stamp);
}

std::vector<RecordCache::ParsedRecord> RecordCache::ParsedAll(const std::vector<std::string>& paths) {
  std::vector<ParsedRecord> records(paths.size());
  std::vector<std::pair<std::size_t, Stamp>> missing;
  {
    std::shared_lock<platform::WriterFirstMutex> hold(mutex_);
    for (std::size_t i = 0; i < paths.size(); ++i) {
      Stamp stamp;
      records[i] = Find<CachedStatistics>(paths[i], stamp);
      if (!records[i]) missing.emplace_back(i, stamp);
    }
  }
  for (const auto& [i, stamp] : missing) records[i] = LoadParsed(paths[i], stamp);
  return records;
}

bool RecordCache::VisitAllHeld(const std::vector<std::string_view>& paths,
                               const std::function<void(const CachedStatistics&)>& visit) const {
  std::vector<const CachedStatistics*> held(paths.size());
  std::shared_lock<platform::WriterFirstMutex> hold(mutex_);
  for (std::size_t i = 0; i < paths.size(); ++i) {
    const ParsedRecord* record = Held<CachedStatistics>(paths[i]);
    if (record == nullptr) return false;
    held[i] = record->get();
  }
  for (const CachedStatistics* parsed : held) visit(*parsed);
  return true;
}

RecordCache::ParsedRecord RecordCache::LoadParsed(const std::string& path, const Stamp& stamp) {
  std::string text;
  if (!platform::fs::ReadWholeFile(path, text)) return nullptr;
  FileStatistics statistics;
  std::istringstream in(text);
  int lineCounter = 0;
  if (statistics.LoadFrom(in, lineCounter) != 0) return nullptr;
  ParsedRecord loaded = MakeRecord(statistics, text);
  Offer(path, loaded, loaded->Bytes(), stamp);
  return loaded;
}

RecordCache::ListRecord RecordCache::List(const std::string& path) {
  Stamp stamp;
  {
    std::shared_lock<platform::WriterFirstMutex> hold(mutex_);
    if (ListRecord held = Find<ProjectFileList>(path, stamp)) return held;
  }
  auto loaded = std::make_shared<ProjectFileList>(path);
  if (!loaded->LoadFailed()) Offer(path, ListRecord(loaded), loaded->ApproximateBytes(), stamp);
  return loaded;
}

void RecordCache::Put(const std::string& path, FileStatistics statistics) {
  std::string text;
  // Kept as the text the save wrote; a record that does not encode is read from the disk.
  if (statistics.Encode(text) != 0) {
    Drop(path);
    return;
  }
  const ParsedRecord parsed = MakeRecord(statistics, text);
  std::size_t evicted = 0;
  {
    std::lock_guard<platform::WriterFirstMutex> hold(mutex_);
    MarkWritten(path);
    evicted = Store(path, parsed, parsed->Bytes());
  }
  platform::NoteMemoryFreed(evicted);
  if (listener_ != nullptr) listener_->Saved(path, statistics);
}

void RecordCache::Put(const std::string& path, ProjectFileList list) {
  auto shared = std::make_shared<const ProjectFileList>(std::move(list));
  const std::size_t bytes = shared->ApproximateBytes();
  std::size_t evicted = 0;
  {
    std::lock_guard<platform::WriterFirstMutex> hold(mutex_);
    MarkWritten(path);
    evicted = Store(path, std::move(shared), bytes);
  }
  platform::NoteMemoryFreed(evicted);
}

void RecordCache::Drop(const std::string& path) {
  {
    std::lock_guard<platform::WriterFirstMutex> hold(mutex_);
    MarkWritten(path);
    const auto found = index_.find(path);
    if (found != index_.end()) Forget(found->second);
  }
  if (listener_ != nullptr) listener_->Dropped(path);
}

void RecordCache::BeginWrites(const std::vector<std::string>& paths) {
  std::lock_guard<platform::WriterFirstMutex> hold(mutex_);
  for (const std::string& path : paths) {
    MarkWritten(path);
    ++stripeWriters_[StripeOf(path)];
    const auto found = index_.find(path);
    if (found != index_.end()) Forget(found->second);
  }
}

void RecordCache::EndWrites(const std::vector<std::string>& paths) {
  std::lock_guard<platform::WriterFirstMutex> hold(mutex_);
  for (const std::string& path : paths) --stripeWriters_[StripeOf(path)];
}

void RecordCache::DropBelow(const std::string& folder) {
  std::string prefix = folder;
  if (prefix.empty() || prefix.back() != '/') prefix += '/';
  {
    std::lock_guard<platform::WriterFirstMutex> hold(mutex_);
    ++allWrites_;
    for (auto entry = entries_.begin(); entry != entries_.end();) {
      const auto next = std::next(entry);
      if (std::string_view(entry->path).starts_with(prefix)) Forget(entry);
      entry = next;
    }
  }
  if (listener_ != nullptr) listener_->DroppedBelow(prefix);
}

std::size_t RecordCache::HeldBytes() const {
  std::shared_lock<platform::WriterFirstMutex> hold(mutex_);
  return heldBytes_;
}

std::size_t RecordCache::HeldRecords() const {
  std::shared_lock<platform::WriterFirstMutex> hold(mutex_);
  return entries_.size();
}

template <class T>
const std::shared_ptr<const T>* RecordCache::Held(std::string_view path) const {
  const auto found = index_.find(path);
  if (found == index_.end()) return nullptr;
  const Entry& entry = *found->second;
  const auto* record = std::get_if<std::shared_ptr<const T>>(&entry.record);
  // Written only when not yet set, so readers of a warm cache share its lines.
  if (record != nullptr && !entry.used.load(std::memory_order_relaxed)) entry.used.store(true, std::memory_order_relaxed);
  return record;
}

template <class T>
std::shared_ptr<const T> RecordCache::Find(const std::string& path, Stamp& stamp) const {
  if (const auto* held = Held<T>(path)) return *held;
  stamp = StampOf(path);
  return nullptr;
}

void RecordCache::Offer(const std::string& path, Record record, std::size_t bytes, const Stamp& stamp) {
  std::size_t evicted = 0;
  {
    std::lock_guard<platform::WriterFirstMutex> hold(mutex_);
    if (stripeWriters_[StripeOf(path)] == 0 && StampOf(path) == stamp) evicted = Store(path, std::move(record), bytes);
  }
  platform::NoteMemoryFreed(evicted);
}

std::size_t RecordCache::Store(const std::string& path, Record record, std::size_t bytes) {
  std::size_t evicted = 0;
  const auto found = index_.find(path);
  if (found != index_.end()) evicted += Forget(found->second);
  bytes += EntryBytes(path);
  if (bytes > byteLimit_) return evicted;
  evicted += MakeRoom(bytes);
  entries_.emplace_front(path, std::move(record), bytes, ArenaAllocator<char>(arena_));
  index_.emplace(entries_.front().path, entries_.begin());
  heldBytes_ += bytes;
  return evicted;
}

std::size_t RecordCache::MakeRoom(std::size_t bytes) {
  std::size_t evicted = 0;
  while (heldBytes_ + bytes > byteLimit_) {
    const auto last = std::prev(entries_.end());
    if (last->used.exchange(false, std::memory_order_relaxed)) {
      entries_.splice(entries_.begin(), entries_, last);
    } else {
      evicted += Forget(last);
    }
  }
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
  return Stamp{stripeWrites_[StripeOf(path)], allWrites_};
}

std::size_t RecordCache::StripeOf(const std::string& path) { return std::hash<std::string>{}(path) % kStripes; }

void RecordCache::MarkWritten(const std::string& path) { ++stripeWrites_[StripeOf(path)]; }
