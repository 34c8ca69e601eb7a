// rotorforge-loads on real sessions: the power coefficients of its element forces are the
// sweeps' own, bit for bit; what it writes and prints; what it refuses.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <functional>
#include <map>
#include <sstream>

#include "performance/sweep.h"
#include "loads/aero.h"
#include "loads/session.h"
#include "loads_support.h"

namespace loads_test {
namespace {

std::vector<std::string> lines_of(const std::string& text) {
  std::vector<std::string> out;
  std::istringstream in(text);
  for (std::string l; std::getline(in, l);) out.push_back(l);
  return out;
}

std::vector<std::string> fields(const std::string& line) {
  std::vector<std::string> out;
  std::istringstream in(line);
  for (std::string f; std::getline(in, f, ',');) out.push_back(f);
  return out;
}

// Every file under Temp/ and Result/ but Result/loads/, with its bytes.
std::map<std::string, std::string> session_files(const fs::path& dir) {
  std::map<std::string, std::string> files;
  for (const char* sub : {"Temp", "Result"}) {
    for (const auto& e : fs::directory_iterator(dir / sub)) {
      if (e.is_regular_file()) files[e.path().string()] = slurp(e.path());
    }
  }
  return files;
}

TEST(LoadsCp, ElementForcesGiveTheSweepsPowerCoefficientBitForBit) {
  for (int foil = 1; foil <= 3; ++foil) {
    SCOPED_TRACE("aerofoil " + std::to_string(foil));
    Session s(example_answers(foil, kAllSweeps));
    loads::Design d = loads::read_design(s.path());
    d.rotor.blades = 3;
    std::string note;
    const auto points = loads::table_points(s.path(), d, 1.225, note);
    EXPECT_EQ(note, "");
    ASSERT_EQ(points.size(), 4u * 23u);  // every row of the four tables matched
    std::vector<sweep::SolverPoint> calls;
    for (const auto& p : points) calls.push_back({p.U, p.lambda, p.theta});
    std::vector<double> cp(calls.size());
    const sweep::Rotor rotor{3,          d.rotor.nbe, d.rotor.rhub,  d.rotor.rtip,
                              d.rotor.dr, d.rotor.r,   d.rotor.twist, d.rotor.chord};
    sweep::cp_batch(rotor, calls, cp);
    for (std::size_t i = 0; i < points.size(); ++i) {
      const auto& res = points[i].result;
      EXPECT_TRUE(same_bits(loads::element_cp(d.rotor, points[i].lambda, res.elements), cp[i]))
          << points[i].source << " U " << points[i].U;
      EXPECT_TRUE(same_bits(res.cp, cp[i]));
      // Torque times speed is the same power to rounding, referred to the whole disc.
      const double disc = 0.5 * 1.225 * 3.1415927410125732 * 1.5 * 1.5 * std::pow(points[i].U, 3);
      EXPECT_NEAR(res.power, cp[i] * disc, 1e-9 * disc);
    }
  }
}

TEST(LoadsTool, ExampleSessionReportAndFiles) {
  Session s(example_answers(2, "1\n" + kSite));
  const auto before = session_files(s.path());
  const support::ShellRun r = loads(s.path(), "--blades 3");
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("worst case: "), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("utilisation: "), std::string::npos);
  EXPECT_NE(r.out.find("tip deflection: "), std::string::npos);
  EXPECT_EQ(session_files(s.path()), before);  // rotorforge's own files untouched
  for (const char* f :
       {"elements.csv", "rotor.csv", "index.html", "span-alpha.svg", "span-induction.svg",
        "span-force.svg", "span-stress.svg", "wind-thrust.svg", "wind-moments.svg",
        "wind-utilisation.svg", "wind-deflection.svg"}) {
    EXPECT_TRUE(s.exists(std::string("Result/loads/") + f)) << f;
  }
  // rotor.csv: 23 points and the storm; each point's CP shows as the table's.
  const auto rows = lines_of(s.read("Result/loads/rotor.csv"));
  ASSERT_EQ(rows.size(), 1u + 23u + 1u);
  const auto head = fields(rows[0]);
  const auto col = [&](const char* name) {
    return static_cast<std::size_t>(std::find(head.begin(), head.end(), name) - head.begin());
  };
  for (std::size_t i = 1; i <= 23; ++i) {
    const auto f = fields(rows[i]);
    char shown[16];
    std::snprintf(shown, sizeof shown, "%.4f", std::stod(f[col("cp")]));
    EXPECT_EQ(shown, f[col("cp_table")]) << rows[i];
    // The tables refer power to the annulus: 1 - (0.15/1.5)^2 = 0.99 of torque x speed.
    EXPECT_NEAR(std::stod(f[col("power_table_W")]) / std::stod(f[col("power_W")]), 0.99, 2e-3);
  }
  EXPECT_EQ(fields(rows[24])[1], "parked class I");
  // 10 elements for each of the 24 cases.
  EXPECT_EQ(lines_of(s.read("Result/loads/elements.csv")).size(), 1u + 24u * 10u);
  // A hollow carbon blade has a thinnest wall; it is thinner than the wall that holds.
  const support::ShellRun h = loads(s.path(), "--blades 3 --wall 2 --material carbon");
  ASSERT_EQ(h.status, 0) << h.err;
  const auto at = h.out.find("thinnest wall that holds: ");
  ASSERT_NE(at, std::string::npos) << h.out;
  const double wall = std::stod(h.out.substr(at + 26));
  EXPECT_GT(wall, 0.0);
  EXPECT_LT(wall, 2.0);
  const support::ShellRun at_wall =
      loads(s.path(), "--blades 3 --material carbon --wall " + std::to_string(wall));
  EXPECT_NE(at_wall.out.find("): holds"), std::string::npos) << at_wall.out;
  const support::ShellRun below =
      loads(s.path(), "--blades 3 --material carbon --wall " + std::to_string(wall * 0.9));
  EXPECT_NE(below.out.find("): FAILS"), std::string::npos) << below.out;
}

// The loads page links the session's picture page and analysis pages, and the list that every
// page's bar of links is drawn from names the loads page too.
TEST(LoadsTool, PageLinksTheSessionsOtherPages) {
  Session s(example_answers(2, "1\n" + kSite));
  fs::create_directories(s.path() / "Result/plots");
  fs::create_directories(s.path() / "Result/analysis/a1");
  s.write("Result/plots/index.html", "<html></html>");
  s.write("Result/analysis/a1/index.html", "<html></html>");
  const support::ShellRun r = loads(s.path(), "--blades 3");
  ASSERT_EQ(r.status, 0) << r.err;
  const std::string page = s.read("Result/loads/index.html");
  EXPECT_NE(page.find("Pages of this session: <a href=\"../plots/index.html\">pictures</a> "
                      "\u00b7 <b>loads</b> \u00b7 <a href=\"../analysis/a1/index.html\">analysis "
                      "a1</a></nav>"),
            std::string::npos)
      << page;
  EXPECT_NE(s.read("Result/pages/links.js").find("[\"loads/index.html\", \"loads\"]"),
            std::string::npos);
}

TEST(LoadsTool, StudyDesignFolderGivesItsAnswers) {
  const std::string answers = "2\n0.2\n1.3\n8\n1.5\n1\n6\n2\n3\n4\n1\n" + kSite + "0\n";
  Session s(answers);
  s.write("answers.txt", answers);
  const support::ShellRun r = loads(s.path(), "--class III");
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("(52.5 m/s); carbon, hollow, wall 3.00 mm"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("thinnest wall that holds"), std::string::npos);
}

TEST(LoadsTool, BadInputIsOneLineAndWritesNothing) {
  Session good(example_answers(2, "1\n" + kSite));
  struct Case {
    const char* what;
    std::string args;
    int status;
    std::string says;
    std::function<void(const fs::path&)> damage;
  };
  const auto edit_geometry = [](std::function<void(std::vector<std::string>&)> f) {
    return [f](const fs::path& dir) {
      auto lines = lines_of(slurp(dir / "Result/Geometry.out"));
      f(lines);
      std::string text;
      for (const auto& l : lines) text += l + "\n";
      spit(dir / "Result/Geometry.out", text);
    };
  };
  const Case cases[] = {
      {"no session", "--blades 3", 1, "Result/Geometry.out: missing",
       [](const fs::path& dir) { fs::remove(dir / "Result/Geometry.out"); }},
      {"table cut short", "--blades 3", 1, "cut short",
       edit_geometry([](auto& l) { l.resize(7); })},
      {"chord not positive", "--blades 3", 1,
       "Result/Geometry.out:5: chord -0.0100 m is not positive",
       edit_geometry([](auto& l) { l[4] = "        0.3525        -0.0100        13.2391\r"; })},
      {"blades 0", "--blades 0", 1, "--blades: 0 is not a whole number", nullptr},
      {"unknown material", "--blades 3 --material steel", 1, "--material: unknown material",
       nullptr},
      {"negative wall", "--blades 3 --wall -1", 1, "--wall: -1 mm is negative", nullptr},
      {"zero strength", "--blades 3 --strength 0", 1, "--strength: 0 is not a positive", nullptr},
      {"negative factor", "--blades 3 --load-factor -2", 1, "--load-factor:", nullptr},
      {"wind not a number", "--blades 3 --wind abc --rpm 300", 1, "--wind: \"abc\" is not a number",
       nullptr},
      {"negative speed", "--blades 3 --wind 5 --rpm -3", 1, "--rpm: -3 is not a positive", nullptr},
      {"unknown class", "--blades 3 --class V", 1, "--class: \"V\" is not", nullptr},
      {"no blades", "", 1, "--blades: not given", nullptr},
      {"wind without speed", "--blades 3 --wind 5", 2, "--wind", nullptr},
      {"both speeds", "--blades 3 --wind 5 --rpm 3 --tsr 4", 2, "--rpm", nullptr},
      {"unknown option", "--blades 3 --bogus", 2, "bogus", nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    support::ScratchDir dir("rotorforge-loads-bad-");
    fs::copy(good.path(), dir.path(),
             fs::copy_options::recursive | fs::copy_options::overwrite_existing);
    if (c.damage) c.damage(dir.path());
    const support::ShellRun r = loads(dir.path(), c.args);
    EXPECT_EQ(r.status, c.status) << r.err;
    EXPECT_NE(r.err.find(c.says), std::string::npos) << r.err;
    if (c.status == 1) {
      EXPECT_EQ(lines_of(r.err).size(), 1u) << r.err;
    }
    EXPECT_FALSE(fs::exists(dir.path() / "Result/loads"));
  }
}

}  // namespace
}  // namespace loads_test
