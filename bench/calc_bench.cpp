// Cost of one element-solver call (calc) beside the straightforward version of the tests, on
// the shipped polars: a blade of 20 elements rated at 51 tip speed ratios 5 ... 13, as the
// optimiser does. Each benchmark iteration is one sweep of 51 calls; both versions must give the
// same bits wherever the plain iteration ends every element in a windmill state (elsewhere calc
// solves the element again; the counter "resolved calls" says how many of the 51), otherwise the
// benchmark stops with an error.
//
//   build-*/calc_bench --benchmark_counters_tabular=true

#include <benchmark/benchmark.h>

#include <bit>
#include <cstdint>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <system_error>
#include <vector>

#include "support/workdir.h"

// The aerofoil files: the first Data/ directory found from the working directory or the
// executable upwards.
#define ROTORFORGE_SOURCE_DIR support::find_source_dir()

#include "rotor/calc_lanes.h"
#include "rotor/calc_mod.h"
#include "rotor/rotor_reference.h"
#include "support/polars.h"

namespace {

constexpr std::int64_t kNumb = 3;
constexpr std::int64_t kNbe = 20;
constexpr double kRhub = 0.15;
constexpr double kRtip = 1.5;
constexpr double kU = 7.0;

// A tapered, twisted blade of the kind the optimiser rates.
struct Blade {
  double dr = 0.0;
  std::vector<double> r, twist, chord, alpha;
  Blade() {
    const double xhub = kRhub / kRtip;
    dr = (1.0 - xhub) / static_cast<double>(kNbe);
    double x = xhub + dr / 2.0;
    for (std::int64_t i = 0; i < kNbe; ++i) {
      r.push_back(x);
      chord.push_back(0.16 - 0.12 * x);
      twist.push_back(22.0 - 24.0 * x);
      x += dr;
    }
    alpha.assign(kNbe, 0.0);
  }
};

double lambda_of(int k) {
  return 5.0 + 8.0 * static_cast<double>(k) / 50.0;
}

template <bool reference>
double sweep(Blade& b) {
  double sum = 0.0;
  for (int k = 0; k <= 50; ++k) {
    double cp = 0.0;
    if constexpr (reference) {
      rotor_reference::calc(
          {kNumb, kNbe, b.dr, kRtip, b.r, b.twist, b.chord, kU, lambda_of(k), 0.0}, b.alpha, cp);
    } else {
      calc_mod::calc({kNumb, kNbe, b.dr, kRtip, b.r, b.twist, b.chord, kU, lambda_of(k), 0.0},
                     b.alpha, cp);
    }
    sum += cp;
  }
  return sum;
}

// Every call of the sweep where each element of the plain iteration converges to a windmill
// state gives the reference's bits; the others are solved again by calc (and counted).
bool same_where_healthy(benchmark::State& state) {
  Blade fast, ref;
  std::vector<rotor_reference::ElementState> ends(kNbe);
  int resolved = 0;
  for (int k = 0; k <= 50; ++k) {
    double cp = 0.0, cp_ref = 0.0;
    calc_mod::calc(
        {kNumb, kNbe, fast.dr, kRtip, fast.r, fast.twist, fast.chord, kU, lambda_of(k), 0.0},
        fast.alpha, cp);
    rotor_reference::calc(
        {kNumb, kNbe, ref.dr, kRtip, ref.r, ref.twist, ref.chord, kU, lambda_of(k), 0.0}, ref.alpha,
        cp_ref, nullptr, ends.data());
    bool healthy = true;
    for (const auto& e : ends) {
      healthy = healthy && !calc_mod::element_needs_resolve(e.a, e.ap, e.phi, e.converged);
    }
    if (!healthy) {
      ++resolved;
    } else if (std::bit_cast<std::uint64_t>(cp) != std::bit_cast<std::uint64_t>(cp_ref)) {
      return false;
    }
  }
  state.counters["resolved calls"] = resolved;
  return true;
}

template <bool reference>
void BM_calc(benchmark::State& state) {
  const int foil = static_cast<int>(state.range(0));
  support::load_shipped_polar(support::kShippedPolars[foil]);
  state.SetLabel(support::kShippedPolars[foil]);
  if (!same_where_healthy(state)) {
    state.SkipWithError("calc differs from the reference");
    return;
  }
  Blade b;
  for (auto _ : state) benchmark::DoNotOptimize(sweep<reference>(b));
  state.counters["calls/s"] = benchmark::Counter(51.0 * static_cast<double>(state.iterations()),
                                                 benchmark::Counter::kIsRate);
}

// The same 51 calls on the lane engines, all handed over as one list; the sum of their power
// coefficients must be calc's to the bit (calc solves an element again where the plain reference
// would not, so the reference is no oracle for the engines).
void BM_lanes(benchmark::State& state) {
  const int foil = static_cast<int>(state.range(0));
  const auto engine = static_cast<calc_lanes::Engine>(state.range(1));
  if (!calc_lanes::available(engine)) {
    state.SkipWithError("engine not available on this processor");
    return;
  }
  support::load_shipped_polar(support::kShippedPolars[foil]);
  state.SetLabel(std::string(support::kShippedPolars[foil]) + " " + calc_lanes::name(engine));
  Blade b;
  double cp[51] = {};
  std::vector<calc_lanes::Call> calls;
  for (int k = 0; k <= 50; ++k) {
    calls.push_back(
        {{kNumb, kNbe, b.dr, kRtip, b.r, b.twist, b.chord, kU, lambda_of(k), 0.0}, {}, &cp[k], {}});
  }
  calc_lanes::solve(engine, calls);
  double sum = 0.0;
  for (double v : cp) sum += v;
  Blade ref;
  if (std::bit_cast<std::uint64_t>(sum) != std::bit_cast<std::uint64_t>(sweep<false>(ref))) {
    state.SkipWithError("the lane engine differs from calc");
    return;
  }
  for (auto _ : state) {
    calc_lanes::solve(engine, calls);
    benchmark::DoNotOptimize(cp);
  }
  state.counters["calls/s"] = benchmark::Counter(51.0 * static_cast<double>(state.iterations()),
                                                 benchmark::Counter::kIsRate);
}

BENCHMARK(BM_lanes)
    ->Name("calc/lanes")
    ->ArgsProduct({{0, 1, 2}, {1, 2, 4, 8}})
    ->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_calc<false>)->Name("calc/fast")->DenseRange(0, 2)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_calc<true>)->Name("calc/reference")->DenseRange(0, 2)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
