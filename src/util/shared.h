// Values and types that several subsystems use alike; each is defined here and nowhere else.
#pragma once

#include <array>
#include <cstddef>
#include <numbers>

namespace shared {

// pi as the single-precision value it has in every formula of the program, held in a double:
// 3.1415927410125732, not the double 3.141592653589793. Results depend on it in their last digits.
inline constexpr double kPi = 3.1415927410125732;
static_assert(kPi == static_cast<double>(3.14159265358979f));

// Radians per degree from the double pi (0.017453292519943295): for the geometry of sections and
// polars, where the angles are turned into radians once. The element solver's angles go the
// other way, phi * 180 / kPi, with the single-precision pi.
inline constexpr double kRadiansPerDegree = std::numbers::pi / 180.0;

// The five coefficients of a chord law (a1 ... a5) or a twist law (b1 ... b5), in the
// alternating form c1 - c2*x + c3*x^2 - c4*x^3 + c5*x^4 of the relative radius x.
using Coeffs = std::array<double, 5>;

// Ground roughness length of the logarithmic wind profile, m, single precision:
// 0.02500000037252903. A hub height must lie above it.
inline constexpr double kRoughness = static_cast<double>(0.025f);

// Lapse rate of the standard atmosphere, K/m, as a single-precision constant:
// -0.006500000134110451 in double.
inline constexpr double kLapse = static_cast<double>(-0.0065f);

// Air temperature (K) at altitude SeaL (m): 288 K at sea level, falling 0.0065 K per metre.
constexpr double site_temperature(double SeaL) {
  return 288.0 + SeaL * kLapse;
}

// Points per set of an outline of unit chord: set 1 runs along the lower side, set 2 along the
// upper side, both from the leading to the trailing edge, paired by index.
inline constexpr std::size_t kSetPoints = 50;

}  // namespace shared
