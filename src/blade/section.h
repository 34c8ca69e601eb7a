// Pure kernels of the blade geometry: the section outline of unit chord (inner offset, perimeter,
// area, centroid, turning), the piecewise surface and volume along the radius, and the facet
// normal of the STL mesh. The build (blade.h) and the STL (bladestl.h) are made of these.
#pragma once

#include <array>
#include <cstddef>
#include <optional>
#include <span>
#include <string>

#include "util/shared.h"

namespace blade {

using shared::kPi;
using shared::kSetPoints;

// One outline of unit chord; index [0] is set 1 (lower side), [1] set 2 (upper side).
struct Outline {
  std::array<std::array<double, kSetPoints>, 2> x{};
  std::array<std::array<double, kSetPoints>, 2> y{};
};

// Reads the 2 x 50 points of an outline file, one free-form read of x and y per point (blank
// records between the sets are passed over). Throws textio::RunError on a failed open or read.
Outline read_outline(const std::string& path);
// The same from `written`, the text this run wrote into the file at `path`, read in memory as the
// file would be (errors name `path`); from the file itself when there is none.
Outline read_outline(const std::string& path, const std::optional<std::string>& written);

// Writes Temp/Profil.dat: set 1, an empty record, set 2, one point per record.
void write_measured_outline(const Outline& inner);

// ---------------------------------------------------------------------------------------------
// Inner outline.

// Which way a set is moved: set 1 along its normal towards +y, set 2 towards -y.
enum class Side { Lower, Upper };

// Moves every point of one set (n >= 2 points) by d along the set's normal on `side`. The slope
// at point j is that of the segment j..j+1, the last point takes the last segment's slope.
// A vertical segment (equal x, different y) has a horizontal normal: the point moves by d in x,
// against the sign of the slope for the lower side and with it for the upper side, and keeps
// its y. A zero-length segment (equal points) has no direction and is treated as level.
void offset_set(std::span<const double> x, std::span<const double> y, double d, Side side,
                std::span<double> xo, std::span<double> yo) noexcept;

// Where the moved lower side lies strictly above the moved upper side of the same index, both
// sets take the midpoint of the two points; elsewhere both stay.
void join_crossed(std::span<double> x1, std::span<double> y1, std::span<double> x2,
                  std::span<double> y2) noexcept;

// The inner outline at offset d: both sets moved inwards, crossed points joined.
Outline inner_outline(const Outline& outer, double d) noexcept;

// ---------------------------------------------------------------------------------------------
// Perimeter and area.

// Length of the open polyline through the points of one set.
double polyline_length(std::span<const double> x, std::span<const double> y) noexcept;

// Trapezoid sum of one set with every ordinate raised by 1.
double raised_strip_sum(std::span<const double> x, std::span<const double> y) noexcept;

// Unit perimeter (both sets as open polylines) and unit area (upper strip sum minus lower).
double outline_perimeter(const Outline& o) noexcept;
double outline_area(const Outline& o) noexcept;

// ---------------------------------------------------------------------------------------------
// Centring and turning.

// Strip sums of one set about the line y = -1: area a, its first moment q about y = -1 and its
// first moment p about x = 0.
struct StripSums {
  double a = 0.0;
  double q = 0.0;
  double p = 0.0;
};
StripSums strip_sums(std::span<const double> x, std::span<const double> y) noexcept;

struct Point2 {
  double x = 0.0;
  double y = 0.0;
};

// Centroid of the region between the two sets. A set of zero strip area contributes its moment
// directly; an outline of zero area has no centroid of area and is centred on the mean of its
// points instead.
Point2 section_centroid(const Outline& o) noexcept;

// Turning angle in radians for a twist theta in degrees: pi*(90 - theta)/180.
double turn_angle(double theta) noexcept;

// Turns the points about `centre` clockwise by phi, the centre going to the origin.
void turn(std::span<const double> x, std::span<const double> y, Point2 centre, double phi,
          std::span<double> xo, std::span<double> yo) noexcept;

// The outline centred on its centroid and turned for twist theta (degrees).
Outline turned_outline(const Outline& o, double theta) noexcept;

// ---------------------------------------------------------------------------------------------
// Surface and volume along the radius.

// Lateral surface of one piece of length L between sections of relative chords cp and cq, for
// a unit perimeter P and tip radius R: mean perimeter times slant length.
double piece_surface(double R, double P, double cp, double cq, double L) noexcept;

// Volume of one piece of length L between sections of areas sp and sq (square metres) and
// twists theta_p and theta_q (degrees): the prismatoid reduced by (cos dtheta)^0.25.
double piece_volume(double L, double sp, double sq, double theta_p, double theta_q) noexcept;

// Sums over the pieces between consecutive stations (hub, element centres, tip; at least two):
// the first and the last piece have length H/2, the others H.
double lateral_surface(double R, double P, double H, std::span<const double> c) noexcept;
double stacked_volume(double H, std::span<const double> s, std::span<const double> theta) noexcept;

// ---------------------------------------------------------------------------------------------
// STL facets.

using Vertex = std::array<float, 3>;

// One point of the blade's surface, metres, as the point file holds it: x and y in the plane of
// the section, z its radius.
struct Point3 {
  double x = 0.0;
  double y = 0.0;
  double z = 0.0;
};

// Points per station of the blade's surface: set 1 (lower side), then set 2 (upper side).
inline constexpr std::size_t kStationPoints = 2 * kSetPoints;

// Unit normal (B - A) x (C - A) / |.|, all in single precision. A facet whose normal has zero
// length in single precision (two equal vertices, collinear vertices) gets (0, 0, 0).
Vertex facet_normal(const Vertex& a, const Vertex& b, const Vertex& c) noexcept;

}  // namespace blade
