// The final blade: stations and table, volume, surface and mass, and the 3-D point file; the
// section operations on the outline of unit chord.
#pragma once

#include <cstdint>
#include <span>

#include "blade/laws.h"

namespace blade {

// The whole blade build: stations() and then the blade-type and material dialogue on `con`,
// volume, surface and mass lines into geometry_out, and Result/3dgeo.dat.
void chortwist(textio::Console& con, textio::OutFile& geometry_out, std::int64_t nbe,
               double rtip, double rhub, std::span<double> r, double& dr,
               std::span<double> twist, double pitchinitial, std::span<double> chord);

// Inner outline at offset d (chord units): reads Temp/ProfilI.dat, rewrites Temp/Profil.dat.
void normala(double d);
// Unit perimeter and unit area of the outline in Temp/Profil.dat.
void perimeter(double& P);
void area(double& A);
// Centres Temp/ProfilI.dat on its centroid, turns it for twist theta (degrees) and writes
// Temp/3dgeo.dat.
void geo3d(double theta);

}  // namespace blade
