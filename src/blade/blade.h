// The final blade: stations and table, volume, surface and mass, and the 3-D point file; the
// section operations on the outline of unit chord.
#pragma once

#include <cstdint>
#include <functional>
#include <span>

#include "blade/laws.h"

namespace blade {

// The choices the build needs, asked when it reaches them (the driver asks them on the console):
// once the outer volume is known, the blade type (1 solid, 2 hollow) and, for a hollow blade, its
// wall thickness in mm (0 or more); once the volume and surface lines are written, the material
// (a number; one the catalogue does not list gives no mass line).
struct BuildChoices {
  std::function<std::int64_t()> blade_type;
  std::function<double()> wall_thickness;
  std::function<std::int64_t()> material;
};

// The whole blade build: stations() and then, with the choices of `ask`, volume, surface and
// mass lines into geometry_out, and Result/3dgeo.dat. Returns the hub station, which the arrays
// do not hold.
HubStation chortwist(textio::Console& con, const BuildChoices& ask, textio::OutFile& geometry_out,
                     std::int64_t nbe, double rtip, double rhub, std::span<double> r, double& dr,
                     std::span<double> twist, double pitchinitial, std::span<double> chord);

// Second phase of chortwist over the stations of the first: r holds nbe element centres, twist
// and chord nbe + 1 entries (the tip last), hub the hub station. Asks `ask` for the blade type
// (and the wall thickness) and the material, writes the volume, surface and mass lines into
// geometry_out and the point file Result/3dgeo.dat. Returns the volume and surface written.
struct BladeFigures {
  double volume = 0.0;   // m^3, solid or hollow as chosen
  double surface = 0.0;  // m^2, lateral surface and both end faces
};
BladeFigures build(const BuildChoices& ask, textio::OutFile& geometry_out, std::int64_t nbe,
                   double rtip, double rhub, std::span<const double> r, double dr,
                   std::span<const double> twist, std::span<const double> chord, HubStation hub);

// Writes Result/3dgeo.dat: for every station, hub to tip, the outline turned by geo3d, scaled by
// the station's chord and placed at its radius.
void write_point_file(std::int64_t nbe, double rtip, double rhub, std::span<const double> r,
                      std::span<const double> twist, std::span<const double> chord, HubStation hub);

// Inner outline at offset d (chord units): reads Temp/ProfilI.dat, rewrites Temp/Profil.dat.
void normala(double d);
// Unit perimeter and unit area of the outline in Temp/Profil.dat.
void perimeter(double& P);
void area(double& A);
// Centres Temp/ProfilI.dat on its centroid, turns it for twist theta (degrees) and writes
// Temp/3dgeo.dat.
void geo3d(double theta);

}  // namespace blade
