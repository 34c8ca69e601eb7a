// The rotorforge-study binary with its local engine: a 2 x 2 study whose designs equal single
// rotorforge runs byte for byte (an imported aerofoil included), its summary against those
// runs, resuming, a failed design among good ones, and the command line's errors.
#include <gtest/gtest.h>

#include <fstream>
#include <memory>
#include <regex>
#include <string>
#include <vector>

#include "e2e/run_binary.h"
#include "plot/svg.h"
#include "study/engines.h"
#include "study/study_file.h"
#include "study_support.h"
#include "util/number_text.h"

namespace {

namespace fs = std::filesystem;
using study_test::SourceDir;

std::vector<std::string> lines_of(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string l; std::getline(in, l);) lines.push_back(l);
  return lines;
}

// The number that follows `label` on the first line holding it.
double number_after(const std::string& text, const std::string& label) {
  for (const std::string& l : lines_of(text)) {
    const auto at = l.find(label);
    if (at != std::string::npos) return std::stod(l.substr(at + label.size()));
  }
  ADD_FAILURE() << "no line with " << label;
  return 0.0;
}

// The highest power coefficient (third column) of a performance table's rows.
double highest_cp(const std::string& text) {
  double best = -1e300;
  for (const std::string& l : lines_of(text)) {
    std::istringstream in(l);
    double u, tsr, cp;
    if ((in >> u >> tsr >> cp) && l.find('(') == std::string::npos) best = std::max(best, cp);
  }
  return best;
}

class StudyTool : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    source_ = std::make_unique<SourceDir>();
    source_->write("two.toml", study_test::kTwoByTwo);
    first_ = study_test::run_study_tool(source_->path(), "two.toml -o out --jobs 2");
    study_ = study::read_study(source_->path() / "two.toml", source_->path() / "Data");
  }
  static void TearDownTestSuite() { source_.reset(); }

  static fs::path design_dir(const study::Design& d) {
    return source_->path() / "out/designs" / study::design_id(d);
  }

  // A single rotorforge session with the design's answers, the imported aerofoil answered as
  // NACA 4412 (of which it is a copy).
  static std::unique_ptr<e2e::WorkDir> single_run(const study::Design& d, e2e::Outcome& o) {
    std::string answers = study::answers(d);
    if (d.aerofoil == "myfoil") answers.replace(answers.find("\n4\n"), 3, "\n1\n");
    auto dir = std::make_unique<e2e::WorkDir>();
    o = e2e::run(*dir, answers);
    return dir;
  }

  static inline std::unique_ptr<SourceDir> source_;
  static inline study_test::ToolRun first_;
  static inline study::Study study_;
};

TEST_F(StudyTool, DesignFilesEqualSingleRunsByteForByte) {
  ASSERT_EQ(first_.status, 0) << first_.out << first_.err;
  EXPECT_EQ(first_.out,
            "4 designs: 4 to run, 0 finished before\n"
            "4 designs: 4 finished, 0 failed, 0 not run yet\n"
            "summary: " +
                (source_->path() / "out/summary.csv").string() +
                "\npage:    " + (source_->path() / "out/index.html").string() + "\n");
  ASSERT_EQ(study_.designs.size(), 4u);
  for (const study::Design& d : study_.designs) {
    const fs::path dir = design_dir(d);
    // The imported copy of NACA 4412 is compared with a session that answers 1 at the
    // aerofoil menu: installing it gives exactly the blade of the shipped aerofoil.
    SCOPED_TRACE(d.aerofoil + " " + number_text::shortest(d.tip_radius));
    EXPECT_EQ(support::slurp(dir / "answers.txt"), study::answers(d));
    e2e::Outcome single;
    const auto run = single_run(d, single);
    ASSERT_EQ(single.status, 0) << single.err;
    for (const char* sub : {"Result", "Temp"}) {
      EXPECT_EQ(study_test::tree_difference(run->path() / sub, dir / sub), "") << sub;
    }
    EXPECT_TRUE(support::slurp(dir / "console.txt") == single.out) << "console differs";
    EXPECT_EQ(support::slurp(dir / "stderr.txt"), "");
    // Only the aerofoil's pair of files is copied, and its record of filled angles (SG6043
    // ships with one).
    std::set<std::string> copied{d.aerofoil + ".dat", "Lift" + d.aerofoil + ".dat"};
    if (d.aerofoil == "sg6043") copied.insert("sg6043.fill");
    EXPECT_EQ(study_test::files_under(dir / "Data"), copied);
  }
}

