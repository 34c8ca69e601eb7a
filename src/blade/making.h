// What one sends to be made besides the STL: the blade's section curves in millimetres, one
// closed curve per station, ready for lofting in CAD, and its plan form (radius, chord, twist
// and the edges of every station). Both come from the surface points the STL is made of, so the
// three always show one blade.
//
// sections.csv: header "station,x_mm,y_mm,z_mm", then per station (1 the hub, nbe + 2 the tip)
// its curve: the leading edge (the outline's first point), along the lower side to the trailing
// edge, back along the upper side, and the leading edge again, so the curve ends where it
// starts. A point the two sides share (the edges of the shipped outlines) is written once. x and
// y lie in the plane of the section as the point file turns it, z is the station's radius.
//
// planform.csv: header "station,radius_mm,chord_mm,twist_deg,le_x_mm,le_y_mm,te_x_mm,te_y_mm",
// one row per station: its radius, chord and twist (setting angle included) from the blade's
// laws at full precision, and where its leading and trailing edge (the outline's first and last
// point of the lower side) stand in the section's plane.
//
// Numbers with four decimals (0.1 micrometre; twists 0.0001 degree).
#pragma once

#include <cstddef>
#include <span>
#include <string>
#include <vector>

#include "blade/rotor_blade.h"
#include "blade/section.h"

namespace blade {

// One point of a section curve, millimetres; station 1 is the hub.
struct CurvePoint {
  std::size_t station = 0;
  double x = 0.0;
  double y = 0.0;
  double z = 0.0;
};

// The closed curve of every station of `points` (a whole number of stations of 100 points,
// metres), in millimetres.
std::vector<CurvePoint> section_curves(std::span<const Point3> points);

struct PlanformRow {
  std::size_t station = 0;
  double radius = 0.0;                                    // mm
  double chord = 0.0;                                     // mm
  double twist = 0.0;                                     // degrees, setting angle included
  double le_x = 0.0, le_y = 0.0, te_x = 0.0, te_y = 0.0;  // mm
};

// The plan form of the blade whose stations stand in `points`: the stations' chords (relative)
// and twists, R the tip radius in metres. The radius is the points'.
std::vector<PlanformRow> planform(std::span<const Point3> points, double R,
                                  std::span<const Station> stations);

// The two files' text, lines ending in "\n".
std::string sections_csv(std::span<const CurvePoint> curves);
std::string planform_csv(std::span<const PlanformRow> rows);

// Writes Result/sections.csv and Result/planform.csv for blade b of surface points `points`.
// Throws textio::RunError naming the file when one cannot be written.
void write_making_files(std::span<const Point3> points, const Blade& b);

}  // namespace blade
