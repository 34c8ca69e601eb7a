#include "util/files.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <string_view>
#include <vector>

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

}  // namespace
