#include "performance/energy.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "performance/energy_detail.h"
#include "sweep_support.h"
#include "textio/textio.h"

namespace {

using sweep_test::same_bits;

TEST(AirDensity, SeaLevelIsTheSinglePrecisionStandardDensity) {
  EXPECT_TRUE(same_bits(energy::site_temperature(0.0), 288.0));
  EXPECT_TRUE(same_bits(energy::air_density(0.0), 1.225000023841858));
  EXPECT_TRUE(same_bits(energy::air_density(0.0), static_cast<double>(1.225f)));
}

TEST(AirDensity, LapseRateIsSinglePrecision) {
  // 1000 m is 6.500000134110451 K colder, not 6.5 K.
  EXPECT_TRUE(same_bits(energy::site_temperature(1000.0), 281.49999986588955));
  EXPECT_NEAR(energy::air_density(1000.0), 1.1115155, 5e-8);
  // Density falls with altitude and rises below sea level.
  EXPECT_LT(energy::air_density(2000.0), energy::air_density(1000.0));
  EXPECT_GT(energy::air_density(-100.0), energy::air_density(0.0));
}

TEST(HubWind, TenMetreHubGivesTheMeasuredMean) {
  for (double Umid : {1.0, 3.7, 5.0, 6.25, 7.1, 11.3, 0.4}) {
    EXPECT_TRUE(same_bits(energy::hub_wind(Umid, 10.0), Umid)) << Umid;
  }
  // Higher hubs see more wind, by the log profile: ln(h/z0)/ln(10/z0).
  const double z0 = static_cast<double>(0.025f);
  EXPECT_TRUE(
      same_bits(energy::hub_wind(6.0, 30.0), std::log(30.0 / z0) / 5.991464532206821 * 6.0));
  EXPECT_GT(energy::hub_wind(6.0, 30.0), 6.0);
  EXPECT_LT(energy::hub_wind(6.0, 5.0), 6.0);
}

TEST(Rayleigh, IsAProbabilityDensityWithTheRightMean) {
  // Midpoint quadrature over 0 ... 12 Uh: the tail beyond holds less than 1e-40 of the mass, the
  // rule's own error is far below the 1e-7 asked for.
  const double Uh = 6.3;
  const int steps = 200000;
  const double du = 12.0 * Uh / steps;
  double mass = 0.0;
  double mean = 0.0;
  for (int i = 0; i < steps; ++i) {
    const double U = (i + 0.5) * du;
    const double f = energy::rayleigh(U, Uh);
    mass += f * du;
    mean += U * f * du;
  }
  // pi here is the single-precision one, so the density is normalised to within its 2.8e-8.
  EXPECT_NEAR(mass, 1.0, 1e-7);
  EXPECT_NEAR(mean, Uh, 1e-6);
  EXPECT_EQ(energy::rayleigh(0.0, Uh), 0.0);
}

TEST(Rayleigh, EvaluationOrder) {
  // exp(-(x*x)*pi) * (U*pi) * 0.5 / Uh / Uh with x = U*0.5/Uh, each step rounded in turn.
  const double pi = 3.1415927410125732;
  for (double U : {0.7, 3.0, 8.45, 17.3, 25.0}) {
    for (double Uh : {4.2, 6.0, 7.777}) {
      const double x = U * 0.5 / Uh;
      const double expected = std::exp(-(x * x) * pi) * (U * pi) * 0.5 / Uh / Uh;
      EXPECT_TRUE(same_bits(energy::rayleigh(U, Uh), expected)) << U << " " << Uh;
    }
  }
}

TEST(AveragePower, TrapezoidRule) {
  // A weighted power of 1 everywhere over 0 ... 22 m/s integrates to 22.
  energy::EnergySum sum;
  for (int j = 0; j < 23; ++j) {
    // P / f(U) so that each weighted power is 1 (to rounding).
    const double U = j + 1.0;
    energy::energy_add(sum, j, U, 1.0 / energy::rayleigh(U, 6.0), 6.0);
  }
  EXPECT_NEAR(sum.w_first, 1.0, 1e-15);
  EXPECT_NEAR(sum.w_last, 1.0, 1e-15);
  EXPECT_NEAR(sum.S, 21.0, 1e-13);
  EXPECT_NEAR(energy::average_power(0.0, 22.0, sum), 22.0, 1e-12);

  // The first and last points carry half the weight of the inner ones.
  energy::EnergySum ends;
  ends.w_first = 4.0;
  ends.w_last = 8.0;
  ends.S = 0.0;
  EXPECT_TRUE(same_bits(energy::average_power(3.0, 25.0, ends), 6.0));
}

TEST(AveragePower, EqualCutInAndCutOutGiveZero) {
  energy::EnergySum sum;
  for (int j = 0; j < 23; ++j) energy::energy_add(sum, j, 7.0, 2500.0, 5.0);
  EXPECT_GT(sum.S, 0.0);
  EXPECT_TRUE(same_bits(energy::average_power(7.0, 7.0, sum), 0.0));
  EXPECT_TRUE(same_bits(energy::annual_energy(0.0), 0.0));
}

TEST(AnnualEnergy, EightThousandSevenHundredHours) {
  EXPECT_TRUE(same_bits(energy::annual_energy(1000.0), 8700.0));
  // Multiplied by 8700 first, then divided by 1000.
  for (double Pavg : {0.1, 123.456, 1234.5, 3.3, 77.7}) {
    EXPECT_TRUE(same_bits(energy::annual_energy(Pavg), Pavg * 8700.0 / 1000.0)) << Pavg;
  }
  // An order that would differ in the last digit: 3019.6 * 8.7 = 26270.519999999997.
  EXPECT_TRUE(same_bits(energy::annual_energy(3019.6), 26270.52));
  EXPECT_NE(energy::annual_energy(3019.6), 3019.6 * 8.7);
}

TEST(EnergyLines, Layouts) {
  struct Case {
    std::string got;
    std::string expected;
  };
  const Case cases[] = {
      {energy::power_line(1234.5), "Average power output for a site P =      1234.50    W"},
      {energy::power_line(0.0), "Average power output for a site P =         0.00    W"},
      {energy::energy_line(8700.0), "      Average energy production E =      8700.00 kW.h"},
      {energy::energy_line(energy::annual_energy(1000.0)),
       "      Average energy production E =      8700.00 kW.h"},
      {energy::energy_line(0.0), "      Average energy production E =         0.00 kW.h"},
      // Too large for f12.2.
      {energy::energy_line(1.0e10), "      Average energy production E = ************ kW.h"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.got, c.expected);
    EXPECT_EQ(c.got.size(), 53u);
  }
}

TEST(EnergyLines, WrittenAfterEmptyRecords) {
  sweep_test::WorkDir dir;
  {
    textio::OutFile out("Result/Energy1.out");
    energy::write_energy(out, 1234.5, energy::annual_energy(1234.5));
    out.close();
  }
  EXPECT_EQ(sweep_test::slurp("Result/Energy1.out"),
            "\r\n"
            "Average power output for a site P =      1234.50    W\r\n"
            "\r\n"
            "      Average energy production E =     10740.15 kW.h\r\n");
}

}  // namespace
