// The starting blade: aerofoil menu, station-by-station design at the design tip speed ratio,
// and the least-squares chord and twist laws fitted to it.
#pragma once

#include <array>
#include <cstdint>

namespace textio {
class Console;
}

namespace calc_param {

using Coeffs = std::array<double, 5>;

// Shows the aerofoil menu on `con`, reads the choice, copies and loads the aerofoil's data,
// designs 46 stations with a progress bar and returns the chord law a (a1..a5) and twist law
// b (b1..b5) in the alternating form c1 - c2*x + c3*x^2 - c4*x^3 + c5*x^4.
void param(textio::Console& con, std::int64_t Numb, double rhub, double rtip, Coeffs& a, Coeffs& b);

}  // namespace calc_param
