// Blades built by hand for solver tests that want a geometry simple enough for a closed form.
#pragma once

#include <cstdint>

#include "blade/rotor_blade.h"

namespace support {

// `blades` blades of `n` elements of equal width between the hub `rhub` and the tip `rtip` (m),
// every station of relative chord `chord`; station i (the tip is station n) twisted
// `root_twist + i twist_step` degrees. No sections: the caller gives the blade its own.
inline blade::Blade plain_blade(std::int64_t blades, std::int64_t n, double rhub, double rtip,
                                double chord, double root_twist, double twist_step) {
  blade::Blade b;
  b.Numb = blades;
  b.nbe = n;
  b.rhub = rhub;
  b.rtip = rtip;
  const double hub = rhub / rtip;
  b.dr = (1.0 - hub) / static_cast<double>(n);
  for (std::int64_t i = 0; i <= n; ++i) {
    if (i < n) b.r.push_back(hub + (static_cast<double>(i) + 0.5) * b.dr);
    b.chord.push_back(chord);
    b.twist.push_back(root_twist + static_cast<double>(i) * twist_step);
  }
  return b;
}

}  // namespace support
