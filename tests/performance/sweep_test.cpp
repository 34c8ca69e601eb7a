#include "performance/sweep.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdint>
#include <functional>
#include <limits>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "performance/energy.h"
#include "performance/energy_detail.h"
#include "performance/sweep_detail.h"
#include "rotor/calc_lanes.h"
#include "rotor/calc_mod.h"
#include "sweep_support.h"
#include "textio/textio.h"
#include "util/parallel.h"
#include "util/parallel_detail.h"
#include "util/shared.h"

namespace {

using sweep_test::Blade;
using sweep_test::same_bits;

using shared::kPi;

// ---------------------------------------------------------------------------------------------
// Building blocks.

TEST(SweepSpeed, TwentyThreeEvenSpeedsEndingAsEntered) {
  // 3 ... 25 m/s (and back) in steps of exactly 1 m/s: every speed is a whole number.
  for (int j = 0; j < sweep::kSpeeds; ++j) {
    EXPECT_EQ(sweep::sweep_speed(j, 3.0, 25.0), 3.0 + j) << j;
    EXPECT_EQ(sweep::sweep_speed(j, 25.0, 3.0), 25.0 - j) << j;
    EXPECT_EQ(sweep::sweep_speed(j, 7.0, 7.0), 7.0) << j;
  }
  // 2.17 ... 18.44 m/s: steps of 16.27 / 22 = 0.73954545... m/s through the midpoint 10.305 m/s;
  // the last speed is 18.44 as entered, although 2.17 + 22 steps rounds to 18.440000000000005.
  struct Case {
    double Ucin, Ucout, mid;
  };
  const Case cases[] = {{2.17, 18.44, 10.305}, {0.29, 14.43, 7.36}, {18.44, 2.17, 10.305}};
  for (const Case& c : cases) {
    EXPECT_EQ(sweep::sweep_speed(0, c.Ucin, c.Ucout), c.Ucin);
    EXPECT_EQ(sweep::sweep_speed(sweep::kSpeeds - 1, c.Ucin, c.Ucout), c.Ucout);
    EXPECT_NEAR(sweep::sweep_speed(11, c.Ucin, c.Ucout), c.mid, 1e-14);
    const double step = (c.Ucout - c.Ucin) / 22.0;
    for (int j = 1; j < sweep::kSpeeds; ++j) {
      EXPECT_NEAR(
          sweep::sweep_speed(j, c.Ucin, c.Ucout) - sweep::sweep_speed(j - 1, c.Ucin, c.Ucout), step,
          1e-14)
          << j;
    }
  }
}

TEST(RotorPower, NothingWithoutAnAnnulus) {
  // Only the annulus between hub and tip counts.
  EXPECT_TRUE(same_bits(sweep::rotor_power(0.4, 1.2, 2.0, 2.0, 10.0), 0.0));
}

TEST(RotorPower, PointsWhereTheCubeDecidesTheLastBit) {
  // Sea-level air (1.225f) through a 0.5 ... 5 m annulus; each expected power was worked out
  // apart from the code, and the product with U folded in three times is one unit in the last
  // place away from it.
  struct Case {
    double CP, U, P;
  };
  const Case cases[] = {
      {0.43, 3.0, 0x1.1475f0dd51c71p+9},
      {0.41, 7.3, 0x1.dabfa0c1ef47ap+12},
      {0.3877, 9.1, 0x1.b2cfc970e6b95p+13},
  };
  const double rho = 1.225000023841858;
  for (const Case& c : cases) {
    EXPECT_TRUE(same_bits(sweep::rotor_power(c.CP, rho, 5.0, 0.5, c.U), c.P)) << c.U;
  }
}

TEST(SpeedCap, TipSpeedsSeventyAndEightyMetresPerSecond) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%.3f", sweep::speed_cap(0, 10.0));
  EXPECT_STREQ(buf, "66.845");
  for (int j = 1; j < 23; ++j) {
    std::snprintf(buf, sizeof buf, "%.3f", sweep::speed_cap(j, 10.0));
    EXPECT_STREQ(buf, "76.394") << j;
  }
  // Tip speed of the capped rotor.
  EXPECT_NEAR(sweep::speed_cap(0, 2.5) * 2.0 * kPi * 2.5 / 60.0, 70.0, 1e-12);
  EXPECT_NEAR(sweep::speed_cap(9, 2.5) * 2.0 * kPi * 2.5 / 60.0, 80.0, 1e-12);
}

TEST(TipSpeedRatio, BothDirectionsByHand) {
  // The tip's speed over the wind's, with the single-precision pi 3.1415927410125732: 120 rpm is
  // 2 rev/s, so a 5 m tip moves at 20 pi m/s, ratio 2 pi in a 10 m/s wind.
  struct Case {
    double n, U, rtip, lambda;
  };
  const Case cases[] = {
      {120.0, 10.0, 5.0, 6.2831854820251465},
      {30.0, 7.5, 5.0, 2.094395160675049},  // 5 pi m/s at the tip
      {267.38029695384955, 8.0, 2.0, 7.0},  // 56 m/s at the tip
  };
  for (const Case& c : cases) {
    EXPECT_NEAR(sweep::tip_speed_ratio(c.n, c.U, c.rtip), c.lambda, 1e-14 * c.lambda) << c.n;
    EXPECT_NEAR(sweep::rotational_speed(c.U, c.lambda, c.rtip), c.n, 1e-14 * c.n) << c.n;
  }
}

