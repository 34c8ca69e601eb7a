// One design's working directory DIR/designs/<id>/: what it holds before the session (Data/
// with the aerofoil's pair of files, Temp/ with Parameters.in and, for an imported aerofoil,
// its working copies, Result/, answers.txt), the session itself, and the record of how it went
// (status.txt).
#pragma once

#include <filesystem>
#include <optional>
#include <string>

#include "companion/process.h"
#include "companion/session_answers.h"
#include "study/study_file.h"

namespace study {

namespace fs = std::filesystem;

// Interrupted: the session was stopped by a signal that asks a program to end (Ctrl-C, a
// scheduler's time limit); nothing is recorded, so the design counts as not run yet.
enum class State { Ok, Failed, Interrupted };

// How a session went: written to status.txt as "key value" lines
// (status ok|failed, exit N, seconds S, processors P, message TEXT).
struct Outcome {
  State state = State::Failed;
  int exit_status = -1;  // rotorforge's exit status; -1 when it did not end normally or ran not
  double seconds = 0.0;  // wall time of the session
  std::string message;   // the last line rotorforge wrote to standard error, or what went wrong
  // The processors the session was allowed (its affinity mask, which rotorforge inherits and
  // sizes its threads by); 0 when not known.
  unsigned processors = 0;
};

inline constexpr const char* kStatusFile = "status.txt";
inline constexpr const char* kAnswersFile = session_answers::kFile;
// A blade file's design: the blade file and the arguments of rotorforge-analyse, one per line.
inline constexpr const char* kBladeFile = "blade.toml";
inline constexpr const char* kAnalyseArguments = "analyse.txt";

// The outcome recorded in `dir`, if any (a design not yet run, or still running, has none).
std::optional<Outcome> read_status(const fs::path& dir);
// Records `o` in `dir`; the file appears whole (written beside, then renamed).
void write_status(const fs::path& dir, const Outcome& o);

enum class Prepared {
  Complete,  // an earlier run finished this design: left as it is
  Ready,     // set up afresh, to be run
  Failed,    // could not be set up; the reason is recorded as its outcome
};

// Sets up `dir` for design `d` unless it is complete: everything in it is removed, then
// Data/ gets the aerofoil's outline and polar from `data_dir`, Temp/ the Parameters.in of the
// working directory that holds `data_dir` (a new one when there is none, as with the installed
// data), answers.txt the answers. An
// imported aerofoil is installed into Temp/ here, as the aerofoil menu would for a shipped one.
Prepared prepare(const Design& d, const fs::path& dir, const fs::path& data_dir);

// The picture writer's console lines, in the design's folder.
inline constexpr const char* kPicturesLog = "plot.txt";

// Runs `rotorforge` in `dir` with answers.txt on standard input, console.txt and stderr.txt
// catching its output; after a session that went well, runs `plotter` (rotorforge-plot, when
// not empty) there for the design's own picture page, its lines into plot.txt. Records and
// returns the outcome (an interrupted session is not recorded). The session is waited for under
// `watch` (a progress display, a stop on request).
Outcome run_one(const fs::path& dir, const fs::path& rotorforge, const fs::path& plotter = {},
                const process::Watch& watch = {});

}  // namespace study
