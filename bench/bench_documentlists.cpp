// Decoding the document-list and version-list bodies of a project of 1000 documents
// with 10 versions each, and writing both cache files, in rows per second. Run it from
// an optimised build configured with -DWEX_BUILD_BENCH=ON: <build>/bench/bench_documentlists
#include <benchmark/benchmark.h>

#include <string>

#include "client/library/ProjectDocumentList.h"
#include "client/library/VersionedDocumentList.h"
#include "platform/ScratchFolder.h"

namespace {

constexpr int kDocuments = 1000;
constexpr int kVersions = 10;

// prefix + n (built by appending: GCC 12 warns falsely on "text" + std::string at -O3).
std::string Numbered(std::string prefix, int n) { return prefix += std::to_string(n); }

DocumentVersionEntry Version(int document, int number) {
  DocumentVersionEntry version;
  version.SetName(Numbered("Document ", document) + ".txt");
  version.SetIndexName(Numbered("WXFiName_", document));
  version.SetVersion(number);
  version.SetFileSize(4096 * number);
  version.SetAuthor("ann");
  version.SetComment("Reworked the \"summary\", checked the figures\nand the tables");
  return version;
}

std::string DocumentListBody() {
  ProjectDocumentList list;
  list.SetProjectName("Main");
  list.SetProjectIndexName("WXPrName_1");
  for (int d = 0; d < kDocuments; ++d) list.Add(Version(d, kVersions));
  return list.Encode();
}

std::string VersionListBody() {
  VersionedDocumentList list;
  list.SetProjectName("Main");
  list.SetProjectIndexName("WXPrName_1");
  for (int d = 0; d < kDocuments; ++d) {
    VersionedDocument document;
    for (int v = kVersions; v >= 1; --v) document.AddVersion(Version(d, v));
    list.Add(document);
  }
  std::string body;
  list.Write(body);
  return body;
}

void BM_DocumentListBodyToCache(benchmark::State& state) {
  platform::ScratchFolder folder;
  const std::string body = DocumentListBody();
  for (auto _ : state) {
    QuotedLines lines(body);
    ProjectDocumentList list;
    if (!list.DecodeLines(lines) || !list.WriteFile(folder / "WXPrName_1")) state.SkipWithError("failed");
  }
  state.SetItemsProcessed(state.iterations() * kDocuments);
}

void BM_VersionListBodyToCache(benchmark::State& state) {
  platform::ScratchFolder folder;
  const std::string body = VersionListBody();
  for (auto _ : state) {
    QuotedLines lines(body);
    VersionedDocumentList list;
    if (!list.Read(lines) || !list.WriteFile(folder / "WXPrName_1WithVersions")) state.SkipWithError("failed");
  }
  state.SetItemsProcessed(state.iterations() * kDocuments * kVersions);
}

}  // namespace

BENCHMARK(BM_DocumentListBodyToCache)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_VersionListBodyToCache)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_MAIN();
