// Performance sweeps of the four turbine types and the site's energy yield.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "util/files.h"

namespace textio {
class OutFile;
}

namespace driver {

// The designed rotor, as the main program holds it (arrays 0-based; chord and twist have
// nbe + 1 entries, the last one the tip; twists include the initial setting angle).
struct Rotor {
  std::int64_t Numb;
  std::int64_t nbe;
  double rhub;
  double rtip;
  double dr;
  std::span<const double> r;
  std::span<const double> twist;
  std::span<const double> chord;
};

// The site and the wind-speed range of one sweep.
struct Site {
  double Ucin;
  double Ucout;
  double Umid;
  double h;
  double SeaL;
};

// Each writes its header, 23 rows and the energy lines into `out` (Result/EnergyN.out).
// Types 1 and 4 also rewrite Temp/graph.tmp, Temp/graph1.tmp and Temp/mpl.tmp.
void sweep_variable_speed(const Rotor& rotor, const Site& site, textio::OutFile& out);
void sweep_two_speed(const Rotor& rotor, const Site& site, double omega1, textio::OutFile& out);
void sweep_constant_speed(const Rotor& rotor, const Site& site, double omega, textio::OutFile& out);
// Returns the setting angle of the last row.
double sweep_pitch(const Rotor& rotor, const Site& site, double omega, double MPL,
                   textio::OutFile& out);

// ---------------------------------------------------------------------------------------------
// Building blocks of the sweeps: pure functions over plain values.

// Number of wind speeds of a sweep: cut-in, 21 inner speeds, cut-out.
inline constexpr int kSpeeds = static_cast<int>(files::kSweepRows);

// Wind speed of sweep point j (0 ... 22): j*(Ucout - Ucin)/22 + Ucin, multiplied before divided;
// the first point is Ucin and the last Ucout exactly as entered.
double sweep_speed(int j, double Ucin, double Ucout);

// Power (W) of power coefficient CP at wind speed U through the annulus between hub and tip:
// CP * 0.5 * rho * pi * (rtip^2 - rhub^2) * U^3, a product taken left to right whose last factor
// is the cube (U*U)*U.
double rotor_power(double CP, double rho, double rtip, double rhub, double U);

// Tip speed ratio of rotational speed n (rpm) at wind speed U, and the inverse.
double tip_speed_ratio(double n, double U, double rtip);
double rotational_speed(double U, double lambda, double rtip);

// Speed limit (rpm) of the variable-speed rotor at sweep point j: tip speed 70 m/s at cut-in,
// 80 m/s above it.
double speed_cap(int j, double rtip);

// The search grids: tip speed ratios 5 ... 12 (i = 0 ... 50) of the variable-speed rotor;
// setting angles -15 ... 40 deg (k = 0 ... 100) of the pitch rotor's coarse search; -15 ... 8 deg
// (inner points) and -15 ... 15 deg (the cut-out point) of its power-limit search
// (k = 0 ... 1000).
inline constexpr int kRatioSteps = 51;
inline constexpr int kCoarseSteps = 101;
inline constexpr int kLimitSteps = 1001;
double ratio_grid(int i);
double coarse_angle(int k);
double limit_angle(int k, bool cut_out);

// Index of the first value strictly greater than every value before it and than `start`, i.e.
// the first of equal maxima above `start`; values.size() when none is (NaN is never greater).
std::size_t first_best(std::span<const double> values, double start);

// The angle the power-limit search settles on, given the powers of its grid in order: the first
// index whose |P - MPL| truncates to the smallest whole number; a NaN or infinite difference is
// never taken. powers.size() when no difference is finite. When the powers bring the rotor within
// the band this is where the repeated walk stops; when they cannot, it is the angle closest to the
// limit, and the search still ends after one pass.
std::size_t power_limit_pick(std::span<const double> powers, double MPL);

// The arguments of one solver call: wind speed, tip speed ratio and setting angle.
struct SolverPoint {
  double U;
  double lambda;
  double theta;
};

// Power coefficients of independent operating points (cp.size() == points.size()), computed on
// the machine's cores; each entry is what one solver call gives, whatever the thread count.
void cp_batch(const Rotor& rotor, std::span<const SolverPoint> points, std::span<double> cp);

}  // namespace driver
