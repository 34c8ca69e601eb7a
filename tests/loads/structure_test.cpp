// The beam kernels against closed forms: section properties of simple shapes and of a NACA 0012,
// a cantilever under uniform load, the centrifugal force and weight of a uniform blade.
#include "loads/structure.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <vector>

#include "util/catalogue.h"

namespace {

constexpr double kPi = 3.14159265358979323846;

// A ring of n points on an ellipse of semi-axes a (x) and b (y), counter-clockwise.
void ellipse(double a, double b, int n, std::vector<double>& x, std::vector<double>& y) {
  x.clear();
  y.clear();
  for (int i = 0; i < n; ++i) {
    const double t = 2.0 * kPi * i / n;
    x.push_back(a * std::cos(t));
    y.push_back(b * std::sin(t));
  }
}

// An outline of unit chord: both sets from x = 0 to 1 at cosine spacing, the lower set at
// lower(x), the upper at upper(x).
template <class Lower, class Upper>
blade::Outline outline(Lower lower, Upper upper) {
  blade::Outline o;
  for (std::size_t j = 0; j < blade::kSetPoints; ++j) {
    const double x = (1.0 - std::cos(kPi * static_cast<double>(j) / (blade::kSetPoints - 1))) / 2.0;
    o.x[0][j] = o.x[1][j] = x;
    o.y[0][j] = lower(x);
    o.y[1][j] = upper(x);
  }
  return o;
}

// Half the thickness of a NACA 00xx section of thickness t, with the closed trailing edge.
double naca00_half(double t, double x) {
  return 5.0 * t *
         (0.2969 * std::sqrt(x) - 0.1260 * x - 0.3516 * x * x + 0.2843 * x * x * x -
          0.1015 * x * x * x * x);
}

TEST(Sections, ClosedForms) {
  struct Shape {
    const char* name;
    loads::Centroidal got;
    double A, Iuu, Ivv, tol;
  };
  std::vector<double> x, y, xi, yi;
  const double w = 0.3, h = 0.1;
  const std::vector<double> rx = {1.0, 1.0 + w, 1.0 + w, 1.0}, ry = {2.0, 2.0, 2.0 + h, 2.0 + h};
  ellipse(0.5, 0.2, 4000, x, y);
  const loads::Centroidal ell = loads::centroidal(loads::polygon_moments(x, y));
  ellipse(0.10, 0.10, 4000, x, y);
  ellipse(0.098, 0.098, 4000, xi, yi);
  const loads::Centroidal tube =
      loads::centroidal(loads::polygon_moments(x, y) - loads::polygon_moments(xi, yi));
  const double R = 0.1, r = 0.098;
  const Shape shapes[] = {
      {"rectangle off the origin", loads::centroidal(loads::polygon_moments(rx, ry)), w * h,
       h * w * w * w / 12.0, w * h * h * h / 12.0, 1e-12},
      {"ellipse", ell, kPi * 0.5 * 0.2, kPi * 0.125 * 0.2 / 4.0, kPi * 0.5 * 0.008 / 4.0, 1e-5},
      {"thin tube", tube, kPi * (R * R - r * r), kPi * (std::pow(R, 4) - std::pow(r, 4)) / 4.0,
       kPi * (std::pow(R, 4) - std::pow(r, 4)) / 4.0, 1e-5},
  };
  for (const Shape& s : shapes) {
    SCOPED_TRACE(s.name);
    EXPECT_NEAR(s.got.A, s.A, s.tol * s.A);
    EXPECT_NEAR(s.got.Iuu, s.Iuu, s.tol * s.Iuu);
    EXPECT_NEAR(s.got.Ivv, s.Ivv, s.tol * s.Ivv);
    EXPECT_NEAR(s.got.Iuv, 0.0, 1e-9 * s.Iuu);
  }
  // The thin-walled tube: pi R^3 t for the wall t = R - r, within the thin-wall error t/R.
  EXPECT_NEAR(tube.Iuu, kPi * std::pow((R + r) / 2.0, 3) * (R - r), 0.02 * tube.Iuu);
  // The rectangle's centroid is its centre.
  const loads::Centroidal rect = shapes[0].got;
  EXPECT_NEAR(rect.cx, 1.0 + w / 2.0, 1e-12);
  EXPECT_NEAR(rect.cy, 2.0 + h / 2.0, 1e-12);
}

TEST(Sections, Naca0012HasItsKnownArea) {
  const blade::Outline o = outline([](double x) { return -naca00_half(0.12, x); },
                                   [](double x) { return naca00_half(0.12, x); });
  const loads::Centroidal c = loads::centroidal(loads::outline_moments(o));
  EXPECT_NEAR(c.A, 0.0822, 0.0005);
  EXPECT_NEAR(c.cy, 0.0, 1e-12);  // symmetric
  EXPECT_GT(c.cx, 0.40);          // thickest ahead of mid-chord, thin tail: centroid near 0.42
  EXPECT_LT(c.cx, 0.44);
}

TEST(Sections, HollowIsTheOutlineLessItsInnerOutline) {
  // A flat plate of thickness 0.1 with a wall of 0.02 leaves 0.1 - 0.06 of area; a wall beyond
  // half the thickness leaves it solid.
  const blade::Outline slab = outline([](double) { return 0.0; }, [](double) { return 0.1; });
  EXPECT_NEAR(loads::hollow_moments(slab, 0.02).A, 0.04, 1e-12);
  EXPECT_NEAR(loads::hollow_moments(slab, 0.06).A, 0.1, 1e-12);
  EXPECT_NEAR(loads::hollow_moments(slab, 0.0).A, 0.1, 1e-12);
  // Second moment of the walls about the middle: (0.1^3 - 0.06^3) / 12.
  const loads::Centroidal c = loads::centroidal(loads::hollow_moments(slab, 0.02));
  EXPECT_NEAR(c.Ivv, (0.001 - 0.000216) / 12.0, 1e-12);
}

TEST(Sections, TurningKeepsThePolarMoment) {
  const blade::Outline o = outline([](double x) { return -naca00_half(0.12, x); },
                                   [](double x) { return naca00_half(0.15, x); });
  const loads::Centroidal u = loads::centroidal(loads::outline_moments(o));
  for (double twist : {0.0, 17.0, 90.0, -35.0}) {
    SCOPED_TRACE(twist);
    const loads::Section s = loads::place_section(u, o, 0.2, twist);
    EXPECT_NEAR(s.Sxx + s.Syy, std::pow(0.2, 4) * (u.Iuu + u.Ivv), 1e-15);
    EXPECT_NEAR(s.A, 0.04 * u.A, 1e-15);
  }
  // At no twist the chord lies in the plane of rotation: the flapwise moment is the thin one.
  const loads::Section flat = loads::place_section(u, o, 1.0, 0.0);
  EXPECT_NEAR(flat.Syy, u.Ivv, 1e-15);
  EXPECT_NEAR(flat.Sxx, u.Iuu, 1e-15);
}

// A uniform rectangular beam from r0 to r0 + L on a grid of n cells.
loads::Beam uniform_beam(double r0, double L, int n, double mass, double E) {
  const std::vector<double> x = {-0.05, 0.05, 0.05, -0.05}, y = {-0.01, -0.01, 0.01, 0.01};
  loads::Section s;
  const loads::Centroidal c = loads::centroidal(loads::polygon_moments(x, y));
  s.A = c.A;
  s.Sxx = c.Iuu;
  s.Syy = c.Ivv;
  s.Sxy = c.Iuv;
  s.X = x;
  s.Y = y;
  loads::Beam b;
  b.modulus = E;
  for (int k = 0; k <= n; ++k) {
    b.radius.push_back(r0 + L * k / n);
    b.sections.push_back(s);
    b.mass.push_back(mass);
  }
  return b;
}

TEST(Beam, CantileverUnderUniformLoad) {
  const double L = 1.2, q = 150.0, E = 11e9, r0 = 0.3;
  const loads::Beam b = uniform_beam(r0, L, 80, 0.0, E);
  loads::SpanLoad load;
  load.qn.assign(80, q);
  load.qt.assign(80, 0.0);
  const loads::Response r = loads::respond(b, load, 0.0, true);
  const double I = b.sections[0].Syy;
  EXPECT_NEAR(r.m_flap.front(), q * L * L / 2.0, 1e-9 * q * L * L);
  EXPECT_NEAR(r.deflection.back(), q * std::pow(L, 4) / (8.0 * E * I), 1e-4 * r.deflection.back());
  // The stress at the root: M c / I with c half the thickness, on the upwind and downwind faces.
  EXPECT_NEAR(r.stress.front(), q * L * L / 2.0 * 0.01 / I, 1e-9 * r.stress.front());
  // An in-plane load bends the beam about the other axis and not downwind.
  std::swap(load.qn, load.qt);
  const loads::Response t = loads::respond(b, load, 0.0, true);
  EXPECT_NEAR(t.stress.front(), q * L * L / 2.0 * 0.05 / b.sections[0].Sxx,
              1e-9 * t.stress.front());
  EXPECT_NEAR(t.deflection.back(), 0.0, 1e-15);
}

TEST(Beam, CentrifugalForceAndWeightOfAUniformBlade) {
  const double r0 = 0.2, R = 1.7, mu = 0.9, omega = 30.0;
  const loads::Beam b = uniform_beam(r0, R - r0, 10, mu, 1e9);
  loads::SpanLoad none;
  none.qn.assign(10, 0.0);
  none.qt.assign(10, 0.0);
  const loads::Response r = loads::respond(b, none, omega, false);
  EXPECT_NEAR(r.normal.front(), omega * omega * mu * (R * R - r0 * r0) / 2.0,
              1e-9 * r.normal.front());
  EXPECT_NEAR(r.m_gravity.front(), loads::kGravity * mu * (R - r0) * (R - r0) / 2.0, 1e-9);
  // Pull and the weight's edgewise bending (half-width 0.05 m) meet at the corners.
  EXPECT_NEAR(r.stress.front(),
              r.normal.front() / b.sections[0].A + r.m_gravity.front() * 0.05 / b.sections[0].Sxx,
              1e-6);
  EXPECT_TRUE(r.deflection.empty());
}

TEST(Buckling, DownwindLoadsCompressTheDownwindSide) {
  // A symmetric NACA 0012 of 0.2 m chord, flat in the plane of rotation. A downwind bending
  // moment M puts the upper (downwind) side in compression, M t / 2 / I at its thickest point
  // (t = 0.024 m); the lower side is in tension. A pull N/A above that leaves no compression.
  const blade::Outline o = outline([](double x) { return -naca00_half(0.12, x); },
                                   [](double x) { return naca00_half(0.12, x); });
  const loads::Centroidal u = loads::centroidal(loads::outline_moments(o));
  const loads::Section s = loads::place_section(u, o, 0.2, 0.0);
  const double M = 100.0;
  const std::array<double, 2> c = loads::side_compression(s, 0.0, M, 0.0);
  EXPECT_EQ(c[0], 0.0);
  // The outline's points miss the thickest point by less than 0.1 % of the thickness.
  EXPECT_NEAR(c[1] / (M * 0.012 / s.Syy), 1.0, 1e-3);
  const std::array<double, 2> pulled = loads::side_compression(s, 1.01 * c[1] * s.A, M, 0.0);
  EXPECT_EQ(pulled[0], 0.0);
  EXPECT_EQ(pulled[1], 0.0);
  // Each side's arc runs from the leading to the trailing edge: a little over the chord.
  EXPECT_GT(s.arc[0], 0.2);
  EXPECT_LT(s.arc[0], 0.2 * 1.02);
  EXPECT_DOUBLE_EQ(s.arc[0], s.arc[1]);
}

TEST(Buckling, LongPlateUnderCompression) {
  struct Case {
    const char* what;
    int material;     // the catalogue's index
    double t, b;      // m
    double expected;  // Pa, by hand
    double tol;       // relative
  };
  const Case cases[] = {
      // Isotropic, k = 4: sigma = 4 pi^2 E (t/b)^2 / 12 (1 - nu^2)
      //   = 4 x 9.8696044 x 70e9 x (1/50)^2 / (12 x 0.91) = 101.2267 MPa.
      // The material's G = 27 GPa is the standard's rounding of E / 2 (1 + nu) = 26.92 GPa:
      // 0.1 % more.
      {"aluminium 1 mm over 50 mm", 1, 0.001, 0.050, 101.2267e6, 1.1e-3},
      // T300/5208 lamina (E1 181, E2 10.3, G12 7.17 GPa, nu12 0.28), 0.85 mm over 25 mm:
      // nu21 = 0.28 x 10.3 / 181 = 0.015934; 1 - nu12 nu21 = 0.995539;
      // 12 D / t^3: D11 181.811, D22 10.3462, D12 2.8969, D66 7.17 (GPa);
      // 2 sqrt(D11 D22) + 2 (D12 + 2 D66) = 86.742 + 34.474 = 121.216 GPa;
      // sigma = pi^2 / b^2 x t^2 / 12 x 121.216e9 = 115.25 MPa (the hand estimate of a
      // 25 mm panel of the thinnest carbon wall).
      {"carbon 0.85 mm over 25 mm", 3, 0.00085, 0.025, 115.25e6, 1e-4},
      // C24 timber, no Poisson term: pi^2 t^2 / 12 b^2 x (2 sqrt(11 x 0.37) + 4 x 0.69) GPa
      //   = 9.8696044 x (3/60)^2 / 12 x 6.7943 GPa = 13.971 MPa.
      {"wood 3 mm over 60 mm", 0, 0.003, 0.060, 13.971e6, 1e-4},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const loads::Material& m = catalogue::kMaterials[static_cast<std::size_t>(c.material)];
    const double got = loads::plate_buckling_stress(m, m.modulus, c.t, c.b);
    EXPECT_NEAR(got / c.expected, 1.0, c.tol) << got;
    // Twice the width, a quarter of the stress; twice the thickness, four times.
    EXPECT_NEAR(loads::plate_buckling_stress(m, m.modulus, c.t, 2.0 * c.b) / got, 0.25, 1e-12);
    EXPECT_NEAR(loads::plate_buckling_stress(m, m.modulus, 2.0 * c.t, c.b) / got, 4.0, 1e-12);
  }
}

// A round section's stresses against the beam formula sampled around its circle: at angle t
// the point (R cos t, R sin t) carries N / A - M_edge X / I - M_flap Y / I (downwind loads put
// the upwind side, Y < 0, in tension), I = pi (D^4 - d^4) / 64; the upwind half is the lower
// side, the downwind half the upper.
TEST(LoadsStructure, RoundSectionStressesAreTheBeamFormulasAroundTheCircle) {
  struct Case {
    double D, t;                    // m
    double normal, m_flap, m_edge;  // N, N m
  };
  const Case cases[] = {
      {0.05, 0.0, 0.0, 72.93, 21.06},      // the parked rod: bending only
      {0.05, 0.005, 2000.0, 40.0, -15.0},  // a tube at work: tension and both moments
      {0.04, 0.0, 500.0, 0.0, 30.0},       // edgewise only: both sides reach the same peak
      {0.06, 0.002, -800.0, -25.0, 0.0},   // compression, upwind loads
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.D + c.t + c.normal);
    const loads::Section s = loads::round_section(c.D, c.t);
    const double d = c.t > 0.0 ? c.D - 2.0 * c.t : 0.0;
    const double A = kPi * (c.D * c.D - d * d) / 4.0;
    const double I = kPi * (c.D * c.D * c.D * c.D - d * d * d * d) / 64.0;
    EXPECT_NEAR(s.A / A, 1.0, 1e-14);
    EXPECT_NEAR(s.Sxx / I, 1.0, 1e-14);
    EXPECT_NEAR(s.Syy / I, 1.0, 1e-14);
    EXPECT_EQ(s.Sxy, 0.0);
    double peak = 0.0;
    std::array<double, 2> compression{};
    // Each half from end to end: upwind t in [pi, 2 pi], downwind [0, pi].
    const int n = 18000;
    for (std::size_t side = 0; side < 2; ++side) {
      for (int k = 0; k <= n; ++k) {
        const double a = kPi * k / n + (side == 0 ? kPi : 0.0);
        const double X = c.D / 2.0 * std::cos(a), Y = c.D / 2.0 * std::sin(a);
        const double sigma = c.normal / A - c.m_edge * X / I - c.m_flap * Y / I;
        peak = std::max(peak, std::fabs(sigma));
        compression[side] = std::max(compression[side], -sigma);
      }
    }
    const double scale = std::fabs(c.normal) / A + c.D / 2.0 * std::hypot(c.m_flap, c.m_edge) / I;
    EXPECT_NEAR(loads::peak_stress(s, c.normal, c.m_flap, c.m_edge), peak, 1e-7 * scale);
    const std::array<double, 2> got = loads::side_compression(s, c.normal, c.m_flap, c.m_edge);
    EXPECT_NEAR(got[0], compression[0], 1e-7 * scale);
    EXPECT_NEAR(got[1], compression[1], 1e-7 * scale);
  }
}

}  // namespace