TEST(Grids, EndpointsAndStepsByHand) {
  struct Case {
    double value, by_hand;
    bool exact;  // every product and quotient on the way is exact
  };
  const Case cases[] = {
      // Tip speed ratios 5 ... 12 in steps of 0.14.
      {sweep::ratio_grid(0), 5.0, true},
      {sweep::ratio_grid(1), 5.14, false},
      {sweep::ratio_grid(25), 8.5, true},
      {sweep::ratio_grid(sweep::kRatioSteps - 1), 12.0, true},
      // Setting angles -15 ... 40 deg in steps of 0.55 deg.
      {sweep::coarse_angle(0), -15.0, true},
      {sweep::coarse_angle(1), -14.45, false},
      {sweep::coarse_angle(20), -4.0, true},
      {sweep::coarse_angle(sweep::kCoarseSteps - 1), 40.0, true},
      // The power-limit search: -15 ... 8 deg in steps of 0.023 deg at inner points, -15 ... 15
      // deg in steps of 0.03 deg at the cut-out point.
      {sweep::limit_angle(0, false), -15.0, true},
      {sweep::limit_angle(1, false), -14.977, false},
      {sweep::limit_angle(500, false), -3.5, true},
      {sweep::limit_angle(sweep::kLimitSteps - 1, false), 8.0, true},
      {sweep::limit_angle(0, true), -15.0, true},
      {sweep::limit_angle(1, true), -14.97, false},
      {sweep::limit_angle(500, true), 0.0, true},
      {sweep::limit_angle(sweep::kLimitSteps - 1, true), 15.0, true},
  };
  for (const Case& c : cases) {
    if (c.exact) {
      EXPECT_EQ(c.value, c.by_hand);
    } else {
      EXPECT_NEAR(c.value, c.by_hand, 1e-14) << c.by_hand;
    }
  }
}

TEST(FirstBest, StrictlyGreaterFirstOfEqualMaxima) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  struct Case {
    std::vector<double> values;
    double start;
    std::size_t expected;
  };
  const Case cases[] = {
      {{0.1, 0.3, 0.3, 0.2}, 0.0, 1}, {{-0.1, -0.2}, 0.0, 2},  // none above the start
      {{0.0, 0.0}, 0.0, 2},                                    // equal to the start is not better
      {{-0.5, -1.9, -0.5}, -2.0, 0},  {{nan, 0.2, nan, 0.4}, 0.0, 3},
      {{nan, nan}, -2.0, 2},          {{}, 0.0, 0},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(sweep::first_best(c.values, c.start), c.expected);
  }
}

TEST(Row, ExampleLayouts) {
  const std::string five = sweep::row_text(5.0, 7.5, 0.45, 12345.678, 30.0);
  EXPECT_EQ(five, "      5.00               7.50          0.4500        12345.678        30.00");
  EXPECT_EQ(five.size(), 75u);
  const std::string six = sweep::row_text(5.0, 7.5, 0.45, 12345.678, 30.0, -2.5);
  EXPECT_EQ(six, five + "             -2.50");
  EXPECT_EQ(six.size(), 93u);
  // A power of 10^8 W or more does not fit f12.3.
  EXPECT_EQ(sweep::row_text(25.0, 1.0, 0.5, 1.0e8, 30.0),
            "     25.00               1.00          0.5000     ************        30.00");
  EXPECT_EQ(sweep::row_text(3.0, 0.0, 0.0, 0.0, 0.0),
            "      3.00               0.00          0.0000            0.000         0.00");
}

// ---------------------------------------------------------------------------------------------
// Power-limit search.

TEST(PowerLimit, ToleranceAndStartForAThousandWatts) {
  EXPECT_TRUE(same_bits(sweep::limit_tolerance(1000.0), 19.999999552965164));
  EXPECT_EQ(sweep::limit_start(sweep::limit_tolerance(1000.0)), 119);
  EXPECT_EQ(sweep::limit_start(sweep::limit_tolerance(5000.0)), 199);
  EXPECT_EQ(sweep::limit_start(1e300), std::numeric_limits<std::int64_t>::max());
  EXPECT_EQ(sweep::limit_start(-1e300), std::numeric_limits<std::int64_t>::min());
}

// The search as a repeated walk over the grid while the best whole-number difference is above the
// band. It ends after its first pass or never (a second pass cannot lower the best), so three
// passes tell the two apart.
struct Walk {
  bool ended = false;
  std::size_t pick = 0;
  bool picked = false;
};

Walk literal_walk(const std::vector<double>& powers, double MPL) {
  const double tol = sweep::limit_tolerance(MPL);
  std::int64_t D = sweep::limit_start(tol);
  Walk w;
  for (int pass = 0; pass < 3 && static_cast<double>(D) > tol; ++pass) {
    for (std::size_t k = 0; k < powers.size(); ++k) {
      const double d = std::fabs(powers[k] - MPL);
      if (static_cast<double>(D) > d) {
        D = static_cast<std::int64_t>(d);
        w.pick = k;
        w.picked = true;
      }
    }
  }
  w.ended = !(static_cast<double>(D) > tol);
  return w;
}

