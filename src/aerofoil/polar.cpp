#include "aerofoil/polar.h"

#include <cmath>
#include <cstring>

namespace aerofoil {

void fill_re_log(float (&re_log)[global::kColumns]) {
  // The logarithm is taken in double and then rounded to float: re_log[0] = 4.623249053955078,
  // not the double log10(42000) = 4.623249290397901. The column weights depend on these values.
  for (int i = 0; i < global::kColumns; ++i) {
    re_log[i] = static_cast<float>(std::log10(static_cast<double>(global::re_array[i])));
  }
}

Polar loaded_polar() {
  Polar p;
  std::memcpy(p.alpha, global::alpha_array, sizeof p.alpha);
  std::memcpy(p.cl, global::cl_array, sizeof p.cl);
  std::memcpy(p.cd, global::cd_array, sizeof p.cd);
  std::memcpy(p.re_log, global::re_log, sizeof p.re_log);
  return p;
}

void load(const Polar& p) {
  std::memcpy(global::alpha_array, p.alpha, sizeof p.alpha);
  std::memcpy(global::cl_array, p.cl, sizeof p.cl);
  std::memcpy(global::cd_array, p.cd, sizeof p.cd);
  std::memcpy(global::re_log, p.re_log, sizeof p.re_log);
}

Polar linear_polar(double cl_per_degree, double cd, double first, double last) {
  Polar p;
  for (int i = 0; i < global::kColumns; ++i) {
    for (int j = 0; j < global::kRows; ++j) {
      const double a = first + (last - first) * j / (global::kRows - 1);
      p.alpha[i][j] = static_cast<float>(a);
      p.cl[i][j] = cl_per_degree * static_cast<double>(p.alpha[i][j]);
      p.cd[i][j] = cd;
    }
  }
  fill_re_log(p.re_log);
  return p;
}

Polar cylinder_polar(double cd) {
  return linear_polar(0.0, cd, -180.0, 180.0);
}

}  // namespace aerofoil
