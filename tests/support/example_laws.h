// The final chord and twist laws of the README's example session (3 blades, tip radius 1.5 m,
// SG6043), for benchmarks and tests that need its blade without running the optimiser.
#pragma once

#include "util/shared.h"

namespace support {

inline const shared::Coeffs kExampleChord = {0.13891050752574133, 0.3777894885896097,
                                             0.4728620899295335, 0.2638324991348155,
                                             0.04773028888212838};
inline const shared::Coeffs kExampleTwist = {39.88992870152761, 178.03644801416868, 342.83533125359,
                                             314.34283848015724, 109.56024201854832};

}  // namespace support
