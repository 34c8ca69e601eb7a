// The chord and twist laws of the final blade and its stations (hub, element centres, tip).
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "util/shared.h"

namespace textio {
class Console;
class OutFile;
}  // namespace textio

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

// The laws of the final blade, reading Temp/Parameters.in and Temp/Parameterst.in on every call.
double chd(double x);
double t1(double x);

// Chord and twist at the hub, which the table prints but the blade arrays do not hold.
struct HubStation {
  double chord;  // relative chord
  double twist;  // degrees, setting angle included
};

// The blade arrays of laws a (chord) and b (twist): r (nbe), dr, chord and twist (nbe + 1 each,
// the tip last; twists include pitchinitial), and the hub station, evaluated as chortwist
// evaluates them. Arrays are 0-based.
HubStation blade_arrays(const Coeffs& a, const Coeffs& b, std::int64_t nbe, double rtip,
                        double rhub, std::span<double> r, double& dr, std::span<double> twist,
                        double pitchinitial, std::span<double> chord);

// First phase of chortwist: fills r (nbe), dr, chord and twist (nbe + 1 each, the last entry
// being the tip; twists include pitchinitial), writes an empty record to the console and the
// geometry table into geometry_out. Arrays are 0-based.
HubStation stations(textio::Console& con, textio::OutFile& geometry_out, std::int64_t nbe,
                    double rtip, double rhub, std::span<double> r, double& dr,
                    std::span<double> twist, double pitchinitial, std::span<double> chord);

}  // namespace blade
