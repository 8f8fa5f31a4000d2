// The document list's fill of a project of 10,000 documents with three versions each:
// reading the versions cache, sorting and building every row with its cell texts, and
// the re-sort of a column click. Run it from an optimised build configured with
// -DWEX_BUILD_BENCH=ON: <build>/bench/bench_documentlist_view (medians of 5 runs).
#include <benchmark/benchmark.h>

#include <string>

#include "client/rules/DocumentRowModel.h"
#include "client/rules/DocumentRowTexts.h"
#include "platform/ScratchFolder.h"

namespace {

constexpr int kDocuments = 10000;
constexpr int kVersions = 3;

// prefix + n (built by appending: GCC 12 warns falsely on "text" + std::string at -O3).
std::string Numbered(std::string prefix, int n) { return prefix += std::to_string(n); }

// Documents in a scrambled order, so the sort has work to do.
std::string WriteCache(const platform::ScratchFolder& folder) {
  VersionedDocumentList list;
  list.SetProjectName("Main");
  list.SetProjectIndexName("WXPrName_1");
  for (int i = 0; i < kDocuments; ++i) {
    const int d = (i * 7919) % kDocuments;
    VersionedDocument document;
    for (int v = kVersions; v >= 1; --v) {
      DocumentVersionEntry version;
      version.SetName(Numbered(d % 2 == 0 ? "Report " : "report ", d) + ".txt");
      version.SetIndexName(Numbered("WXFiName_", d));
      version.SetVersion(v);
      version.SetFileSize(4096 * v + d);
      version.SetAuthor("ann");
      version.SetComment("Reworked the summary, checked the figures\r\nand the tables");
      document.AddVersion(version);
    }
    list.Add(document);
  }
  const std::string path = folder / "cacheWithVersions";
  list.WriteFile(path);
  return path;
}

// Every cell the window shows.
std::size_t ShowAll(const DocumentRowModel& rows, const platform::NumberLocale& locale) {
  const platform::DateLocale dates = platform::UserDateLocale();   // once per fill, as the view reads it
  std::size_t bytes = 0;
  for (const DocumentRowModel::Row& row : rows.GetRows()) {
    const auto* version = rows.GetList().GetAt(row.document)->GetVersion(row.version);
    for (const std::string& cell : DocumentRowTexts::Cells(*version, row.versionRow, row.status, locale, dates)) {
      bytes += cell.size();
    }
  }
  return bytes;
}

void BM_FillFromCache(benchmark::State& state) {
  platform::ScratchFolder folder;
  const std::string path = WriteCache(folder);
  const platform::NumberLocale locale = platform::UserNumberLocale();
  for (auto _ : state) {
    DocumentRowModel rows;
    rows.Fill(path, false, {});
    benchmark::DoNotOptimize(ShowAll(rows, locale));
  }
  state.SetItemsProcessed(state.iterations() * kDocuments);
}

void BM_ColumnClickResort(benchmark::State& state) {
  platform::ScratchFolder folder;
  const std::string path = WriteCache(folder);
  const platform::NumberLocale locale = platform::UserNumberLocale();
  DocumentRowModel rows;
  rows.Fill(path, false, {});
  int column = 0;
  for (auto _ : state) {
    column = column % 5 + 1;   // revision, date, status, size, name
    rows.GetSortOrder().OnColumnClick(column);
    rows.Fill(path, true, {});
    benchmark::DoNotOptimize(ShowAll(rows, locale));
  }
  state.SetItemsProcessed(state.iterations() * kDocuments);
}

BENCHMARK(BM_FillFromCache)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true);
BENCHMARK(BM_ColumnClickResort)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true);

}  // namespace

BENCHMARK_MAIN();
