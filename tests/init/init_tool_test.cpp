// rotorforge-init: a working directory that a session runs in, made from the shipped data; a
// directory holding a session's files left alone. And every companion's --version and --help,
// which start no work.
#include <gtest/gtest.h>

#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "init/init.h"
#include "support/shell.h"
#include "support/test_name.h"
#include "util/files.h"
#include "util/version.h"

namespace {

namespace fs = std::filesystem;

// Every file and folder under `root`, relative to it, with the bytes of each file.
std::set<std::string> listing(const fs::path& root) {
  std::set<std::string> all;
  for (const auto& e : fs::recursive_directory_iterator(root)) {
    all.insert(fs::relative(e.path(), root).string() + "=" +
               (e.is_regular_file() ? support::slurp(e.path()) : std::string("<dir>")));
  }
  return all;
}

support::ShellRun init_in(const fs::path& dir, const std::string& args) {
  return support::run_in(dir, "'" + std::string(ROTORFORGE_INIT_BINARY) + "' " + args, "../.out",
                         "../.err");
}

struct Scratch {
  support::ScratchDir outer{support::test_prefix("rotorforge-init-")};
  fs::path dir = outer.path() / "work";
  Scratch() { fs::create_directory(dir); }
};

TEST(InitTool, MakesAWorkingDirectoryASessionRunsIn) {
  Scratch s;
  const auto r = init_in(s.dir, "'new site/run 1'");
  ASSERT_EQ(r.status, 0) << r.err;
  const fs::path made = s.dir / "new site/run 1";
  EXPECT_EQ(r.out.rfind("ready: new site/run 1 holds Data/, Temp/Parameters.in and Result/\n", 0),
            0u)
      << r.out;
  std::set<std::string> want = {"Result=<dir>", "Temp=<dir>", "Data=<dir>",
                                "Temp/Parameters.in=" + std::string(files::kChordLawSeed)};
  for (const auto& e : fs::directory_iterator(fs::path(ROTORFORGE_SOURCE_DIR) / "Data")) {
    want.insert("Data/" + e.path().filename().string() + "=" + support::slurp(e.path()));
  }
  EXPECT_EQ(listing(made), want);

  // A session runs there: the design, one sweep.
  support::spit(made / "answers", "3\n0.15\n1.5\n3\n0\n2\n5\n1\n1\n1\n3\n20\n5\n10\n0\n0\n");
  const auto session = support::run_in(made, "'" + std::string(ROTORFORGE_BINARY) + "' < answers",
                                       "../.session-out", "../.session-err");
  EXPECT_EQ(session.status, 0) << session.err;
  EXPECT_NE(support::slurp(made / "Result/Energy1.out").find("Average energy production E ="),
            std::string::npos);
}

TEST(InitTool, LeavesADirectoryWithASessionsFilesAlone) {
  for (const char* present : {"Data", "Temp", "Result", ".rotorforge.lock"}) {
    Scratch s;
    const fs::path target = s.dir / "old";
    fs::create_directories(target / "Result");
    support::spit(target / "Result/Energy1.out", "a user's results");
    if (std::string(present) != "Result") fs::remove_all(target / "Result");
    if (std::string(present) == ".rotorforge.lock") {
      support::spit(target / present, "");
    } else {
      fs::create_directories(target / present);
    }
    const auto before = listing(target);
    const auto r = init_in(s.dir, "old");
    EXPECT_EQ(r.status, 1) << present;
    EXPECT_EQ(r.err, "rotorforge-init: old already holds a session's files (" +
                         std::string(present) + "); nothing changed: choose a new directory\n")
        << present;
    EXPECT_EQ(listing(target), before) << present;
  }
  // Files of other kinds are no session's: the directory is made ready beside them.
  Scratch s;
  support::spit(s.dir / "notes.txt", "mine");
  EXPECT_EQ(init_in(s.dir, ".").status, 0);
  EXPECT_EQ(support::slurp(s.dir / "notes.txt"), "mine");
  EXPECT_TRUE(fs::is_regular_file(s.dir / files::kChordLaw));
  // A file where the directory should be, and no data to copy.
  support::spit(s.dir / "plain", "x");
  const auto file = init_in(s.dir, "plain");
  EXPECT_EQ(file.status, 1);
  EXPECT_EQ(file.err, "rotorforge-init: plain exists and is not a directory\n");
  const auto no_data = init_in(s.dir, "other --data-dir nowhere");
  EXPECT_EQ(no_data.status, 1);
  EXPECT_EQ(no_data.err.rfind("rotorforge-init: no shipped data in nowhere", 0), 0u) << no_data.err;
  EXPECT_FALSE(fs::exists(s.dir / "other"));
}

// Every program, rotorforge included, says its version, and --help (with the arguments of real work
// after it) explains and does nothing.
TEST(Companions, VersionAndHelpStartNoWork) {
  std::vector<std::string> programs;
  std::istringstream list(ROTORFORGE_PROGRAM_FILES);
  for (std::string p; std::getline(list, p, ':');) programs.push_back(p);
  EXPECT_GE(programs.size(), 1u);
  for (const std::string& p : programs) {
    const std::string name = fs::path(p).filename().string();
    Scratch s;
    const auto v = support::run_in(s.dir, "'" + p + "' --version", "../.out", "../.err");
    EXPECT_EQ(v.status, 0) << name;
    EXPECT_EQ(v.out, name + " " + ROTORFORGE_VERSION + "\n") << name;
    EXPECT_EQ(version::line(name), name + " " + ROTORFORGE_VERSION);
    support::spit(s.outer.path() / "x.toml",
                  "[rotor]\nblades = 2\nhub_radius = 0.1\ntip_radius = 1\nelements = 2\n"
                  "aerofoil = 1\n[site]\nmean_wind = 5\n");
    // The arguments of real work, where the test knows them.
    const std::map<std::string, std::string> work = {{"rotorforge-plot", "."},
                                                     {"rotorforge-study", "../x.toml"},
                                                     {"rotorforge-foil", "import naca2412"},
                                                     {"rotorforge-init", "newdir"},
                                                     {"rotorforge-loads", ". --blades 3"}};
    std::vector<std::string> calls = {"--help"};
    if (work.count(name)) calls.push_back(work.at(name) + " --help");
    for (const std::string& args : calls) {
      const auto h = support::run_in(s.dir, "'" + p + "' " + args, "../.out", "../.err");
      EXPECT_EQ(h.status, 0) << name << " " << args << ": " << h.err;
      EXPECT_NE(h.out.find("--help"), std::string::npos) << name << " " << args;
      EXPECT_TRUE(fs::is_empty(s.dir)) << name << " " << args << " made files";
    }
  }
}

}  // namespace
