// The design stage (starting design, law optimisation, geometry table) for every aerofoil and
// nbe = 10, 20, 60, 200, 1200, done twice in each benchmark: the straightforward way and the fast
// way.
//  * straightforward: the starting design station by station with every twist candidate looked
//    up in full (rotor_reference::design_station), and optgeo_reference on one thread: every
//    trial written to its file and read back by each law evaluation, every trial rated by the
//    plainly written solver (rotor_reference::calc; calc_mod::calc for the calls in which an
//    element's iteration does not end in a windmill state);
//  * fast: driver::starting_design, and optgeo rating the trials of a pass on the workers of the
//    program's pool from laws held in memory, on the lane engine (calc_lanes, the engine chosen
//    for this processor: several solver calls advanced at once per worker), looking repeated
//    blades up.
// Both must leave the same starting laws, the same optimiser console lines, the same four
// coefficient files and the same geometry table; the benchmark stops with an error otherwise.
// At 1200 elements both ways stop the optimisation after its first sweep (geometry::set_sweeps):
// a full run of the straightforward way takes minutes there.
//
// Run from the repository root (or anywhere below it): the aerofoil files are taken from the
// first Data/ directory found from the working directory or the executable upwards.
//
//   build/design_bench [--engine=scalar|sse2|avx2|avx512] [--fast-only]
//   [--benchmark_filter=nbe:20/]
//
// Reported per case: the fast stage's wall time as the benchmark time, and as counters the wall
// times of both ways split into param (starting design) and optgeo (optimisation), the processor
// time of each way (all threads; on a machine shared with other work the wall times of the
// parallel way suffer first), the wall ratio (speedup) and the processor-time ratio (cpu_ratio)
// of the whole stage, the speedup of optgeo alone, the lane occupancy of the fast way (the share
// of lane steps that advanced a solver call), the calls set aside for an element's bracketed
// re-solve, the trial blades the searches met (1650 for a run without an early stop) and how
// many of them the fast way had to rate, and the load average when the case ended. A table of
// all cases follows the benchmark's own report. The label and the context name the lane engine.

#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>
#include <stdexcept>
#include <string>
#include <system_error>
#include <vector>

#include "aerofoil/data_in.h"
#include "aerofoil/foildata.h"
#include "blade/blade.h"
#include "blade/laws.h"
#include "blade/rotor_blade.h"
#include "driver/design_stage.h"
#include "rotor/calc_lanes.h"
#include "rotor/calc_mod.h"
#include "rotor/calc_param.h"
#include "rotor/optgeo.h"
#include "rotor/optgeo_detail.h"
#include "rotor/rotor_reference.h"
#include "support/workdir.h"
#include "textio/textio.h"
#include "util/parallel.h"
#include "util/parallel_detail.h"

namespace {

namespace fs = std::filesystem;

// The rotor of the documented example: three blades, hub 0.15 m, tip 1.5 m, no setting angle,
// a site of mean wind 5 m/s.
constexpr std::int64_t kNumb = 3;
constexpr double kRhub = 0.15;
constexpr double kRtip = 1.5;
constexpr double kPitch = 0.0;
constexpr double kUmid = 5.0;

// The shipped aerofoil files: the first Data/ found from the working directory or the
// executable upwards.
fs::path find_data_dir() {
  return fs::path(support::find_source_dir()) / "Data";
}

using support::slurp;

// A private working directory with Data/, Temp/ and Result/.
class WorkDir : public support::DataWorkDir {
 public:
  explicit WorkDir(const fs::path& data) : support::DataWorkDir("rotorforge_bench_", data) {}
};

struct Stage {
  double cpu_s = 0.0;          // processor time of all threads over the whole stage
  calc_lanes::Activity lanes;  // what the lane engine did in the optimisation
  double param_cpu_s = 0.0;
  double optgeo_cpu_s = 0.0;
  double param_s = 0.0;
  double optgeo_s = 0.0;
  double table_s = 0.0;
  std::string console, files;
  geometry::Coeffs a{}, b{};  // starting laws
  geometry::OptgeoStats stats;
  double total() const { return param_s + optgeo_s + table_s; }
};

double process_cpu_seconds() {
  rusage u{};
  getrusage(RUSAGE_SELF, &u);
  return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
         1e-6 * static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec);
}

