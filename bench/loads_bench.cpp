// Cost of rotorforge-loads' whole default report (the 23 points of each of the four energy
// tables, the parked storm, the strength of a solid wood blade, tables, charts and page) for the
// README example's blade cut into 10 and into 200 elements, beside one solver call at one of its
// points: the report should cost little more than one solver call per point.
//
//   build/loads_bench --benchmark_counters_tabular=true

#include <benchmark/benchmark.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "support/example_laws.h"
#include "support/workdir.h"

#define ROTORFORGE_SOURCE_DIR support::find_source_dir()

#include "aerofoil/data_in.h"
#include "blade/blade.h"
#include "blade/laws.h"
#include "blade/rotor_blade.h"
#include "loads/report.h"
#include "loads/run.h"
#include "performance/sweep.h"
#include "textio/textio.h"
#include "util/files.h"

namespace {

namespace fs = std::filesystem;

using support::kExampleChord;
using support::kExampleTwist;

void write_coeffs(const char* path, const blade::Coeffs& c) {
  textio::OutFile f(path);
  f.write({c[0], c[1], c[2], c[3], c[4]});
}

// A session's working directory as rotorforge leaves it after sweeps of all four types: the
// geometry table, the laws, the working polar and outline, the energy tables.
class Session : public support::WorkDir {
 public:
  explicit Session(std::int64_t nbe) : support::WorkDir("rotorforge-loads-bench-") {
    const std::string data = ROTORFORGE_SOURCE_DIR + "/Data/";
    fs::copy_file(data + "Liftsg6043.dat", files::kPolarCopy);
    fs::copy_file(data + "sg6043.dat", files::kOwnOutline);
    write_coeffs(files::kChordLaw, kExampleChord);
    write_coeffs(files::kTwistLaw, kExampleTwist);
    data_in::file_read();
    const sweep::Rotor rotor = blade::from_laws(3, nbe, 1.5, 0.15, 0.0, kExampleChord, kExampleTwist);
    {
      std::istringstream in;
      std::ostringstream out;
      textio::Console con(in, out);
      textio::OutFile g(files::kGeometryTable);
      blade::write_geometry_table(con, g, rotor);
      g.write();
      g.write_fmt(files::kFigureLineFormat, {"Volume of blade", 0.0005, "cubic meters"});
    }
    // The sweeps' plot files, which rotorforge creates at start-up.
    for (const char* f : {files::kPlotWinds, files::kPlotPowers, files::kPlotLimit}) {
      textio::OutFile(f).close();
    }
    const sweep::Site site{3.0, 20.0, 5.0, 10.0, 0.0};
    textio::OutFile e1(files::kEnergyTables[0]), e2(files::kEnergyTables[1]),
        e3(files::kEnergyTables[2]), e4(files::kEnergyTables[3]);
    sweep::sweep_variable_speed(rotor, site, e1);
    sweep::sweep_two_speed(rotor, site, 200.0, e2);
    sweep::sweep_constant_speed(rotor, site, 300.0, e3);
    sweep::sweep_pitch(rotor, site, 300.0, 1500.0, e4);
  }
};

// The report of the README example's blade in `state.range(0)` elements on every iteration,
// and `after` done with it; counts the points and the time per point.
template <class After>
void report_bench(benchmark::State& state, After after) {
  Session session(state.range(0));
  loads::Settings s;
  s.blades = 3;
  // The table above has no mass line: the blade is the example's, solid wood.
  s.wall = 0.0;
  s.material = 0;
  std::size_t points = 0;
  for (auto _ : state) {
    const loads::Report r = loads::evaluate(session.path(), s);
    after(r, session.path());
    points = r.cases.size();
  }
  state.counters["points"] = static_cast<double>(points);
  state.counters["per point"] = benchmark::Counter(
      static_cast<double>(points),
      benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

void BM_DefaultReport(benchmark::State& state) {
  report_bench(state, [](const loads::Report& r, const fs::path& dir) {
    std::ostringstream out;
    loads::write_outputs(r, dir, out);
  });
}
BENCHMARK(BM_DefaultReport)->Arg(10)->Arg(200)->Unit(benchmark::kMillisecond);

// The same without writing: the points matched and solved, the parked storm, the strength.
void BM_Evaluate(benchmark::State& state) {
  report_bench(state, [](const loads::Report&, const fs::path&) {});
}
BENCHMARK(BM_Evaluate)->Arg(10)->Arg(200)->Unit(benchmark::kMillisecond);

// One solver call at 9 m/s, tip speed ratio 7, element by element.
void BM_SolverCall(benchmark::State& state) {
  Session session(state.range(0));
  loads::Design d = loads::read_design(session.path());
  d.rotor.Numb = 3;
  for (auto _ : state) {
    benchmark::DoNotOptimize(loads::operating_point(d.rotor, 1.225, 9.0, 7.0, 0.0));
  }
}
BENCHMARK(BM_SolverCall)->Arg(10)->Arg(200)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
