// The rotor's aerodynamics element by element: at an operating point from the solver the sweeps
// use, and standing still in a storm.
#pragma once

#include <cstdint>
#include <vector>

#include "aerofoil/polar.h"
#include "blade/rotor_blade.h"
#include "rotor/calc_mod.h"

namespace loads {

// The rotor of the loads is the blade as the sweeps hand it to the solver: every element of
// width dr, on the loaded polar tables or, when the blade has sections, on its own section's
// polar (a round section, a cylinder, with its drag coefficient and no lift at every angle).
using Rotor = blade::Blade;

struct ElementResult {
  double radius = 0.0;  // m
  double chord = 0.0;   // m
  double twist = 0.0;   // deg, setting included
  double phi = 0.0;     // inflow angle, deg
  double alpha = 0.0;   // deg
  double a = 0.0, ap = 0.0, F = 0.0, re = 0.0, cl = 0.0, cd = 0.0;
  double speed = 0.0;  // relative speed, m/s
  double fn = 0.0;     // force per metre normal to the plane of rotation (downwind), N/m
  double ft = 0.0;     // in the plane, in the direction of rotation, N/m
  calc_mod::ElementEnd end = calc_mod::ElementEnd::kIterated;
  // What the element adds to the power coefficient, as the solver adds it.
  double W = 0.0, sphi = 0.0, cphi = 0.0;
};

struct PointResult {
  double U = 0.0, lambda = 0.0, theta = 0.0;
  double omega = 0.0;  // rad/s
  double rpm = 0.0;
  double cp = 0.0;      // the solver's
  double thrust = 0.0;  // N, all blades
  double torque = 0.0;  // N m, all blades
  double power = 0.0;   // torque x omega, W
  double ct = 0.0;      // thrust / (q pi R^2)
  std::vector<ElementResult> elements;
};

// The rotor at wind speed U (m/s), tip speed ratio lambda and setting angle theta (deg) in air
// of density rho: one solver call, element by element.
PointResult operating_point(const Rotor& rotor, double rho, double U, double lambda, double theta);

// The power coefficient summed from the elements' tangential forces the way the solver sums
// them: lambda r_i B W^2 c_i dr (Cl sin phi - Cd cos phi) / pi, in element order.
double element_cp(const Rotor& rotor, double lambda, const std::vector<ElementResult>& elements);

// Span^2 / planform area of the blade between hub and tip.
double aspect_ratio(const Rotor& rotor);

// The rotor standing still (no rotation, no induction) in wind V: every element meets the wind
// at 90 deg minus its twist, with lift and drag beyond the polar from the Viterna-Corrigan
// extension to a flat plate of the blade's aspect ratio, each element on its own section's polar;
// a round section has no lift and its drag coefficient there too.
PointResult parked(const Rotor& rotor, double rho, double V);

}  // namespace loads
