#include "loads/structure.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "util/catalogue.h"
#include "util/shared.h"

namespace loads {

namespace {

using shared::kRadiansPerDegree;

// The outline as one closed ring: set 1 from its first point to its last, set 2 back.
void ring(const blade::Outline& o, std::vector<double>& x, std::vector<double>& y) {
  x.clear();
  y.clear();
  for (std::size_t j = 0; j < blade::kSetPoints; ++j) {
    x.push_back(o.x[0][j]);
    y.push_back(o.y[0][j]);
  }
  for (std::size_t j = blade::kSetPoints; j-- > 0;) {
    x.push_back(o.x[1][j]);
    y.push_back(o.y[1][j]);
  }
}

}  // namespace

Moments operator-(const Moments& a, const Moments& b) noexcept {
  return {a.A - b.A, a.Qx - b.Qx, a.Qy - b.Qy, a.Jxx - b.Jxx, a.Jyy - b.Jyy, a.Jxy - b.Jxy};
}

Moments polygon_moments(std::span<const double> x, std::span<const double> y) noexcept {
  // Green's theorem over the edges (i, i+1), the last edge closing the ring.
  Moments m;
  const std::size_t n = std::min(x.size(), y.size());
  for (std::size_t i = 0; i < n; ++i) {
    const std::size_t k = i + 1 == n ? 0 : i + 1;
    const double x0 = x[i], y0 = y[i], x1 = x[k], y1 = y[k];
    const double c = x0 * y1 - x1 * y0;
    m.A += c;
    m.Qx += (x0 + x1) * c;
    m.Qy += (y0 + y1) * c;
    m.Jxx += (x0 * x0 + x0 * x1 + x1 * x1) * c;
    m.Jyy += (y0 * y0 + y0 * y1 + y1 * y1) * c;
    m.Jxy += (x0 * y1 + 2.0 * x0 * y0 + 2.0 * x1 * y1 + x1 * y0) * c;
  }
  m.A /= 2.0;
  m.Qx /= 6.0;
  m.Qy /= 6.0;
  m.Jxx /= 12.0;
  m.Jyy /= 12.0;
  m.Jxy /= 24.0;
  return m;
}

Moments outline_moments(const blade::Outline& o) noexcept {
  std::vector<double> x, y;
  ring(o, x, y);
  return polygon_moments(x, y);
}

Moments hollow_moments(const blade::Outline& o, double d) noexcept {
  const Moments outer = outline_moments(o);
  if (!(d > 0.0)) return outer;
  const Moments inner = outline_moments(blade::inner_outline(o, d));
  // An inner outline that has collapsed or turned inside out leaves the section solid.
  if (!(inner.A > 0.0)) return outer;
  return outer - inner;
}

Centroidal centroidal(const Moments& m) noexcept {
  Centroidal c;
  c.A = m.A;
  if (!(m.A != 0.0)) return c;
  c.cx = m.Qx / m.A;
  c.cy = m.Qy / m.A;
  c.Iuu = m.Jxx - m.A * c.cx * c.cx;
  c.Ivv = m.Jyy - m.A * c.cy * c.cy;
  c.Iuv = m.Jxy - m.A * c.cx * c.cy;
  return c;
}

Section place_section(const Centroidal& unit, const blade::Outline& outer, double chord,
                      double twist) {
  // (X, Y) = chord * (-C u + S v, S u + C v) for chordwise u and upper-side v about the centroid.
  const double C = std::cos(twist * kRadiansPerDegree), S = std::sin(twist * kRadiansPerDegree);
  const double c2 = chord * chord, c4 = c2 * c2;
  Section s;
  s.A = unit.A * c2;
  s.Sxx = c4 * (C * C * unit.Iuu - 2.0 * C * S * unit.Iuv + S * S * unit.Ivv);
  s.Syy = c4 * (S * S * unit.Iuu + 2.0 * C * S * unit.Iuv + C * C * unit.Ivv);
  s.Sxy = c4 * (-C * S * unit.Iuu + (S * S - C * C) * unit.Iuv + S * C * unit.Ivv);
  std::vector<double> u, v;
  ring(outer, u, v);
  s.X.resize(u.size());
  s.Y.resize(u.size());
  for (std::size_t i = 0; i < u.size(); ++i) {
    const double du = u[i] - unit.cx, dv = v[i] - unit.cy;
    s.X[i] = chord * (-C * du + S * dv);
    s.Y[i] = chord * (S * du + C * dv);
  }
  for (std::size_t side = 0; side < 2; ++side) {
    s.arc[side] = chord * blade::polyline_length(outer.x[side], outer.y[side]);
  }
  return s;
}

Section round_section(double D, double t) {
  constexpr double kPi = std::numbers::pi;
  const double d = t > 0.0 && 2.0 * t < D ? D - 2.0 * t : 0.0;
  const double D2 = D * D, d2 = d * d;
  Section s;
  s.A = kPi * (D2 - d2) / 4.0;
  s.Sxx = kPi * (D2 * D2 - d2 * d2) / 64.0;
  s.Syy = s.Sxx;
  s.Sxy = 0.0;
  s.round = D / 2.0;
  // The circle as the outline's 2 x 50 points: the upwind half from the leading edge (ahead in
  // X) to the trailing edge, then the downwind half back.
  const std::size_t n = blade::kSetPoints;
  for (std::size_t side = 0; side < 2; ++side) {
    for (std::size_t j = 0; j < n; ++j) {
      const double k = side == 0 ? static_cast<double>(j) : static_cast<double>(n - 1 - j);
      const double a = kPi * k / static_cast<double>(n - 1);
      s.X.push_back(s.round * std::cos(a));
      s.Y.push_back(side == 0 ? -s.round * std::sin(a) : s.round * std::sin(a));
    }
  }
  s.arc = {kPi * D / 2.0, kPi * D / 2.0};
  return s;
}

double peak_stress(const Section& s, double normal, double m_flap, double m_edge) noexcept {
  // sigma = N/A + a X + b Y. The stress resultants of the bending part balance the moments:
  // the integral of sigma Y dA is -m_flap (downwind loads put the upwind side in tension), that
  // of sigma X dA is -m_edge.
  const double det = s.Sxx * s.Syy - s.Sxy * s.Sxy;
  const double a = (-m_edge * s.Syy + m_flap * s.Sxy) / det;
  const double b = (-m_flap * s.Sxx + m_edge * s.Sxy) / det;
  const double n = normal / s.A;
  // On a circle a X + b Y reaches |(a, b)| R in the direction of (a, b).
  if (s.round > 0.0) return std::fabs(n) + s.round * std::hypot(a, b);
  double peak = 0.0;
  for (std::size_t i = 0; i < s.X.size(); ++i) {
    peak = std::max(peak, std::fabs(n + a * s.X[i] + b * s.Y[i]));
  }
  return peak;
}

std::array<double, 2> side_compression(const Section& s, double normal, double m_flap,
                                       double m_edge) noexcept {
  const double det = s.Sxx * s.Syy - s.Sxy * s.Sxy;
  const double a = (-m_edge * s.Syy + m_flap * s.Sxy) / det;
  const double b = (-m_flap * s.Sxx + m_edge * s.Sxy) / det;
  const double n = normal / s.A;
  std::array<double, 2> c{};
  if (s.round > 0.0) {
    // -(n + R (a cos t + b sin t)) over a half circle: upwind t in [pi, 2 pi], downwind [0, pi].
    // Its largest is -n + R |(a, b)| where the direction of -(a, b) lies in the half, else at an
    // end of the half (t = 0 or pi, both halves' ends).
    const double ends = std::max(-(n + s.round * a), -(n - s.round * a));
    const double top = -n + s.round * std::hypot(a, b);
    // -(a, b) points downwind when b < 0, upwind when b > 0; along X (b = 0) it is an end.
    c[0] = std::max(0.0, b > 0.0 ? top : ends);
    c[1] = std::max(0.0, b < 0.0 ? top : ends);
    return c;
  }
  const std::size_t half = s.X.size() / 2;
  for (std::size_t i = 0; i < s.X.size(); ++i) {
    const std::size_t side = i < half ? 0 : 1;
    c[side] = std::max(c[side], -(n + a * s.X[i] + b * s.Y[i]));
  }
  return c;
}

double plate_buckling_stress(const Material& m, double e1, double t, double b) noexcept {
  constexpr double kPi = std::numbers::pi;
  const double E1 = e1 * 1e9, E2 = m.transverse * 1e9, G12 = m.shear * 1e9;
  const double nu21 = m.poisson * E2 / E1;
  const double t3 = t * t * t;
  const double D11 = E1 * t3 / (12.0 * (1.0 - m.poisson * nu21));
  const double D22 = E2 * t3 / (12.0 * (1.0 - m.poisson * nu21));
  const double D12 = m.poisson * D22;
  const double D66 = G12 * t3 / 12.0;
  return kPi * kPi / (b * b * t) * (2.0 * std::sqrt(D11 * D22) + 2.0 * (D12 + 2.0 * D66));
}

Response respond(const Beam& beam, const SpanLoad& load, double omega, bool with_deflection) {
  const std::size_t n = beam.radius.size();
  Response r;
  r.m_flap.assign(n, 0.0);
  r.m_edge.assign(n, 0.0);
  r.m_gravity.assign(n, 0.0);
  r.normal.assign(n, 0.0);
  r.stress.assign(n, 0.0);
  if (n == 0) return r;
  // From the tip inwards: shear and moment of each cell's constant load, exactly; centrifugal
  // force and weight of the mass per metre, linear over the cell.
  double vn = 0.0, vt = 0.0, vg = 0.0;
  for (std::size_t k = n - 1; k-- > 0;) {
    const double h = beam.radius[k + 1] - beam.radius[k];
    const double m0 = beam.mass[k], m1 = beam.mass[k + 1];
    r.m_flap[k] = r.m_flap[k + 1] + vn * h + load.qn[k] * h * h / 2.0;
    r.m_edge[k] = r.m_edge[k + 1] + vt * h + load.qt[k] * h * h / 2.0;
    r.m_gravity[k] = r.m_gravity[k + 1] + vg * h + kGravity * h * h * (m0 / 6.0 + m1 / 3.0);
    vn += load.qn[k] * h;
    vt += load.qt[k] * h;
    vg += kGravity * h * (m0 + m1) / 2.0;
    r.normal[k] =
        r.normal[k + 1] + omega * omega * h * (m0 * beam.radius[k] + m1 * beam.radius[k + 1]) / 2.0;
  }
  for (std::size_t k = 0; k < n; ++k) {
    const double edge = r.m_edge[k] + std::copysign(r.m_gravity[k], r.m_edge[k]);
    r.m_edge[k] = edge;
    r.stress[k] = k + 1 == n ? 0.0 : peak_stress(beam.sections[k], r.normal[k], r.m_flap[k], edge);
    r.compression.push_back(
        k + 1 == n ? std::array<double, 2>{}
                   : side_compression(beam.sections[k], r.normal[k], r.m_flap[k], edge));
  }
  if (!with_deflection) return r;
  // Curvature towards +Y: -b / E with b the stress gradient along Y of the bending part.
  std::vector<double> kappa(n, 0.0);
  for (std::size_t k = 0; k + 1 < n; ++k) {
    const Section& s = beam.sections[k];
    const double det = s.Sxx * s.Syy - s.Sxy * s.Sxy;
    const double b = (-r.m_flap[k] * s.Sxx + r.m_edge[k] * s.Sxy) / det;
    kappa[k] = -b / beam.modulus;
  }
  r.deflection.assign(n, 0.0);
  double slope = 0.0;
  for (std::size_t k = 0; k + 1 < n; ++k) {
    const double h = beam.radius[k + 1] - beam.radius[k];
    r.deflection[k + 1] =
        r.deflection[k] + slope * h + h * h * (2.0 * kappa[k] + kappa[k + 1]) / 6.0;
    slope += h * (kappa[k] + kappa[k + 1]) / 2.0;
  }
  return r;
}

}  // namespace loads