TEST_F(StudyTool, SummaryHoldsWhatTheSingleRunsWrote) {
  const auto rows = study_test::read_csv(support::slurp(source_->path() / "out/summary.csv"));
  ASSERT_EQ(rows.size(), 4u);
  for (std::size_t i = 0; i < rows.size(); ++i) {
    const study::Design& d = study_.designs[i];
    const auto& row = rows[i];
    SCOPED_TRACE(row.at("id"));
    e2e::Outcome single;
    const auto run = single_run(d, single);
    EXPECT_EQ(row.at("id"), study::design_id(d));
    EXPECT_EQ(row.at("aerofoil"), d.aerofoil);
    EXPECT_EQ(std::stod(row.at("tip_radius_m")), d.tip_radius);
    EXPECT_EQ(row.at("material"), "aluminium");
    EXPECT_EQ(row.at("status"), "ok");
    EXPECT_EQ(row.at("message"), "");
    EXPECT_GT(std::stod(row.at("design_s")), 0.0);

    const std::string geometry = run->read("Result/Geometry.out");
    const double mass = number_after(geometry, "Mass of blade");
    EXPECT_EQ(std::stod(row.at("volume_m3")), number_after(geometry, "Volume of blade"));
    EXPECT_EQ(std::stod(row.at("surface_m2")), number_after(geometry, "Surface of blade"));
    EXPECT_EQ(std::stod(row.at("mass_kg")), mass);
    EXPECT_EQ(row.at("rotor_mass_kg"), plot::fixed(mass * 3.0, 6));
    for (int type : {1, 4}) {
      const std::string energy = run->read("Result/Energy" + std::to_string(type) + ".out");
      const std::string k = "type" + std::to_string(type) + "_";
      const double e = number_after(energy, "Average energy production E =");
      EXPECT_EQ(std::stod(row.at(k + "cp_max")), highest_cp(energy));
      EXPECT_EQ(std::stod(row.at(k + "power_W")),
                number_after(energy, "Average power output for a site P ="));
      EXPECT_EQ(std::stod(row.at(k + "energy_kWh")), e);
      // Written with three decimals.
      EXPECT_NEAR(std::stod(row.at(k + "energy_per_kg")), e / (mass * 3.0), 0.0005);
    }
    // Types not run have no columns.
    EXPECT_EQ(row.count("type2_energy_kWh"), 0u);
  }
  // The page names the best design of each type and links its charts, which exist; every row
  // links to the design's own picture page.
  const std::string page = support::slurp(source_->path() / "out/index.html");
  for (const auto& row : rows) {
    const std::string pictures = "designs/" + row.at("id") + "/Result/plots/index.html";
    EXPECT_NE(page.find("<a href=\"" + pictures + "\">" + row.at("id") + "</a>"), std::string::npos)
        << pictures;
    EXPECT_NE(support::slurp(source_->path() / "out" / pictures).find("<img src="),
              std::string::npos)
        << pictures;
  }
  EXPECT_NE(page.find("<title>two by two</title>"), std::string::npos);
  for (const char* chart : {"charts/type1-energy-mass.svg", "charts/type1-energy-per-kg.svg",
                            "charts/type4-energy-mass.svg", "charts/type4-energy-per-kg.svg"}) {
    EXPECT_NE(page.find(std::string("<img src=\"") + chart), std::string::npos) << chart;
    EXPECT_TRUE(fs::is_regular_file(source_->path() / "out" / chart)) << chart;
  }
  for (const char* type : {"type1_", "type4_"}) {
    std::size_t best = 0;
    for (std::size_t i = 1; i < rows.size(); ++i) {
      const auto per_kg = [&](std::size_t k) {
        return std::stod(rows[k].at(std::string(type) + "energy_per_kg"));
      };
      if (per_kg(i) > per_kg(best)) best = i;
    }
    EXPECT_NE(page.find("</b> (design " + rows[best].at("id") + ")"), std::string::npos) << type;
  }
}

