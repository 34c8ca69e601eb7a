// What rotorforge-analyse computes for one blade: the rotor's coefficients against the tip
// speed ratio, the power curves and yearly energy of the four turbine types, with a Weibull wind,
// drivetrain efficiency and availability beyond the core's tables, the start-up of the standing
// rotor, and the blade reshaped for making.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "analyse/blade_file.h"
#include "blade/rotor_blade.h"
#include "performance/sweep.h"
#include "rotor/calc_mod.h"

namespace analysis {

// Wind speed (m/s) of the coefficient curves when none is given: it sets only the Reynolds
// numbers (the design wind of a 5 m/s site).
inline constexpr double kCurveWind = 8.0;

// One point of the CP, CT, CQ curves. CT is the thrust over (rho/2) U^2 pi R^2, CQ the torque
// over (rho/2) U^2 pi R^3 (= CP / lambda), both summed over the elements as CP is.
struct CurvePoint {
  double tsr = 0.0, pitch = 0.0, cp = 0.0, ct = 0.0, cq = 0.0;
};

// The element results at one point: the solver's state of each element.
struct ElementPoint {
  double U = 0.0, tsr = 0.0, pitch = 0.0, cp = 0.0;
  std::vector<calc_mod::ElementState> states;
};

CurvePoint curve_point(const blade::Blade& b, double U, double tsr, double pitch,
                       std::vector<calc_mod::ElementState>* states = nullptr);
std::vector<CurvePoint> curve(const blade::Blade& b, double U, const std::vector<double>& tsrs,
                              const std::vector<double>& pitches);

// The tip speed ratios FROM, FROM + STEP, ... up to TO (within a millionth of a step).
std::vector<double> ratio_range(double from, double to, double step);

// Wind-speed distribution of the yearly energy: Rayleigh of the mean (the core's), or Weibull
// of shape k and scale c (m/s), both at hub height.
struct Wind {
  bool weibull = false;
  double k = 2.0;
  double c = 0.0;  // scale at hub height, m/s
};

// Weibull density (k / c) (U / c)^(k-1) exp(-(U / c)^k).
double weibull(double U, double k, double c);
// The scale of a Weibull wind of shape k and mean `mean`: mean / Gamma(1 + 1/k).
double weibull_scale(double k, double mean);

// Drivetrain and generator: electrical power of a rotor power, a constant efficiency or one
// interpolated linearly in a table against the rotor power (held beyond its ends).
struct Drivetrain {
  double efficiency = 1.0;
  std::vector<std::pair<double, double>> table;  // (rotor power W, efficiency), power rising
  double electrical(double P) const;
};

struct Yield {
  int type = 0;                // 1 ... 4
  sweep::Rows rows{};          // the session's table rows
  double average_power = 0.0;  // W, the core's (Rayleigh, rotor power)
  double annual_energy = 0.0;  // kW h, the core's (8 700 h)
  // Beyond the core: the chosen wind, electrical power, availability and hours.
  double average_electrical = 0.0;  // W
  double energy = 0.0;              // kW h a year
  double rated = 0.0;               // W, largest electrical power of the curve
  double capacity_factor = 0.0;     // energy / (rated x hours)
};

struct SiteSettings {
  sweep::Site site{3.0, 20.0, 5.0, 10.0, 0.0};
  std::optional<double> two_speed, constant_speed, pitch_speed, power_limit;
  Wind wind;
  Drivetrain drivetrain;
  double availability = 1.0;
  double hours = 8700.0;
};

std::vector<Yield> yields(const blade::Blade& b, const SiteSettings& s);

// The standing rotor: torque against wind speed (no rotation, no induction, every element met
// at 90 deg minus its twist, lift and drag beyond the polar from the post-stall extension to a
// flat plate of the blade's aspect ratio), and the wind that overcomes a resisting torque.
struct StartPoint {
  double U = 0.0, torque = 0.0;  // m/s, N m (all blades)
};
struct StartUp {
  std::vector<StartPoint> curve;
  std::optional<double> resisting;   // N m
  std::optional<double> start_wind;  // m/s, first wind whose torque reaches it
};
StartUp start_up(const blade::Blade& b, double rho, std::optional<double> resisting);

// The blade reshaped for making.
struct Reshape {
  std::optional<std::pair<double, double>> linear_chord, linear_twist;  // fractions of the tip
  std::optional<double> min_chord;                                      // m
  std::optional<double> root_cut;                                       // m
  bool any() const { return linear_chord || linear_twist || min_chord || root_cut; }
};
// The file reshaped; throws std::invalid_argument (one line) when the result would have a chord
// of zero or less or a root cut outside the blade.
blade_file::File reshape(const blade_file::File& f, const Reshape& r);

}  // namespace analysis
