#include "aerofoil/aerofoil.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>
#include <vector>

#include "aerofoil/aerofoil_support.h"
#include "aerofoil/global.h"

namespace {

using aerofoil_test::same_bits;

// The lookup written out plainly with 1-based indexes, exactly as the rule reads: the reference
// the inline kernels must match to the last bit. Not meant for NaN input (its row search would
// run off the column).
void ref_interp(int i, double alpha, double& cl, double& cd) {
  const int n = global::num_alpha[i - 1];
  auto A = [&](int j) { return static_cast<double>(global::alpha_array[i - 1][j - 1]); };
  auto CL = [&](int j) { return global::cl_array[i - 1][j - 1]; };
  auto CD = [&](int j) { return global::cd_array[i - 1][j - 1]; };
  if (alpha < A(1)) {
    cl = CL(1);
    cd = CD(1);
  } else if (alpha >= A(n)) {
    cl = CL(n);
    cd = CD(n);
  } else {
    int k = 2;
    while (!(alpha < A(k))) ++k;
    const double t = (alpha - A(k - 1)) / (A(k) - A(k - 1));
    cl = CL(k) * t + (1 - t) * CL(k - 1);
    cd = CD(k) * t + (1 - t) * CD(k - 1);
  }
}

void ref_landd(double alpha, double re, double& cl, double& cd) {
  double r = re;
  if (r < global::re_array[0]) {
    r = global::re_array[0];
  } else if (r > global::re_array[6]) {
    r = global::re_array[6];
  }
  const double l = std::log10(r);
  auto LOG = [](int k) { return static_cast<double>(global::re_log[k - 1]); };
  int k = 2;
  for (int m = 0; m < 6 && LOG(k) < l; ++m) ++k;
  const double t = (l - LOG(k - 1)) / (LOG(k) - LOG(k - 1));
  double cl_k, cd_k, cl_km1, cd_km1;
  ref_interp(k, alpha, cl_k, cd_k);
  ref_interp(k - 1, alpha, cl_km1, cd_km1);
  cl = (1 - t) * cl_km1 + cl_k * t;
  cd = (1 - t) * cd_km1 + cd_k * t;
}

class Lookup : public ::testing::Test {
 protected:
  void SetUp() override { aerofoil_test::load_synthetic_polar(); }

