// The designs of rotorforge-studio: one folder DIR/<id> per design, made as the study runner
// makes its design folders (Data/ with the aerofoil, Temp/, Result/, answers.txt, status.txt),
// each run as a real rotorforge session with its own lock; then the picture writer, the loads
// program and the analysis of the session's blade (its CP against tip speed ratio) in the same
// folder.
//
// Only ids the store issued reach the file system, and only files found inside a design's
// folder (no link followed) are handed out.
#pragma once

#include <atomic>
#include <condition_variable>
#include <filesystem>
#include <map>
#include <memory>
#include <mutex>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "companion/process.h"
#include "study/study_file.h"

namespace studio {

namespace fs = std::filesystem;

// The programs a design runs: rotorforge, and (when found) the picture writer, the loads and
// the analysis of any blade.
struct Programs {
  fs::path rotorforge;
  fs::path plot;
  fs::path loads;
  fs::path analyse;
};

// The studio's own record in a design folder: the label and the form's answers.
inline constexpr const char* kRecordFile = "studio.json";
// The loads program's console lines.
inline constexpr const char* kLoadsLog = "loads.txt";
// The session's blade as a blade file, and the console lines of its export and analysis (the
// analysis writes Result/analysis/blade/).
inline constexpr const char* kBladeFile = "blade.toml";
inline constexpr const char* kAnalysisLog = "analysis.txt";
inline constexpr const char* kAnalysisDir = "Result/analysis/blade";

// What a design is doing: queued for a free slot, running its session, drawing and checking
// its loads, analysing its blade, done (ok or failed), or stopped before its end (the studio
// stopped). A failed analysis does not fail the design: its line is shown beside the results.
enum class Phase { Queued, Session, Loads, Analysis, Ok, Failed, Stopped };
const char* phase_name(Phase p);

// A design's id: "d" and six digits, issued in order.
bool plausible_id(const std::string& id);

class Store {
 public:
  // `dir` holds the designs; `data_dir` the aerofoils offered; at most `slots` sessions run at
  // once (the others wait their turn).
  Store(fs::path dir, fs::path data_dir, Programs programs, unsigned slots);
  ~Store();
  Store(const Store&) = delete;
  Store& operator=(const Store&) = delete;

  const fs::path& dir() const { return dir_; }
  unsigned slots() const { return slots_; }
  // The aerofoil stems offered: the shipped ones, then those imported into the data folder.
  const std::vector<std::string>& aerofoils() const { return aerofoils_; }

  // Makes a new design folder for `d` and queues its session; its id. Throws when the folder
  // cannot be made.
  std::string create(const study::Design& d, const std::string& name, const nlohmann::json& form);

  // Every design, oldest first, with its key figures.
  nlohmann::json list();
  // One design in full (state, progress, figures, files); nullopt for an id the store did not
  // issue.
  std::optional<nlohmann::json> describe(const std::string& id);
  // The file `rel` (a path relative to the design's folder, as listed by describe) when it is
  // one of the design's files; nullopt otherwise.
  std::optional<fs::path> file(const std::string& id, const std::string& rel);

  // Ends the running sessions (interrupted, not recorded) and waits for every worker; the
  // finished folders stay as they are.
  void stop();

 private:
  struct Job {
    std::string id;
    Phase phase = Phase::Queued;
    std::string message;  // why it failed, in one line
  };

  void worker();
  void run(const std::string& id);
  void analyse(const fs::path& folder, const process::Watch& watch);
  void set(const std::string& id, Phase phase, const std::string& message = {});
  nlohmann::json summary(const std::string& id, Phase phase, const std::string& message);

  fs::path dir_;
  fs::path data_dir_;
  Programs programs_;
  unsigned slots_;
  std::vector<std::string> aerofoils_;

  std::mutex mutex_;
  std::condition_variable wake_;
  std::map<std::string, Job> jobs_;  // every design known, by id (ids sort in issue order)
  std::vector<std::string> queue_;
  unsigned next_ = 1;
  std::atomic<bool> stopping_{false};
  std::vector<std::thread> workers_;
};

}  // namespace studio
