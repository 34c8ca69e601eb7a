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
#include "loads/run.h"
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
    d.rotor.Numb = 3;
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
  for (const char* says : {"\nstrength: ", "\nskin buckling: ", "\ntower clearance: ",
                           "\nresonance: ", "\nfrequencies at rest: "}) {
    EXPECT_NE(r.out.find(says), std::string::npos) << says << r.out;
  }
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
  EXPECT_TRUE(s.exists("Result/loads/campbell.svg"));
}

// The number after `key` in `text`.
double after(const std::string& text, const std::string& key) {
  const auto at = text.find(key);
  if (at == std::string::npos) return std::nan("");
  return std::stod(text.substr(at + key.size()));
}

std::string last_line(const std::string& text) {
  const auto lines = lines_of(text);
  return lines.empty() ? std::string() : lines.back();
}

TEST(LoadsTool, ThinnestWallHonoursEveryLimit) {
  // The session's hollow carbon blade, its laminate characterised (material factor 1.1), the
  // tower far enough and a resonance accepted: strength and skin buckling bound the wall.
  Session s("3\n0.15\n1.5\n10\n0\n2\n5\n2\n2\n4\n1\n" + kSite + "0\n");
  const std::string limits = "--blades 3 --material-factor 1.1 --clearance 2000 --allow-resonance";
  const support::ShellRun h = loads(s.path(), limits);
  ASSERT_EQ(h.status, 0) << h.err;
  const double wall = after(h.out, "thinnest wall that holds every limit: ");
  ASSERT_GT(wall, 0.0) << h.out;
  const support::ShellRun at_wall = loads(s.path(), limits + " --wall " + std::to_string(wall));
  EXPECT_EQ(last_line(at_wall.out), "the blade holds") << at_wall.out;
  const support::ShellRun below = loads(s.path(), limits + " --wall " + std::to_string(wall * 0.9));
  EXPECT_NE(last_line(below.out).find("the blade does not hold: "), std::string::npos) << below.out;
  // The 2 mm wall holds the stress but its skin buckles: stress alone would pass it.
  EXPECT_NE(h.out.find("strength: holds"), std::string::npos) << h.out;
  EXPECT_NE(h.out.find("skin buckling: FAILS"), std::string::npos) << h.out;
  EXPECT_GT(wall, 2.0);
  // Without the clearance given, the tip's factored deflection decides; without
  // --allow-resonance the first flapwise mode meets 3P inside the variable-speed range, which no
  // wall moves.
  const support::ShellRun strict = loads(s.path(), "--blades 3 --material-factor 1.1");
  EXPECT_NE(strict.out.find("thinnest wall that holds every limit: none"), std::string::npos)
      << strict.out;
  EXPECT_NE(strict.out.find("resonance: FAILS: the first flapwise mode"), std::string::npos)
      << strict.out;
}

