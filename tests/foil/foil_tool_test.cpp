// The rotorforge-foil program as a user runs it, with a stand-in for XFOIL: both file layouts
// imported and installed exactly as rotorforge's aerofoil menu installs a section; every kind of
// bad input ends with one line, a non-zero status and nothing written.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "aerofoil/foildata.h"
#include "companion/fill_record.h"
#include "companion/working_name.h"
#include "foil/polar.h"
#include "support/shell.h"
#include "support/workdir.h"
#include "util/session_lock.h"

namespace {

namespace fs = std::filesystem;
using support::ScratchDir;
using ToolRun = support::ShellRun;

const std::string kFake = std::string(ROTORFORGE_SOURCE_DIR) + "/tests/foil/fake_xfoil.sh";

ToolRun run_tool(const ScratchDir& dir, const std::string& args, const std::string& env = "") {
  return support::run_in(dir.path(),
                         env + " '" + ROTORFORGE_FOIL_BINARY + "' " + args + " < /dev/null", ".out",
                         ".err");
}

// A working directory with an empty Data/ and Temp/.
struct FoilDir : ScratchDir {
  FoilDir() : ScratchDir("rotorforge-foil-tool-") { fs::create_directory(path() / "Data"); }
  std::vector<std::string> listing(const std::string& sub) const {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(path() / sub)) {
      names.push_back(e.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
  }
};

// A section of 25 points (a NACA 0012 shape) in Selig or Lednicer layout.
// `bulge` bends the upper side down by bulge x (1 - x); the points are written as
// (scale x + dx, scale y + dy).
std::string section_file(bool lednicer, double bulge = 0.0, double scale = 1.0, double dx = 0.0,
                         double dy = 0.0) {
  std::vector<std::pair<double, double>> upper;  // nose to tail
  for (int k = 0; k <= 12; ++k) {
    const double u = k / 12.0, x = u * u;
    const double yt = 0.6 * (0.2969 * u - 0.1260 * x - 0.3516 * x * x + 0.2843 * x * x * x -
                             0.1036 * x * x * x * x);
    upper.push_back({x, yt + bulge * x * (1.0 - x)});
  }
  auto line = [&](double x, double y) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%9.6f %9.6f\n", scale * x + dx, scale * y + dy);
    return std::string(buf);
  };
  std::string text = "Test Foil\n";
  if (lednicer) {
    text += "13. 13.\n\n";
    for (const auto& p : upper) text += line(p.first, p.second);
    text += "\n";
    for (const auto& p : upper) text += line(p.first, -p.second);
  } else {
    for (auto it = upper.rbegin(); it != upper.rend(); ++it) text += line(it->first, it->second);
    for (std::size_t i = 1; i < upper.size(); ++i) text += line(upper[i].first, -upper[i].second);
  }
  return text;
}

const std::string kFakeXfoil = " --xfoil '" + kFake + "'";

TEST(FoilTool, SeligAndLednicerImportedAndInstalledAsTheMenuWould) {
  for (bool lednicer : {false, true}) {
    SCOPED_TRACE(lednicer ? "Lednicer" : "Selig");
    FoilDir dir;
    dir.write("testfoil.dat", section_file(lednicer));
    const ToolRun r = run_tool(dir, "import testfoil.dat --jobs 2" + kFakeXfoil);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "");  // no terminal, so no progress bar
    EXPECT_NE(r.out.find("wrote Data/testfoil.dat and Data/Lifttestfoil.dat"), std::string::npos)
        << r.out;
    EXPECT_NE(r.out.find("installed testfoil as the working aerofoil"), std::string::npos);
    EXPECT_EQ(dir.listing("Data"), (std::vector<std::string>{"Lifttestfoil.dat", "testfoil.dat"}));
    const std::string polar = dir.read("Data/Lifttestfoil.dat");
    EXPECT_EQ(std::count(polar.begin(), polar.end(), '\n'), 322);
    EXPECT_EQ(polar.substr(0, 4), "-10 ");

    // The working files are those the aerofoil menu writes from the same pair of files.
    support::DataWorkDir menu("rotorforge-foil-menu-", dir / "Data");
    foildata::replace("Data/Lifttestfoil.dat", "Data/testfoil.dat");
    for (const char* f : {"Temp/Lift_Drag.dat", "Temp/Profil.dat", "Temp/ProfilI.dat"}) {
      EXPECT_EQ(dir.read(f), menu.read(f)) << f;
      EXPECT_FALSE(menu.read(f).empty()) << f;
    }
    EXPECT_EQ(working_name::name_of(dir.read(working_name::kPath), dir.read("Temp/Lift_Drag.dat")),
              "testfoil");
  }
}