TEST(PowerLimit, AgreesWithTheRepeatedWalkWhenItEnds) {
  std::mt19937_64 rng(20261207);
  int ended = 0;
  int endless = 0;
  for (int trial = 0; trial < 400; ++trial) {
    const double MPL = std::uniform_real_distribution<double>(500.0, 20000.0)(rng);
    // Powers falling over the grid like a feathering rotor, with noise, some crossing the limit.
    const double top = MPL * std::uniform_real_distribution<double>(0.5, 3.0)(rng);
    std::vector<double> powers(1001);
    std::uniform_real_distribution<double> noise(-0.03, 0.03);
    for (std::size_t k = 0; k < powers.size(); ++k) {
      powers[k] = top * (1.0 - static_cast<double>(k) / 1200.0) * (1.0 + noise(rng));
    }
    const Walk w = literal_walk(powers, MPL);
    const std::size_t pick = sweep::power_limit_pick(powers, MPL);
    ASSERT_LT(pick, powers.size());
    if (w.ended) {
      ++ended;
      EXPECT_EQ(pick, w.pick) << trial;
      EXPECT_LT(std::fabs(powers[pick] - MPL), std::trunc(sweep::limit_tolerance(MPL)) + 1.0);
    } else {
      ++endless;
      // The closest whole-number difference, first in grid order.
      for (std::size_t k = 0; k < powers.size(); ++k) {
        const double dk = std::trunc(std::fabs(powers[k] - MPL));
        const double dp = std::trunc(std::fabs(powers[pick] - MPL));
        EXPECT_TRUE(k < pick ? dk > dp : dk >= dp) << trial << " " << k;
      }
    }
  }
  // Both situations occurred.
  EXPECT_GT(ended, 50);
  EXPECT_GT(endless, 50);
}

TEST(PowerLimit, WholeNumberDifferencesTiesAndNaN) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double inf = std::numeric_limits<double>::infinity();
  struct Case {
    std::vector<double> powers;
    std::size_t expected;
    bool ends;  // whether the repeated walk ends
  };
  const Case cases[] = {
      // 19.9 W off truncates to 19 <= 19.99: the walk ends there; 20.5 truncates to 20 > 19.99.
      {{1030.0, 1019.9, 1010.0}, 2, true},
      {{1100.0, 1020.5, 1060.0}, 1, false},
      {{1019.9, 980.2}, 0, true},  // 19 and 19: the first wins
      {{1005.7, 994.9}, 0, true},  // 5 and 5
      {{1005.7, 995.1}, 1, true},  // 5 and 4
      {{nan, 1200.0, nan, 1150.0}, 3, false},
      {{5000.0, 4000.0}, 1, false},  // never within 100 W of the start: the walk never takes one
      {{inf, nan}, 2, false},
      {{}, 0, false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(sweep::power_limit_pick(c.powers, 1000.0), c.expected);
    const Walk w = literal_walk(c.powers, 1000.0);
    EXPECT_EQ(w.ended, c.ends);
    if (w.ended) {
      EXPECT_EQ(w.pick, c.expected);
    }
  }
}

// ---------------------------------------------------------------------------------------------
// Whole sweeps against a plain sequential evaluation of the same rules.

double cp_at(const sweep::Rotor& rotor, double U, double lambda, double theta) {
  std::vector<double> alpha(static_cast<std::size_t>(rotor.nbe));
  double CP = 0.0;
  calc_mod::calc({rotor.Numb, rotor.nbe, rotor.dr, rotor.rtip, rotor.r, rotor.twist, rotor.chord, U,
                  lambda, theta},
                 alpha, CP);
  return CP;
}

std::string record(std::initializer_list<textio::Out> values) {
  const std::vector<textio::Out> v(values);
  return textio::free_record(v) + "\r\n";
}

std::string formatted(std::string_view format, std::initializer_list<textio::Out> values) {
  const std::vector<textio::Out> v(values);
  return textio::format_record(format, v).text + "\r\n";
}

constexpr std::string_view kRow = "(5X, f5.2, 14X,f5.2, 10X,f6.4, 5X,f12.3, 7X,f6.2, 12X,f6.2)";

struct Expected {
  std::string table;  // Result/EnergyN.out
  std::string graph;  // Temp/graph.tmp
  std::string graph1;
  std::string mpl;
  bool searches_end = true;  // type 4: every power-limit walk ends
};

struct Point {
  double U, lambda, CP, P, n, theta;
};

// Rows, plot records and energy lines of one sweep from its points, with the site's wind
// weighting written out as the plain formulas.
void close_table(Expected& e, const sweep::Site& site, const std::vector<Point>& pts, bool angle,
                 bool plots) {
  const double Uh = std::log(site.h / static_cast<double>(0.025f)) / 5.991464532206821 * site.Umid;
  double w_first = 0.0, w_last = 0.0, S = 0.0;
  for (std::size_t j = 0; j < pts.size(); ++j) {
    const Point& p = pts[j];
    const double x = p.U * 0.5 / Uh;
    const double w = p.P * (std::exp(-(x * x) * kPi) * (p.U * kPi) * 0.5 / Uh / Uh);
    if (j == 0) {
      w_first = w;
    } else if (j == 22) {
      w_last = w;
    } else {
      S = w + S;
    }
    e.table += angle ? formatted(kRow, {p.U, p.lambda, p.CP, p.P, p.n, p.theta})
                     : formatted(kRow, {p.U, p.lambda, p.CP, p.P, p.n});
    if (plots) {
      e.graph += record({p.U});
      e.graph1 += record({p.P});
    }
  }
  const double Pavg = (site.Ucout - site.Ucin) * (2.0 * S + w_first + w_last) / 22.0 / 2.0;
  const double E = Pavg * 8700.0 / 1000.0;
  e.table +=
      "\r\n" + formatted("(A36, f12.2, A5)", {"Average power output for a site P = ", Pavg, "W"});
  e.table += "\r\n" + formatted("(A36, f12.2, A5)", {"Average energy production E = ", E, "kW.h"});
}

double rho_of(const sweep::Site& site) {
  const double T = 288.0 + site.SeaL * static_cast<double>(-0.0065f);
  return 352.8000068664551 * std::pow(T / 288.0, 5.258643911666082) / T;
}

double speed_of(int j, const sweep::Site& site) {
  if (j == 0) return site.Ucin;
  if (j == 22) return site.Ucout;
  return static_cast<double>(j) * (site.Ucout - site.Ucin) / 22.0 + site.Ucin;
}

