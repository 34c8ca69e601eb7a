// Section operations on the outline of unit chord: inner offset, perimeter and area, centring
// and turning, and the single-precision facet normal of the STL mesh.
#include "blade/section.h"

#include <cmath>
#include <cstddef>
#include <optional>
#include <string>

#include "textio/textio.h"
#include "util/files.h"

namespace blade {

namespace {

Outline read_outline(textio::InFile& in) {
  Outline o;
  for (std::size_t s = 0; s < 2; ++s) {
    for (std::size_t j = 0; j < kSetPoints; ++j) {
      in.read({textio::In(o.x[s][j]), textio::In(o.y[s][j])});
    }
  }
  in.close();
  return o;
}

}  // namespace

Outline read_outline(const std::string& path) {
  textio::InFile in(path);
  return read_outline(in);
}

Outline read_outline(const std::string& path, const std::optional<std::string>& written) {
  if (!written) return read_outline(path);
  textio::InFile in = textio::InFile::over_text(path, *written);
  return read_outline(in);
}

// ---------------------------------------------------------------------------------------------
// Inner outline.

void offset_set(std::span<const double> x, std::span<const double> y, double d, Side side,
                std::span<double> xo, std::span<double> yo) noexcept {
  const std::size_t n = x.size();
  // The lower side moves along (-m, 1)/w, the upper side along (m, -1)/w.
  const double sense = side == Side::Lower ? 1.0 : -1.0;
  for (std::size_t j = 0; j < n; ++j) {
    if (n < 2) {
      xo[j] = x[j];
      yo[j] = y[j] + sense * d;
      continue;
    }
    const std::size_t k = j + 1 < n ? j : n - 2;  // the last point uses the last segment
    const double dx = x[k + 1] - x[k];
    const double dy = y[k + 1] - y[k];
    const bool no_direction = dx == 0.0 && dy == 0.0;
    const double m = no_direction ? 0.0 : dy / dx;  // no direction: move straight across
    const double w = std::sqrt(m * m + 1.0);
    if ((dx == 0.0 && !no_direction) || std::isinf(w)) {
      // Vertical (or steeper than double can square): the normal (-m, 1)/w tends to
      // (-sign m, 0). A segment of exactly equal x is taken to run towards +x, so the sign
      // is that of its rise.
      const double sign = (dx == 0.0 ? dy : m) > 0.0 ? 1.0 : -1.0;
      xo[j] = x[j] - sense * (d * sign);
      yo[j] = y[j];
      continue;
    }
    if (side == Side::Lower) {
      xo[j] = x[j] - d * m / w;
      yo[j] = y[j] + d / w;
    } else {
      xo[j] = x[j] + d * m / w;
      yo[j] = y[j] - d / w;
    }
  }
}

void join_crossed(std::span<double> x1, std::span<double> y1, std::span<double> x2,
                  std::span<double> y2) noexcept {
  for (std::size_t j = 0; j < y1.size(); ++j) {
    if (y1[j] > y2[j]) {
      const double xm = (x1[j] + x2[j]) / 2;
      const double ym = (y1[j] + y2[j]) / 2;
      x1[j] = x2[j] = xm;
      y1[j] = y2[j] = ym;
    }
  }
}

Outline inner_outline(const Outline& outer, double d) noexcept {
  Outline in;
  offset_set(outer.x[0], outer.y[0], d, Side::Lower, in.x[0], in.y[0]);
  offset_set(outer.x[1], outer.y[1], d, Side::Upper, in.x[1], in.y[1]);
  join_crossed(in.x[0], in.y[0], in.x[1], in.y[1]);
  return in;
}

void write_measured_outline(const Outline& inner) {
  textio::OutFile out(files::kMeasuredOutline);
  for (std::size_t j = 0; j < kSetPoints; ++j) out.write({inner.x[0][j], inner.y[0][j]});
  out.write();
  for (std::size_t j = 0; j < kSetPoints; ++j) out.write({inner.x[1][j], inner.y[1][j]});
  out.close();
}

// ---------------------------------------------------------------------------------------------
// Perimeter and area.

double polyline_length(std::span<const double> x, std::span<const double> y) noexcept {
  double sum = 0.0;
  for (std::size_t i = 0; i + 1 < x.size(); ++i) {
    const double dx = x[i + 1] - x[i];
    const double dy = y[i + 1] - y[i];
    sum += std::pow(dx * dx + dy * dy, 0.5);
  }
  return sum;
}

double raised_strip_sum(std::span<const double> x, std::span<const double> y) noexcept {
  double sum = 0.0;
  for (std::size_t i = 0; i + 1 < x.size(); ++i) {
    sum += (x[i + 1] - x[i]) * ((y[i + 1] + 1.0) + (y[i] + 1.0)) / 2;
  }
  return sum;
}

double outline_perimeter(const Outline& o) noexcept {
  const double p1 = polyline_length(o.x[0], o.y[0]);
  const double p2 = polyline_length(o.x[1], o.y[1]);
  return p1 + p2;
}

double outline_area(const Outline& o) noexcept {
  const double s1 = raised_strip_sum(o.x[0], o.y[0]);
  const double s2 = raised_strip_sum(o.x[1], o.y[1]);
  return s2 - s1;
}

// ---------------------------------------------------------------------------------------------
// Centring and turning.

StripSums strip_sums(std::span<const double> x, std::span<const double> y) noexcept {
  StripSums s;
  for (std::size_t j = 0; j + 1 < x.size(); ++j) {
    const double h = (y[j + 1] + 1.0) + (y[j] + 1.0);
    const double dx = x[j + 1] - x[j];
    s.a += h * dx * 0.5;
    s.q += h * dx * h * 0.125;
    s.p += h * dx * (x[j + 1] + x[j]) * 0.25;
  }
  return s;
}

Point2 section_centroid(const Outline& o) noexcept {
  const StripSums s1 = strip_sums(o.x[0], o.y[0]);
  const StripSums s2 = strip_sums(o.x[1], o.y[1]);
  const double den = s2.a - s1.a;
  if (den == 0.0) {
    // No area between the sets: the centre of the points stands in for the centroid.
    Point2 mean;
    for (std::size_t s = 0; s < 2; ++s) {
      for (std::size_t j = 0; j < kSetPoints; ++j) {
        mean.x += o.x[s][j];
        mean.y += o.y[s][j];
      }
    }
    mean.x /= static_cast<double>(2 * kSetPoints);
    mean.y /= static_cast<double>(2 * kSetPoints);
    return mean;
  }
  // a * (q / a) is the set's moment q; a set of zero strip area keeps q itself.
  const auto moment = [](double a, double m) { return a != 0.0 ? a * (m / a) : m; };
  Point2 c;
  c.y = (moment(s2.a, s2.q) - moment(s1.a, s1.q)) / den - 1.0;
  c.x = (moment(s2.a, s2.p) - moment(s1.a, s1.p)) / den;
  return c;
}

double turn_angle(double theta) noexcept {
  return kPi * (90.0 - theta) / 180.0;
}

void turn(std::span<const double> x, std::span<const double> y, Point2 centre, double phi,
          std::span<double> xo, std::span<double> yo) noexcept {
  const double c = std::cos(phi);
  const double s = std::sin(phi);
  for (std::size_t j = 0; j < x.size(); ++j) {
    const double u = x[j] - centre.x;
    const double v = y[j] - centre.y;
    xo[j] = u * c + v * s;
    yo[j] = v * c - u * s;
  }
}

Outline turned_outline(const Outline& o, double theta) noexcept {
  const double phi = turn_angle(theta);
  const Point2 centre = section_centroid(o);
  Outline t;
  for (std::size_t s = 0; s < 2; ++s) turn(o.x[s], o.y[s], centre, phi, t.x[s], t.y[s]);
  return t;
}

// ---------------------------------------------------------------------------------------------
// Surface and volume along the radius.

double piece_surface(double R, double P, double cp, double cq, double L) noexcept {
  const double half_step = (R * cp - R * cq) * 0.5;
  const double slant = std::pow(half_step * half_step + L * L, 0.5);
  return (R * P * cp + R * P * cq) * 0.5 * slant;
}

double piece_volume(double L, double sp, double sq, double theta_p, double theta_q) noexcept {
  const double dtheta = (theta_p - theta_q) * kPi / 180.0;
  return L * (sp + sq + std::pow(sp * sq, 0.5)) / 3.0 * std::pow(std::cos(dtheta), 0.25);
}

namespace {
// Length of piece k of `pieces`: the end pieces reach from an element centre to the hub or
// the tip, half an element.
double piece_length(std::size_t k, std::size_t pieces, double H) noexcept {
  return k == 0 || k + 1 == pieces ? H / 2 : H;
}
}  // namespace

double lateral_surface(double R, double P, double H, std::span<const double> c) noexcept {
  double sum = 0.0;
  if (c.size() < 2) return sum;
  const std::size_t pieces = c.size() - 1;
  for (std::size_t k = 0; k < pieces; ++k) {
    sum += piece_surface(R, P, c[k], c[k + 1], piece_length(k, pieces, H));
  }
  return sum;
}

double stacked_volume(double H, std::span<const double> s, std::span<const double> theta) noexcept {
  double sum = 0.0;
  if (s.size() < 2) return sum;
  const std::size_t pieces = s.size() - 1;
  for (std::size_t k = 0; k < pieces; ++k) {
    sum += piece_volume(piece_length(k, pieces, H), s[k], s[k + 1], theta[k], theta[k + 1]);
  }
  return sum;
}

// ---------------------------------------------------------------------------------------------
// STL facets.

Vertex facet_normal(const Vertex& a, const Vertex& b, const Vertex& c) noexcept {
  const float e1x = b[0] - a[0], e1y = b[1] - a[1], e1z = b[2] - a[2];
  const float e2x = c[0] - a[0], e2y = c[1] - a[1], e2z = c[2] - a[2];
  const float nx = e1y * e2z - e1z * e2y;
  const float ny = e1z * e2x - e1x * e2z;
  const float nz = e1x * e2y - e1y * e2x;
  const float length = std::sqrt(nx * nx + ny * ny + nz * nz);
  if (length == 0.0f) return {0.0f, 0.0f, 0.0f};
  return {nx / length, ny / length, nz / length};
}

}  // namespace blade
