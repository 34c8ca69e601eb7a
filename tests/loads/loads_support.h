// A finished rotorforge session in a scratch directory, for the tests of rotorforge-loads.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "support/kit.h"
#include "support/shell.h"

namespace loads_test {

using namespace support::kit;

// The answers of the README's example session up to the material (aerofoil `foil`), then the
// sweeps `sweeps` (answers of the menu), then 0.
inline std::string example_answers(int foil, const std::string& sweeps) {
  return "3\n0.15\n1.5\n10\n0\n" + std::to_string(foil) + "\n5\n1\n1\n" + sweeps + "0\n";
}

inline const std::string kSite = "3\n20\n5\n10\n0\n";
// Every turbine type once.
inline const std::string kAllSweeps =
    "1\n" + kSite + "2\n" + kSite + "200\n3\n" + kSite + "300\n4\n" + kSite + "300\n1500\n";

// A scratch working directory as rotorforge-init makes one, in which rotorforge has run with
// `answers`.
class Session : public support::SessionDir {
 public:
  explicit Session(const std::string& answers) : support::SessionDir("rotorforge-loads-") {
    write(".answers", answers);
    const support::ShellRun r =
        support::run_in(path(), "'" + std::string(ROTORFORGE_BINARY) + "' < .answers");
    if (r.status != 0) throw std::runtime_error("rotorforge failed: " + r.err);
  }
};

// rotorforge-loads with `args` in `dir`.
inline support::ShellRun loads(const fs::path& dir, const std::string& args) {
  return support::run_in(dir, "'" + std::string(ROTORFORGE_LOADS_BINARY) + "' " + args);
}

}  // namespace loads_test
