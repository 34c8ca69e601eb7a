// Export of the blade's surface as an ASCII STL solid in millimetres.
#pragma once

#include <span>

#include "blade/section.h"

namespace geometry {

// Writes Result/blade.stl from the blade's surface points (metres, as Result/3dgeo.dat holds
// them: a whole number of stations of 100 points, at least two, hub first). Throws
// textio::RunError for any other number of points.
void bladestl(std::span<const blade::Point3> points);

}  // namespace geometry
