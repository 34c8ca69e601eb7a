// Polar tables filled straight into namespace global, the way the loader leaves them, without
// going through the working files. load_file needs ROTORFORGE_SOURCE_DIR (the directory holding
// Data/) defined before the point of use.
#pragma once

#include <cmath>
#include <fstream>
#include <stdexcept>
#include <string>

#include "aerofoil/global.h"

namespace support {

// re_log as the loader computes it: the double logarithm stored in single precision.
inline void fill_re_log() {
  for (int i = 0; i < global::kColumns; ++i) {
    global::re_log[i] = static_cast<float>(std::log10(static_cast<double>(global::re_array[i])));
  }
}

// Fills column c (0 = lowest Reynolds number) with the angles -10 ... 35 degrees and the
// coefficients cl(c, angle), cd(c, angle); then re_log.
template <class Cl, class Cd>
void load_polar_columns(Cl cl, Cd cd) {
  for (int c = 0; c < global::kColumns; ++c) {
    for (int j = 0; j < global::kRows; ++j) {
      const double a = -10.0 + j;
      global::alpha_array[c][j] = static_cast<float>(a);
      global::cl_array[c][j] = cl(c, a);
      global::cd_array[c][j] = cd(c, a);
    }
  }
  fill_re_log();
}

// The same coefficients cl(angle), cd(angle) in all seven columns.
template <class Cl, class Cd>
void load_polar(Cl cl, Cd cd) {
  load_polar_columns([&](int, double a) { return cl(a); }, [&](int, double a) { return cd(a); });
}

// Lift growing with the angle (0.11 per degree), constant drag 0.01, in all seven columns.
inline void load_linear_polar() {
  load_polar([](double a) { return 0.11 * a; }, [](double) { return 0.01; });
}

// Lift and drag that do not depend on the angle of attack (column c: lift 0.5 + 0.1 c, drag
// 0.02).
inline void load_flat_polar() {
  load_polar_columns([](int c, double) { return 0.5 + 0.1 * c; }, [](int, double) { return 0.02; });
}

// The shipped polar Data/<name>, e.g. "Liftnaca4412.dat": 7 x 46 records "angle cl cd".
inline void load_shipped_polar(const std::string& name) {
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

// The three shipped polars.
inline const char* const kShippedPolars[3] = {"Liftnaca4412.dat", "Liftsg6043.dat",
                                              "Liftnaca4432.dat"};

}  // namespace support
