// rotorforge-analyse on real sessions: the exported blade gives the session's tables bit for
// bit; a blade of several sections with a round root; bad files and command lines.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "analyse/blade_file.h"
#include "loads/run.h"
#include "loads/session.h"
#include "performance/sweep.h"
#include "support/kit.h"
#include "support/shell.h"
#include "util/catalogue.h"

namespace {

using namespace support::kit;
namespace fs = std::filesystem;

const std::string kSite = "3\n20\n5\n10\n0\n";
// The README's example session with every turbine type once.
const std::string kAllSweeps = "3\n0.15\n1.5\n10\n0\n2\n5\n1\n1\n1\n" + kSite + "2\n" + kSite +
                               "200\n3\n" + kSite + "300\n4\n" + kSite + "300\n1500\n0\n";

class Session : public support::SessionDir {
 public:
  explicit Session(const std::string& answers) : support::SessionDir("rotorforge-analyse-") {
    if (answers.empty()) return;
    write(".answers", answers);
    const support::ShellRun r =
        support::run_in(path(), "'" + std::string(ROTORFORGE_BINARY) + "' < .answers");
    if (r.status != 0) throw std::runtime_error("rotorforge failed: " + r.err);
  }
};

support::ShellRun analyse(const fs::path& dir, const std::string& args) {
  return support::run_in(dir, "'" + std::string(ROTORFORGE_ANALYSE_BINARY) + "' " + args);
}

TEST(AnalyseExport, TheExportedBladeGivesTheSessionsTablesBitForBit) {
  Session s(kAllSweeps);
  const auto ex = analyse(s.path(), "--export . --blades 3 -o blade.toml");
  ASSERT_EQ(ex.status, 0) << ex.err;
  EXPECT_EQ(ex.out, "wrote blade.toml (12 stations, 10 elements, section sg6043)\n");
  const auto run = analyse(s.path(),
                           "blade.toml --two-speed 200 --constant-speed 300 "
                           "--pitch-speed 300 --power-limit 1500");
  ASSERT_EQ(run.status, 0) << run.err;
  // The four tables as the session wrote them, byte for byte (23 rows each, CP to four decimals,
  // powers to a milliwatt, the energy lines).
  for (int t = 1; t <= 4; ++t) {
    SCOPED_TRACE(t);
    EXPECT_EQ(slurp(s.path() / "Result/analysis/blade" / ("energy" + std::to_string(t) + ".out")),
              slurp(s.path() / "Result" / ("Energy" + std::to_string(t) + ".out")));
  }
  // Beyond the four decimals: radii and twists are the session's bit for bit; a relative chord
  // is the file's chord in metres over the tip radius, and not every double is such a quotient,
  // so a chord may lie an ulp away.
  const loads::Design d = loads::read_design(s.path());
  const blade_file::File f = blade_file::read(s.path() / "blade.toml", s.path() / "Data");
  const blade::Blade b = blade_file::cut(f, *f.elements, s.path() / "Data");
  ASSERT_EQ(b.r.size(), d.rotor.r.size());
  EXPECT_TRUE(same_bits(b.dr, d.rotor.dr));
  for (std::size_t i = 0; i < b.r.size(); ++i) {
    EXPECT_TRUE(same_bits(b.r[i], d.rotor.r[i])) << i;
    EXPECT_NEAR(b.chord[i], d.rotor.chord[i], 2.3e-16 * d.rotor.chord[i]) << i;
    EXPECT_TRUE(same_bits(b.twist[i], d.rotor.twist[i])) << i;
  }
  // Every row's power coefficient of the four sweeps, to 1e-12.
  blade::Blade session{3,          d.rotor.nbe, d.rotor.rhub,  d.rotor.rtip,
                       d.rotor.dr, d.rotor.r,   d.rotor.twist, d.rotor.chord};
  const sweep::Site site{3.0, 20.0, 5.0, 10.0, 0.0};
  const sweep::Rows mine[] = {
      sweep::variable_speed_rows(b, site), sweep::two_speed_rows(b, site, 200.0),
      sweep::constant_speed_rows(b, site, 300.0), sweep::pitch_rows(b, site, 300.0, 1500.0)};
  const sweep::Rows theirs[] = {sweep::variable_speed_rows(session, site),
                                sweep::two_speed_rows(session, site, 200.0),
                                sweep::constant_speed_rows(session, site, 300.0),
                                sweep::pitch_rows(session, site, 300.0, 1500.0)};
  std::size_t same = 0;
  for (int t = 0; t < 4; ++t) {
    for (std::size_t j = 0; j < mine[t].size(); ++j) {
      EXPECT_NEAR(mine[t][j].cp, theirs[t][j].cp, 1e-12 * std::fabs(theirs[t][j].cp))
          << "type " << t + 1 << " row " << j;
      same += mine[t][j].cp == theirs[t][j].cp ? 1 : 0;
    }
  }
  RecordProperty("rows_bit_for_bit", static_cast<int>(same));
  EXPECT_TRUE(same_bits(b.rtip, d.rotor.rtip));
  EXPECT_TRUE(same_bits(b.rhub, d.rotor.rhub));
  // The page carries the session's bar of links, two folders up to Result/, and the list the bars
  // are drawn from (rewritten after the page) now holds it.
  const std::string page = slurp(s.path() / "Result/analysis/blade/index.html");
  EXPECT_NE(page.find("<nav class=\"siblings\" data-self=\"analysis/blade/index.html\" "
                      "data-up=\"../../\">"),
            std::string::npos);
  EXPECT_NE(page.find("<script src=\"../../pages/links.js\"></script>"), std::string::npos);
  EXPECT_NE(slurp(s.path() / "Result/pages/links.js")
                .find("[\"analysis/blade/index.html\", \"analysis blade\"]"),
            std::string::npos);
}

// rotorforge-loads on the exported blade file runs the same engine as on the session: the
// variable-speed points are the same operating points, with the same root moments; the mass
// differs only by the straight lines between the file's stations.
TEST(AnalyseExport, LoadsOfTheBladeFileAreTheSessions) {
  Session s("3\n0.15\n1.5\n10\n0\n2\n5\n1\n1\n1\n" + kSite + "0\n");
  ASSERT_EQ(analyse(s.path(), "--export --blades 3 -o blade.toml").status, 0);
  loads::Settings session;
  session.blades = 3;
  const loads::Report a = loads::evaluate(s.path(), session);
  loads::Settings file;
  file.blade_file = s.path() / "blade.toml";
  // A blade file says nothing of the wall and material: the session's (solid wood) are given.
  file.wall = 0.0;
  file.material = 0;
  ASSERT_EQ(a.wall, 0.0);
  ASSERT_EQ(a.material.key, catalogue::kMaterials[0].key);
  const loads::Report b = loads::evaluate(s.path(), file);
  ASSERT_EQ(a.cases.size(), b.cases.size());
  for (std::size_t i = 0; i < a.cases.size(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(a.cases[i].point.U, b.cases[i].point.U);
    EXPECT_NEAR(a.cases[i].point.lambda, b.cases[i].point.lambda, 1e-12);
    EXPECT_NEAR(a.cases[i].root_flap, b.cases[i].root_flap, 1e-9 * std::fabs(a.cases[i].root_flap));
  }
  EXPECT_NEAR(b.mass / a.mass, 1.0, 0.02);
  // A blade of a round root has its loads: the root's elements no lift and the cylinder's drag,
  // the root's section the circle of its chord (a rod of 50 mm: I = pi d^4 / 64).
  s.write("root.toml",
          "blades = 3\nhub_radius = 0.1\n[[station]]\nr = 0.1\nchord = 0.05\n"
          "twist = 20\nsection = \"cylinder\"\n[[station]]\nr = 1\nchord = 0.05\n"
          "twist = 0\nsection = \"sg6043\"\n");
  file.blade_file = s.path() / "root.toml";
  loads::Report root;
  ASSERT_NO_THROW(root = loads::evaluate(s.path(), file));
  const double d = 0.05, pi = 3.14159265358979323846, I = pi * d * d * d * d / 64.0;
  for (const loads::Case& c : root.cases) {
    SCOPED_TRACE(c.point.source);
    const loads::ElementResult& e = c.point.result.elements.front();
    EXPECT_EQ(e.cl, 0.0);
    EXPECT_DOUBLE_EQ(e.cd, 1.2);
    const double edge = c.root_edge + std::copysign(c.gravity, c.root_edge);
    const double sigma =
        std::fabs(c.centrifugal) / (pi * d * d / 4.0) + d / 2.0 * std::hypot(c.root_flap, edge) / I;
    EXPECT_NEAR(c.root_stress * 1e6 / sigma, 1.0, 1e-9);
  }
}

TEST(AnalyseExport, LinearisedBladeShowsItsEnergyLoss) {
  Session s("3\n0.15\n1.5\n10\n0\n2\n5\n1\n1\n0\n");
  ASSERT_EQ(analyse(s.path(), "--export --blades 3 -o blade.toml").status, 0);
  const auto run = analyse(s.path(), "blade.toml --linear-chord 0.5,0.9 --linear-twist 0.5,0.9");
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.out.find("% lost\n"), std::string::npos) << run.out;
  EXPECT_TRUE(fs::is_regular_file(s.path() / "Result/analysis/blade/blade-reshaped.toml"));
  // The reshaped file is a blade file of its own.
  const auto again = analyse(s.path(), "Result/analysis/blade/blade-reshaped.toml");
  EXPECT_EQ(again.status, 0) << again.err;
}

TEST(AnalyseTool, CylinderRootAndAnImportedSectionGiveACurve) {
  Session s("");
  // An imported section is a polar of Data/ under a name of its own.
  fs::copy_file(s.path() / "Data/Liftnaca4432.dat", s.path() / "Data/Liftthick21.dat");
  s.write("root.toml",
          "blades = 3\nhub_radius = 0.1\nelements = 24\n"
          "[[station]]\nr = 0.1\nchord = 0.06\ntwist = 30\nsection = \"cylinder\"\n"
          "[[station]]\nr = 0.25\nchord = 0.06\ntwist = 30\nsection = \"cylinder\"\n"
          "[[station]]\nr = 0.3\nchord = 0.16\ntwist = 20\nsection = \"thick21\"\n"
          "[[station]]\nr = 0.8\nchord = 0.1\ntwist = 5\nsection = \"sg6043\"\n"
          "[[station]]\nr = 1.5\nchord = 0.03\ntwist = -1\nsection = \"sg6043\"\n");
  const auto run = analyse(s.path(), "root.toml --tsr 2:12:0.5");
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.out.find("sections cylinder, thick21, sg6043"), std::string::npos) << run.out;
  const std::string csv = slurp(s.path() / "Result/analysis/root/cp_tsr.csv");
  EXPECT_EQ(csv.rfind("tsr,pitch_deg,cp,ct,cq\n", 0), 0u);
  std::size_t rows = 0;
  double best = 0.0;
  std::istringstream in(csv);
  std::string line;
  std::getline(in, line);
  for (; std::getline(in, line); ++rows) {
    double tsr, pitch, cp, ct, cq;
    ASSERT_EQ(std::sscanf(line.c_str(), "%lf,%lf,%lf,%lf,%lf", &tsr, &pitch, &cp, &ct, &cq), 5);
    EXPECT_LE(cp, 16.0 / 27.0);
    EXPECT_NEAR(cq * tsr, cp, 1e-12);
    best = std::max(best, cp);
  }
  EXPECT_EQ(rows, 21u);
  EXPECT_GT(best, 0.3);

