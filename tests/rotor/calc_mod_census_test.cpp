// How often the element solver's mend is needed: a census over ordinary designs, run on request
// (--gtest_also_run_disabled_tests --gtest_filter='*Census*'); it prints its figures and checks
// only that the designs stay physical.
//
// Each design is the program's own: the starting blade of param, the optimiser (rating its
// trials through a counting solver), then the finished blade's variable-speed grid (23 wind
// speeds x 51 tip speed ratios) and the pitch-controlled coarse grid (101 setting angles).
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <span>
#include <sstream>
#include <vector>

#include "rotor/blade1.h"
#include "rotor/calc_mod.h"
#include "rotor/calc_param.h"
#include "rotor/optgeo.h"
#include "support/workdir.h"
#include "textio/textio.h"

namespace {

namespace fs = std::filesystem;

struct Tally {
  std::int64_t calls = 0, elements = 0, resolved = 0, unloaded = 0, above_betz = 0;
  std::int64_t calls_mended = 0, at_limit = 0;
};
Tally tally;

void count(std::int64_t Numb, std::int64_t nbe, double dr, double rtip, std::span<const double> r,
           std::span<const double> twist, std::span<const double> chord, std::span<double> alpha,
           double U, double lambda, double& CP, double theta) {
  std::vector<std::int32_t> its(static_cast<std::size_t>(nbe));
  std::vector<calc_mod::ElementEnd> ends(static_cast<std::size_t>(nbe));
  calc_mod::calc_traced(Numb, nbe, dr, rtip, r, twist, chord, alpha, U, lambda, CP, theta, its,
                        ends);
  ++tally.calls;
  bool mended = false;
  for (std::size_t i = 0; i < ends.size(); ++i) {
    const calc_mod::ElementEnd e = ends[i];
    if (its[i] == calc_mod::kMaxIterations && e == calc_mod::ElementEnd::kIterated)
      ++tally.at_limit;
    ++tally.elements;
    if (e == calc_mod::ElementEnd::kResolved) ++tally.resolved;
    if (e == calc_mod::ElementEnd::kUnloaded) ++tally.unloaded;
    mended = mended || e != calc_mod::ElementEnd::kIterated;
  }
  if (mended) ++tally.calls_mended;
  if (!(CP <= 16.0 / 27.0)) ++tally.above_betz;
}

void counting_solver(std::int64_t Numb, std::int64_t nbe, double dr, double /*rhub*/, double rtip,
                     std::span<const double> r, std::span<const double> twist,
                     std::span<const double> chord, std::span<double> alpha, double U,
                     double lambda, double& CP, double theta) {
  count(Numb, nbe, dr, rtip, r, twist, chord, alpha, U, lambda, CP, theta);
}

struct Design {
  std::int64_t Numb;
  double rhub, rtip;
  std::int64_t nbe;
  int foil;
  double Umid;
};

void print(const char* what, const Tally& t) {
  std::printf(
      "  %-10s calls %9lld (mended %7lld)  elements %10lld  re-solved %8lld  unloaded %6lld"
      "  CP>16/27 %lld  200-iteration %lld\n",
      what, static_cast<long long>(t.calls), static_cast<long long>(t.calls_mended),
      static_cast<long long>(t.elements), static_cast<long long>(t.resolved),
      static_cast<long long>(t.unloaded), static_cast<long long>(t.above_betz),
      static_cast<long long>(t.at_limit));
}

TEST(DISABLED_CalcCensus, OrdinaryDesigns) {
  const fs::path data = fs::path(ROTORFORGE_SOURCE_DIR) / "Data";
  std::vector<Design> designs;
  for (std::int64_t B : {2, 3, 4}) {
    for (int foil : {1, 2, 3}) {
      designs.push_back({B, 0.15, 1.5, 10, foil, 5.0});
      designs.push_back({B, 0.4, 3.0, 15, foil, 6.5});
    }
  }
  Tally design_total, sweep_total;
  for (const Design& d : designs) {
    support::DataWorkDir dir("rotorforge_census_", data);
    fs::create_directories("Temp");
    support::spit("Temp/Parameters.in", " 0.1 0. 0. 0. 0.\r\n");
    std::istringstream in(std::to_string(d.foil) + "\n");
    std::ostringstream out;
    textio::Console con(in, out);
    calc_param::Coeffs a{}, b{};
    calc_param::param(con, d.Numb, d.rhub, d.rtip, a, b);
    tally = {};
    geometry::optgeo_reference(con, d.Numb, d.nbe, d.rtip, d.rhub, d.Umid, a, b, &counting_solver);
    const Tally design = tally;

    // The finished blade, read back through the trial laws.
    fs::copy_file("Temp/Parameters.in", "Temp/Parameters1.in",
                  fs::copy_options::overwrite_existing);
    fs::copy_file("Temp/Parameterst.in", "Temp/Parameterst1.in",
                  fs::copy_options::overwrite_existing);
    const std::size_t n = static_cast<std::size_t>(d.nbe);
    std::vector<double> r(n), twist(n + 1), chord(n + 1), alpha(n);
    double dr = 0.0;
    blade1::chortwist1(d.nbe, d.rtip, d.rhub, r, dr, twist, chord, d.Numb);
    tally = {};
    for (int j = 0; j < 23; ++j) {
      const double U = 3.0 + j * 17.0 / 22.0;
      for (int i = 0; i <= 50; ++i) {
        double CP = 0.0;
        count(d.Numb, d.nbe, dr, d.rtip, r, twist, chord, alpha, U, i * 7.0 / 50.0 + 5.0, CP, 0.0);
      }
      const double lambda = 6.0;
      for (int k = 0; k <= 100; ++k) {
        double CP = 0.0;
        count(d.Numb, d.nbe, dr, d.rtip, r, twist, chord, alpha, U, lambda, CP,
              k * 55.0 / 100.0 - 15.0);
      }
    }
    const Tally sweeps = tally;
    std::printf("B %lld hub %.2f tip %.1f nbe %lld foil %d Umid %.1f\n",
                static_cast<long long>(d.Numb), d.rhub, d.rtip, static_cast<long long>(d.nbe),
                d.foil, d.Umid);
    print("optimiser", design);
    print("sweeps", sweeps);
    for (Tally* t : {&design_total, &sweep_total}) {
      const Tally& s = t == &design_total ? design : sweeps;
      t->calls += s.calls;
      t->calls_mended += s.calls_mended;
      t->elements += s.elements;
      t->resolved += s.resolved;
      t->unloaded += s.unloaded;
      t->above_betz += s.above_betz;
      t->at_limit += s.at_limit;
    }
    EXPECT_EQ(design.above_betz + sweeps.above_betz, 0);
  }
  std::printf("all designs\n");
  print("optimiser", design_total);
  print("sweeps", sweep_total);
}

}  // namespace
