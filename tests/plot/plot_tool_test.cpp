// The rotorforge-plot binary on working directories holding a run's files: every picture and
// the page from complete files, clear lines and no crash for missing, cut and broken ones.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <set>
#include <string>

#include "companion/working_name.h"
#include "plot/fixtures.h"
#include "plot/svg.h"
#include "support/records.h"
#include "support/shell.h"

namespace {

using fixture::WorkDir;

struct ToolRun {
  int status = -1;
  std::vector<std::string> out;  // lines
  std::vector<std::string> err;
};

ToolRun run_tool(const support::ScratchDir& dir, const std::string& args = "") {
  const support::ShellRun run = support::run_in(
      dir.path(), "'" + std::string(ROTORFORGE_PLOT_BINARY) + "' " + args, ".out", ".err");
  return {run.status, support::text_records(run.out), support::text_records(run.err)};
}

std::string joined(const std::vector<std::string>& lines) {
  std::string s;
  for (const auto& l : lines) s += l + "\n";
  return s;
}

// The files of a run that used every option: one variable-speed sweep, two two-speed sweeps,
// no constant-speed sweep, two pitch-controlled sweeps of which the last left the working
// files, the geometry with mass, and the point file.
struct FullRun {
  fixture::Blade blade;
  std::vector<plot::TableRow> type1 = fixture::sweep_rows(3.0, 25.0, 0.0);
  std::vector<plot::TableRow> type2a = fixture::sweep_rows(3.0, 25.0, 0.0);
  std::vector<plot::TableRow> type2b = fixture::sweep_rows(4.0, 20.0, 0.0, 0.8);
  std::vector<plot::TableRow> type4a = fixture::sweep_rows(3.0, 25.0, 3000.0);
  std::vector<plot::TableRow> type4b = fixture::sweep_rows(3.0, 25.0, 4000.0);

