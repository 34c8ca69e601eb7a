#include "loads/aero.h"

#include <algorithm>
#include <cmath>
#include <optional>
#include <vector>

#include "aerofoil/post_stall.h"
#include "util/shared.h"

namespace loads {

namespace {

using shared::kPi;
// Degrees per radian from the single-precision pi, as the element solver turns its angles.
constexpr double kDegreesPerRadian = 180.0 / kPi;

// The drag coefficient of element i when its section is round.
std::optional<double> round_cd(const Rotor& rotor, std::size_t i) {
  const blade::Section* s = blade::element_section(rotor, i);
  if (s == nullptr || !s->cylinder) return std::nullopt;
  return s->cylinder_cd;
}

// Thrust and torque of all blades from the elements' forces per metre.
void sum_forces(const Rotor& rotor, PointResult& p) {
  const double B = static_cast<double>(rotor.Numb);
  const double width = rotor.dr * rotor.rtip;
  double thrust = 0.0, torque = 0.0;
  for (const ElementResult& e : p.elements) {
    thrust += e.fn * width;
    torque += e.ft * width * e.radius;
  }
  p.thrust = B * thrust;
  p.torque = B * torque;
  p.power = p.torque * p.omega;
}

}  // namespace

PointResult operating_point(const Rotor& rotor, double rho, double U, double lambda, double theta) {
  const std::size_t n = static_cast<std::size_t>(rotor.nbe);
  std::vector<double> alpha(n);
  std::vector<calc_mod::ElementState> states(n);
  PointResult p;
  p.U = U;
  p.lambda = lambda;
  p.theta = theta;
  p.omega = lambda * U / rotor.rtip;
  p.rpm = p.omega * 60.0 / 2.0 / kPi;
  const std::vector<const aerofoil::Polar*> polars = blade::element_polars(rotor);
  // The loads' elements all have width dr.
  calc_mod::Inputs in = calc_mod::blade_inputs(rotor, polars, U, lambda, theta);
  in.widths = {};
  calc_mod::calc_elements(in, alpha, p.cp, states);
  const double q = 0.5 * rho * U * U;
  p.elements.resize(n);
  for (std::size_t i = 0; i < n; ++i) {
    const calc_mod::ElementState& s = states[i];
    ElementResult& e = p.elements[i];
    e.radius = rotor.r[i] * rotor.rtip;
    e.chord = rotor.chord[i] * rotor.rtip;
    e.twist = rotor.twist[i] + theta;
    e.phi = s.phi * kDegreesPerRadian;
    e.alpha = s.alpha;
    e.a = s.a;
    e.ap = s.ap;
    e.F = s.F;
    e.re = s.re;
    e.cl = s.cl;
    e.cd = s.cd;
    e.speed = s.W * U;
    e.end = s.end;
    e.W = s.W;
    e.sphi = s.sphi;
    e.cphi = s.cphi;
    const double pressure = q * s.W * s.W * e.chord;
    e.fn = pressure * (s.cl * s.cphi + s.cd * s.sphi);
    e.ft = pressure * (s.cl * s.sphi - s.cd * s.cphi);
    const std::optional<double> round = round_cd(rotor, i);
    if (round && s.end == calc_mod::ElementEnd::kUnloaded) {
      // A round element has no windmill state (its drag only brakes the rotor), so the solver
      // leaves it out of the power; the wind still meets it, undisturbed (a = a' = 0), and its
      // drag loads the blade: W^2 = 1 + (lambda r)^2, sin phi = 1 / W, cos phi = lambda r / W.
      const double lr = lambda * rotor.r[i];
      const double W = std::sqrt(1.0 + lr * lr);
      e.phi = std::atan2(1.0, lr) * kDegreesPerRadian;
      e.alpha = calc_mod::undisturbed_alpha(lr, e.twist);
      e.a = e.ap = 0.0;
      e.F = 1.0;
      e.cl = 0.0;
      e.cd = *round;
      e.speed = W * U;
      e.re = e.speed * e.chord / calc_mod::kNu;
      const double round_pressure = q * W * W * e.chord;
      e.fn = round_pressure * e.cd / W;
      e.ft = -round_pressure * e.cd * lr / W;
    }
  }
  sum_forces(rotor, p);
  p.ct = p.thrust / (q * kPi * rotor.rtip * rotor.rtip);
  return p;
}

double element_cp(const Rotor& rotor, double lambda, const std::vector<ElementResult>& elements) {
  const double B = static_cast<double>(rotor.Numb);
  double cp = 0.0;
  for (std::size_t i = 0; i < elements.size(); ++i) {
    const ElementResult& e = elements[i];
    if (e.end == calc_mod::ElementEnd::kUnloaded || e.end == calc_mod::ElementEnd::kNoBlade) {
      continue;
    }
    const double G = B * e.W * e.W * rotor.chord[i] * rotor.dr / kPi;
    cp = cp + lambda * rotor.r[i] * G * (e.cl * e.sphi - e.cd * e.cphi);
  }
  return cp;
}

double aspect_ratio(const Rotor& rotor) {
  double area = 0.0;
  for (std::int64_t i = 0; i < rotor.nbe; ++i) {
    area += rotor.chord[static_cast<std::size_t>(i)] * rotor.dr;
  }
  const double span = 1.0 - rotor.rhub / rotor.rtip;
  return area > 0.0 ? span * span / area : 0.0;
}

PointResult parked(const Rotor& rotor, double rho, double V) {
  const std::size_t n = static_cast<std::size_t>(rotor.nbe);
  const double cd_max = aerofoil::flat_plate_cd_max(aspect_ratio(rotor));
  const std::vector<const aerofoil::Polar*> polars = blade::element_polars(rotor);
  const double q = 0.5 * rho * V * V;
  PointResult p;
  p.U = V;
  p.elements.resize(n);
  for (std::size_t i = 0; i < n; ++i) {
    ElementResult& e = p.elements[i];
    e.radius = rotor.r[i] * rotor.rtip;
    e.chord = rotor.chord[i] * rotor.rtip;
    e.twist = rotor.twist[i];
    e.phi = 90.0;
    e.alpha = 90.0 - e.twist;
    e.F = 1.0;
    e.re = V * e.chord / calc_mod::kNu;
    const std::optional<double> round = round_cd(rotor, i);
    const aerofoil::LiftDrag c = round ? aerofoil::LiftDrag{0.0, *round}
                                 : !polars.empty()
                                     ? aerofoil::landd_extended(*polars[i], e.alpha, e.re, cd_max)
                                     : aerofoil::landd_extended(e.alpha, e.re, cd_max);
    e.cl = c.cl;
    e.cd = c.cd;
    e.speed = V;
    e.W = 1.0;
    e.sphi = 1.0;
    // The wind meets the blade along the axis: drag pushes it downwind, lift turns it.
    e.fn = q * e.chord * c.cd;
    e.ft = q * e.chord * c.cl;
  }
  sum_forces(rotor, p);
  p.ct = p.thrust / (q * kPi * rotor.rtip * rotor.rtip);
  return p;
}

}  // namespace loads
