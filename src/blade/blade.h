// The final blade: stations and table, volume, surface and mass, and the 3-D points of its
// surface.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "blade/rotor_blade.h"
#include "blade/section.h"

namespace textio {
class Console;
class OutFile;
}  // namespace textio

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

// What the build found and made.
struct BladeFigures {
  double volume = 0.0;   // m^3, solid or hollow as chosen
  double surface = 0.0;  // m^2, lateral surface and both end faces
  // The surface points written to Result/3dgeo.dat, station by station, hub first.
  std::vector<Point3> points;
};

// Writes an empty record to the console and the geometry table of the blade's stations into
// geometry_out.
void write_geometry_table(textio::Console& con, textio::OutFile& geometry_out, const Blade& b);

// The whole blade build: write_geometry_table and then build.
BladeFigures chortwist(textio::Console& con, const BuildChoices& ask, textio::OutFile& geometry_out,
                       const Blade& b, const std::optional<std::string>& written_outline = {});

// The build of the blade's stations on the aerofoil of the working files: measures the outline of
// Temp/Profil.dat (perimeter and area), asks `ask` for the blade type (and the wall thickness),
// makes the inner outline of every station from Temp/ProfilI.dat and leaves the tip's in
// Temp/Profil.dat, writes Result/3dgeo.dat, the volume and surface lines into geometry_out, asks
// the material and writes the mass line. `written_outline` is the text this run wrote into both
// outline files, used in their place; none reads the files as an earlier run left them.
BladeFigures build(const BuildChoices& ask, textio::OutFile& geometry_out, const Blade& b,
                   const std::optional<std::string>& written_outline = {});

// The blade's surface: for every station, hub to tip, the outline `own` centred and turned for
// the station's twist, scaled by its chord and placed at its radius.
std::vector<Point3> surface_points(const Blade& b, const Outline& own);

// Writes the points to Result/3dgeo.dat, one point a record.
void write_point_file(std::span<const Point3> points);

}  // namespace blade
