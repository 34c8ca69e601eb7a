// Broken working directories and failed writes: the run ends with one clear message naming
// the file, a non-zero status, and every file that was complete before is still complete.
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "e2e/run_binary.h"
#include "support/records.h"

namespace {

namespace fs = std::filesystem;
using e2e::Outcome;
using e2e::WorkDir;

// Up to the aerofoil menu: 3 blades, 0.15 m to 1.5 m, 2 elements, setting angle 0.
const std::string kRotor = "3\n0.15\n1.5\n2\n0\n";
// A whole design on SG6043: mean wind 5 m/s, a solid wooden blade.
const std::string kDesign = kRotor + "2\n5\n1\n1\n";

// Rewrites the file `rel` of the working directory with `change` applied to its lines.
template <class Change>
void edit_lines(const WorkDir& d, const std::string& rel, Change change) {
  std::vector<std::string> lines = support::records(d / rel);
  change(lines);
  std::string text;
  for (const auto& l : lines) text += l + "\n";
  e2e::spit(d / rel, text);
}

using Lines = std::vector<std::string>;

TEST(BrokenFiles, DataFilesThatCannotBeRead) {
  struct Case {
    const char* name;
    void (*damage)(const WorkDir&);
    const char* message;
    int status;  // 2 for an unreadable file, the open's own status for a missing one
  };
  const Case cases[] = {
      {"missing polar", [](const WorkDir& d) { fs::remove(d / "Data/Liftsg6043.dat"); },
       "Data/Liftsg6043.dat: No such file or directory", 1},
      {"polar with 321 records",
       [](const WorkDir& d) {
         edit_lines(d, "Data/Liftsg6043.dat", [](Lines& l) { l.resize(321); });
       },
       "End of file", 2},
      {"polar with a letter",
       [](const WorkDir& d) {
         edit_lines(d, "Data/Liftsg6043.dat", [](Lines& l) { l[99] = "3 x1.2 0.01"; });
       },
       "Bad real number in item 2 of list input", 2},
      {"missing outline", [](const WorkDir& d) { fs::remove(d / "Data/sg6043.dat"); },
       "Data/sg6043.dat: No such file or directory", 1},
      {"outline of 99 points",
       [](const WorkDir& d) { edit_lines(d, "Data/sg6043.dat", [](Lines& l) { l.resize(99); }); },
       "End of file", 2},
  };
  for (const Case& c : cases) {
    WorkDir dir;
    c.damage(dir);
    // Results of an earlier run stay as they were.
    e2e::spit(dir / "Result/Energy1.out", "earlier sweep\r\n");
    e2e::spit(dir / "Result/Geometry.out", "earlier blade\r\n");
    const Outcome r = e2e::run(dir, kDesign);
    EXPECT_EQ(r.status, c.status) << c.name << ": " << r.err;
    EXPECT_NE(r.err.find(c.message), std::string::npos) << c.name << ": " << r.err;
    EXPECT_NE(r.err.find("Data/"), std::string::npos) << c.name << ": " << r.err;
    EXPECT_EQ(dir.read("Result/Energy1.out"), "earlier sweep\r\n") << c.name;
    EXPECT_EQ(dir.read("Result/Geometry.out"), "earlier blade\r\n") << c.name;
  }
}

// The polar is copied before the outline is read: a broken outline leaves a complete polar copy.
TEST(BrokenFiles, BrokenOutlineLeavesTheCompletePolarCopy) {
  WorkDir good;
  ASSERT_EQ(e2e::run(good, kRotor + "2\n").status, 2);  // input ends at Umid
  WorkDir dir;
  edit_lines(dir, "Data/sg6043.dat", [](Lines& l) { l.resize(60); });
  const Outcome r = e2e::run(dir, kDesign);
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.err.find("Data/sg6043.dat"), std::string::npos) << r.err;
  EXPECT_EQ(dir.read("Temp/Lift_Drag.dat"), good.read("Temp/Lift_Drag.dat"));
}

// Temp/ or Result/ that cannot take the run's files: the run fails and names the file and why.
TEST(BrokenFiles, DirectoriesThatCannotTakeTheFiles) {
  struct Case {
    const char* name;
    void (*damage)(const WorkDir&);
    std::vector<std::string> messages;  // each must stand in the error output
  };
  const Case cases[] = {
      {"missing Temp/",
       [](const WorkDir& d) { fs::remove_all(d / "Temp"); },
       {"Temp/", "No such file or directory"}},
      {"result file that is a directory",
       [](const WorkDir& d) { fs::create_directory(d / "Result/Energy3.out"); },
       {"Result/Energy3.out: Is a directory"}},
  };
  for (const Case& c : cases) {
    WorkDir dir;
    c.damage(dir);
    const Outcome r = e2e::run(dir, kDesign);
    EXPECT_NE(r.status, 0) << c.name;
    for (const std::string& m : c.messages) {
      EXPECT_NE(r.err.find(m), std::string::npos) << c.name << ": " << r.err;
    }
  }
}

