// Load, merge and save of a library inventory of 10000 projects (ten groups of 1000),
// in milliseconds. Run it from an optimised build configured with
// -DWEX_BUILD_BENCH=ON: <build>/bench/bench_inventory
#include <benchmark/benchmark.h>

#include <string>

#include "client/library/ProjectInventory.h"
#include "client/library/ProjectTree.h"
#include "client/library/ServerTreeText.h"
#include "platform/ScratchFolder.h"

namespace {

constexpr int kGroups = 10;
constexpr int kProjectsPerGroup = 999;  // with the groups: 10000 projects

// prefix + n (built by appending: GCC 12 warns falsely on "text" + std::string at -O3).
std::string Numbered(std::string prefix, int n) { return prefix += std::to_string(n); }

std::string ServerTree() {
  ServerTreeText text;
  text.Node("Main", "Root", kGroups);
  for (int g = 0; g < kGroups; ++g) {
    text.Node(Numbered("Group ", g), Numbered("G", g), kProjectsPerGroup);
    for (int p = 0; p < kProjectsPerGroup; ++p) {
      text.Node(Numbered("Project ", p), Numbered(Numbered("G", g) + "P", p), 0);
    }
  }
  return text.Text();
}

// A stored tree mapped under a scratch library folder, saved as its inventory.
struct Library {
  Library() : inventory(folder.Path()) {
    tree.GetRoot().SetLocalFolder(folder.Path() + "/Libraries/Main", false);
    tree.ApplyServerTree(serverTree);
    inventory.Save(tree.GetRoot());
  }
  platform::ScratchFolder folder;
  std::string serverTree = ServerTree();
  ProjectInventory inventory;
  ProjectTree tree;
};

void BM_LoadInventory(benchmark::State& state) {
  Library library;
  for (auto _ : state) {
    ProjectTree tree;
    if (tree.Load(library.inventory) != ProjectInventory::LoadResult::Loaded) state.SkipWithError("load failed");
    benchmark::DoNotOptimize(tree.FindProjectByPath("G9P998"));
  }
}

void BM_MergeServerTree(benchmark::State& state) {
  Library library;
  for (auto _ : state) {
    if (!library.tree.ApplyServerTree(library.serverTree)) state.SkipWithError("merge failed");
  }
}

void BM_SaveInventory(benchmark::State& state) {
  Library library;
  for (auto _ : state) {
    if (!library.inventory.Save(library.tree.GetRoot())) state.SkipWithError("save failed");
  }
}

BENCHMARK(BM_LoadInventory)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MergeServerTree)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SaveInventory)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
