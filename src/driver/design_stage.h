// The dialogue of the design stage: the aerofoil menu and its answer, the working copies of the
// chosen aerofoil and the progress bar while calc_param designs the stations; the optimiser's
// progress lines.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "rotor/optgeo.h"
#include "util/shared.h"

namespace textio {
class Console;
}

namespace driver {

// Shows the aerofoil menu on `con`, reads the choice, copies and loads the aerofoil's data,
// designs the starting blade (calc_param::design) with a progress bar and gives its chord law
// a and twist law b. Returns the text of the outline it wrote into the working outline files, or
// none when the choice was the aerofoil of an earlier run (whose files are then read as found).
std::optional<std::string> starting_design(textio::Console& con, std::int64_t Numb, double rhub,
                                           double rtip, shared::Coeffs& a, shared::Coeffs& b);

// Bytes of the progress display after station i (1 ... 46): the bar of i blocks and 46 - i
// blanks, backspaces to the end of the blocks, the percentage as I3 and "%", and backspaces to
// the start of the bar. The block is byte 219 (a full block in code page 437), or the UTF-8 full
// block U+2588 when `utf8_block` is set (a terminal of today).
std::string progress_bytes(int i, bool utf8_block);

// The optimiser's progress as console lines on `con`, each shown as it comes (the searches take
// long): the design wind speed and its energy density, then each search's best objective.
geometry::Progress optimiser_progress(textio::Console& con);

}  // namespace driver
