// Formatting doubles through the shared formatter, as the fetch does for
// DOUBLE columns delivered as text with external conversion on.
#include <benchmark/benchmark.h>

#include <cstddef>
#include <vector>

#include "common/qvoNumberFormat.h"

namespace {

std::vector<double> SampleValues() {
  std::vector<double> values;
  double v = 1.234567890123e-30;
  for (int i = 0; i < 256; ++i) {
    values.push_back(i % 2 ? -v : v);
    v *= 1.7;
  }
  return values;
}

void BM_ConvertDouble(benchmark::State& state) {
  const std::vector<double> values = SampleValues();
  char buffer[NumberFormat::bufferSize];
  std::size_t i = 0;
  for (auto _ : state) {
    double number = values[i++ % values.size()];
    benchmark::DoNotOptimize(convertNumber(number, buffer));
    benchmark::DoNotOptimize(buffer);
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_ConvertDouble);

void BM_ConvertInt64(benchmark::State& state) {
  char buffer[NumberFormat::bufferSize];
  unsigned long long n = 1;
  for (auto _ : state) {
    long long number = static_cast<long long>(n);
    n = n * 6364136223846793005ULL + 1442695040888963407ULL;  // wraps by design
    benchmark::DoNotOptimize(convertNumber(number, buffer));
    benchmark::DoNotOptimize(buffer);
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_ConvertInt64);

}  // namespace

BENCHMARK_MAIN();
