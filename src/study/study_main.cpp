// rotorforge-study: runs a design study, many rotorforge sessions fed their answers on standard
// input, on this machine, under GNU parallel or as a Slurm array job, and summarises them.
#include <unistd.h>

#include <CLI/CLI.hpp>
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

#include "companion/install_paths.h"
#include "companion/process.h"
#include "study/design_dir.h"
#include "study/engines.h"
#include "study/study_file.h"
#include "study/summary.h"
#include "util/parallel.h"
#include "util/version.h"

namespace {

namespace fs = std::filesystem;

constexpr int kAllDone = 0;   // every design finished (or, Slurm, the job was submitted)
constexpr int kSomeOpen = 1;  // a design failed or has not run yet
constexpr int kBadCall = 2;   // wrong command line, unreadable study, missing program

constexpr const char* kStudyCopy = "study.toml";  // the study file as DIR keeps it

std::string count(std::size_t designs) {
  return std::to_string(designs) + (designs == 1 ? " design" : " designs");
}

int fail(const std::string& what) {
  std::cerr << "rotorforge-study: " << what << "\n";
  return kBadCall;
}

constexpr int kInterrupted = 130;  // stopped by Ctrl-C (128 + SIGINT), as a shell reports it

struct Counts {
  std::size_t ok = 0, failed = 0, pending = 0;
};

Counts count_rows(const std::vector<study::Row>& rows) {
  Counts c;
  for (const study::Row& r : rows) {
    if (r.status == "ok") {
      ++c.ok;
    } else if (r.status == "failed") {
      ++c.failed;
    } else {
      ++c.pending;
    }
  }
  return c;
}

// Writes the summary of `s` in `dir` and reports it; the status says whether all is done. While
// no design has finished there is nothing to summarise: nothing is written.
int summarise(const study::Study& s, const fs::path& dir) {
  std::vector<study::Row> rows;
  for (const study::Design& d : s.designs) {
    rows.push_back(study::read_row(d, dir / "designs" / study::design_id(d)));
  }
  const Counts before = count_rows(rows);
  if (before.ok + before.failed == 0) {
    std::cout << count(rows.size()) << ": none has finished yet; no summary written\n";
    return kSomeOpen;
  }
  rows = study::write_summary(s, dir);
  const Counts c = count_rows(rows);
  for (const study::Row& r : rows) {
    if (r.status == "failed") std::cerr << "design " << r.id << " failed: " << r.message << "\n";
  }
  std::cout << count(rows.size()) << ": " << c.ok << " finished, " << c.failed << " failed, "
            << c.pending << " not run yet\n"
            << "summary: " << (dir / "summary.csv").string()
            << "\npage:    " << (dir / "index.html").string() << "\n";
  return c.failed + c.pending == 0 ? kAllDone : kSomeOpen;
}

// After Ctrl-C: what has finished, the summary of it, and how to go on.
int interrupted(const study::Study& s, const fs::path& dir, const std::string& again) {
  std::cout << "interrupted\n";
  summarise(s, dir);
  std::cout << again << "\n";
  return kInterrupted;
}

fs::path self_path() {
  return install_paths::self();
}

struct RunArgs {
  std::string study;
  std::string out;
  std::string engine = "local";
  unsigned jobs = 0;
  std::string data_dir = install_paths::default_data_dir().string();
  std::string rotorforge;
  std::vector<std::string> parallel_args;
  std::vector<std::string> sbatch_options;
  bool wait = false;
};

int run_study(const RunArgs& a) {
  const fs::path self = self_path();
  const fs::path rotorforge =
      a.rotorforge.empty() ? self.parent_path() / "rotorforge" : fs::path(a.rotorforge);
  if (access(rotorforge.c_str(), X_OK) != 0) {
    return fail("cannot run " + rotorforge.string() +
                (a.rotorforge.empty() ? " (rotorforge is expected beside rotorforge-study; "
                                        "give --rotorforge PATH)"
                                      : ""));
  }
  if (!fs::is_directory(a.data_dir)) {
    return fail(a.data_dir +
                " is not a directory (give --data-dir, the folder of the aerofoil "
                "files)");
  }
  const study::Study s = study::read_study(a.study, a.data_dir);
  if (s.designs.empty()) return fail(a.study + ": no design");

  const fs::path dir =
      fs::absolute(a.out.empty() ? fs::path(a.study).stem() : fs::path(a.out)).lexically_normal();
  fs::create_directories(dir / "designs");
  std::error_code same_ec;
  if (!fs::equivalent(a.study, dir / kStudyCopy, same_ec)) {
    fs::copy_file(a.study, dir / kStudyCopy, fs::copy_options::overwrite_existing);
  }

  std::vector<fs::path> todo;
  std::size_t complete = 0, unprepared = 0;
  for (const study::Design& d : s.designs) {
    const fs::path design = dir / "designs" / study::design_id(d);
    switch (study::prepare(d, design, a.data_dir)) {
      case study::Prepared::Complete:
        ++complete;
        break;
      case study::Prepared::Ready:
        todo.push_back(design);
        break;
      case study::Prepared::Failed:
        ++unprepared;
        break;
    }
  }
  std::cout << count(s.designs.size()) << ": " << todo.size() << " to run, " << complete
            << " finished before";
  if (unprepared > 0) std::cout << ", " << unprepared << " could not be set up";
  std::cout << "\n" << std::flush;

  study::EngineSetup setup;
  setup.self = self;
  setup.rotorforge = fs::absolute(rotorforge);
  setup.study_dir = dir;
  // Sessions at once: as many as this process may use processors (its affinity mask), the same
  // count every rotorforge session sizes its threads by. Slurm gives each task one CPU.
  const unsigned cores = parallel::allowed_processors();
  setup.jobs = a.jobs != 0 ? a.jobs : a.engine == "slurm" ? 0 : cores;
  const bool terminal = isatty(STDOUT_FILENO) != 0;
  process::stop_on_interrupt();
  const std::string again =
      "to go on with the others, run the same command again (finished "
      "designs are kept)";
  if (!todo.empty()) {
    if (a.engine == "local") {
      if (!study::run_local(setup, todo, terminal, std::cout)) return interrupted(s, dir, again);
    } else if (a.engine == "parallel") {
      if (!study::run_parallel(setup, todo, a.parallel_args, terminal, std::cout)) {
        return interrupted(s, dir, again);
      }
    } else {
      const std::string id = study::submit_slurm(setup, todo, a.sbatch_options);
      std::cout << "submitted Slurm job " << id << " with " << todo.size() << " tasks\n"
                << std::flush;
      const std::string collect_line =
          "rotorforge-study collect " + study::shell_line({dir.string()});
      if (!a.wait) {
        std::cout << "the summary of the designs that have finished (any time, and again "
                     "later for the rest): "
                  << collect_line << "\n";
        return kAllDone;
      }
      if (!study::wait_slurm(id, todo, terminal, &std::cout)) {
        return interrupted(
            s, dir,
            "Slurm job " + id + " goes on (scancel " + id +
                " stops it); the summary of what has finished then: " + collect_line);
      }
    }
  }
  return summarise(s, dir);
}

int collect(const std::string& dir_arg) {
  const fs::path dir = fs::absolute(dir_arg).lexically_normal();
  if (!fs::is_regular_file(dir / kStudyCopy)) {
    return fail(dir_arg + " holds no " + kStudyCopy + ": not the folder of a study");
  }
  // The aerofoils were checked when the study was started; their files need not be here now.
  return summarise(study::read_study(dir / kStudyCopy, fs::path()), dir);
}

}  // namespace

