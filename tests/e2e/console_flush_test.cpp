// What the console shows while the program works: every line that announces a long computation,
// and every line of the optimiser, reaches a person at a terminal, and a front end reading a
// pipe, before that computation ends.
//
// The program is held in the middle of each computation by a named pipe in place of the working
// file it opens there; while it waits at that open, the line must already be on the console.
// Nothing is timed: a line that was kept back would only come with the next prompt, after the
// open the test has not yet let through, so the wait for it would end with the patience.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "e2e/child_process.h"
#include "e2e/run_binary.h"

namespace {

using e2e::Child;
using e2e::ConsoleKind;
using e2e::Gate;
using e2e::WorkDir;

const std::string kOptimizing = " Optimizing of geometry. Please wait...\r\n";

// The session of the checked-in expected console (3 blades, 0.15 m to 1.5 m, 2 elements,
// NACA 4412, mean wind 5 m/s; the same polar read from an earlier run's copy): the optimiser's
// first line (design wind speed) and the lines of the five chord-law searches of its first sweep,
// as that console shows them.
std::vector<std::string> first_optimiser_lines() {
  const std::string console = e2e::slurp(std::filesystem::path(ROTORFORGE_SOURCE_DIR) /
                                         "tests/e2e/expected/full/console.txt");
  std::vector<std::string> lines;
  std::size_t at = console.find(kOptimizing);
  if (at == std::string::npos) return lines;
  at += kOptimizing.size();
  for (int i = 0; i < 6; ++i) {
    const std::size_t end = console.find("\r\n", at);
    lines.push_back(console.substr(at, end + 2 - at));
    at = end + 2;
  }
  return lines;
}

class ConsoleFlush : public testing::TestWithParam<ConsoleKind> {};

TEST_P(ConsoleFlush, LinesBeforeLongWorkArriveWhileItRuns) {
  if (GetParam() == ConsoleKind::Terminal && !e2e::have_terminal()) {
    GTEST_SKIP() << "no pseudo-terminal here";
  }
  const std::vector<std::string> optimiser = first_optimiser_lines();
  ASSERT_EQ(optimiser.size(), 6u);
  // An earlier run that chose NACA 4412 and ended at the next question leaves its aerofoil in
  // the working files; this run designs with it (choice 4), so that it reads the polar back.
  WorkDir earlier;
  e2e::run(earlier, "3\n0.15\n1.5\n2\n0\n1\n");
  const std::string polar_copy = e2e::slurp(earlier / "Temp/Lift_Drag.dat");
  ASSERT_FALSE(polar_copy.empty());
  WorkDir dir;
  for (const char* outline : {"Temp/Profil.dat", "Temp/ProfilI.dat"}) {
    std::filesystem::copy_file(earlier / outline, dir / outline);
  }
  // Temp/graph.tmp is opened at start-up and again by option 1 right after its "Please
  // wait..."; Temp/Lift_Drag.dat, the earlier aerofoil's polar, is read right after "Creating of
  // geometry. Please wait..."; Temp/Parameterst1.in is written once, when the optimiser has
  // ended, after every line it shows.
  Gate plot(dir / "Temp/graph.tmp");
  Gate polar(dir / "Temp/Lift_Drag.dat");
  Gate twist(dir / "Temp/Parameterst1.in");
  Child child(dir.path(), GetParam());
  std::string ignored;
  ASSERT_TRUE(plot.pass_writer(ignored)) << "start-up never opened Temp/graph.tmp";

  child.send("3\n0.15\n1.5\n2\n0\n4\n");
  ASSERT_TRUE(child.wait_for(" Creating of geometry. Please wait...\r\n"))
      << "not shown while the program waits to load the polar:\n"
      << child.console();
  ASSERT_TRUE(polar.pass_reader(polar_copy));

  ASSERT_TRUE(child.wait_for(" Enter statistical average wind speed at 10m high (m/s), Umid="));
  child.send("5\n");
  ASSERT_TRUE(child.wait_for(kOptimizing)) << "not shown while the optimiser starts:\n"
                                           << child.console();
  ASSERT_TRUE(child.wait_for(optimiser[0])) << "design wind speed line held back:\n"
                                            << child.console();
  for (std::size_t i = 1; i < optimiser.size(); ++i) {
    ASSERT_TRUE(child.wait_for(optimiser[i])) << "line " << i << " of the optimiser held back:\n"
                                              << child.console();
  }
  // Held while the optimiser writes its laws: the blade is not built yet.
  EXPECT_EQ(child.console().find("Selection type of blade"), std::string::npos);
  ASSERT_TRUE(twist.pass_writer(ignored)) << "the optimiser never wrote Temp/Parameterst1.in";
  EXPECT_EQ(ignored.substr(0, 1), " ");

  child.send("2\n1\n1\n");  // hollow, 1 mm wall, wood
  ASSERT_TRUE(child.wait_for("associated number followed by <return>.    \r\n"));  // blade type
  ASSERT_TRUE(child.wait_for("associated number followed by <return>.    \r\n"));  // material
  ASSERT_TRUE(child.wait_for("associated number followed by <return>.    \r\n"));  // main menu
  child.send("1\n3\n20\n5\n10\n0\n");
  ASSERT_TRUE(child.wait_for(" Enter altitude of wind turbine (m), SeaL="));
  ASSERT_TRUE(child.wait_for(" Please wait...\r\n")) << "not shown while the sweep starts:\n"
                                                     << child.console();
  plot.open_for_writers();
  ASSERT_TRUE(child.wait_for("associated number followed by <return>.    \r\n"));
  child.send("0\n");
  EXPECT_EQ(child.finish(), 0) << dir.read(".stderr");
}

INSTANTIATE_TEST_SUITE_P(Console, ConsoleFlush,
                         testing::Values(ConsoleKind::Terminal, ConsoleKind::Pipe),
                         [](const testing::TestParamInfo<ConsoleKind>& kind) {
                           return e2e::name_of(kind.param);
                         });

}  // namespace
