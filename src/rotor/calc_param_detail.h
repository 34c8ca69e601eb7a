// The twist search of the starting design on its own, for tests and benchmarks; the design
// itself runs it inside design_station.
#pragma once

#include "rotor/calc_param.h"

namespace calc_param {

// Twist candidate m = 1 ... 1000, degrees: -4.955 to 40 in steps of 0.045.
double twist_candidate(int m);

// Best lift-to-drag ratio over the 1000 twist candidates at inflow angle phideg (degrees) and
// Reynolds number re: the angles of attack are phideg - twist_candidate(m). `m` is the first
// candidate with the largest ratio, or 0 when no ratio is above 0 (then ratio is 0 and cl, cd are
// not set). Identical to looking every candidate up with aerofoil::landd in order and keeping a
// ratio only when it beats the best so far.
struct TwistBest {
  int m = 0;
  double ratio = 0.0;
  double cl = 0.0;
  double cd = 0.0;
};
TwistBest twist_search(double phideg, double re);

}  // namespace calc_param