TEST(FoilTool, OutlineInAnyScaleGivesTheUnitChordPolar) {
  FoilDir dir;
  dir.write("unit.dat", section_file(false));
  ASSERT_EQ(run_tool(dir, "import unit.dat --no-install" + kFakeXfoil).status, 0);
  struct Case {
    const char* what;
    double scale, dx, dy;
  };
  for (const Case& c :
       {Case{"percent", 100.0, 0.0, 0.0}, Case{"millimetres, moved", 250.0, 40.0, -7.0}}) {
    SCOPED_TRACE(c.what);
    dir.write("scaled.dat", section_file(false, 0.0, c.scale, c.dx, c.dy));
    const ToolRun r = run_tool(dir, "import scaled.dat --no-install --force" + kFakeXfoil);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(dir.read("Data/Liftscaled.dat") == dir.read("Data/Liftunit.dat"));
    std::istringstream a(dir.read("Data/scaled.dat")), b(dir.read("Data/unit.dat"));
    double va = 0.0, vb = 0.0;
    int n = 0;
    for (; a >> va && b >> vb; ++n) EXPECT_NEAR(va, vb, 2e-6) << n;
    EXPECT_EQ(n, 200);
  }
}

TEST(FoilTool, UseInstallsAnImportedSection) {
  FoilDir dir;
  dir.write("a.dat", section_file(false));
  ASSERT_EQ(run_tool(dir, "import a.dat --no-install --name alpha" + kFakeXfoil).status, 0);
  EXPECT_FALSE(dir.exists("Temp/Lift_Drag.dat"));
  ToolRun r = run_tool(dir, "use alpha");
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out,
            "installed alpha as the working aerofoil: answer 4 at rotorforge's aerofoil "
            "menu\n");
  EXPECT_TRUE(dir.exists("Temp/ProfilI.dat"));
  r = run_tool(dir, "use beta");
  EXPECT_NE(r.status, 0);
  EXPECT_NE(r.err.find("Data/Liftbeta.dat"), std::string::npos) << r.err;
  r = run_tool(dir, "use ../a");
  EXPECT_NE(r.status, 0);

  // A polar no section can have is not installed.
  std::string polar = dir.read("Data/Liftalpha.dat");  // its second record is the -9 deg row
  const auto second = polar.find('\n') + 1;
  polar.replace(second, polar.find('\n', second) - second, "-9 198 0.05");
  dir.write("Data/Liftgamma.dat", polar);
  fs::copy_file(dir / "Data/alpha.dat", dir / "Data/gamma.dat");
  const std::string before = dir.read("Temp/Lift_Drag.dat");
  r = run_tool(dir, "use gamma");
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("Data/Liftgamma.dat: Re 42000, -9 deg: Cl 198 (|Cl| above 3)"),
            std::string::npos)
      << r.err;
  EXPECT_TRUE(dir.read("Temp/Lift_Drag.dat") == before);
}

