#include "blade/laws.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>
#include <limits>

#include "textio/textio.h"

namespace blade {

namespace {

// The joint of the twist law and the factors of the slope there are single-precision literals
// used in double arithmetic; the blade's results depend on them in their last digits.
constexpr double kJoint = 0.7f;        // 0.699999988079071
constexpr double kMinusJoint = -0.7f;  // -0.699999988079071
constexpr double kSlope3 = 1.4f;       // 1.399999976158142  = 2 * 0.7
constexpr double kSlope4 = 1.47f;      // 1.4700000286102295 = 3 * 0.7^2
constexpr double kSlope5 = 1.372f;     // 1.371999979019165  = 4 * 0.7^3

}  // namespace

double chord_law(const Coeffs& a, double x) {
  return a[0] - x * (a[1] - x * (a[2] - x * (a[3] - x * a[4])));
}

double twist_law(const Coeffs& b, double x) {
  if (x <= kJoint) return b[0] - x * (b[1] - x * (b[2] - x * (b[3] - x * b[4])));
  // Beyond the joint the twist follows the tangent of the polynomial there: t0 is its value at
  // the joint (evaluated at k = -0.7 in the alternating form), slope its derivative.
  const double k = kMinusJoint;
  const double t0 = b[0] + k * (b[1] + k * (b[2] + k * (b[3] + k * b[4])));
  const double slope = kSlope3 * b[2] - b[1] - kSlope4 * b[3] + kSlope5 * b[4];
  return slope * k + t0 + x * slope;
}

namespace {

// The roots of q2 x^2 + q1 x + q0 (at most two; NaN for none), in the form that does not cancel.
std::array<double, 2> quadratic_roots(double q2, double q1, double q0) {
  const double none = std::numeric_limits<double>::quiet_NaN();
  if (q2 == 0.0) return {q1 != 0.0 ? -q0 / q1 : none, none};
  const double disc = q1 * q1 - 4.0 * q2 * q0;
  if (disc < 0.0) return {none, none};
  const double q = -(q1 + std::copysign(std::sqrt(disc), q1)) / 2.0;
  return {q / q2, q != 0.0 ? q0 / q : none};
}

}  // namespace

double chord_law_min(const Coeffs& a, double x_lo, double x_hi) {
  for (const double c : a) {
    if (!std::isfinite(c)) return std::numeric_limits<double>::quiet_NaN();
  }
  if (!std::isfinite(x_lo) || !std::isfinite(x_hi) || x_hi < x_lo) {
    return std::numeric_limits<double>::quiet_NaN();
  }
  // The law's slope -a2 + 2 a3 x - 3 a4 x^2 + 4 a5 x^3 is monotone between its own turning
  // points, the roots of 12 a5 x^2 - 6 a4 x + 2 a3: each piece between them holds at most one
  // root of the slope, a minimum of the law where the slope turns from negative to positive.
  const auto slope = [&a](double x) {
    return -a[1] + x * (2.0 * a[2] + x * (-3.0 * a[3] + x * (4.0 * a[4])));
  };
  std::array<double, 4> cuts{x_lo, x_hi, x_hi, x_hi};
  std::size_t n = 1;
  for (const double t : quadratic_roots(12.0 * a[4], -6.0 * a[3], 2.0 * a[2])) {
    if (t > x_lo && t < x_hi) cuts[n++] = t;
  }
  cuts[n++] = x_hi;
  std::sort(cuts.begin(), cuts.begin() + static_cast<std::ptrdiff_t>(n));
  // The turning points of the slope are evaluated too: a pair of roots of the slope too close to
  // one of them to be told apart from it has a law's value within rounding of its own.
  double least = chord_law(a, x_lo);
  for (std::size_t i = 1; i < n; ++i) {
    least = std::min(least, chord_law(a, cuts[i]));
    double lo = cuts[i - 1], hi = cuts[i];
    if (!(slope(lo) < 0.0 && slope(hi) > 0.0)) continue;
    for (int k = 0; k < 200; ++k) {
      const double mid = lo + (hi - lo) / 2.0;
      if (!(mid > lo && mid < hi)) break;
      (slope(mid) < 0.0 ? lo : hi) = mid;
    }
    least = std::min({least, chord_law(a, lo), chord_law(a, hi)});
  }
  return least;
}

bool chord_law_buildable(const Coeffs& a, double x_hub) {
  return chord_law_min(a, x_hub, 1.0) >= kChordFloor;
}

Coeffs hold_chord_law(const Coeffs& a, double x_hub) {
  const double least = chord_law_min(a, x_hub, 1.0);
  if (!(least < kChordFloor)) return a;  // buildable, or not finite
  Coeffs held = a;
  held[0] = a[0] + (kChordFloor - least);
  // Rounding may leave the lifted minimum a few ulps short of the floor.
  double step = kChordFloor * 1e-12;
  for (int k = 0; k < 100 && !chord_law_buildable(held, x_hub); ++k) {
    held[0] += step;
    step *= 2.0;
  }
  return held;
}

Coeffs read_coeffs(const std::string& path) {
  Coeffs c{};
  textio::InFile file(path);
  file.read({c[0], c[1], c[2], c[3], c[4]});
  file.close();
  return c;
}

void law_arrays(const Coeffs& a, const Coeffs& b, std::int64_t nbe, double rtip, double rhub,
                std::span<double> r, double& dr, std::span<double> twist, std::span<double> chord) {
  const double x_hub = rhub / rtip;
  dr = (1.0 - x_hub) / static_cast<double>(nbe);
  const std::size_t tip = static_cast<std::size_t>(nbe);
  chord[tip] = chord_law(a, 1.0);
  twist[tip] = twist_law(b, 1.0);
  // Radii are accumulated element by element; x_hub + (i - 1/2) dr would differ in the last bits.
  for (std::size_t i = 0; i < tip; ++i) {
    r[i] = i == 0 ? x_hub + dr / 2.0 : r[i - 1] + dr;
    chord[i] = chord_law(a, r[i]);
    twist[i] = twist_law(b, r[i]);
  }
}

HubStation blade_arrays(const Coeffs& a, const Coeffs& b, std::int64_t nbe, double rtip,
                        double rhub, std::span<double> r, double& dr, std::span<double> twist,
                        double pitchinitial, std::span<double> chord) {
  law_arrays(a, b, nbe, rtip, rhub, r, dr, twist, chord);
  for (std::size_t i = 0; i <= static_cast<std::size_t>(nbe); ++i) twist[i] += pitchinitial;
  const double x_hub = rhub / rtip;
  return {chord_law(a, x_hub), twist_law(b, x_hub) + pitchinitial};
}

}  // namespace blade
