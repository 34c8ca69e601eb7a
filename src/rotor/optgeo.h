// Optimisation of the chord and twist laws for the site's design wind speed.
#pragma once

#include <array>
#include <cstdint>
#include <span>

namespace textio {
class Console;
}

namespace geometry {

using Coeffs = std::array<double, 5>;

// Finds the design wind speed for the site's mean Umid, then searches the ten law coefficients
// one at a time. Leaves the best laws in Temp/Parameters.in and Temp/Parameterst.in (and the
// last trials in Temp/Parameters1.in, Temp/Parameterst1.in); writes its progress lines to con.
void optgeo(textio::Console& con, std::int64_t Numb, std::int64_t nbe, double rtip, double rhub,
            double Umid, const Coeffs& a, const Coeffs& b);

// How much work one optimisation did: trial blades met by the searches, and how many of them
// had to be rated by the solver (the others were bit-identical to a blade already rated).
struct OptgeoStats {
  std::int64_t trials = 0;
  std::int64_t rated = 0;
};

// optgeo, also reporting its statistics.
void optgeo(textio::Console& con, std::int64_t Numb, std::int64_t nbe, double rtip, double rhub,
            double Umid, const Coeffs& a, const Coeffs& b, OptgeoStats& stats);

// The same optimisation done the straightforward way: one thread, every trial written to its
// file and its blade built by blade1::chortwist1 from the files, every trial rated, every
// improvement written at once. Same console lines and same files as optgeo; kept as the
// reference that the fast path is tested and measured against.
void optgeo_reference(textio::Console& con, std::int64_t Numb, std::int64_t nbe, double rtip,
                      double rhub, double Umid, const Coeffs& a, const Coeffs& b);

// A solver with the arguments of calc_mod::calc, for a reference run on another implementation of
// it (a benchmark's plain solver).
using Solver = void (*)(std::int64_t Numb, std::int64_t nbe, double dr, double rhub, double rtip,
                        std::span<const double> r, std::span<const double> twist,
                        std::span<const double> chord, std::span<double> alpha, double U,
                        double lambda, double& CP, double theta);
void optgeo_reference(textio::Console& con, std::int64_t Numb, std::int64_t nbe, double rtip,
                      double rhub, double Umid, const Coeffs& a, const Coeffs& b, Solver solver);

// ---------------------------------------------------------------------------------------------
// Kernels of the optimisation.

// The wind speed of the grid 2, 2.24, ..., 26 m/s that carries the most energy at a site of
// Rayleigh-distributed wind with mean Umid, and that energy density E = U^3 * pdf(U). The first
// of equal maxima wins. When no grid point gives a positive E (Umid = 0 makes every E a NaN)
// the first grid point is taken, with E = 0.
struct DesignWind {
  double U;
  double E;
};
DesignWind design_wind_speed(double Umid);

// Objective of a trial blade: the area under its CP curve over tip speed ratios 5 ... 13 at
// wind speed U, summed over 51 ratios. alpha (nbe entries) is scratch for the solver.
double objective(std::int64_t Numb, std::int64_t nbe, double dr, double rhub, double rtip,
                 std::span<const double> r, std::span<const double> twist,
                 std::span<const double> chord, std::span<double> alpha, double U);
// Tip speed ratio j = 0 ... 50 of the objective, and the running sum it uses.
double objective_lambda(int j);
double objective_add(double J, double CP);

// A search range [lo, hi] of one coefficient's trial values; hi < lo for a negative coefficient.
struct Range {
  double lo;
  double hi;
};
// Trial value m = 0 ... 10 of a pass: eleven equally spaced values from lo to hi.
double trial_value(const Range& range, int m);
// The range of the next pass around the coefficient's best value, width 2/19 of the old one,
// each end clamped to f_lo * v_in and f_hi * v_in (v_in the coefficient as received).
Range narrow(const Range& range, double best, double v_in, double f_lo, double f_hi);

}  // namespace geometry