TEST(FoilTool, BadInputOneLineNonZeroNothingWritten) {
  const std::string good = section_file(false);
  const std::string body = good.substr(good.find('\n') + 1);
  struct Case {
    const char* what;
    std::string file;  // content of in.dat ("" : none)
    std::string args;
    std::string env;
    const char* message;
  };
  // Both sides from the nose to the tail, without the counts that would say so.
  std::string no_counts = section_file(true);
  no_counts.erase(no_counts.find("13. 13.\n"), 8);
  const Case cases[] = {
      {"unreadable number", "x\n1 0\n0.5 zero\n" + body, "import in.dat", "",
       "in.dat: line 3 is not a pair of numbers"},
      {"too few points", "x\n1 0\n0.5 0.05\n0 0\n0.5 -0.05\n1 0\n", "import in.dat", "",
       "in.dat: too few points"},
      {"not one closed outline", no_counts, "import in.dat", "", "one closed outline"},
      {"crossing sides", section_file(false, -0.5), "import in.dat", "",
       "sides of the section cross"},
      {"no such file", "", "import nosuch.dat", "", "nosuch.dat: no such file"},
      {"missing xfoil", good, "import in.dat --xfoil /nonexistent/xfoil", "",
       "apt-get install xfoil"},
      {"XFOIL fails at one Reynolds number", good, "import in.dat", "FAKE_XFOIL_FAIL_RE=640000",
       "XFOIL failed at Re 640000"},
      {"impossible polar", good, "import in.dat", "FAKE_XFOIL_CL_SCALE=40",
       "physically impossible polar at Re 42000, -10 deg: Cl -27.981 (|Cl| above 3)"},
      {"bad name", good, "import in.dat --name ../up", "", "--name ../up"},
      {"bad Reynolds number", good, "import in.dat --reynolds 100000", "", "100000"},
      {"bad angles", good, "import in.dat --angles=5,14,1", "", "FROM < 0 < TO"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    FoilDir dir;
    if (!c.file.empty()) dir.write("in.dat", c.file);
    std::string args = c.args;
    if (args.find("--xfoil") == std::string::npos) args += kFakeXfoil;
    const ToolRun r = run_tool(dir, args, c.env);
    EXPECT_NE(r.status, 0);
    EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
    EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
    EXPECT_TRUE(dir.listing("Data").empty());
    EXPECT_TRUE(dir.listing("Temp").empty());
  }
}

// Rows of block `k` (lowest Reynolds number 0) of a polar file: angle, Cl, Cd.
std::vector<std::array<double, 3>> block_rows(const std::string& polar, int k) {
  std::istringstream in(polar);
  std::vector<std::array<double, 3>> rows;
  std::array<double, 3> r{};
  for (int i = 0; in >> r[0] >> r[1] >> r[2]; ++i) {
    if (i / 46 == k) rows.push_back(r);
  }
  return rows;
}

// A sweep that stops short at 42000 is tried harder; what still does not converge is filled
// from the block's own last converged angle, never from another Reynolds number's block, and
// the fill is said in the summary and recorded beside the polar.
TEST(FoilTool, ShortSweepsTriedHarderAndWhatIsStillFilledIsSaid) {
  FoilDir dir;
  dir.write("in.dat", section_file(false));
  // Angles 5.5 ... 7 converge only when the sweep comes back from 7.5: the bridge reaches them.
  ToolRun r =
      run_tool(dir, "import in.dat --no-install" + kFakeXfoil, "FAKE_XFOIL_GAP=42000:5:7.5");
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(
      r.out.find("  42000     1.320   12      XFOIL   24.4     4       XFOIL   -8..12         "
                 "12 / -8       C/base    no\n"),
      std::string::npos)
      << r.out;
  EXPECT_NE(r.out.find("nothing filled"), std::string::npos) << r.out;
  EXPECT_FALSE(dir.exists("Data/in.fill"));
  const std::string bridged = dir.read("Data/Liftin.dat");
  EXPECT_EQ(block_rows(bridged, 0), block_rows(bridged, 1));

  // Nothing beyond 4.5 deg ever converges at 42000.
  r = run_tool(dir, "import in.dat --no-install --force" + kFakeXfoil, "FAKE_XFOIL_STOP=42000:4.5");
  ASSERT_EQ(r.status, 0) << r.err;
  const std::string record =
      "42000 5 20 not converged: Viterna-Corrigan from 4.5 deg, as if the section stalled there";
  EXPECT_NE(r.out.find("FILLED (no converged XFOIL point; recorded in Data/in.fill):\n    "
                       "Re 42000: 5..20 deg not converged"),
            std::string::npos)
      << r.out;
  EXPECT_NE(r.out.find("wrote Data/in.dat, Data/Liftin.dat and Data/in.fill"), std::string::npos);
  EXPECT_NE(dir.read("Data/in.fill").find("\n" + record + "\n"), std::string::npos);
  const auto fills = fill_record::read(dir / "Data", "in");
  ASSERT_EQ(fills.size(), 1u);
  EXPECT_EQ(fill_record::describe(fills[0]),
            "Re 42000: 5..20 deg not converged: Viterna-Corrigan from 4.5 deg, as if the section "
            "stalled there");
  const std::string polar = dir.read("Data/Liftin.dat");
  const auto low = block_rows(polar, 0), next = block_rows(polar, 1);
  double best_converged = 0.0, best_filled = 0.0;
  for (int i = 0; i < 46; ++i) {
    const double ld = low[i][1] / low[i][2];
    if (low[i][0] <= 4) {
      EXPECT_EQ(low[i], next[i]) << low[i][0];  // the block's own converged points
      best_converged = std::max(best_converged, ld);
    } else if (low[i][0] <= 20) {
      best_filled = std::max(best_filled, ld);
    }
  }
  EXPECT_LE(best_filled, best_converged);
  EXPECT_LT(low[12 + 10][1], next[12 + 10][1]);  // never the 83000 block's lift at 12 deg

  // A later import of the same name that fills nothing takes the record away.
  r = run_tool(dir, "import in.dat --no-install --force" + kFakeXfoil);
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_FALSE(dir.exists("Data/in.fill"));
}

// The shipped sections are never replaced, nor put into the menu's Data/ by an import; another
// section's files only with --force. A refusal names the files and writes nothing.
// At a low Reynolds number a laminar bubble can make the lift dip and recover: XFOIL converged
// far beyond the dip, so its points are used up to the real stall. Before, the first drop of
// 0.05 was taken as stall at 4.5 deg and everything above came from the extension; the summary
// then showed a "max Cl" of the extension at 35 deg without saying so.
TEST(FoilTool, LiftDipBelowStallIsNoStallAndEveryFigureSaysWhereItComesFrom) {
  FoilDir dir;
  dir.write("in.dat", section_file(false));
  // At 42000 the lift is 0.2 lower at 5, 5.5 and 6 deg, back on its line from 6.5 deg.
  const ToolRun r = run_tool(dir, "import in.dat --no-install --reynolds 42000,160000" + kFakeXfoil,
                             "FAKE_XFOIL_DIP=42000:5:0.2");
  ASSERT_EQ(r.status, 0) << r.err;
  // Both blocks stall at 12 deg (the made-up section's stall) and take XFOIL's points up to it:
  // the 42000 block holds the dip (0.11 a - 0.2 at 5 and 6 deg), and above the dip XFOIL's own
  // 0.11 a, equal to the 160000 block.
  const std::string polar = dir.read("Data/Liftin.dat");
  const auto low = block_rows(polar, 0), high = block_rows(polar, 2);
  ASSERT_EQ(low.size(), 46u);
  EXPECT_DOUBLE_EQ(low[10 + 4][1], 0.44);
  EXPECT_DOUBLE_EQ(low[10 + 5][1], 0.35);
  EXPECT_DOUBLE_EQ(low[10 + 6][1], 0.46);
  for (int a = 7; a <= 35; ++a) EXPECT_EQ(low[10 + a], high[10 + a]) << a;
  EXPECT_DOUBLE_EQ(low[10 + 12][1], 1.32);
  // Every figure of the summary says where it comes from; the two blocks not run are said to be
  // not computed, not unconverged.
  EXPECT_NE(r.out.find("  from    max L/D  at deg  from  "), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("  42000     1.320   12      XFOIL   "), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("XFOIL = a converged XFOIL point, V-C = Viterna-Corrigan past stall"),
            std::string::npos);
  EXPECT_EQ(r.out.find("FILLED"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("NOT COMPUTED (only --reynolds were run; recorded in Data/in.fill):\n"
                       "    Re 83000: not computed by XFOIL, copied from the block of Re 160000 "
                       "(-10..35 deg)\n"),
            std::string::npos)
      << r.out;
}

// A figure taken from the extension or from a fill says so.
TEST(FoilTool, RowSourceOfEveryAngle) {
  foil::BlockInfo info;
  info.positive = {12.5, true};
  info.negative = {-6.0, false};
  const std::vector<foil::FilledRows> filled = {{-10, -7, -6.0}};
  const struct {
    int alpha;
    const char* source;
  } cases[] = {{-10, "filled"}, {-7, "filled"}, {-6, "XFOIL"}, {0, "XFOIL"},
               {12, "XFOIL"},   {13, "V-C"},    {35, "V-C"}};
  for (const auto& c : cases) {
    EXPECT_STREQ(foil::row_source_name(foil::row_source(info, filled, c.alpha)), c.source)
        << c.alpha;
  }
  EXPECT_STREQ(foil::row_source_name(foil::row_source(info, {}, -7)), "V-C");
}

TEST(FoilTool, ShippedSectionsNeverReplacedOthersOnlyWithForce) {
  struct Case {
    const char* what;
    std::vector<std::string> present;  // files in Data/ before, each holding "old\n"
    std::string args;
    int status;
    const char* message;  // on the error stream ("" : none)
  };
  const Case cases[] = {
      {"shipped",
       {"sg6043.dat", "Liftsg6043.dat"},
       "import in.dat --name sg6043",
       1,
       "sg6043 is shipped with rotorforge (aerofoil 2 of its menu): Data/sg6043.dat and "
       "Data/Liftsg6043.dat are never replaced"},
      {"shipped, forced",
       {"sg6043.dat", "Liftsg6043.dat"},
       "import in.dat --name sg6043 --force",
       1,
       "Data/sg6043.dat and Data/Liftsg6043.dat are never replaced"},
      {"shipped name into the menu's Data/",
       {},
       "import naca4432",
       1,
       "naca4432 is shipped with rotorforge (aerofoil 3 of its menu): Data/naca4432.dat and "
       "Data/Liftnaca4432.dat are never replaced"},
      {"shipped, regenerated elsewhere", {}, "import naca4412 --data-dir fresh", 0, ""},
      {"imported before",
       {"mine.dat", "Liftmine.dat"},
       "import in.dat --name mine",
       1,
       "Data/mine.dat and Data/Liftmine.dat exist: give --force to replace them"},
      {"half imported before",
       {"Liftmine.dat"},
       "import in.dat --name mine",
       1,
       "Data/Liftmine.dat exists: give --force to replace it"},
      {"imported before, forced",
       {"mine.dat", "Liftmine.dat"},
       "import in.dat --name mine --force",
       0,
       ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    FoilDir dir;
    dir.write("in.dat", section_file(false));
    fs::create_directory(dir / "fresh");
    for (const auto& f : c.present) dir.write("Data/" + f, "old\n");
    const ToolRun r = run_tool(dir, c.args + " --no-install" + kFakeXfoil);
    EXPECT_EQ(r.status, c.status) << r.err;
    if (c.status != 0) {
      EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
      std::vector<std::string> sorted = c.present;
      std::sort(sorted.begin(), sorted.end());
      EXPECT_EQ(dir.listing("Data"), sorted);
      for (const auto& f : c.present) EXPECT_EQ(dir.read("Data/" + f), "old\n") << f;
    } else {
      for (const auto& f : c.present) EXPECT_NE(dir.read("Data/" + f), "old\n") << f;
    }
  }
}

TEST(FoilTool, BusyWorkingDirectoryIsLeftAlone) {
  FoilDir dir;
  dir.write("in.dat", section_file(false));
  const auto held = session_lock::try_lock(dir.path().string());
  ASSERT_TRUE(held.lock.held());
  for (const std::string& args : {"import in.dat" + kFakeXfoil, std::string("use in")}) {
    const ToolRun r = run_tool(dir, args);
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("in use by another session"), std::string::npos) << r.err;
    EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
    EXPECT_TRUE(dir.listing("Data").empty());
    EXPECT_TRUE(dir.listing("Temp").empty());
  }
}

TEST(FoilTool, HelpAndUsage) {
  FoilDir dir;
  ToolRun r = run_tool(dir, "--help");
  EXPECT_EQ(r.status, 0);
  EXPECT_NE(r.out.find("import"), std::string::npos);
  EXPECT_NE(r.out.find("use"), std::string::npos);
  r = run_tool(dir, "");
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.err, "rotorforge-foil: A subcommand is required (see --help)\n");
  r = run_tool(dir, "import --help");
  EXPECT_EQ(r.status, 0);
  EXPECT_NE(r.out.find("--reynolds"), std::string::npos);
}

}  // namespace
