#include "rotor/calc_param.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdint>
#include <random>
#include <string>

#include "rotor/rotor_reference.h"
#include "support/bits.h"
#include "support/polars.h"
#include "support/shipped.h"

namespace {

using calc_param::kStations;

using support::describe;

// ---------------------------------------------------------------------------------------------
// Design tip speed ratio and stations.

TEST(DesignTipSpeedRatio, QuarticUpToTwelveBlades) {
  struct Case {
    std::int64_t B;
    double approx;
  };
  for (const Case& c :
       {Case{1, 13.881}, Case{2, 10.709}, Case{3, 8.243}, Case{4, 6.363}, Case{12, 1.470}}) {
    // Values stated to three decimals.
    EXPECT_NEAR(calc_param::design_tip_speed_ratio(c.B), c.approx, 0.0005) << "B = " << c.B;
  }
}

TEST(DesignTipSpeedRatio, ThirteenAndMoreGiveOne) {
  for (std::int64_t B : {std::int64_t{13}, std::int64_t{14}, std::int64_t{100},
                         std::numeric_limits<std::int64_t>::max()}) {
    EXPECT_SAME_BITS(calc_param::design_tip_speed_ratio(B), 1.0);
  }
  // Blade counts below 1 are computed as given (powers wrap instead of overflowing).
  EXPECT_SAME_BITS(calc_param::design_tip_speed_ratio(0), 17.891000747680664);
  EXPECT_TRUE(std::isfinite(calc_param::design_tip_speed_ratio(-1000000)));
}

TEST(Stations, HubAtZero) {
  std::array<double, kStations> x{};
  double dx = 0.0;
  calc_param::stations(0.0, 3.0, x, dx);
  EXPECT_SAME_BITS(x[0], 1.0 / 92.0);
  // Accumulated: equal to 47/92 up to the rounding of 23 additions.
  EXPECT_NEAR(x[23], 47.0 / 92.0, 1e-15);
  EXPECT_NEAR(x[1] + 22.0 * dx, 47.0 / 92.0, 1e-15);
  EXPECT_NEAR(x[45], 91.0 / 92.0, 1e-15);
  for (int i = 1; i < kStations; ++i) EXPECT_SAME_BITS(x[i], x[i - 1] + dx);
}

TEST(Stations, HubAndTip) {
  std::array<double, kStations> x{};
  double dx = 0.0;
  calc_param::stations(0.5, 5.0, x, dx);
  EXPECT_SAME_BITS(dx, (1.0 - 0.1) / 46.0);
  EXPECT_SAME_BITS(x[0], 0.1 + dx / 2.0);
  EXPECT_NEAR(x[45] + dx / 2.0, 1.0, 1e-15);
}

// ---------------------------------------------------------------------------------------------
// Least-squares fit.

// Value of the alternating law c1 - c2 x + c3 x^2 - c4 x^3 + c5 x^4.
double law(const calc_param::Coeffs& c, double x) {
  return c[0] - c[1] * x + c[2] * x * x - c[3] * x * x * x + c[4] * x * x * x * x;
}

struct FitCase {
  double rhub, rtip;
};
const FitCase kFitCases[] = {{0.0, 1.0}, {0.5, 5.0}, {0.2, 1.3}, {1.0, 12.0}};

TEST(Fit, ConstantChord) {
  for (const FitCase& f : kFitCases) {
    std::array<double, kStations> x{}, y{};
    double dx = 0.0;
    calc_param::stations(f.rhub, f.rtip, x, dx);
    y.fill(0.0837);
    calc_param::Coeffs c{};
    calc_param::fit(x, dx, y, c);
    // Exact up to the rounding of the expansion around the centre (terms of size g/d^4).
    EXPECT_NEAR(c[0], 0.0837, 1e-12);
    for (int k = 1; k < 5; ++k) EXPECT_NEAR(c[k], 0.0, 1e-10) << "coefficient " << k + 1;
  }
}

TEST(Fit, StraightLineAtEvenStations) {
  for (const FitCase& f : kFitCases) {
    std::array<double, kStations> x{}, y{};
    double dx = 0.0;
    calc_param::stations(f.rhub, f.rtip, x, dx);
    for (int i = 0; i < kStations; ++i) {
      // Odd stations are not fitted: give them values far off the line.
      y[i] = i % 2 == 1 ? 0.1 + 0.2 * x[i] : 99.0;
    }
    calc_param::Coeffs c{};
    calc_param::fit(x, dx, y, c);
    EXPECT_NEAR(c[0], 0.1, 1e-11);
    EXPECT_NEAR(c[1], -0.2, 1e-10);
    for (int k = 2; k < 5; ++k) EXPECT_NEAR(c[k], 0.0, 1e-9) << "coefficient " << k + 1;
    for (double xe : {0.1, 0.5, 1.0}) EXPECT_NEAR(law(c, xe), 0.1 + 0.2 * xe, 1e-11);
  }
}

TEST(Fit, QuarticIsReproducedAndNoiseAveraged) {
  std::array<double, kStations> x{}, y{};
  double dx = 0.0;
  calc_param::stations(0.3, 2.0, x, dx);
  const calc_param::Coeffs q = {0.3, 0.2, 0.5, 0.1, 0.05};  // alternating form
  for (int i = 0; i < kStations; ++i) y[i] = law(q, x[i]);
  calc_param::Coeffs c{};
  calc_param::fit(x, dx, y, c);
  for (int k = 0; k < 5; ++k) EXPECT_NEAR(c[k], q[k], 1e-8) << "coefficient " << k + 1;

  // A least-squares fit leaves residuals orthogonal to 1, x, ..., x^4 over the even stations.
  for (int i = 0; i < kStations; ++i) y[i] = std::sin(7.0 * x[i]) + 0.1 * (i % 3);
  calc_param::fit(x, dx, y, c);
  for (int p = 0; p <= 4; ++p) {
    double s = 0.0;
    for (int k = 1; k <= 23; ++k) {
      const double xk = x[2 * k - 1];
      s += (y[2 * k - 1] - law(c, xk)) * std::pow(xk, p);
    }
    EXPECT_NEAR(s, 0.0, 1e-9) << "moment " << p;
  }
}

// ---------------------------------------------------------------------------------------------
// Stations: the fast design equals the plain one on random stations and states.

void compare_stations(std::uint64_t seed, int cases) {
  std::mt19937_64 rng(seed);
  std::uniform_real_distribution<double> u01(0.0, 1.0);
  for (int n = 0; n < cases; ++n) {
    const std::int64_t B = 1 + static_cast<std::int64_t>(rng() % 6);
    const double lambda_d = calc_param::design_tip_speed_ratio(B);
    const double x = 0.15 + 0.8 * u01(rng);
    const double rtip = 0.5 + 10.0 * u01(rng);
    const bool lower = u01(rng) < 0.7;
    const double prev = -2.0 + 25.0 * u01(rng);
    calc_param::DesignState fs;
    fs.ap = 0.05 * u01(rng);
    fs.cl = u01(rng);
    fs.cd = 0.01 + 0.1 * u01(rng);
    rotor_reference::DesignState rs{fs.ap, fs.cl, fs.cd};
    double fc = 0, ft = 0, rc = 0, rt = 0;
    calc_param::design_station(B, rtip, lambda_d, x, lower, prev, fs, fc, ft);
    rotor_reference::design_station(B, rtip, lambda_d, x, lower ? &prev : nullptr, rs, rc, rt);
    SCOPED_TRACE("case " + std::to_string(n) + " B " + std::to_string(B) + " x " + describe(x));
    EXPECT_SAME_BITS(fc, rc);
    EXPECT_SAME_BITS(ft, rt);
    EXPECT_SAME_BITS(fs.ap, rs.ap);
    EXPECT_SAME_BITS(fs.cl, rs.cl);
    EXPECT_SAME_BITS(fs.cd, rs.cd);
  }
}

TEST(DesignStation, ShippedAndLinearPolarsMatchReference) {
  support::each_design_polar(300, [](std::uint64_t seed) { compare_stations(seed, 3); });
}

TEST(DesignStation, TwistNeverRisesOutward) {
  support::load_shipped_polar(support::kShippedPolars[0]);
  calc_param::DesignState s;
  double c = 0.0, t = 0.0;
  calc_param::design_station(3, 2.0, calc_param::design_tip_speed_ratio(3), 0.3, true, -1.25, s, c,
                             t);
  EXPECT_SAME_BITS(t, -1.25);  // the best twist lies far above, so the previous one is kept
  EXPECT_GT(s.cl / s.cd, 0.0);
}

TEST(DesignStation, ZeroRadiusDoesNotCrash) {
  support::load_shipped_polar(support::kShippedPolars[2]);
  calc_param::DesignState s;
  double c = 0.0, t = 0.0;
  // A zero radius divides by zero in the inflow angle and the solidity; the lookups stay within
  // the tables and the search runs to the last chord candidate.
  calc_param::design_station(3, 2.0, calc_param::design_tip_speed_ratio(3), 0.0, false, 0.0, s, c,
                             t);
  EXPECT_SAME_BITS(c, 1000.0 * 0.2900000214576721 / 1000.0 + 0.009999999776482582);
  calc_param::design_station(3, 2.0, 0.0, 0.5, false, 0.0, s, c, t);  // tip speed ratio 0
  EXPECT_SAME_BITS(c, 1000.0 * 0.2900000214576721 / 1000.0 + 0.009999999776482582);
}

}  // namespace
