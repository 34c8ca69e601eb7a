// rotorforge-loads on blade files of a round root and of several sections: a round blade against
// the hand calculation of a uniform circular cantilever, and a cylinder root before an aerofoil.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "loads/run.h"
#include "loads_support.h"

namespace loads_test {
namespace {

constexpr double kPi = 3.14159265358979323846;

// A scratch directory with the shipped Data/ files and nothing else: a blade file needs no
// session.
class BladeDir : public support::ScratchDir {
 public:
  BladeDir() : support::ScratchDir("rotorforge-loads-round-") {
    fs::create_directories(path() / "Data");
    for (const auto& e : fs::directory_iterator(fs::path(ROTORFORGE_SOURCE_DIR) / "Data")) {
      if (e.path().extension() == ".dat")
        fs::copy_file(e.path(), path() / "Data" / e.path().filename());
    }
  }
};

std::string station(double r, double chord, double twist, const std::string& section) {
  return "[[station]]\nr = " + std::to_string(r) + "\nchord = " + std::to_string(chord) +
         "\ntwist = " + std::to_string(twist) + "\nsection = \"" + section + "\"\n";
}

// A rod (or tube) of diameter d = 50 mm from r = 0.1 m to 1.0 m on a hub of 0.05 m, a uniform
// cantilever of L = 0.9 m clamped where it begins. Parked in the class I storm, 1.4 x 50 = 70 m/s,
// in air of 1.225 kg/m^3 (ISA sea level), with no lift and Cd = 1.2 it carries the uniform drag
// load
//   w = q d Cd = 0.5 x 1.225 x 70^2 x 0.05 x 1.2 = 3001.25 x 0.06 = 180.075 N/m,
// so that by hand (aluminium, E = 70 GPa, 2700 kg/m^3; no rotation, no centrifugal force):
//   root flapwise moment  M = w L^2 / 2 = 180.075 x 0.81 / 2 = 72.930 N m
//   solid: I = pi d^4 / 64 = 3.0680e-7 m^4, A = pi d^2 / 4 = 1.9635e-3 m^2, m = 5.3014 kg/m
//   weight moment (edgewise, blade level) Mg = m g L^2 / 2 = 5.3014 x 9.80665 x 0.405 = 21.056 N m
//   root stress  sigma = (d / 2) sqrt(M^2 + Mg^2) / I = 0.025 x 75.909 / 3.0680e-7 = 6.186 MPa
//   tip deflection  w L^4 / 8 E I = 180.075 x 0.6561 / (8 x 70e9 x 3.0680e-7) = 0.6877 mm
//   first bending mode  1.8751^2 sqrt(E I / m L^4) / 2 pi = 43.97 Hz (flapwise = edgewise),
//   the second 4.6941^2 sqrt(E I / m L^4) / 2 pi = 275.56 Hz
// and a tube of 5 mm wall (d_i = 40 mm): I = pi (d^4 - d_i^4) / 64, A = pi (d^2 - d_i^2) / 4.
TEST(LoadsRoundRoot, RoundBladeIsAUniformCircularCantilever) {
  BladeDir dir;
  dir.write("rod.toml", "blades = 3\nhub_radius = 0.05\nelements = 20\n" +
                            station(0.1, 0.05, 10.0, "cylinder") +
                            station(0.55, 0.05, 5.0, "cylinder") +
                            station(1.0, 0.05, 0.0, "cylinder"));
  struct Row {
    double wall_mm;
    double inner;        // m, the hole's diameter
    double root_stress;  // MPa, by hand
    double tip_mm;       // by hand
    double frequency;    // Hz, by hand: the first bending mode
    double second;       // Hz, by hand: the second
  };
  const double d = 0.05, L = 0.9, w = 0.5 * 1.225 * 70.0 * 70.0 * d * 1.2;
  const double E = 70e9, density = 2700.0, g = 9.80665;
  const auto by_hand = [&](double wall_mm, double inner) {
    const double I = kPi * (d * d * d * d - inner * inner * inner * inner) / 64.0;
    const double m = density * kPi * (d * d - inner * inner) / 4.0;
    const double M = w * L * L / 2.0, Mg = m * g * L * L / 2.0;
    return Row{wall_mm,
               inner,
               d / 2.0 * std::sqrt(M * M + Mg * Mg) / I / 1e6,
               w * L * L * L * L / (8.0 * E * I) * 1000.0,
               1.87510407 * 1.87510407 * std::sqrt(E * I / (m * L * L * L * L)) / (2.0 * kPi),
               4.69409113 * 4.69409113 * std::sqrt(E * I / (m * L * L * L * L)) / (2.0 * kPi)};
  };
  for (const Row& row : {by_hand(0.0, 0.0), by_hand(5.0, 0.04)}) {
    SCOPED_TRACE(row.wall_mm);
    loads::Settings s;
    s.blade_file = dir / "rod.toml";
    s.wall = row.wall_mm;
    s.material = 1;  // aluminium
    const loads::Report r = loads::evaluate(dir.path(), s);
    ASSERT_EQ(r.material.density, density);
    ASSERT_EQ(r.material.modulus, 70.0);
    EXPECT_NEAR(r.rho, 1.225, 5e-4);
    const loads::Case& parked = r.cases.back();
    ASSERT_TRUE(parked.parked);
    EXPECT_EQ(parked.point.U, 70.0);
    // No lift and the cylinder's drag in the storm, on every element.
    for (const loads::ElementResult& e : parked.point.result.elements) {
      EXPECT_EQ(e.cl, 0.0);
      EXPECT_EQ(e.cd, 1.2);
    }
    const double M = w * L * L / 2.0 * (r.rho / 1.225);
    EXPECT_NEAR(parked.root_flap, M, 1e-9 * M);
    EXPECT_NEAR(parked.centrifugal, 0.0, 1e-12);
    EXPECT_NEAR(parked.root_stress / row.root_stress, 1.0, 2e-3);
    EXPECT_NEAR(parked.tip_deflection * 1000.0 / row.tip_mm, 1.0, 2e-3);
    EXPECT_NEAR(r.standing.flap1 / row.frequency, 1.0, 5e-3);
    EXPECT_NEAR(r.standing.edge1 / row.frequency, 1.0, 5e-3);
    EXPECT_NEAR(r.standing.flap2 / row.second, 1.0, 5e-3);
    RecordProperty(
        "root_stress_MPa_" + std::to_string(int(row.wall_mm)),
        std::to_string(parked.root_stress) + " by hand " + std::to_string(row.root_stress));
    RecordProperty(
        "tip_mm_" + std::to_string(int(row.wall_mm)),
        std::to_string(parked.tip_deflection * 1000.0) + " by hand " + std::to_string(row.tip_mm));
    RecordProperty("flap1_Hz_" + std::to_string(int(row.wall_mm)),
                   std::to_string(r.standing.flap1) + " edge1 " + std::to_string(r.standing.edge1) +
                       " by hand " + std::to_string(row.frequency));
    // The blade's mass: the rod's or the tube's, m L.
    const double m = density * kPi * (d * d - row.inner * row.inner) / 4.0;
    EXPECT_NEAR(r.mass / (m * L), 1.0, 1e-9);
    EXPECT_NEAR(r.beam_mass / (m * L), 1.0, 1e-9);
    // At work the rod has no lift either, and only its drag in every case.
    for (const loads::Case& c : r.cases) {
      for (const loads::ElementResult& e : c.point.result.elements) EXPECT_EQ(e.cl, 0.0);
    }
  }
}

// A cylinder root (rod of 40 mm up to r = 0.3 m) before an SG6043 blade: the program runs and
// refuses nothing; the elements of the root have no lift and the cylinder's drag, those of the
// aerofoil lift; at the root the stress is that of the circle,
//   N / A + (d / 2) sqrt(Mflap^2 + Medge^2) / I,  A = pi d^2 / 4,  I = pi d^4 / 64,
// in every case, where Medge adds the weight's moment to the aerodynamic one.
TEST(LoadsRoundRoot, CylinderRootBeforeAnAerofoil) {
  BladeDir dir;
  dir.write("root.toml",
            "blades = 3\nhub_radius = 0.1\nelements = 20\n" + station(0.1, 0.04, 20.0, "cylinder") +
                station(0.3, 0.04, 20.0, "cylinder") + station(0.35, 0.12, 15.0, "sg6043") +
                station(1.0, 0.05, 0.0, "sg6043"));
  const auto run = loads(dir.path(), "--blade root.toml --wall 0 --material wood");
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.out.find("mass: "), std::string::npos) << run.out;
  EXPECT_TRUE(fs::is_regular_file(dir / "Result/loads/index.html"));

