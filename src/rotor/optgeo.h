// Optimisation of the chord and twist laws for the site's design wind speed.
#pragma once

#include <array>
#include <cstdint>

namespace textio {
class Console;
}

namespace geometry {

using Coeffs = std::array<double, 5>;

// Finds the design wind speed for the site's mean Umid, then searches the ten law coefficients
// one at a time. Leaves the best laws in Temp/Parameters.in and Temp/Parameterst.in (and the
// last trials in Temp/Parameters1.in, Temp/Parameterst1.in); writes its progress lines to con.
void optgeo(textio::Console& con, std::int64_t Numb, std::int64_t nbe, double rtip, double rhub,
            double Umid, const Coeffs& a, const Coeffs& b);

}  // namespace geometry
