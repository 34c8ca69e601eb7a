// rotorforge-plot: draws the results of a rotorforge run as SVG pictures with an index page.
// Run it in the run's working directory (or give that directory as the one argument).
#include <CLI/CLI.hpp>
#include <filesystem>
#include <iostream>
#include <string>

#include "plot/run.h"
#include "util/version.h"

int main(int argc, char** argv) {
  CLI::App app{
      "Draws Result/Energy*.out, Result/Geometry.out, Result/3dgeo.dat and the working "
      "aerofoil's polar Temp/Lift_Drag.dat as SVG pictures into Result/plots/, with "
      "Result/plots/index.html showing them all.",
      "rotorforge-plot"};
  std::string dir = ".";
  app.add_option("directory", dir, "the run's working directory (default: the current one)");
  app.set_version_flag("--version", version::line("rotorforge-plot"));
  app.failure_message([](const CLI::App*, const CLI::Error& e) {
    return "rotorforge-plot: " + std::string(e.what()) +
           "\nusage: rotorforge-plot [working directory]\n";
  });
  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    return app.exit(e) == 0 ? 0 : 2;  // --help, --version, or a wrong command line
  }
  return plot::run(dir, std::cout, std::cerr);
}