int main(int argc, char** argv) {
  CLI::App app{
      "Runs a design study: one rotorforge session per combination of the answers in a TOML "
      "study file, each in its own folder DIR/designs/<id>/, then writes DIR/summary.csv and "
      "DIR/index.html. A rerun skips the designs that have finished.",
      "rotorforge-study"};
  app.footer(
      "Usage: rotorforge-study STUDY.toml [-o DIR] [--engine local|parallel|slurm] [--jobs N]\n"
      "       rotorforge-study collect DIR\n"
      "Exit status: 0 every design finished (or the Slurm job was submitted), 1 a design failed\n"
      "or has not run yet, 2 a wrong command line or study file.");
  RunArgs a;
  app.add_option("study", a.study, "the study file (TOML)")->check(CLI::ExistingFile);
  app.add_option("-o,--output", a.out, "folder of the study (default: named after the file)");
  app.add_option("--engine", a.engine, "where the sessions run (default: local)")
      ->check(CLI::IsMember({"local", "parallel", "slurm"}));
  app.add_option("-j,--jobs", a.jobs,
                 "sessions at once (default: the cores here; Slurm: as the cluster allows)")
      ->check(CLI::Range(1u, 4096u));
  app.add_option("--data-dir", a.data_dir,
                 "folder of the aerofoil files (default: ./Data, else the installed ones); "
                 "Temp/Parameters.in beside it is copied into every design");
  app.add_option("--rotorforge", a.rotorforge,
                 "the rotorforge program (default: the one beside rotorforge-study)");
  std::string sshloginfile;
  app.add_option("--sshloginfile", sshloginfile,
                 "parallel engine: run the sessions on the machines listed in this file (the "
                 "study's folder must be at the same path there)");
  app.add_option("--sbatch-option", a.sbatch_options,
                 "slurm engine: one more sbatch option, e.g. --sbatch-option=--partition=debug");
  app.add_flag("--wait", a.wait, "slurm engine: wait for the job and write the summary");
  app.set_version_flag("--version", version::line("rotorforge-study"));

  std::string collect_dir;
  CLI::App* collect_cmd =
      app.add_subcommand("collect", "rebuild DIR's summary from the designs that have finished");
  collect_cmd->add_option("DIR", collect_dir, "the study's folder")->required();

  std::string design_dir;
  CLI::App* run_one = app.add_subcommand("run-one", "run one design's session (engines use it)");
  run_one->group("");
  run_one->add_option("DESIGN", design_dir, "the design's folder")->required();
  run_one->add_option("--rotorforge", a.rotorforge, "the rotorforge program");
  app.require_subcommand(0, 1);

  try {
    app.parse(argc, argv);
  } catch (const CLI::CallForHelp& e) {
    return app.exit(e);
  } catch (const CLI::CallForVersion& e) {
    return app.exit(e);
  } catch (const CLI::ParseError& e) {
    std::cerr << "rotorforge-study: " << e.what() << " (see rotorforge-study --help)\n";
    return kBadCall;
  }

  try {
    if (collect_cmd->parsed()) return collect(collect_dir);
    if (run_one->parsed()) {
      const fs::path rf =
          a.rotorforge.empty() ? self_path().parent_path() / "rotorforge" : fs::path(a.rotorforge);
      const study::Outcome o =
          study::run_one(design_dir, rf, self_path().parent_path() / "rotorforge-plot");
      return o.state == study::State::Ok ? kAllDone : kSomeOpen;
    }
    if (!sshloginfile.empty()) a.parallel_args = {"--sshloginfile", sshloginfile};
    if (a.study.empty()) return fail("no study file given (see rotorforge-study --help)");
    return run_study(a);
  } catch (const study::StudyError& e) {
    for (const std::string& p : e.problems()) std::cerr << p << "\n";
    return kBadCall;
  } catch (const std::exception& e) {
    return fail(e.what());
  }
}
