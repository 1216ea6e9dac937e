// The cost of planning one seek (no keys sent): PlanSeek for a few typical
// targets and rewind origins, and for inputs that hit the bounds.
#include <benchmark/benchmark.h>

#include <limits>
#include <optional>

#include "playback/seek_planner.h"

namespace {

struct Seek {
  long long target;
  std::optional<long long> rewindFrom;
  float total;
  float delay;
};

const Seek kSeeks[] = {
    {330, std::nullopt, 120, 0.0f},  // first seek, overshoot
    {60, std::nullopt, 120, 0.0f},   // first seek, small steps
    {2000, 400, 120, 0.2f},          // new row with a pause
    {7199, 7000, 120, 0.7f},         // near the end
    {-61, 1440, 120, 1.0f},          // empty row
    {85, 30, 5, 0.0f},               // small step below a second
    {3600, 3600, 0.001f, 1e30f},     // counts and pause bounded
    {330, 400, std::numeric_limits<float>::quiet_NaN(), 0.0f},
};

void BM_PlanSeek(benchmark::State& state) {
  const Seek& s = kSeeks[state.range(0)];
  for (auto _ : state) {
    long long target = s.target;
    float total = s.total;
    float delay = s.delay;
    benchmark::DoNotOptimize(target);
    benchmark::DoNotOptimize(total);
    benchmark::DoNotOptimize(delay);
    loreth::SeekPlan plan = loreth::PlanSeek(target, s.rewindFrom, total, delay);
    benchmark::DoNotOptimize(plan);
  }
}
BENCHMARK(BM_PlanSeek)->DenseRange(0, sizeof(kSeeks) / sizeof(kSeeks[0]) - 1);

}  // namespace
