// The blade value: its shape between the stations it holds, each element's section and polar.
#include "blade/rotor_blade.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "aerofoil/polar.h"

namespace {

TEST(RotorBlade, ShapeIsLinearThroughRootCentresAndTip) {
  const shared::Coeffs a{0.12, 0.1, 0.02, 0.0, 0.0};
  const shared::Coeffs t{25.0, 40.0, 10.0, 0.0, 0.0};
  const blade::Blade b = blade::from_laws(3, 6, 2.0, 0.2, 1.5, a, t);
  const double root = b.rhub / b.rtip;
  // The stations themselves: the root (the first element's inner edge, rhub / rtip up to the
  // rounding of r_1 - dr / 2) and the centres exactly.
  EXPECT_NEAR(blade::chord_at(b, root), b.hub.chord, 1e-15);
  EXPECT_NEAR(blade::twist_at(b, root), b.hub.twist, 1e-13);
  for (std::size_t i = 0; i < b.r.size(); ++i) {
    EXPECT_EQ(blade::chord_at(b, b.r[i]), b.chord[i]) << i;
    EXPECT_EQ(blade::twist_at(b, b.r[i]), b.twist[i]) << i;
  }
  EXPECT_EQ(blade::chord_at(b, 1.0), b.chord.back());
  EXPECT_EQ(blade::twist_at(b, 1.0), b.twist.back());
  // Halfway between two centres, the mean; held beyond the ends.
  const double x = (b.r[2] + b.r[3]) / 2.0;
  EXPECT_NEAR(blade::chord_at(b, x), (b.chord[2] + b.chord[3]) / 2.0, 1e-15);
  EXPECT_NEAR(blade::twist_at(b, x), (b.twist[2] + b.twist[3]) / 2.0, 1e-13);
  EXPECT_EQ(blade::chord_at(b, 0.0), b.hub.chord);
  EXPECT_EQ(blade::chord_at(b, 1.5), b.chord.back());
}

// The stations the table, the point file and the plan form list: hub, centres, tip. The hub's
// radius in metres is rhub as given, while its relative radius scaled back, which the table
// shows, may differ in the last bit (0.45 / 3.1 * 3.1 is not 0.45).
TEST(RotorBlade, StationsRunFromTheHubOverTheCentresToTheTip) {
  const blade::Blade b =
      blade::from_laws(3, 4, 3.1, 0.45, 2.0, {0.1, 0.05, 0.0, 0.0, 0.0}, {20.0, 10.0, 0, 0, 0});
  const std::vector<blade::Station> s = blade::blade_stations(b);
  ASSERT_EQ(s.size(), 6u);
  EXPECT_EQ(s[0].x, 0.45 / 3.1);
  EXPECT_EQ(s[0].radius, 0.45);
  EXPECT_NE(s[0].x * 3.1, 0.45);
  EXPECT_EQ(s[0].chord, b.hub.chord);
  EXPECT_EQ(s[0].twist, b.hub.twist);
  for (std::size_t i = 0; i < 4; ++i) {
    EXPECT_EQ(s[i + 1].x, b.r[i]);
    EXPECT_EQ(s[i + 1].radius, b.r[i] * 3.1);
    EXPECT_EQ(s[i + 1].chord, b.chord[i]);
    EXPECT_EQ(s[i + 1].twist, b.twist[i]);
  }
  EXPECT_EQ(s[5].x, 1.0);
  EXPECT_EQ(s[5].radius, 3.1);
  EXPECT_EQ(s[5].chord, b.chord[4]);
  EXPECT_EQ(s[5].twist, b.twist[4]);
}

TEST(RotorBlade, ElementSectionsAndPolars) {
  blade::Blade b;
  b.r = {0.2, 0.4, 0.6};
  EXPECT_EQ(blade::element_section(b, 0), nullptr);
  EXPECT_TRUE(blade::element_polars(b).empty());
  // Sections without tables of their own: every element on the loaded tables.
  b.sections.push_back({"sg6043", nullptr, false, 0.0, ""});
  EXPECT_EQ(blade::element_section(b, 2)->name, "sg6043");
  EXPECT_TRUE(blade::element_polars(b).empty());
  // A round root of its own tables beside the loaded section.
  auto cyl = std::make_shared<aerofoil::Polar>(aerofoil::cylinder_polar(1.2));
  b.sections.push_back({"cylinder", cyl, true, 1.2, "test"});
  b.section = {1, 0, 0};
  const auto polars = blade::element_polars(b);
  ASSERT_EQ(polars.size(), 3u);
  EXPECT_EQ(polars[0], cyl.get());
  EXPECT_EQ(polars[1], nullptr);
  EXPECT_EQ(polars[2], nullptr);
  // The cylinder: no lift, its drag at every angle and Reynolds number.
  for (double alpha : {-170.0, -5.0, 0.0, 37.5, 179.0}) {
    for (double re : {1e3, 1e5, 1e7}) {
      double cl = 1.0, cd = 0.0;
      aerofoil::landd(*cyl, alpha, re, cl, cd);
      EXPECT_EQ(cl, 0.0);
      EXPECT_DOUBLE_EQ(cd, 1.2);
    }
  }
}

}  // namespace
