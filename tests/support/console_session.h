// rotorforge as a user runs it at a console, answers on standard input, in a working directory of
// its own (for the programs that compare their own results with the console's).
#pragma once

#include <filesystem>
#include <string>

#include "companion/process.h"
#include "support/workdir.h"

namespace support {

// Makes `dir` a working directory (make_session) holding `answers` in answers.txt, and returns
// the command that runs rotorforge (ROTORFORGE_BINARY) there on them, its console going to
// console.txt and its errors to stderr.txt.
inline process::Command console_session(const fs::path& dir, const std::string& answers) {
  make_session(dir);
  spit(dir / "answers.txt", answers);
  process::Command c;
  c.argv = {ROTORFORGE_BINARY};
  c.dir = dir;
  c.in = dir / "answers.txt";
  c.out = dir / "console.txt";
  c.err = dir / "stderr.txt";
  return c;
}

}  // namespace support
