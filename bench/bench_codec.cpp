// Throughput of the XOR key transform on a 64 MiB buffer with a 90-byte key,
// next to memcpy of the same buffer, and the ratio of the two. Run it from an
// optimised build configured with -DWEX_BUILD_BENCH=ON: <build>/bench/bench_codec
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "bench/BenchSupport.h"
#include "common/BuiltInKeys.h"
#include "common/Codec.h"

namespace {

constexpr std::size_t kBufferSize = 64u * 1024u * 1024u;

std::vector<unsigned char>& Buffer() {
  static std::vector<unsigned char> buffer(kBufferSize, 0x41);
  return buffer;
}

void BM_CodecEncode(benchmark::State& state) {
  Codec codec;
  BuiltInKey key = SettingsBuiltInKey();
  codec.Add(static_cast<int>(key.size()), key.data(), 1);
  std::vector<unsigned char>& buffer = Buffer();
  for (auto _ : state) {
    codec.Encode(0, static_cast<std::int64_t>(buffer.size()), buffer.data());
    benchmark::DoNotOptimize(buffer.data());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * static_cast<std::int64_t>(kBufferSize));
}
BENCHMARK(BM_CodecEncode)->Unit(benchmark::kMillisecond);

void BM_Memcpy(benchmark::State& state) {
  std::vector<unsigned char>& source = Buffer();
  std::vector<unsigned char> target(kBufferSize, 0);
  for (auto _ : state) {
    std::memcpy(target.data(), source.data(), kBufferSize);
    benchmark::DoNotOptimize(target.data());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * static_cast<std::int64_t>(kBufferSize));
}
BENCHMARK(BM_Memcpy)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  bench::BestRateReporter reporter("bytes_per_second");
  if (!bench::RunBenchmarks(argc, argv, reporter)) return 1;
  const double codec = reporter.Rate("BM_CodecEncode");
  const double copy = reporter.Rate("BM_Memcpy");
  if (codec > 0 && copy > 0) std::printf("ratio codec / memcpy throughput %.2f\n", codec / copy);
  return 0;
}
