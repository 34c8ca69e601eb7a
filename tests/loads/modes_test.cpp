// The blade's modes against closed forms: a uniform cantilever's bending frequencies, the
// Southwell coefficient of a uniform blade turning about its root, a beam whose principal axes
// are turned, and the convergence of a tapered blade's frequencies with the mesh.
#include "loads/modes.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <vector>

namespace {

constexpr double kPi = 3.14159265358979323846;

// A beam of length L from radius r0, its stiffness matrix E S and mass per metre from the
// relative position s (0 at the root, 1 at the tip), on a grid of n points.
loads::ModalBeam beam(double r0, double L, int n, std::function<double(double)> exx,
                      std::function<double(double)> eyy, std::function<double(double)> exy,
                      std::function<double(double)> mass) {
  loads::ModalBeam b;
  for (int i = 0; i < n; ++i) {
    const double s = static_cast<double>(i) / (n - 1);
    b.radius.push_back(r0 + s * L);
    b.exx.push_back(exx(s));
    b.eyy.push_back(eyy(s));
    b.exy.push_back(exy(s));
    b.mass.push_back(mass(s));
  }
  return b;
}

loads::ModalBeam uniform(double r0, double L, double ei_edge, double ei_flap, double m) {
  return beam(
      r0, L, 41, [=](double) { return ei_edge; }, [=](double) { return ei_flap; },
      [](double) { return 0.0; }, [=](double) { return m; });
}

// The roots beta L of 1 + cos(beta L) cosh(beta L) = 0: a clamped-free uniform beam's modes
// have w = (beta L)^2 sqrt(EI / m L^4).
constexpr double kBetaL[3] = {1.8751040687, 4.6940911330, 7.8547574382};

double cantilever_hz(int mode, double ei, double m, double L) {
  return kBetaL[mode] * kBetaL[mode] * std::sqrt(ei / (m * L * L * L * L)) / (2.0 * kPi);
}

TEST(Modes, UniformCantileverBendingFrequencies) {
  const double L = 1.35, m = 0.4, flap = 25.0, edge = 900.0;  // N m^2, kg/m
  const loads::ModalBeam b = uniform(0.15, L, edge, flap, m);
  const std::vector<loads::Mode> all = loads::modes(b, 0.0, loads::kModalElements);
  std::vector<double> flaps, edges;
  for (const loads::Mode& mode : all) {
    (mode.flap_share > 0.5 ? flaps : edges).push_back(mode.frequency);
    // Uncoupled: every mode moves in one direction only.
    EXPECT_TRUE(mode.flap_share > 1.0 - 1e-9 || mode.flap_share < 1e-9) << mode.flap_share;
  }
  ASSERT_GE(flaps.size(), 3u);
  ASSERT_GE(edges.size(), 3u);
  // Cubic elements: the error falls as h^4, and grows with the mode's number of waves.
  const double tolerance[3] = {1e-7, 5e-6, 3e-5};
  for (int i = 0; i < 3; ++i) {
    SCOPED_TRACE(i);
    EXPECT_NEAR(flaps[i] / cantilever_hz(i, flap, m, L), 1.0, tolerance[i]);
    EXPECT_NEAR(edges[i] / cantilever_hz(i, edge, m, L), 1.0, tolerance[i]);
  }
  const loads::BladeModes named = loads::blade_modes(b, 0.0);
  EXPECT_DOUBLE_EQ(named.flap1, flaps[0]);
  EXPECT_DOUBLE_EQ(named.flap2, flaps[1]);
  EXPECT_DOUBLE_EQ(named.edge1, edges[0]);
}

TEST(Modes, TurnedPrincipalAxesKeepTheFrequencies) {
  // Principal stiffnesses 30 and 600 N m^2 turned by 35 degrees into the rotor's axes: the
  // coupled beam has the modes of the two principal beams.
  const double L = 1.2, m = 0.5, e1 = 30.0, e2 = 600.0, a = 35.0 * kPi / 180.0;
  const double c = std::cos(a), s = std::sin(a);
  const double exx = e1 * s * s + e2 * c * c, eyy = e1 * c * c + e2 * s * s,
               exy = (e2 - e1) * c * s;
  const loads::ModalBeam b = beam(
      0.1, L, 21, [=](double) { return exx; }, [=](double) { return eyy; },
      [=](double) { return exy; }, [=](double) { return m; });
  const std::vector<loads::Mode> all = loads::modes(b, 0.0, loads::kModalElements);
  EXPECT_NEAR(all[0].frequency / cantilever_hz(0, e1, m, L), 1.0, 1e-6);
  EXPECT_NEAR(all[1].frequency / cantilever_hz(0, e2, m, L), 1.0, 1e-6);
  EXPECT_NEAR(all[2].frequency / cantilever_hz(1, e1, m, L), 1.0, 1e-5);
  // The soft direction is mostly downwind: cos^2 35 deg of its motion.
  EXPECT_NEAR(all[0].flap_share, c * c, 1e-6);
}

// The exact first mode shape of a clamped-free beam on [0, 1], and its slope.
double shape(double x) {
  const double b = kBetaL[0];
  const double sigma = (std::cosh(b) + std::cos(b)) / (std::sinh(b) + std::sin(b));
  return std::cosh(b * x) - std::cos(b * x) - sigma * (std::sinh(b * x) - std::sin(b * x));
}
double slope(double x) {
  const double b = kBetaL[0];
  const double sigma = (std::cosh(b) + std::cos(b)) / (std::sinh(b) + std::sin(b));
  return b * (std::sinh(b * x) + std::sin(b * x) - sigma * (std::cosh(b * x) - std::cos(b * x)));
}

TEST(Modes, SouthwellCoefficientOfAUniformBladeWithoutHubOffset) {
  // w^2 = w0^2 + K W^2 for small W; K is the Rayleigh quotient of the tension
  // m W^2 (L^2 - r^2) / 2 over the standing mode: K = int (1 - x^2)/2 phi'^2 / int phi^2 on
  // [0, 1], about 1.193 (Simpson's rule on the exact mode shape here).
  double top = 0.0, bottom = 0.0;
  const int n = 2000;
  for (int i = 0; i <= n; ++i) {
    const double x = static_cast<double>(i) / n, w = (i == 0 || i == n) ? 1.0 : (i % 2 ? 4.0 : 2.0);
    top += w * (1.0 - x * x) / 2.0 * slope(x) * slope(x);
    bottom += w * shape(x) * shape(x);
  }
  const double K = top / bottom;
  EXPECT_NEAR(K, 1.193, 0.001);

  const double L = 1.0, m = 1.0, ei = 100.0;
  const loads::ModalBeam b = uniform(0.0, L, 400.0 * ei, ei, m);
  const loads::BladeModes rest = loads::blade_modes(b, 0.0);
  const double w0 = 2.0 * kPi * rest.flap1;
  const double W = 0.05 * w0;  // slow enough that K has not yet changed with the speed
  const loads::BladeModes turning = loads::blade_modes(b, W);
  const double w = 2.0 * kPi * turning.flap1;
  EXPECT_NEAR((w * w - w0 * w0) / (W * W), K, 2e-3);
  // In the plane of rotation the same tension stiffens and the turning frame softens by W^2.
  const double e0 = 2.0 * kPi * rest.edge1, e = 2.0 * kPi * turning.edge1;
  EXPECT_NEAR((e * e - e0 * e0) / (W * W), K - 1.0, 2e-3);
}

TEST(Modes, TaperedBladeConvergesWithTheMesh) {
  // A solid blade whose chord falls linearly to a sixth at the tip: stiffness as chord^4, mass
  // as chord^2, turning at 500 rpm about an axis 0.15 m from its root.
  const auto chord = [](double s) { return 1.0 - 5.0 / 6.0 * s; };
  const auto c4 = [=](double s) { return std::pow(chord(s), 4); };
  const loads::ModalBeam b = beam(
      0.15, 1.35, 41, [=](double s) { return 2000.0 * c4(s); },
      [=](double s) { return 40.0 * c4(s); }, [=](double s) { return 0.1 * c4(s); },
      [=](double s) { return 3.0 * chord(s) * chord(s); });
  const double W = 500.0 * 2.0 * kPi / 60.0;
  const loads::BladeModes fine = loads::blade_modes(b, W, 40);
  double last_error = 1.0;
  for (std::size_t n : {5u, 10u, 20u}) {
    SCOPED_TRACE(n);
    const loads::BladeModes coarse = loads::blade_modes(b, W, n);
    const double error = std::max({std::fabs(coarse.flap1 / fine.flap1 - 1.0),
                                   std::fabs(coarse.flap2 / fine.flap2 - 1.0),
                                   std::fabs(coarse.edge1 / fine.edge1 - 1.0)});
    EXPECT_LT(error, last_error / 4.0);  // at least second order
    last_error = error;
  }
  EXPECT_LT(last_error, 1e-4);  // the mesh the program uses
}

}  // namespace
