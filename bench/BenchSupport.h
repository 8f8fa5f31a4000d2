#pragma once
// What the benchmarks share: the raw loopback copy their ratios are measured
// against, whole sends and receives over a loopback socket, and a console reporter
// that keeps each benchmark's best rate.
#include <benchmark/benchmark.h>

#include <cstddef>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/Socket.h"

class CWexmoorDoc;

namespace bench {

constexpr std::size_t kSocketCall = 60000;   // what the system hands to one socket call

// The best (least) of `rounds` runs of `run` in seconds; none when any run failed.
std::optional<double> BestOf(int rounds, const std::function<std::optional<double>()>& run);

// Sends all `length` bytes in calls of at most kSocketCall; false when the socket fails.
bool SendAll(platform::Socket& socket, const char* data, std::size_t length);
// Receives exactly `length` bytes; false when the socket fails or closes first.
bool ReceiveAll(platform::Socket& socket, char* buffer, std::size_t length);

// The work of a transfer without the protocol: reads the `size` bytes of `source`,
// sends them over a fresh loopback connection in kSocketCall calls, receives them in
// pieces of that size and writes them to `target`, a new file; `durable` adds an
// fsync of the written file.
bool RawLoopbackCopy(const std::string& source, const std::string& target, std::size_t size, bool durable);

// Writes `count` one-version documents of the project straight to disk, with their
// file list, as a grown library holds them; their internal names count on from
// `next`. Only before the server has read the project. False on a failed write.
bool WriteDocuments(CWexmoorDoc& document, const std::string& project, int count, int& next);

// A new library at `root` (made here), started through a working folder and a lock
// folder below `scratch`; throws when it does not start.
std::unique_ptr<CWexmoorDoc> OpenLibrary(const std::string& scratch, const std::string& root);

// Prints as usual and keeps, per run name, the best value of one counter over the
// iteration runs.
class BestRateReporter : public benchmark::ConsoleReporter {
 public:
  explicit BestRateReporter(std::string counter) : counter_(std::move(counter)) {}
  void ReportRuns(const std::vector<Run>& runs) override;
  double Rate(const std::string& runName) const;

 private:
  std::string counter_;
  std::map<std::string, double> rates_;
};

// Runs the registered benchmarks through `reporter`; false on an unknown argument.
bool RunBenchmarks(int& argc, char** argv, benchmark::BenchmarkReporter& reporter);

}  // namespace bench
