// Lift and drag coefficients of the loaded aerofoil at any angle of attack and Reynolds number:
// linear in log10(Re) between neighbouring columns, linear in the angle within a column, held at
// the table's edges.
#pragma once

#include <cstdint>

namespace aerofoil {

// alpha in degrees, re the Reynolds number; cl and cd receive the coefficients.
void landd(double alpha, double re, double& cl, double& cd);

// Column i (1 ... 7) at angle alpha (degrees).
void interp(std::int32_t i, double alpha, double& cl, double& cd);

}  // namespace aerofoil
