// Helpers shared by the tests of the laws, the trial blade and the optimiser: bit-exact
// comparison of doubles, a private working directory, coefficient files and a synthetic polar.
#pragma once

#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <string>

#include "support/kit.h"
#include "support/polars.h"

namespace design_test {

using namespace support::kit;

// Five coefficients as a file of one line, with 17 significant digits (reads back exactly).
inline void write_coeffs(const fs::path& path, const std::array<double, 5>& c) {
  char buf[256];
  std::snprintf(buf, sizeof buf, " %.17g %.17g %.17g %.17g %.17g\r\n", c[0], c[1], c[2], c[3],
                c[4]);
  spit(path, buf);
}

// The polar of the solver's worked example: in all seven columns the angles -10 ... 35 degrees,
// lift 0.11 per degree, drag 0.01; re_log as the loader leaves it.
using support::load_linear_polar;

}  // namespace design_test
