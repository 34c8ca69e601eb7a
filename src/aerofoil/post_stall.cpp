#include "aerofoil/post_stall.h"

#include <algorithm>
#include <cmath>

#include "aerofoil/aerofoil.h"
#include "aerofoil/polar.h"
#include "util/shared.h"

namespace aerofoil {

double flat_plate_cd_max(double aspect_ratio) noexcept {
  return aspect_ratio < 50.0 ? 1.11 + 0.018 * aspect_ratio : 2.01;
}

LiftDrag viterna(double alpha_s, double cl_s, double cd_s, double alpha, double cd_max) noexcept {
  constexpr double kRad = shared::kRadiansPerDegree;
  const double ss = std::sin(alpha_s * kRad), cs = std::cos(alpha_s * kRad);
  const double s = std::sin(alpha * kRad), c = std::cos(alpha * kRad);
  const double a2 = (cl_s - cd_max * ss * cs) * ss / (cs * cs);
  const double b2 = (cd_s - cd_max * ss * ss) / cs;
  return {cd_max / 2.0 * (2.0 * s * c) + a2 * c * c / s, cd_max * s * s + b2 * c};
}

namespace {

// Within the angles both of the blend's columns hold (`rows`, each column's angles ascending):
// `blend_at`'s own values; beyond them Viterna-Corrigan matched at the last (or first) of them.
template <typename BlendAt>
LiftDrag extend(const float (&rows)[global::kColumns][global::kRows], const ReBlend& blend,
                double alpha, double cd_max, BlendAt blend_at) noexcept {
  const int last = global::kRows - 1;
  const int k0 = blend.k - 1, k1 = blend.k;
  const double top =
      std::min(static_cast<double>(rows[k0][last]), static_cast<double>(rows[k1][last]));
  const double bottom =
      std::max(static_cast<double>(rows[k0][0]), static_cast<double>(rows[k1][0]));
  LiftDrag out;
  if (alpha > top || alpha < bottom) {
    const double edge = alpha > top ? top : bottom;
    blend_at(edge, out.cl, out.cd);
    return viterna(edge, out.cl, out.cd, alpha, cd_max);
  }
  blend_at(alpha, out.cl, out.cd);
  return out;
}

}  // namespace

LiftDrag landd_extended(double alpha, double re, double cd_max) noexcept {
  const ReBlend blend = re_blend(re);
  return extend(global::alpha_array, blend, alpha, cd_max,
                [&blend](double a, double& cl, double& cd) { landd_blend(blend, a, cl, cd); });
}

LiftDrag landd_extended(const Polar& p, double alpha, double re, double cd_max) noexcept {
  const ReBlend blend = re_blend(p, re);
  return extend(p.alpha, blend, alpha, cd_max, [&p, &blend](double a, double& cl, double& cd) {
    landd_blend(p, blend, a, cl, cd);
  });
}

}  // namespace aerofoil
