// Optimisation of the chord and twist laws for the site's design wind speed.
#pragma once

#include <cstdint>
#include <functional>

#include "blade/laws.h"
#include "util/shared.h"

namespace geometry {

using shared::Coeffs;

// The design wind speed U (m/s) and the energy density E there (design_wind_speed).
struct DesignWind {
  double U;
  double E;
};

// What the optimiser reports as it runs, for the caller to show: the design wind speed at the
// start, then the best objective of each search that does not stop the optimisation (the
// driver writes a console line for each as it comes).
struct Progress {
  std::function<void(const DesignWind& wind)> design_wind;
  std::function<void(double best_J)> search_done;
};

// Finds the design wind speed for the site's mean Umid, then searches the ten law coefficients
// one at a time, reporting its progress to `progress`. Returns the best laws and, once it has
// ended, leaves them in Temp/Parameters.in and Temp/Parameterst.in (and the last trials in
// Temp/Parameters1.in, Temp/Parameterst1.in).
// Every blade it rates or leaves has material from hub to tip: a received chord law that falls
// below blade::kChordFloor somewhere is first raised to it (blade::hold_chord_law), and a trial
// whose chord law does so is refused, rated below any blade.
blade::Laws optgeo(const Progress& progress, std::int64_t Numb, std::int64_t nbe, double rtip,
                   double rhub, double Umid, const Coeffs& a, const Coeffs& b);

// ---------------------------------------------------------------------------------------------
// Kernels of the optimisation.

// The wind speed of the grid 2, 2.24, ..., 26 m/s that carries the most energy at a site of
// Rayleigh-distributed wind with mean Umid, and that energy density E = U^3 * pdf(U). The first
// of equal maxima wins. When no grid point gives a positive E (Umid = 0 makes every E a NaN)
// the first grid point is taken, with E = 0.
DesignWind design_wind_speed(double Umid);

// The objective of a trial blade is the area under its CP curve over tip speed ratios 5 ... 13
// at the design wind speed, summed over 51 ratios: ratio j = 0 ... 50, and the running sum.
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