double power_of(double CP, double rho, const sweep::Rotor& r, double U) {
  return CP * 0.5 * rho * kPi * (r.rtip * r.rtip - r.rhub * r.rhub) * ((U * U) * U);
}

const std::string kHeader1 =
    "  Wind Speed(m/s)   Tip Speed Ratio Perfomance(%)     Power(W)    Turbine Speed(rpm)\r\n\r\n";
const std::string kHeader23 =
    "  Wind Speed(m/s)  Tip Speed Ratio  Perfomance(%)     Power(W)    Turbine Speed1(rpm)\r\n\r\n";
const std::string kHeader4 =
    "  Wind Speed(m/s)  Tip Speed Ratio  Perfomance(%)     Power(W)    Turbine Speed1(rpm)  "
    "Setting Angle(deg)\r\n\r\n";

Expected expect_variable(const sweep::Rotor& r, const sweep::Site& site) {
  Expected e;
  e.table = kHeader1;
  const double rho = rho_of(site);
  std::vector<Point> pts;
  double lambda = 0.0;
  for (int j = 0; j < 23; ++j) {
    const double U = speed_of(j, site);
    double CP_best = 0.0;
    for (int i = 0; i <= 50; ++i) {
      const double li = static_cast<double>(i) * 7.0 / 50.0 + 5.0;
      const double CP = cp_at(r, U, li, 0.0);
      if (CP > CP_best) {
        CP_best = CP;
        lambda = li;
      }
    }
    double n = U * lambda * 60.0 / 2.0 / kPi / r.rtip;
    const double n_max = (j == 0 ? 2100.0 : 2400.0) / r.rtip / kPi;
    if (n >= n_max) {
      n = n_max;
      lambda = 2.0 * kPi * r.rtip * n / U / 60.0;
      CP_best = cp_at(r, U, lambda, 0.0);
    }
    pts.push_back({U, lambda, CP_best, power_of(CP_best, rho, r, U), n, 0.0});
  }
  double greatest = 0.0;
  for (const Point& p : pts) greatest = p.P > greatest ? p.P : greatest;
  close_table(e, site, pts, false, true);
  e.mpl = record({greatest});
  return e;
}

// A sweep of one of the fixed-speed types, whose every row depends only on its own wind speed:
// point_at(U, rho) gives the row.
template <class PointAt>
Expected expect_fixed_speed(const sweep::Site& site, PointAt point_at) {
  Expected e;
  e.table = kHeader23;
  const double rho = rho_of(site);
  std::vector<Point> pts;
  for (int j = 0; j < 23; ++j) pts.push_back(point_at(speed_of(j, site), rho));
  close_table(e, site, pts, false, false);
  return e;
}

Expected expect_two_speed(const sweep::Rotor& r, const sweep::Site& site, double omega1) {
  return expect_fixed_speed(site, [&](double U, double rho) -> Point {
    const double l1 = 2.0 * kPi * r.rtip * omega1 / U / 60.0;
    const double l2 = 2.0 * kPi * r.rtip * (omega1 * 1.5) / U / 60.0;
    const double c1 = cp_at(r, U, l1, 0.0);
    const double c2 = cp_at(r, U, l2, 0.0);
    if (c1 >= c2) return {U, l1, c1, power_of(c1, rho, r, U), omega1, 0.0};
    return {U, l2, c2, power_of(c2, rho, r, U), omega1 * 1.5, 0.0};
  });
}

Expected expect_constant(const sweep::Rotor& r, const sweep::Site& site, double omega) {
  return expect_fixed_speed(site, [&](double U, double rho) -> Point {
    const double lambda = 2.0 * kPi * r.rtip * omega / U / 60.0;
    double CP = cp_at(r, U, lambda, 0.0);
    if (CP < 0.0) CP = 0.0;
    return {U, lambda, CP, power_of(CP, rho, r, U), omega, 0.0};
  });
}

// The pitch sweep with the power-limit walk repeated while above the band (at most three passes;
// a walk that has not ended by then never would, and e.searches_end says so). A walk that would
// not end settles on the first angle whose difference truncates to the smallest whole number.
Expected expect_pitch(const sweep::Rotor& r, const sweep::Site& site, double omega, double MPL) {
  Expected e;
  e.table = kHeader4;
  const double rho = rho_of(site);
  std::vector<Point> pts;
  double theta = 0.0, CP_best = 0.0, P = 0.0;
  auto walk = [&](double U, double lambda, double step) {
    const double tol = MPL * static_cast<double>(0.02f);
    std::int64_t D = static_cast<std::int64_t>(tol + 100.0);
    std::vector<std::array<double, 3>> grid;  // angle, CP, P
    for (int k = 0; k <= 1000; ++k) {
      const double th = static_cast<double>(k) * step / 1000.0 - 15.0;
      const double CP = cp_at(r, U, lambda, th);
      grid.push_back({th, CP, power_of(CP, rho, r, U)});
    }
    int pass = 0;
    while (static_cast<double>(D) > tol && pass < 3) {
      for (const auto& g : grid) {
        const double d = std::fabs(g[2] - MPL);
        if (static_cast<double>(D) > d) {
          D = static_cast<std::int64_t>(d);
          theta = g[0];
          CP_best = g[1];
          P = g[2];
        }
      }
      ++pass;
    }
    if (static_cast<double>(D) > tol) {
      e.searches_end = false;
      double best = std::numeric_limits<double>::infinity();
      for (const auto& g : grid) {
        const double d = std::trunc(std::fabs(g[2] - MPL));
        if (!std::isnan(d) && d < best) {
          best = d;
          theta = g[0];
          CP_best = g[1];
          P = g[2];
        }
      }
    }
  };
  for (int j = 0; j < 23; ++j) {
    const double U = speed_of(j, site);
    const double lambda = 2.0 * kPi * r.rtip * omega / U / 60.0;
    if (j < 22) {
      CP_best = -2.0;
      for (int k = 0; k <= 100; ++k) {
        const double th = static_cast<double>(k) * 55.0 / 100.0 - 15.0;
        const double CP = cp_at(r, U, lambda, th);
        if (CP > CP_best) {
          CP_best = CP;
          theta = th;
        }
      }
      if (CP_best < 0.0) CP_best = 0.0;
      P = power_of(CP_best, rho, r, U);
      if (j > 0 && P > MPL) walk(U, lambda, 23.0);
    } else {
      walk(U, lambda, 30.0);
    }
    pts.push_back({U, lambda, CP_best, P, omega, theta});
  }
  close_table(e, site, pts, true, true);
  e.mpl = record({MPL});
  return e;
}

