// How often the element solver solves an element again, and why:
//   build/calc_census [ordinary|random]
// It prints its figures; its exit status is 1 when any power coefficient is above the Betz limit.
//
// Ordinary designs are the program's own: the starting blade of param, the optimiser rating its
// trials through a counting solver, then the finished blade's variable-speed grid (23 wind speeds
// x 51 tip speed ratios) and a pitch grid (101 setting angles at tip speed ratio 6).
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <random>
#include <span>
#include <sstream>
#include <vector>

#include "blade/laws.h"
#include "driver/design_stage.h"
#include "rotor/calc_mod.h"
#include "rotor/calc_param.h"
#include "rotor/element_census.h"
#include "rotor/optgeo.h"
#include "rotor/optgeo_detail.h"
#include "support/polars.h"
#include "support/workdir.h"
#include "textio/textio.h"
#include "util/files.h"

namespace {

namespace fs = std::filesystem;
using element_census::Tally;

Tally tally;  // the optimiser's solver is a plain function

// Solves one call and adds how its elements ended to the tally.
void counting_solver(const calc_mod::Inputs& in, std::span<double> alpha, double& CP) {
  const std::size_t n = static_cast<std::size_t>(in.nbe);
  std::vector<std::int32_t> its(n);
  std::vector<calc_mod::ElementTrace> trace(n);
  calc_mod::calc_traced(in, alpha, CP, its, trace);
  tally.add(trace, CP);
}

struct Design {
  std::int64_t Numb;
  double rhub, rtip;
  std::int64_t nbe;
  int foil;
  double Umid;
};

// The number of power coefficients above the Betz limit.
int ordinary_designs() {
  int above_betz = 0;
  const fs::path data = fs::path(ROTORFORGE_SOURCE_DIR) / "Data";
  // The rotor of the end-to-end session first, then 2 to 4 blades of two sizes on each aerofoil.
  std::vector<Design> designs{{3, 0.15, 1.5, 2, 1, 5.0}};
  for (std::int64_t B : {2, 3, 4}) {
    for (int foil : {1, 2, 3}) {
      designs.push_back({B, 0.15, 1.5, 10, foil, 5.0});
      designs.push_back({B, 0.4, 3.0, 15, foil, 6.5});
    }
  }
  Tally design_total, sweep_total;
  for (const Design& d : designs) {
    support::DataWorkDir dir("rotorforge_census_", data);
    support::spit(files::kChordLaw, std::string(files::kChordLawSeed));
    std::istringstream in(std::to_string(d.foil) + "\n");
    std::ostringstream out;
    textio::Console con(in, out);
    calc_param::Coeffs a{}, b{};
    driver::starting_design(con, d.Numb, d.rhub, d.rtip, a, b);
    tally = {};
    const blade::Laws laws =
        geometry::optgeo_reference(driver::optimiser_progress(con), d.Numb, d.nbe, d.rtip, d.rhub,
                                   d.Umid, a, b, &counting_solver);
    const Tally design = tally;

    // The finished blade, without setting angle.
    const std::size_t n = static_cast<std::size_t>(d.nbe);
    std::vector<double> r(n), twist(n + 1), chord(n + 1), alpha(n);
    double dr = 0.0;
    blade::law_arrays(laws.chord, laws.twist, d.nbe, d.rtip, d.rhub, r, dr, twist, chord);
    tally = {};
    for (int j = 0; j < 23; ++j) {
      const double U = 3.0 + j * 17.0 / 22.0;
      double CP = 0.0;
      for (int i = 0; i <= 50; ++i) {
        counting_solver({d.Numb, d.nbe, dr, d.rtip, r, twist, chord, U, i * 7.0 / 50.0 + 5.0, 0.0},
                        alpha, CP);
      }
      for (int k = 0; k <= 100; ++k) {
        counting_solver({d.Numb, d.nbe, dr, d.rtip, r, twist, chord, U, 6.0, k * 0.55 - 15.0},
                        alpha, CP);
      }
    }
    const Tally sweeps = tally;
    std::printf("B %lld, hub %.2f m, tip %.1f m, %lld elements, aerofoil %d, Umid %.1f m/s\n",
                static_cast<long long>(d.Numb), d.rhub, d.rtip, static_cast<long long>(d.nbe),
                d.foil, d.Umid);
    design.print("optimiser");
    sweeps.print("sweeps");
    design_total += design;
    sweep_total += sweeps;
    above_betz += static_cast<int>(design.above_betz + sweeps.above_betz);
  }
  std::printf("all designs\n");
  design_total.print("optimiser");
  sweep_total.print("sweeps");
  return above_betz;
}

int random_rotors() {
  int above_betz = 0;
  // The sweep of the solver's Betz test (same seed and cases), then ten times as many.
  for (int cases : {1000, 10000}) {
    std::mt19937_64 rng(2024);
    Tally total;
    for (const char* name : support::kShippedPolars) {
      support::load_shipped_polar(name);
      Tally foil;
      for (int n = 0; n < cases; ++n)
        element_census::run(element_census::random_case(rng, n), foil);
      std::printf("%s, %d random rotors\n", name, cases);
      foil.print("rotors");
      total += foil;
    }
    std::printf("all aerofoils\n");
    total.print("rotors");
    above_betz += static_cast<int>(total.above_betz);
  }
  return above_betz;
}

}  // namespace

int main(int argc, char** argv) {
  const char* which = argc > 1 ? argv[1] : "";
  int above_betz = 0;
  if (std::strcmp(which, "random") != 0) above_betz += ordinary_designs();
  if (std::strcmp(which, "ordinary") != 0) above_betz += random_rotors();
  if (above_betz > 0) std::printf("%d power coefficients above the Betz limit\n", above_betz);
  return above_betz > 0 ? 1 : 0;
}
