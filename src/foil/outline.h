// From a section's contour to the outline of the data files: leading edge, unit chord and the
// two sides on 50 shared stations.
#pragma once

#include <array>
#include <functional>
#include <span>

#include "foil/section.h"
#include "util/shared.h"

namespace foil {

// Points per side of an outline.
inline constexpr int kStations = static_cast<int>(shared::kSetPoints);

// A closed section contour as a curve of one parameter u in [u0, u1], running from the trailing
// edge over one side to the leading edge and back along the other side.
struct Curve {
  std::function<Point(double)> at;
  double u0 = 0.0;
  double u1 = 1.0;
};

// The NACA 4-digit section with the closed-trailing-edge thickness coefficient (-0.1036), the
// thickness laid normal to the camber line. u in [-1, 1]; the camber-line station is u^2, u < 0
// the lower side.
Curve naca4_curve(const Naca4& naca);

// A natural cubic spline of x and of y in the cumulative chord length of the points.
Curve spline_curve(std::span<const Point> points);

// The outline of the data files: records 1-50 the lower side, 51-100 the upper side, both from
// the leading edge (x = 0) to the trailing edge (x = 1) on the stations below. Point 1 of both
// sides is the leading edge, point 50 the trailing edge.
struct Outline {
  std::array<Point, kStations> lower{};
  std::array<Point, kStations> upper{};
};

// x_j = (1 - cos(pi (j-1)/49)) / 2, j = 1 ... 50: close together at the nose, where the contour
// bends most.
std::array<double, kStations> stations();

// Where a curve's section lies. Leading edge: the point of least x on the curve (found on the
// curve, between listed points). Trailing edge: the mid-point of the curve's two ends, so an
// open trailing edge is closed there. Throws Error when the curve is not one closed outline
// (ends that are not the trailing edge, the nose at one end).
struct Frame {
  double u_le = 0.0;  // curve parameter of the leading edge
  Point le;
  Point te;
  double chord = 1.0;  // te.x - le.x
};
Frame frame_of(const Curve& curve);

// A point of the section moved so that the leading edge lies at x = 0 and the trailing edge at
// (1, 0), and scaled to unit chord; not turned.
Point unit_chord(const Frame& frame, Point p);

// The section on unit chord (see unit_chord) at the stations below. Throws Error when the
// contour is not one closed outline (see frame_of; also a side that doubles back in x) or its
// sides cross.
Outline resample(const Curve& curve);

// Figures of an outline measured at its stations: thickness and camber (largest, chord units),
// enclosed area and perimeter.
struct Figures {
  double thickness = 0.0;
  double camber = 0.0;
  double area = 0.0;
  double perimeter = 0.0;
};
Figures figures(const Outline& outline);

}  // namespace foil
