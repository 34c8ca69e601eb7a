// Cost of the starting-blade design (46 stations and the two fits, i.e. param without its menu
// and file copies) for every aerofoil and 2, 3 and 4 blades, beside the straightforward design of
// the tests in the same run. The reference benchmarks also check that both designs give the same
// chords, twists and laws to the last bit, and stop with an error otherwise.
//
//   build-*/param_bench --benchmark_counters_tabular=true
//
// The reference design takes seconds per blade; it runs once per case. param/full is the whole
// operation as the program runs it: menu and answer through a console, the aerofoil's files copied
// into a scratch working directory and loaded, the design with its progress bar, the fits.

#include <benchmark/benchmark.h>

#include <array>
#include <bit>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <stdexcept>
#include <string>
#include <system_error>
#include <vector>

#include "support/workdir.h"

// The aerofoil files: the first Data/ directory found from the working directory or the
// executable upwards.
#define ROTORFORGE_SOURCE_DIR support::find_source_dir()

#include "driver/design_stage.h"
#include "rotor/calc_param.h"
#include "rotor/rotor_reference.h"
#include "support/polars.h"
#include "textio/textio.h"

namespace {

using calc_param::kStations;

constexpr double kRhub = 0.15;
constexpr double kRtip = 1.5;

struct Design {
  std::array<double, kStations> chord{}, twist{};
  calc_param::Coeffs a{}, b{};
};

template <bool reference>
Design design(std::int64_t B) {
  std::array<double, kStations> x{};
  double dx = 0.0;
  calc_param::stations(kRhub, kRtip, x, dx);
  const double ld = calc_param::design_tip_speed_ratio(B);
  Design d;
  if constexpr (reference) {
    rotor_reference::DesignState s;
    for (int i = 0; i < kStations; ++i) {
      rotor_reference::design_station(B, kRtip, ld, x[i], i > 0 ? &d.twist[i - 1] : nullptr, s,
                                      d.chord[i], d.twist[i]);
    }
  } else {
    calc_param::DesignState s;
    for (int i = 0; i < kStations; ++i) {
      calc_param::design_station(B, kRtip, ld, x[i], i > 0, i > 0 ? d.twist[i - 1] : 0.0, s,
                                 d.chord[i], d.twist[i]);
    }
  }
  calc_param::fit(x, dx, d.chord, d.a);
  calc_param::fit(x, dx, d.twist, d.b);
  return d;
}

bool same(const Design& p, const Design& q) {
  auto eq = [](double u, double v) {
    return std::bit_cast<std::uint64_t>(u) == std::bit_cast<std::uint64_t>(v);
  };
  for (int i = 0; i < kStations; ++i) {
    if (!eq(p.chord[i], q.chord[i]) || !eq(p.twist[i], q.twist[i])) return false;
  }
  for (int k = 0; k < 5; ++k) {
    if (!eq(p.a[k], q.a[k]) || !eq(p.b[k], q.b[k])) return false;
  }
  return true;
}

template <bool reference>
void BM_param(benchmark::State& state) {
  const int foil = static_cast<int>(state.range(0));
  const std::int64_t B = state.range(1);
  support::load_shipped_polar(support::kShippedPolars[foil]);
  state.SetLabel(std::string(support::kShippedPolars[foil]) + " B=" + std::to_string(B));
  Design last;
  for (auto _ : state) {
    last = design<reference>(B);
    benchmark::DoNotOptimize(last);
  }
  if (reference && !same(last, design<false>(B))) {
    state.SkipWithError("fast design differs from the reference");
  }
}

// A private working directory with Data/, Temp/ and Result/, removed afterwards.
// A scratch working directory with Temp/, Result/ and a copy of the shipped Data/.
class WorkDir : public support::DataWorkDir {
 public:
  WorkDir()
      : support::DataWorkDir("param_bench_",
                             std::filesystem::path(support::find_source_dir()) / "Data") {}
};

void BM_param_full(benchmark::State& state) {
  const int foil = static_cast<int>(state.range(0));
  const std::int64_t B = state.range(1);
  state.SetLabel(std::string(support::kShippedPolars[foil]) + " B=" + std::to_string(B));
  WorkDir dir;
  calc_param::Coeffs a{}, b{};
  for (auto _ : state) {
    std::istringstream in(std::to_string(foil + 1) + "\n");
    std::ostringstream out;
    textio::Console con(in, out);
    driver::starting_design(con, B, kRhub, kRtip, a, b);
    benchmark::DoNotOptimize(a);
  }
  const Design d = design<false>(B);
  if (d.a != a || d.b != b) state.SkipWithError("param differs from the design kernels");
}

void cases(benchmark::internal::Benchmark* b) {
  for (int foil = 0; foil < 3; ++foil) {
    for (int B = 2; B <= 4; ++B) b->Args({foil, B});
  }
}

BENCHMARK(BM_param<false>)->Name("param/fast")->Apply(cases)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_param_full)->Name("param/full")->Apply(cases)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_param<true>)
    ->Name("param/reference")
    ->Apply(cases)
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
