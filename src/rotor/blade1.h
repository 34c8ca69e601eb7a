// The trial blade of the optimiser: the same laws as the final blade, on the trial coefficient
// files Temp/Parameters1.in and Temp/Parameterst1.in.
#pragma once

#include <cstdint>
#include <span>

#include "blade/laws.h"

namespace blade1 {

double chd(double x);  // reads Temp/Parameters1.in
double t1(double x);   // reads Temp/Parameterst1.in

// Fills r (nbe), dr, twist and chord (nbe + 1 each, last entry the tip), 0-based, without
// setting angle.
void chortwist1(std::int64_t nbe, double rtip, double rhub, std::span<double> r, double& dr,
                std::span<double> twist, std::span<double> chord);

// The same trial blade from coefficients held in memory: a (chord) and b (twist) stand for the
// contents of the two trial files. Coefficients written to a file in free form read back as the
// same doubles, so this fills exactly what chortwist1 fills after those files were written.
void chortwist1(std::int64_t nbe, double rtip, double rhub, const blade::Coeffs& a,
                const blade::Coeffs& b, std::span<double> r, double& dr, std::span<double> twist,
                std::span<double> chord);

}  // namespace blade1
