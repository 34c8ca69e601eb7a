#include "rotor/blade1.h"

#include <gtest/gtest.h>

#include <vector>

#include "blade/laws.h"
#include "rotor/design_support.h"
#include "textio/textio.h"

namespace {

using blade::Coeffs;
using design_test::same_bits;

TEST(Blade1Laws, ReadTheTrialFilesOnEveryCall) {
  design_test::WorkDir dir;
  design_test::write_coeffs("Temp/Parameters1.in", {0.1, 0, 0, 0, 0});
  design_test::write_coeffs("Temp/Parameterst1.in", {0, 0, -1, 0, 0});
  // The final blade's files must not be the ones read.
  design_test::write_coeffs("Temp/Parameters.in", {9, 9, 9, 9, 9});
  design_test::write_coeffs("Temp/Parameterst.in", {9, 9, 9, 9, 9});
  EXPECT_TRUE(same_bits(blade1::chd(0.3), 0.1));
  EXPECT_TRUE(same_bits(blade1::t1(0.3), -(0.3 * 0.3)));
  EXPECT_TRUE(same_bits(blade1::t1(1.0), blade::twist_law({0, 0, -1, 0, 0}, 1.0)));
  design_test::write_coeffs("Temp/Parameters1.in", {0.3, 0.1, 0, 0, 0});
  EXPECT_TRUE(same_bits(blade1::chd(0.5), 0.3 - 0.5 * 0.1));
  std::filesystem::remove("Temp/Parameters1.in");
  EXPECT_THROW(blade1::chd(0.5), textio::RunError);
}

struct TrialBlade {
  std::vector<double> r, twist, chord;
  double dr = -1.0;
  explicit TrialBlade(std::size_t nbe) : r(nbe, -1.0), twist(nbe + 1, -1.0), chord(nbe + 1, -1.0) {}
};

// The blade read from the trial files and the blade built from the same coefficients in memory
// agree bit for bit, for coefficients that need all 17 digits; the twist has no setting angle.
TEST(Chortwist1, FromFilesEqualsFromMemory) {
  design_test::WorkDir dir;
  const Coeffs a{0.123456789012345678, -0.31415926535897931, 0.27182818284590452, -1.0 / 3.0,
                 2.0 / 7.0};
  const Coeffs b{23.456789012345678, 71.0 / 3.0, -13.0 / 7.0, 0.1, -1e-3 / 3.0};
  textio::OutFile fa("Temp/Parameters1.in");
  fa.write({a[0], a[1], a[2], a[3], a[4]});
  fa.close();
  textio::OutFile fb("Temp/Parameterst1.in");
  fb.write({b[0], b[1], b[2], b[3], b[4]});
  fb.close();

  for (std::int64_t nbe : {1, 3, 17}) {
    for (double rhub : {0.0, 0.15}) {
      const std::size_t n = static_cast<std::size_t>(nbe);
      TrialBlade files(n), memory(n);
      blade1::chortwist1(nbe, 1.5, rhub, files.r, files.dr, files.twist, files.chord);
      blade1::chortwist1(nbe, 1.5, rhub, a, b, memory.r, memory.dr, memory.twist, memory.chord);
      EXPECT_TRUE(same_bits(files.dr, memory.dr));
      for (std::size_t i = 0; i < n; ++i) EXPECT_TRUE(same_bits(files.r[i], memory.r[i]));
      for (std::size_t i = 0; i <= n; ++i) {
        EXPECT_TRUE(same_bits(files.chord[i], memory.chord[i])) << "station " << i;
        EXPECT_TRUE(same_bits(files.twist[i], memory.twist[i])) << "station " << i;
      }
      // Element centres accumulated from the hub; the tip last.
      const double x_hub = rhub / 1.5;
      const double dr = (1.0 - x_hub) / static_cast<double>(nbe);
      EXPECT_TRUE(same_bits(memory.dr, dr));
      double r = x_hub + dr / 2.0;
      for (std::size_t i = 0; i < n; ++i) {
        if (i > 0) r += dr;
        EXPECT_TRUE(same_bits(memory.r[i], r));
        EXPECT_TRUE(same_bits(memory.chord[i], blade::chord_law(a, r)));
        EXPECT_TRUE(same_bits(memory.twist[i], blade::twist_law(b, r)));
      }
      EXPECT_TRUE(same_bits(memory.chord[n], blade::chord_law(a, 1.0)));
      EXPECT_TRUE(same_bits(memory.twist[n], blade::twist_law(b, 1.0)));
    }
  }
}

}  // namespace
