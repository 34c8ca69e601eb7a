// The starting blade: aerofoil menu, station-by-station design at the design tip speed ratio,
// and the least-squares chord and twist laws fitted to it.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "util/shared.h"

namespace textio {
class Console;
}

namespace calc_param {

using shared::Coeffs;

// Shows the aerofoil menu on `con`, reads the choice, copies and loads the aerofoil's data,
// designs 46 stations with a progress bar and returns the chord law a (a1..a5) and twist law
// b (b1..b5) in the alternating form c1 - c2*x + c3*x^2 - c4*x^3 + c5*x^4.
void param(textio::Console& con, std::int64_t Numb, double rhub, double rtip, Coeffs& a, Coeffs& b);

// ---------------------------------------------------------------------------------------------
// Kernels of the design, pure apart from reading the loaded polar tables.

inline constexpr int kStations = 46;
inline constexpr int kTwistCandidates = 1000;
inline constexpr int kChordCandidates = 1000;

// Design tip speed ratio for B blades: a quartic in B up to 12 blades, 1 beyond.
double design_tip_speed_ratio(std::int64_t B);

// Centres of 46 equal slices between hub and tip, relative to rtip, accumulated from the first;
// dx receives the slice width.
void stations(double rhub, double rtip, std::span<double, kStations> x, double& dx);

// What the design carries from station to station: the tangential induction factor (never reset)
// and the lift and drag of the best ratio last found (kept when a twist search finds none).
struct DesignState {
  double ap = 0.0;
  double cl = 0.0;
  double cd = 0.0;
};

// One station at relative radius x: the smallest chord candidate whose converged balance has
// 1 - a within [0.45, 0.67] (or the last one, 0.3), and the twist at the best lift-to-drag ratio
// of its last twist search, never above `prev_twist` when `lower` is set (stations after the
// first). chord relative to rtip, twist in degrees.
void design_station(std::int64_t Numb, double rtip, double lambda_d, double x, bool lower,
                    double prev_twist, DesignState& state, double& chord, double& twist);

// Least-squares quartic through (x, y) at the 23 even stations x[1], x[3], ..., x[45], via the
// discrete orthogonal polynomials of the equally spaced points, returned in the alternating form
// (the x and x^3 coefficients with their signs reversed). dx is the station spacing.
void fit(std::span<const double, kStations> x, double dx, std::span<const double, kStations> y,
         Coeffs& c);

// Bytes of the progress display after station i (1 ... 46): the bar of i blocks and 46 - i
// blanks, backspaces to the end of the blocks, the percentage as I3 and "%", and backspaces to
// the start of the bar. The block is byte 219 (a full block in code page 437), or the UTF-8 full
// block U+2588 when `utf8_block` is set (a terminal of today).
std::string progress_bytes(int i, bool utf8_block);

}  // namespace calc_param
