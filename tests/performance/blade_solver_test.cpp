// The solver on blades beyond the designed one: sections of their own, element widths of their
// own and the tip-loss switch, against closed forms and against the designed blade's solver.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "aerofoil/aerofoil.h"
#include "aerofoil/polar.h"
#include "blade/rotor_blade.h"
#include "performance/sweep.h"
#include "rotor/calc_mod.h"
#include "support/bits.h"
#include "support/blades.h"
#include "support/polars.h"
#include "util/shared.h"

namespace {

using shared::kPi;

// Glauert's optimum rotor of design tip speed ratio L: at every local speed ratio
// x = L r the inflow angle is phi = 2/3 atan(1 / x), the chord c / R = 8 pi r (1 - cos phi) /
// (B Cl) and the twist phi - alpha_design. The section has lift 0.11 per degree and no drag
// (alpha_design = 7 deg, Cl = 0.77); the hub lies at 1 % of the tip and there are 400 elements.
blade::Blade glauert_blade(double L) {
  constexpr std::int64_t B = 3;
  constexpr std::int64_t n = 400;
  constexpr double alpha_design = 7.0;
  const double cl_design = 0.11 * alpha_design;
  blade::Blade b;
  b.Numb = B;
  b.nbe = n;
  b.rtip = 2.0;
  b.rhub = 0.02;
  b.dr = (1.0 - 0.01) / n;
  for (std::int64_t i = 0; i < n; ++i) {
    const double r = 0.01 + (static_cast<double>(i) + 0.5) * b.dr;
    const double phi = 2.0 / 3.0 * std::atan(1.0 / (L * r));
    b.r.push_back(r);
    b.chord.push_back(8.0 * kPi * r * (1.0 - std::cos(phi)) / (B * cl_design));
    b.twist.push_back(phi * 180.0 / kPi - alpha_design);
  }
  b.chord.push_back(b.chord.back());
  b.twist.push_back(b.twist.back());
  blade::Section s;
  s.name = "linear";
  s.polar = std::make_shared<aerofoil::Polar>(aerofoil::linear_polar(0.11, 0.0, -40.0, 80.0));
  b.sections.push_back(s);
  return b;
}

TEST(GlauertOptimumRotor, NoTipLossGivesGlauertsPowerCoefficient) {
  // Glauert's integral of the optimum rotor's power coefficient, by design tip speed ratio.
  struct Case {
    double L, cp;
  };
  const Case cases[] = {{2, 0.511}, {4, 0.562}, {6, 0.576}, {8, 0.582}, {10, 0.585}};
  for (const Case& c : cases) {
    const blade::Blade b = glauert_blade(c.L);
    const sweep::SolverPoint p{8.0, c.L, 0.0};
    double cp = 0.0;
    sweep::cp_batch(b, {&p, 1}, {&cp, 1}, false);
    EXPECT_NEAR(cp / c.cp, 1.0, 0.005) << "lambda " << c.L << ": CP " << cp;
    RecordProperty("cp_at_" + std::to_string(static_cast<int>(c.L)), std::to_string(cp));
    // With the tip loss the same blade gives less.
    double lossy = 0.0;
    sweep::cp_batch(b, {&p, 1}, {&lossy, 1}, true);
    EXPECT_LT(lossy, cp) << "lambda " << c.L;
  }
}

// A blade whose every element names the loaded tables as its own section, or names widths
// equal to dr, is the designed blade: same bits.
TEST(BladeSolver, OwnSectionsAndWidthsEqualToTheLoadedOnesGiveTheSameBits) {
  support::load_linear_polar();
  const auto polar = std::make_shared<aerofoil::Polar>(aerofoil::loaded_polar());
  blade::Blade b;
  b.Numb = 3;
  b.nbe = 10;
  b.rhub = 0.5;
  b.rtip = 5.0;
  b.dr = 0.09;
  double x = 0.1 - 0.045;
  for (int i = 0; i < 10; ++i) {
    x = x + 0.09;
    b.r.push_back(x);
    b.chord.push_back(0.08);
    b.twist.push_back(20.0 * (1.0 - x));
  }
  b.chord.push_back(0.08);
  b.twist.push_back(0.0);
  std::vector<sweep::SolverPoint> points;
  for (double L = 1.0; L <= 15.0; L += 0.25) points.push_back({8.0, L, 0.0});
  for (double th = -10.0; th <= 30.0; th += 2.5) points.push_back({6.0, 5.0, th});
  std::vector<double> plain(points.size()), own(points.size()), widths(points.size());
  sweep::cp_batch(b, points, plain);
  blade::Blade with_section = b;
  with_section.sections.push_back({"linear", polar, false, 0.0, ""});
  sweep::cp_batch(with_section, points, own);
  blade::Blade with_widths = b;
  with_widths.width.assign(10, b.dr);
  sweep::cp_batch(with_widths, points, widths);
  for (std::size_t i = 0; i < points.size(); ++i) {
    EXPECT_TRUE(support::same_bits(plain[i], own[i])) << i;
    EXPECT_TRUE(support::same_bits(plain[i], widths[i])) << i;
  }
  // The worked example of the solver: 0.371896, 0.383218, 0.316333 at 4, 6, 8.
  EXPECT_NEAR(own[12], 0.371896, 5e-7);
  EXPECT_NEAR(own[20], 0.383218, 5e-7);
  EXPECT_NEAR(own[28], 0.316333, 5e-7);
}

TEST(PolarValue, LookupEqualsTheLoadedTablesBitForBit) {
  support::load_shipped_polar("Liftsg6043.dat");
  const aerofoil::Polar p = aerofoil::loaded_polar();
  for (double re : {1.0e3, 42000.0, 60000.0, 330000.0, 1.0e6, 2.4e6, 5.0e6}) {
    for (double a = -30.0; a <= 60.0; a += 0.37) {
      double cl1, cd1, cl2, cd2;
      aerofoil::landd(a, re, cl1, cd1);
      aerofoil::landd(p, a, re, cl2, cd2);
      ASSERT_TRUE(support::same_bits(cl1, cl2)) << a << " " << re;
      ASSERT_TRUE(support::same_bits(cd1, cd2)) << a << " " << re;
    }
  }
}

// A blade of round sections only: no lift, only drag, so the rotor can only be driven.
TEST(BladeSolver, CylinderOnlyBladeNeverGivesPositivePower) {
  blade::Blade b = support::plain_blade(3, 8, 0.1, 1.0, 0.06, 10.0, 0.0);
  blade::Section s{"cylinder", std::make_shared<aerofoil::Polar>(aerofoil::cylinder_polar(1.2)),
                   true, 1.2, "test"};
  b.sections.push_back(s);
  std::vector<sweep::SolverPoint> points;
  for (double L = 0.5; L <= 15.0; L += 0.5) points.push_back({7.0, L, 0.0});
  std::vector<double> cp(points.size());
  sweep::cp_batch(b, points, cp);
  for (std::size_t i = 0; i < cp.size(); ++i) {
    EXPECT_LE(cp[i], 0.0) << points[i].lambda;
  }
  EXPECT_LT(cp.back(), 0.0);
}

TEST(BladeFromLaws, HoldsTheDesignStagesArrays) {
  const shared::Coeffs a{0.12, 0.1, 0.02, 0.0, 0.0};
  const shared::Coeffs t{25.0, 40.0, 10.0, 0.0, 0.0};
  const blade::Blade b = blade::from_laws(3, 7, 1.5, 0.15, 2.0, a, t);
  std::vector<double> r(7), twist(8), chord(8);
  double dr = 0.0;
  const blade::HubStation hub = blade::blade_arrays(a, t, 7, 1.5, 0.15, r, dr, twist, 2.0, chord);
  EXPECT_EQ(b.r, r);
  EXPECT_EQ(b.twist, twist);
  EXPECT_EQ(b.chord, chord);
  EXPECT_TRUE(support::same_bits(b.dr, dr));
  EXPECT_TRUE(support::same_bits(b.hub.chord, hub.chord));
  EXPECT_EQ(b.setting, 2.0);
  EXPECT_TRUE(blade::element_polars(b).empty());
}

}  // namespace