struct Files {
  std::string table, graph, graph1, mpl;
};

Files read_files(const char* table) {
  return {sweep_test::slurp(table), sweep_test::slurp("Temp/graph.tmp"),
          sweep_test::slurp("Temp/graph1.tmp"), sweep_test::slurp("Temp/mpl.tmp")};
}

// Runs one sweep into Result/Energy<N>.out of a fresh working directory and returns the files.
Files run_sweep(int type, const sweep::Rotor& r, const sweep::Site& site, double speed,
                double MPL = 0.0) {
  sweep_test::WorkDir dir;
  const std::string path = "Result/Energy" + std::to_string(type) + ".out";
  textio::OutFile out(path);
  switch (type) {
    case 1:
      sweep::sweep_variable_speed(r, site, out);
      break;
    case 2:
      sweep::sweep_two_speed(r, site, speed, out);
      break;
    case 3:
      sweep::sweep_constant_speed(r, site, speed, out);
      break;
    default:
      sweep::sweep_pitch(r, site, speed, MPL, out);
      break;
  }
  out.close();
  return read_files(path.c_str());
}

// First line where two texts differ, for a readable failure.
std::string first_difference(const std::string& a, const std::string& b) {
  std::size_t line = 1, start = 0;
  for (std::size_t i = 0; i < a.size() && i < b.size(); ++i) {
    if (a[i] != b[i]) {
      const std::size_t end_a = a.find('\n', start), end_b = b.find('\n', start);
      return "line " + std::to_string(line) + ":\n got      [" + a.substr(start, end_a - start) +
             "]\n expected [" + b.substr(start, end_b - start) + "]";
    }
    if (a[i] == '\n') {
      ++line;
      start = i + 1;
    }
  }
  return a.size() == b.size()
             ? ""
             : "lengths differ: " + std::to_string(a.size()) + " vs " + std::to_string(b.size());
}

#define EXPECT_TEXT(got, expected) \
  EXPECT_TRUE((got) == (expected)) << first_difference((got), (expected))

const sweep::Site kSite{3.0, 25.0, 6.0, 30.0, 200.0};

class Sweep : public ::testing::Test {
 protected:
  void SetUp() override { sweep_test::load_stalling_polar(); }
  void TearDown() override { parallel::set_threads(0); }
};

TEST_F(Sweep, VariableSpeedMatchesTheRulesPointByPoint) {
  Blade b(6, 0.5, 5.0);
  const Files f = run_sweep(1, b.rotor, kSite, 0.0);
  const Expected e = expect_variable(b.rotor, kSite);
  EXPECT_TEXT(f.table, e.table);
  EXPECT_TEXT(f.graph, e.graph);
  EXPECT_TEXT(f.graph1, e.graph1);
  EXPECT_TEXT(f.mpl, e.mpl);
}

TEST_F(Sweep, TwoSpeedMatchesTheRulesPointByPoint) {
  Blade b(6, 0.5, 5.0);
  const Files f = run_sweep(2, b.rotor, kSite, 60.0);
  EXPECT_TEXT(f.table, expect_two_speed(b.rotor, kSite, 60.0).table);
  // Both speeds occur in the table.
  EXPECT_NE(f.table.find("        60.00\r\n"), std::string::npos);
  EXPECT_NE(f.table.find("        90.00\r\n"), std::string::npos);
  // No plot files are written.
  EXPECT_EQ(f.graph, "");
  EXPECT_EQ(f.mpl, "");
}

TEST_F(Sweep, ConstantSpeedMatchesTheRulesPointByPoint) {
  Blade b(6, 0.5, 5.0);
  const Files f = run_sweep(3, b.rotor, kSite, 100.0);
  EXPECT_TEXT(f.table, expect_constant(b.rotor, kSite, 100.0).table);
  EXPECT_EQ(f.graph1, "");
}

TEST_F(Sweep, PitchMatchesTheRepeatedWalkWhereItEnds) {
  Blade b(6, 0.5, 5.0);
  const double MPL = 7000.0;
  const Expected e = expect_pitch(b.rotor, kSite, 100.0, MPL);
  ASSERT_TRUE(e.searches_end);
  const Files f = run_sweep(4, b.rotor, kSite, 100.0, MPL);
  EXPECT_TEXT(f.table, e.table);
  EXPECT_TEXT(f.graph, e.graph);
  EXPECT_TEXT(f.graph1, e.graph1);
  EXPECT_EQ(f.mpl, " 7000.\r\n");
}