  // Every lift coefficient 0 except column `col` (0-based), which is 1 in every row; every drag
  // coefficient 1 except column `col`, which is 0. landd then returns cl = t and cd = 1 - t.
  static void load_indicator(int col) {
    for (int c = 0; c < global::kColumns; ++c) {
      for (int j = 0; j < global::kRows; ++j) {
        global::cl_array[c][j] = c == col ? 1.0 : 0.0;
        global::cd_array[c][j] = c == col ? 0.0 : 1.0;
      }
    }
  }
};

TEST(ReLog, LoaderRoundsTheDoubleLogarithmToFloat) {
  aerofoil_test::load_re_log();
  const double expected[7] = {0x1.27e35p+2,  0x1.3ad22cp+2, 0x1.4d104ep+2, 0x1.612f56p+2,
                              0x1.739874p+2, 0x1.85114ep+2, 0x1.985562p+2};
  for (int i = 0; i < 7; ++i) {
    EXPECT_TRUE(same_bits(global::re_log[i], expected[i])) << "column " << i;
  }
  EXPECT_EQ(static_cast<double>(global::re_log[0]), 4.623249053955078);
  EXPECT_EQ(static_cast<double>(global::re_log[6]), 6.380211353302002);
  // The float sits above the double logarithm of the top Reynolds number, which keeps the column
  // search inside the table.
  EXPECT_GT(static_cast<double>(global::re_log[6]), std::log10(2400000.0));
}

struct BlendCase {
  double re;
  int k;  // 0-based upper column
  double t;
};

TEST_F(Lookup, ColumnPairAndWeightPerReynoldsNumber) {
  const BlendCase cases[] = {
      {60000.0, 1, 0.5236210481732041},
      {1000000.0, 5, 0.7099602637439413},
      {160000.0, 2, 0.9999993808173256},    // its own column is not reached exactly
      {42000.0, 1, 0x1.ad18d84eedf13p-21},  // 7.99e-7: the bottom column blended with the next
      {83000.0, 2, 0x1.9cc1c28241b5ep-21},  // 7.69e-7
      {1000.0, 1, 0x1.ad18d84eedf13p-21},   // held at 42000
      {0.0, 1, 0x1.ad18d84eedf13p-21},
      {-5.0, 1, 0x1.ad18d84eedf13p-21},
      {2400000.0, 6, 0x1.fffff38fc0ec2p-1},
      {5.0e6, 6, 0x1.fffff38fc0ec2p-1},  // held at 2400000
      {std::numeric_limits<double>::infinity(), 6, 0x1.fffff38fc0ec2p-1},
      {-std::numeric_limits<double>::infinity(), 1, 0x1.ad18d84eedf13p-21},
  };
  for (const auto& c : cases) {
    const aerofoil::ReBlend b = aerofoil::re_blend(c.re);
    EXPECT_EQ(b.k, c.k) << "re = " << c.re;
    EXPECT_TRUE(same_bits(b.t, c.t)) << "re = " << c.re;

    // landd itself shows the same weight on a table where it can only be t.
    load_indicator(c.k);
    double cl = -1, cd = -1;
    aerofoil::landd(3.0, c.re, cl, cd);
    EXPECT_TRUE(same_bits(cl, c.t)) << "re = " << c.re;
    EXPECT_TRUE(same_bits(cd, 1.0 - c.t)) << "re = " << c.re;
  }
}

TEST_F(Lookup, ReynoldsNumberHeldAtBothEnds) {
  const double alphas[] = {-20.0, -10.0, 0.1, 4.3, 12.0, 34.9, 35.0, 60.0};
  for (double a : alphas) {
    double cl1, cd1, cl2, cd2;
    aerofoil::landd(a, 1000.0, cl1, cd1);
    aerofoil::landd(a, 42000.0, cl2, cd2);
    EXPECT_TRUE(same_bits(cl1, cl2)) << a;
    EXPECT_TRUE(same_bits(cd1, cd2)) << a;
    aerofoil::landd(a, 2400000.0, cl1, cd1);
    aerofoil::landd(a, 5.0e6, cl2, cd2);
    EXPECT_TRUE(same_bits(cl1, cl2)) << a;
    EXPECT_TRUE(same_bits(cd1, cd2)) << a;
  }
}

TEST_F(Lookup, TableAnglesGiveTheirRowExactly) {
  for (int c = 0; c < global::kColumns; ++c) {
    for (int j = 0; j < global::kRows; ++j) {
      double cl, cd;
      aerofoil::interp(c + 1, static_cast<double>(global::alpha_array[c][j]), cl, cd);
      EXPECT_TRUE(same_bits(cl, global::cl_array[c][j])) << "column " << c << " row " << j;
      EXPECT_TRUE(same_bits(cd, global::cd_array[c][j])) << "column " << c << " row " << j;
    }
  }
}

TEST_F(Lookup, AnglesOutsideTheColumnHoldTheEdgeRow) {
  const double inf = std::numeric_limits<double>::infinity();
  const int last = global::kRows - 1;
  for (int c = 0; c < global::kColumns; ++c) {
    const double first_angle = global::alpha_array[c][0];
    const double below[] = {-inf, -90.0, std::nextafter(first_angle, -inf)};
    for (double a : below) {
      double cl, cd;
      aerofoil::interp(c + 1, a, cl, cd);
      EXPECT_TRUE(same_bits(cl, global::cl_array[c][0])) << "column " << c << " alpha " << a;
      EXPECT_TRUE(same_bits(cd, global::cd_array[c][0])) << "column " << c << " alpha " << a;
    }
    const double above[] = {inf, 90.0, static_cast<double>(global::alpha_array[c][last])};
    for (double a : above) {
      double cl, cd;
      aerofoil::interp(c + 1, a, cl, cd);
      EXPECT_TRUE(same_bits(cl, global::cl_array[c][last])) << "column " << c << " alpha " << a;
      EXPECT_TRUE(same_bits(cd, global::cd_array[c][last])) << "column " << c << " alpha " << a;
    }
  }
  // Below (above) both columns: the blend of the two first (last) rows.
  const aerofoil::ReBlend b = aerofoil::re_blend(1000000.0);
  double cl, cd;
  aerofoil::landd(-50.0, 1000000.0, cl, cd);
  EXPECT_TRUE(same_bits(cl, (1 - b.t) * global::cl_array[4][0] + global::cl_array[5][0] * b.t));
  EXPECT_TRUE(same_bits(cd, (1 - b.t) * global::cd_array[4][0] + global::cd_array[5][0] * b.t));
  aerofoil::landd(50.0, 1000000.0, cl, cd);
  EXPECT_TRUE(
      same_bits(cl, (1 - b.t) * global::cl_array[4][last] + global::cl_array[5][last] * b.t));
  EXPECT_TRUE(
      same_bits(cd, (1 - b.t) * global::cd_array[4][last] + global::cd_array[5][last] * b.t));
}

TEST_F(Lookup, RowWeightUsesTheFloatAngles) {
  // Rows at 0 and 0.1 degrees: the stored 0.1f is 0.10000000149011612, so alpha = 0.05 sits a
  // hair below the middle of the interval, and alpha = 0.1 (double) is still below the row.
  for (int j = 0; j < global::kRows; ++j)
    global::alpha_array[0][j] = -20.0f + static_cast<float>(j);
  global::alpha_array[0][20] = 0.0f;
  global::alpha_array[0][21] = 0.1f;
  for (int j = 0; j < global::kRows; ++j) {
    global::cl_array[0][j] = j == 21 ? 1.0 : 0.0;
    global::cd_array[0][j] = j == 21 ? 0.0 : 1.0;
  }
  EXPECT_EQ(static_cast<double>(global::alpha_array[0][21]), 0.10000000149011612);
  double cl, cd;
  aerofoil::interp(1, 0.05, cl, cd);
  EXPECT_TRUE(same_bits(cl, 0.05 / 0.10000000149011612));
  EXPECT_TRUE(same_bits(cd, 1.0 - 0.05 / 0.10000000149011612));
  aerofoil::interp(1, 0.1, cl, cd);
  EXPECT_TRUE(same_bits(cl, 0.1 / 0.10000000149011612));
  EXPECT_LT(cl, 1.0);
  aerofoil::interp(1, 0.10000000149011612, cl, cd);
  EXPECT_TRUE(same_bits(cl, 1.0));
  EXPECT_TRUE(same_bits(cd, 0.0));
}

TEST_F(Lookup, EqualNeighbouringAnglesTakeTheLaterRow) {
  global::alpha_array[3][12] = global::alpha_array[3][11];
  double cl, cd;
  aerofoil::interp(4, static_cast<double>(global::alpha_array[3][11]), cl, cd);
  EXPECT_TRUE(same_bits(cl, global::cl_array[3][12]));
  EXPECT_TRUE(same_bits(cd, global::cd_array[3][12]));
  aerofoil::interp(4, static_cast<double>(global::alpha_array[3][11]) - 0.5, cl, cd);
  EXPECT_TRUE(std::isfinite(cl) && std::isfinite(cd));
}

TEST_F(Lookup, NotANumberStaysInsideTheTables) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const aerofoil::ReBlend b = aerofoil::re_blend(nan);
  EXPECT_GE(b.k, 1);
  EXPECT_LE(b.k, 6);
  EXPECT_TRUE(std::isnan(b.t));

