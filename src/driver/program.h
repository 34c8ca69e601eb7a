// The main program: start-up dialogue, design stage and the main menu loop.
#pragma once

#include <iosfwd>

namespace driver {

// Runs one whole session with answers from `in` and the console on `out`; error messages go
// to `err`. Returns the exit status: 0 when the user stops, non-zero when the run ends on an
// unreadable answer or a failed file operation.
int run_program(std::istream& in, std::ostream& out, std::ostream& err);

}  // namespace driver
