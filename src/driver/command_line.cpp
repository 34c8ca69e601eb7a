#include "driver/command_line.h"

#include <ostream>
#include <string>

#include "util/version.h"

namespace driver {

namespace {

constexpr std::string_view kHelp =
    "Usage: rotorforge [--help | --version]\n"
    "\n"
    "rotorforge designs the blade of a small horizontal-axis wind-turbine rotor by blade\n"
    "element momentum theory and computes its power curves and annual energy. Run it without\n"
    "arguments in a working directory (rotorforge-init DIR makes one) and answer its prompts,\n"
    "typed or piped in, one per line. It reads Data/, keeps working files in Temp/ and writes\n"
    "its results into Result/.\n"
    "\n"
    "Options:\n"
    "  -h, --help     print this help and exit; no file is touched\n"
    "  --version      print the version and exit; no file is touched\n"
    "\n"
    "The companion programs (rotorforge-init, -plot, -foil, -study, -loads, ...) each explain\n"
    "themselves with --help.\n";

}  // namespace

std::optional<int> command_line(std::span<const std::string_view> args, std::ostream& out,
                                std::ostream& err) {
  if (args.empty()) return std::nullopt;
  bool help = false;
  for (const std::string_view a : args) {
    if (a == "--help" || a == "-h") {
      help = true;
    } else if (a != "--version") {
      err << "rotorforge: unknown argument \"" << a
          << "\": rotorforge takes only --help or --version (its answers come from the "
             "dialogue; see --help)\n";
      return 2;
    }
  }
  if (help) {
    out << kHelp;
  } else {
    out << version::line("rotorforge") << "\n";
  }
  out.flush();
  return out ? 0 : 1;
}

}  // namespace driver