TEST_F(StudyTool, RerunSkipsFinishedDesignsAndRedoesTheOthers) {
  const auto status_of = [](const fs::path& dir) { return support::slurp(dir / "status.txt"); };
  std::vector<std::string> before;
  for (const study::Design& d : study_.designs) before.push_back(status_of(design_dir(d)));

  const auto again = study_test::run_study_tool(source_->path(), "two.toml -o out");
  EXPECT_EQ(again.status, 0) << again.err;
  EXPECT_EQ(lines_of(again.out).at(0), "4 designs: 0 to run, 4 finished before");
  for (std::size_t i = 0; i < before.size(); ++i) {
    // The recorded design time would differ after a new session.
    EXPECT_EQ(status_of(design_dir(study_.designs[i])), before[i]);
  }

  // An interrupted design (no outcome recorded) runs again from a clean folder.
  const fs::path redo = design_dir(study_.designs[2]);
  fs::remove(redo / "status.txt");
  support::spit(redo / "Result/stale.out", "left by an interrupted session");
  const auto resumed = study_test::run_study_tool(source_->path(), "two.toml -o out");
  EXPECT_EQ(resumed.status, 0) << resumed.err;
  EXPECT_EQ(lines_of(resumed.out).at(0), "4 designs: 1 to run, 3 finished before");
  EXPECT_FALSE(fs::exists(redo / "Result/stale.out"));
  e2e::Outcome single;
  const auto run = single_run(study_.designs[2], single);
  EXPECT_EQ(study_test::tree_difference(run->path() / "Result", redo / "Result"), "");

  // collect rebuilds the same summary, design times included, from the folder alone.
  const std::string summary = support::slurp(source_->path() / "out/summary.csv");
  fs::remove(source_->path() / "out/summary.csv");
  const auto collected = study_test::run_study_tool(source_->path(), "collect out");
  EXPECT_EQ(collected.status, 0) << collected.err;
  EXPECT_EQ(support::slurp(source_->path() / "out/summary.csv"), summary);
}

TEST(StudyToolAlone, FailedDesignIsRecordedAndTheOthersRun) {
  SourceDir source;
  // A polar cut short: the aerofoil cannot be installed.
  const std::string polar = source.read("Data/Liftnaca4412.dat");
  std::size_t end = 0;
  for (int line = 0; line < 100; ++line) end = polar.find('\n', end) + 1;
  source.write("Data/Liftcut.dat", polar.substr(0, end));
  fs::copy_file(source.path() / "Data/naca4412.dat", source.path() / "Data/cut.dat");
  source.write("s.toml",
               "[rotor]\nblades = 2\nhub_radius = 0.1\ntip_radius = 1\nelements = 3\n"
               "aerofoil = [\"cut\", \"sg6043\"]\n[site]\nmean_wind = 5\n");
  const auto r = study_test::run_study_tool(source.path(), "s.toml");
  EXPECT_EQ(r.status, 1);
  const study::Study s = study::read_study(source.path() / "s.toml", {});
  const std::string cut_id = study::design_id(s.designs[0]);
  EXPECT_EQ(lines_of(r.out).at(0), "2 designs: 1 to run, 0 finished before, 1 could not be set up");
  EXPECT_EQ(lines_of(r.out).at(1), "2 designs: 1 finished, 1 failed, 0 not run yet");
  EXPECT_EQ(r.err, "design " + cut_id + " failed: Data/Liftcut.dat, record 101: End of file\n");
  const auto rows = study_test::read_csv(source.read("s/summary.csv"));
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[0].at("status"), "failed");
  EXPECT_EQ(rows[0].at("mass_kg"), "");
  EXPECT_EQ(rows[1].at("status"), "ok");
  EXPECT_NE(rows[1].at("mass_kg"), "");
}

// A study folder whose name holds a quote, blanks and $(...) is only a name.
TEST(StudyToolAlone, AnyFolderNameWorksAndExecutesNothing) {
  SourceDir source;
  source.write("s.toml",
               "[rotor]\nblades = [2, 3]\nhub_radius = 0.1\ntip_radius = 1\nelements = 2\n"
               "aerofoil = 1\n[site]\nmean_wind = 5\n");
  const std::string name = study_test::kOddFolder;
  const auto r =
      study_test::run_study_tool(source.path(), "s.toml -o " + study::shell_line({name}));
  EXPECT_EQ(r.status, 0) << r.out << r.err;
  EXPECT_NE(r.out.find("2 designs: 2 finished, 0 failed, 0 not run yet"), std::string::npos)
      << r.out;
  EXPECT_TRUE(fs::is_regular_file(source.path() / name / "summary.csv"));
  EXPECT_EQ(study_test::executed(source.path()), "");
}

