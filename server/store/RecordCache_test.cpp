#include "server/store/RecordCache.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <fstream>
#include <functional>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "platform/ScratchFolder.h"
#include "server/store/StoreTestLibrary.h"

namespace {

std::string Encoded(const FileStatistics& statistics) {
  std::string text;
  EXPECT_EQ(statistics.Encode(text), 0);
  return text;
}

// A record the disk gives back: a statistics file holds a whole version at least.
FileStatistics ReadableRecord(const std::string& owner) {
  FileStatistics statistics;
  statistics.SetOwnerProject(owner);
  FileEntry version;
  version.SetName("Plan.txt");
  version.SetInternalFileName("WXFiName_1");
  version.SetVersion(1);
  version.SetAuthor("ann");
  statistics.SetHeader(version);
  statistics.AddVersion(version);
  return statistics;
}

std::string Encoded(const ProjectFileList& list) {
  std::string text;
  EXPECT_TRUE(list.Encode(text));
  return text;
}

class RecordCacheTest : public StoreTestLibrary {
 protected:
  void SetUp() override {
    StoreTestLibrary::SetUp();
    a_ = NewProject("A");
    b_ = NewProject("B");
    plan_ = NewDocument(a_, "Plan.txt");
    NewDocument(a_, "Memo.txt");
  }

  // Reads every record of A and B through the cache, as the request handlers do.
  void ReadThroughCache() {
    for (const std::string& project : {a_, b_}) {
      const RecordCache::ListRecord list = Cache().List(ProjectFileListPath(FolderOf(project), project));
      StringList values;
      list->GetValues(values);
      for (int i = 0; i < values.GetSize(); ++i) Cache().Statistics(StatisticsPath(FolderOf(project), values.GetAt(i)));
    }
  }

  // What the cache serves for A's and B's lists, for their documents and for the
  // statistics path of Plan.txt is what the disk holds.
  void ExpectCacheIsDisk(const std::string& when) {
    for (const std::string& project : {a_, b_}) {
      const std::string listPath = ProjectFileListPath(FolderOf(project), project);
      const ProjectFileList onDisk(listPath);
      EXPECT_EQ(Encoded(*Cache().List(listPath)), Encoded(onDisk)) << when;
      StringList values;
      onDisk.GetValues(values);
      for (int i = 0; i < values.GetSize(); ++i) {
        ExpectStatisticsIsDisk(StatisticsPath(FolderOf(project), values.GetAt(i)), when);
      }
    }
    ExpectStatisticsIsDisk(StatisticsPath(FolderOf(a_), plan_), when);
  }
  void ExpectStatisticsIsDisk(const std::string& path, const std::string& when) {
    FileStatistics onDisk;
    int lines = 0;
    const bool exists = onDisk.Load(path, lines) == 0;
    const RecordCache::StatisticsRecord cached = Cache().Statistics(path);
    ASSERT_EQ(cached != nullptr, exists) << when << ": " << path;
    if (exists) {
      EXPECT_EQ(Encoded(*cached), Encoded(onDisk)) << when << ": " << path;
    }
  }

  RecordCache& Cache() { return Doc().GetRecordCache(); }

