// The blade of a finished rotorforge session as a blade file.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>

#include "analyse/blade_file.h"

namespace analyse_export {

// The blade of the session in `dir` (its laws at full precision): stations at the hub, every
// element centre and the tip, written so that the file cut into the session's elements gives the
// session's element radii, chords and twists bit for bit; the section is the session's working
// aerofoil (a shipped one, or an imported one by the name it was imported under). `blades` is
// needed when the session does not record the number of blades (a study's design does). Throws
// std::runtime_error with one line.
blade_file::File session_blade(const std::filesystem::path& dir,
                               std::optional<std::int64_t> blades);

// A double m with m / divisor == value exactly, as close to value * divisor as there is one
// (value * divisor itself when it qualifies).
double times_exactly(double value, double divisor);

}  // namespace analyse_export
