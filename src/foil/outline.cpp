#include "foil/outline.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <memory>
#include <numbers>
#include <string>
#include <vector>

namespace foil {

namespace {

// Second derivatives of the natural cubic spline through (s, v) (tridiagonal system solved by
// the Thomas algorithm; the end rows say v'' = 0).
std::vector<double> natural_spline(const std::vector<double>& s, const std::vector<double>& v) {
  const std::size_t n = s.size();
  std::vector<double> a(n, 0.0), b(n, 1.0), c(n, 0.0), d(n, 0.0);
  for (std::size_t i = 1; i + 1 < n; ++i) {
    const double h0 = s[i] - s[i - 1];
    const double h1 = s[i + 1] - s[i];
    a[i] = h0 / 6.0;
    b[i] = (h0 + h1) / 3.0;
    c[i] = h1 / 6.0;
    d[i] = (v[i + 1] - v[i]) / h1 - (v[i] - v[i - 1]) / h0;
  }
  for (std::size_t i = 1; i < n; ++i) {
    const double w = a[i] / b[i - 1];
    b[i] -= w * c[i - 1];
    d[i] -= w * d[i - 1];
  }
  std::vector<double> m(n, 0.0);
  m[n - 1] = d[n - 1] / b[n - 1];
  for (std::size_t i = n - 1; i-- > 0;) m[i] = (d[i] - c[i] * m[i + 1]) / b[i];
  return m;
}

double spline_eval(const std::vector<double>& s, const std::vector<double>& v,
                   const std::vector<double>& m, double t) {
  std::size_t lo = 0, hi = s.size() - 1;
  while (hi - lo > 1) {
    const std::size_t mid = (lo + hi) / 2;
    if (s[mid] <= t) {
      lo = mid;
    } else {
      hi = mid;
    }
  }
  const double h = s[hi] - s[lo];
  const double A = (s[hi] - t) / h;
  const double B = (t - s[lo]) / h;
  return A * v[lo] + B * v[hi] +
         ((std::pow(A, 3.0) - A) * m[lo] + (std::pow(B, 3.0) - B) * m[hi]) * h * h / 6.0;
}

// Golden-section search for the least f on [a, b]; 200 steps shrink the interval far below the
// resolution of a double.
template <class F>
double golden_min(const F& f, double a, double b) {
  const double g = (std::sqrt(5.0) - 1.0) / 2.0;
  double c = b - g * (b - a);
  double d = a + g * (b - a);
  double fc = f(c), fd = f(d);
  for (int i = 0; i < 200; ++i) {
    if (fc < fd) {
      b = d;
      d = c;
      fd = fc;
      c = b - g * (b - a);
      fc = f(c);
    } else {
      a = c;
      c = d;
      fc = fd;
      d = a + g * (b - a);
      fd = f(d);
    }
  }
  return (a + b) / 2.0;
}

std::string at_x(double x) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%.3f", x);
  return buf;
}

}  // namespace

Curve naca4_curve(const Naca4& naca) {
  const double m = naca.m / 100.0;
  const double p = naca.p / 10.0;
  const double t = naca.t / 100.0;
  Curve curve;
  curve.u0 = -1.0;
  curve.u1 = 1.0;
  curve.at = [m, p, t](double u) {
    const double xc = u * u;
    const double yt = t / 0.2 *
                      (0.2969 * std::sqrt(xc) - 0.1260 * xc - 0.3516 * std::pow(xc, 2.0) +
                       0.2843 * std::pow(xc, 3.0) - 0.1036 * std::pow(xc, 4.0));
    double yc = 0.0, dyc = 0.0;
    if (m == 0.0) {
      yc = 0.0;
      dyc = 0.0;
    } else if (xc < p) {
      yc = m / std::pow(p, 2.0) * (2 * p * xc - xc * xc);
      dyc = 2 * m / std::pow(p, 2.0) * (p - xc);
    } else {
      yc = m / std::pow(1 - p, 2.0) * ((1 - 2 * p) + 2 * p * xc - xc * xc);
      dyc = 2 * m / std::pow(1 - p, 2.0) * (p - xc);
    }
    const double th = std::atan(dyc);
    if (u >= 0.0) return Point{xc - yt * std::sin(th), yc + yt * std::cos(th)};
    return Point{xc + yt * std::sin(th), yc - yt * std::cos(th)};
  };
  return curve;
}

Curve spline_curve(std::span<const Point> points) {
  struct Data {
    std::vector<double> s, x, y, mx, my;
  };
  auto data = std::make_shared<Data>();
  data->s.push_back(0.0);
  for (std::size_t i = 1; i < points.size(); ++i) {
    const double step = std::hypot(points[i].x - points[i - 1].x, points[i].y - points[i - 1].y);
    if (step == 0.0) continue;  // a point listed twice in a row
    data->s.push_back(data->s.back() + step);
  }
  data->x.push_back(points[0].x);
  data->y.push_back(points[0].y);
  for (std::size_t i = 1; i < points.size(); ++i) {
    if (points[i].x == points[i - 1].x && points[i].y == points[i - 1].y) continue;
    data->x.push_back(points[i].x);
    data->y.push_back(points[i].y);
  }
  if (data->s.size() < kFewestPoints) {
    throw Error("too few distinct points: " + std::to_string(data->s.size()));
  }
  data->mx = natural_spline(data->s, data->x);
  data->my = natural_spline(data->s, data->y);
  Curve curve;
  curve.u0 = data->s.front();
  curve.u1 = data->s.back();
  curve.at = [data](double t) {
    return Point{spline_eval(data->s, data->x, data->mx, t),
                 spline_eval(data->s, data->y, data->my, t)};
  };
  return curve;
}

