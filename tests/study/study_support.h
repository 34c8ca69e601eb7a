// What the study program's tests share: a working directory to start a study from, running the
// rotorforge-study binary, the small 2 x 2 study (with the texts of study_texts.h), reading
// summary.csv and comparing file trees.
#pragma once

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "study/study_texts.h"
#include "support/shell.h"
#include "support/test_name.h"
#include "support/workdir.h"

namespace study_test {

namespace fs = std::filesystem;
using support::slurp;
using support::spit;

// A working directory as a user would start a study in: Data/ with the shipped aerofoil files
// and "myfoil", an imported copy of NACA 4412 under a name of its own; Temp/Parameters.in;
// Result/.
class SourceDir : public support::SessionDir {
 public:
  SourceDir() : support::SessionDir(support::test_prefix("rotorforge-study-")) {
    fs::copy_file(path() / "Data/naca4412.dat", path() / "Data/myfoil.dat");
    fs::copy_file(path() / "Data/Liftnaca4412.dat", path() / "Data/Liftmyfoil.dat");
  }
};

using ToolRun = support::ShellRun;

// Runs rotorforge-study with `args` in `dir`.
inline ToolRun run_study_tool(const fs::path& dir, const std::string& args) {
  return support::run_in(dir, "'" + std::string(ROTORFORGE_STUDY_BINARY) + "' " + args, ".tool-out",
                         ".tool-err");
}

// Two tip radii times two aerofoils, the first imported; small blades so that it runs quickly.
inline const std::string kTwoByTwo =
    "title = \"two by two\"\n"
    "[rotor]\n"
    "blades = 3\n"
    "hub_radius = 0.15\n"
    "tip_radius = [1.2, 1.5]\n"
    "elements = 5\n"
    "aerofoil = [\"myfoil\", \"sg6043\"]\n"
    "[blade]\n"
    "material = \"aluminium\"\n"
    "stl = true\n" +
    std::string(kSiteAndSweep) +
    "[pitch]\n"
    "speed = 300\n"
    "power_limit = 800\n";

// A folder name with a quote, blanks, a '%' (a pattern in Slurm's file names) and a command
// substitution that would leave a file "executed" behind if any shell ran it.
inline const std::string kOddFolder = "Dave's study $(touch executed) 100%";

// "" when no shell ran the command in kOddFolder under `dir`, else what it left.
inline std::string executed(const fs::path& dir) {
  std::string found;
  for (const auto& e : fs::recursive_directory_iterator(dir)) {
    if (e.path().filename() == "executed") found += e.path().string() + " ";
  }
  if (fs::exists("executed")) found += "executed in the working directory";
  return found;
}

// Polls `done` every 50 ms for up to 120 s; whether it became true.
template <class F>
bool wait_until(F done) {
  for (int i = 0; i < 2400; ++i) {
    if (done()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  return done();
}

// summary.csv as rows of named fields (no field of the tests' studies holds a comma).
inline std::vector<std::map<std::string, std::string>> read_csv(const std::string& text) {
  std::istringstream in(text);
  std::vector<std::string> header;
  std::vector<std::map<std::string, std::string>> rows;
  for (std::string line; std::getline(in, line);) {
    std::vector<std::string> fields;
    std::istringstream l(line);
    for (std::string f; std::getline(l, f, ',');) fields.push_back(f);
    if (!line.empty() && line.back() == ',') fields.push_back("");
    if (header.empty()) {
      header = fields;
      continue;
    }
    std::map<std::string, std::string> row;
    for (std::size_t i = 0; i < header.size(); ++i) {
      row[header[i]] = i < fields.size() ? fields[i] : "<missing>";
    }
    rows.push_back(row);
  }
  return rows;
}

// Every regular file under `root`, as paths relative to it; a study's design folder also holds
// rotorforge-plot's pictures under Result/plots/, which a session alone does not write: they are
// left out.
inline std::set<std::string> files_under(const fs::path& root) {
  std::set<std::string> files;
  if (!fs::is_directory(root)) return files;
  for (const auto& e : fs::recursive_directory_iterator(root)) {
    const std::string rel = fs::relative(e.path(), root).string();
    // (The companions' pages, not the session's: Result/plots/ and the pages' list of links.)
    if (e.is_regular_file() && rel.rfind("plots/", 0) != 0 && rel.rfind("pages/", 0) != 0) {
      files.insert(rel);
    }
  }
  return files;
}

// The differences between the files of two trees: names on one side only, and the first file
// whose bytes differ.
inline std::string tree_difference(const fs::path& want, const fs::path& got) {
  const std::set<std::string> a = files_under(want), b = files_under(got);
  std::string diff;
  for (const std::string& f : a) {
    if (!b.count(f)) diff += "missing " + f + "; ";
  }
  for (const std::string& f : b) {
    if (!a.count(f)) diff += "extra " + f + "; ";
  }
  for (const std::string& f : a) {
    if (b.count(f) && slurp(want / f) != slurp(got / f)) diff += "differs " + f + "; ";
  }
  return diff;
}

}  // namespace study_test
