// rotorforge's command line: nothing (the dialogue runs), --help or --version (printed, and the
// run ends before any file of the working directory is touched, the session lock included).
#pragma once

#include <iosfwd>
#include <optional>
#include <span>
#include <string_view>

namespace driver {

// Reads the arguments after the program's name. Returns nothing when the dialogue is to run (no
// arguments); otherwise the exit status after writing the help or the version to `out` (0) or a
// complaint about an argument it does not know to `err` (2, as the companions' wrong command
// lines).
std::optional<int> command_line(std::span<const std::string_view> args, std::ostream& out,
                                std::ostream& err);

}  // namespace driver
