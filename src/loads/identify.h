// Which blade a finished session built: solid or hollow, the wall, and the material, told from
// the volume and mass lines of the geometry table. Every menu material has its own density, so
// mass / volume names it; a hollow blade's volume is below the solid one's and grows with the
// wall, so the volume names the wall.
#pragma once

#include <optional>
#include <string>

#include "loads/session.h"

namespace loads {

// The volume of one blade (m^3) as the session's build computes it: prismatoid pieces between
// the hub, the element centres and the tip, each section's inner outline at `wall_mm` for a
// hollow blade (0: solid).
double blade_volume(const Design& d, double wall_mm);

// What the geometry table tells of the blade. An absent value comes with the reason the table
// cannot tell it.
struct SessionBlade {
  std::optional<double> wall;   // mm, 0 for a solid blade
  std::optional<int> material;  // 0 ... 4, the material menu's answer less 1
  bool wall_rounded = true;     // false: the wall reproduces the table only unrounded
  std::string no_wall, no_material;
};
SessionBlade identify(const Design& d);

}  // namespace loads
