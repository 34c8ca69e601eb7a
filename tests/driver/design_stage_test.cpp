#include "driver/design_stage.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <filesystem>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "aerofoil/global.h"
#include "rotor/calc_param.h"
#include "support/bits.h"
#include "support/polars.h"
#include "support/workdir.h"
#include "textio/textio.h"

namespace {

using calc_param::kStations;

// ---------------------------------------------------------------------------------------------
// Progress display.

std::string repeat(std::string_view s, int n) {
  std::string out;
  for (int i = 0; i < n; ++i) out += s;
  return out;
}

TEST(Progress, ExactBytesInAPipe) {
  const std::string first =
      "\xDB" + std::string(45, ' ') + std::string(45, '\b') + "  2%" + std::string(5, '\b');
  EXPECT_EQ(driver::progress_bytes(1, false), first);
  const std::string last = repeat("\xDB", 46) + "100%" + std::string(50, '\b');
  EXPECT_EQ(driver::progress_bytes(46, false), last);
  const std::string mid = repeat("\xDB", 23) + std::string(23, ' ') + std::string(23, '\b') +
                          " 50%" + std::string(27, '\b');
  EXPECT_EQ(driver::progress_bytes(23, false), mid);
}

TEST(Progress, TerminalBlockIsUtf8FullBlock) {
  const std::string first =
      "\xE2\x96\x88" + std::string(45, ' ') + std::string(45, '\b') + "  2%" + std::string(5, '\b');
  EXPECT_EQ(driver::progress_bytes(1, true), first);
  EXPECT_EQ(driver::progress_bytes(46, true),
            repeat("\xE2\x96\x88", 46) + "100%" + std::string(50, '\b'));
}

TEST(Progress, Percentages) {
  std::vector<int> shown;
  for (int i = 1; i <= kStations; ++i) {
    const std::string b = driver::progress_bytes(i, false);
    // 46 characters of bar, 46 - i backspaces, then the I3 field.
    const std::size_t at = 46 + static_cast<std::size_t>(46 - i);
    shown.push_back(std::stoi(b.substr(at, 3)));
    EXPECT_EQ(b.substr(at + 3, 1), "%");
    EXPECT_EQ(b.size(), at + 4 + static_cast<std::size_t>(i + 4));
  }
  const std::vector<int> head(shown.begin(), shown.begin() + 6);
  EXPECT_EQ(head, (std::vector<int>{2, 4, 6, 8, 10, 13}));
  EXPECT_EQ(shown.back(), 100);
  for (int i = 1; i <= kStations; ++i) EXPECT_EQ(shown[i - 1], i * 100 / 46);
}

// ---------------------------------------------------------------------------------------------
// The whole starting design: console dialogue, files, and the laws of the designed blade.

// A fresh working directory with a copy of the shipped Data/, Temp/ and Result/.
class WorkDir : public support::DataWorkDir {
 public:
  WorkDir()
      : support::DataWorkDir("rotorforge_starting_design_",
                             std::filesystem::path(ROTORFORGE_SOURCE_DIR) / "Data") {}
};

const char* const kMenu =
    "\r\n"
    "             Selection of aerofoil\r\n"
    "       =============================================\r\n"
    "       =           1 - NACA4412                    =\r\n"
    "       =           2 - sg6043                      =\r\n"
    "       =           3 - NACA4432                    =\r\n"
    "       =============================================\r\n"
    "           Please select an option by entering the\r\n"
    "            associated number followed by <return>.    \r\n";

// param for 3 blades with `answers` on the console: what the console showed, the laws, and
// the run-ending error if there was one (status 0 when the design ran to its end).
struct DesignRun {
  std::string console;
  calc_param::Coeffs a{}, b{};
  int status = 0;
  std::string error;
};

DesignRun run_design(const std::string& answers, std::int64_t Numb = 3) {
  std::istringstream in(answers);
  std::ostringstream out;
  DesignRun run;
  {
    textio::Console con(in, out);
    try {
      driver::starting_design(con, Numb, 0.3, 2.0, run.a, run.b);
    } catch (const textio::RunError& e) {
      run.status = e.status();
      run.error = e.what();
    }
  }
  run.console = out.str();
  return run;
}

TEST(StartingDesign, DialogueProgressAndLaws) {
  WorkDir wd;
  const DesignRun run = run_design("2\n");
  ASSERT_EQ(run.status, 0) << run.error;
  const calc_param::Coeffs& a = run.a;
  const calc_param::Coeffs& b = run.b;

  std::string expect = kMenu;
  expect += " Creating of geometry. Please wait...\r\n";
  for (int i = 1; i <= kStations; ++i) expect += driver::progress_bytes(i, false);
  EXPECT_EQ(run.console, expect);
  EXPECT_TRUE(std::filesystem::exists("Temp/Lift_Drag.dat"));

  // The laws are the fits of the station-by-station design on the chosen polar.
  support::load_shipped_polar(support::kShippedPolars[1]);
  std::array<double, kStations> x{}, c{}, t{};
  double dx = 0.0;
  calc_param::stations(0.3, 2.0, x, dx);
  calc_param::DesignState s;
  const double ld = calc_param::design_tip_speed_ratio(3);
  for (int i = 0; i < kStations; ++i) {
    calc_param::design_station(3, 2.0, ld, x[i], i > 0, i > 0 ? t[i - 1] : 0.0, s, c[i], t[i]);
  }
  for (int i = 1; i < kStations; ++i) EXPECT_LE(t[i], t[i - 1]);
  calc_param::Coeffs ea{}, eb{};
  calc_param::fit(x, dx, c, ea);
  calc_param::fit(x, dx, t, eb);
  for (int k = 0; k < 5; ++k) {
    EXPECT_SAME_BITS(a[k], ea[k]);
    EXPECT_SAME_BITS(b[k], eb[k]);
  }
  // A plausible blade: chords within the candidate range, fitted law close to them.
  for (int i = 1; i < kStations; i += 2) {
    EXPECT_GT(c[i], 0.01);
    EXPECT_LE(c[i], 0.3);
  }
}

TEST(StartingDesign, UnreadableChoiceEndsTheRun) {
  WorkDir wd;
  const DesignRun run = run_design("one\n");
  EXPECT_EQ(run.status, 2);
  EXPECT_EQ(run.console, kMenu);
}

TEST(StartingDesign, ChoiceOutsideMenuUsesOldWorkingFiles) {
  WorkDir wd;
  // No working files yet: the run ends, saying that there is no earlier aerofoil.
  const DesignRun none = run_design("7\n");
  EXPECT_EQ(none.status, 1);
  EXPECT_EQ(none.error,
            "aerofoil choice 7 designs with the aerofoil of an earlier run, and none is there "
            "(Temp/Lift_Drag.dat: No such file or directory); choose 1, 2 or 3");
  EXPECT_EQ(none.console, std::string(kMenu) + " Creating of geometry. Please wait...\r\n");

  // Working files left by an earlier run are used as they are.
  std::filesystem::copy_file(std::filesystem::path("Data") / support::kShippedPolars[2],
                             "Temp/Lift_Drag.dat");
  for (const char* outline : {"Temp/Profil.dat", "Temp/ProfilI.dat"}) {
    std::filesystem::copy_file("Data/naca4432.dat", outline);
  }
  const auto before = std::filesystem::last_write_time("Temp/Lift_Drag.dat");
  const DesignRun old = run_design("0\n", 2);
  ASSERT_EQ(old.status, 0) << old.error;
  EXPECT_EQ(std::filesystem::last_write_time("Temp/Lift_Drag.dat"), before);
  const std::string bar = driver::progress_bytes(46, false);
  EXPECT_EQ(old.console.substr(old.console.size() - bar.size()), bar);
  EXPECT_SAME_BITS(static_cast<double>(global::alpha_array[6][45]), 35.0);
  // First record of the NACA 4432 polar: its own 42000 block at -10 deg (once a copy of the
  // 330000 block's -0.3663).
  EXPECT_SAME_BITS(global::cl_array[0][0], -0.393411);
}

}  // namespace
