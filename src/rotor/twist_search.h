// The twist search of the starting design: at one inflow angle and Reynolds number, the twist
// candidate whose angle of attack gives the best lift-to-drag ratio on the loaded polar. It
// prunes the 1000 candidates by rounding bounds and gives exactly what looking every one up with
// aerofoil::landd in order gives.
#pragma once

#include <array>

#include "aerofoil/global.h"

namespace twist_search {

inline constexpr int kCandidates = 1000;

// Twist candidate m = 1 ... 1000, degrees: -4.955 to 40 in steps of 0.045.
double candidate(int m);

// The best lift-to-drag ratio over the candidates at inflow angle phideg (degrees) and Reynolds
// number re: the angles of attack are phideg - candidate(m). `m` is the first candidate with the
// largest ratio, or 0 when no ratio is above 0 (then ratio is 0 and cl, cd are not set). A
// candidate's ratio is kept only when it beats the best so far, as in the lookup in order.
struct Best {
  int m = 0;
  double ratio = 0.0;
  double cl = 0.0;
  double cd = 0.0;
};

// What the search needs to know about the loaded tables, found once for the searches of a
// station: whether no column's angles decrease; for each upper column k = 1 ... 6 of a pair,
// whether both columns have the same angles, and the largest magnitudes of lift and drag in the
// pair (for the rounding bounds).
struct Tables {
  bool monotone = false;
  std::array<bool, global::kColumns> shared{};
  std::array<double, global::kColumns> cl_max{}, cd_max{};
};
Tables table_info();

// The search on tables described by `tb` (table_info() of the loaded tables).
Best search(double phideg, double re, const Tables& tb);
// The same, finding the tables' description first.
Best search(double phideg, double re);

}  // namespace twist_search