  void write(const WorkDir& d) const {
    d.write("Result/Geometry.out", fixture::geometry_text(blade));
    d.write("Result/3dgeo.dat", fixture::blade_points_text(blade));
    d.write("Result/Energy1.out", fixture::sweep_text(1, type1, 1234.5, 10740.15));
    d.write("Result/Energy2.out", fixture::sweep_text(2, type2a, 1000.0, 8700.0) +
                                      fixture::sweep_text(2, type2b, 900.0, 7830.0));
    d.write("Result/Energy3.out", "");
    d.write("Result/Energy4.out", fixture::sweep_text(4, type4a, 800.0, 6960.0) +
                                      fixture::sweep_text(4, type4b, 850.0, 7395.0));
    d.write("Result/Performance.out", "");
    write_working_files(d, type4b, 4000.0);
  }
  static void write_working_files(const WorkDir& d, const std::vector<plot::TableRow>& rows,
                                  double mpl) {
    std::string winds, powers;
    for (const auto& r : rows) {
      winds += fixture::free_line({r.wind});
      powers += fixture::free_line({r.power});
    }
    d.write("Temp/graph.tmp", winds);
    d.write("Temp/graph1.tmp", powers);
    d.write("Temp/mpl.tmp", fixture::free_line({mpl}));
  }
};

const std::vector<std::string> kAllPictures = {
    "blade-chord.svg",   "blade-twist.svg", "blade-plan.svg",    "blade-sections.svg",
    "energy1-power.svg", "energy1-cp.svg",  "energy2-power.svg", "energy2-cp.svg",
    "energy4-power.svg", "energy4-cp.svg"};

// Points of every curve of a series, summed over the curves a gap splits it into.
std::size_t points_of(const std::string& svg, const std::string& series) {
  std::size_t n = 0;
  for (const auto& c : fixture::curves(svg)) {
    if (c.series == series) n += c.points.size();
  }
  return n;
}

void expect_inside(const std::string& svg, const std::string& name) {
  const fixture::PlotArea a = fixture::plot_area(svg);
  ASSERT_GT(a.width, 0.0) << name << ": no plot area";
  for (const auto& c : fixture::curves(svg)) {
    for (const auto& [x, y] : c.points) {
      EXPECT_TRUE(x >= a.left && x <= a.left + a.width && y >= a.top && y <= a.top + a.height)
          << name << ": point " << x << "," << y << " of " << c.series << " outside the frame";
    }
  }
}

TEST(PlotTool, EveryPictureAndThePageFromACompleteRun) {
  WorkDir dir;
  const FullRun run;
  run.write(dir);
  const ToolRun r = run_tool(dir);
  EXPECT_EQ(r.status, 0) << joined(r.err);
  EXPECT_TRUE(r.err.empty()) << joined(r.err);
  std::vector<std::string> want_out = {
      "Result/Energy3.out: no complete sweep in it, nothing to draw"};
  for (const auto& p : kAllPictures) want_out.push_back("wrote Result/plots/" + p);
  want_out.push_back("wrote Result/plots/index.html");
  EXPECT_EQ(r.out, want_out) << joined(r.out);

  const bool lint = fixture::have_xmllint();
  for (const auto& p : kAllPictures) {
    const std::string svg = dir.read("Result/plots/" + p);
    if (lint) {
      EXPECT_EQ(fixture::xml_problems(dir / ("Result/plots/" + p)), "") << p;
    }
    expect_inside(svg, p);
  }
  if (lint) {
    EXPECT_EQ(fixture::xml_problems(dir / "Result/plots/index.html"), "");
  }

  // Curves: 23 points per sweep, labelled per sweep when a file holds several.
  const std::string p1 = dir.read("Result/plots/energy1-power.svg");
  EXPECT_EQ(points_of(p1, "power"), 23u);
  const std::string p2 = dir.read("Result/plots/energy2-power.svg");
  EXPECT_EQ(points_of(p2, "sweep 1"), 23u);
  EXPECT_EQ(points_of(p2, "sweep 2"), 23u);
  const std::string c2 = dir.read("Result/plots/energy2-cp.svg");
  EXPECT_EQ(points_of(c2, "sweep 1"), 23u);
  EXPECT_EQ(points_of(c2, "sweep 2"), 23u);
  // Axis ranges cover the data: wind speeds 3 ... 25 m/s; the largest power of either sweep.
  double p_max = 0.0;
  for (const auto& row : run.type2a) p_max = std::max(p_max, row.power);
  const fixture::PlotArea a2 = fixture::plot_area(p2);
  EXPECT_LE(a2.x_min, 3.0);
  EXPECT_GE(a2.x_max, 25.0);
  EXPECT_LE(a2.y_min, 0.0);
  EXPECT_GE(a2.y_max, p_max * (p_max >= 1e4 ? 1e-3 : 1.0));
  EXPECT_NE(p2.find("sweep 2: average power at the site 900.00 W, annual energy 7830.00 kW\u00b7h"),
            std::string::npos);

  // The limit: exact for the sweep that left the working files, estimated for the other.
  const std::string p4 = dir.read("Result/plots/energy4-power.svg");
  const std::vector<std::string> refs = fixture::attributes(p4, "class=\"ref\"", "data-label");
  const std::string approx_first =
      "sweep 1 MPL \u2248 " + plot::fixed(run.type4a.back().power, 0) + " W";
  EXPECT_EQ(refs, (std::vector<std::string>{approx_first, "sweep 2 MPL = 4000 W"}));
  EXPECT_EQ(fixture::plot_area(p4).y_max >= 4000.0, true);

  // The blade: one point per station, 100 per section outline, one edge point per station on
  // each side of the plan view.
  const std::size_t stations = static_cast<std::size_t>(run.blade.nbe) + 2;
  EXPECT_EQ(points_of(dir.read("Result/plots/blade-chord.svg"), "chord"), stations);
  EXPECT_EQ(points_of(dir.read("Result/plots/blade-twist.svg"), "twist"), stations);
  EXPECT_EQ(points_of(dir.read("Result/plots/blade-plan.svg"), "outline"), 2 * stations);
  const auto sections = fixture::curves(dir.read("Result/plots/blade-sections.svg"));
  ASSERT_EQ(sections.size(), stations);
  for (const auto& s : sections) EXPECT_EQ(s.points.size(), 100u) << s.series;
  const fixture::PlotArea chord_area = fixture::plot_area(dir.read("Result/plots/blade-chord.svg"));
  EXPECT_LE(chord_area.x_min, 0.2);
  EXPECT_GE(chord_area.x_max, 1.5);
  EXPECT_GE(chord_area.y_max, 0.2 * 1.5 - 0.12 * 0.2);  // chord at the hub, the widest

  // The page: key figures and every picture.
  const std::string page = dir.read("Result/plots/index.html");
  for (const auto& p : kAllPictures) {
    EXPECT_NE(page.find("<img src=\"" + p + "\""), std::string::npos) << p;
  }
  for (const char* figure :
       {"<th>blade length</th><td>1.3000 m</td>", "<th>tip radius</th><td>1.5000 m</td>",
        "<th>volume</th><td>0.012346 m\u00b3</td>", "<th>surface</th><td>0.765432 m\u00b2</td>",
        "<th>mass of one blade</th><td>6.913536 kg</td>",
        "<th>chord at the tip</th><td>0.1200 m</td>",
        "<th>twist at the tip</th><td>3.00 \u00b0</td>", "<td>7830.00 kW\u00b7h</td>",
        "<td>1234.50 W</td>", "<td>4000 W (Temp/mpl.tmp)</td>"}) {
    EXPECT_NE(page.find(figure), std::string::npos) << figure;
  }
  EXPECT_EQ(page.find("energy3"), std::string::npos);
}

TEST(PlotTool, MissingCutAndBrokenFilesAreSkippedWithALine) {
  WorkDir dir;
  const auto rows = fixture::sweep_rows(3.0, 25.0, 0.0);
  const std::string sweep = fixture::sweep_text(2, rows, 1.0, 2.0);
  std::string broken = sweep;
  broken[broken.find("0.4500")] = 'O';  // a letter in the CP column of the peak row
  const std::string cut = fixture::sweep_text(3, rows, 1.0, 2.0) +
                          fixture::sweep_text(3, rows, 1.0, 2.0).substr(0, 500);
  // The geometry table first: an energy table written before it would be an earlier design's.
  dir.write("Result/Geometry.out", "no geometry here\r\n");
  dir.write("Result/Energy2.out", broken);
  dir.write("Result/Energy3.out", cut);
  dir.write("Result/Energy4.out", "\r\n");
  fixture::Blade b;
  const std::string points = fixture::blade_points_text(b);
  dir.write("Result/3dgeo.dat", points.substr(0, points.size() / 3));
  const ToolRun r = run_tool(dir);
  EXPECT_EQ(r.status, 0);
  ASSERT_EQ(r.err.size(), 5u) << joined(r.err);
  EXPECT_EQ(r.err[0], "Result/Energy1.out: missing; skipped");
  EXPECT_EQ(r.err[1].rfind("Result/Energy2.out: line ", 0), 0u) << r.err[1];
  EXPECT_NE(r.err[1].find(": field 3 is not a number: \"O.4500\"; skipped"), std::string::npos)
      << r.err[1];
  EXPECT_EQ(r.err[2],
            "Result/Energy3.out: sweep 2 (header at line 30) ends after 5 of 23 rows; left out");
  EXPECT_EQ(r.err[3],
            "Result/Geometry.out: line 1: expected the title \"Geometry of blades\"; skipped");
  EXPECT_EQ(r.err[4].rfind("Result/3dgeo.dat: ", 0), 0u) << r.err[4];
  EXPECT_NE(r.err[4].find("; skipped"), std::string::npos) << r.err[4];
  const std::vector<std::string> want_out = {
      "Result/Energy4.out: no complete sweep in it, nothing to draw",
      "wrote Result/plots/energy3-power.svg", "wrote Result/plots/energy3-cp.svg",
      "wrote Result/plots/index.html"};
  EXPECT_EQ(r.out, want_out) << joined(r.out);
  EXPECT_EQ(points_of(dir.read("Result/plots/energy3-power.svg"), "power"), 23u);
  const std::string page = dir.read("Result/plots/index.html");
  EXPECT_NE(page.find("<li>Result/Energy1.out: missing; skipped</li>"), std::string::npos);
  EXPECT_NE(page.find("Left out: sweep 2 (header at line 30) ends after 5 of 23 rows."),
            std::string::npos);
  if (fixture::have_xmllint()) {
    EXPECT_EQ(fixture::xml_problems(dir / "Result/plots/energy3-power.svg"), "");
    EXPECT_EQ(fixture::xml_problems(dir / "Result/plots/index.html"), "");
  }
}

// Bytes that are no text at all, a directory where a file should be, markup in a file: lines of
// printable text, no crash, and the page stays well-formed.
TEST(PlotTool, GarbageNeverCrashes) {
  WorkDir dir;
  std::string bytes;
  for (int i = 0; i < 4096; ++i) bytes += static_cast<char>((i * 7919) % 256);
  // The geometry table first: an energy table written before it would be an earlier design's.
  dir.write("Result/Geometry.out", std::string(" Geometry of blades\r\n Radius (m)\r\n") + bytes);
  dir.write("Result/Energy1.out", bytes);
  dir.write("Result/Energy2.out", bytes.substr(1, 100) + "\n\n\n");
  std::filesystem::create_directories(dir / "Result/Energy3.out");
  dir.write("Result/Energy4.out", "<script>&</script> Wind Speed(m/s)\r\n");
  const ToolRun bad = run_tool(dir);
  EXPECT_EQ(bad.status, 1);
  ASSERT_EQ(bad.err.size(), 7u) << joined(bad.err);
  EXPECT_EQ(bad.err[2], "Result/Energy3.out: not a regular file; skipped");
  EXPECT_EQ(bad.err[5], "Result/3dgeo.dat: missing; skipped");
  EXPECT_EQ(bad.err[6], "nothing to draw: no usable result file under ./Result");
  EXPECT_TRUE(bad.out.empty()) << joined(bad.out);
  EXPECT_FALSE(dir.exists("Result/plots"));
  for (const std::string& line : bad.err) {
    for (char c : line) ASSERT_TRUE(c >= 0x20 && c <= 0x7E) << line;
  }

  // With one usable file the page is written, and the garbage named in it stays harmless.
  dir.write("Result/3dgeo.dat", fixture::blade_points_text(fixture::Blade{}));
  const ToolRun r = run_tool(dir);
  EXPECT_EQ(r.status, 0);
  const std::string page = dir.read("Result/plots/index.html");
  EXPECT_EQ(page.find("<script>"), std::string::npos);
  EXPECT_NE(page.find("Result/Energy1.out: line 1: expected a table header"), std::string::npos);
  if (fixture::have_xmllint()) {
    EXPECT_EQ(fixture::xml_problems(dir / "Result/plots/index.html"), "");
  }
}

TEST(PlotTool, NothingToReadAtAll) {
  WorkDir dir;
  std::filesystem::remove_all(dir / "Result");
  const ToolRun r = run_tool(dir);
  EXPECT_EQ(r.status, 1);
  ASSERT_EQ(r.err.size(), 7u) << joined(r.err);
  EXPECT_EQ(r.err[0], "Result/Energy1.out: missing; skipped");
  EXPECT_EQ(r.err[6], "nothing to draw: no usable result file under ./Result");
  EXPECT_FALSE(dir.exists("Result"));
}

TEST(PlotTool, StalePicturesOfAnEarlierCallGo) {
  WorkDir dir;
  FullRun().write(dir);
  ASSERT_EQ(run_tool(dir).status, 0);
  ASSERT_TRUE(dir.exists("Result/plots/energy2-power.svg"));
  dir.write("Result/Energy2.out", "");  // a new run that did not use option 2
  const ToolRun r = run_tool(dir);
  EXPECT_EQ(r.status, 0);
  EXPECT_FALSE(dir.exists("Result/plots/energy2-power.svg"));
  EXPECT_FALSE(dir.exists("Result/plots/energy2-cp.svg"));
  const std::string removed =
      "removed Result/plots/energy2-power.svg (its input holds nothing to draw now)";
  EXPECT_EQ(std::count(r.out.begin(), r.out.end(), removed), 1) << joined(r.out);
  EXPECT_EQ(dir.read("Result/plots/index.html").find("energy2"), std::string::npos);
}

// Design A ran options 1 and 4, design B (in the same directory, later) option 1 only:
// Energy4.out still holds A's sweep, older than B's Geometry.out. B's page must not show it.
TEST(PlotTool, EnergyTablesOfAnEarlierDesignAreLeftOutAndNamed) {
  WorkDir dir;
  FullRun().write(dir);
  ASSERT_EQ(run_tool(dir).status, 0);
  ASSERT_TRUE(dir.exists("Result/plots/energy4-power.svg"));
  const auto blade_time = std::filesystem::last_write_time(dir / "Result/Geometry.out");
  for (const char* older : {"Result/Energy2.out", "Result/Energy4.out"}) {
    std::filesystem::last_write_time(dir / older, blade_time - std::chrono::seconds(60));
  }
  const ToolRun r = run_tool(dir);
  EXPECT_EQ(r.status, 0) << joined(r.err);
  const std::string note =
      "Result/Energy2.out, Result/Energy4.out are older than Result/Geometry.out (an earlier "
      "design): left out";
  ASSERT_FALSE(r.out.empty());
  EXPECT_EQ(r.out.front(), note);
  for (const char* gone :
       {"energy2-power.svg", "energy2-cp.svg", "energy4-power.svg", "energy4-cp.svg"}) {
    EXPECT_FALSE(dir.exists(std::string("Result/plots/") + gone)) << gone;
  }
  EXPECT_TRUE(dir.exists("Result/plots/energy1-power.svg"));
  const std::string page = dir.read("Result/plots/index.html");
  EXPECT_NE(page.find("<li>" + plot::escape_xml(note) + "</li>"), std::string::npos);
  EXPECT_EQ(page.find("energy4"), std::string::npos);
  EXPECT_EQ(page.find("MPL"), std::string::npos);
}

TEST(PlotTool, WorkingFilesOfAnotherSweepGiveAnEstimatedLimit) {
  WorkDir dir;
  const FullRun run;
  run.write(dir);
  // Option 1 ran after option 4: the working files hold the variable-speed sweep.
  FullRun::write_working_files(dir, run.type1, 2500.0);
  const ToolRun r = run_tool(dir);
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(std::count(r.out.begin(), r.out.end(),
                       "Temp/mpl.tmp: written by another sweep than the last of "
                       "Result/Energy4.out; MPL estimated from the table"),
            1)
      << joined(r.out);
  const std::vector<std::string> refs = fixture::attributes(
      dir.read("Result/plots/energy4-power.svg"), "class=\"ref\"", "data-label");
  ASSERT_EQ(refs.size(), 2u);
  EXPECT_EQ(refs[1], "sweep 2 MPL \u2248 " + plot::fixed(run.type4b.back().power, 0) + " W");
  // Without any working file the same estimate is drawn, and the missing files are named.
  std::filesystem::remove(dir / "Temp/mpl.tmp");
  const ToolRun r2 = run_tool(dir);
  EXPECT_EQ(r2.status, 0);
  EXPECT_EQ(std::count(r2.err.begin(), r2.err.end(), "Temp/mpl.tmp: missing; skipped"), 1)
      << joined(r2.err);
}

TEST(PlotTool, DirectoryArgumentAndUsage) {
  WorkDir dir;
  FullRun().write(dir);
  WorkDir elsewhere;
  const ToolRun r = run_tool(elsewhere, "'" + dir.path().string() + "'");
  EXPECT_EQ(r.status, 0) << joined(r.err);
  EXPECT_TRUE(dir.exists("Result/plots/index.html"));
  EXPECT_FALSE(elsewhere.exists("Result/plots"));
  const ToolRun usage = run_tool(dir, "a b");
  EXPECT_EQ(usage.status, 2);
  ASSERT_EQ(usage.err.size(), 2u) << joined(usage.err);
  EXPECT_EQ(usage.err[0].rfind("rotorforge-plot: ", 0), 0u) << usage.err[0];
  EXPECT_EQ(usage.err[1], "usage: rotorforge-plot [working directory]");
}

TEST(PlotTool, OutputDirectoryThatCannotBeMade) {
  WorkDir dir;
  FullRun().write(dir);
  dir.write("Result/plots", "a file where the directory should be");
  const ToolRun r = run_tool(dir);
  EXPECT_EQ(r.status, 1);
  ASSERT_FALSE(r.err.empty());
  EXPECT_EQ(r.err.back().rfind("Result/plots: cannot be created: ", 0), 0u) << r.err.back();
}

// The real program, every menu option used (two-speed and pitch-controlled twice), then the
// picture writer in the same directory.
TEST(PlotTool, AfterARealRunOfEveryOption) {
  if (!std::filesystem::exists(ROTORFORGE_BINARY)) {
    GTEST_SKIP() << "the rotorforge binary is not built";
  }
  const support::SessionDir dir("rotorforge-plot-");
  const std::string site = "3\n20\n5\n10\n0\n";
  const std::string answers = "3\n0.15\n1.5\n10\n0\n2\n5\n1\n1\n" +  // rotor, aerofoil, blade
                              ("1\n" + site) + ("2\n" + site + "200\n") + ("2\n" + site + "250\n") +
                              ("3\n" + site + "300\n") + ("4\n" + site + "300\n2500\n") +
                              ("4\n" + site + "300\n1500\n") + "5\n7\n6\n6\n0\n";
  dir.write("answers", answers);
  const std::string cmd =
      "cd '" + dir.path().string() + "' && '" + ROTORFORGE_BINARY + "' < answers > console 2>&1";
  ASSERT_EQ(std::system(cmd.c_str()), 0) << dir.read("console");

  const ToolRun r = run_tool(dir);
  EXPECT_EQ(r.status, 0) << joined(r.err);
  EXPECT_TRUE(r.err.empty()) << joined(r.err);
  // SG6043 ships with the record of its one filled angle, which the tool names first.
  std::vector<std::string> want = {
      "filled (no converged XFOIL point): Re 2400000: -10 deg not converged: Viterna-Corrigan "
      "from -9.25 deg, as if the section stalled there",
      "wrote Result/plots/blade-chord.svg",
      "wrote Result/plots/blade-twist.svg",
      "wrote Result/plots/blade-plan.svg",
      "wrote Result/plots/blade-sections.svg",
      "wrote Result/plots/aerofoil-cl.svg",
      "wrote Result/plots/aerofoil-cd.svg",
      "wrote Result/plots/aerofoil-ld.svg"};
  for (int t = 1; t <= 4; ++t) {
    want.push_back("wrote Result/plots/energy" + std::to_string(t) + "-power.svg");
    want.push_back("wrote Result/plots/energy" + std::to_string(t) + "-cp.svg");
  }
  want.push_back("wrote Result/plots/index.html");
  EXPECT_EQ(r.out, want) << joined(r.out);
  // Aerofoil 2 of the menu, known by its polar; one line per Reynolds number.
  const std::string cl = dir.read("Result/plots/aerofoil-cl.svg");
  EXPECT_NE(cl.find("Lift coefficient \u2014 sg6043"), std::string::npos);
  EXPECT_EQ(points_of(cl, "Re 42000"), 46u);
  EXPECT_EQ(points_of(cl, "Re 2400000 (filled)"), 46u);
  if (fixture::have_xmllint()) {
    for (const auto& line : want) {
      if (line.rfind("wrote ", 0) != 0) continue;
      const std::string rel = line.substr(6);
      EXPECT_EQ(fixture::xml_problems(dir / rel), "") << rel;
    }
  }
  const std::string p2 = dir.read("Result/plots/energy2-power.svg");
  EXPECT_EQ(points_of(p2, "sweep 1"), 23u);
  EXPECT_EQ(points_of(p2, "sweep 2"), 23u);
  expect_inside(p2, "energy2-power.svg");
  // The last pitch-controlled sweep left the working files: its limit is exact, the first's is
  // the power at cut-out, within 2 % of 2500 W.
  const auto refs = fixture::attributes(dir.read("Result/plots/energy4-power.svg"), "class=\"ref\"",
                                        "data-label");
  ASSERT_EQ(refs.size(), 2u);
  EXPECT_EQ(refs[0].rfind("sweep 1 MPL \u2248 ", 0), 0u) << refs[0];
  const double first = std::stod(refs[0].substr(std::string("sweep 1 MPL \u2248 ").size()));
  EXPECT_NEAR(first, 2500.0, 2500.0 * 0.02 + 1.0);
  EXPECT_EQ(refs[1], "sweep 2 MPL = 1500 W");
  EXPECT_EQ(points_of(dir.read("Result/plots/blade-chord.svg"), "chord"), 12u);
  EXPECT_EQ(fixture::curves(dir.read("Result/plots/blade-sections.svg")).size(), 12u);
}

// Blocks of the working aerofoil that its import filled (its record Data/NAME.fill) are marked
// on the polar pictures and said on the console.
TEST(PlotTool, FilledBlocksMarked) {
  WorkDir dir;
  std::string polar;
  for (int b = 0; b < 7; ++b) {
    for (int a = -10; a <= 35; ++a) {
      polar += fixture::free_line({static_cast<double>(a), 0.1 * a, 0.01 + 0.001 * a * a});
    }
  }
  dir.write("Temp/Lift_Drag.dat", polar);
  dir.write(working_name::kPath, working_name::record("thin", polar));
  std::filesystem::create_directory(dir / "Data");
  dir.write("Data/thin.fill",
            "# thin\n42000 5 20 not converged: as if stalled at 4.5 deg\n"
            "83000 -10 35 not computed: the block of Re 160000\n");
  const ToolRun r = run_tool(dir);
  EXPECT_EQ(r.status, 0) << joined(r.err);
  ASSERT_GE(r.out.size(), 2u);
  EXPECT_EQ(r.out[0],
            "filled (no converged XFOIL point): Re 42000: 5..20 deg not converged: as if stalled "
            "at 4.5 deg")
      << joined(r.err);
  // A block never computed (an import with --reynolds) is not called unconverged.
  EXPECT_EQ(r.out[1],
            "Re 83000: not computed by XFOIL, copied from the block of Re 160000 (-10..35 deg)");
  for (const char* f : {"aerofoil-cl.svg", "aerofoil-cd.svg", "aerofoil-ld.svg"}) {
    const std::string svg = dir.read(std::string("Result/plots/") + f);
    EXPECT_EQ(points_of(svg, "Re 42000 (filled)"), 46u) << f;
    EXPECT_EQ(points_of(svg, "Re 83000 (copied)"), 46u) << f;
    EXPECT_EQ(points_of(svg, "Re 160000 (filled)"), 0u) << f;
    EXPECT_NE(svg.find("filled, no converged XFOIL point: Re 42000: 5..20 deg"), std::string::npos)
        << f;
    EXPECT_EQ(svg.find("no converged XFOIL point: Re 83000"), std::string::npos) << f;
  }
  // The page lists them under a heading of their own, not among the files left out.
  const std::string page = dir.read("Result/plots/index.html");
  const auto left_out = page.find("<h2>Files left out");
  ASSERT_NE(left_out, std::string::npos);  // this directory holds no result file
  EXPECT_EQ(page.find("Re 42000", left_out), std::string::npos) << page;
  EXPECT_EQ(page.find("Re 83000", left_out), std::string::npos) << page;
  const auto heading = page.find("<h2 id=\"not-xfoil\">Aerofoil data not from converged XFOIL");
  ASSERT_NE(heading, std::string::npos) << page;
  EXPECT_NE(
      page.find("<li>Re 42000: 5..20 deg filled: not converged: as if stalled at 4.5 deg</li>",
                heading),
      std::string::npos)
      << page;
  EXPECT_NE(page.find("<li>Re 83000: not computed by XFOIL, copied from the block of Re 160000 "
                      "(-10..35 deg)</li>",
                      heading),
            std::string::npos);
  // The highest lift, 0.1 x 35 at 35 deg of the first block (42000), lies in no fill.
  EXPECT_NE(
      dir.read("Result/plots/aerofoil-cl.svg").find("highest Cl 3.5000 at 35.0\u00b0, Re 42000<"),
      std::string::npos);
  // A fill said where the highest value lies in one.
  dir.write("Data/thin.fill", "# thin\n42000 30 35 not converged: as if stalled at 29 deg\n");
  ASSERT_EQ(run_tool(dir).status, 0);
  EXPECT_NE(
      dir.read("Result/plots/aerofoil-cl.svg")
          .find("highest Cl 3.5000 at 35.0\u00b0, Re 42000 (filled, no converged XFOIL point)"),
      std::string::npos);
}

// The session's pages link one another: the bar of links names the loads page and every
// analysis page present when the picture page is written, and Result/pages/links.js, rewritten
// by each program after its page, lists them all (so a page written first learns of the others).
TEST(PlotTool, PageLinksTheSessionsOtherPages) {
  WorkDir dir;
  // After a run of the tool: the picture page holds `nav` and links.js lists `pages`.
  const auto expect_links = [&dir](const std::string& nav, const std::string& pages) {
    ASSERT_EQ(run_tool(dir).status, 0);
    const std::string page = dir.read("Result/plots/index.html");
    EXPECT_NE(page.find(nav), std::string::npos) << page;
    const std::string links = dir.read("Result/pages/links.js");
    EXPECT_NE(links.find("var pages = " + pages + ";"), std::string::npos) << links;
  };
  const FullRun run;
  run.write(dir);
  expect_links(
      "<nav class=\"siblings\" data-self=\"plots/index.html\" data-up=\"../\">"
      "Pages of this session: <b>this page</b></nav>\n"
      "<script src=\"../pages/links.js\"></script>",
      "[[\"plots/index.html\", \"pictures\"]]");

  std::filesystem::create_directories(dir / "Result/loads");
  std::filesystem::create_directories(dir / "Result/analysis/blade <2>");
  std::filesystem::create_directories(dir / "Result/analysis/a1");
  std::filesystem::create_directories(dir / "Result/analysis/empty");  // no page in it
  dir.write("Result/loads/index.html", "<html></html>");
  dir.write("Result/analysis/blade <2>/index.html", "<html></html>");
  dir.write("Result/analysis/a1/index.html", "<html></html>");
  expect_links(
      "Pages of this session: <b>pictures</b> \u00b7 "
      "<a href=\"../loads/index.html\">loads</a> \u00b7 "
      "<a href=\"../analysis/a1/index.html\">analysis a1</a> \u00b7 "
      "<a href=\"../analysis/blade &lt;2&gt;/index.html\">analysis blade "
      "&lt;2&gt;</a></nav>",
      "[[\"plots/index.html\", \"pictures\"], [\"loads/index.html\", \"loads\"], "
      "[\"analysis/a1/index.html\", \"analysis a1\"], "
      "[\"analysis/blade \\u003c2>/index.html\", \"analysis blade &lt;2&gt;\"]]");
}

// The working polar is drawn under the name of the aerofoil it belongs to: the one
// rotorforge-foil left beside it while it still fits the polar, else none.
TEST(PlotTool, WorkingPolarWithItsName) {
  WorkDir dir;
  std::string polar;
  for (int b = 0; b < 7; ++b) {
    for (int a = -10; a <= 35; ++a) {
      polar +=
          fixture::free_line({static_cast<double>(a), 0.1 * a + 0.01 * b, 0.01 + 0.001 * a * a});
    }
  }
  dir.write("Temp/Lift_Drag.dat", polar);
  dir.write(working_name::kPath, working_name::record("e387", polar));
  ToolRun r = run_tool(dir);
  EXPECT_EQ(r.status, 0) << joined(r.err);
  const std::vector<std::string> want = {
      "wrote Result/plots/aerofoil-cl.svg", "wrote Result/plots/aerofoil-cd.svg",
      "wrote Result/plots/aerofoil-ld.svg", "wrote Result/plots/index.html"};
  EXPECT_EQ(r.out, want);
  const std::string ld = dir.read("Result/plots/aerofoil-ld.svg");
  EXPECT_NE(ld.find("Lift-to-drag ratio \u2014 e387"), std::string::npos);
  // Cl/Cd = (0.1 a + 0.06) / (0.01 + 0.001 a^2) is largest at a = 3 in the last block.
  EXPECT_NE(ld.find("highest Cl/Cd 18.9 at 3.0\u00b0, Re 2400000"), std::string::npos);
  for (int b = 0; b < 7; ++b) {
    const char* re[] = {"42000", "83000", "160000", "330000", "640000", "1200000", "2400000"};
    EXPECT_EQ(points_of(ld, std::string("Re ") + re[b]), 46u) << re[b];
  }
  EXPECT_NE(dir.read("Result/plots/index.html").find("<h2>Aerofoil: e387"), std::string::npos);

  // Another polar installed since (say by the aerofoil menu): the name no longer belongs.
  dir.write("Temp/Lift_Drag.dat", polar.substr(0, polar.size() - 4) + "1\r\n");
  r = run_tool(dir);
  EXPECT_NE(dir.read("Result/plots/aerofoil-cl.svg").find("unnamed aerofoil"), std::string::npos);

  // A cut polar is left out with one line; nothing else to draw.
  std::size_t end = 0;
  for (int i = 0; i < 100; ++i) end = polar.find("\r\n", end) + 2;
  dir.write("Temp/Lift_Drag.dat", polar.substr(0, end));
  r = run_tool(dir);
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(std::count(r.err.begin(), r.err.end(),
                       "Temp/Lift_Drag.dat: record 101 of 322: End of file; skipped"),
            1)
      << joined(r.err);
}

}  // namespace
