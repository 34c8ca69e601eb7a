// Polar tables for the rotor tests and benchmarks, filled straight into namespace global (the way
// data_in::file_read leaves them), without going through the working files.
#pragma once

#include "support/polars.h"

namespace rotor_polars {

// re_log as file_read computes it: the double logarithm stored in single precision.
using support::fill_re_log;

// In all seven columns the angles -10 ... 35 degrees, lift 0.11 per degree, drag 0.01.
inline void load_linear() {
  support::load_linear_polar();
}

// A polar whose lift and drag do not depend on the angle of attack (column i: lift 0.5 + 0.1 i).
inline void load_flat() {
  support::load_polar_columns([](int i, double) { return 0.5 + 0.1 * i; },
                              [](int, double) { return 0.02; });
}

// The shipped polar Data/<name>, e.g. "Liftnaca4412.dat": 7 x 46 records "angle cl cd".
inline void load_file(const std::string& name) {
  support::load_shipped_polar(name);
}

inline constexpr const auto& kShipped = support::kShippedPolars;

}  // namespace rotor_polars