  // The element results are at the best point: the torque of their in-plane forces, B sum(ft r
  // width), turning at lambda U / R, is the best power, CP (rho/2) U^3 pi R^2.
  std::istringstream el(slurp(s.path() / "Result/analysis/root/elements.csv"));
  std::getline(el, line);
  double torque = 0.0, U = 0.0, tsr = 0.0;
  std::size_t elements = 0;
  for (; std::getline(el, line); ++elements) {
    std::vector<std::string> f;
    std::istringstream cells(line);
    for (std::string c; std::getline(cells, c, ',');) f.push_back(c);
    ASSERT_EQ(f.size(), 19u) << line;
    U = std::stod(f[0]);
    tsr = std::stod(f[1]);
    torque += 3.0 * std::stod(f[18]) * std::stod(f[3]) * (1.5 - 0.1) / 24.0;
  }
  EXPECT_EQ(elements, 24u);
  const double rho = static_cast<double>(1.225f);
  const double cp =
      torque * (tsr * U / 1.5) / (0.5 * rho * U * U * U * 3.1415927410125732 * 1.5 * 1.5);
  EXPECT_NEAR(cp, best, 1e-12);
}

TEST(AnalyseTool, BadBladeFilesWriteNothingAndExitTwo) {
  Session s("");
  s.write("bad.toml",
          "blades = 3\nhub_radius = 0.2\n[[station]]\nr = 0.1\nchord = 0.1\n"
          "twist = 1\nsection = \"sg6043\"\n");
  const auto run = analyse(s.path(), "bad.toml");
  EXPECT_EQ(run.status, 2);
  EXPECT_EQ(run.out, "");
  EXPECT_EQ(run.err,
            "bad.toml:3: a blade needs at least two stations, not 1\n"
            "bad.toml:3: station at r = 0.1 m lies inside the hub (hub_radius 0.2 m)\n");
  EXPECT_FALSE(fs::exists(s.path() / "Result/analysis"));
  const auto missing = analyse(s.path(), "none.toml");
  EXPECT_EQ(missing.status, 2);
  EXPECT_EQ(missing.err, "none.toml: cannot be read\n");
  const auto no_o = analyse(s.path(), "--export");
  EXPECT_EQ(no_o.status, 2);
  const auto range = analyse(s.path(), "bad.toml --tsr 5:1:1");
  EXPECT_EQ(range.status, 2);
  EXPECT_FALSE(fs::exists(s.path() / "Result/analysis"));
}

}  // namespace
