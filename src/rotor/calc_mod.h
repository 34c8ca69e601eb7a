// Blade element momentum solver: the power coefficient of the rotor at one operating point.
#pragma once

#include <cstdint>
#include <span>

namespace calc_mod {

// Arrays are 0-based here: element i of the blade is r[i-1], twist[i-1], chord[i-1], alpha[i-1];
// only the first nbe entries are used. r and chord are relative to rtip, twist in degrees.
// U wind speed (m/s), lambda tip speed ratio, theta setting angle (degrees) added to every twist.
// Fills alpha (degrees) and CP. rhub is not used by the calculation.
void calc(std::int64_t Numb, std::int64_t nbe, double dr, double rhub, double rtip,
          std::span<const double> r, std::span<const double> twist, std::span<const double> chord,
          std::span<double> alpha, double U, double lambda, double& CP, double theta);

}  // namespace calc_mod
