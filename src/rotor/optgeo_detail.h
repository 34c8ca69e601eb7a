// The optimiser's statistics, its straightforward reference and the objective of one blade on
// its own: what tests and benchmarks compare the optimiser against.
#pragma once

#include <cstdint>
#include <span>

#include "rotor/calc_mod.h"
#include "rotor/optgeo.h"

namespace geometry {

// How much work one optimisation did: trial blades met by the searches, and how many of them
// had to be rated by the solver (the others were bit-identical to a blade already rated).
// Trials refused (a chord law below blade::kChordFloor somewhere from hub to tip) are not rated;
// held tells whether the received chord law had to be raised to the floor before the search.
struct OptgeoStats {
  std::int64_t trials = 0;
  std::int64_t rated = 0;
  std::int64_t refused = 0;
  bool held = false;
};

// optgeo, also reporting its statistics.
blade::Laws optgeo(const Progress& progress, std::int64_t Numb, std::int64_t nbe, double rtip,
                   double rhub, double Umid, const Coeffs& a, const Coeffs& b, OptgeoStats& stats);

// The same optimisation done the straightforward way: one thread, every trial blade built from
// the last trial record of each law and rated, every improvement kept at once. Same progress,
// laws and files as optgeo; kept as the reference that the fast path is tested and measured
// against.
blade::Laws optgeo_reference(const Progress& progress, std::int64_t Numb, std::int64_t nbe,
                             double rtip, double rhub, double Umid, const Coeffs& a,
                             const Coeffs& b);

// A solver with the arguments of calc_mod::calc, for a reference run on another implementation of
// it (a benchmark's plain solver).
using Solver = void (*)(const calc_mod::Inputs& in, std::span<double> alpha, double& CP);
blade::Laws optgeo_reference(const Progress& progress, std::int64_t Numb, std::int64_t nbe,
                             double rtip, double rhub, double Umid, const Coeffs& a,
                             const Coeffs& b, Solver solver);

// Makes the optimisations that follow (optgeo and optgeo_reference) stop after n sweeps, 1 ... 3;
// any other n restores the full 3. For benchmarks of long blades, whose full runs take minutes.
void set_sweeps(int n);

}  // namespace geometry
