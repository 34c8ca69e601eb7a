// Running a program through the shell in a working directory, as a user at a terminal would,
// and collecting what it wrote.
#pragma once

#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "support/workdir.h"

namespace support {

// The exit status of a run (-1 when it did not exit normally) and the two streams it wrote.
struct ShellRun {
  int status = -1;
  std::string out;
  std::string err;
};

// Runs `command` through the shell in `dir` with standard output and error sent to the files
// `out` and `err` there (names of their own keep the streams of two programs run in the same
// directory apart). `command` brings its own standard input, if any ("exec 'prog' < .stdin").
inline ShellRun run_in(const std::filesystem::path& dir, const std::string& command,
                       const std::string& out = ".stdout", const std::string& err = ".stderr") {
  const std::string cmd = "cd '" + dir.string() + "' && " + command + " > " + out + " 2> " + err;
  const int raw = std::system(cmd.c_str());
  ShellRun r;
  r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  r.out = slurp(dir / out);
  r.err = slurp(dir / err);
  return r;
}

}  // namespace support
