#include "aerofoil/post_stall.h"

#include <algorithm>
#include <cmath>

#include "aerofoil/aerofoil.h"

namespace aerofoil {

double flat_plate_cd_max(double aspect_ratio) noexcept {
  return aspect_ratio < 50.0 ? 1.11 + 0.018 * aspect_ratio : 2.01;
}

LiftDrag viterna(double alpha_s, double cl_s, double cd_s, double alpha, double cd_max) noexcept {
  constexpr double kRad = 3.14159265358979323846 / 180.0;
  const double ss = std::sin(alpha_s * kRad), cs = std::cos(alpha_s * kRad);
  const double s = std::sin(alpha * kRad), c = std::cos(alpha * kRad);
  const double a2 = (cl_s - cd_max * ss * cs) * ss / (cs * cs);
  const double b2 = (cd_s - cd_max * ss * ss) / cs;
  return {cd_max / 2.0 * (2.0 * s * c) + a2 * c * c / s, cd_max * s * s + b2 * c};
}

LiftDrag landd_extended(double alpha, double re, double cd_max) noexcept {
  const ReBlend blend = re_blend(re);
  const int last = global::kRows - 1;
  const int k0 = blend.k - 1, k1 = blend.k;
  const double top = std::min(static_cast<double>(global::alpha_array[k0][last]),
                              static_cast<double>(global::alpha_array[k1][last]));
  const double bottom = std::max(static_cast<double>(global::alpha_array[k0][0]),
                                 static_cast<double>(global::alpha_array[k1][0]));
  LiftDrag out;
  if (alpha > top || alpha < bottom) {
    const double edge = alpha > top ? top : bottom;
    LiftDrag at;
    landd_blend(blend, edge, at.cl, at.cd);
    return viterna(edge, at.cl, at.cd, alpha, cd_max);
  }
  landd_blend(blend, alpha, out.cl, out.cd);
  return out;
}

}  // namespace aerofoil
