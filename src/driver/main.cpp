// rotorforge: wind-turbine rotor design by blade element momentum theory.
#include <filesystem>
#include <iostream>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include "driver/command_line.h"
#include "driver/program.h"
#include "util/session_lock.h"

namespace {

// Exit status of a run that found its working directory in use by another session.
constexpr int kBusyStatus = 4;
// Exit status of a run that could not take the lock: like any failed open of a working file.
constexpr int kLockFailedStatus = 1;

// The working directory as the user would recognise it; "." when it cannot be named.
std::string working_directory() {
  std::error_code ec;
  const std::filesystem::path cwd = std::filesystem::current_path(ec);
  return ec ? std::string(".") : cwd.string();
}

}  // namespace

int main(int argc, char** argv) {
  std::ios::sync_with_stdio(false);
  // --help and --version answer before anything else: no lock, no file of the directory.
  const std::vector<std::string_view> args(argv + (argc > 0 ? 1 : 0), argv + argc);
  if (const auto status = driver::command_line(args, std::cout, std::cerr)) return *status;
  // One session per working directory, decided before any other file is touched: two runs in
  // one directory would write their designs and sweeps into the same result files. The lock
  // goes with the process however it ends.
  const session_lock::Attempt session = session_lock::try_lock(".");
  if (!session.lock.held()) {
    const std::string dir = working_directory();
    if (session.busy) {
      std::cerr << "rotorforge: " << session_lock::busy_message(dir, session.holder_pid)
                << std::endl;
      return kBusyStatus;
    }
    // Typically a directory without write permission, where no result could be written either.
    std::cerr << "rotorforge: the working directory " << dir
              << " cannot be locked for this session: " << session.error << std::endl;
    return kLockFailedStatus;
  }
  return driver::run_program(std::cin, std::cout, std::cerr);
}
