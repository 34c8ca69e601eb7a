// rotorforge-plot: draws the results of a rotorforge run as SVG pictures with an index page.
// Run it in the run's working directory (or give that directory as the one argument).
#include <filesystem>
#include <iostream>
#include <string_view>

#include "plot/run.h"

int main(int argc, char** argv) {
  if (argc > 2 ||
      (argc == 2 && (std::string_view(argv[1]) == "-h" || std::string_view(argv[1]) == "--help"))) {
    std::cerr << "usage: rotorforge-plot [working directory]\n"
                 "Draws Result/Energy*.out, Result/Geometry.out, Result/3dgeo.dat and the "
                 "working aerofoil's polar Temp/Lift_Drag.dat as SVG pictures into "
                 "Result/plots/, with Result/plots/index.html showing them all.\n";
    return argc > 2 ? 2 : 0;
  }
  const std::filesystem::path dir = argc == 2 ? std::filesystem::path(argv[1]) : ".";
  return plot::run(dir, std::cout, std::cerr);
}
