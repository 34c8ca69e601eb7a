// Blade files listed as designs of a study: read with the study's site and turbine types, run by
// rotorforge-analyse, summarised beside each other with the analysis's own figures.
#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "study/study_file.h"
#include "support/shell.h"
#include "support/workdir.h"

namespace {

namespace fs = std::filesystem;

const std::string kBlade =
    "blades = 3\nhub_radius = 0.15\nelements = 8\n"
    "[[station]]\nr = 0.15\nchord = 0.16\ntwist = 25\nsection = \"sg6043\"\n"
    "[[station]]\nr = 1.5\nchord = 0.03\ntwist = -1\nsection = \"sg6043\"\n";
const std::string kStraighter =
    "blades = 3\nhub_radius = 0.15\nelements = 8\n"
    "[[station]]\nr = 0.15\nchord = 0.12\ntwist = 20\nsection = \"cylinder\"\n"
    "[[station]]\nr = 0.3\nchord = 0.12\ntwist = 20\nsection = \"sg6043\"\n"
    "[[station]]\nr = 1.5\nchord = 0.04\ntwist = 0\nsection = \"sg6043\"\n";

const std::string kSite =
    "[site]\nmean_wind = 5\ncut_in = 3\ncut_out = 20\nhub_height = 10\n[variable_speed]\n";

class Dir : public support::SessionDir {
 public:
  Dir() : support::SessionDir("rotorforge-study-blades-") {
    fs::create_directories(path() / "blades");
    write("blades/a.toml", kBlade);
    write("blades/b.toml", kStraighter);
  }
};

std::vector<std::string> problems_of(const std::string& text, const fs::path& file) {
  try {
    study::parse_study(text, file.string(), {});
  } catch (const study::StudyError& e) {
    return e.problems();
  }
  return {};
}

TEST(StudyBladeFiles, ListedFilesAreDesignsAtTheStudysSite) {
  Dir d;
  const fs::path file = d.path() / "blades" / "s.toml";
  const study::Study s =
      study::parse_study("blade_files = [\"a.toml\", \"b.toml\"]\n" + kSite, file.string(), {});
  ASSERT_EQ(s.designs.size(), 2u);
  EXPECT_EQ(s.designs[0].blade_file, (d.path() / "blades/a.toml").lexically_normal().string());
  EXPECT_EQ(s.designs[1].blade_file, (d.path() / "blades/b.toml").lexically_normal().string());
  for (const study::Design& x : s.designs) {
    EXPECT_EQ(x.blades, 0);
    EXPECT_EQ(x.mean_wind, 5.0);
    EXPECT_EQ(x.cut_out, 20.0);
    EXPECT_TRUE(x.runs[0]);
    EXPECT_EQ(
        study::analyse_arguments(x, "blade.toml"),
        (std::vector<std::string>{"blade.toml", "--mean-wind", "5", "--cut-in", "3", "--cut-out",
                                  "20", "--hub-height", "10", "--altitude", "0"}));
  }
  EXPECT_NE(study::design_id(s.designs[0]), study::design_id(s.designs[1]));

  // Beside designed rotors: both kinds.
  const study::Study mixed = study::parse_study(
      "blade_files = [\"a.toml\"]\n[rotor]\nblades = 3\nhub_radius = 0.15\ntip_radius = 1.5\n"
      "elements = 5\naerofoil = 2\n" +
          kSite,
      file.string(), {});
  ASSERT_EQ(mixed.designs.size(), 2u);
  EXPECT_TRUE(mixed.designs[0].blade_file.empty());
  EXPECT_FALSE(mixed.designs[1].blade_file.empty());

  // Mistakes.
  EXPECT_EQ(problems_of("blade_files = [\"c.toml\"]\n" + kSite, file),
            std::vector<std::string>{file.string() + ":1: blade_files: " +
                                     (d.path() / "blades/c.toml").string() + " not found"});
  EXPECT_EQ(problems_of("blade_files = [3]\n" + kSite, file),
            std::vector<std::string>{file.string() +
                                     ":1: blade_files: each entry must be a file name in quotes"});
  EXPECT_EQ(problems_of("blade_files = [\"a.toml\"]\n[site]\nmean_wind = 5\n", file),
            std::vector<std::string>{file.string() +
                                     ":1: blade_files need a turbine type ([variable_speed], "
                                     "[two_speed], [constant_speed] or [pitch])"});
}

// The summary's yearly energy of each blade file is rotorforge-analyse's for that file.
TEST(StudyBladeFiles, SummaryHoldsEachFilesAnalysis) {
  Dir d;
  d.write("s.toml",
          "title = \"two blades\"\nblade_files = [\"blades/a.toml\", \"blades/b.toml\"]\n" + kSite);
  const auto run = support::run_in(
      d.path(), "'" + std::string(ROTORFORGE_STUDY_BINARY) + "' s.toml -o out > /dev/null");
  ASSERT_EQ(run.status, 0) << run.err;
  std::vector<std::string> energies;
  for (const char* f : {"blades/a.toml", "blades/b.toml"}) {
    const auto a = support::run_in(
        d.path(), "'" + std::string(ROTORFORGE_ANALYSE_BINARY) + "' " + f + " --elements 8");
    ASSERT_EQ(a.status, 0) << a.err;
    // "type 1, stall control, variable speed: P W, E kW h a year ..."
    const std::size_t w = a.out.find(" W, ");
    const std::size_t k = a.out.find(" kW h a year");
    ASSERT_NE(k, std::string::npos) << a.out;
    energies.push_back(a.out.substr(w + 4, k - w - 4));
  }
  std::istringstream csv(support::slurp(d.path() / "out/summary.csv"));
  std::string header, line;
  std::getline(csv, header);
  std::vector<std::string> names;
  {
    std::istringstream h(header);
    for (std::string c; std::getline(h, c, ',');) names.push_back(c);
  }
  std::size_t energy_col = 0, file_col = 0, status_col = 0;
  for (std::size_t i = 0; i < names.size(); ++i) {
    if (names[i] == "type1_energy_kWh") energy_col = i;
    if (names[i] == "blade_file") file_col = i;
    if (names[i] == "status") status_col = i;
  }
  ASSERT_NE(energy_col, 0u) << header;
  ASSERT_NE(file_col, 0u) << header;
  for (std::size_t row = 0; std::getline(csv, line); ++row) {
    std::vector<std::string> cells;
    std::istringstream l(line);
    for (std::string c; std::getline(l, c, ',');) cells.push_back(c);
    ASSERT_LT(row, 2u);
    EXPECT_EQ(cells[status_col], "ok") << line;
    EXPECT_NE(cells[file_col].find(row == 0 ? "a.toml" : "b.toml"), std::string::npos);
    // The summary writes the shortest text of the table's two decimals.
    EXPECT_EQ(std::stod(cells[energy_col]), std::stod(energies[row])) << line;
  }
}

}  // namespace
