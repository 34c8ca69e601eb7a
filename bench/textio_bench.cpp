// Text records: the costs that the optimiser and the polar loading pay thousands of times.
#include <benchmark/benchmark.h>

#include <string>

#include "blade/laws.h"
#include "support/workdir.h"
#include "textio/textio.h"

namespace {

void BM_FreeRecordFiveDoubles(benchmark::State& state) {
  const textio::Out v[] = {0.30225196232520213, 0.43127281195491384, 0.25463702548416116,
                           0.064869434932131862, 0.0054791893458381133};
  std::string out;
  for (auto _ : state) {
    out.clear();
    textio::append_free(out, v);
    benchmark::DoNotOptimize(out.data());
  }
}
BENCHMARK(BM_FreeRecordFiveDoubles);

void BM_ParseReal(benchmark::State& state) {
  double v = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(textio::parse_real("0.43127281195491384", v));
    benchmark::DoNotOptimize(v);
  }
}
BENCHMARK(BM_ParseReal);

// One trial of the optimiser: a coefficient file written, closed, read back, closed.
void BM_CoefficientFileCycle(benchmark::State& state) {
  support::WorkDir scratch("textio_bench_");
  const blade::Coeffs a = {0.30225196232520213, 0.43127281195491384, 0.25463702548416116,
                           0.064869434932131862, 0.0054791893458381133};
  for (auto _ : state) {
    {
      textio::OutFile f("Temp/Parameters1.in");
      f.write({a[0], a[1], a[2], a[3], a[4]});
      f.close();
    }
    const blade::Coeffs back = blade::read_coeffs("Temp/Parameters1.in");
    benchmark::DoNotOptimize(back);
  }
}
BENCHMARK(BM_CoefficientFileCycle);

// A polar file of 322 records of three reals, read one record at a time.
void BM_PolarFile322(benchmark::State& state) {
  support::WorkDir scratch("textio_bench_");
  {
    textio::OutFile f("Temp/Lift_Drag.dat");
    for (int k = 0; k < 322; ++k) {
      f.write({-10.0 + 0.5 * (k % 46), 0.0123456789 * k, 0.0081234567 + 1e-5 * k});
    }
    f.close();
  }
  for (auto _ : state) {
    textio::InFile f("Temp/Lift_Drag.dat");
    double angle = 0, cl = 0, cd = 0;
    for (int k = 0; k < 322; ++k) f.read({angle, cl, cd});
    f.close();
    benchmark::DoNotOptimize(cd);
  }
}
BENCHMARK(BM_PolarFile322);

}  // namespace

BENCHMARK_MAIN();
