#include "init/init.h"

#include <system_error>

#include "companion/whole_file.h"
#include "util/files.h"
#include "util/session_lock.h"

namespace init {

namespace fs = std::filesystem;

std::vector<std::string> session_files_in(const fs::path& dir) {
  std::vector<std::string> found;
  for (const char* name : {"Data", "Temp", "Result", session_lock::kFileName}) {
    std::error_code ec;
    if (fs::exists(fs::symlink_status(dir / name, ec))) found.push_back(name);
  }
  return found;
}

void make_working_dir(const fs::path& dir, const fs::path& data) {
  const std::vector<std::string> found = session_files_in(dir);
  if (!found.empty()) {
    std::string names;
    for (const std::string& n : found) names += (names.empty() ? "" : ", ") + n;
    throw Error(dir.string() + " already holds a session's files (" + names +
                "); nothing changed: choose a new directory");
  }
  std::error_code ec;
  if (fs::exists(dir, ec) && !fs::is_directory(dir, ec)) {
    throw Error(dir.string() + " exists and is not a directory");
  }
  std::vector<fs::path> sources;
  for (const auto& e : fs::directory_iterator(data, ec)) {
    if (e.is_regular_file()) sources.push_back(e.path());
  }
  if (ec || sources.empty()) {
    throw Error("no shipped data in " + data.string() + (ec ? ": " + ec.message() : ""));
  }
  std::vector<fs::path> made;
  try {
    fs::create_directories(dir);
    for (const char* sub : {"Data", "Temp", "Result"}) {
      fs::create_directory(dir / sub);
      made.push_back(dir / sub);
    }
    for (const fs::path& f : sources) fs::copy_file(f, dir / "Data" / f.filename());
    whole_file::write(dir / files::kChordLaw, std::string(files::kChordLawSeed));
  } catch (const std::exception& e) {
    for (const fs::path& p : made) fs::remove_all(p, ec);
    throw Error(e.what());
  }
}

}  // namespace init