TEST(LoadsTool, LimitsOfTheExampleWoodBlade) {
  Session s(example_answers(2, "1\n" + kSite));
  const support::ShellRun r = loads(s.path(), "--blades 3");
  ASSERT_EQ(r.status, 0) << r.err;
  // Strength fails first (123.83 x), then the tower clearance; the first flapwise mode crosses
  // 3P between the sweep's slowest and fastest points.
  EXPECT_NE(last_line(r.out).find("the blade does not hold: strength 123.83, tower clearance "),
            std::string::npos)
      << r.out;
  EXPECT_NE(r.out.find("skin buckling: not a risk for a solid blade"), std::string::npos);
  EXPECT_NE(r.out.find("beyond the 10 % where linear beam theory holds"), std::string::npos);
  // The clearance check takes the load factor times the largest tip deflection of rotor.csv,
  // and a quarter of the tip radius when none is given.
  const auto rows = lines_of(s.read("Result/loads/rotor.csv"));
  const auto head = fields(rows[0]);
  const auto col = [&](const char* name) {
    return static_cast<std::size_t>(std::find(head.begin(), head.end(), name) - head.begin());
  };
  double largest = 0.0;
  ASSERT_LT(col("flap1_Hz"), head.size()) << rows[0];
  for (std::size_t i = 1; i < rows.size(); ++i) {
    const auto f = fields(rows[i]);
    ASSERT_GT(f.size(), col("tip_deflection_m")) << rows[i];
    largest = std::max(largest, std::stod(f[col("tip_deflection_m")]));
    if (f[1] == "parked class I") continue;
    // Every operating point has its own modes; turning stiffens the flapwise ones.
    ASSERT_GT(f.size(), col("flap1_Hz")) << rows[i];
    EXPECT_GT(std::stod(f[col("flap1_Hz")]), after(r.out, "frequencies at rest: flapwise "));
  }
  EXPECT_NEAR(after(r.out, "tip moves "), 3.0 * largest * 1000.0, 0.05);
  // The first flapwise mode meets 3P between the two points of rotor.csv where it passes from
  // above three times the rotational frequency to below.
  const double hz = after(r.out, "resonance: FAILS: the first flapwise mode (");
  const double rpm = after(r.out, "meets 3 times per revolution (3P) at ");
  EXPECT_NEAR(hz, 3.0 * rpm / 60.0, 0.03);
  double above = 0.0, below = 1e9;
  for (std::size_t i = 1; i + 1 < rows.size(); ++i) {
    const auto f = fields(rows[i]);
    const double n = std::stod(f[col("rpm")]), mode = std::stod(f[col("flap1_Hz")]);
    if (mode > 3.0 * n / 60.0) above = std::max(above, n);
    if (mode < 3.0 * n / 60.0) below = std::min(below, n);
  }
  EXPECT_LT(above, rpm);
  EXPECT_GT(below, rpm);
  EXPECT_NEAR(after(r.out, "under the factored loads, clearance "), 375.0, 1e-9);
  // At rest the first flapwise mode is near the hand estimate of 6.7 Hz (a uniform beam of the
  // mid-span section), far above in the plane of rotation.
  const double flap1 = after(r.out, "frequencies at rest: flapwise ");
  EXPECT_NEAR(flap1, 6.7, 0.7);
  EXPECT_GT(after(r.out, "Hz, edgewise "), 5.0 * flap1);
  // The page says the same in the same words, and where each value came from.
  const std::string page = s.read("Result/loads/index.html");
  for (const char* says : {"The blade does not hold.", "strength: FAILS, 123.83 x the limit",
                           "resonance: FAILS", "EN 338:2016, strength class C24",
                           "default: IEC 61400-2, material not characterised by tests",
                           "default: a quarter of the tip radius", "campbell.svg"}) {
    EXPECT_NE(page.find(says), std::string::npos) << says;
  }
}

