#include "study/engines.h"

#include <sys/wait.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstring>
#include <iostream>
#include <map>
#include <ostream>
#include <stdexcept>
#include <thread>

#include "companion/process.h"
#include "companion/progress.h"
#include "companion/whole_file.h"
#include "study/design_dir.h"

namespace study {

namespace {

// Starts `argv` (a bare name is looked up in PATH) with standard input from /dev/null, in a
// process group of its own: the terminal's Ctrl-C does not reach it, and the engine stops it in
// order. Throws std::runtime_error when it cannot be started.
process::Child spawn(const std::vector<std::string>& argv) {
  process::Command c;
  c.argv = argv;
  c.in = "/dev/null";
  c.own_group = true;
  process::Result failure;
  process::Child child = process::start(c, failure);
  if (!failure.ran()) throw std::runtime_error(failure.failure_text());
  return child;
}

// The bar of a terminal, redrawn when the count of finished designs changes:
// "[###############...............] 1/2 designs, 0:42 left  ".
const progress::Style kDesignsBar{"", '.', " designs", ", ", "  ", std::string(10, ' '), "\n"};

// Designs of the list whose session has recorded an outcome.
std::size_t recorded(const std::vector<fs::path>& designs) {
  std::size_t n = 0;
  for (const fs::path& d : designs) n += read_status(d).has_value();
  return n;
}

constexpr auto kPoll = std::chrono::milliseconds(200);

}  // namespace

std::vector<std::string> session_command(const EngineSetup& s, const fs::path& design_dir) {
  return {s.self.string(), "run-one", "--rotorforge", s.rotorforge.string(), design_dir.string()};
}

std::string shell_line(const std::vector<std::string>& words) {
  std::string line;
  for (const std::string& w : words) {
    if (!line.empty()) line += ' ';
    const bool plain = !w.empty() && w.find_first_not_of(
                                         "abcdefghijklmnopqrstuvwxyz"
                                         "ABCDEFGHIJKLMNOPQRSTUVWXYZ"
                                         "0123456789_-./=:,+%@") == std::string::npos;
    if (plain) {
      line += w;
      continue;
    }
    line += '\'';
    for (char c : w) {
      if (c == '\'') {
        line += "'\\''";
      } else {
        line += c;
      }
    }
    line += '\'';
  }
  return line;
}

int run_program(const std::vector<std::string>& argv, std::string* output) {
  process::Command c;
  c.argv = argv;
  c.in = "/dev/null";
  c.capture_out = output != nullptr;
  const process::Result r = process::run(c);
  if (r.failure != process::Failure::None && r.failure != process::Failure::Wait) {
    throw std::runtime_error(r.failure_text());
  }
  if (output != nullptr) *output += r.output;
  return r.exit_code();
}

bool run_local(const EngineSetup& s, const std::vector<fs::path>& designs, bool progress,
               std::ostream& out) {
  const unsigned jobs = s.jobs == 0 ? 1 : s.jobs;
  std::map<pid_t, process::Child> running;
  std::size_t next = 0, done = 0;
  progress::Bar bar(out, progress, kDesignsBar, designs.size());
  bar.draw(0);
  bool stopping = false;
  while (done < next || (next < designs.size() && !stopping)) {
    while (!stopping && running.size() < jobs && next < designs.size()) {
      process::Child child = spawn(session_command(s, designs[next]));
      const pid_t pid = child.pid();
      running.emplace(pid, std::move(child));
      ++next;
    }
    if (!stopping && process::stop_requested()) {
      // Interrupt every session's group (run-one and its rotorforge); they record nothing.
      stopping = true;
      for (const auto& [pid, child] : running) child.signal(SIGINT);
    }
    int raw = 0;
    const pid_t pid = waitpid(-1, &raw, 0);
    if (pid < 0) {
      if (errno == EINTR) continue;
      throw std::runtime_error(std::string("waiting for a session: ") + std::strerror(errno));
    }
    if (running.erase(pid) == 0) continue;
    ++done;
    bar.update(done);
  }
  return !stopping;
}

bool run_parallel(const EngineSetup& s, const std::vector<fs::path>& designs,
                  const std::vector<std::string>& parallel_args, bool progress, std::ostream& out) {
  std::string jobs;
  for (const fs::path& d : designs) jobs += shell_line(session_command(s, d)) + "\n";
  const std::string list = (s.study_dir / "jobs.txt").string();
  whole_file::write(list, jobs);
  std::vector<std::string> argv = {"parallel", "--will-cite",
                                   "--jobs",   std::to_string(s.jobs == 0 ? 1 : s.jobs),
                                   "--joblog", (s.study_dir / "parallel.log").string()};
  argv.insert(argv.end(), parallel_args.begin(), parallel_args.end());
  argv.insert(argv.end(), {"--arg-file", list});
  process::Child child = spawn(argv);
  progress::Bar bar(out, progress, kDesignsBar, designs.size());
  bar.draw(0);
  // parallel passes the signal on to its jobs and waits for them.
  process::Watch watch;
  watch.stop = process::stop_requested;
  watch.stop_signal = SIGTERM;
  watch.tick = [&] { bar.update(recorded(designs)); };
  watch.every = kPoll;
  const process::Result r = process::wait(child, watch);
  if (!r.ran()) throw std::runtime_error("waiting for GNU parallel failed");
  bar.update(recorded(designs));
  const bool stopping = r.stopped;
  // parallel's status counts the failed sessions; each one has recorded its own outcome.
  if (!stopping && r.exit_code() < 0) throw std::runtime_error("GNU parallel was killed");
  return !stopping;
}

std::string sbatch_script(const EngineSetup& s, const fs::path& list_file) {
  std::string script = "#!/bin/sh\n";
  script += "# One design per array task: the task's line of the list names its folder.\n";
  script += "dir=$(sed -n \"${SLURM_ARRAY_TASK_ID}p\" " + shell_line({list_file.string()}) + ")\n";
  script += "exec " +
            shell_line({s.self.string(), "run-one", "--rotorforge", s.rotorforge.string()}) +
            " \"$dir\"\n";
  return script;
}

std::vector<std::string> sbatch_arguments(const EngineSetup& s, std::size_t count,
                                          const fs::path& script,
                                          const std::vector<std::string>& sbatch_options) {
  std::string array = "--array=1-" + std::to_string(count);
  if (s.jobs > 0) array += "%" + std::to_string(s.jobs);
  // The output file is named relative to the task's working directory: Slurm reads '%' in
  // --output as a pattern, and the folder's own name may hold one.
  std::vector<std::string> args = {"sbatch",
                                   "--parsable",
                                   "--job-name=rotorforge-study",
                                   array,
                                   "--ntasks=1",
                                   "--cpus-per-task=1",
                                   "--chdir=" + (s.study_dir / "slurm").string(),
                                   "--output=task-%a.out"};
  args.insert(args.end(), sbatch_options.begin(), sbatch_options.end());
  args.push_back(script.string());
  return args;
}

std::string submit_slurm(const EngineSetup& s, const std::vector<fs::path>& designs,
                         const std::vector<std::string>& sbatch_options) {
  const fs::path dir = s.study_dir / "slurm";
  fs::create_directories(dir);
  std::string list;
  for (const fs::path& d : designs) list += d.string() + "\n";
  whole_file::write(dir / "designs.txt", list);
  const std::string script = (dir / "study.sbatch").string();
  whole_file::write(script, sbatch_script(s, dir / "designs.txt"));
  std::string output;
  const int status =
      run_program(sbatch_arguments(s, designs.size(), script, sbatch_options), &output);
  while (!output.empty() && (output.back() == '\n' || output.back() == '\r')) output.pop_back();
  // --parsable prints "jobid" or "jobid;cluster".
  const std::string id = output.substr(0, output.find(';'));
  if (status != 0 || id.empty() || id.find_first_not_of("0123456789") != std::string::npos) {
    throw std::runtime_error("sbatch did not accept " + script + " (status " +
                             std::to_string(status) + ")");
  }
  return id;
}

bool wait_slurm(const std::string& id, const std::vector<fs::path>& designs, bool progress,
                std::ostream* out) {
  progress::Bar bar(out != nullptr ? *out : std::cout, progress && out != nullptr, kDesignsBar,
                    designs.size());
  bar.draw(0);
  for (;;) {
    if (process::stop_requested()) return false;
    bar.update(recorded(designs));
    std::string output;
    const int status =
        run_program({"squeue", "--noheader", "--jobs", id, "--format", "%i"}, &output);
    // squeue fails once the job has left the controller's memory; an empty list means done.
    if (status != 0 || output.find_first_not_of(" \n") == std::string::npos) {
      bar.update(recorded(designs));
      return true;
    }
    std::this_thread::sleep_for(kPoll);
  }
}

}  // namespace study
