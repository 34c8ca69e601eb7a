// The chord and twist laws of the final blade and its stations (hub, element centres, tip).
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "util/shared.h"

namespace blade {

using shared::Coeffs;

// Pure laws over given coefficients (x = relative radius).
// Chord: c1 - x*(c2 - x*(c3 - x*(c4 - x*c5))).
double chord_law(const Coeffs& a, double x);
// Twist in degrees without setting angle: the same polynomial up to the joint at 0.7 (single
// precision), its tangent at the joint beyond it.
double twist_law(const Coeffs& b, double x);

// The least relative chord a blade may have anywhere from hub to tip: 0.1 % of the tip radius
// (1 mm on a rotor of 1 m). The optimiser refuses every trial whose chord law falls below it, and
// a starting law that does is raised to it (hold_chord_law): no blade is built with a chord of
// zero or less.
inline constexpr double kChordFloor = 0.001;

// The least value of the chord law over [x_lo, x_hi] on the continuous law, not only at stations:
// the smaller of its values at the ends and at the interior minima (the roots of its cubic
// derivative, each isolated between the turning points of the derivative and found by
// bisection). NaN when a coefficient or a bound is not finite.
double chord_law_min(const Coeffs& a, double x_lo, double x_hi);

// Whether the chord law keeps at least kChordFloor from x_hub to the tip (x = 1).
bool chord_law_buildable(const Coeffs& a, double x_hub);

// The chord law raised, where needed, so that it keeps kChordFloor from x_hub to the tip: the
// same law with a1 increased by the least amount that lifts its minimum to the floor (every
// chord grows by that amount, the shape stays). A law that already keeps the floor, or whose
// coefficients are not finite, comes back unchanged, bit for bit.
Coeffs hold_chord_law(const Coeffs& a, double x_hub);

// Five reals in one free-form read from `path` (which must exist).
Coeffs read_coeffs(const std::string& path);

// The chord and twist laws of one blade.
struct Laws {
  Coeffs chord{};
  Coeffs twist{};
};

// Chord and twist at the hub, which the table prints but the blade arrays do not hold.
struct HubStation {
  double chord;  // relative chord
  double twist;  // degrees, setting angle included
};

// The element arrays of laws a (chord) and b (twist) without setting angle, as the optimiser rates
// its trial blades: r (nbe element centres, accumulated from the hub), dr, chord and twist
// (nbe + 1 each, the tip last). Arrays are 0-based.
void law_arrays(const Coeffs& a, const Coeffs& b, std::int64_t nbe, double rtip, double rhub,
                std::span<double> r, double& dr, std::span<double> twist, std::span<double> chord);

// The blade arrays of the final blade: law_arrays with pitchinitial added to every twist, and the
// hub station (twist with pitchinitial).
HubStation blade_arrays(const Coeffs& a, const Coeffs& b, std::int64_t nbe, double rtip,
                        double rhub, std::span<double> r, double& dr, std::span<double> twist,
                        double pitchinitial, std::span<double> chord);

}  // namespace blade
