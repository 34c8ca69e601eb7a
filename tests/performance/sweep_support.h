// Helpers shared by the sweep and energy tests: bit comparison of doubles, a private working
// directory with the three plot files, polars loaded into namespace global, and a small blade.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "performance/sweep.h"
#include "support/bits.h"
#include "support/polars.h"
#include "support/records.h"
#include "support/workdir.h"

namespace sweep_test {

using support::describe;
using support::same_bits;
using support::slurp;

// A fresh temporary directory with Temp/ (holding the plot files the main program creates at
// start-up) and Result/, the working directory while the object lives.
class WorkDir : public support::WorkDir {
 public:
  WorkDir() : support::WorkDir("rotorforge_sweep_") {
    for (const char* name : {"graph.tmp", "graph1.tmp", "mpl.tmp"}) {
      std::ofstream(path() / "Temp" / name, std::ios::binary);
    }
  }
};

// Records of a file; every record must end in CR LF.
inline std::vector<std::string> read_records(const std::filesystem::path& path) {
  return support::records(path, support::LineEnds::CrLf);
}

using support::load_polar;
using support::load_polar_columns;

// Lift growing with the angle (0.11 per degree), constant drag 0.01: a rotor that produces power.
using support::load_linear_polar;
inline void load_lifting_polar() {
  load_linear_polar();
}

// A polar whose lift rises to a maximum at 12 degrees and then falls, with drag growing after
// it: a stalling rotor whose power levels off.
inline void load_stalling_polar() {
  load_polar([](double a) { return a <= 12.0 ? 0.11 * a : 1.32 - 0.05 * (a - 12.0); },
             [](double a) { return a <= 12.0 ? 0.01 : 0.01 + 0.03 * (a - 12.0); });
}

// No lift, only drag: every operating point has a negative power coefficient.
inline void load_drag_polar() {
  load_polar([](double) { return 0.0; }, [](double) { return 0.01; });
}

// Neither lift nor drag: every power coefficient is exactly 0.
inline void load_zero_polar() {
  load_polar([](double) { return 0.0; }, [](double) { return 0.0; });
}

// A three-bladed rotor of nbe elements from hub to tip, constant relative chord, twist falling
// linearly to 0 at the tip.
struct Blade {
  std::vector<double> r;
  std::vector<double> twist;
  std::vector<double> chord;
  sweep::Rotor rotor{};

  Blade(std::int64_t nbe, double rhub, double rtip, double chord_rel = 0.08,
        double root_twist = 20.0) {
    const double x_hub = rhub / rtip;
    const double dr = (1.0 - x_hub) / static_cast<double>(nbe);
    double x = x_hub - dr / 2.0;
    for (std::int64_t i = 0; i < nbe; ++i) {
      x = x + dr;
      r.push_back(x);
      twist.push_back(root_twist * (1.0 - x));
      chord.push_back(chord_rel);
    }
    twist.push_back(0.0);
    chord.push_back(chord_rel);
    rotor = sweep::Rotor{3, nbe, rhub, rtip, dr, r, twist, chord};
  }
  Blade(const Blade&) = delete;
  Blade& operator=(const Blade&) = delete;
};

}  // namespace sweep_test
