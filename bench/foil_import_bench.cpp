// Wall time of one whole import with the real XFOIL: NACA 4412 at the seven Reynolds numbers
// over the 46 angles (14 sweeps and the retries they need), with one XFOIL process at a time
// and with two. Each import takes tens of seconds, so every case runs once. The counter
// xfoil_cpu_s is the CPU time of the XFOIL processes.
//
//   build/foil_import_bench
//
// Needs the Debian package xfoil; without it the cases are skipped.

#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <filesystem>
#include <sstream>
#include <string>

#include "foil/import.h"
#include "support/workdir.h"

namespace {

void import_naca4412(benchmark::State& state) {
  if (foil::find_program("xfoil").empty()) {
    state.SkipWithError("xfoil not installed");
    return;
  }
  support::WorkDir dir("rotorforge-foil-bench-");
  // A directory of its own, as for regenerating the shipped data (never the menu's Data/).
  std::filesystem::create_directory("made");
  foil::ImportOptions options;
  options.source = "naca4412";
  options.data_dir = "made";
  options.install = false;
  options.jobs = static_cast<unsigned>(state.range(0));
  auto children_cpu = [] {
    rusage u{};
    getrusage(RUSAGE_CHILDREN, &u);
    return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
           1e-6 * static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec);
  };
  const double cpu_before = children_cpu();
  for (auto _ : state) {
    std::ostringstream out, err;
    foil::import_section(options, out, err);
    benchmark::DoNotOptimize(out.str());
  }
  // XFOIL's own CPU time: what the import costs whatever else the machine is doing; on an idle
  // machine the wall time approaches it divided by the jobs.
  state.counters["xfoil_cpu_s"] = children_cpu() - cpu_before;
}
BENCHMARK(import_naca4412)
    ->Arg(1)
    ->Arg(2)
    ->ArgName("jobs")
    ->Iterations(1)
    ->UseRealTime()
    ->Unit(benchmark::kSecond);

}  // namespace

BENCHMARK_MAIN();
