// Where the programs find each other and the shipped data, whether installed or in the build tree.
//
// `cmake --install` puts every program into PREFIX/bin, private libraries into
// PREFIX/lib/rotorforge and the shipped data (Data/ with the
// aerofoil files, examples/) into PREFIX/share/rotorforge; each program finds that folder from
// its own place. A program run from the build tree, where nothing is installed, takes the source
// tree it was built from instead.
#pragma once

#include <filesystem>
#include <string_view>

namespace install_paths {

// The running program's own file; empty when the system cannot tell.
std::filesystem::path self();

// A program of the project installed (or built) beside the running one, e.g. "rotorforge".
std::filesystem::path beside_self(std::string_view program);

// A private library of the project (one no other package links), e.g. the library the aerofoil
// importer preloads into XFOIL: PREFIX/lib/rotorforge/FILE when installed, else FILE beside the
// running program (the build tree). Empty when neither holds it.
std::filesystem::path private_library(std::string_view file);

// The folder of the shipped data (PREFIX/share/rotorforge, or the source tree); empty when
// neither holds the aerofoil files.
std::filesystem::path share_dir();

// The data folder a command uses when none is given: `workdir`/Data when it is a directory (a
// working directory made by rotorforge-init, or the repository root), else the shipped one. An
// empty `workdir` is the current directory, and the folder is then named relative ("Data").
std::filesystem::path default_data_dir(const std::filesystem::path& workdir = {});

}  // namespace install_paths
