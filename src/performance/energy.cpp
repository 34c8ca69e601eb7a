#include "performance/energy.h"

#include <cmath>

#include "textio/textio.h"
#include "util/files.h"

namespace energy {
namespace {

// 288 K times the sea-level density 1.225f kg/m^3 (1.2250000238418579): the density's
// numerator, so that sea level gives exactly 1.225f.
constexpr double kRhoT0 = 352.8000068664551;

// g / (R * lapse rate) of the standard atmosphere: the exponent of the temperature ratio.
constexpr double kDensityExponent = 5.258643911666082;

// ln(10 / 0.025f): the log-profile value at the 10 m measuring height, so that a 10 m hub gives
// the measured mean unchanged.
constexpr double kLog10m = 5.991464532206821;

// Hours of operation in a year, and watts per kilowatt.
constexpr double kHours = 8700.0;
constexpr double kWattsPerKilowatt = 1000.0;

}  // namespace

double air_density(double SeaL) {
  const double T = site_temperature(SeaL);
  return kRhoT0 * std::pow(T / 288.0, kDensityExponent) / T;
}

double hub_wind(double Umid, double h) {
  return std::log(h / kRoughness) / kLog10m * Umid;
}

double rayleigh(double U, double Uh) {
  const double x = U * 0.5 / Uh;
  return std::exp(-(x * x) * kPi) * (U * kPi) * 0.5 / Uh / Uh;
}

void energy_add(EnergySum& sum, int j, double U, double P, double Uh) {
  const double w = P * rayleigh(U, Uh);
  if (j == 0) {
    sum.w_first = w;
  } else if (j == 22) {
    sum.w_last = w;
  } else {
    sum.S = w + sum.S;
  }
}

double average_power(double Ucin, double Ucout, const EnergySum& sum) {
  // Step (Ucout - Ucin) / 22 times the trapezoid sum, halved.
  return (Ucout - Ucin) * (2.0 * sum.S + sum.w_first + sum.w_last) / 22.0 / 2.0;
}

double annual_energy(double Pavg) {
  return Pavg * kHours / kWattsPerKilowatt;
}

void write_energy(textio::OutFile& out, double Pavg, double E) {
  out.write();
  out.write_fmt(files::kEnergyLineFormat, {files::kPowerLabel, Pavg, files::kPowerUnit});
  out.write();
  out.write_fmt(files::kEnergyLineFormat, {files::kEnergyLabel, E, files::kEnergyUnit});
}

}  // namespace energy
