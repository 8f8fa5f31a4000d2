// Linked into every benchmark: prints the process's peak resident memory at exit,
// so each run states what its speed cost in memory.
#include <sys/resource.h>

#include <cstdio>

namespace {

struct PeakMemoryReport {
  ~PeakMemoryReport() {
    rusage usage{};
    if (getrusage(RUSAGE_SELF, &usage) == 0) {
      std::printf("peak resident memory %.1f MiB\n", static_cast<double>(usage.ru_maxrss) / 1024.0);
    }
  }
};

const PeakMemoryReport report;

}  // namespace