  struct Case {
    double alpha, re;
  };
  const Case cases[] = {{nan, 100000.0}, {5.0, nan}, {nan, nan}, {nan, 1.0e7}, {nan, 10.0}};
  for (const auto& c : cases) {
    double cl = 0, cd = 0;
    aerofoil::landd(c.alpha, c.re, cl, cd);
    EXPECT_TRUE(std::isnan(cl)) << c.alpha << " " << c.re;
    EXPECT_TRUE(std::isnan(cd)) << c.alpha << " " << c.re;
  }
  for (int i = 1; i <= 7; ++i) {
    double cl = 0, cd = 0;
    aerofoil::interp(i, nan, cl, cd);
    EXPECT_TRUE(std::isnan(cl) && std::isnan(cd)) << "column " << i;
  }
  for (int start : {-5, 0, 1, 20, 45, 46, 1000}) {
    int row = start;
    double cl = 0, cd = 0;
    aerofoil::landd_blend_from(aerofoil::re_blend(300000.0), nan, row, cl, cd);
    EXPECT_TRUE(std::isnan(cl) && std::isnan(cd));
    EXPECT_GE(row, 1);
    EXPECT_LE(row, global::kRows - 1);
  }
}

TEST_F(Lookup, ColumnSearchBoundedWithoutLogarithms) {
  // Tables never loaded: every re_log is zero, so every "below" test succeeds. The search must
  // still end on the top column rather than read past it.
  for (float& v : global::re_log) v = 0.0f;
  EXPECT_EQ(aerofoil::re_blend(1.0e5).k, 6);
  EXPECT_EQ(aerofoil::re_blend(1.0e9).k, 6);
}

