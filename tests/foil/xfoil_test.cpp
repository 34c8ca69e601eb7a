// Talking to XFOIL: the command streams of the three sweep variants, reading its polar save
// files, and one sweep run under its limits (with a stand-in program, so no XFOIL is needed).
#include "foil/xfoil.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <string>

#include "support/workdir.h"

namespace {

namespace fs = std::filesystem;

const std::string kFake = std::string(ROTORFORGE_SOURCE_DIR) + "/tests/foil/fake_xfoil.sh";

foil::XfoilSetup setup_for(const std::string& program) {
  foil::XfoilSetup s;
  s.program = program;
  s.shim = ROTORFORGE_FOIL_SHIM;
  s.geometry = "NACA 0012";
  return s;
}

TEST(Commands, TheFourVariants) {
  foil::XfoilSetup s = setup_for("xfoil");
  EXPECT_EQ(foil::commands(s, {160000, foil::Direction::Up, foil::Variant::Base}),
            "PLOP\nG\n\nNACA 0012\nPANE\nOPER\nVISC 160000\nVPAR\nN 9\n\nITER 100\nPACC\n"
            "polar.txt\n\nASEQ 0 22 0.5\nPACC\n\nQUIT\n");
  s.geometry = "LOAD section.dat";
  EXPECT_EQ(foil::commands(s, {42000, foil::Direction::Down, foil::Variant::NoAcceleration}),
            "PLOP\nG\n\nLOAD section.dat\nPANE\nOPER\nVISC 42000\nVPAR\nN 9\nVACC 0\n\nITER 100\n"
            "PACC\npolar.txt\n\nASEQ -0.5 -15 -0.5\nPACC\n\nQUIT\n");
  s.angles = {-6.0, 14.0, 1.0};
  EXPECT_EQ(foil::commands(s, {2400000, foil::Direction::Up, foil::Variant::FinePanels}),
            "PLOP\nG\n\nLOAD section.dat\nPPAR\nN 240\n\n\nOPER\nVISC 2400000\nVPAR\nN 9\n\n"
            "ITER 100\nPACC\npolar.txt\n\nASEQ 0 14 0.5\nPACC\n\nQUIT\n");
  // The bridge: out to the seed, then back towards where the sweep stopped in half steps.
  s.angles = {};
  foil::SweepJob bridge{42000, foil::Direction::Down, foil::Variant::Bridge};
  bridge.seed = -5.0;
  bridge.back_to = -3.0;
  EXPECT_EQ(foil::commands(s, bridge),
            "PLOP\nG\n\nLOAD section.dat\nPANE\nOPER\nVISC 42000\nVPAR\nN 9\n\nITER 300\n"
            "PACC\npolar.txt\n\nASEQ -0.5 -5 -0.5\nASEQ -5 -3 0.25\nPACC\n\nQUIT\n");
}

TEST(ReadPolarFile, ConvergedPointsOnlyFirstOfEachAngle) {
  const std::string text =
      "       XFOIL         Version 6.99\n"
      " Calculated polar for: NACA 0012\n"
      "   alpha    CL        CD       CDp       CM     Top_Xtr  Bot_Xtr\n"
      "  ------ -------- --------- --------- -------- -------- --------\n"
      "   0.000   0.0000   0.00540   0.00100   0.0000   0.9000   0.9000\n"
      "   0.500   0.0600   0.00545   0.00101  -0.0010   0.8000   0.9500\n"
      "   0.500   0.0700   0.00600   0.00101  -0.0010   0.8000   0.9500\n"  // again: dropped
      "   1.000      NaN       NaN   0.00101  -0.0010   0.8000   0.9500\n"  // not converged
      "   1.500 ******** 0.00600\n"                                         // overflowed field
      "   2.000   0.2200   0.00000\n"                                       // no drag
      "   2.500   0.2750   0.00700   0.00102  -0.0020   0.7000   1.0000\r\n"
      "   3.000\n";
  const foil::Points p = foil::read_polar_file(text);
  ASSERT_EQ(p.size(), 3u);
  EXPECT_EQ(p[0].alpha, 0.0);
  EXPECT_EQ(p[1].alpha, 0.5);
  EXPECT_EQ(p[1].cl, 0.06);
  EXPECT_EQ(p[2].alpha, 2.5);
  EXPECT_EQ(p[2].cd, 0.007);
  EXPECT_TRUE(foil::read_polar_file("   0.000   0.0000   0.00540\n").empty());  // no header
}

TEST(RunSweep, PointsStatusAndCpuLimit) {
  support::ScratchDir dir("rotorforge-foil-sweep-");
  foil::XfoilSetup s = setup_for(kFake);
  auto o =
      foil::run_sweep(s, {160000, foil::Direction::Up, foil::Variant::Base}, (dir / "up").string());
  EXPECT_EQ(o.status, "ok");
  EXPECT_EQ(o.points.size(), 45u);  // 0 ... 22 in half degrees
  EXPECT_TRUE(fs::exists(dir / "up" / "cmds.in"));

  // A hung program is stopped by its CPU limit; the points it wrote stay.
  s.cpu_seconds = 1;
  setenv("FAKE_XFOIL_HANG", "1", 1);
  o = foil::run_sweep(s, {160000, foil::Direction::Down, foil::Variant::Base},
                      (dir / "down").string());
  unsetenv("FAKE_XFOIL_HANG");
  EXPECT_EQ(o.status, "CPU limit");
  EXPECT_EQ(o.points.size(), 30u);  // -0.5 ... -15

  // A program that cannot start.
  o = foil::run_sweep(setup_for("/nonexistent/xfoil"),
                      {160000, foil::Direction::Up, foil::Variant::Base}, (dir / "none").string());
  EXPECT_EQ(o.status, "exit 127");
  EXPECT_TRUE(o.points.empty());
}

TEST(FindProgram, PathAndName) {
  EXPECT_EQ(foil::find_program(kFake), kFake);
  EXPECT_EQ(foil::find_program("/nonexistent/xfoil"), "");
  EXPECT_EQ(foil::find_program("surely-no-such-program-here"), "");
  EXPECT_FALSE(foil::find_program("sh").empty());
}

}  // namespace
