// The final blade: stations and table, volume, surface and mass, and the 3-D point file; the
// section operations on the outline of unit chord.
#pragma once

#include <cstdint>
#include <span>

#include "blade/laws.h"

namespace blade {

// The whole blade build: stations() and then the blade-type and material dialogue on `con`,
// volume, surface and mass lines into geometry_out, and Result/3dgeo.dat.
void chortwist(textio::Console& con, textio::OutFile& geometry_out, std::int64_t nbe, double rtip,
               double rhub, std::span<double> r, double& dr, std::span<double> twist,
               double pitchinitial, std::span<double> chord);

// Second phase of chortwist over the stations of the first: r holds nbe element centres, twist
// and chord nbe + 1 entries (the tip last), hub the hub station. Asks the blade type (and the
// wall thickness) and the material on `con`, writes the volume, surface and mass lines into
// geometry_out and the point file Result/3dgeo.dat. Returns the volume and surface written.
struct BladeFigures {
  double volume = 0.0;   // m^3, solid or hollow as chosen
  double surface = 0.0;  // m^2, lateral surface and both end faces
};
BladeFigures build(textio::Console& con, textio::OutFile& geometry_out, std::int64_t nbe,
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