TEST_F(Lookup, MatchesThePlainRuleOnRandomInputs) {
  std::mt19937_64 gen(20240611);
  std::uniform_real_distribution<double> alpha_dist(-15.0, 40.0);
  std::uniform_real_distribution<double> log_re_dist(3.0, 7.0);
  std::uniform_int_distribution<int> pick(0, 3);
  std::uniform_int_distribution<int> col_dist(0, 6);
  std::uniform_int_distribution<int> row_dist(0, 45);
  ASSERT_TRUE(aerofoil::angles_nondecreasing());
  int row = 1;
  for (int n = 0; n < 200000; ++n) {
    double alpha = alpha_dist(gen);
    double re = std::pow(10.0, log_re_dist(gen));
    switch (pick(gen)) {
      case 0:  // a table angle, or its double neighbours: where single and double tests part
        alpha = global::alpha_array[col_dist(gen)][row_dist(gen)];
        if (pick(gen) == 1) alpha = std::nextafter(alpha, 100.0);
        if (pick(gen) == 2) alpha = std::nextafter(alpha, -100.0);
        break;
      case 1:  // an angle that is itself a float
        alpha = static_cast<float>(alpha);
        break;
      default:
        break;
    }
    if (pick(gen) == 0) re = global::re_array[col_dist(gen)];
    double cl, cd, rcl, rcd, bcl, bcd, hcl, hcd;
    aerofoil::landd(alpha, re, cl, cd);
    ref_landd(alpha, re, rcl, rcd);
    const aerofoil::ReBlend b = aerofoil::re_blend(re);
    aerofoil::landd_blend(b, alpha, bcl, bcd);
    if (pick(gen) == 0) row = row_dist(gen);
    aerofoil::landd_blend_from(b, alpha, row, hcl, hcd);
    ASSERT_TRUE(same_bits(cl, rcl)) << "alpha " << alpha << " re " << re;
    ASSERT_TRUE(same_bits(cd, rcd)) << "alpha " << alpha << " re " << re;
    ASSERT_TRUE(same_bits(bcl, cl) && same_bits(bcd, cd)) << "alpha " << alpha << " re " << re;
    ASSERT_TRUE(same_bits(hcl, cl) && same_bits(hcd, cd)) << "alpha " << alpha << " re " << re;
  }
}

