// Performance sweeps of the four turbine types and the site's energy yield.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

#include "blade/rotor_blade.h"
#include "util/files.h"

namespace textio {
class OutFile;
}

namespace sweep {

// The rotor of every sweep is a blade::Blade: the designed blade (rotorforge) or any other
// (rotorforge-analyse).
using Rotor = blade::Blade;

// The site and the wind-speed range of one sweep.
struct Site {
  double Ucin;
  double Ucout;
  double Umid;
  double h;
  double SeaL;
};

// One row per wind speed: U, lambda, CP, P, n and (type 4) theta.
using Row = files::SweepRow;
using Rows = std::array<Row, files::kSweepRows>;

// The rows of the four sweeps, as the tables below show them.
Rows variable_speed_rows(const Rotor& rotor, const Site& site);
Rows two_speed_rows(const Rotor& rotor, const Site& site, double omega1);
Rows constant_speed_rows(const Rotor& rotor, const Site& site, double omega);
Rows pitch_rows(const Rotor& rotor, const Site& site, double omega, double MPL);

// The site's average power (W) of a sweep's rows: the Rayleigh-weighted trapezoid over the 23
// points the tables end with.
double site_average_power(const Site& site, const Rows& rows);

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
// The other way: the step of the grid whose value lies nearest (half a step rounded away from
// the first), none for a value beyond the grid's ends; what a table's rounded figure was.
std::optional<int> ratio_step(double lambda);
std::optional<int> coarse_step(double theta);
std::optional<int> limit_step(double theta, bool cut_out);

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
// the machine's cores; each entry is what one solver call gives, whatever the thread count. A
// blade on the loaded tables with equal widths runs on the lane engine, any other (several
// sections, a cylinder, widths of its own) on the scalar solver, with the same bits.
void cp_batch(const Rotor& rotor, std::span<const SolverPoint> points, std::span<double> cp);
// The same with the tip-loss factor switched off (F = 1: Glauert's rotor of infinitely many
// blades), always on the scalar solver.
void cp_batch(const Rotor& rotor, std::span<const SolverPoint> points, std::span<double> cp,
              bool tip_loss);

}  // namespace sweep
