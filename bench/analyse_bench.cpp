// Cost of rotorforge-analyse for the README example's blade cut into 20 and into 200 elements:
// the 57-point CP-lambda curve (the solver element by element, each element on its own section),
// one solver call of that curve beside one call of the design stage's way (the lane engine on the
// loaded tables, 51 ratios in one batch), and the whole default report (curve, the variable-speed
// table, start-up, CSV, SVG and page).
//
//   build/analyse_bench --benchmark_counters_tabular=true

#include <benchmark/benchmark.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "support/example_laws.h"
#include "support/workdir.h"

#define ROTORFORGE_SOURCE_DIR support::find_source_dir()

#include "aerofoil/data_in.h"
#include "analyse/analysis.h"
#include "analyse/blade_file.h"
#include "analyse/run.h"
#include "blade/rotor_blade.h"
#include "performance/sweep.h"

namespace {

namespace fs = std::filesystem;

using support::kExampleChord;
using support::kExampleTwist;

// The blade with SG6043 as each element's own section (the path of a blade file).
blade::Blade example_blade(std::int64_t nbe) {
  const std::string polar = ROTORFORGE_SOURCE_DIR + "/Data/Liftsg6043.dat";
  data_in::file_read(polar);
  blade::Blade b = blade::from_laws(3, nbe, 1.5, 0.15, 0.0, kExampleChord, kExampleTwist);
  b.sections.push_back(
      {"sg6043", std::make_shared<aerofoil::Polar>(data_in::read_polar(polar)), false, 0.0, ""});
  return b;
}

void BM_CpCurve57(benchmark::State& state) {
  const blade::Blade b = example_blade(state.range(0));
  const auto tsrs = analysis::ratio_range(1.0, 15.0, 0.25);
  for (auto _ : state) {
    benchmark::DoNotOptimize(analysis::curve(b, 8.0, tsrs, {0.0}));
  }
  state.counters["per call"] = benchmark::Counter(
      static_cast<double>(tsrs.size()),
      benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_CpCurve57)->Arg(20)->Arg(200)->Unit(benchmark::kMillisecond)->UseRealTime();

// The design stage's solver calls: 51 tip speed ratios 5 ... 12 of one wind speed in one batch
// on the lane engine, the designed blade on the loaded tables.
void BM_DesignStageCalls51(benchmark::State& state) {
  blade::Blade b = example_blade(state.range(0));
  b.sections.clear();
  std::vector<sweep::SolverPoint> points;
  for (int i = 0; i < sweep::kRatioSteps; ++i) points.push_back({8.0, sweep::ratio_grid(i), 0.0});
  std::vector<double> cp(points.size());
  for (auto _ : state) {
    sweep::cp_batch(b, points, cp);
    benchmark::DoNotOptimize(cp.data());
  }
  state.counters["per call"] = benchmark::Counter(
      static_cast<double>(points.size()),
      benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_DesignStageCalls51)->Arg(20)->Arg(200)->Unit(benchmark::kMillisecond)->UseRealTime();

// rotorforge-analyse FILE with its defaults, output written.
void BM_DefaultReport(benchmark::State& state) {
  const std::string source = ROTORFORGE_SOURCE_DIR;
  support::WorkDir dir("rotorforge-analyse-bench-");
  fs::create_directories("Data");
  for (const char* f : {"Liftsg6043.dat", "sg6043.dat"}) {
    fs::copy_file(source + "/Data/" + f, fs::path("Data") / f);
  }
  const blade::Blade b =
      blade::from_laws(3, state.range(0), 1.5, 0.15, 0.0, kExampleChord, kExampleTwist);
  blade_file::File f;
  f.blades = 3;
  f.hub_radius = 0.15;
  f.elements = state.range(0);
  f.stations.push_back({0.15, b.hub.chord * 1.5, b.hub.twist, "sg6043", 0});
  for (std::size_t i = 0; i < b.r.size(); ++i) {
    f.stations.push_back({b.r[i] * 1.5, b.chord[i] * 1.5, b.twist[i], "sg6043", 0});
  }
  f.stations.push_back({1.5, b.chord.back() * 1.5, b.twist.back(), "sg6043", 0});
  std::ofstream("blade.toml") << blade_file::text(f, "");
  analyse_run::Options o;
  o.blade_file = "blade.toml";
  for (auto _ : state) {
    std::ostringstream out, err;
    if (analyse_run::run(o, out, err) != 0) state.SkipWithError(err.str().c_str());
  }
}
BENCHMARK(BM_DefaultReport)->Arg(20)->Arg(200)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
