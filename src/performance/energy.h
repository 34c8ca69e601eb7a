// Site wind and energy yield: the air density at the site's altitude, the mean wind at hub
// height, the Rayleigh weighting of the sweep's powers, and the average power and annual energy
// lines that close every performance table.
#pragma once

#include "util/shared.h"

namespace textio {
class OutFile;
}

namespace energy {

using shared::kPi;

using shared::kRoughness;

// Air temperature (K) at altitude SeaL (m). The lapse rate is a single-precision constant, so
// 1000 m gives 281.49999986588955, not 281.5.
using shared::site_temperature;

// Air density (kg/m^3) at altitude SeaL (m) from the standard-atmosphere polytrope:
// rho = 1.225 * (T/288)^4.2586 = 288 * 1.225f * (T/288)^5.2586 / T.
double air_density(double SeaL);

// Mean wind speed at hub height h (m) from the mean Umid measured at 10 m, by the logarithmic
// profile over ground of roughness length 0.025f m. A hub at 10 m gives Umid to the last digit.
double hub_wind(double Umid, double h);

// Rayleigh probability density of wind speed U for the mean Uh:
// pi*U / (2*Uh^2) * exp(-pi*U^2 / (4*Uh^2)).
double rayleigh(double U, double Uh);

// Rayleigh-weighted powers of one sweep, accumulated in sweep order for the trapezoidal rule:
// the first and last points apart, the inner ones in one running sum.
struct EnergySum {
  double w_first = 0.0;
  double w_last = 0.0;
  double S = 0.0;
};

// Adds the point of index j (0 = cut-in, 22 = cut-out) with wind speed U and power P.
void energy_add(EnergySum& sum, int j, double U, double P, double Uh);

// Average power (W) over the wind-speed range by the trapezoidal rule over the 23 points.
double average_power(double Ucin, double Ucout, const EnergySum& sum);

// Energy of a year (kW.h) at average power Pavg (W): 8700 hours of operation.
double annual_energy(double Pavg);

// Writes, after a sweep's rows: an empty record, the power line, an empty record, the energy line.
void write_energy(textio::OutFile& out, double Pavg, double E);

}  // namespace energy
