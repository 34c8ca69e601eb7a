// Helpers shared by the aerofoil tests: bit-exact comparison of doubles, a private working
// directory, and table fillers for the polar held in namespace global.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "aerofoil/global.h"
#include "support/bits.h"
#include "support/polars.h"
#include "support/records.h"
#include "support/test_name.h"
#include "support/workdir.h"

namespace aerofoil_test {

using support::describe;
using support::slurp;
using support::spit;

// Same bits, or both NaN.
inline ::testing::AssertionResult same_bits(double actual, double expected) {
  return support::same_bits_or_nan(actual, expected);
}

// A fresh temporary directory holding Temp/, Result/ and an empty Data/, made the working
// directory for the lifetime of the object. Each test process gets its own path.
class WorkDir : public support::WorkDir {
 public:
  WorkDir() : support::WorkDir(support::test_prefix("rotorforge_aerofoil_")) {
    std::filesystem::create_directory(path() / "Data");
  }
};

// Records of a file: LF or CR LF line ends; a final line without LF counts too.
inline std::vector<std::string> read_records(const std::filesystem::path& path) {
  return support::records(path);
}

// re_log as the loader leaves it: the double logarithm rounded to float.
inline void load_re_log() {
  support::fill_re_log();
}

// A polar shaped like the shipped ones: -10 ... 35 degrees in 1-degree steps, every column shifted
// by a quarter degree per column so that a mixed-up column index shows, and coefficients that
// differ in every row and column.
inline void load_synthetic_polar() {
  for (int c = 0; c < global::kColumns; ++c) {
    for (int j = 0; j < global::kRows; ++j) {
      const double a = -10.0 + j + 0.25 * c;
      global::alpha_array[c][j] = static_cast<float>(a);
      global::cl_array[c][j] = 0.11 * a * (1.0 + 0.05 * c) / (1.0 + 0.0015 * a * a) + 0.3;
      global::cd_array[c][j] = 0.008 + 0.0004 * a * a / (1.0 + 0.1 * c) + 0.001 * c;
    }
  }
  load_re_log();
}

}  // namespace aerofoil_test
