#include "loads/modes.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <stdexcept>

namespace loads {

namespace {

// 4-point Gauss-Legendre on [0, 1]: exact for polynomials up to degree 7, so for the products
// of two cubic shapes with a linear property (mass, stiffness) within a grid cell.
constexpr std::array<double, 4> kGaussX = {0.0694318442029737, 0.3300094782075719,
                                           0.6699905217924281, 0.9305681557970263};
constexpr std::array<double, 4> kGaussW = {0.1739274225687269, 0.3260725774312731,
                                           0.3260725774312731, 0.1739274225687269};

// A property linear between the grid points, at radius r.
double at(const std::vector<double>& grid, const std::vector<double>& v, double r) {
  if (r <= grid.front()) return v.front();
  if (r >= grid.back()) return v.back();
  const std::size_t k =
      static_cast<std::size_t>(std::upper_bound(grid.begin(), grid.end(), r) - grid.begin()) - 1;
  const double t = (r - grid[k]) / (grid[k + 1] - grid[k]);
  return v[k] + t * (v[k + 1] - v[k]);
}

// The centrifugal tension per omega^2 at radius r: the integral of m(s) s from r to the tip.
// Simpson's rule is exact for the quadratic m(s) s within a cell.
class Tension {
 public:
  explicit Tension(const ModalBeam& b) : b_(b), outer_(b.radius.size(), 0.0) {
    for (std::size_t k = b.radius.size() - 1; k-- > 0;) {
      outer_[k] = outer_[k + 1] + piece(b.radius[k], b.radius[k + 1]);
    }
  }
  double operator()(double r) const {
    const auto& g = b_.radius;
    if (r >= g.back()) return 0.0;
    if (r <= g.front()) return outer_.front();
    const std::size_t k =
        static_cast<std::size_t>(std::upper_bound(g.begin(), g.end(), r) - g.begin()) - 1;
    return outer_[k + 1] + piece(r, g[k + 1]);
  }

