#pragma once
// The parsed record files of the store, by full path: statistics files and project
// file lists. Writers put what they saved once the save succeeded and drop the
// paths a failed save touched; readers take the shared parse, or on a miss read the
// file and offer the parse back. A parse read while a writer changed its path is not
// kept, so the disk stays the truth. Bounded by the records' approximate bytes, the
// least recently used going first; what eviction frees is counted towards handing
// memory back to the system.
#include <array>
#include <cstddef>
#include <cstdint>
#include <list>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <unordered_map>
#include <variant>

#include "server/store/FileStatistics.h"
#include "server/store/ProjectFileList.h"

class RecordCache {
 public:
  static constexpr std::size_t kDefaultByteLimit = std::size_t{64} << 20;
  using StatisticsRecord = std::shared_ptr<const FileStatistics>;
  using ListRecord = std::shared_ptr<const ProjectFileList>;
  // A statistics record with its rows of the document lists, encoded once per parse.
  struct ParsedStatistics {
    explicit ParsedStatistics(FileStatistics parsed);
    FileStatistics statistics;
    std::string latestRow;    // the latest version's row; "" when no version is above 0
    std::string versionRows;  // the version-list rows
  };
  using ParsedRecord = std::shared_ptr<const ParsedStatistics>;

  explicit RecordCache(std::size_t byteLimit = kDefaultByteLimit) : byteLimit_(byteLimit) {}
  RecordCache(const RecordCache&) = delete;
  RecordCache& operator=(const RecordCache&) = delete;

  // The statistics file at `path`; null when it does not load.
  StatisticsRecord Statistics(const std::string& path);
  ParsedRecord Parsed(const std::string& path);
  // The file list at `path`, never null; one whose LoadFailed() is true is not kept.
  ListRecord List(const std::string& path);

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
  struct Entry {
    std::string path;
    Record record;
    std::size_t bytes = 0;
  };
  using Entries = std::list<Entry>;  // most recently used first
  // Counts writes per stripe of paths (and for all paths at once), so that a reader
  // can tell whether a writer came between its read of the disk and its offer.
  struct Stamp {
    std::uint64_t stripe = 0;
    std::uint64_t all = 0;
    bool operator==(const Stamp&) const = default;
  };

  template <class T>
  std::shared_ptr<const T> Find(const std::string& path, Stamp& stamp);
  void Offer(const std::string& path, Record record, std::size_t bytes, const Stamp& stamp);
  // Both give the bytes of the records they let go.
  std::size_t Store(const std::string& path, Record record, std::size_t bytes);
  static std::size_t BytesOf(const ParsedStatistics& parsed);
  std::size_t Forget(Entries::iterator entry);
  Stamp StampOf(const std::string& path) const;
  void MarkWritten(const std::string& path);

  static constexpr std::size_t kStripes = 1024;
  const std::size_t byteLimit_;
  mutable std::mutex mutex_;
  Entries entries_;
  std::unordered_map<std::string_view, Entries::iterator> index_;  // views of the entries' paths
  std::size_t heldBytes_ = 0;
  std::array<std::uint64_t, kStripes> stripeWrites_{};
  std::uint64_t allWrites_ = 0;
};
