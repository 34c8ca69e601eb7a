// A new working directory for rotorforge sessions: Data/ with the shipped aerofoil files,
// Temp/Parameters.in and Result/, made from the installed data.
#pragma once

#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

namespace init {

struct Error : std::runtime_error {
  using std::runtime_error::runtime_error;
};

// What in `dir` belongs to a session already (Data/, Temp/, Result/, the session lock), by
// name; empty when there is none (or `dir` does not exist).
std::vector<std::string> session_files_in(const std::filesystem::path& dir);

// Makes `dir` (and missing parents) a working directory: the regular files of `data` copied
// into dir/Data, Temp/Parameters.in, Result/. Refuses, changing nothing, a directory that
// already holds a session's files; on a failure midway removes what it made. Throws Error.
void make_working_dir(const std::filesystem::path& dir, const std::filesystem::path& data);

}  // namespace init
