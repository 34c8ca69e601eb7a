// Helpers shared by the tests of the laws, the trial blade and the optimiser: bit-exact
// comparison of doubles, a private working directory, coefficient files and a synthetic polar.
#pragma once

#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <string>

#include "support/bits.h"
#include "support/polars.h"
#include "support/workdir.h"

namespace design_test {

namespace fs = std::filesystem;

using support::describe;
using support::same_bits;

// A fresh temporary directory holding Temp/ and Result/, the working directory for the lifetime
// of the object. Every test process gets its own path.
class WorkDir : public support::WorkDir {
 public:
  WorkDir() : support::WorkDir("rotorforge_design_") {}
};

inline void write_text(const fs::path& path, const std::string& text) {
  support::spit(path, text);
}

inline std::string read_text(const fs::path& path) {
  return support::slurp(path);
}

// Five coefficients as a file of one line, with 17 significant digits (reads back exactly).
inline void write_coeffs(const fs::path& path, const std::array<double, 5>& c) {
  char buf[256];
  std::snprintf(buf, sizeof buf, " %.17g %.17g %.17g %.17g %.17g\r\n", c[0], c[1], c[2], c[3],
                c[4]);
  write_text(path, buf);
}

// The polar of the solver's worked example: in all seven columns the angles -10 ... 35 degrees,
// lift 0.11 per degree, drag 0.01; re_log as the loader leaves it.
using support::load_linear_polar;

}  // namespace design_test
