// rotorforge-init: makes a new working directory for rotorforge sessions from the installed
// data.
#include <CLI/CLI.hpp>
#include <iostream>
#include <string>

#include "companion/install_paths.h"
#include "init/init.h"
#include "util/version.h"

int main(int argc, char** argv) {
  CLI::App app{
      "Makes DIR (created when missing) a working directory for rotorforge: Data/ with the "
      "shipped aerofoil files, Temp/Parameters.in and Result/. A directory that already holds "
      "a session's files is left alone.",
      "rotorforge-init"};
  std::string dir;
  app.add_option("DIR", dir, "the new working directory")->required();
  std::string data;
  app.add_option("--data-dir", data,
                 "copy the aerofoil files from this folder (default: the installed ones)");
  app.set_version_flag("--version", version::line("rotorforge-init"));
  app.failure_message([](const CLI::App*, const CLI::Error& e) {
    return "rotorforge-init: " + std::string(e.what()) + " (see --help)\n";
  });
  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    return app.exit(e) == 0 ? 0 : 2;  // --help, --version, or a wrong command line
  }
  try {
    std::filesystem::path from = data;
    if (from.empty()) {
      const std::filesystem::path share = install_paths::share_dir();
      if (share.empty()) throw init::Error("the installed data are missing (no share/rotorforge)");
      from = share / "Data";
    }
    init::make_working_dir(dir, from);
    std::cout << "ready: " << dir << " holds Data/, Temp/Parameters.in and Result/\n"
              << "start a session there: cd " << dir << " && "
              << install_paths::beside_self("rotorforge").string() << "\n";
  } catch (const std::exception& e) {
    std::cerr << "rotorforge-init: " << e.what() << "\n";
    return 1;
  }
  return 0;
}
