#include "rotor/calc_param.h"

#include <array>
#include <cmath>
#include <cstdint>
#include <functional>

#include "rotor/calc_mod.h"
#include "rotor/twist_search.h"

namespace calc_param {
namespace {

using calc_mod::kNu;
using calc_mod::kStartA;
using calc_mod::kTolA;
using shared::kPi;

// Single-precision constants of the design, used at their single values in double arithmetic
// (the doubles in the comments; the tests' plain design spells them out). The chord candidates
// span 0.01 ... 0.3 of the tip radius in 1000 steps; the span 0.3 - 0.01 is formed in single
// precision, one unit of single precision above the single value nearest 0.29. The tolerance of
// the axial factor is the solver's (calc_mod::kTolA).
constexpr double kChordStep = static_cast<double>(0.3f - 0.01f);  // 0.2900000214576721
constexpr double kChordMin = static_cast<double>(0.01f);          // 0.009999999776482582
constexpr double kTolAp = static_cast<double>(0.00005f);          // 4.999999873689376e-05
constexpr double kAcceptLow = static_cast<double>(0.45f);         // 0.44999998807907104
constexpr double kAcceptHigh = static_cast<double>(0.67f);        // 0.6700000166893005

// Coefficients of the design tip speed ratio's quartic in the blade count, single precision.
constexpr double kLambda4 = static_cast<double>(0.00044583f);  // 0.0004458299954421818
constexpr double kLambda3 = static_cast<double>(0.024559f);    // 0.02455900050699711
constexpr double kLambda2 = static_cast<double>(0.48941f);     // 0.48941001296043396
constexpr double kLambda1 = static_cast<double>(4.4752f);      // 4.475200176239014
constexpr double kLambda0 = static_cast<double>(17.891f);      // 17.891000747680664
// Reference wind speed of the design's Reynolds numbers, m/s.
constexpr double kDesignWind = 10.0;

// Integer powers of the blade count, formed by squaring in 64-bit arithmetic that wraps instead
// of overflowing.
std::int64_t times(std::int64_t x, std::int64_t y) {
  return static_cast<std::int64_t>(static_cast<std::uint64_t>(x) * static_cast<std::uint64_t>(y));
}

}  // namespace

double design_tip_speed_ratio(std::int64_t B) {
  if (B >= 13) return 1.0;
  const std::int64_t b2 = times(B, B);
  const std::int64_t b3 = times(b2, B);
  const std::int64_t b4 = times(b2, b2);
  return kLambda4 * static_cast<double>(b4) - kLambda3 * static_cast<double>(b3) +
         kLambda2 * static_cast<double>(b2) - kLambda1 * static_cast<double>(B) + kLambda0;
}

void stations(double rhub, double rtip, std::span<double, kStations> x, double& dx) {
  const double xhub = rhub / rtip;
  dx = (1.0 - xhub) / static_cast<double>(kStations);
  x[0] = xhub + dx / 2.0;
  for (int i = 1; i < kStations; ++i) x[i] = x[i - 1] + dx;
}

void design_station(std::int64_t Numb, double rtip, double lambda_d, double x, bool lower,
                    double prev_twist, DesignState& state, double& chord, double& twist) {
  const twist_search::Tables tables = twist_search::table_info();
  const double B = static_cast<double>(Numb);
  const double lr = x * lambda_d;
  double a = kStartA;
  double theta = 0.0;
  double c = 0.0;
  for (int j = 1; j <= kChordCandidates; ++j) {
    c = static_cast<double>(j) * kChordStep / 1000.0 + kChordMin;
    const double sigma = B * c / kPi / x / 2.0;
    for (int it = 0; it < calc_mod::kMaxIterations; ++it) {
      const double phi = std::atan((1.0 - a) / (1.0 + state.ap) / lr);
      const double cphi = std::cos(phi);
      const double sphi = std::sin(phi);
      const double F = calc_mod::tip_loss(B * (1.0 - x) / (2.0 * sphi));
      const double vt = (1.0 + state.ap) * lr;
      const double W = std::sqrt((1.0 - a) * (1.0 - a) + vt * vt);
      const double re = W * kDesignWind * c * rtip / kNu;
      const twist_search::Best best = twist_search::search(phi * 180.0 / kPi, re, tables);
      if (best.m != 0) {
        theta = twist_search::candidate(best.m);
        state.cl = best.cl;
        state.cd = best.cd;
      }
      // The twist never increases outward; the balance keeps the best ratio's lift and drag.
      if (lower && theta > prev_twist) theta = prev_twist;
      const double C = W * W * sigma * (state.cl * cphi + state.cd * sphi);
      const double a_new =
          C > 1.0 ? (1.0 + std::sqrt(C - 1.0)) / 2.0 : (1.0 - std::sqrt(1.0 - C)) / 2.0;
      const double ap_new =
          W * W * sigma * (state.cl * sphi - state.cd * cphi) / 4.0 / lr / (1.0 - a) / F;
      if (std::fabs(a - a_new) < kTolA && std::fabs(state.ap - ap_new) < kTolAp) break;
      a = (a + a_new) / 2.0;
      state.ap = (state.ap + ap_new) / 2.0;
    }
    if (1.0 - a >= kAcceptLow && 1.0 - a <= kAcceptHigh) break;
  }
  chord = c;
  twist = theta;
}

void fit(std::span<const double, kStations> x, double dx, std::span<const double, kStations> y,
         Coeffs& c) {
  // Centre and spacing of the 23 even stations; point k sits at u = k - 12 exactly.
  const double d = dx;
  const double xc = x[1] + 22.0 * d;
  double s0 = 0.0, s1 = 0.0, s2 = 0.0, s3 = 0.0, s4 = 0.0;
  for (int k = 1; k <= 23; ++k) {
    const double u = static_cast<double>(k - 12);
    const double u2 = u * u;
    const double u3 = u2 * u;
    const double u4 = u2 * u2;
    const double p2 = u2 - 44.0;
    const double p3 = u3 - 79.0 * u;
    const double p4 = (7.0 * u4 - 787.0 * u2 + 10296.0) / 12.0;
    const double yk = y[static_cast<std::size_t>(2 * k - 1)];
    s0 = s0 + yk;
    s1 = s1 + yk * u;
    s2 = s2 + yk * p2;
    s3 = s3 + yk * p3;
    s4 = s4 + yk * p4;
  }
  // Divisors: the sums of squares of P0 ... P3 over the points, and 12/7 of that of P4.
  const double g0 = s0 / 23.0;
  const double g1 = s1 / 1012.0;
  const double g2 = s2 / 35420.0;
  const double g3 = s3 / 1184040.0;
  const double g4 = s4 / 22496760.0;
  const double xc2 = xc * xc;
  const double xc3 = xc2 * xc;
  const double xc4 = xc2 * xc2;
  const double d2 = d * d;
  const double d3 = d2 * d;
  const double d4 = d2 * d2;
  const double x0 = g0 - g1 * xc / (2.0 * d) + g2 * xc2 / (4.0 * d2) - 44.0 * g2 -
                    g3 * xc3 / (8.0 * d3) + 79.0 * g3 * xc / (2.0 * d) + g4 * xc4 / (16.0 * d4) -
                    787.0 * g4 * xc2 / (28.0 * d2) + 10296.0 * g4 / 7.0;
  const double x1 = g1 / (2.0 * d) - 2.0 * g2 * xc / (4.0 * d2) + 3.0 * g3 * xc2 / (8.0 * d3) -
                    79.0 * g3 / (2.0 * d) - 4.0 * g4 * xc3 / (16.0 * d4) +
                    2.0 * 787.0 * g4 * xc / (28.0 * d2);
  const double x2 = g2 / (4.0 * d2) - 3.0 * g3 * xc / (8.0 * d3) + 6.0 * g4 * xc2 / (16.0 * d4) -
                    787.0 * g4 / (28.0 * d2);
  const double x3 = g3 / (8.0 * d3) - 4.0 * g4 * xc / (16.0 * d4);
  const double x4 = g4 / (16.0 * d4);
  c = {x0, -x1, x2, -x3, x4};
}

void design(std::int64_t Numb, double rhub, double rtip, Coeffs& a, Coeffs& b,
            const std::function<void(int)>& station_done) {
  std::array<double, kStations> x{};
  double dx = 0.0;
  stations(rhub, rtip, x, dx);
  const double lambda_d = design_tip_speed_ratio(Numb);
  DesignState state;
  std::array<double, kStations> chord{}, twist{};
  for (int i = 0; i < kStations; ++i) {
    design_station(Numb, rtip, lambda_d, x[i], i > 0, i > 0 ? twist[i - 1] : 0.0, state, chord[i],
                   twist[i]);
    station_done(i + 1);
  }
  fit(x, dx, chord, a);
  fit(x, dx, twist, b);
}

}  // namespace calc_param