 private:
  double piece(double a, double c) const {
    const double m = 0.5 * (a + c);
    const auto f = [&](double s) { return at(b_.radius, b_.mass, s) * s; };
    // Within one cell the mass is linear; evaluate it inside the cell to stay on its line.
    const double eps = 1e-12 * (c - a);
    return (c - a) / 6.0 * (f(a + eps) + 4.0 * f(m) + f(c - eps));
  }
  const ModalBeam& b_;
  std::vector<double> outer_;
};

// Dense symmetric matrices, row-major.
struct Matrix {
  std::size_t n = 0;
  std::vector<double> a;
  explicit Matrix(std::size_t size) : n(size), a(size * size, 0.0) {}
  double& operator()(std::size_t i, std::size_t j) { return a[i * n + j]; }
  double operator()(std::size_t i, std::size_t j) const { return a[i * n + j]; }
};

// Eigenvalues d and vectors (columns of z) of a symmetric matrix: Householder reduction to
// tridiagonal form, its transformations accumulated in z, then QL iterations with implicit
// shifts on the tridiagonal matrix, each rotation applied to z too.
void symmetric_eigen(Matrix& z, std::vector<double>& d) {
  const std::size_t n = z.n;
  std::vector<double> e(n, 0.0);
  d.assign(n, 0.0);
  for (std::size_t i = n - 1; i > 0; --i) {
    const std::size_t l = i - 1;
    double h = 0.0;
    if (l > 0) {
      double scale = 0.0;
      for (std::size_t k = 0; k <= l; ++k) scale += std::fabs(z(i, k));
      if (scale == 0.0) {
        e[i] = z(i, l);
      } else {
        for (std::size_t k = 0; k <= l; ++k) {
          z(i, k) /= scale;
          h += z(i, k) * z(i, k);
        }
        double f = z(i, l);
        double g = f >= 0.0 ? -std::sqrt(h) : std::sqrt(h);
        e[i] = scale * g;
        h -= f * g;
        z(i, l) = f - g;
        f = 0.0;
        for (std::size_t j = 0; j <= l; ++j) {
          z(j, i) = z(i, j) / h;
          g = 0.0;
          for (std::size_t k = 0; k <= j; ++k) g += z(j, k) * z(i, k);
          for (std::size_t k = j + 1; k <= l; ++k) g += z(k, j) * z(i, k);
          e[j] = g / h;
          f += e[j] * z(i, j);
        }
        const double hh = f / (h + h);
        for (std::size_t j = 0; j <= l; ++j) {
          f = z(i, j);
          e[j] = g = e[j] - hh * f;
          for (std::size_t k = 0; k <= j; ++k) z(j, k) -= f * e[k] + g * z(i, k);
        }
      }
    } else {
      e[i] = z(i, l);
    }
    d[i] = h;
  }
  d[0] = 0.0;
  e[0] = 0.0;
  for (std::size_t i = 0; i < n; ++i) {
    if (d[i] != 0.0) {
      for (std::size_t j = 0; j < i; ++j) {
        double g = 0.0;
        for (std::size_t k = 0; k < i; ++k) g += z(i, k) * z(k, j);
        for (std::size_t k = 0; k < i; ++k) z(k, j) -= g * z(k, i);
      }
    }
    d[i] = z(i, i);
    z(i, i) = 1.0;
    for (std::size_t j = 0; j < i; ++j) z(j, i) = z(i, j) = 0.0;
  }
  // QL on the tridiagonal d (diagonal), e (below it).
  for (std::size_t i = 1; i < n; ++i) e[i - 1] = e[i];
  e[n - 1] = 0.0;
  for (std::size_t l = 0; l < n; ++l) {
    for (int iteration = 0;; ++iteration) {
      std::size_t m = l;
      for (; m + 1 < n; ++m) {
        const double dd = std::fabs(d[m]) + std::fabs(d[m + 1]);
        if (std::fabs(e[m]) <= std::numeric_limits<double>::epsilon() * dd) break;
      }
      if (m == l) break;
      if (iteration == 60) throw std::runtime_error("modes: the eigenvalues do not converge");
      double g = (d[l + 1] - d[l]) / (2.0 * e[l]);
      double r = std::hypot(g, 1.0);
      g = d[m] - d[l] + e[l] / (g + (g >= 0.0 ? r : -r));
      double s = 1.0, c = 1.0, p = 0.0;
      bool split = false;
      for (std::size_t i = m; i-- > l;) {
        const double f = s * e[i], b = c * e[i];
        e[i + 1] = r = std::hypot(f, g);
        if (r == 0.0) {
          // Underflow: the matrix splits here.
          d[i + 1] -= p;
          e[m] = 0.0;
          split = true;
          break;
        }
        s = f / r;
        c = g / r;
        g = d[i + 1] - p;
        r = (d[i] - g) * s + 2.0 * c * b;
        p = s * r;
        d[i + 1] = g + p;
        g = c * r - b;
        for (std::size_t k = 0; k < n; ++k) {
          const double zk = z(k, i + 1);
          z(k, i + 1) = s * z(k, i) + c * zk;
          z(k, i) = c * z(k, i) - s * zk;
        }
      }
      if (split) continue;
      d[l] -= p;
      e[l] = g;
      e[m] = 0.0;
    }
  }
}

}  // namespace

ModalBeam modal_beam(const Beam& b) {
  ModalBeam m;
  m.radius = b.radius;
  m.mass = b.mass;
  for (const Section& s : b.sections) {
    m.exx.push_back(b.modulus * s.Sxx);
    m.eyy.push_back(b.modulus * s.Syy);
    m.exy.push_back(b.modulus * s.Sxy);
  }
  return m;
}

std::vector<Mode> modes(const ModalBeam& b, double omega, std::size_t elements) {
  if (b.radius.size() < 2 || elements < 1) throw std::invalid_argument("modes: no beam");
  const std::size_t n = 4 * elements;  // per free node: u_x, u_x', u_y, u_y'
  Matrix K(n), M(n);
  const Tension tension(b);
  const double r0 = b.radius.front(), length = b.radius.back() - r0;
  const double h = length / static_cast<double>(elements);
  const double w2 = omega * omega;
  for (std::size_t e = 0; e < elements; ++e) {
    // Global index of the element's shape a (0 ... 3: u, u' at its inner end, then its outer
    // end) in direction d (0: X, 1: Y); -1 at the clamped hub.
    const auto index = [&](std::size_t a, std::size_t d) -> long {
      const std::size_t node = e + a / 2;
      if (node == 0) return -1;
      return static_cast<long>(4 * (node - 1) + 2 * d + a % 2);
    };
    // The element is integrated piece by piece between the grid points it spans, so that the
    // properties, linear within each piece, are integrated exactly.
    const double inner = r0 + static_cast<double>(e) * h, outer = inner + h;
    std::vector<double> cuts = {inner};
    for (double g : b.radius) {
      if (g > inner && g < outer) cuts.push_back(g);
    }
    cuts.push_back(outer);
    for (std::size_t piece = 0; piece + 1 < cuts.size(); ++piece)
      for (std::size_t g = 0; g < kGaussX.size(); ++g) {
        const double r = cuts[piece] + kGaussX[g] * (cuts[piece + 1] - cuts[piece]);
        const double w = kGaussW[g] * (cuts[piece + 1] - cuts[piece]);
        const double xi = (r - inner) / h;
        const double N[4] = {1.0 - 3.0 * xi * xi + 2.0 * xi * xi * xi,
                             h * (xi - 2.0 * xi * xi + xi * xi * xi),
                             3.0 * xi * xi - 2.0 * xi * xi * xi, h * (-xi * xi + xi * xi * xi)};
        const double D1[4] = {(-6.0 * xi + 6.0 * xi * xi) / h, 1.0 - 4.0 * xi + 3.0 * xi * xi,
                              (6.0 * xi - 6.0 * xi * xi) / h, -2.0 * xi + 3.0 * xi * xi};
        const double D2[4] = {(-6.0 + 12.0 * xi) / (h * h), (-4.0 + 6.0 * xi) / h,
                              (6.0 - 12.0 * xi) / (h * h), (-2.0 + 6.0 * xi) / h};
        const double m = at(b.radius, b.mass, r);
        const double E[2][2] = {{at(b.radius, b.exx, r), at(b.radius, b.exy, r)},
                                {at(b.radius, b.exy, r), at(b.radius, b.eyy, r)}};
        const double T = w2 * tension(r);
        for (std::size_t da = 0; da < 2; ++da) {
          for (std::size_t a = 0; a < 4; ++a) {
            const long i = index(a, da);
            if (i < 0) continue;
            for (std::size_t db = 0; db < 2; ++db) {
              for (std::size_t c = 0; c < 4; ++c) {
                const long j = index(c, db);
                if (j < 0) continue;
                double k = E[da][db] * D2[a] * D2[c];
                if (da == db) {
                  k += T * D1[a] * D1[c];
                  // A mass moving in the plane of rotation is thrown outwards as it leaves the
                  // radial line: it softens the edgewise bending by omega^2.
                  if (da == 0) k -= w2 * m * N[a] * N[c];
                  M(static_cast<std::size_t>(i), static_cast<std::size_t>(j)) +=
                      w * m * N[a] * N[c];
                }
                K(static_cast<std::size_t>(i), static_cast<std::size_t>(j)) += w * k;
              }
            }
          }
        }
      }
  }
  // Cholesky M = L L^T (L in the lower triangle of M), then S = L^-1 K L^-T.
  for (std::size_t j = 0; j < n; ++j) {
    double d = M(j, j);
    for (std::size_t k = 0; k < j; ++k) d -= M(j, k) * M(j, k);
    if (!(d > 0.0)) throw std::runtime_error("modes: the mass matrix is not positive");
    M(j, j) = std::sqrt(d);
    for (std::size_t i = j + 1; i < n; ++i) {
      double s = M(i, j);
      for (std::size_t k = 0; k < j; ++k) s -= M(i, k) * M(j, k);
      M(i, j) = s / M(j, j);
    }
  }
  // Y = L^-1 K (forward substitution column by column), S = L^-1 Y^T; `rhs(i, c)` is the
  // right-hand side's entry.
  const auto forward = [&M, n](Matrix& X, const auto& rhs) {
    for (std::size_t c = 0; c < n; ++c) {
      for (std::size_t i = 0; i < n; ++i) {
        double s = rhs(i, c);
        for (std::size_t k = 0; k < i; ++k) s -= M(i, k) * X(k, c);
        X(i, c) = s / M(i, i);
      }
    }
  };
  Matrix Y(n);
  forward(Y, [&K](std::size_t i, std::size_t c) { return K(i, c); });
  Matrix S(n);
  forward(S, [&Y](std::size_t i, std::size_t c) { return Y(c, i); });
  for (std::size_t i = 0; i < n; ++i)
    for (std::size_t j = i + 1; j < n; ++j) S(i, j) = S(j, i) = 0.5 * (S(i, j) + S(j, i));
  std::vector<double> lambdas;
  symmetric_eigen(S, lambdas);
  const Matrix& V = S;
  std::vector<Mode> out;
  for (std::size_t c = 0; c < n; ++c) {
    // M does not couple the two directions, so neither does its Cholesky factor: the kinetic
    // energy x^T M x = |L^T x|^2 splits into the rows of each direction.
    double flap = 0.0, all = 0.0;
    for (std::size_t i = 0; i < n; ++i) {
      const double y2 = V(i, c) * V(i, c);
      all += y2;
      if ((i / 2) % 2 == 1) flap += y2;
    }
    const double lambda = std::max(0.0, lambdas[c]);
    out.push_back({std::sqrt(lambda) / kTwoPi, all > 0.0 ? flap / all : 0.0});
  }
  std::sort(out.begin(), out.end(),
            [](const Mode& a, const Mode& b2) { return a.frequency < b2.frequency; });
  return out;
}

BladeModes blade_modes(const ModalBeam& b, double omega, std::size_t elements) {
  BladeModes r;
  const std::vector<Mode> all = modes(b, omega, elements);
  // A round section bends alike in every direction: a flapwise and an edgewise mode then share
  // one frequency, and the eigensolver may return any two mixes of them. Modes of one frequency
  // (to 1e-9) are taken as a group: it holds as many flapwise modes as its flap shares sum to,
  // and its edgewise share is the sum of its members' (at most 1).
  struct Group {
    double frequency;
    double flap;  // summed flap share
    std::size_t size;
  };
  std::vector<Group> groups;
  for (const Mode& m : all) {
    if (!groups.empty() &&
        std::fabs(m.frequency - groups.back().frequency) <= 1e-6 * groups.back().frequency) {
      groups.back().flap += m.flap_share;
      ++groups.back().size;
    } else {
      groups.push_back({m.frequency, m.flap_share, 1});
    }
  }
  int flaps = 0;
  for (const Group& g : groups) {
    const long count = g.size == 1 ? (g.flap > 0.5 ? 1 : 0) : std::lround(g.flap);
    for (long k = 0; k < count && flaps < 2; ++k, ++flaps) {
      if (flaps == 0) r.flap1 = g.frequency;
      if (flaps == 1) r.flap2 = g.frequency;
    }
    if (flaps == 2) break;
  }
  // The twisted sections couple the two directions: near a crossing two modes share the
  // edgewise motion almost evenly. The first edgewise mode is the most edgewise of the lowest
  // five, the lower of equals.
  const std::size_t lowest = std::min<std::size_t>(5, all.size());
  double best = -1.0;
  std::size_t seen = 0;
  for (const Group& g : groups) {
    if (seen >= lowest) break;
    seen += g.size;
    // A group's summed shares carry rounding: one that holds a whole edgewise mode counts as 1.
    const double edge =
        g.size == 1 ? 1.0 - g.flap : std::min(1.0, static_cast<double>(g.size) - g.flap + 1e-9);
    if (edge > best) {
      best = edge;
      r.edge1 = g.frequency;
    }
  }
  return r;
}

}  // namespace loads
