// Running XFOIL: one viscous angle sweep per process, fed on stdin, headless, under a time limit.
//
// The Debian build of XFOIL enables floating-point traps, so with its graphics switched off it
// dies at the first angle. A preloaded library whose _gfortran_set_fpe does nothing keeps the
// processor's default (non-trapping) state; the command stream then starts with PLOP, G, blank
// (graphics off) and no X display is needed.
#pragma once

#include <string>
#include <string_view>

#include "companion/process.h"
#include "foil/polar.h"

namespace foil {

// The sweeps of every Reynolds number: the up sweep from 0 to `to`, the down sweep from -step
// to `from`, in steps of `step` degrees.
struct Angles {
  double from = -15.0;
  double to = 22.0;
  double step = 0.5;
};

// The variants of a sweep, tried in this order while a sweep falls short: the base settings,
// then the viscous Newton solver without its acceleration parameter (VACC 0), then 240
// panel nodes and half the angle step, then the bridge: with three times the viscous
// iterations, the sweep goes out to a converged angle beyond the point where it stopped (the
// seed) and comes back from there towards that point in half steps, so that the angles it could
// not reach from 0 are reached from the other side.
enum class Variant { Base, NoAcceleration, FinePanels, Bridge };
const char* variant_name(Variant v);  // "base", "A", "B", "C"

struct SweepJob {
  int reynolds = 0;
  Direction direction = Direction::Up;
  Variant variant = Variant::Base;
  double seed = 0.0;     // the bridge: the angle it comes back from ...
  double back_to = 0.0;  // ... and the angle it comes back to
};

struct XfoilSetup {
  std::string program;       // path of the xfoil executable
  std::string shim;          // path of the preloaded library
  std::string geometry;      // "NACA 2412" or "LOAD section.dat"
  std::string section_file;  // text of section.dat for LOAD ("" for NACA)
  Angles angles;
  int cpu_seconds = 30;         // a normal sweep needs 0.3-5 s of CPU time
  double wall_seconds = 300.0;  // last resort when a sweep waits for something
};

// The command stream of one sweep.
std::string commands(const XfoilSetup& setup, const SweepJob& job);

struct SweepOutcome {
  Points points;
  std::string status;  // "ok", "CPU limit", "time limit", "exit N", "signal N"
  double seconds = 0.0;
};

// Runs one sweep in `workdir` (created, and left for the caller to remove). A CPU-time limit
// stops a hung XFOIL (it spins in a loop), so the outcome does not depend on the machine's
// load; the wall-clock limit kills the whole process group, and so does a stop requested with
// process::request_stop (Ctrl-C), after which no sweep starts (status "interrupted"). The
// points written before a hang or a crash are kept.
SweepOutcome run_sweep(const XfoilSetup& setup, const SweepJob& job, const std::string& workdir);

// The converged points of an XFOIL polar save file: the rows after the dashed line, those with
// three finite numbers and a positive drag; an angle listed again keeps its first point.
Points read_polar_file(std::string_view text);

// The path of `program` (a name looked up in PATH, or a path), "" when there is none.
using process::find_program;

// The preloaded library (installed under PREFIX/lib/rotorforge, or beside the program in the
// build tree), "" when missing.
std::string find_shim();

// File name of the preloaded library, as the build writes it.
inline constexpr const char* kShimName = "librotorforge_nofpe.so";

}  // namespace foil
