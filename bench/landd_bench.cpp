// Cost of one lift/drag lookup. Loads the shipped SG6043 polar through the program's own path
// (foildata::choice into a scratch working directory, then data_in::file_read) when the Data
// directory is present, and a synthetic polar of the same shape otherwise.
//
//   build-*/landd_bench --benchmark_min_time=0.5

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "aerofoil/aerofoil.h"
#include "aerofoil/data_in.h"
#include "aerofoil/foildata.h"
#include "aerofoil/global.h"
#include "support/workdir.h"

namespace {

namespace fs = std::filesystem;

void load_synthetic() {
  for (int c = 0; c < global::kColumns; ++c) {
    for (int j = 0; j < global::kRows; ++j) {
      const double a = -10.0 + j;
      global::alpha_array[c][j] = static_cast<float>(a);
      global::cl_array[c][j] = 0.11 * a / (1.0 + 0.0015 * a * a) + 0.3 + 0.02 * c;
      global::cd_array[c][j] = 0.008 + 0.0004 * a * a + 0.001 * c;
    }
  }
  for (int i = 0; i < global::kColumns; ++i) {
    global::re_log[i] = static_cast<float>(std::log10(static_cast<double>(global::re_array[i])));
  }
}

// Returns a description of the table loaded.
std::string load_polar() {
  const fs::path data = fs::path(__FILE__).parent_path().parent_path() / "Data";
  if (!fs::exists(data / "Liftsg6043.dat") || !fs::exists(data / "sg6043.dat")) {
    load_synthetic();
    return "synthetic polar";
  }
  try {
    support::WorkDir dir("rotorforge_landd_bench_");
    fs::create_directories("Data");
    fs::copy_file(data / "Liftsg6043.dat", "Data/Liftsg6043.dat");
    fs::copy_file(data / "sg6043.dat", "Data/sg6043.dat");
    foildata::choice(2);
    data_in::file_read();
    return "shipped SG6043 polar";
  } catch (const std::exception& e) {
    std::fprintf(stderr, "loading the shipped polar failed (%s); using a synthetic one\n",
                 e.what());
    load_synthetic();
    return "synthetic polar";
  }
}

// Operating points as the solver meets them: angles of attack mostly between -5 and 20 degrees,
// Reynolds numbers between the second and the sixth column.
struct Points {
  std::vector<double> alpha, re;
  Points() {
    std::mt19937_64 gen(42);
    std::uniform_real_distribution<double> a(-5.0, 20.0);
    std::uniform_real_distribution<double> lr(std::log10(6.0e4), std::log10(1.5e6));
    for (int i = 0; i < 4096; ++i) {
      alpha.push_back(a(gen));
      re.push_back(std::pow(10.0, lr(gen)));
    }
  }
};

const Points& points() {
  static const Points p;
  return p;
}

// Runs `lookup` at one operating point after another (index into points()), cycling through
// them; `lookup` returns what the benchmark must not let the optimiser drop.
template <class Lookup>
void over_points(benchmark::State& state, Lookup lookup) {
  std::size_t i = 0;
  for (auto _ : state) {
    auto out = lookup(i);
    benchmark::DoNotOptimize(out);
    i = (i + 1) & 4095;
  }
  state.SetItemsProcessed(state.iterations());
}

struct LiftDrag {
  double cl;
  double cd;
};

void BM_landd(benchmark::State& state) {
  const Points& p = points();
  over_points(state, [&](std::size_t i) {
    LiftDrag c;
    aerofoil::landd(p.alpha[i], p.re[i], c.cl, c.cd);
    return c;
  });
}
BENCHMARK(BM_landd);

void BM_re_blend(benchmark::State& state) {
  const Points& p = points();
  over_points(state, [&](std::size_t i) { return aerofoil::re_blend(p.re[i]); });
}
BENCHMARK(BM_re_blend);

// One Reynolds number, many angles: the column pair is computed once.
void BM_landd_blend(benchmark::State& state) {
  const Points& p = points();
  const aerofoil::ReBlend b = aerofoil::re_blend(300000.0);
  over_points(state, [&](std::size_t i) {
    LiftDrag c;
    aerofoil::landd_blend(b, p.alpha[i], c.cl, c.cd);
    return c;
  });
}
BENCHMARK(BM_landd_blend);

// Slowly moving angle (as in an iteration that converges), row search from the previous row.
void BM_landd_blend_from(benchmark::State& state) {
  const aerofoil::ReBlend b = aerofoil::re_blend(300000.0);
  int row = 1;
  double alpha = 4.0;
  double step = 0.013;
  for (auto _ : state) {
    double cl, cd;
    aerofoil::landd_blend_from(b, alpha, row, cl, cd);
    benchmark::DoNotOptimize(cl);
    benchmark::DoNotOptimize(cd);
    alpha += step;
    if (alpha > 12.0 || alpha < 2.0) step = -step;
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_landd_blend_from);

}  // namespace

int main(int argc, char** argv) {
  const std::string what = load_polar();
  benchmark::AddCustomContext("table", what);
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
