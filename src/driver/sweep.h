// Performance sweeps of the four turbine types and the site's energy yield.
#pragma once

#include <cstdint>
#include <span>

namespace textio {
class OutFile;
}

namespace driver {

// The designed rotor, as the main program holds it (arrays 0-based; chord and twist have
// nbe + 1 entries, the last one the tip; twists include the initial setting angle).
struct Rotor {
  std::int64_t Numb;
  std::int64_t nbe;
  double rhub;
  double rtip;
  double dr;
  std::span<const double> r;
  std::span<const double> twist;
  std::span<const double> chord;
};

// The site and the wind-speed range of one sweep.
struct Site {
  double Ucin;
  double Ucout;
  double Umid;
  double h;
  double SeaL;
};

// Each writes its header, 23 rows and the energy lines into `out` (Result/EnergyN.out).
// Types 1 and 4 also rewrite Temp/graph.tmp, Temp/graph1.tmp and Temp/mpl.tmp.
void sweep_variable_speed(const Rotor& rotor, const Site& site, textio::OutFile& out);
void sweep_two_speed(const Rotor& rotor, const Site& site, double omega1, textio::OutFile& out);
void sweep_constant_speed(const Rotor& rotor, const Site& site, double omega,
                          textio::OutFile& out);
// Returns the setting angle of the last row.
double sweep_pitch(const Rotor& rotor, const Site& site, double omega, double MPL,
                   textio::OutFile& out);

}  // namespace driver