TEST_F(Sweep, SameFilesWhateverTheThreadCount) {
  Blade b(6, 0.5, 5.0);
  const int types[] = {1, 2, 3, 4};
  for (int type : types) {
    const double speed = type == 2 ? 60.0 : 100.0;
    parallel::set_threads(1);
    const Files one = run_sweep(type, b.rotor, kSite, speed, 6000.0);
    parallel::set_threads(0);
    const Files many = run_sweep(type, b.rotor, kSite, speed, 6000.0);
    parallel::set_threads(3);
    const Files three = run_sweep(type, b.rotor, kSite, speed, 6000.0);
    for (const Files* f : {&many, &three}) {
      EXPECT_TEXT(f->table, one.table);
      EXPECT_TEXT(f->graph, one.graph);
      EXPECT_TEXT(f->graph1, one.graph1);
      EXPECT_TEXT(f->mpl, one.mpl);
    }
  }
}

TEST_F(Sweep, SameFilesOnEveryEngine) {
  Blade b(6, 0.5, 5.0);
  for (int type : {1, 2, 3, 4}) {
    const double speed = type == 2 ? 60.0 : 100.0;
    calc_lanes::choose(calc_lanes::Engine::Scalar);
    const Files scalar = run_sweep(type, b.rotor, kSite, speed, 6000.0);
    for (calc_lanes::Engine e : calc_lanes::kEngines) {
      if (!calc_lanes::available(e)) continue;
      calc_lanes::choose(e);
      const Files f = run_sweep(type, b.rotor, kSite, speed, 6000.0);
      EXPECT_TEXT(f.table, scalar.table) << calc_lanes::name(e);
      EXPECT_TEXT(f.graph, scalar.graph) << calc_lanes::name(e);
      EXPECT_TEXT(f.graph1, scalar.graph1) << calc_lanes::name(e);
      EXPECT_TEXT(f.mpl, scalar.mpl) << calc_lanes::name(e);
    }
    calc_lanes::choose(calc_lanes::fastest());
  }
}

TEST_F(Sweep, TableLayout) {
  Blade b(5, 0.5, 5.0);
  for (int type : {1, 4}) {
    sweep_test::WorkDir dir;
    {
      textio::OutFile out("Result/Energy.out");
      if (type == 1) {
        sweep::sweep_variable_speed(b.rotor, kSite, out);
      } else {
        sweep::sweep_pitch(b.rotor, kSite, 100.0, 6000.0, out);
      }
      out.close();
    }
    const auto records = sweep_test::read_records("Result/Energy.out");
    ASSERT_EQ(records.size(), 29u);
    EXPECT_EQ(records[0].substr(0, 18), "  Wind Speed(m/s) ");
    EXPECT_EQ(records[1], "");
    for (std::size_t i = 2; i < 25; ++i) EXPECT_EQ(records[i].size(), type == 1 ? 75u : 93u);
    EXPECT_EQ(records[25], "");
    EXPECT_EQ(records[26].substr(0, 36), "Average power output for a site P = ");
    EXPECT_EQ(records[27], "");
    EXPECT_EQ(records[28].substr(0, 36), "      Average energy production E = ");
    EXPECT_EQ(sweep_test::read_records("Temp/graph.tmp").size(), 23u);
    EXPECT_EQ(sweep_test::read_records("Temp/graph1.tmp").size(), 23u);
    EXPECT_EQ(sweep_test::read_records("Temp/mpl.tmp").size(), 1u);
  }
}

TEST_F(Sweep, VariableSpeedCappedAtSeventyAndEightyMetresPerSecondTipSpeed) {
  // A 10 m rotor in strong wind: every point runs into the cap.
  Blade b(5, 1.0, 10.0);
  const sweep::Site site{16.0, 30.0, 7.0, 40.0, 0.0};
  const Files f = run_sweep(1, b.rotor, site, 0.0);
  EXPECT_TEXT(f.table, expect_variable(b.rotor, site).table);
  const auto rows = [&] {
    std::vector<std::string> out;
    std::size_t start = 0;
    while (start < f.table.size()) {
      const std::size_t end = f.table.find("\r\n", start);
      out.push_back(f.table.substr(start, end - start));
      start = end + 2;
    }
    return out;
  }();
  ASSERT_GE(rows.size(), 25u);
  const double rho = energy::air_density(0.0);
  for (int j = 0; j < 23; ++j) {
    const double U = sweep::sweep_speed(j, site.Ucin, site.Ucout);
    const double n = sweep::speed_cap(j, 10.0);
    const double lambda = 2.0 * kPi * 10.0 * n / U / 60.0;
    // The capped point's own coefficient, not the best of the grid.
    const double CP = cp_at(b.rotor, U, lambda, 0.0);
    EXPECT_EQ(rows[static_cast<std::size_t>(j) + 2],
              sweep::row_text(U, lambda, CP, sweep::rotor_power(CP, rho, 10.0, 1.0, U), n));
    EXPECT_EQ(rows[static_cast<std::size_t>(j) + 2].substr(69), j == 0 ? " 66.85" : " 76.39");
  }
}

TEST_F(Sweep, VariableSpeedWithoutPowerStandsStillAndLeavesZeroInMpl) {
  sweep_test::load_drag_polar();
  Blade b(5, 0.5, 5.0);
  const Files f = run_sweep(1, b.rotor, kSite, 0.0);
  EXPECT_TEXT(f.table, expect_variable(b.rotor, kSite).table);
  EXPECT_EQ(f.mpl, " 0.\r\n");
  const std::string still = sweep::row_text(3.0, 0.0, 0.0, 0.0, 0.0);
  EXPECT_EQ(f.table.substr(kHeader1.size(), still.size() + 2), still + "\r\n");
  EXPECT_NE(f.table.find("      Average energy production E =         0.00 kW.h"),
            std::string::npos);
}