double seconds_since(std::chrono::steady_clock::time_point t0) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
}

// The starting design without shortcuts: the steps of calc_param::design,
// each station designed by the straightforward reference.
void plain_param(int aerofoil, std::int64_t Numb, double rhub, double rtip, geometry::Coeffs& a,
                 geometry::Coeffs& b) {
  using calc_param::kStations;
  foildata::choice(aerofoil);
  std::array<double, kStations> x{}, chord{}, twist{};
  double dx = 0.0;
  calc_param::stations(rhub, rtip, x, dx);
  data_in::file_read();
  const double lambda_d = calc_param::design_tip_speed_ratio(Numb);
  rotor_reference::DesignState state;
  for (int i = 0; i < kStations; ++i) {
    rotor_reference::design_station(Numb, rtip, lambda_d, x[i], i > 0 ? &twist[i - 1] : nullptr,
                                    state, chord[i], twist[i]);
  }
  calc_param::fit(x, dx, chord, a);
  calc_param::fit(x, dx, twist, b);
}

// The element solver written out plainly, every lookup through aerofoil::landd; a call in which
// an element's iteration does not end in a windmill state is handed to calc_mod::calc, which
// solves such elements again.
void plain_calc(const calc_mod::Inputs& in, std::span<double> alpha, double& CP) {
  static std::vector<rotor_reference::ElementState> ends;  // the reference runs on one thread
  ends.resize(static_cast<std::size_t>(std::max<std::int64_t>(in.nbe, 0)));
  rotor_reference::calc(in, alpha, CP, nullptr, ends.data());
  for (const auto& e : ends) {
    if (calc_mod::element_needs_resolve(e.a, e.ap, e.phi, e.converged)) {
      calc_mod::calc(in, alpha, CP);
      return;
    }
  }
}

// One design stage in a fresh working directory. `console` collects what the optimiser and the
// table write (the aerofoil menu and the progress bar of param are left out).
Stage design_stage(const fs::path& data, int aerofoil, std::int64_t nbe, bool fast) {
  WorkDir dir(data);
  Stage st;
  std::ostringstream console;
  {
    std::istringstream answers(std::to_string(aerofoil) + "\n");
    std::ostringstream menu;
    textio::Console param_con(answers, menu);
    textio::Console con(answers, console);
    parallel::set_threads(fast ? 0 : 1);

    const double cpu0 = process_cpu_seconds();
    auto t0 = std::chrono::steady_clock::now();
    if (fast) {
      driver::starting_design(param_con, kNumb, kRhub, kRtip, st.a, st.b);
    } else {
      plain_param(aerofoil, kNumb, kRhub, kRtip, st.a, st.b);
    }
    st.param_s = seconds_since(t0);
    st.param_cpu_s = process_cpu_seconds() - cpu0;

    t0 = std::chrono::steady_clock::now();
    const calc_lanes::Activity lanes0 = calc_lanes::activity();
    const blade::Laws laws =
        fast ? geometry::optgeo(driver::optimiser_progress(con), kNumb, nbe, kRtip, kRhub, kUmid,
                                st.a, st.b, st.stats)
             : geometry::optgeo_reference(driver::optimiser_progress(con), kNumb, nbe, kRtip, kRhub,
                                          kUmid, st.a, st.b, &plain_calc);
    st.optgeo_s = seconds_since(t0);
    st.optgeo_cpu_s = process_cpu_seconds() - cpu0 - st.param_cpu_s;
    const calc_lanes::Activity lanes1 = calc_lanes::activity();
    st.lanes = {lanes1.steps - lanes0.steps, lanes1.slots - lanes0.slots,
                lanes1.lane_steps - lanes0.lane_steps, lanes1.set_aside - lanes0.set_aside,
                lanes1.resolved - lanes0.resolved};

    t0 = std::chrono::steady_clock::now();
    textio::OutFile geometry_out("Result/Geometry.out");
    blade::write_geometry_table(
        con, geometry_out,
        blade::from_laws(kNumb, nbe, kRtip, kRhub, kPitch, laws.chord, laws.twist));
    geometry_out.close();
    st.table_s = seconds_since(t0);
    st.cpu_s = process_cpu_seconds() - cpu0;
    parallel::set_threads(0);
    con.flush();
  }
  st.console = console.str();
  for (const char* f : {"Temp/Parameters1.in", "Temp/Parameterst1.in", "Temp/Parameters.in",
                        "Temp/Parameterst.in", "Result/Geometry.out"}) {
    st.files += std::string(f) + ":\n" + slurp(f);
  }
  return st;
}

