#pragma once
// The parsed record files of the store, by full path: statistics files and project
// file lists. Writers put what they saved once the save succeeded and drop the
// paths a failed save touched; readers take the shared parse, or on a miss read the
// file and offer the parse back. A parse read while a writer changed its path is not
// kept, so the disk stays the truth. Statistics records are kept compact
// (CachedStatistics); they, the entries and the index live in the cache's own
// arena, so the passing work of requests never shares their pages and what it frees
// goes back to the system. Bounded by the bytes the records take (the file lists'
// estimated); a record not used since eviction last passed it goes first (a second
// chance for each used one); what eviction frees is counted towards handing memory
// back to the system. Readers share the lock and only mark what they use, and a
// published record never changes, so many lists are served at once: a list of
// documents takes the lock once for all of them (ParsedAll) and encodes without it.
#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <list>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <variant>
#include <vector>

#include "platform/WriterFirstMutex.h"
#include "server/store/ArenaAllocator.h"
#include "server/store/CachedStatistics.h"
#include "server/store/FileStatistics.h"
#include "server/store/ProjectFileList.h"
#include "server/store/RecordArena.h"

class RecordCache {
 public:
  static constexpr std::size_t kDefaultByteLimit = std::size_t{64} << 20;
  using StatisticsRecord = std::shared_ptr<const FileStatistics>;
  using ListRecord = std::shared_ptr<const ProjectFileList>;
  using ParsedRecord = std::shared_ptr<const CachedStatistics>;

  // Told, after the cache took note, of every statistics record a writer saved,
  // every path it dropped and every folder whose records it dropped.
  class WriteListener {
   public:
    virtual ~WriteListener() = default;
    virtual void Saved(const std::string& path, const FileStatistics& statistics) = 0;
    virtual void Dropped(const std::string& path) = 0;
    virtual void DroppedBelow(const std::string& folder) = 0;
  };

  explicit RecordCache(std::size_t byteLimit = kDefaultByteLimit);
  // Set once, before any writer runs; null for none.
  void SetWriteListener(WriteListener* listener) { listener_ = listener; }
  RecordCache(const RecordCache&) = delete;
  RecordCache& operator=(const RecordCache&) = delete;

  // The statistics file at `path`; null when it does not load.
  StatisticsRecord Statistics(const std::string& path);
  ParsedRecord Parsed(const std::string& path);
  // Parsed() of every path, in order, with one look-up of the held ones.
  std::vector<ParsedRecord> ParsedAll(const std::vector<std::string>& paths);
  // When every path's parse is held, calls `visit` with each in order under the
  // shared lock and gives true; otherwise visits none. Takes no reference, so
  // readers of the same records on other cores do not contend for their counts.
  bool VisitAllHeld(const std::vector<std::string_view>& paths,
                    const std::function<void(const CachedStatistics&)>& visit) const;
  // The file list at `path`, never null; one whose LoadFailed() is true is not kept.
  ListRecord List(const std::string& path);

  // Paths a writer is about to change on disk. Until the matching EndWrites their
  // records are not served from the cache and no reader's parse of them is kept,
  // so a reader who saw a path's new file can never be served its old record.
  void BeginWrites(const std::vector<std::string>& paths);
  void EndWrites(const std::vector<std::string>& paths);
  // The record a writer has just saved at `path`.
  void Put(const std::string& path, FileStatistics statistics);
  void Put(const std::string& path, ProjectFileList list);
  // The next reader of `path` reads the disk.
  void Drop(const std::string& path);
  // The same for every path below the folder.
  void DropBelow(const std::string& folder);

  std::size_t HeldBytes() const;
  std::size_t HeldRecords() const;

 private:
  using Record = std::variant<ParsedRecord, ListRecord>;
  WriteListener* listener_ = nullptr;
  struct Entry {
    Entry(std::string_view p, Record r, std::size_t b, const ArenaAllocator<char>& allocator)
        : path(p, allocator), record(std::move(r)), bytes(b) {}
    ArenaString path;
    Record record;
    std::size_t bytes;
    // Set by readers under the shared lock; eviction clears it and gives the entry another round.
    mutable std::atomic<bool> used{false};
  };
  using Entries = std::list<Entry, ArenaAllocator<Entry>>;  // most recently stored (or spared) first
  // Views of the entries' paths.
  using Index = std::unordered_map<std::string_view, Entries::iterator, std::hash<std::string_view>,
                                   std::equal_to<std::string_view>,
                                   ArenaAllocator<std::pair<const std::string_view, Entries::iterator>>>;
  // Counts writes per stripe of paths (and for all paths at once), so that a reader
  // can tell whether a writer came between its read of the disk and its offer.
  struct Stamp {
    std::uint64_t stripe = 0;
    std::uint64_t all = 0;
    bool operator==(const Stamp&) const = default;
  };

  // The held record of `path` (marked used), else null. The caller holds the lock,
  // shared at least.
  template <class T>
  const std::shared_ptr<const T>* Held(std::string_view path) const;
  // The same as a copy, else null with the stamp to offer a parse under.
  template <class T>
  std::shared_ptr<const T> Find(const std::string& path, Stamp& stamp) const;
  ParsedRecord LoadParsed(const std::string& path, const Stamp& stamp);
  void Offer(const std::string& path, Record record, std::size_t bytes, const Stamp& stamp);
  // Both give the bytes of the records they let go.
  std::size_t Store(const std::string& path, Record record, std::size_t bytes);
  // What a record's entry costs besides the record: its node, its path and its index slot.
  static std::size_t EntryBytes(std::string_view path);
  // A statistics record kept in the arena.
  ParsedRecord MakeRecord(const FileStatistics& statistics, std::string_view fileText) const;
  std::size_t Forget(Entries::iterator entry);
  // Frees room for `bytes` more; gives the bytes let go.
  std::size_t MakeRoom(std::size_t bytes);
  static std::size_t StripeOf(const std::string& path);
  Stamp StampOf(const std::string& path) const;
  void MarkWritten(const std::string& path);

  static constexpr std::size_t kStripes = 1024;
  const std::size_t byteLimit_;
  mutable platform::WriterFirstMutex mutex_;
  // The statistics records, the entries and the index live here, apart from passing work.
  const std::shared_ptr<RecordArena> arena_;
  Entries entries_;
  Index index_;
  std::size_t heldBytes_ = 0;
  std::array<std::uint64_t, kStripes> stripeWrites_{};
  std::array<std::uint32_t, kStripes> stripeWriters_{};   // writers between BeginWrites and EndWrites
  std::uint64_t allWrites_ = 0;
};