TEST(LoadsTool, TheBladeIsTheSessionsOwn) {
  struct Case {
    const char* what;
    std::string blade;  // answers of the blade type, wall and material
    std::string args;
    int status;
    std::vector<std::string> says;
  };
  const Case cases[] = {
      {"hollow carbon, as the session built it",
       "2\n2\n4\n",
       "--blades 3",
       0,
       {"blade: hollow, wall 2.00 mm (from Result/Geometry.out's volume and mass), carbon "
        "(from Result/Geometry.out's mass / volume)",
        "mass: 0.393266 kg per blade (as Result/Geometry.out)"}},
      {"solid wood",
       "1\n1\n",
       "--blades 3",
       0,
       {"blade: solid (from Result/Geometry.out's volume and mass), wood",
        "mass: 0.286053 kg per blade (as Result/Geometry.out)"}},
      {"hollow aluminium, a wall of two decimals",
       "2\n1.25\n2\n",
       "--blades 3",
       0,
       {"blade: hollow, wall 1.25 mm (from Result/Geometry.out's volume and mass), aluminium"}},
      {"options override",
       "2\n2\n4\n",
       "--blades 3 --wall 0 --material wood",
       0,
       {"blade: solid (--wall), wood (--material)",
        "(the session's measure, this wall and material)"}},
      {"no material chosen",
       "2\n2\n9\n",
       "--blades 3",
       1,
       {"--material: not given, and Result/Geometry.out cannot tell the material: the session "
        "chose no material"}},
      {"no material chosen, given",
       "2\n2\n9\n",
       "--blades 3 --material carbon",
       0,
       {"blade: hollow, wall 2.00 mm (from Result/Geometry.out's volume), carbon (--material)",
        "mass: 0.393266 kg per blade"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Session s("3\n0.15\n1.5\n10\n0\n2\n5\n" + c.blade + "1\n" + kSite + "0\n");
    const support::ShellRun r = loads(s.path(), c.args);
    EXPECT_EQ(r.status, c.status) << r.err;
    for (const std::string& says : c.says) {
      EXPECT_NE((c.status == 0 ? r.out : r.err).find(says), std::string::npos) << r.out << r.err;
    }
    if (c.status != 0) {
      EXPECT_EQ(lines_of(r.err).size(), 1u);
      EXPECT_FALSE(s.exists("Result/loads"));
    }
  }
}

TEST(LoadsTool, CutTableIsUsedWithAWarningOrRefused) {
  Session s(example_answers(2, "1\n" + kSite));
  const auto lines = lines_of(s.read("Result/Energy1.out"));
  const auto cut = [&](std::size_t n) {
    std::string text;
    for (std::size_t i = 0; i < n; ++i) text += lines[i] + "\n";
    s.write("Result/Energy1.out", text);
  };
  // Cut after its power line: all 23 rows are there, and they count.
  cut(27);
  const support::ShellRun r = loads(
      s.path(), "--blades 3 --strength 1050 --wall 2 --material carbon --material-factor 1.1");
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("warning: Result/Energy1.out:27: sweep 1 (header at line 1) ends before "
                       "its energy lines: its 23 rows are used"),
            std::string::npos)
      << r.out;
  EXPECT_NE(r.out.find("energy tables: Result/Energy1.out: 1 sweep, 23 rows; Result/Energy2.out: "
                       "empty; Result/Energy3.out: empty; Result/Energy4.out: empty"),
            std::string::npos)
      << r.out;
  EXPECT_NE(r.out.find("strength: FAILS, 1.05 x the limit (utilisation 1.047"), std::string::npos)
      << r.out;
  EXPECT_NE(s.read("Result/loads/index.html").find("Result/Energy1.out:27"), std::string::npos);
  // Cut inside its rows: its wind speeds cannot be known, and nothing is written.
  fs::remove_all(s.path() / "Result/loads");
  cut(20);
  const support::ShellRun refused = loads(s.path(), "--blades 3");
  EXPECT_EQ(refused.status, 1);
  EXPECT_EQ(refused.err,
            "rotorforge-loads: Result/Energy1.out:20: sweep 1 (header at line 1) ends after 18 "
            "of 23 rows: its operating points cannot be known (run the option again, or remove "
            "the file)\n");
  EXPECT_FALSE(s.exists("Result/loads"));
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
  EXPECT_NE(r.out.find("(52.5 m/s)"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("blade: hollow, wall 3.00 mm (answers.txt), carbon (answers.txt)"),
            std::string::npos)
      << r.out;
  EXPECT_NE(r.out.find("thinnest wall that holds every limit"), std::string::npos);
}

// Blades, wall and altitude keep the rules of the session's answers: the highest altitude is
// where the air's temperature reaches 0 K (44307.69... m), not a round number below it.
TEST(LoadsSettings, BladesWallAndAltitudeKeepTheAnswersRules) {
  enum Option { kBlades, kWall, kAltitude };
  const struct {
    Option option;
    std::string text;
    const char* refusal;  // nullptr: taken
  } cases[] = {
      {kAltitude, "44000.5", nullptr},
      {kAltitude, "44307.69", nullptr},
      {kAltitude, "-400", nullptr},
      {kAltitude, "44307.7", "--altitude: 44307.7 m is too high (it must be below 44307.69 m)"},
      {kBlades, "1", nullptr},
      {kBlades, "0", "--blades: 0 is not a whole number of at least 1"},
      {kBlades, "2.5", "--blades: 2.5 is not a whole number of at least 1"},
      {kBlades, "1000001", "--blades: 1000001 is more blades than a rotor has (at most 1000000)"},
      {kWall, "0", nullptr},
      {kWall, "-0.001", "--wall: -0.001 mm is negative"},
  };
  for (const auto& c : cases) {
    loads::Options o;
    (c.option == kBlades ? o.blades : c.option == kWall ? o.wall : o.altitude) = c.text;
    try {
      const loads::Settings s = loads::settings(o);
      EXPECT_EQ(c.refusal, nullptr) << c.text << " was taken";
      const double given = std::stod(c.text);
      const std::optional<double> kept = c.option == kAltitude ? s.altitude
                                         : c.option == kWall   ? s.wall
                                         : s.blades
                                             ? std::optional<double>(static_cast<double>(*s.blades))
                                             : std::nullopt;
      EXPECT_EQ(kept, given) << c.text;
    } catch (const loads::InputError& e) {
      ASSERT_NE(c.refusal, nullptr) << c.text << ": " << e.what();
      EXPECT_EQ(std::string(e.what()), c.refusal);
    }
  }
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
      {"zero clearance", "--blades 3 --clearance 0", 1, "--clearance: 0 is not a positive",
       nullptr},
      {"negative panel", "--blades 3 --panel-width -5", 1, "--panel-width: -5 is not a positive",
       nullptr},
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
