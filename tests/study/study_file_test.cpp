// The study file: every kind of mistake reported with its line before anything runs, the cross
// product and explicit designs, the answers fed to a session, and the design ids.
#include "study/study_file.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "support/workdir.h"
#include "util/number_text.h"

namespace {

namespace fs = std::filesystem;

// The smallest complete study; tests add or replace lines.
const std::string kRotor =
    "[rotor]\n"            // 1
    "blades = 3\n"         // 2
    "hub_radius = 0.15\n"  // 3
    "tip_radius = 1.5\n"   // 4
    "elements = 5\n"       // 5
    "aerofoil = 2\n"       // 6
    "[site]\n"             // 7
    "mean_wind = 5\n";     // 8

// kRotor from the line that starts with `key` on.
std::string from(const char* key) {
  return kRotor.substr(kRotor.find(key));
}

std::vector<std::string> problems_of(const std::string& text, const fs::path& data = {}) {
  try {
    study::parse_study(text, "s.toml", data);
  } catch (const study::StudyError& e) {
    return e.problems();
  }
  return {};
}

struct ErrorCase {
  const char* what;
  std::string text;
  std::vector<std::string> problems;
};

TEST(StudyFile, EveryMistakeIsReportedWithItsLine) {
  const std::vector<ErrorCase> cases = {
      {"unknown table",
       kRotor + "[rotr]\nblades = 2\n",
       {"s.toml:9: unknown key rotr (expected rotor, blade, site, variable_speed, two_speed, "
        "constant_speed, pitch, loads, design, blade_files or title)"}},
      {"unknown key",
       kRotor + "tip = 2\n",
       {"s.toml:9: unknown key site.tip (site takes mean_wind, cut_in, cut_out, hub_height, "
        "altitude)"}},
      {"key in a type without keys",
       kRotor + "[variable_speed]\nspeed = 200\n",
       {"s.toml:10: unknown key variable_speed.speed (this table takes no keys)"}},
      {"sub-table",
       kRotor + "[blade]\n[rotor.x]\n",
       {"s.toml:10: unknown key rotor.x (rotor takes blades, hub_radius, tip_radius, elements, "
        "setting_angle, aerofoil)"}},
      {"fraction for a whole number",
       "[rotor]\nblades = 2.5\n" + from("hub_radius"),
       {"s.toml:2: rotor.blades must be a whole number, not a number with a fraction"}},
      {"text for a number",
       "[rotor]\nblades = 3\nhub_radius = \"0.15\"\n" + from("tip_radius"),
       {"s.toml:3: rotor.hub_radius must be a number, not a string"}},
      {"number for a switch",
       kRotor + "[blade]\nstl = 1\n",
       {"s.toml:10: blade.stl must be true or false, not a whole number"}},
      {"list inside a list",
       "[rotor]\nblades = [[2, 3]]\n" + from("hub_radius"),
       {"s.toml:2: rotor.blades must be a value or a list of values"}},
      {"empty list",
       "[rotor]\nblades = []\n" + from("hub_radius"),
       {"s.toml:2: rotor.blades is an empty list"}},
      {"no blade",
       "[rotor]\nblades = [3, 0]\n" + from("hub_radius"),
       {"s.toml:2: rotor.blades must be a whole number of at least 1, not 0"}},
      {"value made a table",
       kRotor + "[rotor.elements]\n",
       {"s.toml:9: Error while parsing table header: cannot redefine existing integer "
        "'rotor.elements' as table"}},
      {"elements out of range",
       "[rotor]\nblades = 3\nhub_radius = 0.15\ntip_radius = 1.5\nelements = 10001\n" +
           from("aerofoil"),
       {"s.toml:5: rotor.elements must be a whole number from 1 to 10000, not 10001"}},
      {"negative hub",
       "[rotor]\nblades = 3\nhub_radius = -0.1\n" + from("tip_radius"),
       {"s.toml:3: rotor.hub_radius must be 0 or more, not -0.1"}},
      {"tip inside the hub",
       "[rotor]\nblades = 3\nhub_radius = 0.15\ntip_radius = [1.5, 0.1]\n" + from("elements"),
       {"s.toml:4: rotor.tip_radius 0.1 must be greater than rotor.hub_radius 0.15"}},
      {"not a number",
       kRotor + "[blade]\nwall_thickness = nan\n",
       {"s.toml:10: blade.wall_thickness must be a finite number"}},
      {"aerofoil number",
       "[rotor]\nblades = 3\nhub_radius = 0.15\ntip_radius = 1.5\n"
       "elements = 5\naerofoil = [1, 4]\n[site]\nmean_wind = 5\n",
       {"s.toml:6: rotor.aerofoil must be 1, 2, 3 or the name of an aerofoil in Data/, not 4"}},
      {"aerofoil path",
       "[rotor]\nblades = 3\nhub_radius = 0.15\ntip_radius = 1.5\n"
       "elements = 5\naerofoil = \"../etc/x\"\n[site]\nmean_wind = 5\n",
       {"s.toml:6: rotor.aerofoil \"../etc/x\" is not a file name of Data/ (letters, digits, "
        "'_', '-', '.')"}},
      {"blade type",
       kRotor + "[blade]\ntype = \"foam\"\n",
       {"s.toml:10: blade.type must be \"solid\" or \"hollow\", not \"foam\""}},
      {"hollow without a wall",
       kRotor + "[blade]\ntype = [\"solid\", \"hollow\"]\n",
       {"s.toml:10: blade.wall_thickness is missing for a hollow blade"}},
      {"material",
       kRotor + "[blade]\nmaterial = \"steel\"\n",
       {"s.toml:10: blade.material must be one of wood, aluminium, s-glass, carbon, polywood, "
        "not \"steel\""}},
      {"material number",
       kRotor + "[blade]\nmaterial = 6\n",
       {"s.toml:10: blade.material must be from 1 to 5, not 6"}},
      {"calm site",
       "[site]\nmean_wind = 0\n" + kRotor.substr(0, kRotor.find("[site]")),
       {"s.toml:2: site.mean_wind must be greater than 0, not 0"}},
      {"hub on the ground",
       kRotor + "hub_height = 0.02\ncut_in = 3\ncut_out = 20\n",
       {"s.toml:9: site.hub_height must be greater than 0.025 m, not 0.02"}},
      {"no cut-in",
       kRotor + "hub_height = 10\ncut_in = 0\ncut_out = 20\n",
       {"s.toml:10: site.cut_in must be greater than 0, not 0"}},
      {"air colder than 0 K",
       kRotor + "altitude = [0, 44307, 44308]\n",
       {"s.toml:9: site.altitude must be below 44307.69 m, not 44308"}},
      {"cut-out below cut-in",
       kRotor + "hub_height = 10\ncut_in = 3\ncut_out = [20, 3]\n",
       {"s.toml:11: site.cut_out 3 must be greater than site.cut_in 3"}},
      {"sweep without its site",
       kRotor + "[constant_speed]\nspeed = 200\n",
       {"s.toml:1: site.cut_in is missing", "s.toml:1: site.cut_out is missing",
        "s.toml:1: site.hub_height is missing"}},
      {"type without its answers",
       kRotor + "hub_height = 10\ncut_in = 3\ncut_out = 20\n[pitch]\nspeed = 200\n",
       {"s.toml:1: pitch.power_limit is missing"}},
      {"zero speed",
       kRotor + "hub_height = 10\ncut_in = 3\ncut_out = 20\n[two_speed]\n"
                "first_speed = 0\n",
       {"s.toml:13: two_speed.first_speed must be greater than 0, not 0"}},
      {"missing rotor values",
       "[site]\nmean_wind = 5\n",
       {"s.toml:1: rotor.blades is missing", "s.toml:1: rotor.hub_radius is missing",
        "s.toml:1: rotor.tip_radius is missing", "s.toml:1: rotor.elements is missing",
        "s.toml:1: rotor.aerofoil is missing"}},
      {"design entries",
       "design = 3\n" + kRotor,
       {"s.toml:1: design must be a list of tables ([[design]] entries)"}},
      {"bad entry",
       kRotor + "[[design]]\nrotor.blades = 0\n[[design]]\nrotor.blade = 2\n",
       {"s.toml:10: rotor.blades must be a whole number of at least 1, not 0",
        "s.toml:12: unknown key rotor.blade (rotor takes blades, hub_radius, tip_radius, "
        "elements, setting_angle, aerofoil)"}},
      {"several at once",
       "[rotor]\nblades = 0\nhub_radius = -1\n" + from("tip_radius"),
       {"s.toml:2: rotor.blades must be a whole number of at least 1, not 0",
        "s.toml:3: rotor.hub_radius must be 0 or more, not -1"}},
      {"title", "title = 3\n" + kRotor, {"s.toml:1: title must be a string, not a whole number"}},
      {"TOML syntax",
       kRotor + "cut_in = \n",
       {"s.toml:9: Error while parsing key-value pair: expected value, saw '\\n'"}},
  };
  for (const ErrorCase& c : cases) {
    EXPECT_EQ(problems_of(c.text), c.problems) << c.what << "\n" << c.text;
  }
}

TEST(StudyFile, ImportedAerofoilNeedsBothFilesInTheDataFolder) {
  support::ScratchDir dir("rotorforge-study-");
  fs::create_directories(dir.path() / "Data");
  dir.write("Data/myfoil.dat", "x");
  const std::string text =
      "[rotor]\nblades = 3\nhub_radius = 0.15\ntip_radius = 1.5\nelements = 5\n"
      "aerofoil = [\"MyFoil\", \"myfoil\"]\n[site]\nmean_wind = 5\n";
  const fs::path data = dir.path() / "Data";
  const std::vector<std::string> want = {
      "s.toml:6: rotor.aerofoil \"MyFoil\": " + (data / "MyFoil.dat").string() +
          " not found (import the section with rotorforge-foil first)",
      "s.toml:6: rotor.aerofoil \"myfoil\": " + (data / "Liftmyfoil.dat").string() +
          " not found (import the section with rotorforge-foil first)"};
  EXPECT_EQ(problems_of(text, data), want);
  dir.write("Data/Liftmyfoil.dat", "x");
  // Imported names keep their case (they are file names); shipped ones are found in any case.
  EXPECT_EQ(problems_of(text, data).size(), 1u);
  // Without a data folder (a study read back for its summary) the files are not looked for.
  EXPECT_TRUE(problems_of(text).empty());
}

std::vector<std::string> summary_of(const study::Study& s) {
  std::vector<std::string> out;
  for (const study::Design& d : s.designs) {
    out.push_back(std::to_string(d.blades) + " " + number_text::shortest(d.tip_radius) + " " +
                  d.aerofoil + " " + (d.blade_type == 2 ? "hollow" : "solid") + " " +
                  number_text::shortest(d.wall_thickness));
  }
  return out;
}

TEST(StudyFile, CrossProductRunsTheLastKeyFastest) {
  const study::Study s = study::parse_study(
      "[rotor]\nblades = [2, 3]\nhub_radius = 0.15\ntip_radius = [1.2, 1.5]\nelements = 5\n"
      "aerofoil = [\"NACA4412\", 2]\n[site]\nmean_wind = 5\n",
      "s.toml", {});
  const std::vector<std::string> want = {"2 1.2 naca4412 solid 0", "2 1.2 sg6043 solid 0",
                                         "2 1.5 naca4412 solid 0", "2 1.5 sg6043 solid 0",
                                         "3 1.2 naca4412 solid 0", "3 1.2 sg6043 solid 0",
                                         "3 1.5 naca4412 solid 0", "3 1.5 sg6043 solid 0"};
  EXPECT_EQ(summary_of(s), want);
  EXPECT_FALSE(s.any_type);
}

TEST(StudyFile, ExplicitDesignsOverrideTheTopLevelAndRepeatsRunOnce) {
  const study::Study s = study::parse_study(
      kRotor +
          "[blade]\ntype = [\"solid\", \"hollow\"]\nwall_thickness = [2, 3]\n"
          "[[design]]\nrotor.blades = 2\n"
          "[[design]]\nrotor = { tip_radius = 1.2, aerofoil = \"naca4432\" }\n"
          "blade.type = \"solid\"\n"
          "[[design]]\nrotor.tip_radius = 1.2\nrotor.aerofoil = 3\nblade.type = 1\n",
      "s.toml", {});
  // A solid blade has no wall: its two thicknesses give one design. The last entry repeats the
  // second one.
  const std::vector<std::string> want = {"2 1.5 sg6043 solid 0", "2 1.5 sg6043 hollow 2",
                                         "2 1.5 sg6043 hollow 3", "3 1.2 naca4432 solid 0"};
  EXPECT_EQ(summary_of(s), want);
}

TEST(StudyFile, AnswersOfEveryTypeInMenuOrder) {
  const std::string text =
      "[rotor]\nblades = 3\nhub_radius = 0.15\ntip_radius = 1.5\nelements = 5\n"
      "setting_angle = -1.5\naerofoil = \"sg6043\"\n"
      "[blade]\ntype = \"hollow\"\nwall_thickness = 2.5\nmaterial = \"Carbon\"\nstl = true\n"
      "[site]\nmean_wind = 5.5\ncut_in = 3\ncut_out = 20\nhub_height = 12.5\naltitude = 100\n"
      "[pitch]\nspeed = 300\npower_limit = 1500\n[variable_speed]\n"
      "[two_speed]\nfirst_speed = 150\n[constant_speed]\nspeed = 200\n";
  const study::Study s = study::parse_study(text, "s.toml", {});
  ASSERT_EQ(s.designs.size(), 1u);
  const std::string site = "3\n20\n5.5\n12.5\n100\n";
  EXPECT_EQ(study::answers(s.designs[0]),
            "3\n0.15\n1.5\n5\n-1.5\n2\n5.5\n2\n2.5\n4\n"  // rotor, aerofoil, Umid, blade
            "1\n" +
                site + "2\n" + site + "150\n3\n" + site + "200\n4\n" + site +
                "300\n1500\n"  // the four sweeps
                "6\n0\n");     // STL, stop
  EXPECT_TRUE(s.any_type);

  // A solid blade is not asked its wall; without types the menu is left at once.
  const study::Study plain = study::parse_study(kRotor, "s.toml", {});
  EXPECT_EQ(study::answers(plain.designs[0]), "3\n0.15\n1.5\n5\n0\n2\n5\n1\n1\n0\n");
}

TEST(StudyFile, IdsFollowTheAnswersAndTheImportedAerofoil) {
  const auto design = [](const std::string& foil, const std::string& tip) {
    return study::parse_study("[rotor]\nblades = 3\nhub_radius = 0.15\ntip_radius = " + tip +
                                  "\nelements = 5\naerofoil = " + foil +
                                  "\n[site]\nmean_wind = 5\n",
                              "s.toml", {})
        .designs.at(0);
  };
  const std::string by_number = study::design_id(design("1", "1.5"));
  EXPECT_EQ(by_number.size(), 16u);
  EXPECT_EQ(by_number.find_first_not_of("0123456789abcdef"), std::string::npos);
  // The same answers give the same id, however the aerofoil was named.
  EXPECT_EQ(study::design_id(design("\"naca4412\"", "1.5")), by_number);
  EXPECT_EQ(study::design_id(design("1", "1.50")), by_number);
  // Imported sections all answer 4; their names tell them apart.
  std::set<std::string> ids = {by_number, study::design_id(design("1", "1.2")),
                               study::design_id(design("\"myfoil\"", "1.5")),
                               study::design_id(design("\"otherfoil\"", "1.5"))};
  EXPECT_EQ(ids.size(), 4u);
  EXPECT_EQ(study::answers(design("\"myfoil\"", "1.5")), "3\n0.15\n1.5\n5\n0\n4\n5\n1\n1\n0\n");
}

}  // namespace

namespace {

// The example studies of the README stay valid, and each asks for several designs.
TEST(StudyFile, ShippedExamplesAreValid) {
  const fs::path root(ROTORFORGE_SOURCE_DIR);
  int examples = 0;
  for (const auto& e : fs::directory_iterator(root / "examples")) {
    if (e.path().extension() != ".toml") continue;
    ++examples;
    const study::Study s = study::read_study(e.path(), root / "Data");
    EXPECT_GE(s.designs.size(), 2u) << e.path();
    EXPECT_TRUE(s.any_type) << e.path();
  }
  EXPECT_GE(examples, 2);
}

}  // namespace
