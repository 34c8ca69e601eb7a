// rotorforge-loads: element results, blade loads and root strength of a finished rotorforge
// session. Run it in the session's working directory (or give that directory).
#include <CLI/CLI.hpp>
#include <iostream>

#include "loads/run.h"
#include "util/version.h"

int main(int argc, char** argv) {
  CLI::App app{
      "Element results at every operating point of the session's energy tables, the loads of "
      "the blade (running and parked in a storm), its stresses, skin buckling, tip clearance, "
      "natural frequencies and resonance, and whether it holds; writes Result/loads/ (CSV "
      "tables, SVG charts, index.html).",
      "rotorforge-loads"};
  app.set_version_flag("--version", version::line("rotorforge-loads"));
  loads::Options o;
  std::string dir = ".";
  app.add_option("DIR", dir, "the session's working directory (default .)");
  const auto str = [&](const char* name, std::optional<std::string>& target, const char* help) {
    return app.add_option_function<std::string>(
        name, [&target](const std::string& v) { target = v; }, help);
  };
  str("--blade", o.blade_file,
      "a blade file (see rotorforge-analyse) instead of the session's blade: its loads at the "
      "variable-speed rotor's points, 3 to 20 m/s, or at --wind");
  str("--blades", o.blades, "number of blades (default: the study design's answer)");
  str("--wall", o.wall,
      "wall thickness of a hollow blade, mm, 0 for solid (default: the session's, told by its "
      "geometry table)");
  str("--material", o.material,
      "wood, aluminium, s-glass, carbon, polywood or 1 ... 5 (default: the session's)");
  app.add_option("--wind", o.winds, "wind speeds (m/s) of points of your own")->delimiter(',');
  auto* rpm = str("--rpm", o.rpm, "rotational speed of your points, rpm");
  auto* tsr = str("--tsr", o.tsr, "tip speed ratio of your points");
  rpm->excludes(tsr);
  auto* cls = str("--class", o.storm_class,
                  "turbine class I ... IV: parked storm 1.4 x 50, 42.5, 37.5, 30 m/s (default I)");
  auto* pw = str("--parked-wind", o.parked_wind, "wind speed of the parked storm, m/s");
  cls->excludes(pw);
  str("--strength", o.strength, "characteristic strength of the material, MPa");
  str("--modulus", o.modulus, "modulus of the material along the blade, GPa");
  str("--load-factor", o.load_factor, "partial safety factor on loads (default 3.0)");
  str("--material-factor", o.material_factor,
      "partial safety factor on the material (default 3.0, for handbook values; 1.1 for a "
      "material characterised by tests)");
  str("--clearance", o.clearance,
      "distance from the blade's plane to the tower at rest, mm (default: a quarter of the tip "
      "radius)");
  str("--panel-width", o.panel,
      "widest skin panel between webs or stiffeners of a hollow blade, mm (default: each side "
      "from the leading to the trailing edge)");
  app.add_flag("--allow-resonance", o.allow_resonance,
               "a mode close to 1P or B P does not count against \"holds\"");
  str("--altitude", o.altitude,
      "site altitude, m, for the air density (default: the study's, or 0)");
  try {
    app.parse(argc, argv);
    if (!o.winds.empty() && !o.rpm && !o.tsr) {
      throw CLI::ValidationError("--wind", "needs --rpm or --tsr");
    }
    if (o.winds.empty() && (o.rpm || o.tsr)) {
      throw CLI::ValidationError(o.rpm ? "--rpm" : "--tsr", "needs --wind");
    }
  } catch (const CLI::ParseError& e) {
    const int status = app.exit(e);
    return status == 0 ? 0 : loads::kBadCommandLine;
  }
  o.dir = dir;
  return loads::run(o, std::cout, std::cerr);
}
