// From a contour to the outline of the data files: the shipped outlines come out byte for byte,
// the stations and the closure are those of the file layout, the nose is found between listed
// points, an open trailing edge is closed, and contours that are no section are refused.
#include "foil/outline.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <string>
#include <vector>

#include "foil/datafile.h"
#include "foil/import.h"
#include "support/workdir.h"

namespace {

namespace fs = std::filesystem;
using foil::Point;

const fs::path kSource(ROTORFORGE_SOURCE_DIR);

foil::Naca4 naca(const char* d) {
  foil::Naca4 n;
  EXPECT_TRUE(foil::parse_naca4(d, n));
  return n;
}

// Points of a NACA 00tt section in Selig order at the curve parameters u_k, k = -n..n, with
// u_k = (k + shift) / n: shift 0.5 lists no point at the nose.
std::vector<Point> naca_points(const char* d, int n, double shift, double te_coefficient) {
  const foil::Naca4 s = naca(d);
  const double t = s.t / 100.0;
  std::vector<Point> pts;
  for (int k = n; k >= -n; --k) {
    double u = (k + (k > 0 ? -shift : k < 0 ? shift : 0.0)) / n;
    if (k == 0 && shift != 0.0) continue;
    if (k == n || k == -n) u = k / static_cast<double>(n);
    const double x = u * u;
    const double yt = t / 0.2 *
                      (0.2969 * std::sqrt(x) - 0.1260 * x - 0.3516 * x * x + 0.2843 * x * x * x +
                       te_coefficient * x * x * x * x);
    pts.push_back({x, u >= 0 ? yt : -yt});
  }
  return pts;
}

TEST(Resample, ShippedOutlinesComeOutByteForByte) {
  struct Case {
    const char* file;
    foil::Curve curve;
  };
  const std::string sg = support::slurp(kSource / "tools" / "sections" / "sg6043.dat");
  ASSERT_EQ(sg.size(), 1870u) << "tools/sections/sg6043.dat is the UIUC file";
  const foil::Section sg6043 = foil::read_section(sg);
  const Case cases[] = {
      {"naca4412.dat", foil::naca4_curve(naca("naca4412"))},
      {"sg6043.dat", foil::spline_curve(sg6043.points)},
      {"naca4432.dat", foil::naca4_curve(naca("naca4432"))},
  };
  for (const Case& c : cases) {
    const std::string shipped = support::slurp(kSource / "Data" / c.file);
    const std::string made = foil::outline_text(foil::resample(c.curve));
    EXPECT_EQ(made, shipped) << c.file;
  }
}

// XFOIL gets the section on unit chord: a file already on it spelled as written (the shipped
// SG6043, whose polars were computed from exactly those numbers), a file in percent normalised.
TEST(ShapeOf, XfoilGetsTheSectionOnUnitChord) {
  support::ScratchDir dir("rotorforge-shape-");
  const std::string sg = support::slurp(kSource / "tools" / "sections" / "sg6043.dat");
  std::string percent = "SG6043 in percent\n";
  for (const Point& p : foil::read_section(sg).points) {
    percent += std::to_string(100.0 * p.x) + " " + std::to_string(100.0 * p.y) + "\n";
  }
  dir.write("percent.dat", percent);
  foil::ImportOptions options;
  options.source = (kSource / "tools" / "sections" / "sg6043.dat").string();
  const foil::Shape unit = foil::shape_of(options);
  EXPECT_NE(unit.section_file.find("\n  1.000000  .000000\n  .998105  .000656\n"),
            std::string::npos);
  options.source = (dir / "percent.dat").string();
  const foil::Shape scaled = foil::shape_of(options);
  const foil::Section handed = foil::read_section(scaled.section_file);
  const foil::Section own = foil::read_section(sg);
  ASSERT_EQ(handed.points.size(), own.points.size());
  for (std::size_t i = 0; i < own.points.size(); ++i) {
    EXPECT_NEAR(handed.points[i].x, own.points[i].x, 1e-4) << i;
    EXPECT_NEAR(handed.points[i].y, own.points[i].y, 1e-4) << i;
  }
}

TEST(Resample, StationsAndClosure) {
  const auto x = foil::stations();
  EXPECT_EQ(x.front(), 0.0);
  EXPECT_EQ(x.back(), 1.0);
  for (int j = 1; j < foil::kStations; ++j) EXPECT_GT(x[j], x[j - 1]);
  // Cosine spacing: the smallest step at the nose, 0.00103 of the chord.
  EXPECT_NEAR(x[1] - x[0], 0.00103, 0.000005);

  const foil::Outline o = foil::resample(foil::naca4_curve(naca("naca2412")));
  EXPECT_EQ(o.lower.front().x, 0.0);
  EXPECT_EQ(o.lower.front().y, o.upper.front().y);  // one nose point shared by both sides
  EXPECT_EQ(o.lower.back().x, 1.0);
  EXPECT_EQ(o.lower.back().y, 0.0);
  EXPECT_EQ(o.upper.back().x, 1.0);
  EXPECT_EQ(o.upper.back().y, 0.0);
  for (int j = 0; j < foil::kStations; ++j) {
    EXPECT_EQ(o.lower[j].x, x[j]) << j;
    EXPECT_EQ(o.upper[j].x, x[j]) << j;
    if (j > 0 && j + 1 < foil::kStations) {
      EXPECT_GT(o.upper[j].y, o.lower[j].y) << j;
    }
  }
  const foil::Figures f = foil::figures(o);
  EXPECT_NEAR(f.thickness, 0.12, 0.001);
  EXPECT_NEAR(f.camber, 0.02, 0.0005);
}

TEST(Resample, NoseFoundBetweenListedPoints) {
  // 41 points, none at the nose: the nearest listed ones lie 0.0006 behind it.
  const auto pts = naca_points("naca0012", 20, 0.5, -0.1036);
  double listed_min = 1.0;
  for (const Point& p : pts) listed_min = std::min(listed_min, p.x);
  ASSERT_GT(listed_min, 5e-4);
  const foil::Outline from_points = foil::resample(foil::spline_curve(pts));
  const foil::Outline exact = foil::resample(foil::naca4_curve(naca("naca0012")));
  // Taking the least listed x as the nose would move every station by about 0.0006 and the
  // nose thickness by far more; the curve's own nose puts the outline within spline accuracy.
  EXPECT_NEAR(from_points.lower[0].y, 0.0, 1e-9);
  for (int j = 1; j + 1 < foil::kStations; ++j) {
    EXPECT_NEAR(from_points.upper[j].y, exact.upper[j].y, 6e-4) << j;
    EXPECT_NEAR(from_points.lower[j].y, exact.lower[j].y, 6e-4) << j;
  }
}

TEST(Resample, OpenTrailingEdgeIsClosed) {
  // The original NACA thickness coefficient -0.1015 leaves a gap of 0.25 % at the tail.
  const auto pts = naca_points("naca0012", 40, 0.0, -0.1015);
  ASSERT_GT(pts.front().y - pts.back().y, 0.002);
  const foil::Outline o = foil::resample(foil::spline_curve(pts));
  EXPECT_EQ(o.upper.back().x, 1.0);
  EXPECT_EQ(o.upper.back().y, 0.0);
  EXPECT_EQ(o.lower.back().y, 0.0);
  EXPECT_GT(o.upper[48].y, o.lower[48].y);
  EXPECT_NEAR(foil::figures(o).thickness, 0.12, 0.001);
}

TEST(Resample, ContoursThatAreNoSectionAreRefused) {
  const auto good = naca_points("naca0012", 20, 0.0, -0.1036);
  std::vector<Point> upper(good.begin(), good.begin() + 21);  // tail to nose
  std::vector<Point> lower(good.begin() + 20, good.end());    // nose to tail

  // Upper side listed from the nose to the tail, then the lower side likewise (Lednicer order
  // without the counts).
  std::vector<Point> lednicer_like(upper.rbegin(), upper.rend());
  lednicer_like.insert(lednicer_like.end(), lower.begin() + 1, lower.end());
  // Only one side.
  std::vector<Point> one_side = upper;
  // Two points swapped halfway along the upper side: the side runs back on itself.
  std::vector<Point> swapped = good;
  std::swap(swapped[8], swapped[12]);
  // Sides that cross at mid-chord: the "upper" side passes below the other one.
  std::vector<Point> crossing;
  for (const Point& p : good) crossing.push_back({p.x, p.y * (0.5 - p.x) * 2.0});

  struct Case {
    const char* what;
    const std::vector<Point>& points;
    const char* message;
  };
  const Case cases[] = {
      {"both sides from the nose", lednicer_like, "one closed outline"},
      {"one side only", one_side, "one closed outline"},
      {"points out of order", swapped, "turns back"},
      {"crossing sides", crossing, "sides of the section cross"},
  };
  for (const Case& c : cases) {
    try {
      foil::resample(foil::spline_curve(c.points));
      ADD_FAILURE() << c.what << ": no error";
    } catch (const foil::Error& e) {
      EXPECT_NE(std::string(e.what()).find(c.message), std::string::npos)
          << c.what << ": " << e.what();
    }
  }
}

}  // namespace
