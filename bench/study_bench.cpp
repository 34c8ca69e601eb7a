// Throughput of a design study: a 24-design study (2 and 3 blades x two tip radii x the three
// shipped aerofoils x two setting angles, 10 elements, the variable-speed sweep) run by
// rotorforge-study's local engine on 1 and on 2 workers, each time into a fresh folder.
//
//   build/study_bench
//
// Reported per case: the wall time of the whole study as the benchmark time, and the counter
// designs_per_minute. Every session is a separate rotorforge process, whose optimiser itself
// uses the machine's cores, so two workers gain less than twice on a two-core machine.

#include <benchmark/benchmark.h>
#include <sys/wait.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <string>

#include "study/study_texts.h"
#include "support/workdir.h"

namespace {

namespace fs = std::filesystem;

constexpr int kDesigns = 24;

const std::string kStudy =
    "[rotor]\n"
    "blades = [2, 3]\n"
    "hub_radius = 0.15\n"
    "tip_radius = [1.2, 1.5]\n"
    "elements = 10\n"
    "setting_angle = [0, 2]\n"
    "aerofoil = [1, 2, 3]\n" +
    std::string(study_test::kSiteAndSweep);

void BM_Study(benchmark::State& state) {
  const auto workers = state.range(0);
  support::ScratchDir source("rotorforge-study-bench-");
  fs::copy(fs::path(ROTORFORGE_SOURCE_DIR) / "Data", source.path() / "Data");
  source.write("Temp/Parameters.in", study_test::kParameters);
  source.write("bench.toml", kStudy);
  int run = 0;
  for (auto _ : state) {
    const std::string out = "out" + std::to_string(run++);
    const std::string cmd = "cd '" + source.path().string() + "' && '" + ROTORFORGE_STUDY_BINARY +
                            "' bench.toml -o " + out + " --jobs " + std::to_string(workers) +
                            " > /dev/null 2>&1";
    const auto start = std::chrono::steady_clock::now();
    const int raw = std::system(cmd.c_str());
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (!WIFEXITED(raw) || WEXITSTATUS(raw) != 0) {
      state.SkipWithError("the study did not finish every design");
      break;
    }
    state.SetIterationTime(seconds);
    state.counters["designs_per_minute"] = kDesigns / seconds * 60.0;
  }
}
BENCHMARK(BM_Study)->Arg(1)->Arg(2)->ArgName("workers")->Iterations(1)->UseManualTime()->Unit(
    benchmark::kSecond);

}  // namespace

BENCHMARK_MAIN();
