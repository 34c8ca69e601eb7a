// One session per working directory: a second rotorforge where one is running stops at once,
// before it touches any file, naming the directory and the other session; the directory is free
// again when the first ends, however it ends.
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "e2e/child_process.h"
#include "e2e/run_binary.h"

namespace {

namespace fs = std::filesystem;
using e2e::Child;
using e2e::ConsoleKind;
using e2e::Outcome;
using e2e::WorkDir;

const std::string kFirstPrompt = " Enter number of blades, Numb=";

std::string busy_line(const WorkDir& dir, pid_t pid) {
  return "rotorforge: the working directory " + fs::canonical(dir.path()).string() +
         " is in use by another session (process " + std::to_string(pid) +
         "); wait for it to end or work in another directory\n";
}

TEST(SessionLock, SecondSessionStopsAtOnceAndTheFirstGoesOn) {
  WorkDir dir;
  Child first(dir.path(), ConsoleKind::Pipe);
  ASSERT_TRUE(first.wait_for(kFirstPrompt)) << first.console();
  e2e::spit(dir / "Result/Energy1.out", "the first session's sweep\r\n");

  const Outcome second = e2e::run(dir, "3\n0.15\n1.5\n2\n0\n2\n5\n1\n1\n1\n3\n20\n5\n10\n0\n0\n");
  EXPECT_EQ(second.status, 4);
  EXPECT_EQ(second.out, "");
  EXPECT_EQ(second.err, busy_line(dir, first.pid()));
  EXPECT_EQ(dir.read("Result/Energy1.out"), "the first session's sweep\r\n");
  EXPECT_EQ(dir.read("Result/Geometry.out"), "");

  // The first session designs and stops as if it had been alone.
  first.send("3\n0.15\n1.5\n2\n0\n2\n5\n1\n1\n0\n");
  EXPECT_EQ(first.finish(), 0) << dir.read(".stderr");
  EXPECT_NE(dir.read("Result/Geometry.out").find("Mass of blade"), std::string::npos);

  // Ended normally: the next session has the directory (it stops at the end of its input).
  const Outcome third = e2e::run(dir, "");
  EXPECT_EQ(third.status, 2) << third.err;
  EXPECT_NE(third.out.find(kFirstPrompt), std::string::npos);
}

TEST(SessionLock, KilledSessionLeavesTheDirectoryFree) {
  WorkDir dir;
  Child first(dir.path(), ConsoleKind::Pipe);
  ASSERT_TRUE(first.wait_for(kFirstPrompt)) << first.console();
  ASSERT_EQ(e2e::run(dir, "").status, 4);
  first.kill_hard();
  const Outcome next = e2e::run(dir, "");
  EXPECT_EQ(next.status, 2) << next.err;
  EXPECT_NE(next.out.find(kFirstPrompt), std::string::npos);
  EXPECT_EQ(next.err.find("in use"), std::string::npos) << next.err;
}

// A directory where the lock cannot be taken is one where no result could be written either:
// the run stops before it opens anything else.
TEST(SessionLock, DirectoryThatCannotBeLocked) {
  struct Case {
    const char* name;
    void (*spoil)(const WorkDir&);
    const char* reason;
    bool needs_permissions;
  };
  const Case cases[] = {
      {"lock file is a directory",
       [](const WorkDir& d) { fs::create_directory(d / ".rotorforge.lock"); }, "Is a directory",
       false},
      {"read-only directory",
       [](const WorkDir& d) {
         fs::permissions(d.path(), fs::perms::owner_read | fs::perms::owner_exec);
       },
       "Permission denied", true},
  };
  for (const Case& c : cases) {
    if (c.needs_permissions && ::geteuid() == 0) continue;  // permissions do not bind root
    WorkDir dir;
    // The answers, and the captured console, live outside the directory under test.
    support::ScratchDir outside("rotorforge-e2e-");
    outside.write("answers", "3\n");
    c.spoil(dir);
    const std::string cmd = "cd '" + dir.path().string() + "' && exec '" + ROTORFORGE_BINARY +
                            "' < '" + (outside / "answers").string() + "' > '" +
                            (outside / "out").string() + "' 2> '" + (outside / "err").string() +
                            "'";
    const int raw = std::system(cmd.c_str());
    fs::permissions(dir.path(), fs::perms::owner_all, fs::perm_options::add);
    EXPECT_TRUE(WIFEXITED(raw) && WEXITSTATUS(raw) == 1) << c.name;
    EXPECT_EQ(outside.read("out"), "") << c.name;
    EXPECT_EQ(outside.read("err"),
              "rotorforge: the working directory " + fs::canonical(dir.path()).string() +
                  " cannot be locked for this session: ./.rotorforge.lock: " + c.reason + "\n")
        << c.name;
    EXPECT_FALSE(dir.exists("Result/Geometry.out")) << c.name;
    EXPECT_FALSE(dir.exists("Temp/graph.tmp")) << c.name;
  }
}

}  // namespace