TEST_F(Sweep, VariableSpeedKeepsThePreviousRatioWhereNoneGivesPower) {
  // Lift only at the two highest Reynolds numbers: the rotor gives power in strong wind and none
  // (for any ratio of the grid) in light wind.
  sweep_test::load_polar_columns([](int c, double a) { return c >= 5 ? 0.11 * a : 0.0; },
                                 [](int c, double) { return c >= 5 ? 0.01 : 0.05; });
  Blade b(5, 0.5, 5.0);
  // Falling wind: the ratio of the last powered point stays for the rest of the sweep.
  const sweep::Site falling{10.0, 2.0, 6.0, 30.0, 0.0};
  const Files down = run_sweep(1, b.rotor, falling, 0.0);
  EXPECT_TEXT(down.table, expect_variable(b.rotor, falling).table);
  EXPECT_NE(down.table.find("      2.00               8.78          0.0000            0.000"),
            std::string::npos);
  // Rising wind: before the first powered point the rotor stands still.
  const sweep::Site rising{2.0, 10.0, 6.0, 30.0, 0.0};
  const Files up = run_sweep(1, b.rotor, rising, 0.0);
  EXPECT_TEXT(up.table, expect_variable(b.rotor, rising).table);
  EXPECT_EQ(up.table.substr(kHeader1.size(), 77),
            sweep::row_text(2.0, 0.0, 0.0, 0.0, 0.0) + "\r\n");
}

TEST_F(Sweep, TwoSpeedTieRunsAtTheFirstSpeed) {
  sweep_test::load_zero_polar();
  Blade b(5, 0.5, 5.0);
  const Files f = run_sweep(2, b.rotor, kSite, 40.0);
  EXPECT_TEXT(f.table, expect_two_speed(b.rotor, kSite, 40.0).table);
  EXPECT_EQ(support::occurrences(f.table, "0.0000            0.000        40.00\r\n"), 23u);
}

TEST_F(Sweep, ConstantSpeedNegativeCoefficientShowsZero) {
  sweep_test::load_drag_polar();
  Blade b(5, 0.5, 5.0);
  ASSERT_LT(cp_at(b.rotor, 3.0, 2.0 * kPi * 5.0 * 100.0 / 3.0 / 60.0, 0.0), 0.0);
  const Files f = run_sweep(3, b.rotor, kSite, 100.0);
  EXPECT_TEXT(f.table, expect_constant(b.rotor, kSite, 100.0).table);
  EXPECT_EQ(support::occurrences(f.table, "0.0000            0.000       100.00\r\n"), 23u);
}

TEST_F(Sweep, TwoSweepsFollowEachOtherInOneFile) {
  Blade b(5, 0.5, 5.0);
  const sweep::Site other{4.0, 20.0, 5.0, 20.0, 500.0};
  sweep_test::WorkDir dir;
  {
    textio::OutFile out("Result/Energy3.out");
    sweep::sweep_constant_speed(b.rotor, kSite, 100.0, out);
    sweep::sweep_constant_speed(b.rotor, other, 80.0, out);
    out.close();
  }
  EXPECT_TEXT(
      sweep_test::slurp("Result/Energy3.out"),
      expect_constant(b.rotor, kSite, 100.0).table + expect_constant(b.rotor, other, 80.0).table);
}

TEST_F(Sweep, EqualCutInAndCutOut) {
  Blade b(5, 0.5, 5.0);
  const sweep::Site site{8.0, 8.0, 6.0, 30.0, 0.0};
  const Files f = run_sweep(3, b.rotor, site, 100.0);
  EXPECT_TEXT(f.table, expect_constant(b.rotor, site, 100.0).table);
  const auto first_row = f.table.substr(kHeader23.size(), 77);
  std::size_t same = 0;
  for (std::size_t at = 0; (at = f.table.find(first_row, at)) != std::string::npos; ++at) ++same;
  EXPECT_EQ(same, 23u);
  EXPECT_NE(f.table.find("Average power output for a site P =         0.00    W"),
            std::string::npos);
}

TEST_F(Sweep, PitchFirstRowNeverLimitedLastAlwaysDriven) {
  Blade b(5, 0.5, 5.0);
  // A low limit: already the cut-in point produces more.
  const sweep::Site site{8.0, 20.0, 6.0, 30.0, 0.0};
  const double MPL = 1000.0;
  const Expected e = expect_pitch(b.rotor, site, 100.0, MPL);
  const Files f = run_sweep(4, b.rotor, site, 100.0, MPL);
  EXPECT_TEXT(f.table, e.table);
  // The first row keeps the coarse search's best, above the limit.
  const double rho = energy::air_density(0.0);
  const double lambda0 = sweep::tip_speed_ratio(100.0, 8.0, 5.0);
  std::vector<double> coarse(101);
  for (int k = 0; k <= 100; ++k)
    coarse[static_cast<std::size_t>(k)] = cp_at(b.rotor, 8.0, lambda0, sweep::coarse_angle(k));
  const std::size_t best = sweep::first_best(coarse, -2.0);
  ASSERT_LT(best, coarse.size());
  const double P0 = sweep::rotor_power(coarse[best], rho, 5.0, 0.5, 8.0);
  ASSERT_GT(P0, MPL);
  EXPECT_EQ(f.table.substr(kHeader4.size(), 95),
            sweep::row_text(8.0, lambda0, coarse[best], P0, 100.0,
                            sweep::coarse_angle(static_cast<int>(best))) +
                "\r\n");
}

