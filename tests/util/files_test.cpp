#include "util/files.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "util/catalogue.h"

namespace {

TEST(Files, EveryNameIsRelativeUnderTempOrResultAndNoTwoCoincide) {
  std::vector<std::string_view> names = {
      files::kPolarCopy,   files::kOwnOutline,    files::kMeasuredOutline, files::kChordLaw,
      files::kTwistLaw,    files::kTrialChordLaw, files::kTrialTwistLaw,   files::kPlotWinds,
      files::kPlotPowers,  files::kPlotLimit,     files::kGeometryTable,   files::kPerformanceTable,
      files::kBladePoints, files::kBladeStl};
  names.insert(names.end(), files::kEnergyTables.begin(), files::kEnergyTables.end());
  std::set<std::string_view> seen;
  for (std::string_view n : names) {
    EXPECT_TRUE(n.starts_with("Temp/") || n.starts_with("Result/")) << n;
    EXPECT_TRUE(seen.insert(n).second) << n << " names two files";
  }
  // Turbine type t writes the table with its own number in the name.
  for (int t = 1; t <= 4; ++t) {
    EXPECT_EQ(files::kEnergyTables[static_cast<std::size_t>(t - 1)],
              "Result/Energy" + std::to_string(t) + ".out");
  }
}

// A section's files, and the section a polar file of the data directory belongs to: the shipped
// aerofoils' menu fields name the same files, and only a polar's name gives its section back.
TEST(Files, SectionFilesAndTheSectionOfAPolarFile) {
  const std::filesystem::path data = "Data";
  EXPECT_EQ(files::polar_path(data, "e387"), "Data/Lifte387.dat");
  EXPECT_EQ(files::outline_path(data, "e387"), "Data/e387.dat");
  for (const catalogue::Aerofoil& a : catalogue::kAerofoils) {
    EXPECT_EQ(files::polar_path(data, a.stem).string(), catalogue::unpadded(a.polar_field));
    EXPECT_EQ(files::outline_path(data, a.stem).string(), catalogue::unpadded(a.outline_field));
    EXPECT_EQ(files::polar_section(files::polar_name(a.stem)), a.stem);
  }
  const struct {
    std::string_view file;
    std::string_view section;
  } cases[] = {{"Lifte387.dat", "e387"}, {"Lift.x.dat", ".x"},    {"Lift.dat", ""},
               {"LiftA.dat", "A"},       {"e387.dat", ""},        {"Lifte387.txt", ""},
               {"liftA.dat", ""},        {"Lifte387.dat.bak", ""}};
  for (const auto& c : cases) EXPECT_EQ(files::polar_section(c.file), c.section) << c.file;
}

}  // namespace