// One line of the closing table.
struct Row {
  int aerofoil;
  std::int64_t nbe;
  int sweeps;
  double plain_s, fast_s, plain_cpu_s, fast_cpu_s, occupancy, load1;
};
std::vector<Row> g_rows;

// --fast-only: the fast way alone, unchecked (for profiling it).
bool g_fast_only = false;

// Blades this long are optimised for one sweep only, in both ways.
constexpr std::int64_t kShortRunFrom = 1000;

void BM_DesignStage(benchmark::State& state) {
  const int aerofoil = static_cast<int>(state.range(0));
  const std::int64_t nbe = state.range(1);
  const int sweeps = nbe >= kShortRunFrom ? 1 : 3;
  const fs::path data = find_data_dir();
  geometry::set_sweeps(sweeps);
  for (auto _ : state) {
    if (g_fast_only) {
      const Stage fast = design_stage(data, aerofoil, nbe, true);
      state.SetIterationTime(fast.total());
      state.counters["fast_cpu_s"] = fast.cpu_s;
      state.counters["lane_steps"] = static_cast<double>(fast.lanes.lane_steps);
      continue;
    }
    const Stage plain = design_stage(data, aerofoil, nbe, false);
    const Stage fast = design_stage(data, aerofoil, nbe, true);
    if (plain.a != fast.a || plain.b != fast.b || plain.console != fast.console ||
        plain.files != fast.files) {
      state.SkipWithError("the fast design stage differs from the straightforward one");
      return;
    }
    state.SetIterationTime(fast.total());
    state.counters["plain_s"] = plain.total();
    state.counters["plain_param_s"] = plain.param_s;
    state.counters["plain_optgeo_s"] = plain.optgeo_s;
    state.counters["fast_s"] = fast.total();
    state.counters["fast_param_s"] = fast.param_s;
    state.counters["fast_optgeo_s"] = fast.optgeo_s;
    state.counters["plain_cpu_s"] = plain.cpu_s;
    state.counters["fast_cpu_s"] = fast.cpu_s;
    state.counters["plain_param_cpu_s"] = plain.param_cpu_s;
    state.counters["plain_optgeo_cpu_s"] = plain.optgeo_cpu_s;
    state.counters["fast_param_cpu_s"] = fast.param_cpu_s;
    state.counters["fast_optgeo_cpu_s"] = fast.optgeo_cpu_s;
    state.counters["cpu_ratio"] = plain.cpu_s / fast.cpu_s;
    state.counters["speedup"] = plain.total() / fast.total();
    state.counters["optgeo_speedup"] = plain.optgeo_s / fast.optgeo_s;
    const double occupancy = fast.lanes.slots == 0 ? 0.0
                                                   : static_cast<double>(fast.lanes.lane_steps) /
                                                         static_cast<double>(fast.lanes.slots);
    state.counters["occupancy"] = occupancy;
    state.counters["set_aside"] = static_cast<double>(fast.lanes.set_aside);
    state.counters["sweeps"] = sweeps;
    state.counters["trials"] = static_cast<double>(fast.stats.trials);
    state.counters["rated"] = static_cast<double>(fast.stats.rated);
    state.SetLabel(std::string("engine ") + calc_lanes::name(calc_lanes::chosen()));
    // The machine's load over the last minute when the case ended: wall times (and the parallel
    // way's most) stretch when other work shares the cores; the processor times less so.
    double load[1] = {0.0};
    if (getloadavg(load, 1) == 1) state.counters["load1"] = load[0];
    g_rows.push_back({aerofoil, nbe, sweeps, plain.total(), fast.total(), plain.cpu_s, fast.cpu_s,
                      occupancy, load[0]});
    // The optimised laws, for the record.
    std::fprintf(stderr, "aerofoil %d nbe %lld\noptimiser console:\n%s%s\n", aerofoil,
                 static_cast<long long>(nbe), fast.console.c_str(), fast.files.c_str());
  }
}

