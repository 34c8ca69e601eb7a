// Spelling of the data files' numbers, and files written whole or not at all.
#include "foil/datafile.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "support/spelling.h"
#include "support/workdir.h"

namespace {

namespace fs = std::filesystem;

TEST(Significant, SixDigitsPlainDecimalNoTrailingZeros) {
  const support::Spelling<double> cases[] = {
      {1.23456789, "1.23457"},
      {0.005, "0.005"},
      {0.0050000001, "0.005"},
      {-0.0, "0"},
      {0.0, "0"},
      {2.0, "2"},
      {-1.5, "-1.5"},
      {123456.7, "123457"},
      {0.000123456789, "0.000123457"},
      {9.9999996, "10"},
      {-0.99999996, "-1"},
      {1.29, "1.29"},
      {0.0417000000001, "0.0417"},
      {1234567.0, "1234570"},
      {1e-7, "0.0000001"},
  };
  support::expect_spellings<double>(cases, [](double v) { return foil::significant(v); });
}

TEST(Coordinate, TenDecimalsAndNoNegativeZero) {
  EXPECT_EQ(foil::coordinate(0.0), "0.0000000000");
  EXPECT_EQ(foil::coordinate(-1e-12), "0.0000000000");
  EXPECT_EQ(foil::coordinate(-0.0), "0.0000000000");
  EXPECT_EQ(foil::coordinate(-0.01234567891), "-0.0123456789");
  EXPECT_EQ(foil::coordinate(1.0), "1.0000000000");
}

TEST(FileLayout, OutlineAndPolarRecords) {
  foil::Outline o;
  const auto x = foil::stations();
  for (int j = 0; j < foil::kStations; ++j) {
    o.lower[j] = {x[j], -0.01};
    o.upper[j] = {x[j], 0.02};
  }
  const std::string outline = foil::outline_text(o);
  EXPECT_EQ(std::count(outline.begin(), outline.end(), '\n'), 100);
  EXPECT_EQ(outline.substr(0, 26), "0.0000000000 -0.0100000000");
  EXPECT_EQ(outline.substr(outline.size() - 26), "1.0000000000 0.0200000000\n");

  foil::Polar polar{};
  for (auto& block : polar) {
    for (int r = 0; r < foil::kRows; ++r) block[r] = {foil::kFirstAngle + r, 0.1 * r, 0.01};
  }
  const std::string text = foil::polar_text(polar);
  EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 322);
  EXPECT_EQ(text.substr(0, 22), "-10 0 0.01\n-9 0.1 0.01");
}

TEST(WriteFiles, AllOrNothing) {
  support::WorkDir dir("rotorforge-foil-files-");
  fs::create_directory("Data");
  support::spit("Data/a.dat", "old a\n");
  // The second file cannot be written: the first keeps its old content, no temporary is left.
  EXPECT_THROW(foil::write_files({{"Data/a.dat", "new a\n"}, {"Missing/b.dat", "b\n"}}),
               foil::Error);
  EXPECT_EQ(support::slurp("Data/a.dat"), "old a\n");
  std::size_t files = 0;
  for (const auto& e : fs::directory_iterator("Data")) {
    (void)e;
    ++files;
  }
  EXPECT_EQ(files, 1u);
  foil::write_files({{"Data/a.dat", "new a\n"}, {"Data/b.dat", "b\n"}});
  EXPECT_EQ(support::slurp("Data/a.dat"), "new a\n");
  EXPECT_EQ(support::slurp("Data/b.dat"), "b\n");
}

}  // namespace
