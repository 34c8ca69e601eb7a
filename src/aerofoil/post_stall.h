// Lift and drag beyond the angles a polar holds: the Viterna-Corrigan extension, which joins the
// polar's last value smoothly to a flat plate that reaches its largest drag broadside (90 deg).
// For loads on a blade standing in the wind, where the angle of attack lies far beyond stall.
#pragma once

namespace aerofoil {

struct Polar;

// Drag of a flat plate broadside to the flow, for a blade of aspect ratio `aspect_ratio`
// (span^2 / planform area): 1.11 + 0.018 AR, 2.01 from AR 50 on (the two-dimensional plate).
double flat_plate_cd_max(double aspect_ratio) noexcept;

struct LiftDrag {
  double cl = 0.0;
  double cd = 0.0;
};

// Viterna-Corrigan from the match point (alpha_s, cl_s, cd_s) to alpha, degrees:
//   Cl = CDmax/2 sin 2a + A2 cos^2 a / sin a,  Cd = CDmax sin^2 a + B2 cos a,
// with A2 and B2 such that the match point is reproduced. Meant for |alpha| up to 180 degrees
// beyond the match point, on the match point's side (alpha = 0 or 180 has no lift value).
LiftDrag viterna(double alpha_s, double cl_s, double cd_s, double alpha, double cd_max) noexcept;

// Lift and drag of the loaded polar at any angle of attack: the polar's own values (landd)
// within the angles both of the Reynolds number's columns hold, Viterna-Corrigan matched at the
// polar's last (or first) angle beyond them.
LiftDrag landd_extended(double alpha, double re, double cd_max) noexcept;
// The same on the tables of p: what the loaded tables' extension gives when p is loaded.
LiftDrag landd_extended(const Polar& p, double alpha, double re, double cd_max) noexcept;

}  // namespace aerofoil
