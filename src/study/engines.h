// The engines that run a study's sessions. Each session is one call of
// `rotorforge-study run-one DESIGN_DIR`: the local engine starts those itself, a few at a time;
// GNU parallel gets them as a job list; Slurm as an array job, one task per design.
#pragma once

#include <filesystem>
#include <iosfwd>
#include <string>
#include <vector>

namespace study {

namespace fs = std::filesystem;

struct EngineSetup {
  fs::path self;        // this program, absolute
  fs::path rotorforge;  // the rotorforge binary, absolute
  fs::path study_dir;   // the study's folder, absolute
  unsigned jobs = 1;    // sessions at once (Slurm: 0 lets the cluster decide)
};

// The command line of one session, as words.
std::vector<std::string> session_command(const EngineSetup& s, const fs::path& design_dir);

// Words joined into a line for a POSIX shell, each quoted where it needs it.
std::string shell_line(const std::vector<std::string>& words);

// Each engine stops when process::request_stop is called (Ctrl-C, with
// process::stop_on_interrupt): it stops the sessions it started, waits for them and returns
// false.

// Runs the sessions of `designs` on this machine, `s.jobs` at a time, each in a process group
// of its own. With `progress`, `out` shows a bar with the designs done and the time left,
// redrawn in place. Returns false when stopped by request_stop (the sessions still running
// are interrupted and record nothing).
bool run_local(const EngineSetup& s, const std::vector<fs::path>& designs, bool progress,
               std::ostream& out);

// Writes study_dir/jobs.txt (one session command per line) and runs GNU parallel on it with
// `s.jobs` jobs at once and the given extra arguments (e.g. --sshloginfile FILE); progress as
// run_local. Returns false when stopped by request_stop. Throws std::runtime_error when
// parallel cannot be started or is killed.
bool run_parallel(const EngineSetup& s, const std::vector<fs::path>& designs,
                  const std::vector<std::string>& parallel_args, bool progress, std::ostream& out);

// The sbatch script of an array job over the design folders listed one per line in
// `list_file`: only the shell commands of a task. Every setting goes on sbatch's command line
// (sbatch_arguments), where a folder name needs no quoting for sbatch's own parser.
std::string sbatch_script(const EngineSetup& s, const fs::path& list_file);

// sbatch's arguments for an array job of `count` tasks whose script is `script`: one CPU per
// task, at most s.jobs tasks at once (0: as the cluster allows), run in study_dir/slurm with
// each task's output in task-N.out there, then `sbatch_options` as given.
std::vector<std::string> sbatch_arguments(const EngineSetup& s, std::size_t count,
                                          const fs::path& script,
                                          const std::vector<std::string>& sbatch_options);

// Writes study_dir/slurm/{designs.txt,study.sbatch}, submits the script with sbatch and returns
// the job id. Throws std::runtime_error with sbatch's message when the submission fails.
std::string submit_slurm(const EngineSetup& s, const std::vector<fs::path>& designs,
                         const std::vector<std::string>& sbatch_options);

// Waits until Slurm no longer lists job `id` (polling squeue); with `progress`, a bar of the
// designs that have recorded an outcome. Returns false when stopped by request_stop (the job
// goes on).
bool wait_slurm(const std::string& id, const std::vector<fs::path>& designs = {},
                bool progress = false, std::ostream* out = nullptr);

// Runs `argv` (found on PATH) with standard input from /dev/null; returns its exit status
// (-1 when killed) and what it wrote to standard output. Throws when it cannot be started.
int run_program(const std::vector<std::string>& argv, std::string* output);

}  // namespace study
