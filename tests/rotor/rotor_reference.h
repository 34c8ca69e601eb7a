// Straightforward versions of the element solver and of the starting-blade design: every lift and
// drag value through aerofoil::landd, every twist candidate looked up in full. The optimised
// kernels of calc_mod and calc_param must give exactly these results, bit for bit (the solver
// wherever every element's iteration ends in a windmill state; elsewhere calc_mod solves the
// element again); the tests and the benchmarks compare against them.
#pragma once

#include <cmath>
#include <cstdint>
#include <span>

#include "aerofoil/aerofoil.h"
#include "rotor/calc_mod.h"
#include "util/shared.h"

namespace rotor_reference {

using shared::kPi;
inline constexpr double kNu = 1.4999999621068127e-05;

// How an element's iteration ended: the factors it ended with, the inflow angle of its last
// evaluation and whether the convergence test ended it.
struct ElementState {
  double a, ap, phi;
  bool converged;
};

// The element iteration as such, written out as plainly as possible, without any check of the
// state it ends in (so also at its false fixed points a = 1 and a' = -1, and at the last iterate
// of an iteration that does not converge).
inline void calc(const calc_mod::Inputs& in, std::span<double> alpha, double& CP,
                 std::int32_t* iterations = nullptr, ElementState* states = nullptr) {
  const auto& [Numb, nbe, dr, rtip, r, twist, chord, U, lambda, theta, polars, widths, tip_loss] =
      in;
  (void)polars;
  (void)widths;
  (void)tip_loss;
  const double B = static_cast<double>(Numb);
  CP = 0.0;
  double a = 0.30000001192092896;
  double ap = 0.0;
  for (std::int64_t i = 0; i < nbe; ++i) {
    const double lr = lambda * r[i];
    const double sigma = B * chord[i] / kPi / r[i] / 2.0;
    double phi = 0, sphi = 0, cphi = 0, W = 0, Cl = 0, Cd = 0;
    int it;
    bool converged = false;
    for (it = 1; it <= 200; ++it) {
      phi = std::atan((1.0 - a) / (1.0 + ap) / lr);
      sphi = std::sin(phi);
      cphi = std::cos(phi);
      const double f = B * (1.0 - r[i]) / sphi / 2.0;
      const double F = 2.0 * std::acos(std::exp(-std::fabs(f))) / kPi;
      alpha[i] = phi * 180.0 / kPi - (twist[i] + theta);
      W = std::sqrt((1.0 - a) * (1.0 - a) + ((1.0 + ap) * lr) * ((1.0 + ap) * lr));
      const double Re = U * W * chord[i] * rtip / kNu;
      aerofoil::landd(alpha[i], Re, Cl, Cd);
      const double CT = (1.0 - a) * (1.0 - a) * sigma * (Cl * cphi + Cd * sphi) / (sphi * sphi);
      double as;
      if (CT > 0.9599999785423279 * F) {
        as = (18.0 * F - 20.0 -
              3.0 * std::sqrt(CT * (50.0 - 36.0 * F) + 12.0 * F * (3.0 * F - 4.0))) /
             (36.0 * F - 50.0);
      } else {
        as = 1.0 / (4.0 * F * (sphi * sphi) / (sigma * (Cl * cphi + Cd * sphi)) + 1.0);
      }
      const double aps = 1.0 / (4.0 * F * sphi * cphi / (sigma * (Cl * sphi - Cd * cphi)) - 1.0);
      if (std::fabs(a - as) < 0.0005000000237487257 &&
          std::fabs(ap - aps) < 9.999999747378752e-05) {
        converged = true;
        break;
      }
      a = (a + as) / 2.0;
      ap = (ap + aps) / 2.0;
    }
    if (iterations != nullptr) iterations[i] = it > 200 ? 200 : it;
    if (states != nullptr) states[i] = {a, ap, phi, converged};
    const double G = B * W * W * chord[i] * dr / kPi;
    CP = CP + lambda * r[i] * G * (Cl * sphi - Cd * cphi);
  }
}

// State the starting-blade design carries from station to station: the tangential induction
// (never reset) and the lift and drag of the best ratio of the last twist search that found one.
struct DesignState {
  double ap = 0.0;
  double cl = 0.0;
  double cd = 0.0;
};

// One station of the starting blade: smallest accepted chord and its twist. `prev_twist` is null
// for the first station.
inline void design_station(std::int64_t Numb, double rtip, double lambda_d, double x,
                           const double* prev_twist, DesignState& s, double& chord, double& twist) {
  const double B = static_cast<double>(Numb);
  const double lr = x * lambda_d;
  double a = 0.30000001192092896;
  double theta = 0.0;
  double c = 0.0;
  for (int j = 1; j <= 1000; ++j) {
    c = static_cast<double>(j) * 0.2900000214576721 / 1000.0 + 0.009999999776482582;
    const double sigma = B * c / kPi / x / 2.0;
    for (int it = 1; it <= 200; ++it) {
      const double phi = std::atan((1.0 - a) / (1.0 + s.ap) / lr);
      const double cphi = std::cos(phi);
      const double sphi = std::sin(phi);
      const double F = 2.0 * std::acos(std::exp(-std::fabs(B * (1.0 - x) / (2.0 * sphi)))) / kPi;
      double best = 0.0;
      double W = 0.0;
      for (int m = 1; m <= 1000; ++m) {
        const double tm = static_cast<double>(m) * (40.0 - (-5.0)) / 1000.0 + (-5.0);
        const double aoa = phi * 180.0 / kPi - tm;
        W = std::sqrt((1.0 - a) * (1.0 - a) + ((1.0 + s.ap) * lr) * ((1.0 + s.ap) * lr));
        const double Re = W * 10.0 * c * rtip / kNu;
        double Cl, Cd;
        aerofoil::landd(aoa, Re, Cl, Cd);
        if (Cl / Cd > best) {
          best = Cl / Cd;
          theta = tm;
          s.cl = Cl;
          s.cd = Cd;
        }
        if (prev_twist != nullptr && theta > *prev_twist) theta = *prev_twist;
      }
      const double C = W * W * sigma * (s.cl * cphi + s.cd * sphi);
      const double an =
          C > 1.0 ? (1.0 + std::sqrt(C - 1.0)) / 2.0 : (1.0 - std::sqrt(1.0 - C)) / 2.0;
      const double apn = W * W * sigma * (s.cl * sphi - s.cd * cphi) / 4.0 / lr / (1.0 - a) / F;
      if (std::fabs(a - an) < 0.0005000000237487257 &&
          std::fabs(s.ap - apn) < 4.999999873689376e-05) {
        break;
      }
      a = (a + an) / 2.0;
      s.ap = (s.ap + apn) / 2.0;
    }
    if (1.0 - a >= 0.44999998807907104 && 1.0 - a <= 0.6700000166893005) break;
  }
  chord = c;
  twist = theta;
}

}  // namespace rotor_reference
