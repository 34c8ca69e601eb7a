// The files one sends to be made (files::kMadeFiles) of an earlier design, kept under names that
// say so when a new design is built in the same working directory.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace earlier_files {

// The earlier name of made file `path` with number n: "Result/blade.stl", 2 ->
// "Result/blade.earlier-2.stl" (the mark goes before the extension, so the file still opens
// with the same programs).
std::string earlier_name(std::string_view path, int n);

struct Renamed {
  std::string from;  // relative to the working directory, as files.h names it
  std::string to;
};

// Renames every made file present under `dir` to its earlier name, all of them with the same
// number: the smallest n >= 1 for which none of the earlier names exists yet, so a file is never
// renamed over another and the numbers rise with each design. Returns what was renamed, in the
// order of files::kMadeFiles. Throws std::filesystem::filesystem_error when a rename fails
// (files renamed before it stay renamed).
std::vector<Renamed> keep_as_earlier(const std::filesystem::path& dir);

}  // namespace earlier_files