  loads::Settings s;
  s.blade_file = dir / "root.toml";
  s.wall = 0.0;
  s.material = 0;
  const loads::Report r = loads::evaluate(dir.path(), s);
  const double d = 0.04, A = kPi * d * d / 4.0, I = kPi * d * d * d * d / 64.0;
  ASSERT_GT(r.cases.size(), 2u);
  for (const loads::Case& c : r.cases) {
    SCOPED_TRACE(c.point.source + " " + std::to_string(c.point.U));
    bool lift = false;
    for (const loads::ElementResult& e : c.point.result.elements) {
      if (e.radius < 0.3) {
        EXPECT_EQ(e.cl, 0.0);
        EXPECT_DOUBLE_EQ(e.cd, 1.2);
        // Its drag pushes downwind and brakes the rotor; where the solver finds no windmill
        // state for it, the undisturbed wind: 0.5 rho U^2 (1 + (lambda r / R)^2) c Cd sin phi,
        // sin phi = 1 / sqrt(1 + (lambda r / R)^2).
        EXPECT_GT(e.fn, 0.0);
        if (!c.parked) {
          EXPECT_LT(e.ft, 0.0);
        }
        if (e.end == calc_mod::ElementEnd::kUnloaded) {
          const double lr = c.point.lambda * e.radius / 1.0;
          const double U = c.point.U;
          EXPECT_NEAR(e.fn / (0.5 * r.rho * U * U * std::sqrt(1.0 + lr * lr) * 0.04 * 1.2), 1.0,
                      1e-12);
        }
      } else if (e.radius > 0.35) {
        lift = lift || e.cl != 0.0;
      }
    }
    EXPECT_TRUE(lift);
    const double edge = c.root_edge + std::copysign(c.gravity, c.root_edge);
    const double circle =
        std::fabs(c.centrifugal / A) + d / 2.0 * std::hypot(c.root_flap, edge) / I;
    EXPECT_NEAR(c.root_stress / (circle / 1e6), 1.0, 1e-9);
  }
  // The beam's mass: the rod's 0.2 m (within the half cell where the outline changes) and the
  // aerofoil's; more than the rod alone.
  EXPECT_GT(r.beam_mass, 500.0 * A * 0.2);
}

}  // namespace
}  // namespace loads_test