std::array<double, kStations> stations() {
  std::array<double, kStations> x{};
  for (int j = 0; j < kStations; ++j)
    x[j] = (1.0 - std::cos(std::numbers::pi * j / (kStations - 1))) / 2.0;
  return x;
}

Frame frame_of(const Curve& curve) {
  const auto& point = curve.at;
  const double u0 = curve.u0, u1 = curve.u1;

  // Leading edge: the least x on a fine grid, then refined on the curve between the grid's
  // neighbours of that point.
  constexpr int kGrid = 4000;
  int i_min = 0;
  double x_min = 0.0;
  for (int i = 0; i <= kGrid; ++i) {
    const double x = point(u0 + (u1 - u0) * i / kGrid).x;
    if (i == 0 || x < x_min) {
      x_min = x;
      i_min = i;
    }
  }
  auto grid_u = [&](int i) { return u0 + (u1 - u0) * i / kGrid; };
  Frame f;
  f.u_le = golden_min([&](double u) { return point(u).x; }, grid_u(std::max(i_min - 1, 0)),
                      grid_u(std::min(i_min + 1, kGrid)));
  f.le = point(f.u_le);
  const Point a = point(u0);
  const Point b = point(u1);
  f.te = Point{(a.x + b.x) / 2.0, (a.y + b.y) / 2.0};
  f.chord = f.te.x - f.le.x;

  // One closed outline runs from the trailing edge to the nose and back: its two ends lie at
  // the rear, close together, and the nose lies between them.
  if (!(f.chord > 0.0) || i_min == 0 || i_min == kGrid) {
    throw Error(
        "the points do not form one closed outline running from the trailing edge "
        "round the nose and back");
  }
  if (std::hypot(a.x - b.x, a.y - b.y) > 0.1 * f.chord || (a.x - f.le.x) < 0.9 * f.chord ||
      (b.x - f.le.x) < 0.9 * f.chord) {
    throw Error("the points do not form one closed outline: the first and last points are " +
                std::string("not both at the trailing edge"));
  }
  return f;
}

Point unit_chord(const Frame& frame, Point p) {
  return Point{(p.x - frame.le.x) / frame.chord, (p.y - frame.te.y) / frame.chord};
}

Outline resample(const Curve& curve) {
  const Frame frame = frame_of(curve);
  const double u0 = curve.u0, u1 = curve.u1, u_le = frame.u_le;
  auto norm = [&](double u) { return unit_chord(frame, curve.at(u)); };
  const auto xs = stations();

  auto branch = [&](double u_end) {
    // x must grow all the way from the nose to this end.
    double prev = -1.0;
    for (int k = 1; k <= 2000; ++k) {
      const double x = norm(u_le + (u_end - u_le) * k / 2000.0).x;
      if (x <= prev) {
        throw Error("the points do not form one closed outline: a side turns back in x near x = " +
                    at_x(x));
      }
      prev = x;
    }
    std::array<Point, kStations> side{};
    for (int j = 1; j + 1 < kStations; ++j) {
      double lo = u_le, hi = u_end;
      for (int i = 0; i < 100; ++i) {
        const double mid = (lo + hi) / 2.0;
        if (norm(mid).x < xs[j]) {
          lo = mid;
        } else {
          hi = mid;
        }
      }
      side[j] = Point{xs[j], norm((lo + hi) / 2.0).y};
    }
    side[0] = Point{0.0, unit_chord(frame, frame.le).y};
    side[kStations - 1] = Point{1.0, 0.0};
    return side;
  };

  const auto side_a = branch(u0);
  const auto side_b = branch(u1);
  Outline out;
  if (side_a[kStations / 2].y > side_b[kStations / 2].y) {
    out.upper = side_a;
    out.lower = side_b;
  } else {
    out.upper = side_b;
    out.lower = side_a;
  }
  for (int j = 1; j + 1 < kStations; ++j) {
    if (!(out.upper[j].y > out.lower[j].y)) {
      throw Error("the two sides of the section cross at x = " + at_x(xs[j]));
    }
  }
  return out;
}

Figures figures(const Outline& o) {
  Figures f;
  for (int j = 0; j < kStations; ++j) {
    f.thickness = std::max(f.thickness, o.upper[j].y - o.lower[j].y);
    f.camber = std::max(f.camber, (o.upper[j].y + o.lower[j].y) / 2.0);
  }
  // The closed polygon: lower side from the nose to the tail, upper side back.
  std::vector<Point> ring(o.lower.begin(), o.lower.end());
  ring.insert(ring.end(), o.upper.rbegin() + 1, o.upper.rend() - 1);
  double twice_area = 0.0;
  for (std::size_t i = 0; i < ring.size(); ++i) {
    const Point& p = ring[i];
    const Point& q = ring[(i + 1) % ring.size()];
    twice_area += p.x * q.y - q.x * p.y;
    f.perimeter += std::hypot(q.x - p.x, q.y - p.y);
  }
  f.area = std::abs(twice_area) / 2.0;
  return f;
}

}  // namespace foil
