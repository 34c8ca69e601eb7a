// The start-up dialogue of the real binary, up to the design stage: banner, prompts, files
// opened, re-asked answers and the ways a run ends early.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "e2e/run_binary.h"

namespace {

using e2e::Outcome;
using e2e::WorkDir;

std::string banner() {
  return "\r\n" + (" " + std::string(29, ' ') + "ROTORFORGE\r\n") +
         (" " + std::string(13, ' ') + std::string(42, '-') + "\r\n") + "\r\n" +
         (" " + std::string(18, ' ') + "Small wind-turbine rotor design\r\n") +
         (" " + std::string(18, ' ') + "by blade element momentum theory\r\n") +
         (" " + std::string(16, ' ') + std::string(37, '*') + "\r\n") + "\r\n";
}

TEST(Startup, BannerAndPromptsUpToEndOfInput) {
  WorkDir dir;
  const Outcome r = e2e::run(dir, "3\n0.15\n");
  const std::string want = banner() +
                           " Enter number of blades, Numb= Enter radius of hub (m), rhub="
                           " Enter radius of tip (m), rtip=";
  EXPECT_EQ(r.out.substr(0, want.size()), want) << e2e::first_difference(want, r.out);
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.err.find("End of file"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("rtip"), std::string::npos) << r.err;
}

TEST(Startup, OpensEveryRunFileWithoutTouchingOldResults) {
  WorkDir dir;
  e2e::spit(dir / "Result/Energy2.out", "an earlier sweep\r\n");
  const Outcome r = e2e::run(dir, "");
  EXPECT_EQ(r.status, 2);
  for (const char* f :
       {"Result/Geometry.out", "Result/Performance.out", "Result/Energy1.out", "Result/Energy3.out",
        "Result/Energy4.out", "Temp/graph.tmp", "Temp/graph1.tmp", "Temp/mpl.tmp"}) {
    EXPECT_TRUE(dir.exists(f)) << f;
  }
  EXPECT_EQ(dir.read("Result/Energy2.out"), "an earlier sweep\r\n");
}

// Answers that would crash the design or make it meaningless are asked again with one line
// saying what is allowed.
TEST(Startup, RejectedAnswersAreAskedAgain) {
  struct Case {
    const char* answers;
    const char* complaint;
    const char* prompt_again;
  };
  const Case cases[] = {
      {"0\n", " Numb must be a whole number of at least 1; please enter it again.",
       " Enter number of blades, Numb="},
      {"-2\n", " Numb must be a whole number of at least 1; please enter it again.",
       " Enter number of blades, Numb="},
      {"3\n-0.1\n", " rhub must be 0 or more; please enter it again.",
       " Enter radius of hub (m), rhub="},
      {"3\n0.5\n0.5\n", " rtip must be greater than rhub; please enter it again.",
       " Enter radius of tip (m), rtip="},
      {"3\n0.5\n0.2\n", " rtip must be greater than rhub; please enter it again.",
       " Enter radius of tip (m), rtip="},
      {"3\n0.2\n2\n0\n", " nbe must be a whole number from 1 to 10000; please enter it again.",
       " Enter number of blade elements, nbe="},
      {"3\n0.2\n2\n10001\n", " nbe must be a whole number from 1 to 10000; please enter it again.",
       " Enter number of blade elements, nbe="},
  };
  for (const Case& c : cases) {
    WorkDir dir;
    const Outcome r = e2e::run(dir, c.answers);
    const std::string want = std::string(c.complaint) + "\r\n" + c.prompt_again;
    EXPECT_NE(r.out.find(want), std::string::npos) << c.answers << "\n" << r.out;
    EXPECT_EQ(r.status, 2) << c.answers;  // then the input ends
  }
}

TEST(Startup, MissingResultDirectoryEndsTheRunNamingThePath) {
  WorkDir dir;
  e2e::fs::remove_all(dir / "Result");
  const Outcome r = e2e::run(dir, "3\n");
  EXPECT_NE(r.status, 0);
  EXPECT_NE(r.err.find("Result/Geometry.out"), std::string::npos) << r.err;
  EXPECT_EQ(r.out.find("Enter number of blades"), std::string::npos);
}

// An aerofoil number other than 1, 2 and 3 designs with the aerofoil that an earlier run left in
// Temp/; when it left none, the run ends right after the aerofoil menu, saying so.
TEST(Startup, AerofoilOfAnEarlierRun) {
  const std::string rotor = "3\n0.15\n1.5\n2\n0\n";
  const std::string rest = "5\n1\n1\n0\n";  // mean wind, solid wooden blade, stop
  WorkDir earlier;
  ASSERT_EQ(e2e::run(earlier, rotor + "3\n" + rest).status, 0);
  for (const char* number : {"0", "4", "-1"}) {
    WorkDir dir;
    for (const char* f : {"Temp/Lift_Drag.dat", "Temp/Profil.dat", "Temp/ProfilI.dat"}) {
      e2e::spit(dir / f, earlier.read(f));
    }
    const Outcome r = e2e::run(dir, rotor + number + "\n" + rest);
    EXPECT_EQ(r.status, 0) << number << ": " << r.err;
    EXPECT_EQ(dir.read("Result/Geometry.out"), earlier.read("Result/Geometry.out")) << number;
  }

  struct Missing {
    std::vector<std::string> removed;
    std::string named;
  };
  const Missing cases[] = {
      {{"Temp/Lift_Drag.dat", "Temp/Profil.dat", "Temp/ProfilI.dat"}, "Temp/Lift_Drag.dat"},
      {{"Temp/Profil.dat"}, "Temp/Profil.dat"},
      {{"Temp/ProfilI.dat"}, "Temp/ProfilI.dat"},
  };
  const std::string menu_end = "associated number followed by <return>.    \r\n";
  for (const Missing& c : cases) {
    WorkDir dir;
    for (const char* f : {"Temp/Lift_Drag.dat", "Temp/Profil.dat", "Temp/ProfilI.dat"}) {
      e2e::spit(dir / f, earlier.read(f));
    }
    for (const std::string& f : c.removed) e2e::fs::remove(dir / f);
    const Outcome r = e2e::run(dir, rotor + "7\n" + rest);
    EXPECT_EQ(r.status, 1) << c.named;
    EXPECT_EQ(r.err,
              "rotorforge: aerofoil choice 7 designs with the aerofoil of an earlier run, "
              "and none is there (" +
                  c.named + ": No such file or directory); choose 1, 2 or 3\n");
    // Stopped before the design: the console ends with the announcement of the design.
    const std::string tail = menu_end + " Creating of geometry. Please wait...\r\n";
    EXPECT_TRUE(r.out.size() >= tail.size() &&
                r.out.compare(r.out.size() - tail.size(), tail.size(), tail) == 0)
        << c.named << ":\n"
        << r.out;
  }
}

TEST(Startup, BadAnswerEndsTheRunWithTheReaderMessage) {
  WorkDir dir;
  const Outcome r = e2e::run(dir, "three\n");
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.err.find("Bad integer for item 1 in list input"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("Numb"), std::string::npos) << r.err;
}

}  // namespace