// Ctrl-C stops the sessions, says what has finished and how to go on; the rerun does the rest.
// collect summarises partial results, and nothing while none has finished.
TEST(StudyToolAlone, InterruptSaysWhatFinishedAndHowToGoOn) {
  SourceDir source;
  source.write("s.toml",
               "[rotor]\nblades = [2, 3]\nhub_radius = 0.1\ntip_radius = [1, 1.1, 1.2]\n"
               "elements = 3\naerofoil = 1\n[site]\nmean_wind = 5\n");
  const std::string tool = "'" + std::string(ROTORFORGE_STUDY_BINARY) + "'";
  ASSERT_EQ(std::system(("cd '" + source.path().string() + "' && { " + tool +
                         " s.toml -o o -j 1 > .out 2> .err & echo $! > .pid; wait $!; "
                         "echo $? > .rc; } &")
                            .c_str()),
            0);
  const auto finished = [&] {
    std::size_t n = 0;
    if (!fs::is_directory(source.path() / "o/designs")) return n;
    for (const auto& e : fs::directory_iterator(source.path() / "o/designs")) {
      n += fs::exists(e.path() / "status.txt");
    }
    return n;
  };
  ASSERT_TRUE(study_test::wait_until([&] { return finished() >= 1; })) << source.read(".err");
  ASSERT_EQ(std::system(("kill -INT $(cat '" + (source.path() / ".pid").string() + "')").c_str()),
            0);
  ASSERT_TRUE(study_test::wait_until([&] { return !source.read(".rc").empty(); }));
  EXPECT_EQ(source.read(".rc"), "130\n") << source.read(".out") << source.read(".err");
  const std::string out = source.read(".out");
  std::smatch m;
  ASSERT_TRUE(std::regex_search(
      out, m,
      std::regex("interrupted\n6 designs: ([0-9]+) finished, 0 failed, ([0-9]+) not run "
                 "yet\n")))
      << out;
  const int done = std::stoi(m[1].str());
  EXPECT_EQ(static_cast<std::size_t>(done), finished()) << "a stopped session records nothing";
  EXPECT_GE(done, 1);
  EXPECT_LT(done, 6);
  EXPECT_NE(out.find("to go on with the others, run the same command again"), std::string::npos);
  EXPECT_NE(source.read("o/index.html").find("Partial results: " + m[2].str() + " of 6"),
            std::string::npos);

  // collect on the partial study: the same counts, status 1.
  const auto partial = study_test::run_study_tool(source.path(), "collect o");
  EXPECT_EQ(partial.status, 1);
  EXPECT_NE(partial.out.find(m[0].str().substr(std::string("interrupted\n").size())),
            std::string::npos)
      << partial.out;

  // The rerun runs only the others.
  const auto again = study_test::run_study_tool(source.path(), "s.toml -o o");
  EXPECT_EQ(again.status, 0) << again.err;
  EXPECT_EQ(lines_of(again.out).at(0), "6 designs: " + std::to_string(6 - done) + " to run, " +
                                           std::to_string(done) + " finished before");

  // Nothing finished: nothing to summarise, nothing written.
  for (const auto& e : fs::directory_iterator(source.path() / "o/designs")) {
    fs::remove(e.path() / "status.txt");
  }
  fs::remove(source.path() / "o/summary.csv");
  const auto none = study_test::run_study_tool(source.path(), "collect o");
  EXPECT_EQ(none.status, 1);
  EXPECT_EQ(none.out, "6 designs: none has finished yet; no summary written\n");
  EXPECT_FALSE(fs::exists(source.path() / "o/summary.csv"));
}