  std::string a_, b_, plan_;
};

// Each writer, whole or failing at one of its record writes, and then every reader
// of the cache sees what the disk holds.
TEST_F(RecordCacheTest, ReadersSeeTheDiskAfterEveryWriteAndEveryFailedOne) {
  struct Case {
    const char* what;
    int failAt;  // the record write that fails (1: the first); 0: none
    std::function<int()> write;
  };
  StringList report;
  FileStatistics result;
  const auto add = [&] { return Doc().AddDocument("New.txt", a_, "ann", "", Received("n"), 1, result); };
  const auto checkOut = [&] { return CheckOut(a_, "Plan.txt"); };
  const auto checkIn = [&] { return CheckIn(a_, "Plan.txt", "v2"); };
  const auto reference = [&] { return Doc().AddReference("Plan.txt", b_, "", a_, 2, result, false, false); };
  const auto dropReference = [&] { return Doc().DeleteDocument(b_, ListOf(b_).Lookup("Plan.txt"), report); };
  const auto rename = [&] { return Doc().RenameDocument(a_, plan_, "Renamed.txt") ? 0 : 1; };
  const auto remove = [&] { return Doc().DeleteDocument(a_, plan_, report); };
  const std::vector<Case> cases{
      {"add, list not written", 4, add},
      {"add", 0, add},
      {"check-out not saved", 2, checkOut},
      {"check-out", 0, checkOut},
      {"check-in not saved", 2, checkIn},
      {"check-in", 0, checkIn},
      {"reference, original not written", 3, reference},
      {"reference", 0, reference},
      {"delete of the reference", 0, dropReference},
      {"rename, list not written", 3, rename},
      {"rename", 0, rename},
      {"delete, list not written", 3, remove},
      {"delete", 0, remove},
  };
  for (const Case& c : cases) {
    ReadThroughCache();
    if (c.failAt > 0) FailWrite(c.failAt);
    const int code = c.write();
    StopFailing();
    EXPECT_EQ(code == 0, c.failAt == 0) << c.what << " gave " << code;
    ExpectCacheIsDisk(c.what);
  }
}

// Records put one after the other into a cache that holds `fits` of them; the
// first is read again before the fourth comes.
TEST(RecordCacheBoundTest, KeepsTheMostRecentlyUsedWithinTheLimit) {
  platform::ScratchFolder scratch;
  const auto path = [&](int n) { return std::string(scratch / ("absent" + std::to_string(n))); };
  const auto record = [] { return ReadableRecord("P"); };
  RecordCache measure;
  measure.Put(path(0), record());
  const std::size_t one = measure.HeldBytes();

  struct Case {
    std::size_t limit;
    std::set<int> kept;
  };
  for (const Case& c : std::vector<Case>{{one - 1, {}}, {one, {4}}, {3 * one, {0, 3, 4}}}) {
    RecordCache cache(c.limit);
    for (int n = 0; n < 5; ++n) {
      if (n == 3) cache.Statistics(path(0));
      cache.Put(path(n), record());
      EXPECT_LE(cache.HeldBytes(), c.limit);
    }
    for (int n = 0; n < 5; ++n) {
      EXPECT_EQ(cache.Statistics(path(n)) != nullptr, c.kept.count(n) == 1) << c.limit << " " << n;
    }
    EXPECT_EQ(cache.HeldRecords(), c.kept.size());
  }
}

// Replaces the file whole without waiting for the disk, so that writers overtake
// readers often.
bool ReplaceQuickly(const std::string& path, const FileStatistics& statistics) {
  std::string content;
  if (statistics.Encode(content) != 0) return false;
  const std::string temporary = path + ".new";
  std::ofstream(temporary, std::ios::binary) << content;
  return std::rename(temporary.c_str(), path.c_str()) == 0;
}

// Readers of a few records, one at a time and all at once, while writers save newer
// generations (marking the path, writing the disk, then the cache, as the store does) under a limit that
// keeps everything and one that evicts all the time: a reader gets only the record of
// the path it asked for, never older than one it saw before, and the cache ends
// within its limit holding what the disk holds.
TEST(RecordCacheConcurrencyTest, ReadersSeeEachPathsGenerationsInOrder) {
  constexpr int kPaths = 6;
  constexpr int kWriters = 2;
  constexpr int kReaders = 4;
  constexpr int kGenerations = 100;
  platform::ScratchFolder scratch;
  std::vector<std::string> paths;
  for (int p = 0; p < kPaths; ++p) paths.push_back(scratch / ("stats" + std::to_string(p)));
  const std::vector<std::string_view> views(paths.begin(), paths.end());
  const auto record = [](int path, int generation) { return ReadableRecord(std::to_string(path * 1000 + generation)); };
  RecordCache measure;
  measure.Put(paths[0], record(0, 0));
  const std::size_t one = measure.HeldBytes();

  struct Case {
    const char* what;
    std::size_t limit;
    bool drop;   // writers drop the path instead of putting the new record
  };
  for (const Case& c : std::vector<Case>{{"kept, put", RecordCache::kDefaultByteLimit, false},
                                         {"evicting, put", 2 * one, false},
                                         {"evicting, drop", 2 * one, true}}) {
    for (int p = 0; p < kPaths; ++p) ASSERT_TRUE(ReplaceQuickly(paths[static_cast<std::size_t>(p)], record(p, 0)));
    RecordCache cache(c.limit);
    std::atomic<bool> writing{true};
    std::atomic<int> faults{0};
    std::vector<std::thread> readers;
    for (int r = 0; r < kReaders; ++r) {
      readers.emplace_back([&] {
        std::vector<int> seen(kPaths, 0);
        const auto check = [&](int p, const CachedStatistics* got) {
          const std::shared_ptr<const FileStatistics> read = got != nullptr ? got->Statistics() : nullptr;
          const int stored = read != nullptr ? std::stoi(read->GetOwnerProject()) : -1;
          if (stored / 1000 != p || stored % 1000 < seen[static_cast<std::size_t>(p)]) ++faults;
          if (stored >= 0) seen[static_cast<std::size_t>(p)] = stored % 1000;
        };
        while (writing) {
          for (int p = 0; p < kPaths; ++p) check(p, cache.Parsed(paths[static_cast<std::size_t>(p)]).get());
          const std::vector<RecordCache::ParsedRecord> all = cache.ParsedAll(paths);
          for (int p = 0; p < kPaths; ++p) check(p, all[static_cast<std::size_t>(p)].get());
          int visited = 0;
          const bool held = cache.VisitAllHeld(views, [&](const CachedStatistics& got) { check(visited++, &got); });
          if (visited != (held ? kPaths : 0)) ++faults;
        }
      });
    }
    std::vector<std::thread> writers;
    for (int w = 0; w < kWriters; ++w) {
      writers.emplace_back([&, w] {
        for (int g = 1; g <= kGenerations; ++g) {
          for (int p = w; p < kPaths; p += kWriters) {
            const std::string& path = paths[static_cast<std::size_t>(p)];
            cache.BeginWrites({path});
            if (!ReplaceQuickly(path, record(p, g))) ++faults;
            if (c.drop) {
              cache.Drop(path);
            } else {
              cache.Put(path, record(p, g));
            }
            cache.EndWrites({path});
          }
        }
      });
    }
    for (std::thread& writer : writers) writer.join();
    writing = false;
    for (std::thread& reader : readers) reader.join();
    EXPECT_EQ(0, faults.load()) << c.what;
    EXPECT_LE(cache.HeldBytes(), c.limit) << c.what;
    // Every path was put last unless the bound let some go.
    EXPECT_EQ(!c.drop && c.limit == RecordCache::kDefaultByteLimit, cache.VisitAllHeld(views, [](const auto&) {}))
        << c.what;
    for (int p = 0; p < kPaths; ++p) {
      const RecordCache::ParsedRecord last = cache.Parsed(paths[static_cast<std::size_t>(p)]);
      ASSERT_NE(nullptr, last) << c.what;
      EXPECT_EQ(std::to_string(p * 1000 + kGenerations), last->Statistics()->GetOwnerProject()) << c.what;
    }
  }
}

}  // namespace
