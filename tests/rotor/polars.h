// Polar tables for the rotor tests and benchmarks, filled straight into namespace global (the way
// data_in::file_read leaves them), without going through the working files.
#pragma once

#include <cmath>
#include <fstream>
#include <stdexcept>
#include <string>

#include "aerofoil/global.h"

namespace rotor_polars {

// re_log as file_read computes it: the double logarithm stored in single precision.
inline void fill_re_log() {
  for (int i = 0; i < global::kColumns; ++i) {
    global::re_log[i] = static_cast<float>(std::log10(static_cast<double>(global::re_array[i])));
  }
}

// In all seven columns the angles -10 ... 35 degrees, lift 0.11 per degree, drag 0.01.
inline void load_linear() {
  for (int i = 0; i < global::kColumns; ++i) {
    for (int j = 0; j < global::kRows; ++j) {
      const int angle = j - 10;
      global::alpha_array[i][j] = static_cast<float>(angle);
      global::cl_array[i][j] = 0.11 * angle;
      global::cd_array[i][j] = 0.01;
    }
  }
  fill_re_log();
}

// A polar whose lift and drag do not depend on the angle of attack (column i: lift 0.5 + 0.1 i).
inline void load_flat() {
  for (int i = 0; i < global::kColumns; ++i) {
    for (int j = 0; j < global::kRows; ++j) {
      global::alpha_array[i][j] = static_cast<float>(j - 10);
      global::cl_array[i][j] = 0.5 + 0.1 * i;
      global::cd_array[i][j] = 0.02;
    }
  }
  fill_re_log();
}

// The shipped polar Data/<name>, e.g. "Liftnaca4412.dat": 7 x 46 records "angle cl cd".
inline void load_file(const std::string& name) {
  const std::string path = std::string(ROTORFORGE_SOURCE_DIR) + "/Data/" + name;
  std::ifstream in(path);
  if (!in) throw std::runtime_error("cannot open " + path);
  for (int i = 0; i < global::kColumns; ++i) {
    for (int j = 0; j < global::num_alpha[i]; ++j) {
      double angle, cl, cd;
      if (!(in >> angle >> cl >> cd)) throw std::runtime_error("short polar file " + path);
      global::alpha_array[i][j] = static_cast<float>(angle);
      global::cl_array[i][j] = cl;
      global::cd_array[i][j] = cd;
    }
  }
  fill_re_log();
}

inline const char* const kShipped[3] = {"Liftnaca4412.dat", "Liftsg6043.dat", "Liftnaca4432.dat"};

}  // namespace rotor_polars
