// ASCII STL export of the blade's surface points, in millimetres.
#include "blade/bladestl.h"

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "blade/section.h"
#include "textio/textio.h"
#include "util/files.h"

namespace geometry {

namespace {

using blade::Vertex;

// Points per section: set 1 (lower side) 1 ... 50, set 2 (upper side) 51 ... 100.
constexpr std::size_t kSectionPoints = blade::kStationPoints;

// The point file spells each coordinate with the shortest digits of its double, and the solid is
// made of those digits read in single precision. Rounding the digits to a float gives the
// rounding of the double itself except when the double lies exactly halfway between two floats,
// so the digits are rounded here as a reader of the file rounds them.
float single_as_written(double v) {
  std::string text;
  textio::append_real(text, v);
  float f = 0.0f;
  if (textio::parse_real(text, f) != textio::ReadError::None) {
    throw textio::RunError(
        std::string(files::kBladePoints) + ": the point " + text + " has no single-precision value",
        2);
  }
  return f;
}

// The blade's surface points, section by section, in millimetres.
class Sections {
 public:
  explicit Sections(std::size_t count) : points_(count * kSectionPoints) {}
  // 1-based section i and point j, as the facet lists are written.
  const Vertex& operator()(std::size_t i, std::size_t j) const {
    return points_[(i - 1) * kSectionPoints + (j - 1)];
  }
  Vertex& operator()(std::size_t i, std::size_t j) {
    return points_[(i - 1) * kSectionPoints + (j - 1)];
  }

 private:
  std::vector<Vertex> points_;
};

void write_facet(textio::OutFile& out, const Vertex& a, const Vertex& b, const Vertex& c,
                 bool wide_endloop = false) {
  const Vertex n = blade::facet_normal(a, b, c);
  out.write({"  facet normal", n[0], n[1], n[2]});
  out.write({"    outer loop"});
  out.write({"      vertex", a[0], a[1], a[2]});
  out.write({"      vertex", b[0], b[1], b[2]});
  out.write({"      vertex", c[0], c[1], c[2]});
  out.write({wide_endloop ? std::string_view("     endloop") : std::string_view("    endloop")});
  out.write({"  endfacet"});
}

}  // namespace

void bladestl(std::span<const blade::Point3> points) {
  if (points.size() % kSectionPoints != 0 || points.size() < 2 * kSectionPoints) {
    throw textio::RunError("bladestl: " + std::to_string(points.size()) +
                               " points are not two or more sections of " +
                               std::to_string(kSectionPoints),
                           2);
  }
  const std::size_t sections = points.size() / kSectionPoints;

  // Every point is converted before the old STL is touched, so a point without a value leaves it.
  Sections P(sections);
  // Metres to millimetres in single precision.
  constexpr float kMillimetres = 1000.0f;
  for (std::size_t i = 1; i <= sections; ++i) {
    for (std::size_t j = 1; j <= kSectionPoints; ++j) {
      const blade::Point3& p = points[(i - 1) * kSectionPoints + (j - 1)];
      P(i, j) = {single_as_written(p.x) * kMillimetres, single_as_written(p.y) * kMillimetres,
                 single_as_written(p.z) * kMillimetres};
    }
  }

  // Facets are written so that every normal points out of the solid: the root cap looks
  // towards the hub, the sides away from the section, the tip cap towards the tip.
  textio::OutFile out(files::kBladeStl);
  out.write({"solid blade.stl"});

  for (std::size_t j = 1; j <= 49; ++j) {
    write_facet(out, P(1, j), P(1, j + 50), P(1, j + 1), true);
    write_facet(out, P(1, j + 1), P(1, j + 50), P(1, j + 51));
  }

  for (std::size_t i = 1; i < sections; ++i) {
    for (std::size_t j = 1; j <= 49; ++j) write_facet(out, P(i, j), P(i, j + 1), P(i + 1, j));
    write_facet(out, P(i, 1), P(i + 1, 1), P(i, 51));
    write_facet(out, P(i + 1, 1), P(i + 1, 51), P(i, 51));
    for (std::size_t j = 1; j <= 49; ++j) {
      write_facet(out, P(i, j + 1), P(i + 1, j + 1), P(i + 1, j));
    }
    for (std::size_t j = 51; j <= 99; ++j) write_facet(out, P(i, j), P(i + 1, j), P(i, j + 1));
    write_facet(out, P(i, 50), P(i, 100), P(i + 1, 50));
    write_facet(out, P(i + 1, 50), P(i, 100), P(i + 1, 100));
    for (std::size_t j = 51; j <= 99; ++j) {
      write_facet(out, P(i, j + 1), P(i + 1, j), P(i + 1, j + 1));
    }
  }

  const std::size_t k = sections;
  for (std::size_t j = 1; j <= 49; ++j) {
    write_facet(out, P(k, j), P(k, j + 1), P(k, j + 50));
    write_facet(out, P(k, j + 1), P(k, j + 51), P(k, j + 50));
  }

  out.write({"endsolid"});
  out.close();
}

}  // namespace geometry
