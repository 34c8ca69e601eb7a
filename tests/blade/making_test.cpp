// The files for making: section curves that close, start at the leading edge and run the same
// way at every station, and the plan form of the blade arrays, on point sets whose answer can be
// written down.
#include "blade/making.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

namespace {

using blade::CurvePoint;
using blade::Point3;

// One station of 100 points (metres): lower side y = -t, upper side y = +t, x from 0 to c in
// 50 even steps, at radius z. With `blunt`, the upper side ends at y = 2t above the lower
// side's trailing edge instead of meeting it.
void add_station(std::vector<Point3>& points, double c, double t, double z, bool blunt = false) {
  for (int side = 0; side < 2; ++side) {
    for (int j = 0; j < 50; ++j) {
      const double x = c * j / 49.0;
      // Thickness vanishes at both edges, so both sides share their first and last points.
      const double shape = std::sin(3.141592653589793 * j / 49.0);
      double y = (side == 0 ? -t : t) * shape;
      if (j == 0) y = 0.0;
      if (j == 49) y = blunt && side == 1 ? 2 * t : 0.0;
      points.push_back({x, y, z});
    }
  }
}

TEST(Making, SectionCurvesCloseAtTheLeadingEdgeWithSharedEdgesOnce) {
  std::vector<Point3> points;
  add_station(points, 0.1, 0.01, 0.15);
  add_station(points, 0.05, 0.005, 1.5, true);
  const std::vector<CurvePoint> curves = blade::section_curves(points);
  // Station 1: 50 lower points, 48 upper points (both edges shared), the first point again.
  // Station 2: the blunt trailing edge is a point of its own: 50 + 49 + 1.
  ASSERT_EQ(curves.size(), 99u + 100u);
  const auto at = [&](std::size_t k) { return curves[k]; };
  EXPECT_EQ(at(0).station, 1u);
  EXPECT_EQ(at(98).station, 1u);
  EXPECT_EQ(at(99).station, 2u);
  // Millimetres: the leading edge at 0, the trailing edge at the chord, z the radius.
  EXPECT_DOUBLE_EQ(at(0).x, 0.0);
  EXPECT_DOUBLE_EQ(at(49).x, 100.0);
  EXPECT_DOUBLE_EQ(at(49).y, 0.0);
  EXPECT_DOUBLE_EQ(at(0).z, 150.0);
  // Lower side first (y below 0), then the upper side back towards the leading edge.
  EXPECT_LT(at(25).y, 0.0);
  EXPECT_GT(at(50).y, 0.0);
  EXPECT_GT(at(50).x, at(51).x);
  EXPECT_NEAR(at(50).x, 100.0 * 48 / 49, 1e-12);
  EXPECT_NEAR(at(97).x, 100.0 / 49, 1e-12);
  // The curve ends on its first point.
  EXPECT_EQ(at(98).x, at(0).x);
  EXPECT_EQ(at(98).y, at(0).y);
  // The blunt station keeps its upper trailing-edge point, 2 t = 10 mm above the lower one.
  EXPECT_DOUBLE_EQ(at(99 + 50).x, 50.0);
  EXPECT_DOUBLE_EQ(at(99 + 50).y, 10.0);
  EXPECT_DOUBLE_EQ(at(99 + 49).y, 0.0);
  EXPECT_EQ(at(198).x, at(99).x);
  EXPECT_EQ(at(198).z, 1500.0);
}

TEST(Making, PlanformTakesChordAndTwistOfTheStationsAndRadiusAndEdgesOfThePoints) {
  std::vector<Point3> points;
  add_station(points, 0.2, 0.01, 0.15);
  add_station(points, 0.1, 0.01, 0.6);
  add_station(points, 0.05, 0.01, 1.2);
  // Relative chords of the hub, the element centre and the tip, R = 1.2 m; the stations' radii
  // are not the ones the points stand at.
  const std::vector<blade::Station> stations = {
      {0.1, 0.12, 0.2, 20.0}, {0.5, 0.6, 0.1, 7.5}, {1.0, 1.2, 0.05, -1.25}};
  const auto rows = blade::planform(points, 1.2, stations);
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_EQ(rows[0].station, 1u);
  EXPECT_DOUBLE_EQ(rows[0].radius, 150.0);
  EXPECT_DOUBLE_EQ(rows[0].chord, 240.0);  // 0.2 * 1.2 m
  EXPECT_DOUBLE_EQ(rows[0].twist, 20.0);
  EXPECT_DOUBLE_EQ(rows[0].te_x, 200.0);
  EXPECT_DOUBLE_EQ(rows[1].chord, 120.0);
  EXPECT_DOUBLE_EQ(rows[1].twist, 7.5);
  EXPECT_DOUBLE_EQ(rows[2].radius, 1200.0);
  EXPECT_DOUBLE_EQ(rows[2].chord, 60.0);
  EXPECT_DOUBLE_EQ(rows[2].twist, -1.25);
  EXPECT_DOUBLE_EQ(rows[2].le_x, 0.0);
  EXPECT_DOUBLE_EQ(rows[2].te_x, 50.0);
}

TEST(Making, CsvTextHasItsHeaderAndFourDecimals) {
  const std::vector<CurvePoint> curve = {{1, -34.51684, 56.55747, 150.0},
                                         {2, 0.00001, -0.00004, 1e3}};
  EXPECT_EQ(blade::sections_csv(curve),
            "station,x_mm,y_mm,z_mm\n"
            "1,-34.5168,56.5575,150.0000\n"
            "2,0.0000,0.0000,1000.0000\n");
  const std::vector<blade::PlanformRow> rows = {
      {3, 487.5, 86.32594, 8.67159, -9.25, 34.9, 3.8, -50.4}};
  EXPECT_EQ(blade::planform_csv(rows),
            "station,radius_mm,chord_mm,twist_deg,le_x_mm,le_y_mm,te_x_mm,te_y_mm\n"
            "3,487.5000,86.3259,8.6716,-9.2500,34.9000,3.8000,-50.4000\n");
}

}  // namespace