BENCHMARK(BM_DesignStage)
    ->ArgNames({"aerofoil", "nbe"})
    ->ArgsProduct({{1, 2, 3}, {10, 20, 60, 200, 1200}})
    ->Iterations(1)
    ->UseManualTime()
    ->Unit(benchmark::kSecond);

// --engine=scalar|sse2|avx2|avx512 runs the fast way on that lane engine instead of the one chosen
// for the processor (for comparing the engines; scalar is the plain solver on every thread).
bool take_engine_flag(int& argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg.rfind("--engine=", 0) != 0) continue;
    const std::string want = arg.substr(9);
    calc_lanes::Engine e;
    if (want == "scalar") {
      e = calc_lanes::Engine::Scalar;
    } else if (want == "sse2") {
      e = calc_lanes::Engine::Sse2;
    } else if (want == "avx2") {
      e = calc_lanes::Engine::Avx2;
    } else if (want == "avx512") {
      e = calc_lanes::Engine::Avx512;
    } else {
      std::fprintf(stderr, "design_bench: unknown engine '%s' (scalar, sse2, avx2, avx512)\n",
                   want.c_str());
      return false;
    }
    if (!calc_lanes::available(e)) {
      std::fprintf(stderr, "design_bench: this processor cannot run the %s engine\n", want.c_str());
      return false;
    }
    calc_lanes::choose(e);
    for (int j = i; j + 1 < argc; ++j) argv[j] = argv[j + 1];
    --argc;
    --i;
  }
  return true;
}

// Every case run, one line each: the straightforward and the fast stage's wall times, their
// ratio, the ratio of their processor times (all threads) and the fast way's lane occupancy.
void print_table() {
  if (g_rows.empty()) return;
  static const char* const kNames[] = {"?", "NACA4412", "SG6043", "NACA4432"};
  std::printf("\n%-9s %8s %6s %12s %10s %10s %9s %10s %6s\n", "aerofoil", "elements", "sweeps",
              "straight. s", "fast s", "wall ratio", "cpu ratio", "occupancy", "load1");
  for (const Row& r : g_rows) {
    std::printf("%-9s %8" PRId64 " %6d %12.3f %10.3f %10.2f %9.2f %10.3f %6.1f\n",
                kNames[r.aerofoil >= 1 && r.aerofoil <= 3 ? r.aerofoil : 0], r.nbe, r.sweeps,
                r.plain_s, r.fast_s, r.plain_s / r.fast_s, r.plain_cpu_s / r.fast_cpu_s,
                r.occupancy, r.load1);
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (!take_engine_flag(argc, argv)) return 1;
  for (int i = 1; i < argc; ++i) {
    if (std::string(argv[i]) != "--fast-only") continue;
    g_fast_only = true;
    for (int j = i; j + 1 < argc; ++j) argv[j] = argv[j + 1];
    --argc;
    --i;
  }
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::AddCustomContext("lane engine", calc_lanes::name(calc_lanes::chosen()));
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  print_table();
  return 0;
}
