#include "rotor/calc_param.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <limits>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "aerofoil/aerofoil.h"
#include "aerofoil/global.h"
#include "rotor/calc_param_detail.h"
#include "rotor/rotor_reference.h"
#include "support/bits.h"
#include "support/polars.h"
#include "support/shipped.h"
#include "support/workdir.h"
#include "textio/textio.h"

namespace {

using calc_param::kStations;

using support::bits;
using support::describe;

// ---------------------------------------------------------------------------------------------
// Design tip speed ratio, stations, twist candidates.

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
  // Single-precision coefficients: B = 1 sums them exactly in this order.
  const double one = 0.0004458299954421818 * 1.0 - 0.02455900050699711 * 1.0 +
                     0.48941001296043396 * 1.0 - 4.475200176239014 * 1.0 + 17.891000747680664;
  EXPECT_SAME_BITS(calc_param::design_tip_speed_ratio(1), one);
  const double two = 0.0004458299954421818 * 16.0 - 0.02455900050699711 * 8.0 +
                     0.48941001296043396 * 4.0 - 4.475200176239014 * 2.0 + 17.891000747680664;
  EXPECT_SAME_BITS(calc_param::design_tip_speed_ratio(2), two);
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

TEST(TwistCandidates, FormulaInDoubleArithmetic) {
  for (int m = 1; m <= calc_param::kTwistCandidates; ++m) {
    volatile double vm = m;  // evaluate the formula at run time
    const double expect = vm * (40.0 - (-5.0)) / 1000.0 + (-5.0);
    ASSERT_EQ(bits(calc_param::twist_candidate(m)), bits(expect)) << "m = " << m;
  }
  EXPECT_NEAR(calc_param::twist_candidate(1), -4.955, 1e-15);
  EXPECT_SAME_BITS(calc_param::twist_candidate(1000), 40.0);
}

// ---------------------------------------------------------------------------------------------
// Progress display.

std::string repeat(std::string_view s, int n) {
  std::string out;
  for (int i = 0; i < n; ++i) out += s;
  return out;
}

TEST(Progress, ExactBytesInAPipe) {
  const std::string first =
      "\xDB" + std::string(45, ' ') + std::string(45, '\b') + "  2%" + std::string(5, '\b');
  EXPECT_EQ(calc_param::progress_bytes(1, false), first);
  const std::string last = repeat("\xDB", 46) + "100%" + std::string(50, '\b');
  EXPECT_EQ(calc_param::progress_bytes(46, false), last);
  const std::string mid = repeat("\xDB", 23) + std::string(23, ' ') + std::string(23, '\b') +
                          " 50%" + std::string(27, '\b');
  EXPECT_EQ(calc_param::progress_bytes(23, false), mid);
}

TEST(Progress, TerminalBlockIsUtf8FullBlock) {
  const std::string first =
      "\xE2\x96\x88" + std::string(45, ' ') + std::string(45, '\b') + "  2%" + std::string(5, '\b');
  EXPECT_EQ(calc_param::progress_bytes(1, true), first);
  EXPECT_EQ(calc_param::progress_bytes(46, true),
            repeat("\xE2\x96\x88", 46) + "100%" + std::string(50, '\b'));
}

TEST(Progress, Percentages) {
  std::vector<int> shown;
  for (int i = 1; i <= kStations; ++i) {
    const std::string b = calc_param::progress_bytes(i, false);
    // 46 characters of bar, 46 - i backspaces, then the I3 field.
    const std::size_t at = 46 + static_cast<std::size_t>(46 - i);
    shown.push_back(std::stoi(b.substr(at, 3)));
    EXPECT_EQ(b.substr(at + 3, 1), "%");
    EXPECT_EQ(b.size(), at + 4 + static_cast<std::size_t>(i + 4));
  }
  const std::vector<int> head(shown.begin(), shown.begin() + 6);
  EXPECT_EQ(head, (std::vector<int>{2, 4, 6, 8, 10, 13}));
  EXPECT_EQ(shown.back(), 100);
  for (int i = 1; i <= kStations; ++i) EXPECT_EQ(shown[i - 1], i * 100 / 46);
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
// Twist search: the pruned search equals the candidate-by-candidate lookup, bit for bit.

calc_param::TwistBest plain_search(double phideg, double re) {
  calc_param::TwistBest b;
  for (int m = 1; m <= calc_param::kTwistCandidates; ++m) {
    double cl, cd;
    aerofoil::landd(phideg - calc_param::twist_candidate(m), re, cl, cd);
    if (cl / cd > b.ratio) {
      b.m = m;
      b.ratio = cl / cd;
      b.cl = cl;
      b.cd = cd;
    }
  }
  return b;
}

void compare_twist_search(std::uint64_t seed, int cases) {
  std::mt19937_64 rng(seed);
  std::uniform_real_distribution<double> u01(0.0, 1.0);
  for (int n = 0; n < cases; ++n) {
    const double phideg = -30.0 + 110.0 * u01(rng);
    const double re = std::pow(10.0, 3.0 + 4.5 * u01(rng));
    const calc_param::TwistBest f = calc_param::twist_search(phideg, re);
    const calc_param::TwistBest r = plain_search(phideg, re);
    ASSERT_EQ(f.m, r.m) << "phideg " << describe(phideg) << " re " << describe(re);
    ASSERT_EQ(bits(f.ratio), bits(r.ratio)) << "phideg " << describe(phideg);
    ASSERT_EQ(bits(f.cl), bits(r.cl));
    ASSERT_EQ(bits(f.cd), bits(r.cd));
  }
}

// A polar of random values: angles rising by random steps (some equal neighbours; the same in
// every column or different), lift of either sign, drag mostly positive, some rows of zero or
// negative drag.
void load_random_polar(std::uint64_t seed, bool same_angles) {
  std::mt19937_64 rng(seed);
  std::uniform_real_distribution<double> u01(0.0, 1.0);
  for (int i = 0; i < global::kColumns; ++i) {
    double angle = -15.0 + 5.0 * u01(rng);
    for (int j = 0; j < global::kRows; ++j) {
      global::alpha_array[i][j] =
          same_angles && i > 0 ? global::alpha_array[0][j] : static_cast<float>(angle);
      const double pick = u01(rng);
      angle += pick < 0.1 ? 0.0 : 0.3 + 1.5 * u01(rng);
      global::cl_array[i][j] = -1.0 + 3.0 * u01(rng);
      const double d = u01(rng);
      global::cd_array[i][j] = d < 0.03 ? 0.0 : (d < 0.06 ? -0.01 : 0.005 + 0.3 * u01(rng));
    }
  }
  support::fill_re_log();
}

TEST(TwistSearch, ShippedPolars) {
  std::uint64_t seed = 100;
  support::each_shipped_polar([&](const char*) { compare_twist_search(seed++, 3000); });
}

TEST(TwistSearch, SyntheticPolars) {
  // Ratio rising with the angle and constant above the table: many equal best ratios, the first
  // one counts.
  support::load_linear_polar();
  compare_twist_search(7, 1000);
  support::load_flat_polar();
  compare_twist_search(8, 300);
  for (std::uint64_t seed = 20; seed < 32; ++seed) {
    SCOPED_TRACE(seed);
    load_random_polar(seed, seed % 2 == 0);
    compare_twist_search(seed, 400);
  }
  // Smooth lift and drag with a sharp best ratio, the same angles in every column.
  for (int i = 0; i < global::kColumns; ++i) {
    for (int j = 0; j < global::kRows; ++j) {
      const double angle = -10.0 + 0.5 * j;
      global::alpha_array[i][j] = static_cast<float>(angle);
      global::cl_array[i][j] = 0.1 * angle + 0.01 * i;
      global::cd_array[i][j] = 0.01 + 0.0004 * (angle - 4.0) * (angle - 4.0);
    }
  }
  compare_twist_search(40, 1000);
  // Decreasing angles somewhere: the full search is used.
  support::load_shipped_polar(support::kShippedPolars[1]);
  std::swap(global::alpha_array[2][10], global::alpha_array[2][11]);
  compare_twist_search(9, 300);
}

TEST(TwistSearch, ExtremeMagnitudes) {
  // Lift and drag near overflow and in the subnormal range: the rounding bounds must not prune a
  // candidate the plain search would keep.
  for (double scale : {1e306, 1e-300, 1e-315}) {
    for (bool same : {true, false}) {
      SCOPED_TRACE(std::to_string(scale) + (same ? " same angles" : " own angles"));
      load_random_polar(50, same);
      for (int i = 0; i < global::kColumns; ++i) {
        for (int j = 0; j < global::kRows; ++j) {
          global::cl_array[i][j] *= scale;
          global::cd_array[i][j] *= j % 5 == 0 ? 1.0 : scale;
        }
      }
      compare_twist_search(51, 300);
    }
  }
}

TEST(TwistSearch, NonFiniteInputs) {
  support::load_shipped_polar(support::kShippedPolars[0]);
  const double inf = std::numeric_limits<double>::infinity();
  const double nan = std::numeric_limits<double>::quiet_NaN();
  for (double phideg : {inf, -inf, nan, 10.0}) {
    for (double re : {nan, inf, 0.0, -5.0, 2e5}) {
      const calc_param::TwistBest f = calc_param::twist_search(phideg, re);
      const calc_param::TwistBest r = plain_search(phideg, re);
      EXPECT_EQ(f.m, r.m);
      EXPECT_EQ(bits(f.ratio), bits(r.ratio));
    }
  }
  EXPECT_EQ(calc_param::twist_search(nan, 2e5).m, 0);
  EXPECT_EQ(calc_param::twist_search(10.0, nan).m, 0);
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

TEST(DesignStation, ShippedPolarsMatchReference) {
  std::uint64_t seed = 300;
  support::each_shipped_polar([&](const char*) { compare_stations(seed++, 3); });
}

TEST(DesignStation, WorkedExamplePolarMatchesReference) {
  support::load_linear_polar();
  compare_stations(400, 3);
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

// ---------------------------------------------------------------------------------------------
// param itself: console dialogue, files, and the laws of the designed blade.

// A fresh working directory with a copy of the shipped Data/, Temp/ and Result/.
class WorkDir : public support::DataWorkDir {
 public:
  WorkDir()
      : support::DataWorkDir("rotorforge_calc_param_",
                             std::filesystem::path(ROTORFORGE_SOURCE_DIR) / "Data") {}
};

const char* const kMenu =
    "\r\n"
    "             Selection of aerofoil\r\n"
    "       =============================================\r\n"
    "       =           1 - NACA4412                    =\r\n"
    "       =           2 - sg6043                      =\r\n"
    "       =           3 - NACA4432                    =\r\n"
    "       =============================================\r\n"
    "           Please select an option by entering the\r\n"
    "            associated number followed by <return>.    \r\n";

// param for 3 blades with `answers` on the console: what the console showed, the laws, and
// the run-ending error if there was one (status 0 when the design ran to its end).
struct ParamRun {
  std::string console;
  calc_param::Coeffs a{}, b{};
  int status = 0;
  std::string error;
};

ParamRun run_param(const std::string& answers, std::int64_t Numb = 3) {
  std::istringstream in(answers);
  std::ostringstream out;
  ParamRun run;
  {
    textio::Console con(in, out);
    try {
      calc_param::param(con, Numb, 0.3, 2.0, run.a, run.b);
    } catch (const textio::RunError& e) {
      run.status = e.status();
      run.error = e.what();
    }
  }
  run.console = out.str();
  return run;
}

TEST(Param, DialogueProgressAndLaws) {
  WorkDir wd;
  const ParamRun run = run_param("2\n");
  ASSERT_EQ(run.status, 0) << run.error;
  const calc_param::Coeffs& a = run.a;
  const calc_param::Coeffs& b = run.b;

  std::string expect = kMenu;
  expect += " Creating of geometry. Please wait...\r\n";
  for (int i = 1; i <= kStations; ++i) expect += calc_param::progress_bytes(i, false);
  EXPECT_EQ(run.console, expect);
  EXPECT_TRUE(std::filesystem::exists("Temp/Lift_Drag.dat"));

  // The laws are the fits of the station-by-station design on the chosen polar.
  support::load_shipped_polar(support::kShippedPolars[1]);
  std::array<double, kStations> x{}, c{}, t{};
  double dx = 0.0;
  calc_param::stations(0.3, 2.0, x, dx);
  calc_param::DesignState s;
  const double ld = calc_param::design_tip_speed_ratio(3);
  for (int i = 0; i < kStations; ++i) {
    calc_param::design_station(3, 2.0, ld, x[i], i > 0, i > 0 ? t[i - 1] : 0.0, s, c[i], t[i]);
  }
  for (int i = 1; i < kStations; ++i) EXPECT_LE(t[i], t[i - 1]);
  calc_param::Coeffs ea{}, eb{};
  calc_param::fit(x, dx, c, ea);
  calc_param::fit(x, dx, t, eb);
  for (int k = 0; k < 5; ++k) {
    EXPECT_SAME_BITS(a[k], ea[k]);
    EXPECT_SAME_BITS(b[k], eb[k]);
  }
  // A plausible blade: chords within the candidate range, fitted law close to them.
  for (int i = 1; i < kStations; i += 2) {
    EXPECT_GT(c[i], 0.01);
    EXPECT_LE(c[i], 0.3);
  }
}

TEST(Param, UnreadableChoiceEndsTheRun) {
  WorkDir wd;
  const ParamRun run = run_param("one\n");
  EXPECT_EQ(run.status, 2);
  EXPECT_EQ(run.console, kMenu);
}

TEST(Param, ChoiceOutsideMenuUsesOldWorkingFiles) {
  WorkDir wd;
  // No working files yet: the run ends, saying that there is no earlier aerofoil.
  const ParamRun none = run_param("7\n");
  EXPECT_EQ(none.status, 1);
  EXPECT_EQ(none.error,
            "aerofoil choice 7 designs with the aerofoil of an earlier run, and none is there "
            "(Temp/Lift_Drag.dat: No such file or directory); choose 1, 2 or 3");
  EXPECT_EQ(none.console, std::string(kMenu) + " Creating of geometry. Please wait...\r\n");

  // Working files left by an earlier run are used as they are.
  std::filesystem::copy_file(std::filesystem::path("Data") / support::kShippedPolars[2],
                             "Temp/Lift_Drag.dat");
  for (const char* outline : {"Temp/Profil.dat", "Temp/ProfilI.dat"}) {
    std::filesystem::copy_file("Data/naca4432.dat", outline);
  }
  const auto before = std::filesystem::last_write_time("Temp/Lift_Drag.dat");
  const ParamRun old = run_param("0\n", 2);
  ASSERT_EQ(old.status, 0) << old.error;
  EXPECT_EQ(std::filesystem::last_write_time("Temp/Lift_Drag.dat"), before);
  const std::string bar = calc_param::progress_bytes(46, false);
  EXPECT_EQ(old.console.substr(old.console.size() - bar.size()), bar);
  EXPECT_SAME_BITS(static_cast<double>(global::alpha_array[6][45]), 35.0);
  // First record of the NACA 4432 polar: its own 42000 block at -10 deg (once a copy of the
  // 330000 block's -0.3663).
  EXPECT_SAME_BITS(global::cl_array[0][0], -0.393411);
}

}  // namespace