TEST_F(Sweep, PitchEndsWhenTheLimitCannotBeReached) {
  Blade b(5, 0.5, 5.0);
  const double rho = energy::air_density(kSite.SeaL);
  // Far above anything the rotor gives: no inner point is limited, and the cut-out point's
  // walk would never end. The search settles on the angle of greatest power.
  const double high = 1.0e7;
  const Expected e = expect_pitch(b.rotor, kSite, 100.0, high);
  EXPECT_FALSE(e.searches_end);
  const Files f = run_sweep(4, b.rotor, kSite, 100.0, high);
  const double lambda = sweep::tip_speed_ratio(100.0, 25.0, 5.0);
  std::vector<double> powers(1001);
  for (int k = 0; k <= 1000; ++k) {
    powers[static_cast<std::size_t>(k)] = sweep::rotor_power(
        cp_at(b.rotor, 25.0, lambda, sweep::limit_angle(k, true)), rho, 5.0, 0.5, 25.0);
  }
  std::size_t top = 0;
  for (std::size_t k = 1; k < powers.size(); ++k) {
    if (std::trunc(high - powers[k]) < std::trunc(high - powers[top])) top = k;
  }
  const double theta = sweep::limit_angle(static_cast<int>(top), true);
  const std::string last =
      sweep::row_text(25.0, lambda, cp_at(b.rotor, 25.0, lambda, theta), powers[top], 100.0, theta);
  const std::size_t at = f.table.find(last + "\r\n\r\nAverage power");
  EXPECT_NE(at, std::string::npos) << last;
  EXPECT_TEXT(f.table, e.table);
  EXPECT_EQ(f.mpl, " 1.E+7\r\n");

  // Far below what even the most feathered inner angle gives: every limited inner point settles on
  // the closest angle of its grid, and the sweep ends.
  const double low = 1.0;
  const Expected e_low = expect_pitch(b.rotor, kSite, 100.0, low);
  EXPECT_FALSE(e_low.searches_end);
  const Files f_low = run_sweep(4, b.rotor, kSite, 100.0, low);
  EXPECT_TEXT(f_low.table, e_low.table);
}

TEST_F(Sweep, PitchWithAPolarWithoutNumbers) {
  // A polar without numbers: no element has a windmill state, so the solver gives every element
  // no load and every call CP 0, never NaN. The coarse search takes its first angle, -15 degrees
  // (0 beats the start of -2), no inner point reaches the limit, and the cut-out point's search,
  // every difference being the whole limit, settles on its first angle too.
  const double nan = std::numeric_limits<double>::quiet_NaN();
  sweep_test::load_polar([&](double) { return nan; }, [&](double) { return nan; });
  Blade b(5, 0.5, 5.0);
  ASSERT_TRUE(same_bits(cp_at(b.rotor, 25.0, 2.0, 0.0), 0.0));
  const Files f = run_sweep(4, b.rotor, kSite, 100.0, 1000.0);
  std::string expected = kHeader4;
  for (int j = 0; j < 23; ++j) {
    const double U = sweep::sweep_speed(j, kSite.Ucin, kSite.Ucout);
    expected +=
        sweep::row_text(U, sweep::tip_speed_ratio(100.0, U, 5.0), 0.0, 0.0, 100.0, -15.0) + "\r\n";
  }
  expected += "\r\n" + energy::power_line(0.0) + "\r\n\r\n" + energy::energy_line(0.0) + "\r\n";
  EXPECT_TEXT(f.table, expected);
}

TEST_F(Sweep, MissingPlotFileEndsTheRun) {
  Blade b(5, 0.5, 5.0);
  sweep_test::WorkDir dir;
  std::filesystem::remove("Temp/graph1.tmp");
  textio::OutFile out("Result/Energy1.out");
  EXPECT_THROW(sweep::sweep_variable_speed(b.rotor, kSite, out), textio::RunError);
  EXPECT_THROW(sweep::sweep_pitch(b.rotor, kSite, 100.0, 1000.0, out), textio::RunError);
  EXPECT_FALSE(std::filesystem::exists("Temp/graph1.tmp"));
}

// What a table shows of a grid value, two decimals, leads back to the step it came from, for
// every step of every grid; a figure beyond a grid's ends has no step.
TEST(SweepGrids, TheShownFigureLeadsBackToItsStep) {
  const auto shown = [](double v) { return std::round(v * 100.0) / 100.0; };
  for (int i = 0; i < sweep::kRatioSteps; ++i) {
    EXPECT_EQ(sweep::ratio_step(shown(sweep::ratio_grid(i))), i) << i;
  }
  for (int k = 0; k < sweep::kCoarseSteps; ++k) {
    EXPECT_EQ(sweep::coarse_step(shown(sweep::coarse_angle(k))), k) << k;
  }
  // The limit grids' steps (0.023 and 0.03 deg) are finer than two decimals: the figure leads
  // to a step within one of its own.
  for (bool cut_out : {false, true}) {
    for (int k = 0; k < sweep::kLimitSteps; ++k) {
      const std::optional<int> back =
          sweep::limit_step(shown(sweep::limit_angle(k, cut_out)), cut_out);
      ASSERT_TRUE(back.has_value()) << k;
      EXPECT_LE(std::abs(*back - k), 1) << k << (cut_out ? " cut-out" : "");
    }
  }
  const struct {
    double value;
    bool has_step;
  } ends[] = {{4.92, false}, {4.94, true}, {12.06, true}, {12.08, false}};
  for (const auto& e : ends)
    EXPECT_EQ(sweep::ratio_step(e.value).has_value(), e.has_step) << e.value;
  EXPECT_FALSE(sweep::coarse_step(-15.3));
  EXPECT_FALSE(sweep::coarse_step(40.3));
  EXPECT_FALSE(sweep::limit_step(8.02, false));
  EXPECT_TRUE(sweep::limit_step(8.02, true));
}

}  // namespace
