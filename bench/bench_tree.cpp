// A plain rebuild of the library tree view over 5000 projects (fifty groups of 99),
// as a tree reply makes it, in milliseconds: the headless items alone, and the view
// with its widget items. Run it from an optimised build configured with
// -DWEX_BUILD_BENCH=ON: <build>/bench/bench_tree (it shows no window).
#include <benchmark/benchmark.h>

#include <QApplication>
#include <string>

#include "client/document/CBrannockApp.h"
#include "client/document/CBrannockDoc.h"
#include "client/document/ClientHints.h"
#include "client/library/ServerTreeText.h"
#include "client/rules/LibraryTreeItems.h"
#include "client/ui/CBrannockView.h"
#include "platform/ScratchFolder.h"

namespace {

constexpr int kGroups = 50;
constexpr int kProjectsPerGroup = 99;   // with the groups: 5000 projects

std::string Numbered(std::string prefix, int n) { return prefix += std::to_string(n); }

// A document holding the tree, never opened.
struct Library {
  Library() {
    ServerTreeText text;
    text.Node("Main", "Root", kGroups);
    for (int g = 0; g < kGroups; ++g) {
      text.Node(Numbered("Group ", g), Numbered("G", g), kProjectsPerGroup);
      // Reverse order, so that every insertion has siblings to pass.
      for (int p = kProjectsPerGroup - 1; p >= 0; --p) {
        text.Node(Numbered("Project ", p), Numbered(Numbered("G", g) + "P", p), 0);
      }
    }
    document.GetProjectTree().ApplyServerTree(text.Text());
  }
  platform::ScratchFolder work;
  CBrannockApp app{work.Path(), "bench"};
  CBrannockDoc document{app};
};

void BM_ItemsRebuild(benchmark::State& state) {
  Library library;
  LibraryTreeItems items(library.document.GetProjectTree());
  for (auto _ : state) {
    items.RebuildPlain("Main : (TCP/IP)");
    benchmark::DoNotOptimize(items.GetCount());
  }
}
BENCHMARK(BM_ItemsRebuild)->Unit(benchmark::kMillisecond)->Repetitions(9)->ReportAggregatesOnly(true);

void BM_ViewRebuild(benchmark::State& state) {
  Library library;
  CBrannockView view(library.document);
  library.document.GetViews().Attach(view);
  const UpdateHint tree(UpdateHint::kTreeView);
  for (auto _ : state) {
    view.Update(ClientHints::kProjectTree, &tree);
    benchmark::DoNotOptimize(view.topLevelItemCount());
  }
  library.document.GetViews().Detach(view);
}
BENCHMARK(BM_ViewRebuild)->Unit(benchmark::kMillisecond)->Repetitions(9)->ReportAggregatesOnly(true);

}  // namespace

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication application(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
