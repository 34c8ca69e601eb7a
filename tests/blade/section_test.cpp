// Section operations on the outline of unit chord: inner outline, perimeter and area, centring
// and turning, and the piecewise surface and volume.
#include "blade/section.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "blade/blade.h"
#include "geometry_support.h"
#include "textio/textio.h"

namespace {

using namespace geometry_test;
using blade::kSetPoints;
using blade::Outline;
using blade::Vertex;

auto level(double v) {
  return [v](double) { return v; };
}

// The outline that normala left in Temp/Profil.dat: 101 records, the 51st empty.
Outline read_inner_file() {
  const std::vector<std::string> recs = records("Temp/Profil.dat");
  EXPECT_EQ(recs.size(), 101u);
  EXPECT_EQ(recs.at(50), "");
  Outline o;
  for (std::size_t j = 0; j < kSetPoints; ++j) {
    const std::vector<double> a = numbers(recs.at(j));
    const std::vector<double> b = numbers(recs.at(51 + j));
    EXPECT_EQ(a.size(), 2u);
    EXPECT_EQ(b.size(), 2u);
    o.x[0][j] = a.at(0);
    o.y[0][j] = a.at(1);
    o.x[1][j] = b.at(0);
    o.y[1][j] = b.at(1);
  }
  return o;
}

bool all_finite(const Outline& o) {
  for (std::size_t s = 0; s < 2; ++s) {
    for (std::size_t j = 0; j < kSetPoints; ++j) {
      if (!std::isfinite(o.x[s][j]) || !std::isfinite(o.y[s][j])) return false;
    }
  }
  return true;
}

// ---------------------------------------------------------------------------------------------
// Inner outline.

struct StraightCase {
  double d;
  double lower_y;  // expected y of every point of set 1
  double upper_y;  // expected y of every point of set 2
};

TEST(Normala, StraightOutlineMovesAcrossAndJoinsWhereCrossed) {
  // Set 1 on y = 0, set 2 on y = 0.1: slope 0, so x stays and y moves by d.
  const double joined = (0.06 + (0.1 - 0.06)) / 2;  // midpoint of the crossed sides, ~0.05
  const StraightCase cases[] = {
      {0.02, 0.02, 0.1 - 0.02},  // 0.02 and 0.08
      {0.06, joined, joined},    // 0.06 above 0.04: both sets on the midpoint
      {0.0, 0.0, 0.1},           // nothing moves
      {-0.02, -0.02, 0.1 + 0.02},
  };
  WorkDir dir;
  const Outline outer = make_outline(level(0.0), level(0.1));
  write_outline("Temp/ProfilI.dat", outer);
  for (const StraightCase& c : cases) {
    SCOPED_TRACE("d = " + std::to_string(c.d));
    normala(c.d);
    const Outline in = read_inner_file();
    for (std::size_t j = 0; j < kSetPoints; ++j) {
      EXPECT_TRUE(same_bits(in.x[0][j], outer.x[0][j]));
      EXPECT_TRUE(same_bits(in.x[1][j], outer.x[1][j]));
      EXPECT_TRUE(same_bits(in.y[0][j], c.lower_y));
      EXPECT_TRUE(same_bits(in.y[1][j], c.upper_y));
    }
  }
  EXPECT_NEAR(joined, 0.05, 1e-17);
}

TEST(Normala, SlopeOneMovesAlongTheDiagonalNormal) {
  WorkDir dir;
  const Outline outer = make_outline([](double x) { return x; }, [](double x) { return x + 0.5; });
  write_outline("Temp/ProfilI.dat", outer);
  normala(std::sqrt(2.0) / 100);
  const Outline in = read_inner_file();
  for (std::size_t j = 0; j < kSetPoints; ++j) {
    // A step of d = sqrt(2)/100 along the unit normal of a 45-degree side: 0.01 in x and y.
    EXPECT_NEAR(in.x[0][j] - outer.x[0][j], -0.01, 1e-15);
    EXPECT_NEAR(in.y[0][j] - outer.y[0][j], 0.01, 1e-15);
    EXPECT_NEAR(in.x[1][j] - outer.x[1][j], 0.01, 1e-15);
    EXPECT_NEAR(in.y[1][j] - outer.y[1][j], -0.01, 1e-15);
  }
}

TEST(Normala, LastPointTakesTheSlopeOfTheLastSegment) {
  // Set 1 is level except for its last segment, which rises with slope 1.
  Outline outer = make_outline(level(0.0), level(0.1));
  const std::size_t last = kSetPoints - 1;
  outer.y[0][last] = outer.x[0][last] - outer.x[0][last - 1];
  const double d = 0.01;
  const Outline in = blade::inner_outline(outer, d);
  const double w = std::sqrt(2.0);
  for (std::size_t j : {last - 1, last}) {
    EXPECT_TRUE(same_bits(in.x[0][j], outer.x[0][j] - d * 1.0 / w));
    EXPECT_TRUE(same_bits(in.y[0][j], outer.y[0][j] + d / w));
  }
  EXPECT_TRUE(same_bits(in.x[0][last - 2], outer.x[0][last - 2]));
}

TEST(Normala, JoinsOnlyWhereTheLowerSideLiesStrictlyAbove) {
  struct Case {
    double y1, y2;
    bool joined;
  };
  const Case cases[] = {
      {0.3, 0.3, false},                       // exactly equal: kept apart
      {std::nextafter(0.3, 1.0), 0.3, true},   // one ulp above: joined
      {0.3, std::nextafter(0.3, 1.0), false},  // below: kept
  };
  for (const Case& c : cases) {
    std::vector<double> x1{0.1}, y1{c.y1}, x2{0.2}, y2{c.y2};
    blade::join_crossed(x1, y1, x2, y2);
    if (c.joined) {
      EXPECT_TRUE(same_bits(x1[0], (0.1 + 0.2) / 2));
      EXPECT_TRUE(same_bits(x2[0], (0.1 + 0.2) / 2));
      EXPECT_TRUE(same_bits(y1[0], (c.y1 + c.y2) / 2));
      EXPECT_TRUE(same_bits(y2[0], (c.y1 + c.y2) / 2));
    } else {
      EXPECT_EQ(x1[0], 0.1);
      EXPECT_EQ(x2[0], 0.2);
      EXPECT_EQ(y1[0], c.y1);
      EXPECT_EQ(y2[0], c.y2);
    }
  }
}

TEST(Normala, ZeroOffsetCopiesTheOutlineWithoutTheTrailingBlankRecord) {
  WorkDir dir;
  write_outline("Temp/ProfilI.dat", shipped_outline("naca4412.dat"));
  normala(0.0);
  std::vector<std::string> in = records("Temp/ProfilI.dat");
  ASSERT_EQ(in.size(), 102u);
  in.pop_back();
  EXPECT_EQ(records("Temp/Profil.dat"), in);
  EXPECT_EQ(slurp("Temp/Profil.dat").substr(0, 2), " 0");
}

TEST(Normala, AlwaysWritesOneHundredAndOneRecords) {
  WorkDir dir;
  const Outline outer = make_outline(level(0.0), level(0.1));
  write_outline("Temp/ProfilI.dat", outer, false, false);
  normala(0.02);
  const std::string without_blanks = slurp("Temp/Profil.dat");
  write_outline("Temp/ProfilI.dat", outer, true, true);
  normala(0.02);
  EXPECT_EQ(slurp("Temp/Profil.dat"), without_blanks);
  EXPECT_EQ(records("Temp/Profil.dat").size(), 101u);
}

TEST(Normala, NegativeOffsetMovesOutwardsWithoutJoining) {
  const Outline outer = make_outline([](double x) { return -0.05 * std::sin(3.0 * x); },
                                     [](double x) { return 0.08 * std::sin(3.0 * x); });
  const Outline in = blade::inner_outline(outer, -0.01);
  for (std::size_t j = 0; j < kSetPoints; ++j) {
    EXPECT_LT(in.y[0][j], outer.y[0][j]);
    EXPECT_GT(in.y[1][j], outer.y[1][j]);
  }
}

TEST(Normala, VerticalAndZeroLengthSegmentsGiveFinitePoints) {
  // Set 1 starts with a vertical segment (equal x, rising y), set 2 with a vertical segment
  // falling; set 1 then has two equal points.
  Outline outer = make_outline(level(0.0), level(0.1));
  outer.x[0][1] = outer.x[0][0];
  outer.y[0][1] = 0.01;
  outer.x[1][1] = outer.x[1][0];
  outer.y[1][0] = 0.12;
  outer.x[0][5] = outer.x[0][4];
  outer.y[0][5] = outer.y[0][4];
  const double d = 0.004;
  const Outline in = blade::inner_outline(outer, d);
  ASSERT_TRUE(all_finite(in));
  // A vertical segment's normal is horizontal: rising on the lower side moves towards -x,
  // falling on the upper side moves towards -x too ((m, -1)/w with m -> -inf).
  EXPECT_EQ(in.x[0][0], outer.x[0][0] - d);
  EXPECT_EQ(in.y[0][0], outer.y[0][0]);
  EXPECT_EQ(in.x[1][0], outer.x[1][0] - d);
  EXPECT_EQ(in.y[1][0], outer.y[1][0]);
  // Two equal points have no direction: the first moves straight across.
  EXPECT_EQ(in.x[0][4], outer.x[0][4]);
  EXPECT_EQ(in.y[0][4], outer.y[0][4] + d);
  // Also through the files.
  WorkDir dir;
  write_outline("Temp/ProfilI.dat", outer);
  normala(d);
  EXPECT_TRUE(all_finite(read_inner_file()));
}

// ---------------------------------------------------------------------------------------------
// Perimeter and area.

// The area sum as written down for a set: the trapezoid rule over ordinates raised by 1.
double reference_raised_sum(const std::array<double, kSetPoints>& x,
                            const std::array<double, kSetPoints>& y) {
  double s = 0.0;
  for (std::size_t i = 0; i + 1 < kSetPoints; ++i) {
    const double run = x[i + 1] - x[i];
    const double raised = (y[i + 1] + 1) + (y[i] + 1);
    s = s + run * raised / 2;
  }
  return s;
}

TEST(PerimeterArea, StraightOutlines) {
  struct Case {
    double upper;
    double area;
  };
  const Case cases[] = {{0.1, 0.1}, {-0.1, -0.1}};
  for (const Case& c : cases) {
    WorkDir dir;
    const Outline o = make_outline(level(0.0), level(c.upper));
    write_outline("Temp/Profil.dat", o);
    double P = -1.0, A = -1.0;
    perimeter(P);
    area(A);
    EXPECT_NEAR(P, 2.0, 1e-14);  // two chord lengths, no end segments
    EXPECT_NEAR(A, c.area, 1e-15);
    EXPECT_TRUE(
        same_bits(A, reference_raised_sum(o.x[1], o.y[1]) - reference_raised_sum(o.x[0], o.y[0])));
  }
}

TEST(PerimeterArea, BlankRecordsAndExtraValuesDoNotMatter) {
  WorkDir dir;
  const Outline o = shipped_outline("sg6043.dat");
  write_outline("Temp/Profil.dat", o, true, true);
  double P1 = 0, A1 = 0;
  perimeter(P1);
  area(A1);
  write_outline("Temp/Profil.dat", o, false, false);
  double P2 = 0, A2 = 0;
  perimeter(P2);
  area(A2);
  EXPECT_TRUE(same_bits(P2, P1));
  EXPECT_TRUE(same_bits(A2, A1));
  {
    textio::OutFile out("Temp/Profil.dat");
    for (std::size_t s = 0; s < 2; ++s) {
      for (std::size_t j = 0; j < kSetPoints; ++j) out.write({o.x[s][j], o.y[s][j], 7.5});
    }
    out.close();
  }
  double P3 = 0, A3 = 0;
  perimeter(P3);
  area(A3);
  EXPECT_TRUE(same_bits(P3, P1));
  EXPECT_TRUE(same_bits(A3, A1));
  EXPECT_TRUE(same_bits(A1, blade::outline_area(o)));
  EXPECT_TRUE(same_bits(P1, blade::outline_perimeter(o)));
  // A real aerofoil: a thin section of roughly two chords' perimeter.
  EXPECT_GT(A1, 0.05);
  EXPECT_LT(A1, 0.15);
  EXPECT_GT(P1, 2.0);
  EXPECT_LT(P1, 2.2);
}

TEST(PerimeterArea, DegenerateAndReversedOutlines) {
  const Outline point = make_outline(level(0.3), level(0.3));
  Outline same = point;
  for (std::size_t s = 0; s < 2; ++s) same.x[s].fill(0.4);
  EXPECT_EQ(blade::outline_perimeter(same), 0.0);
  EXPECT_EQ(blade::outline_area(same), 0.0);
  // Sets in opposite x directions add their raised areas instead of subtracting them.
  Outline reversed = make_outline(level(0.0), level(0.1));
  for (std::size_t j = 0; j < kSetPoints; ++j) reversed.x[1][j] = 1.0 - reversed.x[1][j];
  EXPECT_NEAR(blade::outline_area(reversed), -2.1, 1e-14);
}

TEST(PerimeterArea, MissingOrShortFileEndsTheRun) {
  WorkDir dir;
  double v = 0;
  EXPECT_THROW(perimeter(v), textio::RunError);
  EXPECT_THROW(area(v), textio::RunError);
  spit("Temp/Profil.dat", " 0. 0.\r\n 1. 0.\r\n");
  EXPECT_THROW(area(v), textio::RunError);
}

// ---------------------------------------------------------------------------------------------
// Centring and turning.

TEST(Centroid, RectangleStripSumsAndCentroid) {
  const Outline o = make_outline(level(-0.05), level(0.05));
  const blade::StripSums s1 = blade::strip_sums(o.x[0], o.y[0]);
  const blade::StripSums s2 = blade::strip_sums(o.x[1], o.y[1]);
  EXPECT_NEAR(s1.a, 0.95, 1e-15);
  EXPECT_NEAR(s1.q, 0.45125, 1e-15);
  EXPECT_NEAR(s2.a, 1.05, 1e-15);
  EXPECT_NEAR(s2.q, 0.55125, 1e-15);
  EXPECT_NEAR(s1.p / s1.a, 0.5, 1e-15);
  const blade::Point2 c = blade::section_centroid(o);
  EXPECT_NEAR(c.x, 0.5, 1e-14);
  EXPECT_NEAR(c.y, 0.0, 1e-14);
}

TEST(Centroid, SymmetricOutlineIsCentredOnTheChord) {
  const auto thickness = [](double x) { return 0.06 * std::sin(3.141592653589793 * x); };
  const Outline o = make_outline([&](double x) { return -thickness(x); }, thickness);
  const blade::Point2 c = blade::section_centroid(o);
  // Heights near 1 divided by an area near 0.08: rounding shows at about 1e-14.
  EXPECT_NEAR(c.y, 0.0, 1e-13);
  EXPECT_NEAR(c.x, 0.5, 1e-13);
}

TEST(Centroid, ZeroAreaOutlinesGiveFiniteCentres) {
  // Both sets on one line: no area between them; the mean of the points stands in.
  const Outline flat =
      make_outline([](double x) { return 0.02 * x; }, [](double x) { return 0.02 * x; });
  const blade::Point2 c = blade::section_centroid(flat);
  double mx = 0, my = 0;
  for (std::size_t s = 0; s < 2; ++s) {
    for (std::size_t j = 0; j < kSetPoints; ++j) {
      mx += flat.x[s][j];
      my += flat.y[s][j];
    }
  }
  EXPECT_TRUE(same_bits(c.x, mx / 100));
  EXPECT_TRUE(same_bits(c.y, my / 100));
  // A set of zero strip area (all its points at x = 0) contributes its moment only.
  Outline edge = make_outline(level(0.0), level(0.1));
  edge.x[0].fill(0.0);
  const blade::Point2 e = blade::section_centroid(edge);
  EXPECT_TRUE(std::isfinite(e.x));
  EXPECT_TRUE(std::isfinite(e.y));
  const blade::StripSums s2 = blade::strip_sums(edge.x[1], edge.y[1]);
  EXPECT_TRUE(same_bits(e.x, s2.a * (s2.p / s2.a) / s2.a));
  // The turned file of a zero-area outline holds numbers only.
  WorkDir dir;
  write_outline("Temp/ProfilI.dat", flat);
  geo3d(12.0);
  for (const std::string& r : records("Temp/3dgeo.dat")) {
    for (double v : numbers(r)) EXPECT_TRUE(std::isfinite(v)) << r;
  }
}

TEST(Geo3d, NinetyDegreesOnlyMovesTheCentroidToTheOrigin) {
  WorkDir dir;
  const Outline o = shipped_outline("naca4412.dat");
  write_outline("Temp/ProfilI.dat", o);
  EXPECT_EQ(blade::turn_angle(90.0), 0.0);
  geo3d(90.0);
  const std::vector<std::string> recs = records("Temp/3dgeo.dat");
  ASSERT_EQ(recs.size(), 100u);
  const blade::Point2 c = blade::section_centroid(o);
  for (std::size_t s = 0; s < 2; ++s) {
    for (std::size_t j = 0; j < kSetPoints; ++j) {
      const std::vector<double> v = numbers(recs[s * kSetPoints + j]);
      ASSERT_EQ(v.size(), 2u);
      EXPECT_TRUE(same_bits(v[0], o.x[s][j] - c.x));
      EXPECT_TRUE(same_bits(v[1], o.y[s][j] - c.y));
    }
  }
}

TEST(Geo3d, ZeroTwistTurnsByTheSinglePrecisionRightAngle) {
  const double phi = blade::turn_angle(0.0);
  EXPECT_TRUE(same_bits(phi, 1.5707963705062866));
  EXPECT_TRUE(same_bits(std::cos(phi), -4.371139000186241e-08));
  const Outline o = shipped_outline("naca4412.dat");
  const blade::Point2 c = blade::section_centroid(o);
  const Outline t = blade::turned_outline(o, 0.0);
  for (std::size_t s = 0; s < 2; ++s) {
    for (std::size_t j = 0; j < kSetPoints; ++j) {
      const double u = o.x[s][j] - c.x, v = o.y[s][j] - c.y;
      EXPECT_NEAR(t.x[s][j], v - 4.371139000186241e-08 * u, 1e-15);
      EXPECT_NEAR(t.y[s][j], -u - 4.371139000186241e-08 * v, 1e-15);
    }
  }
}

TEST(Geo3d, ChordTurnsFromMinusYTowardsPlusX) {
  // A flat plate of unit chord: the chord direction becomes (sin theta, -cos theta).
  const Outline plate = make_outline(level(-0.01), level(0.01));
  for (double theta : {0.0, 30.0, 90.0, 135.0}) {
    const Outline t = blade::turned_outline(plate, theta);
    const double dx = t.x[0][kSetPoints - 1] - t.x[0][0];
    const double dy = t.y[0][kSetPoints - 1] - t.y[0][0];
    const double rad = theta * 3.141592653589793 / 180.0;
    EXPECT_NEAR(dx, std::sin(rad), 1e-6) << theta;
    EXPECT_NEAR(dy, -std::cos(rad), 1e-6) << theta;
  }
}

// ---------------------------------------------------------------------------------------------
// Surface and volume along the radius.

TEST(Pieces, ConstantChordAndTwistGiveAPrism) {
  struct Case {
    double R, rhub, c, theta;
    int nbe;
  };
  const Case cases[] = {
      {1.0, 0.1, 0.08, 12.0, 10}, {2.5, 0.0, 0.1, -3.0, 1}, {0.7, 0.2, 0.2, 0.0, 4}};
  const double A = 0.0823, P = 2.04;
  for (const Case& k : cases) {
    const double dr = (1.0 - k.rhub / k.R) / static_cast<double>(k.nbe);
    const double H = dr * k.R;
    const std::vector<double> c(static_cast<std::size_t>(k.nbe) + 2, k.c);
    const std::vector<double> theta(c.size(), k.theta);
    std::vector<double> s(c.size(), A * (k.R * k.c) * (k.R * k.c));
    const double len = k.R - k.rhub;
    const double lateral = blade::lateral_surface(k.R, P, H, c);
    const double volume = blade::stacked_volume(H, s, theta);
    EXPECT_NEAR(lateral / (P * k.R * k.c * len), 1.0, 1e-14);
    EXPECT_NEAR(volume / (A * (k.R * k.c) * (k.R * k.c) * len), 1.0, 1e-14);
  }
}

TEST(Pieces, FrustumAndTwistFactor) {
  const double L = 0.3, sp = 0.004, sq = 0.001;
  const double frustum = L * (sp + sq + std::sqrt(sp * sq)) / 3;
  EXPECT_NEAR(blade::piece_volume(L, sp, sq, 5.0, 5.0), frustum, 1e-18);
  for (double step : {1.0, 10.0, 45.0, 80.0}) {
    const double twisted = blade::piece_volume(L, sp, sq, 5.0 + step, 5.0);
    const double factor = std::pow(std::cos(step * 3.141592653589793 / 180), 0.25);
    EXPECT_NEAR(twisted / frustum, factor, 1e-7) << step;
    EXPECT_LT(twisted, frustum);
  }
  // Chords of 0.6 m and 0.2 m over a piece of 0.3 m: the slant runs 0.2 m across (half the
  // chord step) and 0.3 m along.
  const double R = 2.0, P = 2.0, cp = 0.3, cq = 0.1;
  const double slant = std::sqrt(0.2 * 0.2 + 0.3 * 0.3);
  EXPECT_NEAR(blade::piece_surface(R, P, cp, cq, 0.3), (R * P * cp + R * P * cq) * 0.5 * slant,
              1e-15);
}

// ---------------------------------------------------------------------------------------------
// Facet normal.

bool same_vertex_bits(const Vertex& a, const Vertex& b) {
  for (int k = 0; k < 3; ++k) {
    if (std::bit_cast<std::uint32_t>(a[k]) != std::bit_cast<std::uint32_t>(b[k])) return false;
  }
  return true;
}

TEST(FacetNormal, CapFacetsAndDegenerateFacets) {
  const Vertex a{0, 0, 5}, b{1, 0, 5}, c{0, 1, 5};
  EXPECT_TRUE(same_vertex_bits(blade::facet_normal(a, b, c), Vertex{0, 0, 1}));
  const Vertex down = blade::facet_normal(a, c, b);
  EXPECT_EQ(down[2], -1.0f);
  EXPECT_EQ(down[0], 0.0f);
  EXPECT_EQ(down[1], 0.0f);
  // Zero area: two equal vertices, or three on one line.
  EXPECT_TRUE(same_vertex_bits(blade::facet_normal(a, a, c), Vertex{0, 0, 0}));
  EXPECT_TRUE(same_vertex_bits(blade::facet_normal(a, b, b), Vertex{0, 0, 0}));
  EXPECT_TRUE(same_vertex_bits(blade::facet_normal(a, b, Vertex{3, 0, 5}), Vertex{0, 0, 0}));
  // A cross product too small to square in single precision has no usable length either.
  const Vertex n = blade::facet_normal(Vertex{0, 0, 0}, Vertex{1e-20f, 0, 0}, Vertex{0, 1e-20f, 0});
  EXPECT_TRUE(same_vertex_bits(n, Vertex{0, 0, 0}));
}

TEST(FacetNormal, SinglePrecisionThroughout) {
  // The formula term by term in float; float products of floats are exact in double and
  // rounded once, so a double evaluation would differ in the last bit for many inputs.
  std::mt19937 gen(7);
  std::uniform_real_distribution<float> coord(-3000.0f, 3000.0f);
  int differs_from_double = 0;
  for (int n = 0; n < 2000; ++n) {
    Vertex a, b, c;
    for (auto* v : {&a, &b, &c}) {
      for (float& e : *v) e = coord(gen);
    }
    const float e1x = b[0] - a[0], e1y = b[1] - a[1], e1z = b[2] - a[2];
    const float e2x = c[0] - a[0], e2y = c[1] - a[1], e2z = c[2] - a[2];
    const float nx = e1y * e2z - e1z * e2y;
    const float ny = e1z * e2x - e1x * e2z;
    const float nz = e1x * e2y - e1y * e2x;
    const float len = std::sqrt((nx * nx + ny * ny) + nz * nz);
    const Vertex expected{nx / len, ny / len, nz / len};
    ASSERT_TRUE(same_vertex_bits(blade::facet_normal(a, b, c), expected)) << n;
    const double dx = double(e1y) * e2z - double(e1z) * e2y;
    if (static_cast<float>(dx) != nx) ++differs_from_double;
  }
  EXPECT_GT(differs_from_double, 0);
}

}  // namespace
