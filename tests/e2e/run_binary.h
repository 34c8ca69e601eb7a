// Running the built rotorforge binary in a fresh working directory with answers on stdin.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <string>

#include "support/kit.h"
#include "support/shell.h"

namespace e2e {

using namespace support::kit;

// A temporary working directory as rotorforge-init makes one; removed when the object goes.
using WorkDir = support::TestDir<support::SessionDir>;

using Outcome = support::ShellRun;

// Runs the binary in `dir` with `answers` on stdin (no terminal), capturing both streams.
// `shell_setup` runs in the same shell first (e.g. "ulimit -f 100").
inline Outcome run(const WorkDir& dir, const std::string& answers,
                   const std::string& shell_setup = "") {
  spit(dir / ".stdin", answers);
  return support::run_in(dir.path(), (shell_setup.empty() ? "" : shell_setup + "; ") + "exec '" +
                                         ROTORFORGE_BINARY + "' < .stdin");
}

// The first line where two texts differ, for failure messages.
inline std::string first_difference(const std::string& want, const std::string& got) {
  std::istringstream a(want), b(got);
  std::string la, lb;
  for (int line = 1;; ++line) {
    const bool ha = static_cast<bool>(std::getline(a, la));
    const bool hb = static_cast<bool>(std::getline(b, lb));
    if (!ha && !hb) return "identical";
    if (!ha || !hb || la != lb) {
      return "line " + std::to_string(line) + ":\n  want: " + (ha ? la : "<end>") +
             "\n  got:  " + (hb ? lb : "<end>");
    }
  }
}

}  // namespace e2e
