// STL export: record layout, single-precision numbers and normals, facet orientation, and that
// the exported mesh is a closed surface enclosing the blade's volume.
#include "blade/bladestl.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <functional>
#include <iostream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "blade/blade.h"
#include "blade/section.h"
#include "driver/blade_dialogue.h"
#include "geometry_support.h"
#include "textio/textio.h"

namespace {

using namespace geometry_test;
using blade::Vertex;

// ---------------------------------------------------------------------------------------------
// Files.

// The points of `sections` sections of 100 points each from a point function.
std::vector<blade::Point3> make_points(
    std::size_t sections, const std::function<std::array<double, 3>(std::size_t, std::size_t)>& p) {
  std::vector<blade::Point3> points;
  for (std::size_t i = 1; i <= sections; ++i) {
    for (std::size_t j = 1; j <= 100; ++j) {
      const std::array<double, 3> v = p(i, j);
      points.push_back({v[0], v[1], v[2]});
    }
  }
  return points;
}

// A rectangular section (no shared points between the sets) at z = 0.5*i metres.
std::array<double, 3> box_point(std::size_t i, std::size_t j) {
  const std::size_t k = (j - 1) % 50;
  const double x = 0.002 * static_cast<double>(k);
  const double y = j <= 50 ? -0.01 : 0.01;
  return {x, y, 0.5 * static_cast<double>(i)};
}

struct Facet {
  std::array<Vertex, 3> v;
  Vertex normal;
  bool wide_endloop;
};

Vertex parse_triple(const std::string& record, std::size_t skip) {
  std::istringstream in(record.substr(skip));
  std::string w;
  Vertex out{};
  for (float& e : out) {
    in >> w;
    e = std::strtof(w.c_str(), nullptr);
  }
  return out;
}

// Parses Result/blade.stl, checking the layout of every record on the way.
std::vector<Facet> read_stl(const std::vector<std::string>& recs) {
  std::vector<Facet> facets;
  EXPECT_EQ(recs.front(), " solid blade.stl");
  EXPECT_EQ(recs.back(), " endsolid");
  for (std::size_t at = 1; at + 7 <= recs.size() - 1; at += 7) {
    Facet f{};
    EXPECT_EQ(recs[at].substr(0, 16), "   facet normal ") << at;
    EXPECT_EQ(recs[at + 1], "     outer loop") << at;
    for (int k = 0; k < 3; ++k) EXPECT_EQ(recs[at + 2 + k].substr(0, 14), "       vertex ") << at;
    f.wide_endloop = recs[at + 5] == "      endloop";
    if (!f.wide_endloop) {
      EXPECT_EQ(recs[at + 5], "     endloop") << at;
    }
    EXPECT_EQ(recs[at + 6], "   endfacet") << at;
    f.normal = parse_triple(recs[at], 16);
    for (int k = 0; k < 3; ++k) f.v[k] = parse_triple(recs[at + 2 + k], 14);
    facets.push_back(f);
  }
  return facets;
}

bool degenerate(const Facet& f) {
  return f.v[0] == f.v[1] || f.v[1] == f.v[2] || f.v[0] == f.v[2];
}

struct MeshCheck {
  std::size_t degenerate = 0;
  std::size_t edges = 0;
  std::size_t bad_edges = 0;    // directed edges not matched by exactly one reverse use
  double signed_volume = 0;     // mm^3, positive for outward normals
  std::size_t normals_off = 0;  // written normals that disagree with the vertex order
};

MeshCheck check_closed(const std::vector<Facet>& facets) {
  MeshCheck m;
  std::map<std::pair<Vertex, Vertex>, int> used;
  for (const Facet& f : facets) {
    if (degenerate(f)) {
      ++m.degenerate;
      if (!(f.normal == Vertex{0, 0, 0})) ++m.normals_off;
      continue;
    }
    for (int k = 0; k < 3; ++k) ++used[{f.v[k], f.v[(k + 1) % 3]}];
    const auto d = [](const Vertex& v) { return std::array<double, 3>{v[0], v[1], v[2]}; };
    const auto a = d(f.v[0]), b = d(f.v[1]), c = d(f.v[2]);
    m.signed_volume += (a[0] * (b[1] * c[2] - b[2] * c[1]) - a[1] * (b[0] * c[2] - b[2] * c[0]) +
                        a[2] * (b[0] * c[1] - b[1] * c[0])) /
                       6.0;
    const Vertex n = blade::facet_normal(f.v[0], f.v[1], f.v[2]);
    if (!(n == f.normal)) ++m.normals_off;
  }
  for (const auto& [edge, uses] : used) {
    ++m.edges;
    const auto back = used.find({edge.second, edge.first});
    if (uses != 1 || back == used.end() || back->second != 1) ++m.bad_edges;
  }
  return m;
}

TEST(Bladestl, OneElementGivesFiveHundredNinetySixFacets) {
  WorkDir dir;
  geometry::bladestl(make_points(3, box_point));
  const std::vector<std::string> recs = records("Result/blade.stl");
  ASSERT_EQ(recs.size(), 4174u);
  const std::vector<Facet> facets = read_stl(recs);
  ASSERT_EQ(facets.size(), 596u);
  // Five blanks before "endloop" in the first facet of each root-cap pair only.
  for (std::size_t n = 0; n < facets.size(); ++n) {
    EXPECT_EQ(facets[n].wide_endloop, n < 98 && n % 2 == 0) << n;
  }
  // A box has no degenerate facet: the mesh must be closed and face outwards.
  const MeshCheck m = check_closed(facets);
  EXPECT_EQ(m.degenerate, 0u);
  EXPECT_EQ(m.bad_edges, 0u);
  EXPECT_EQ(m.normals_off, 0u);
  // 98 mm by 20 mm by 1000 mm.
  EXPECT_NEAR(m.signed_volume, 98.0 * 20.0 * 1000.0, 1.0);
  // The whole file ends its records with CR LF.
  EXPECT_EQ(slurp("Result/blade.stl").substr(0, 18), " solid blade.stl\r\n");
}

TEST(Bladestl, FacetOrderAndVertexOrderOfTheFirstFacets) {
  WorkDir dir;
  geometry::bladestl(make_points(3, [](std::size_t i, std::size_t j) {
    if (i == 1 && j == 1) return std::array<double, 3>{0.25, 0.1, 2.5};
    return box_point(i, j);
  }));
  const std::vector<std::string> recs = records("Result/blade.stl");
  // Root cap, first facet: P(1,1), P(1,51), P(1,2).
  EXPECT_EQ(recs[3], "       vertex 250. 100. 2500.");
  EXPECT_EQ(recs[4], "       vertex 0. 10. 500.");
  EXPECT_EQ(recs[5], "       vertex 2. -10. 500.");
  EXPECT_EQ(recs[6], "      endloop");
  // The first band facet: P(1,1), P(1,2), P(2,1).
  const std::size_t band = 1 + 98 * 7;
  EXPECT_EQ(recs[band + 2], "       vertex 250. 100. 2500.");
  EXPECT_EQ(recs[band + 3], "       vertex 2. -10. 500.");
  EXPECT_EQ(recs[band + 4], "       vertex 0. -10. 1000.");
  EXPECT_EQ(recs[band + 5], "     endloop");
}

TEST(Bladestl, CapNormalsPointAwayFromTheBlade) {
  WorkDir dir;
  geometry::bladestl(make_points(4, box_point));
  const std::vector<std::string> recs = records("Result/blade.stl");
  EXPECT_EQ(recs[1], "   facet normal 0. 0. -1.");  // root cap, looking towards the hub
  const std::size_t tip = 1 + (98 + 3 * 200) * 7;
  EXPECT_EQ(recs[tip], "   facet normal 0. 0. 1.");
}

TEST(Bladestl, PointsThatAreNotWholeSectionsKeepTheEarlierExport) {
  WorkDir dir;
  spit("Result/blade.stl", "an earlier export\r\n");
  std::vector<blade::Point3> points = make_points(3, box_point);
  points.pop_back();
  for (const std::vector<blade::Point3>& p :
       {points, make_points(1, box_point), std::vector<blade::Point3>{}}) {
    EXPECT_THROW(geometry::bladestl(p), textio::RunError) << p.size() << " points";
    EXPECT_EQ(slurp("Result/blade.stl"), "an earlier export\r\n");
  }
}

// The solid is made of the point file's digits read in single precision: a coordinate exactly
// halfway between two floats (1 + 2^-24 between 1 and 1 + 2^-23) is rounded as its digits
// "1.0000000596046448" read, up, where rounding the double itself would give 1 (to even).
TEST(Bladestl, VerticesAreThePointFileReadInSinglePrecision) {
  WorkDir dir;
  const double halfway = 1.0 + 0x1p-24;
  ASSERT_EQ(static_cast<float>(halfway), 1.0f);
  const std::vector<blade::Point3> points = make_points(3, [&](std::size_t i, std::size_t j) {
    if (i == 1 && j == 1) return std::array<double, 3>{halfway, -halfway, 0.1};
    return box_point(i, j);
  });
  blade::write_point_file(points);
  textio::InFile in("Result/3dgeo.dat");
  float x = 0.0f, y = 0.0f, z = 0.0f;
  in.read({textio::In(x), textio::In(y), textio::In(z)});
  in.close();
  EXPECT_EQ(x, std::nextafter(1.0f, 2.0f));
  geometry::bladestl(points);
  const std::vector<std::string> recs = records("Result/blade.stl");
  const std::vector<textio::Out> vertex = {"      vertex", x * 1000.0f, y * 1000.0f, z * 1000.0f};
  EXPECT_EQ(recs[3], textio::free_record(vertex));
}

TEST(Bladestl, RepeatedExportsAreAlike) {
  WorkDir dir;
  const std::vector<blade::Point3> points = make_points(3, box_point);
  geometry::bladestl(points);
  const std::string first = slurp("Result/blade.stl");
  geometry::bladestl(make_points(7, box_point));
  EXPECT_NE(slurp("Result/blade.stl"), first);
  geometry::bladestl(points);
  EXPECT_EQ(slurp("Result/blade.stl"), first);
}

// ---------------------------------------------------------------------------------------------
// A real blade, built by the geometry phase and exported.

struct RealBlade {
  blade::BladeFigures figures;
  std::vector<std::string> stl;
};

RealBlade build_and_export(const std::string& aerofoil, std::int64_t nbe, double rtip, double rhub,
                           const std::function<double(double)>& chord,
                           const std::function<double(double)>& twist) {
  write_working_outlines(shipped_outline(aerofoil));
  blade::Blade blade;
  blade.nbe = nbe;
  blade.rtip = rtip;
  blade.rhub = rhub;
  blade.dr = (1.0 - rhub / rtip) / static_cast<double>(nbe);
  double x = rhub / rtip + blade.dr / 2;
  for (std::int64_t i = 0; i < nbe; ++i, x += blade.dr) {
    blade.r.push_back(x);
    blade.chord.push_back(chord(x));
    blade.twist.push_back(twist(x));
  }
  blade.chord.push_back(chord(1.0));
  blade.twist.push_back(twist(1.0));
  blade.hub = {chord(rhub / rtip), twist(rhub / rtip)};
  std::istringstream in("1\n1\n");
  std::ostringstream out;
  textio::Console con(in, out);
  textio::OutFile geometry_out("Result/Geometry.out");
  RealBlade b;
  b.figures = blade::build(driver::blade_choices(con), geometry_out, blade);
  geometry_out.close();
  geometry::bladestl(b.figures.points);
  b.stl = records("Result/blade.stl");
  return b;
}

TEST(Bladestl, RealBladeMeshIsClosedAndEnclosesTheBladeVolume) {
  struct Case {
    const char* aerofoil;
    std::int64_t nbe;
    double twist_slope;  // degrees per unit relative radius
    double agreement;    // relative, mesh volume against the piecewise volume
  };
  // Without twist the mesh between two similar, centred sections is exactly the frustum the
  // piecewise volume assumes, so only single-precision vertices separate the two. With twist,
  // the (cos dtheta)^0.25 factor and the straight rulings between turned sections are two
  // different approximations of the same twisted solid.
  const Case cases[] = {
      {"naca4412.dat", 10, 0.0, 1e-7},
      {"naca4412.dat", 10, -18.0, 5e-5},
      {"sg6043.dat", 1, -18.0, 2e-3},
      {"naca4432.dat", 20, -25.0, 5e-5},
  };
  for (const Case& k : cases) {
    WorkDir dir;
    const RealBlade b = build_and_export(
        k.aerofoil, k.nbe, 1.5, 0.15, [](double x) { return 0.12 - 0.06 * x; },
        [&](double x) { return 22.0 + k.twist_slope * x; });
    SCOPED_TRACE(std::string(k.aerofoil) + " nbe " + std::to_string(k.nbe));
    const std::size_t nbe = static_cast<std::size_t>(k.nbe);
    ASSERT_EQ(b.stl.size(), 1400 * nbe + 2774);
    const std::vector<Facet> facets = read_stl(b.stl);
    ASSERT_EQ(facets.size(), 200 * nbe + 396);
    const MeshCheck m = check_closed(facets);
    // The outlines share their end points: each band has two degenerate strip facets at each
    // edge and each cap one at each end.
    EXPECT_EQ(m.degenerate, 4 * (nbe + 1) + 4);
    EXPECT_EQ(m.bad_edges, 0u);
    EXPECT_EQ(m.normals_off, 0u);
    EXPECT_GT(m.signed_volume, 0.0);
    const double mesh = m.signed_volume * 1e-9;  // mm^3 to m^3
    const double rel = mesh / b.figures.volume - 1.0;
    std::cout << "[ volume   ] " << k.aerofoil << " nbe=" << k.nbe
              << " twist slope=" << k.twist_slope << ": tool " << b.figures.volume << " m^3, mesh "
              << mesh << " m^3, relative difference " << rel << "\n";
    EXPECT_LT(std::abs(rel), k.agreement);
  }
}

TEST(Bladestl, ZeroAreaFacetsGetAZeroNormal) {
  WorkDir dir;
  const RealBlade b = build_and_export(
      "naca4412.dat", 1, 1.0, 0.1, [](double) { return 0.1; }, [](double) { return 10.0; });
  // The first root-cap facet joins P(1,1) with P(1,51), which is the same leading-edge point.
  EXPECT_EQ(b.stl[1], "   facet normal 0. 0. 0.");
  const std::size_t le_strip = 1 + (98 + 49) * 7;
  EXPECT_EQ(b.stl[le_strip], "   facet normal 0. 0. 0.");
  EXPECT_EQ(b.stl[le_strip + 7], "   facet normal 0. 0. 0.");
}

}  // namespace