TEST(BrokenFiles, ReadOnlyResultDirectory) {
  if (::geteuid() == 0) GTEST_SKIP() << "permissions do not bind the superuser";
  WorkDir dir;
  fs::permissions(dir / "Result", fs::perms::owner_read | fs::perms::owner_exec);
  const Outcome r = e2e::run(dir, kDesign);
  EXPECT_NE(r.status, 0);
  EXPECT_NE(r.err.find("Result/Geometry.out: Permission denied"), std::string::npos) << r.err;
}

// A result file on a full disk: the sweep's write fails and the run says so instead of
// stopping as if all was well.
TEST(BrokenFiles, FullDiskUnderAResultFile) {
  if (!fs::exists("/dev/full")) GTEST_SKIP() << "no /dev/full here";
  WorkDir dir;
  fs::create_symlink("/dev/full", dir / "Result/Energy1.out");
  const Outcome r = e2e::run(dir, kDesign + "1\n3\n20\n5\n10\n0\n0\n");
  EXPECT_NE(r.status, 0);
  EXPECT_NE(r.err.find("Result/Energy1.out: No space left on device"), std::string::npos) << r.err;
}

// A file-size limit makes the STL export fail part-way: no confirmation line, non-zero status.
TEST(BrokenFiles, StlExportThatCannotBeWrittenIsNotReportedAsSaved) {
  WorkDir dir;
  // Ignoring SIGXFSZ turns the limit into a write error (EFBIG) the program must notice.
  const Outcome r = e2e::run(dir, kDesign + "6\n0\n", "trap '' XFSZ; ulimit -f 64");
  EXPECT_NE(r.status, 0);
  EXPECT_EQ(r.out.find("Geometry of blade has saved as blade.stl file"), std::string::npos);
  EXPECT_NE(r.err.find("Result/blade.stl: File too large"), std::string::npos) << r.err;
}

// Result/3dgeo.dat removed while the program waits at the menu: option 6 exports the blade the
// run designed all the same, the STL a run that kept the point file exports, and the STL of an
// earlier export stays under the name that says it is earlier (given when the design replaced
// the earlier one).
TEST(BrokenFiles, PointFileDeletedBeforeExport) {
  WorkDir dir;
  e2e::spit(dir / "Result/blade.stl", "solid earlier\r\n");
  const std::string cmd =
      "cd '" + dir.path().string() + "' && exec '" + ROTORFORGE_BINARY + "' > .stdout 2> .stderr";
  FILE* in = ::popen(cmd.c_str(), "w");
  ASSERT_NE(in, nullptr);
  std::fputs(kDesign.c_str(), in);
  std::fflush(in);
  const std::string menu = "associated number followed by <return>.    \r\n";
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(120);
  // The main menu is the fourth menu of the run (aerofoil, blade type, material, main).
  for (;;) {
    const std::string out = dir.read(".stdout");
    std::size_t count = 0;
    for (std::size_t p = out.find(menu); p != std::string::npos; p = out.find(menu, p + 1)) {
      ++count;
    }
    if (count >= 4) break;
    ASSERT_LT(std::chrono::steady_clock::now(), deadline) << "menu never shown";
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  ASSERT_TRUE(fs::remove(dir / "Result/3dgeo.dat"));
  std::fputs("6\n0\n", in);
  const int raw = ::pclose(in);
  const int status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  EXPECT_EQ(status, 0) << dir.read(".stderr");
  EXPECT_NE(dir.read(".stdout").find("has saved as blade.stl"), std::string::npos);
  EXPECT_EQ(dir.read("Result/blade.earlier-1.stl"), "solid earlier\r\n");
  EXPECT_FALSE(dir.exists("Result/3dgeo.dat"));

  WorkDir kept;
  ASSERT_EQ(e2e::run(kept, kDesign + "6\n0\n").status, 0);
  const std::string stl = kept.read("Result/blade.stl");
  EXPECT_NE(stl.find("endsolid"), std::string::npos);
  EXPECT_EQ(dir.read("Result/blade.stl"), stl);
}

}  // namespace
