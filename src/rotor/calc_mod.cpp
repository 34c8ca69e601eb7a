#include "rotor/calc_mod.h"

#include <algorithm>
#include <cmath>
#include <cstddef>

#include "aerofoil/aerofoil.h"

namespace calc_mod {
namespace {

// Number of elements that can be computed: nbe, but never more than the arrays hold.
std::size_t element_count(std::int64_t nbe, std::size_t r, std::size_t twist, std::size_t chord,
                          std::size_t alpha) {
  if (nbe < 1) return 0;
  return std::min({static_cast<std::size_t>(nbe), r, twist, chord, alpha});
}

// The solver proper. `walk` selects the lookup whose row search starts from the row of the
// element's previous iteration; it gives the plain lookup's result whenever the polar's angles
// never decrease, which the caller checks once per call.
template <bool walk>
void solve(std::int64_t Numb, std::size_t n, double dr, double rtip, std::span<const double> r,
           std::span<const double> twist, std::span<const double> chord, std::span<double> alpha,
           double U, double lambda, double& CP, double theta, std::span<std::int32_t> iterations) {
  const double B = static_cast<double>(Numb);
  double cp = 0.0;
  // Induction factors, carried from one element to the next.
  double a = kStartA;
  double ap = 0.0;
  for (std::size_t i = 0; i < n; ++i) {
    const double ri = r[i];
    const double ci = chord[i];
    const double setting = twist[i] + theta;
    const double lr = lambda * ri;
    const double sigma = B * ci / kPi / ri / 2.0;
    double sphi = 0.0, cphi = 0.0, W = 0.0, cl = 0.0, cd = 0.0;
    int row = 1;
    int it = 0;
    while (it < kMaxIterations) {
      ++it;
      const double phi = std::atan((1.0 - a) / (1.0 + ap) / lr);
      sphi = std::sin(phi);
      cphi = std::cos(phi);
      const double F = tip_loss(B * (1.0 - ri) / sphi / 2.0);
      const double aoa = phi * 180.0 / kPi - setting;
      alpha[i] = aoa;
      const double va = (1.0 - a) * (1.0 - a);
      const double vt = (1.0 + ap) * lr;
      W = std::sqrt(va + vt * vt);
      const double re = U * W * ci * rtip / kNu;
      const aerofoil::ReBlend blend = aerofoil::re_blend(re);
      if constexpr (walk) {
        aerofoil::landd_blend_from(blend, aoa, row, cl, cd);
      } else {
        aerofoil::landd_blend(blend, aoa, cl, cd);
      }
      const double normal = cl * cphi + cd * sphi;
      const double CT = (1.0 - a) * (1.0 - a) * sigma * normal / (sphi * sphi);
      double a_new;
      if (CT > kHighInduction * F) {
        a_new = (18.0 * F - 20.0 -
                 3.0 * std::sqrt(CT * (50.0 - 36.0 * F) + 12.0 * F * (3.0 * F - 4.0))) /
                (36.0 * F - 50.0);
      } else {
        a_new = 1.0 / (4.0 * F * (sphi * sphi) / (sigma * normal) + 1.0);
      }
      const double ap_new = 1.0 / (4.0 * F * sphi * cphi / (sigma * (cl * sphi - cd * cphi)) - 1.0);
      if (std::fabs(a - a_new) < kTolA && std::fabs(ap - ap_new) < kTolAp) break;
      a = (a + a_new) / 2.0;
      ap = (ap + ap_new) / 2.0;
    }
    if (i < iterations.size()) iterations[i] = it;
    const double G = B * W * W * ci * dr / kPi;
    cp = cp + lambda * ri * G * (cl * sphi - cd * cphi);
  }
  CP = cp;
}

}  // namespace

void calc_counted(std::int64_t Numb, std::int64_t nbe, double dr, double rtip,
                  std::span<const double> r, std::span<const double> twist,
                  std::span<const double> chord, std::span<double> alpha, double U, double lambda,
                  double& CP, double theta, std::span<std::int32_t> iterations) {
  const std::size_t n = element_count(nbe, r.size(), twist.size(), chord.size(), alpha.size());
  if (aerofoil::angles_nondecreasing()) {
    solve<true>(Numb, n, dr, rtip, r, twist, chord, alpha, U, lambda, CP, theta, iterations);
  } else {
    solve<false>(Numb, n, dr, rtip, r, twist, chord, alpha, U, lambda, CP, theta, iterations);
  }
}

void calc(std::int64_t Numb, std::int64_t nbe, double dr, double /*rhub*/, double rtip,
          std::span<const double> r, std::span<const double> twist, std::span<const double> chord,
          std::span<double> alpha, double U, double lambda, double& CP, double theta) {
  calc_counted(Numb, nbe, dr, rtip, r, twist, chord, alpha, U, lambda, CP, theta, {});
}

}  // namespace calc_mod