TEST(RowSearch, MatchesTheScalarScanForAnyAnglesAndTables) {
  // The first row above alpha, found four floats at a time, against the plain scan in double.
  const float inf = std::numeric_limits<float>::infinity();
  const float fmax = std::numeric_limits<float>::max();
  const float tiny = std::numeric_limits<float>::denorm_min();
  std::vector<std::vector<float>> tables;
  std::vector<float> t;
  for (int j = 0; j < 46; ++j) t.push_back(-10.0f + 0.7f * static_cast<float>(j));
  tables.push_back(t);
  t.clear();
  for (int j = 0; j < 46; ++j) t.push_back(static_cast<float>(j - 23) * tiny);  // subnormal steps
  tables.push_back(t);
  t.assign(46, 0.0f);
  t[0] = -inf;
  t[10] = -0.0f;
  t[11] = 0.0f;
  t[20] = fmax;
  t[45] = inf;
  tables.push_back(t);
  std::mt19937_64 gen(99);
  std::uniform_real_distribution<float> any(-40.0f, 40.0f);
  for (int n = 0; n < 20; ++n) {
    t.clear();
    for (int j = 0; j < 46; ++j) t.push_back(any(gen));
    tables.push_back(t);
  }
  std::vector<double> alphas = {0.0,
                                -0.0,
                                1e-300,
                                -1e-300,
                                1e300,
                                -1e300,
                                3.5e38,
                                -3.5e38,
                                fmax,
                                -fmax,
                                tiny,
                                -tiny,
                                0.1,
                                -0.1,
                                inf,
                                -inf,
                                std::numeric_limits<double>::quiet_NaN()};
  for (const auto& table : tables) {
    for (float a : table) {
      alphas.push_back(a);
      alphas.push_back(std::nextafter(static_cast<double>(a), 1e308));
      alphas.push_back(std::nextafter(static_cast<double>(a), -1e308));
    }
  }
  for (const auto& table : tables) {
    for (double alpha : alphas) {
      int expected = 1;
      while (expected < 45 && !(alpha < static_cast<double>(table[expected]))) ++expected;
      EXPECT_EQ(aerofoil::first_row_above(table.data(), 46, alpha), expected)
          << "alpha " << aerofoil_test::describe(alpha);
    }
  }
}

TEST_F(Lookup, UnsortedColumnFollowsTheFirstRowAboveTheAngle) {
  // Angles that do not increase are taken as they are: the interval is closed by the first row
  // (from the second) whose angle lies above alpha.
  std::mt19937_64 gen(7);
  std::uniform_real_distribution<double> angle_dist(-10.0, 35.0);
  for (int c = 0; c < global::kColumns; ++c) {
    for (int j = 1; j < global::kRows - 1; ++j) {
      global::alpha_array[c][j] = static_cast<float>(angle_dist(gen));
    }
  }
  EXPECT_FALSE(aerofoil::angles_nondecreasing());
  for (int n = 0; n < 50000; ++n) {
    const double alpha = angle_dist(gen);
    const double re = std::pow(10.0, 4.0 + 3.0 * (n % 97) / 96.0);
    double cl, cd, rcl, rcd;
    aerofoil::landd(alpha, re, cl, cd);
    ref_landd(alpha, re, rcl, rcd);
    ASSERT_TRUE(same_bits(cl, rcl) && same_bits(cd, rcd)) << "alpha " << alpha << " re " << re;
  }
}

TEST_F(Lookup, MonotonicityCheck) {
  EXPECT_TRUE(aerofoil::angles_nondecreasing());
  global::alpha_array[2][30] = global::alpha_array[2][29];  // equal neighbours are allowed
  EXPECT_TRUE(aerofoil::angles_nondecreasing());
  global::alpha_array[6][45] = global::alpha_array[6][44] - 1.0f;
  EXPECT_FALSE(aerofoil::angles_nondecreasing());
  aerofoil_test::load_synthetic_polar();
  global::alpha_array[0][3] = std::numeric_limits<float>::quiet_NaN();
  EXPECT_FALSE(aerofoil::angles_nondecreasing());
}

}  // namespace
