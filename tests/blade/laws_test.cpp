#include "blade/laws.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "blade/blade.h"
#include "blade/rotor_blade.h"
#include "rotor/design_support.h"
#include "textio/textio.h"

namespace {

using blade::Coeffs;
using design_test::same_bits;

// Single-precision constants of the twist law, as doubles.
constexpr double kJoint = 0.7f;  // 0.699999988079071
constexpr double kK = -0.7f;
constexpr double k14 = 1.4f;

TEST(ChordLaw, ConstantChordEverywhere) {
  const Coeffs a{0.1, 0.0, 0.0, 0.0, 0.0};
  for (double x : {0.0, 0.05, 0.3, 0.7, 0.9999, 1.0})
    EXPECT_TRUE(same_bits(blade::chord_law(a, x), 0.1));
}

TEST(ChordLaw, NestedEvaluationOrder) {
  const Coeffs a{0.21, 0.37, -0.53, 1.19, -0.77};
  int differs_from_power_form = 0;
  for (int i = 1; i <= 50; ++i) {
    const double x = 0.02 * i;
    const double nested = a[0] - x * (a[1] - x * (a[2] - x * (a[3] - x * a[4])));
    const double powers = a[0] - a[1] * x + a[2] * x * x - a[3] * x * x * x + a[4] * x * x * x * x;
    EXPECT_TRUE(same_bits(blade::chord_law(a, x), nested)) << "x = " << x;
    if (nested != powers) ++differs_from_power_form;
  }
  // The power form rounds differently somewhere, so the comparison above checks the order.
  EXPECT_GT(differs_from_power_form, 0);
}

TEST(TwistLaw, MinusLinearCoefficientGivesXOnBothSidesOfTheJoint) {
  const Coeffs b{0.0, -1.0, 0.0, 0.0, 0.0};
  for (double x : {0.0, 0.1, 0.5, kJoint, 0.7, 0.75, 0.9, 1.0}) {
    EXPECT_TRUE(same_bits(blade::twist_law(b, x), x)) << "x = " << x;
  }
}

TEST(TwistLaw, MinusSquareThenItsTangent) {
  const Coeffs b{0.0, 0.0, -1.0, 0.0, 0.0};
  // Up to the joint the polynomial: -x^2 (+0 at the hub's x = 0).
  for (double x : {0.0, 0.2, 0.5, 0.69, kJoint}) {
    EXPECT_TRUE(same_bits(blade::twist_law(b, x), 0.0 - x * x)) << "x = " << x;
  }
  // Beyond it the tangent: value -(0.7f)^2 at the joint, slope -1.4f, both from the
  // single-precision constants.
  const double t0 = -(kK * kK);
  const double slope = -k14;
  for (double x : {std::nextafter(kJoint, 1.0), 0.7, 0.8, 0.95, 1.0}) {
    const double line = slope * kK + t0 + x * slope;
    EXPECT_TRUE(same_bits(blade::twist_law(b, x), line)) << "x = " << x;
    EXPECT_NEAR(blade::twist_law(b, x), -0.49 - 1.4 * (x - 0.7), 1e-7) << "x = " << x;
  }
  EXPECT_NEAR(blade::twist_law(b, 1.0), -0.91, 1e-7);
}

TEST(TwistLaw, DoubleSevenTenthsTakesTheLine) {
  // 0.7 as a double lies above the single-precision joint.
  ASSERT_GT(0.7, kJoint);
  const Coeffs b{3.0, 2.5, -4.0, 1.5, 0.75};
  const double k = kK;
  const double t0 = b[0] + k * (b[1] + k * (b[2] + k * (b[3] + k * b[4])));
  const double slope = 1.4f * b[2] - b[1] - 1.47f * b[3] + 1.372f * b[4];
  const double line = slope * k + t0 + 0.7 * slope;
  EXPECT_TRUE(same_bits(blade::twist_law(b, 0.7), line));
  const double poly = b[0] - 0.7 * (b[1] - 0.7 * (b[2] - 0.7 * (b[3] - 0.7 * b[4])));
  EXPECT_NEAR(blade::twist_law(b, 0.7), poly, 1e-12);
}

TEST(TwistLaw, ContinuousInValueAndSlopeAtTheJoint) {
  const Coeffs b{12.0, 30.0, 25.0, -8.0, 3.0};
  const double below = blade::twist_law(b, kJoint);
  const double above = blade::twist_law(b, std::nextafter(kJoint, 1.0));
  EXPECT_NEAR(below, above, 1e-12);
  const double h = 1e-6;
  const double slope_in = (blade::twist_law(b, kJoint) - blade::twist_law(b, kJoint - h)) / h;
  const double slope_out =
      (blade::twist_law(b, kJoint + 2 * h) - blade::twist_law(b, kJoint + h)) / h;
  EXPECT_NEAR(slope_in, slope_out, 1e-3);
}

// Random quartics of the sizes the optimiser meets: the least chord is never above the least of
// 20001 samples of the law, and below it only by what the sampling can miss.
TEST(ChordLawMin, NeverAboveAnySample) {
  std::mt19937_64 rng(20);
  std::uniform_real_distribution<double> u(-1.0, 1.0);
  for (int n = 0; n < 400; ++n) {
    const Coeffs a{0.1 * u(rng), u(rng), 3.0 * u(rng), 4.0 * u(rng), 2.0 * u(rng)};
    const double x_lo = 0.4 * (u(rng) + 1.0) / 2.0;
    double sampled = blade::chord_law(a, x_lo);
    for (int i = 1; i < 20000; ++i) {
      sampled = std::min(sampled, blade::chord_law(a, x_lo + (1.0 - x_lo) * i / 20000.0));
    }
    sampled = std::min(sampled, blade::chord_law(a, 1.0));
    const double least = blade::chord_law_min(a, x_lo, 1.0);
    EXPECT_LE(least, sampled) << "case " << n;
    EXPECT_GT(least, sampled - 1e-7) << "case " << n;
  }
  EXPECT_TRUE(std::isnan(blade::chord_law_min({std::nan(""), 0.0, 0.0, 0.0, 0.0}, 0.1, 1.0)));
  EXPECT_TRUE(std::isnan(blade::chord_law_min({0.1, 0.0, 0.0, 0.0, 0.0}, std::nan(""), 1.0)));
}

// A law that falls below the floor is raised by a1 alone to keep exactly the floor; one that
// keeps it comes back bit for bit.
TEST(HoldChordLaw, RaisesA1ToTheFloor) {
  const Coeffs cases[] = {
      {0.05, 0.1, 0.0, 0.0, 0.0},       // negative at the tip
      {-0.03, -0.2, 0.0, 0.0, 0.0},     // negative at the hub
      {0.0556, 0.528, 1.69, 2.2, 1.0},  // negative at two interior minima
      {0.0581, 0.528, 1.69, 2.2, 1.0},  // positive, below the floor
      {0.2, 0.3, 0.1, 0.0, 0.0},        // zero at the tip, to rounding
  };
  for (const Coeffs& a : cases) {
    const double x_hub = 0.1;
    ASSERT_LT(blade::chord_law_min(a, x_hub, 1.0), blade::kChordFloor);
    const Coeffs held = blade::hold_chord_law(a, x_hub);
    EXPECT_GT(held[0], a[0]);
    for (int i = 1; i < 5; ++i) EXPECT_TRUE(same_bits(held[i], a[i]));
    EXPECT_TRUE(blade::chord_law_buildable(held, x_hub));
    EXPECT_NEAR(blade::chord_law_min(held, x_hub, 1.0), blade::kChordFloor, 1e-12);
  }
  const Coeffs fine{0.1, 0.05, 0.0, 0.0, 0.0};
  const Coeffs kept = blade::hold_chord_law(fine, 0.2);
  for (int i = 0; i < 5; ++i) EXPECT_TRUE(same_bits(kept[i], fine[i]));
  EXPECT_TRUE(blade::chord_law_buildable(fine, 0.2));
  EXPECT_FALSE(blade::chord_law_buildable({std::nan(""), 0.0, 0.0, 0.0, 0.0}, 0.2));
}

TEST(ReadCoeffs, FreeFormOverSeveralRecordsIgnoringTheRest) {
  design_test::WorkDir dir;
  design_test::spit("Temp/c.in", "0.5, -1.25\r\n3.\n 4d-1 5e1 99 junk\n");
  const Coeffs c = blade::read_coeffs("Temp/c.in");
  EXPECT_TRUE(same_bits(c[0], 0.5));
  EXPECT_TRUE(same_bits(c[1], -1.25));
  EXPECT_TRUE(same_bits(c[2], 3.0));
  EXPECT_TRUE(same_bits(c[3], 0.4));
  EXPECT_TRUE(same_bits(c[4], 50.0));
}

TEST(ReadCoeffs, MissingShortOrBadFileEndsTheRun) {
  design_test::WorkDir dir;
  EXPECT_THROW(blade::read_coeffs("Temp/none.in"), textio::RunError);
  design_test::spit("Temp/short.in", " 1. 2. 3. 4.\r\n");
  EXPECT_THROW(blade::read_coeffs("Temp/short.in"), textio::RunError);
  design_test::spit("Temp/bad.in", " 1. 2. x 4. 5.\r\n");
  EXPECT_THROW(blade::read_coeffs("Temp/bad.in"), textio::RunError);
}

struct StationsRun {
  std::string console;
  std::string table;
  std::vector<double> r, twist, chord;
  double dr = 0.0;
  blade::HubStation hub{};
};

// The blade of laws a and b and its geometry table.
StationsRun run_stations(const Coeffs& a, const Coeffs& b, std::int64_t nbe, double rtip,
                         double rhub, double pitch) {
  StationsRun run;
  const blade::Blade blade = blade::from_laws(3, nbe, rtip, rhub, pitch, a, b);
  run.r = blade.r;
  run.twist = blade.twist;
  run.chord = blade.chord;
  run.dr = blade.dr;
  run.hub = blade.hub;
  std::istringstream in;
  std::ostringstream out;
  {
    textio::Console con(in, out);
    textio::OutFile geometry("Result/Geometry.out");
    blade::write_geometry_table(con, geometry, blade);
    geometry.close();
    con.flush();
  }
  run.console = out.str();
  run.table = design_test::slurp("Result/Geometry.out");
  return run;
}

TEST(Stations, OneElementGivesThreeRows) {
  design_test::WorkDir dir;
  const StationsRun run = run_stations({0.1, 0, 0, 0, 0}, {0, -1, 0, 0, 0}, 1, 2.0, 0.5, 1.0);
  EXPECT_EQ(run.console, "\r\n");
  EXPECT_EQ(run.table,
            "               Geometry of blades\r\n"
            "      Radius (m)       chord(m)       twist (deg)\r\n"
            "        0.5000         0.2000         1.2500\r\n"
            "        1.2500         0.2000         1.6250\r\n"
            "        2.0000         0.2000         2.0000\r\n");
  EXPECT_TRUE(same_bits(run.dr, 0.75));
  EXPECT_TRUE(same_bits(run.r[0], 0.625));
  EXPECT_TRUE(same_bits(run.chord[0], 0.1));
  EXPECT_TRUE(same_bits(run.chord[1], 0.1));
  EXPECT_TRUE(same_bits(run.twist[0], 1.625));
  EXPECT_TRUE(same_bits(run.twist[1], 2.0));
  EXPECT_TRUE(same_bits(run.hub.chord, 0.1));
  EXPECT_TRUE(same_bits(run.hub.twist, 1.25));
}

TEST(Stations, ZeroHubRadiusGivesHubRowAtZeroWithChordA1) {
  design_test::WorkDir dir;
  const StationsRun run =
      run_stations({0.05, 0.02, 0.01, 0, 0}, {10, 4, 0, 0, 0}, 4, 3.0, 0.0, 0.0);
  const std::string first_row = run.table.substr(run.table.find("deg)\r\n") + 6, 46);
  EXPECT_EQ(first_row, "        0.0000         0.1500        10.0000\r\n");
  EXPECT_TRUE(same_bits(run.hub.chord, 0.05));
  EXPECT_TRUE(same_bits(run.hub.twist, 10.0));
}

TEST(Stations, AccumulatedRadiiAndLawsWithSettingAngle) {
  design_test::WorkDir dir;
  const Coeffs a{0.21, 0.37, -0.53, 1.19, -0.77};
  const Coeffs b{21.0, 60.0, 61.0, 15.0, -3.0};
  const double rtip = 5.0, rhub = 0.5, pitch = 2.5;
  const std::int64_t nbe = 10;
  const StationsRun run = run_stations(a, b, nbe, rtip, rhub, pitch);
  // The optimiser's arrays of the same laws: the same radii and chords, twists without the
  // setting angle.
  std::vector<double> law_r(10), law_twist(11), law_chord(11);
  double law_dr = 0.0;
  blade::law_arrays(a, b, nbe, rtip, rhub, law_r, law_dr, law_twist, law_chord);
  EXPECT_TRUE(same_bits(law_dr, run.dr));
  for (std::size_t i = 0; i <= 10; ++i) {
    if (i < 10) {
      EXPECT_TRUE(same_bits(law_r[i], run.r[i]));
    }
    EXPECT_TRUE(same_bits(law_chord[i], run.chord[i]));
    EXPECT_TRUE(same_bits(law_twist[i] + pitch, run.twist[i]));
  }

  const double x_hub = rhub / rtip;
  const double dr = (1.0 - x_hub) / 10.0;
  EXPECT_TRUE(same_bits(run.dr, dr));
  double r = x_hub + dr / 2.0;
  int differs_from_product = 0;
  for (std::size_t i = 0; i < 10; ++i) {
    if (i > 0) r += dr;
    EXPECT_TRUE(same_bits(run.r[i], r)) << "element " << i;
    if (r != x_hub + (static_cast<double>(i) + 0.5) * dr) ++differs_from_product;
    EXPECT_TRUE(same_bits(run.chord[i], blade::chord_law(a, r)));
    EXPECT_TRUE(same_bits(run.twist[i], blade::twist_law(b, r) + pitch));
  }
  EXPECT_GT(differs_from_product, 0);  // accumulation is observable
  EXPECT_TRUE(same_bits(run.chord[10], blade::chord_law(a, 1.0)));
  EXPECT_TRUE(same_bits(run.twist[10], blade::twist_law(b, 1.0) + pitch));
  EXPECT_TRUE(same_bits(run.hub.chord, blade::chord_law(a, x_hub)));
  EXPECT_TRUE(same_bits(run.hub.twist, blade::twist_law(b, x_hub) + pitch));

  // Two headings and nbe + 2 rows; the tip row prints rtip itself.
  std::vector<std::string> lines;
  std::istringstream table(run.table);
  for (std::string line; std::getline(table, line);) lines.push_back(line);
  ASSERT_EQ(lines.size(), 14u);
  EXPECT_EQ(lines[13].substr(0, 14), "        5.0000");
  EXPECT_EQ(lines[2].substr(0, 14), "        0.5000");
}

}  // namespace