TEST(StudyToolAlone, ProgressBarWithTimeLeftAtATerminalOnly) {
  if (std::system("command -v script > /dev/null 2>&1") != 0) {
    GTEST_SKIP() << "script (util-linux) is not installed: no terminal to run the tool at";
  }
  SourceDir source;
  source.write("s.toml",
               "[rotor]\nblades = [2, 3]\nhub_radius = 0.1\ntip_radius = 1\nelements = 2\n"
               "aerofoil = 1\n[site]\nmean_wind = 5\n");
  // Without a terminal there is no bar.
  const auto plain = study_test::run_study_tool(source.path(), "s.toml -o plain -j 1");
  EXPECT_EQ(plain.status, 0) << plain.err;
  EXPECT_EQ(plain.out.find('['), std::string::npos) << plain.out;
  // script gives the tool a terminal as its standard output.
  const std::string cmd = "cd '" + source.path().string() + "' && script -qec \"'" +
                          ROTORFORGE_STUDY_BINARY + "' s.toml -o tty -j 1\" /dev/null > .tty";
  ASSERT_EQ(std::system(cmd.c_str()), 0);
  const std::string out = source.read(".tty");
  EXPECT_NE(out.find("\r[" + std::string(30, '.') + "] 0/2 designs"), std::string::npos) << out;
  const std::regex half("\r\\[#{15}\\.{15}\\] 1/2 designs, [0-9]+:[0-5][0-9] left");
  EXPECT_TRUE(std::regex_search(out, half)) << out;
  EXPECT_NE(out.find("\r[" + std::string(30, '#') + "] 2/2 designs"), std::string::npos) << out;
}

TEST(StudyToolAlone, CommandLineAndStudyErrorsStopBeforeAnythingRuns) {
  SourceDir source;
  source.write("bad.toml",
               "[rotor]\nblades = 0\nhub_radius = 0.1\ntip_radius = 1\nelements = 3\n"
               "aerofoil = \"nosuch\"\n[site]\nmean_wind = 5\n");
  struct Case {
    std::string args;
    int status;
    std::string err;  // the whole of standard error, or its start when it ends in "..."
  };
  const std::vector<Case> cases = {
      {"bad.toml", 2,
       "bad.toml:2: rotor.blades must be a whole number of at least 1, not 0\n"
       "bad.toml:6: rotor.aerofoil \"nosuch\": Data/nosuch.dat not found (import the section "
       "with rotorforge-foil first)\n"},
      {"bad.toml --engine foo", 2,
       "rotorforge-study: --engine: foo not in {local,parallel,slurm}..."},
      {"bad.toml --jobs 0", 2,
       "rotorforge-study: --jobs: Value 0 not in range 1 to 4096 (see rotorforge-study --help)\n"},
      {"missing.toml", 2, "rotorforge-study: study: File does not exist: missing.toml..."},
      {"", 2, "rotorforge-study: no study file given (see rotorforge-study --help)\n"},
      {"bad.toml --data-dir nowhere", 2,
       "rotorforge-study: nowhere is not a directory (give --data-dir, the folder of the "
       "aerofoil files)\n"},
      {"bad.toml --rotorforge /nonexistent/rotorforge", 2,
       "rotorforge-study: cannot run /nonexistent/rotorforge\n"},
      {"collect .", 2, "rotorforge-study: . holds no study.toml: not the folder of a study\n"},
  };
  for (const Case& c : cases) {
    const auto r = study_test::run_study_tool(source.path(), c.args);
    EXPECT_EQ(r.status, c.status) << c.args;
    if (c.err.size() > 3 && c.err.substr(c.err.size() - 3) == "...") {
      EXPECT_EQ(r.err.substr(0, c.err.size() - 3), c.err.substr(0, c.err.size() - 3)) << c.args;
      EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << c.args << ": " << r.err;
    } else {
      EXPECT_EQ(r.err, c.err) << c.args;
    }
    EXPECT_EQ(r.out, "") << c.args;
  }
  EXPECT_FALSE(fs::exists(source.path() / "bad")) << "nothing may be created for a bad study";

  source.write("ok.toml",
               "[rotor]\nblades = 2\nhub_radius = 0.1\ntip_radius = 1\nelements = 2\n"
               "aerofoil = 1\n[site]\nmean_wind = 5\n");
  const auto help = study_test::run_study_tool(source.path(), "ok.toml --help");
  EXPECT_EQ(help.status, 0);
  EXPECT_NE(help.out.find("rotorforge-study collect DIR"), std::string::npos) << help.out;
  EXPECT_EQ(help.out.find("run-one"), std::string::npos) << "the sessions' subcommand is internal";
  EXPECT_FALSE(fs::exists(source.path() / "ok")) << "--help starts no work";
}

}  // namespace
