// The analysis of a blade against closed forms: Weibull k = 2 is Rayleigh, a straight blade is
// its own straightening, the standing rotor's torque of a section of constant lift, the tip speed
// ratio grid, the drivetrain's efficiency.
#include "analyse/analysis.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <stdexcept>

#include "aerofoil/polar.h"
#include "performance/energy.h"
#include "support/blades.h"
#include "support/polars.h"
#include "util/shared.h"

namespace {

namespace fs = std::filesystem;
const fs::path kData = fs::path(ROTORFORGE_SOURCE_DIR) / "Data";

// Chord 0.2 m at the root (0.3 m) falling linearly to 0.06 m at the tip (1.5 m), twist 20 to
// -1 degrees, SG6043.
blade_file::File straight_blade() {
  blade_file::File f;
  f.blades = 3;
  f.hub_radius = 0.3;
  for (int i = 0; i <= 6; ++i) {
    const double r = 0.3 + 0.2 * i;
    f.stations.push_back(
        {r, 0.2 - 0.14 * (r - 0.3) / 1.2, 20.0 - 21.0 * (r - 0.3) / 1.2, "sg6043", 0});
  }
  return f;
}

TEST(Weibull, ShapeTwoIsRayleighOfTheSameMean) {
  support::load_shipped_polar("Liftsg6043.dat");
  const blade::Blade b = blade_file::cut(straight_blade(), 12, kData);
  for (const double mean : {4.0, 5.0, 7.5}) {
    for (const double h : {10.0, 25.0}) {
      analysis::SiteSettings rayleigh;
      rayleigh.site = {3.0, 20.0, mean, h, 0.0};
      rayleigh.constant_speed = 250.0;
      analysis::SiteSettings weibull = rayleigh;
      weibull.wind.weibull = true;
      weibull.wind.k = 2.0;
      weibull.wind.c = analysis::weibull_scale(2.0, energy::hub_wind(mean, h));
      // The core's Rayleigh density takes pi in single precision; with that pi the Weibull
      // scale of the same mean, 2 mean / sqrt(pi), gives the same density to rounding.
      analysis::SiteSettings same_pi = weibull;
      same_pi.wind.c = 2.0 * energy::hub_wind(mean, h) / std::sqrt(shared::kPi);
      const auto a = analysis::yields(b, rayleigh);
      const auto w = analysis::yields(b, weibull);
      const auto p = analysis::yields(b, same_pi);
      ASSERT_EQ(a.size(), 2u);
      for (std::size_t t = 0; t < a.size(); ++t) {
        // Rayleigh's own average power is the core's table figure.
        EXPECT_NEAR(a[t].average_electrical / a[t].average_power, 1.0, 1e-15);
        EXPECT_NEAR(p[t].energy / a[t].energy, 1.0, 1e-12) << mean << " " << h;
        // With the true pi (Gamma(3/2) = sqrt(pi) / 2) they differ by the single-precision pi's
        // relative error, 2.8e-8, about twice over.
        EXPECT_NEAR(w[t].energy / a[t].energy, 1.0, 1e-7) << mean << " " << h;
      }
    }
  }
  // The density integrates to one and has the given mean (k = 3: scale = mean / Gamma(4/3)).
  const double c = analysis::weibull_scale(3.0, 6.0);
  double area = 0.0, first = 0.0;
  for (double U = 0.0005; U < 40.0; U += 0.001) {
    area += analysis::weibull(U, 3.0, c) * 0.001;
    first += U * analysis::weibull(U, 3.0, c) * 0.001;
  }
  EXPECT_NEAR(area, 1.0, 1e-6);
  EXPECT_NEAR(first, 6.0, 1e-5);
}

TEST(Reshape, AStraightBladeIsItsOwnStraightening) {
  const blade_file::File f = straight_blade();
  analysis::Reshape r;
  r.linear_chord = {{0.5, 0.9}};
  r.linear_twist = {{0.3, 0.8}};
  const blade_file::File g = analysis::reshape(f, r);
  ASSERT_EQ(g.stations.size(), f.stations.size());
  for (std::size_t i = 0; i < f.stations.size(); ++i) {
    EXPECT_NEAR(g.stations[i].chord, f.stations[i].chord, 1e-15);
    EXPECT_NEAR(g.stations[i].twist, f.stations[i].twist, 1e-13);
  }
  support::load_shipped_polar("Liftsg6043.dat");
  const blade::Blade a = blade_file::cut(f, 15, kData);
  const blade::Blade b = blade_file::cut(g, 15, kData);
  for (double tsr : {4.0, 7.0, 10.0}) {
    EXPECT_NEAR(analysis::curve_point(b, 8.0, tsr, 0.0).cp,
                analysis::curve_point(a, 8.0, tsr, 0.0).cp, 1e-9);
  }
}

TEST(Reshape, RootCutMinimumChordAndRefusals) {
  blade_file::File f = straight_blade();
  analysis::Reshape cut;
  cut.root_cut = 0.4;
  cut.min_chord = 0.1;
  const blade_file::File g = analysis::reshape(f, cut);
  // The stations below 0.4 m go, one at 0.4 m takes the blade's values there.
  ASSERT_EQ(g.stations.size(), 7u);
  EXPECT_EQ(g.stations[0].r, 0.4);
  EXPECT_NEAR(g.stations[0].chord, 0.2 - 0.14 * 0.1 / 1.2, 1e-15);
  EXPECT_NEAR(g.stations[0].twist, 20.0 - 21.0 * 0.1 / 1.2, 1e-13);
  EXPECT_EQ(g.stations[1].r, 0.5);
  for (const auto& s : g.stations) EXPECT_GE(s.chord, 0.1);
  EXPECT_EQ(g.stations.back().chord, 0.1);

  // A straight chord through a steep fall crosses zero before the tip.
  f.stations[3].chord = 0.2;   // r = 0.9 m
  f.stations[5].chord = 0.02;  // r = 1.3 m
  analysis::Reshape steep;
  steep.linear_chord = {{0.6, 1.3 / 1.5}};
  EXPECT_THROW(analysis::reshape(f, steep), std::invalid_argument);
  steep.min_chord = 0.01;
  EXPECT_NO_THROW(analysis::reshape(f, steep));
  analysis::Reshape outside;
  outside.root_cut = 2.0;
  EXPECT_THROW(analysis::reshape(f, outside), std::invalid_argument);
}

// A section of constant lift 0.8 and drag 0.05 at every angle: the standing rotor's torque is
// B (rho/2) U^2 0.8 sum(c r dr), and for a constant chord c between r0 and R the element sum is
// c (R^2 - r0^2) / 2 exactly (the midpoint rule is exact for a linear integrand).
TEST(StartUp, ConstantLiftSectionGivesTheClosedFormTorque) {
  blade::Blade b = support::plain_blade(3, 10, 0.2, 2.0, 0.05, 15.0, -1.0);  // chord 0.1 m
  auto polar = std::make_shared<aerofoil::Polar>(aerofoil::linear_polar(0.0, 0.05, -180.0, 180.0));
  for (auto& row : polar->cl) {
    for (double& v : row) v = 0.8;
  }
  b.sections.push_back({"constant", polar, false, 0.0, ""});
  const double rho = 1.225;
  const double K = 3.0 * 0.5 * rho * 0.8 * 0.1 * (2.0 * 2.0 - 0.2 * 0.2) / 2.0;  // N m s^2/m^2
  const double resisting = K * 25.0;  // reached at exactly 5 m/s
  const analysis::StartUp s = analysis::start_up(b, rho, resisting);
  for (const auto& p : s.curve) EXPECT_NEAR(p.torque, K * p.U * p.U, 1e-12 * K * p.U * p.U);
  ASSERT_TRUE(s.start_wind.has_value());
  EXPECT_NEAR(*s.start_wind, 5.0, 1e-12);
  // A round section has no lift: nothing turns the rotor.
  b.sections[0] = {"cylinder", std::make_shared<aerofoil::Polar>(aerofoil::cylinder_polar(1.2)),
                   true, 1.2, ""};
  const analysis::StartUp c = analysis::start_up(b, rho, 0.01);
  for (const auto& p : c.curve) EXPECT_EQ(p.torque, 0.0);
  EXPECT_FALSE(c.start_wind.has_value());
}

TEST(RatioRange, DefaultGridHas57Points) {
  const auto r = analysis::ratio_range(1.0, 15.0, 0.25);
  ASSERT_EQ(r.size(), 57u);
  EXPECT_EQ(r.front(), 1.0);
  EXPECT_EQ(r.back(), 15.0);
  EXPECT_EQ(analysis::ratio_range(2.0, 2.0, 1.0).size(), 1u);
  EXPECT_TRUE(analysis::ratio_range(3.0, 2.0, 1.0).empty());
}

TEST(Drivetrain, ConstantOrInterpolatedEfficiency) {
  analysis::Drivetrain d;
  d.efficiency = 0.9;
  EXPECT_DOUBLE_EQ(d.electrical(1000.0), 900.0);
  EXPECT_EQ(d.electrical(-5.0), -5.0);
  d.table = {{100.0, 0.5}, {1100.0, 0.9}};
  EXPECT_DOUBLE_EQ(d.electrical(50.0), 25.0);      // held below the table
  EXPECT_DOUBLE_EQ(d.electrical(600.0), 420.0);    // 0.7 halfway
  EXPECT_DOUBLE_EQ(d.electrical(2000.0), 1800.0);  // held above it
}

}  // namespace
