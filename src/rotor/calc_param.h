// The starting blade: station-by-station design at the design tip speed ratio on the loaded polar,
// and the least-squares chord and twist laws fitted to it. The twist search of each station is
// twist_search's; the aerofoil menu and the progress bar are the driver's (driver/design_stage).
#pragma once

#include <cstdint>
#include <functional>
#include <span>

#include "util/shared.h"

namespace calc_param {

using shared::Coeffs;

inline constexpr int kStations = 46;
inline constexpr int kChordCandidates = 1000;

// Designs the 46 stations between rhub and rtip on the loaded polar and returns the chord law a
// (a1..a5) and twist law b (b1..b5) in the alternating form c1 - c2*x + c3*x^2 - c4*x^3 + c5*x^4.
// station_done(i) is called as station i = 1 ... 46 is designed.
void design(std::int64_t Numb, double rhub, double rtip, Coeffs& a, Coeffs& b,
            const std::function<void(int)>& station_done);

// ---------------------------------------------------------------------------------------------
// Kernels of the design, pure apart from reading the loaded polar tables.

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

}  // namespace calc_param
