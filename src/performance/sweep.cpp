#include "performance/sweep.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cmath>
#include <limits>
#include <optional>
#include <string_view>
#include <vector>

#include "performance/energy.h"
#include "rotor/calc_lanes.h"
#include "rotor/calc_mod.h"
#include "textio/textio.h"
#include "util/files.h"
#include "util/parallel.h"

namespace sweep {
namespace {

using energy::air_density;
using energy::hub_wind;
using shared::kPi;

// Tip speeds (m/s) that bound the variable-speed rotor, as rpm numerators: 60 * v / 2.
constexpr double kCapFirst = 2100.0;  // 70 m/s at cut-in
constexpr double kCapOther = 2400.0;  // 80 m/s above it

// The coarse search starts below any power coefficient a rotor can have.
constexpr double kCoarseStart = -2.0;

constexpr std::size_t kLast = kSpeeds - 1;

std::array<double, kSpeeds> sweep_speeds(const Site& site) {
  std::array<double, kSpeeds> U{};
  for (int j = 0; j < kSpeeds; ++j)
    U[static_cast<std::size_t>(j)] = sweep_speed(j, site.Ucin, site.Ucout);
  return U;
}

// The three plot files of the variable-speed and pitch sweeps, created at start-up and rewritten
// from their start by each such sweep.
struct PlotFiles {
  textio::OutFile graph{files::kPlotWinds, true};
  textio::OutFile graph1{files::kPlotPowers, true};
  textio::OutFile mpl{files::kPlotLimit, true};
};

// Rows, energy accumulation and (when given) the plot records, in sweep order; then the energy
// lines after `closing` has run.
template <class Closing>
void finish(const Site& site, double Uh, const Rows& rows, bool with_angle, textio::OutFile& out,
            PlotFiles* plots, Closing closing) {
  energy::EnergySum sum;
  for (std::size_t j = 0; j < kSpeeds; ++j) {
    const Row& p = rows[j];
    energy::energy_add(sum, static_cast<int>(j), p.wind, p.power, Uh);
    if (with_angle) {
      out.write_fmt(files::kSweepRowFormat, {p.wind, p.tsr, p.cp, p.power, p.rpm, p.angle});
    } else {
      out.write_fmt(files::kSweepRowFormat, {p.wind, p.tsr, p.cp, p.power, p.rpm});
    }
    if (plots != nullptr) {
      plots->graph.write({p.wind});
      plots->graph1.write({p.power});
    }
  }
  closing();
  const double Pavg = energy::average_power(site.Ucin, site.Ucout, sum);
  energy::write_energy(out, Pavg, energy::annual_energy(Pavg));
}

void start_table(textio::OutFile& out, std::string_view header) {
  out.write({header});
  out.write();
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Building blocks.

double sweep_speed(int j, double Ucin, double Ucout) {
  if (j <= 0) return Ucin;
  if (j >= kSpeeds - 1) return Ucout;
  return static_cast<double>(j) * (Ucout - Ucin) / 22.0 + Ucin;
}

double rotor_power(double CP, double rho, double rtip, double rhub, double U) {
  // The cube is one factor, (U*U)*U, multiplied in last: U*U*U folded into the running product
  // one factor at a time rounds differently in the last bit for about half of all speeds.
  const double U3 = (U * U) * U;
  return CP * 0.5 * rho * kPi * (rtip * rtip - rhub * rhub) * U3;
}

double tip_speed_ratio(double n, double U, double rtip) {
  return 2.0 * kPi * rtip * n / U / 60.0;
}

double rotational_speed(double U, double lambda, double rtip) {
  return U * lambda * 60.0 / 2.0 / kPi / rtip;
}

double speed_cap(int j, double rtip) {
  return (j == 0 ? kCapFirst : kCapOther) / rtip / kPi;
}

namespace {

// A search grid: value i is i * span / steps + first, i = 0 ... steps.
struct Grid {
  double first, span, steps;
};
constexpr Grid kRatios{5.0, 7.0, 50.0};
constexpr Grid kCoarseAngles{-15.0, 55.0, 100.0};
constexpr Grid kLimitAngles{-15.0, 23.0, 1000.0};
constexpr Grid kCutOutLimitAngles{-15.0, 30.0, 1000.0};
static_assert(kRatioSteps == static_cast<int>(kRatios.steps) + 1);
static_assert(kCoarseSteps == static_cast<int>(kCoarseAngles.steps) + 1);
static_assert(kLimitSteps == static_cast<int>(kLimitAngles.steps) + 1 &&
              kLimitSteps == static_cast<int>(kCutOutLimitAngles.steps) + 1);

double grid_value(const Grid& g, int i) {
  return static_cast<double>(i) * g.span / g.steps + g.first;
}

std::optional<int> grid_step(const Grid& g, double value) {
  const int i = static_cast<int>(std::lround((value - g.first) * g.steps / g.span));
  if (i < 0 || i > static_cast<int>(g.steps)) return std::nullopt;
  return i;
}

}  // namespace

double ratio_grid(int i) {
  return grid_value(kRatios, i);
}

double coarse_angle(int k) {
  return grid_value(kCoarseAngles, k);
}

double limit_angle(int k, bool cut_out) {
  return grid_value(cut_out ? kCutOutLimitAngles : kLimitAngles, k);
}

std::optional<int> ratio_step(double lambda) {
  return grid_step(kRatios, lambda);
}

std::optional<int> coarse_step(double theta) {
  return grid_step(kCoarseAngles, theta);
}

std::optional<int> limit_step(double theta, bool cut_out) {
  return grid_step(cut_out ? kCutOutLimitAngles : kLimitAngles, theta);
}

std::size_t first_best(std::span<const double> values, double start) {
  std::size_t best = values.size();
  double top = start;
  for (std::size_t i = 0; i < values.size(); ++i) {
    if (values[i] > top) {
      top = values[i];
      best = i;
    }
  }
  return best;
}

std::size_t power_limit_pick(std::span<const double> powers, double MPL) {
  // Comparing a whole-number best D with a difference d (D > d) is comparing D with trunc(d), so
  // the running best is kept as the truncated difference, in double to stay exact for any size.
  std::size_t pick = powers.size();
  double best = std::numeric_limits<double>::infinity();
  for (std::size_t k = 0; k < powers.size(); ++k) {
    const double d = std::trunc(std::fabs(powers[k] - MPL));
    if (d < best) {
      best = d;
      pick = k;
    }
  }
  return pick;
}

namespace {

// The scalar solver over the list of calls, on the workers of the pool: each point's own call.
void cp_scalar(const Rotor& rotor, std::span<const SolverPoint> points, std::span<double> cp,
               bool tip_loss) {
  const std::vector<const aerofoil::Polar*> polars = blade::element_polars(rotor);
  std::atomic<std::size_t> next{0};
  parallel::on_workers([&](unsigned) {
    std::vector<double> alpha(rotor.r.size());
    for (std::size_t i = next++; i < points.size(); i = next++) {
      const SolverPoint& p = points[i];
      calc_mod::Inputs in = calc_mod::blade_inputs(rotor, polars, p.U, p.lambda, p.theta);
      in.tip_loss = tip_loss;
      calc_mod::calc(in, alpha, cp[i]);
    }
  });
}

}  // namespace

void cp_batch(const Rotor& rotor, std::span<const SolverPoint> points, std::span<double> cp,
              bool tip_loss) {
  const std::size_t n = std::min(points.size(), cp.size());
  if (n == 0) return;
  cp_scalar(rotor, points.first(n), cp.first(n), tip_loss);
}

void cp_batch(const Rotor& rotor, std::span<const SolverPoint> points, std::span<double> cp) {
  const std::size_t n = std::min(points.size(), cp.size());
  if (n == 0) return;
  if (!rotor.width.empty() || !blade::element_polars(rotor).empty()) {
    cp_scalar(rotor, points.first(n), cp.first(n), true);
    return;
  }
  // The threads share the list of calls, each advancing several at once on the lane engine; every
  // call writes its own coefficient and nobody looks at the angles of attack.
  std::vector<calc_lanes::Call> calls(n);
  for (std::size_t i = 0; i < n; ++i) {
    const SolverPoint& p = points[i];
    calls[i] = {calc_mod::blade_inputs(rotor, {}, p.U, p.lambda, p.theta), {}, &cp[i], {}};
  }
  std::atomic<std::size_t> next{0};
  parallel::on_workers([&](unsigned) { calc_lanes::solve(calc_lanes::chosen(), calls, next); });
}

double site_average_power(const Site& site, const Rows& rows) {
  const double Uh = hub_wind(site.Umid, site.h);
  energy::EnergySum sum;
  for (std::size_t j = 0; j < kSpeeds; ++j) {
    energy::energy_add(sum, static_cast<int>(j), rows[j].wind, rows[j].power, Uh);
  }
  return energy::average_power(site.Ucin, site.Ucout, sum);
}

// ---------------------------------------------------------------------------------------------
// Type 1: stall control, variable speed.

Rows variable_speed_rows(const Rotor& rotor, const Site& site) {
  const double rho = air_density(site.SeaL);
  const auto U = sweep_speeds(site);

  std::vector<SolverPoint> grid(kSpeeds * kRatioSteps);
  for (std::size_t j = 0; j < kSpeeds; ++j) {
    for (int i = 0; i < kRatioSteps; ++i) {
      grid[j * kRatioSteps + static_cast<std::size_t>(i)] = {U[j], ratio_grid(i), 0.0};
    }
  }
  std::vector<double> cp(grid.size());
  cp_batch(rotor, grid, cp);

  // The best ratio of every speed; a speed where no ratio gives a positive coefficient keeps the
  // ratio of the speed before (a rotor standing still at the first one). Capped points get their
  // own coefficient afterwards, all in one batch.
  Rows rows{};
  std::vector<SolverPoint> capped;
  std::vector<std::size_t> capped_row;
  double lambda = 0.0;
  for (std::size_t j = 0; j < kSpeeds; ++j) {
    const std::span<const double> row_cp(cp.data() + j * kRatioSteps, kRatioSteps);
    const std::size_t best = first_best(row_cp, 0.0);
    double CP = 0.0;
    if (best < row_cp.size()) {
      CP = row_cp[best];
      lambda = ratio_grid(static_cast<int>(best));
    }
    double n = rotational_speed(U[j], lambda, rotor.rtip);
    const double n_max = speed_cap(static_cast<int>(j), rotor.rtip);
    if (n >= n_max) {
      n = n_max;
      lambda = tip_speed_ratio(n, U[j], rotor.rtip);
      capped.push_back({U[j], lambda, 0.0});
      capped_row.push_back(j);
    }
    rows[j] = {U[j], lambda, CP, 0.0, n, 0.0};
  }
  std::vector<double> capped_cp(capped.size());
  cp_batch(rotor, capped, capped_cp);
  for (std::size_t m = 0; m < capped.size(); ++m) rows[capped_row[m]].cp = capped_cp[m];
  for (Row& p : rows) p.power = rotor_power(p.cp, rho, rotor.rtip, rotor.rhub, p.wind);
  return rows;
}

void sweep_variable_speed(const Rotor& rotor, const Site& site, textio::OutFile& out) {
  start_table(out, files::kVariableSpeedHeader);
  PlotFiles plots;
  const double Uh = hub_wind(site.Umid, site.h);
  const Rows rows = variable_speed_rows(rotor, site);
  finish(site, Uh, rows, false, out, &plots, [&] {
    // The greatest power of the sweep, as the plot file of the powers holds it, and never
    // below 0.
    plots.graph.close();
    plots.graph1.close();
    double greatest = 0.0;
    for (const Row& p : rows) {
      if (p.power > greatest) greatest = p.power;
    }
    plots.mpl.write({greatest});
    plots.mpl.close();
  });
}

// ---------------------------------------------------------------------------------------------
// Type 2: stall control, two speeds.

Rows two_speed_rows(const Rotor& rotor, const Site& site, double omega1) {
  const double rho = air_density(site.SeaL);
  const auto U = sweep_speeds(site);
  const double n1 = omega1;
  const double n2 = omega1 * 1.5;

  std::vector<SolverPoint> points(2 * kSpeeds);
  for (std::size_t j = 0; j < kSpeeds; ++j) {
    points[2 * j] = {U[j], tip_speed_ratio(n1, U[j], rotor.rtip), 0.0};
    points[2 * j + 1] = {U[j], tip_speed_ratio(n2, U[j], rotor.rtip), 0.0};
  }
  std::vector<double> cp(points.size());
  cp_batch(rotor, points, cp);

  Rows rows{};
  for (std::size_t j = 0; j < kSpeeds; ++j) {
    // A tie runs at the lower speed; a negative coefficient is reported as it is.
    const bool first = cp[2 * j] >= cp[2 * j + 1];
    const std::size_t m = first ? 2 * j : 2 * j + 1;
    rows[j] = {U[j],
               points[m].lambda,
               cp[m],
               rotor_power(cp[m], rho, rotor.rtip, rotor.rhub, U[j]),
               first ? n1 : n2,
               0.0};
  }
  return rows;
}

void sweep_two_speed(const Rotor& rotor, const Site& site, double omega1, textio::OutFile& out) {
  start_table(out, files::kFixedSpeedHeader);
  const double Uh = hub_wind(site.Umid, site.h);
  finish(site, Uh, two_speed_rows(rotor, site, omega1), false, out, nullptr, [] {});
}

// ---------------------------------------------------------------------------------------------
// Type 3: stall control, one speed.

Rows constant_speed_rows(const Rotor& rotor, const Site& site, double omega) {
  const double rho = air_density(site.SeaL);
  const auto U = sweep_speeds(site);

  std::vector<SolverPoint> points(kSpeeds);
  for (std::size_t j = 0; j < kSpeeds; ++j) {
    points[j] = {U[j], tip_speed_ratio(omega, U[j], rotor.rtip), 0.0};
  }
  std::vector<double> cp(points.size());
  cp_batch(rotor, points, cp);

  Rows rows{};
  for (std::size_t j = 0; j < kSpeeds; ++j) {
    // A stalled rotor that would be driven by the grid is reported as producing nothing.
    const double CP = cp[j] < 0.0 ? 0.0 : cp[j];
    rows[j] = {
        U[j], points[j].lambda, CP, rotor_power(CP, rho, rotor.rtip, rotor.rhub, U[j]), omega, 0.0};
  }
  return rows;
}

void sweep_constant_speed(const Rotor& rotor, const Site& site, double omega,
                          textio::OutFile& out) {
  start_table(out, files::kFixedSpeedHeader);
  const double Uh = hub_wind(site.Umid, site.h);
  finish(site, Uh, constant_speed_rows(rotor, site, omega), false, out, nullptr, [] {});
}

// ---------------------------------------------------------------------------------------------
// Type 4: pitch control, one speed, power limit.

Rows pitch_rows(const Rotor& rotor, const Site& site, double omega, double MPL) {
  const double rho = air_density(site.SeaL);
  const auto U = sweep_speeds(site);
  std::array<double, kSpeeds> lambda{};
  for (std::size_t j = 0; j < kSpeeds; ++j) lambda[j] = tip_speed_ratio(omega, U[j], rotor.rtip);
  const auto power = [&](double CP, std::size_t j) {
    return rotor_power(CP, rho, rotor.rtip, rotor.rhub, U[j]);
  };

  // Coarse search at every point but the cut-out one, all angles of all points in one batch.
  std::vector<SolverPoint> coarse(kLast * kCoarseSteps);
  for (std::size_t j = 0; j < kLast; ++j) {
    for (int k = 0; k < kCoarseSteps; ++k) {
      coarse[j * kCoarseSteps + static_cast<std::size_t>(k)] = {U[j], lambda[j], coarse_angle(k)};
    }
  }
  std::vector<double> coarse_cp(coarse.size());
  cp_batch(rotor, coarse, coarse_cp);

  // Best coarse angle (kCoarseSteps when none beats the start) and its coefficient and power,
  // which decide where the limit applies: the inner points above the limit and always the
  // cut-out point.
  std::array<std::size_t, kSpeeds> coarse_pick{};
  std::array<double, kSpeeds> coarse_CP{};
  std::vector<std::size_t> limited;
  for (std::size_t j = 0; j < kLast; ++j) {
    const std::span<const double> cps(coarse_cp.data() + j * kCoarseSteps, kCoarseSteps);
    coarse_pick[j] = first_best(cps, kCoarseStart);
    double CP = coarse_pick[j] < cps.size() ? cps[coarse_pick[j]] : kCoarseStart;
    if (CP < 0.0) CP = 0.0;
    coarse_CP[j] = CP;
    if (j > 0 && power(CP, j) > MPL) limited.push_back(j);
  }
  limited.push_back(kLast);

  std::vector<SolverPoint> fine(limited.size() * kLimitSteps);
  for (std::size_t m = 0; m < limited.size(); ++m) {
    const std::size_t j = limited[m];
    for (int k = 0; k < kLimitSteps; ++k) {
      fine[m * kLimitSteps + static_cast<std::size_t>(k)] = {U[j], lambda[j],
                                                             limit_angle(k, j == kLast)};
    }
  }
  std::vector<double> fine_cp(fine.size());
  cp_batch(rotor, fine, fine_cp);

  // Rows in sweep order. The angle starts at 0 and passes on from point to point where a search
  // finds nothing: a coarse search with no coefficient above its start, or a power-limit search
  // with no finite difference. An inner point then keeps its coarse result; the cut-out point,
  // which has none, reports no power.
  Rows rows{};
  std::vector<double> fine_P(kLimitSteps);
  double theta = 0.0;
  std::size_t m = 0;
  for (std::size_t j = 0; j < kSpeeds; ++j) {
    double CP = 0.0;
    double P = 0.0;
    if (j < kLast) {
      if (coarse_pick[j] < static_cast<std::size_t>(kCoarseSteps)) {
        theta = coarse_angle(static_cast<int>(coarse_pick[j]));
      }
      CP = coarse_CP[j];
      P = power(CP, j);
    }
    if (m < limited.size() && limited[m] == j) {
      const double* cps = fine_cp.data() + m * kLimitSteps;
      for (std::size_t k = 0; k < kLimitSteps; ++k) fine_P[k] = power(cps[k], j);
      const std::size_t k = power_limit_pick(fine_P, MPL);
      if (k < fine_P.size()) {
        theta = limit_angle(static_cast<int>(k), j == kLast);
        CP = cps[k];
        P = fine_P[k];
      }
      ++m;
    }
    rows[j] = {U[j], lambda[j], CP, P, omega, theta};
  }
  return rows;
}

double sweep_pitch(const Rotor& rotor, const Site& site, double omega, double MPL,
                   textio::OutFile& out) {
  start_table(out, files::kPitchHeader);
  PlotFiles plots;
  const double Uh = hub_wind(site.Umid, site.h);
  const Rows rows = pitch_rows(rotor, site, omega, MPL);
  finish(site, Uh, rows, true, out, &plots, [&] {
    plots.mpl.write({MPL});
    plots.graph.close();
    plots.graph1.close();
    plots.mpl.close();
  });
  return rows[kLast].angle;
}

}  // namespace sweep
