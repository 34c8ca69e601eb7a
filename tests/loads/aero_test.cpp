// The parked storm against a flat plate, and the post-stall model's joins.
#include "loads/aero.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>

#include "aerofoil/polar.h"
#include "aerofoil/post_stall.h"
#include "support/polars.h"

namespace {

TEST(PostStall, ViternaMeetsItsMatchPointAndAFlatPlateBroadside) {
  for (double as : {15.0, 35.0, -10.0}) {
    SCOPED_TRACE(as);
    const aerofoil::LiftDrag at = aerofoil::viterna(as, 0.9, 0.12, as, 1.3);
    EXPECT_NEAR(at.cl, 0.9, 1e-12);
    EXPECT_NEAR(at.cd, 0.12, 1e-12);
  }
  const aerofoil::LiftDrag broadside = aerofoil::viterna(35.0, 1.1, 0.4, 90.0, 1.29);
  EXPECT_NEAR(broadside.cl, 0.0, 1e-12);
  EXPECT_NEAR(broadside.cd, 1.29, 1e-12);
  EXPECT_DOUBLE_EQ(aerofoil::flat_plate_cd_max(10.0), 1.29);
  EXPECT_DOUBLE_EQ(aerofoil::flat_plate_cd_max(80.0), 2.01);
}

// The extension on a polar's own tables is the loaded tables' extension, bit for bit, once that
// polar is loaded: within the polar, beyond either end, and at the Reynolds numbers' ends.
TEST(PostStall, ExtensionOnAPolarIsTheLoadedTablesOnce) {
  const aerofoil::Polar polars[] = {aerofoil::linear_polar(0.1, 0.01, -10.0, 35.0),
                                    aerofoil::linear_polar(0.08, 0.02, -5.0, 20.0)};
  for (const aerofoil::Polar& p : polars) {
    aerofoil::load(p);
    for (double re : {1e4, 42000.0, 2.5e5, 1.3e6, 1e7}) {
      for (double alpha = -180.0; alpha <= 180.0; alpha += 2.5) {
        const aerofoil::LiftDrag own = aerofoil::landd_extended(p, alpha, re, 1.3);
        const aerofoil::LiftDrag loaded = aerofoil::landd_extended(alpha, re, 1.3);
        ASSERT_EQ(std::bit_cast<std::uint64_t>(own.cl), std::bit_cast<std::uint64_t>(loaded.cl))
            << alpha << " deg, Re " << re << ": " << own.cl << " vs " << loaded.cl;
        ASSERT_EQ(std::bit_cast<std::uint64_t>(own.cd), std::bit_cast<std::uint64_t>(loaded.cd))
            << alpha << " deg, Re " << re << ": " << own.cd << " vs " << loaded.cd;
      }
    }
  }
  // Each polar its own: the second, loaded last, is not the first.
  EXPECT_NE(aerofoil::landd_extended(polars[0], 5.0, 2.5e5, 1.3).cl,
            aerofoil::landd_extended(5.0, 2.5e5, 1.3).cl);
}

TEST(Parked, FlatPlateBroadside) {
  // A blade of constant chord without twist stands broadside to the storm: drag CDmax of its
  // aspect ratio on every element, no lift.
  support::load_linear_polar();
  loads::Rotor rotor;
  rotor.Numb = 3;
  rotor.nbe = 20;
  rotor.rhub = 0.2;
  rotor.rtip = 2.0;
  rotor.dr = (1.0 - 0.1) / 20.0;
  for (int i = 0; i < 20; ++i) rotor.r.push_back(0.1 + (i + 0.5) * rotor.dr);
  rotor.chord.assign(21, 0.05);
  rotor.twist.assign(21, 0.0);
  const double V = 50.0, rho = 1.225, L = 1.8, c = 0.1;
  const double ar = L * L / (L * c);
  const double cd = 1.11 + 0.018 * ar;
  EXPECT_NEAR(loads::aspect_ratio(rotor), ar, 1e-9);
  const loads::PointResult p = loads::parked(rotor, rho, V);
  const double q = 0.5 * rho * V * V;
  for (const loads::ElementResult& e : p.elements) {
    EXPECT_NEAR(e.alpha, 90.0, 1e-12);
    EXPECT_NEAR(e.cd, cd, 1e-9);
    EXPECT_NEAR(e.cl, 0.0, 1e-9);
    EXPECT_NEAR(e.fn, q * c * cd, 1e-6);
  }
  EXPECT_NEAR(p.thrust, 3.0 * q * c * cd * L, 1e-6);
  EXPECT_DOUBLE_EQ(p.power, 0.0);
}

}  // namespace
