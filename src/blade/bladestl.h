// Export of the blade in Result/3dgeo.dat as an ASCII STL solid in millimetres.
#pragma once

#include <cstdint>

namespace geometry {

// Reads (nbe + 2) x 100 points from Result/3dgeo.dat and writes Result/blade.stl.
void bladestl(std::int64_t nbe);

}  // namespace geometry
