// The final blade: stations and geometry table, then volume, surface, mass and point file.
#include "blade/blade.h"

namespace blade {

HubStation chortwist(textio::Console& con, const BuildChoices& ask, textio::OutFile& geometry_out,
                     std::int64_t nbe, double rtip, double rhub, std::span<double> r, double& dr,
                     std::span<double> twist, double pitchinitial, std::span<double> chord) {
  const HubStation hub =
      stations(con, geometry_out, nbe, rtip, rhub, r, dr, twist, pitchinitial, chord);
  build(ask, geometry_out, nbe, rtip, rhub, r, dr, twist, chord, hub);
  return hub;
}

}  // namespace blade
