#include "rotor/twist_search.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <random>
#include <string>
#include <utility>

#include "aerofoil/aerofoil.h"
#include "aerofoil/global.h"
#include "support/bits.h"
#include "support/polars.h"
#include "support/shipped.h"

namespace {

using support::bits;
using support::describe;

TEST(TwistCandidates, FormulaInDoubleArithmetic) {
  for (int m = 1; m <= twist_search::kCandidates; ++m) {
    volatile double vm = m;  // evaluate the formula at run time
    const double expect = vm * (40.0 - (-5.0)) / 1000.0 + (-5.0);
    ASSERT_EQ(bits(twist_search::candidate(m)), bits(expect)) << "m = " << m;
  }
  EXPECT_NEAR(twist_search::candidate(1), -4.955, 1e-15);
  EXPECT_SAME_BITS(twist_search::candidate(1000), 40.0);
}

// ---------------------------------------------------------------------------------------------
// Twist search: the pruned search equals the candidate-by-candidate lookup, bit for bit.

twist_search::Best plain_search(double phideg, double re) {
  twist_search::Best b;
  for (int m = 1; m <= twist_search::kCandidates; ++m) {
    double cl, cd;
    aerofoil::landd(phideg - twist_search::candidate(m), re, cl, cd);
    if (cl / cd > b.ratio) {
      b.m = m;
      b.ratio = cl / cd;
      b.cl = cl;
      b.cd = cd;
    }
  }
  return b;
}

void compare_twist_search(std::uint64_t seed, int cases) {
  std::mt19937_64 rng(seed);
  std::uniform_real_distribution<double> u01(0.0, 1.0);
  for (int n = 0; n < cases; ++n) {
    const double phideg = -30.0 + 110.0 * u01(rng);
    const double re = std::pow(10.0, 3.0 + 4.5 * u01(rng));
    const twist_search::Best f = twist_search::search(phideg, re);
    const twist_search::Best r = plain_search(phideg, re);
    ASSERT_EQ(f.m, r.m) << "phideg " << describe(phideg) << " re " << describe(re);
    ASSERT_EQ(bits(f.ratio), bits(r.ratio)) << "phideg " << describe(phideg);
    ASSERT_EQ(bits(f.cl), bits(r.cl));
    ASSERT_EQ(bits(f.cd), bits(r.cd));
  }
}

// A polar of random values: angles rising by random steps (some equal neighbours; the same in
// every column or different), lift of either sign, drag mostly positive, some rows of zero or
// negative drag.
void load_random_polar(std::uint64_t seed, bool same_angles) {
  std::mt19937_64 rng(seed);
  std::uniform_real_distribution<double> u01(0.0, 1.0);
  for (int i = 0; i < global::kColumns; ++i) {
    double angle = -15.0 + 5.0 * u01(rng);
    for (int j = 0; j < global::kRows; ++j) {
      global::alpha_array[i][j] =
          same_angles && i > 0 ? global::alpha_array[0][j] : static_cast<float>(angle);
      const double pick = u01(rng);
      angle += pick < 0.1 ? 0.0 : 0.3 + 1.5 * u01(rng);
      global::cl_array[i][j] = -1.0 + 3.0 * u01(rng);
      const double d = u01(rng);
      global::cd_array[i][j] = d < 0.03 ? 0.0 : (d < 0.06 ? -0.01 : 0.005 + 0.3 * u01(rng));
    }
  }
  support::fill_re_log();
}

TEST(TwistSearch, ShippedAndLinearPolars) {
  support::each_design_polar(100, [](std::uint64_t seed) { compare_twist_search(seed, 3000); });
}

TEST(TwistSearch, SyntheticPolars) {
  // Ratio constant in every column: all candidates equal, the first one counts.
  support::load_flat_polar();
  compare_twist_search(8, 300);
  for (std::uint64_t seed = 20; seed < 32; ++seed) {
    SCOPED_TRACE(seed);
    load_random_polar(seed, seed % 2 == 0);
    compare_twist_search(seed, 400);
  }
  // Smooth lift and drag with a sharp best ratio, the same angles in every column.
  for (int i = 0; i < global::kColumns; ++i) {
    for (int j = 0; j < global::kRows; ++j) {
      const double angle = -10.0 + 0.5 * j;
      global::alpha_array[i][j] = static_cast<float>(angle);
      global::cl_array[i][j] = 0.1 * angle + 0.01 * i;
      global::cd_array[i][j] = 0.01 + 0.0004 * (angle - 4.0) * (angle - 4.0);
    }
  }
  compare_twist_search(40, 1000);
  // Decreasing angles somewhere: the full search is used.
  support::load_shipped_polar(support::kShippedPolars[1]);
  std::swap(global::alpha_array[2][10], global::alpha_array[2][11]);
  compare_twist_search(9, 300);
}

TEST(TwistSearch, ExtremeMagnitudes) {
  // Lift and drag near overflow and in the subnormal range: the rounding bounds must not prune a
  // candidate the plain search would keep.
  for (double scale : {1e306, 1e-300, 1e-315}) {
    for (bool same : {true, false}) {
      SCOPED_TRACE(std::to_string(scale) + (same ? " same angles" : " own angles"));
      load_random_polar(50, same);
      for (int i = 0; i < global::kColumns; ++i) {
        for (int j = 0; j < global::kRows; ++j) {
          global::cl_array[i][j] *= scale;
          global::cd_array[i][j] *= j % 5 == 0 ? 1.0 : scale;
        }
      }
      compare_twist_search(51, 300);
    }
  }
}

TEST(TwistSearch, NonFiniteInputs) {
  support::load_shipped_polar(support::kShippedPolars[0]);
  const double inf = std::numeric_limits<double>::infinity();
  const double nan = std::numeric_limits<double>::quiet_NaN();
  for (double phideg : {inf, -inf, nan, 10.0}) {
    for (double re : {nan, inf, 0.0, -5.0, 2e5}) {
      const twist_search::Best f = twist_search::search(phideg, re);
      const twist_search::Best r = plain_search(phideg, re);
      EXPECT_EQ(f.m, r.m);
      EXPECT_EQ(bits(f.ratio), bits(r.ratio));
    }
  }
  EXPECT_EQ(twist_search::search(nan, 2e5).m, 0);
  EXPECT_EQ(twist_search::search(10.0, nan).m, 0);
}

}  // namespace
