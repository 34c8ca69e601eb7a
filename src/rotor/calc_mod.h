// Blade element momentum solver: the power coefficient of the rotor at one operating point.
#pragma once

#include <cmath>
#include <cstdint>
#include <span>

namespace calc_mod {

// pi as the single-precision value it has throughout the rotor calculations, held in a double.
inline constexpr double kPi = 3.1415927410125732;
static_assert(kPi == static_cast<double>(3.14159265358979f));

// Kinematic viscosity of air, m^2/s. It is a single-precision value used in double arithmetic,
// so the Reynolds numbers depend on 1.4999999621068127e-05, not on 1.5e-5.
inline constexpr double kNu = static_cast<double>(1.5e-5f);

// Starting axial induction of every call, single precision: 0.30000001192092896.
inline constexpr double kStartA = static_cast<double>(0.3f);

// Element iteration: limit and the two convergence tolerances (single precision).
inline constexpr int kMaxIterations = 200;
inline constexpr double kTolA = static_cast<double>(0.0005f);   // 0.0005000000237487257
inline constexpr double kTolAp = static_cast<double>(1.0e-4f);  // 9.999999747378752e-05
// Above CT = 0.96 F the momentum relation is replaced by the empirical high-induction fit.
inline constexpr double kHighInduction = static_cast<double>(0.96f);  // 0.9599999785423279

// Tip-loss factor for f = B (1 - r) / sin(phi) / 2. F stays below 1: for large f the arc cosine of
// the vanishing exponential is the double pi/2, and dividing twice that by the single-precision pi
// gives 0.9999999721724656.
inline double tip_loss(double f) {
  return 2.0 * std::acos(std::exp(-std::fabs(f))) / kPi;
}

// Arrays are 0-based here: element i of the blade is r[i-1], twist[i-1], chord[i-1], alpha[i-1];
// only the first nbe entries are used. r and chord are relative to rtip, twist in degrees.
// U wind speed (m/s), lambda tip speed ratio, theta setting angle (degrees) added to every twist.
// Fills alpha (degrees) and CP. rhub is not used by the calculation.
//
// Elements are processed in order, each starting from the induction factors the previous one
// ended with (a = 0.3, a' = 0 for the first). An element that does not converge within 200
// iterations contributes at its last iterate. Spans shorter than nbe limit the number of elements
// to the shortest span, so nothing is read or written out of bounds.
void calc(std::int64_t Numb, std::int64_t nbe, double dr, double rhub, double rtip,
          std::span<const double> r, std::span<const double> twist, std::span<const double> chord,
          std::span<double> alpha, double U, double lambda, double& CP, double theta);

// calc, also reporting the number of iterations each element used (1 ... 200; the 200th may have
// ended without convergence). `iterations` needs as many entries as elements are computed;
// entries beyond its size are not reported.
void calc_counted(std::int64_t Numb, std::int64_t nbe, double dr, double rtip,
                  std::span<const double> r, std::span<const double> twist,
                  std::span<const double> chord, std::span<double> alpha, double U, double lambda,
                  double& CP, double theta, std::span<std::int32_t> iterations);

}  // namespace calc_mod
