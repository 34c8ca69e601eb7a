// rotorforge-foil: brings any aerofoil section to rotorforge. Imports a coordinate file or a
// NACA 4-digit designation, computes its polars with XFOIL, writes its two data files and
// installs it as the working aerofoil (answer 4 at rotorforge's aerofoil menu).
#include <unistd.h>

#include <CLI/CLI.hpp>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "companion/process.h"
#include "foil/import.h"
#include "util/session_lock.h"
#include "util/version.h"

namespace {

// "FROM,TO,STEP" in degrees.
bool parse_angles(const std::string& text, foil::Angles& angles) {
  std::istringstream in(text);
  char c1 = 0, c2 = 0;
  foil::Angles a;
  if (!(in >> a.from >> c1 >> a.to >> c2 >> a.step) || c1 != ',' || c2 != ',') return false;
  in >> std::ws;
  if (!in.eof()) return false;
  angles = a;
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  CLI::App app{
      "rotorforge-foil: import any aerofoil section for rotorforge.\n"
      "Reads a coordinate file (Selig or Lednicer) or a NACA 4-digit designation, computes its\n"
      "polars with XFOIL at rotorforge's seven Reynolds numbers over -10..35 deg (extended past\n"
      "stall by Viterna-Corrigan, aspect ratio 10), writes DIR/NAME.dat and DIR/LiftNAME.dat and\n"
      "installs the section in Temp/, so that answering 4 at rotorforge's aerofoil menu designs\n"
      "with it.",
      "rotorforge-foil"};
  app.require_subcommand(1);
  app.set_version_flag("--version", version::line("rotorforge-foil"));
  app.failure_message([](const CLI::App*, const CLI::Error& e) {
    return "rotorforge-foil: " + std::string(e.what()) + " (see --help)\n";
  });

  foil::ImportOptions options;
  std::string angles_text;
  bool no_install = false;
  auto* import = app.add_subcommand("import", "compute a section's data files and install it");
  import->add_option("section", options.source, "coordinate file, or a designation like naca2412")
      ->required();
  import->add_option("--name", options.name,
                     "name of the data files (default: the designation or the file's stem)");
  import->add_option("--data-dir", options.data_dir, "directory of the data files")
      ->capture_default_str();
  import->add_option("--jobs,-j", options.jobs, "XFOIL processes at once (default: one per core)");
  import
      ->add_option("--reynolds", options.reynolds,
                   "Reynolds numbers to run XFOIL at (default: all seven); the others take "
                   "the nearest one's block")
      ->delimiter(',')
      ->check(CLI::IsMember(std::vector<int>(foil::kReynolds.begin(), foil::kReynolds.end())));
  import->add_option("--angles", angles_text,
                     "XFOIL sweeps FROM,TO,STEP in degrees (default -15,22,0.5); write "
                     "--angles=-6,14,1");
  import->add_option("--xfoil", options.xfoil, "XFOIL program")->capture_default_str();
  import->add_option("--cpu-limit", options.cpu_seconds, "CPU seconds per XFOIL sweep")
      ->capture_default_str()
      ->check(CLI::Range(1, 3600));
  import->add_option("--time-limit", options.wall_seconds, "wall-clock seconds per XFOIL sweep")
      ->capture_default_str()
      ->check(CLI::Range(1.0, 36000.0));
  import->add_flag("--no-install", no_install, "write the data files only, leave Temp/ alone");
  import->add_flag("--force", options.force,
                   "replace the data files of a section imported before under the same name "
                   "(never those shipped with rotorforge)");
  import->add_flag("--verbose,-v", options.verbose, "one line per XFOIL sweep");

  std::string use_name, use_dir = "Data";
  auto* use = app.add_subcommand("use", "install an imported section as the working aerofoil");
  use->add_option("name", use_name, "the section's name (its files DIR/NAME.dat, DIR/LiftNAME.dat)")
      ->required();
  use->add_option("--data-dir", use_dir, "directory of the data files")->capture_default_str();

  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    return app.exit(e) == 0 ? 0 : 2;  // --help, --version, or a wrong command line
  }

  try {
    if (*import) {
      if (!angles_text.empty() && !parse_angles(angles_text, options.angles)) {
        throw foil::Error("--angles " + angles_text + ": give FROM,TO,STEP in degrees");
      }
      options.install = !no_install;
      // An interrupted import stops its XFOIL runs (each in a process group of its own, out of
      // reach of the terminal's signals) and removes its scratch files; it writes nothing.
      process::stop_on_interrupt();
      options.progress = isatty(STDERR_FILENO) != 0;
      foil::import_section(options, std::cout, std::cerr);
    } else {
      const auto lock = session_lock::try_lock(".");
      if (lock.busy) throw foil::Error(session_lock::busy_message(".", lock.holder_pid));
      if (!lock.lock.held()) throw foil::Error(lock.error);
      foil::install(use_dir, use_name);
      std::cout << "installed " << use_name
                << " as the working aerofoil: answer 4 at rotorforge's aerofoil menu\n";
    }
  } catch (const std::exception& e) {
    std::cout.flush();
    std::cerr << "rotorforge-foil: " << e.what() << "\n";
    return 1;
  }
  return 0;
}
