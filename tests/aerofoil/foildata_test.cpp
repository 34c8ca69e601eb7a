#include "aerofoil/foildata.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <limits>
#include <optional>
#include <string>
#include <vector>

#include "aerofoil/aerofoil_support.h"
#include "aerofoil/data_in.h"
#include "aerofoil/global.h"
#include "aerofoil/polar.h"
#include "textio/textio.h"
#include "util/catalogue.h"

namespace {

namespace fs = std::filesystem;
using aerofoil_test::read_records;
using aerofoil_test::slurp;
using aerofoil_test::spit;
using aerofoil_test::WorkDir;

// Numbers as a data file may spell them, and as the working copy must spell them.
struct Spelling {
  const char* in;
  const char* out;
};
constexpr Spelling kSpellings[] = {
    {"2", "2."},       {"0.10", "0.1"},     {"-10", "-10."},
    {"0", "0."},       {"1.5e-2", "0.015"}, {".5", "0.5"},
    {"3.", "3."},      {"1.25d0", "1.25"},  {"-0.0075", "-0.0075"},
    {"1e-7", "1.E-7"}, {"12.5", "12.5"},    {"0.0123450", "0.012345"},
    {"+1.75", "1.75"}, {"2.0E+1", "20."},   {"-1.3", "-1.3"},
};
constexpr int kNumSpellings = sizeof kSpellings / sizeof kSpellings[0];

const Spelling& spelling(int n) {
  return kSpellings[n % kNumSpellings];
}

// A data file's text and the records its working copy must hold.
struct DataText {
  std::string file;
  std::vector<std::string> copy;
};

// A polar file of 322 records.
DataText make_polar() {
  DataText p;
  for (int r = 0; r < 322; ++r) {
    const Spelling& a = spelling(r);
    const Spelling& b = spelling(r + 1);
    const Spelling& c = spelling(r + 3);
    // Separators vary as data files written by hand do: blanks, tabs, a comma.
    const char* sep = r % 3 == 0 ? "  " : (r % 3 == 1 ? "\t" : " , ");
    p.file += std::string(a.in) + sep + b.in + " " + c.in + (r % 2 == 0 ? "\n" : "\r\n");
    p.copy.push_back(std::string(" ") + a.out + " " + b.out + " " + c.out);
  }
  return p;
}

// An outline file of 100 records and the 102 records of each working copy.
DataText make_outline() {
  DataText o;
  for (int s = 0; s < 2; ++s) {
    for (int p = 0; p < 50; ++p) {
      const Spelling& x = spelling(s * 50 + p + 5);
      const Spelling& y = spelling(s * 50 + p + 9);
      o.file += std::string(" ") + x.in + " " + y.in + "\n";
      o.copy.push_back(std::string(" ") + x.out + " " + y.out);
    }
    o.copy.push_back("");
  }
  return o;
}

std::string crlf_text(const std::vector<std::string>& records) {
  std::string text;
  for (const auto& r : records) text += r + "\r\n";
  return text;
}

class FoilData : public ::testing::Test {
 protected:
  WorkDir dir_;
};

TEST_F(FoilData, CatalogueNamesAreBlankPaddedFields) {
  const char* polar[3] = {"Data/Liftnaca4412.dat", "Data/Liftsg6043.dat", "Data/Liftnaca4432.dat"};
  const char* outline[3] = {"Data/naca4412.dat", "Data/sg6043.dat", "Data/naca4432.dat"};
  for (int i = 0; i < 3; ++i) {
    const catalogue::Aerofoil& foil = catalogue::kAerofoils[static_cast<std::size_t>(i)];
    EXPECT_EQ(foil.polar_field.size(), 22u);
    EXPECT_EQ(foil.outline_field.size(), 22u);
    EXPECT_EQ(foil.polar_field,
              std::string(polar[i]) + std::string(22 - std::strlen(polar[i]), ' '));
    EXPECT_EQ(foil.outline_field,
              std::string(outline[i]) + std::string(22 - std::strlen(outline[i]), ' '));
    EXPECT_EQ(catalogue::unpadded(foil.polar_field), polar[i]);
  }
}

TEST_F(FoilData, ChoiceCopiesTheChosenAerofoilByteForByte) {
  const char* polar[3] = {"Data/Liftnaca4412.dat", "Data/Liftsg6043.dat", "Data/Liftnaca4432.dat"};
  const char* outline[3] = {"Data/naca4412.dat", "Data/sg6043.dat", "Data/naca4432.dat"};
  const DataText p = make_polar();
  const DataText o = make_outline();
  for (int n = 1; n <= 3; ++n) {
    // Only aerofoil n has data files, so picking any other would fail to open.
    for (int i = 0; i < 3; ++i) {
      fs::remove(polar[i]);
      fs::remove(outline[i]);
    }
    spit(polar[n - 1], p.file);
    spit(outline[n - 1], o.file);
    foildata::choice(n);

    const auto lift = read_records("Temp/Lift_Drag.dat");
    ASSERT_EQ(lift.size(), 322u) << "aerofoil " << n;
    EXPECT_EQ(slurp("Temp/Lift_Drag.dat"), crlf_text(p.copy)) << "aerofoil " << n;
    for (const char* name : {"Temp/Profil.dat", "Temp/ProfilI.dat"}) {
      const auto records = read_records(name);
      ASSERT_EQ(records.size(), 102u) << name;
      EXPECT_EQ(records[50], "") << name;
      EXPECT_EQ(records[101], "") << name;
      EXPECT_EQ(slurp(name), crlf_text(o.copy)) << name;
    }
    // The data files are only read.
    EXPECT_EQ(slurp(polar[n - 1]), p.file);
    EXPECT_EQ(slurp(outline[n - 1]), o.file);
  }
}

TEST_F(FoilData, SpellingOfCopiedValues) {
  // The two spellings named for the working copies, on the first record.
  std::string polar = "2 0.10 0.10\n";
  for (int r = 1; r < 322; ++r) polar += "1 1 1\n";
  spit("Data/Liftsg6043.dat", polar);
  spit("Data/sg6043.dat", make_outline().file);
  foildata::choice(2);
  const auto lift = read_records("Temp/Lift_Drag.dat");
  ASSERT_EQ(lift.size(), 322u);
  EXPECT_EQ(lift[0], " 2. 0.1 0.1");
  EXPECT_EQ(lift[321], " 1. 1. 1.");
}

TEST_F(FoilData, OtherNumbersTouchNothing) {
  const DataText p = make_polar();
  const DataText o = make_outline();
  spit("Data/Liftnaca4412.dat", p.file);
  spit("Data/naca4412.dat", o.file);
  spit("Data/Liftsg6043.dat", p.file);
  spit("Data/sg6043.dat", o.file);
  spit("Data/Liftnaca4432.dat", p.file);
  spit("Data/naca4432.dat", o.file);

  const std::int64_t numbers[] = {0,
                                  4,
                                  -1,
                                  5,
                                  std::numeric_limits<std::int64_t>::min(),
                                  std::numeric_limits<std::int64_t>::max()};
  // In a fresh working directory nothing appears.
  for (std::int64_t n : numbers) {
    foildata::choice(n);
    EXPECT_TRUE(fs::is_empty("Temp")) << n;
  }
  // Working files of an earlier run stay as they were.
  spit("Temp/Lift_Drag.dat", "old polar\n");
  spit("Temp/Profil.dat", "old outline\n");
  spit("Temp/ProfilI.dat", "old outline I\n");
  for (std::int64_t n : numbers) {
    foildata::choice(n);
    EXPECT_EQ(slurp("Temp/Lift_Drag.dat"), "old polar\n") << n;
    EXPECT_EQ(slurp("Temp/Profil.dat"), "old outline\n") << n;
    EXPECT_EQ(slurp("Temp/ProfilI.dat"), "old outline I\n") << n;
  }
}

TEST_F(FoilData, OneTriplePerRecordWhateverTheLineHolds) {
  // Line 1 holds two triples: only the first is taken. Lines 2 and 3 hold one triple split in
  // two: it is read whole. Every later line holds one triple.
  std::string polar = "1 2 3 4 5 6\n7 8\n9\n";
  std::vector<std::string> expected = {" 1. 2. 3.", " 7. 8. 9."};
  for (int r = 2; r < 322; ++r) {
    const std::string n = std::to_string(r);
    polar += n + " 0.5 0.25\n";
    expected.push_back(std::string(" ").append(n).append(". 0.5 0.25"));
  }
  spit("Data/Liftsg6043.dat", polar);
  spit("Data/sg6043.dat", make_outline().file);
  foildata::choice(2);
  EXPECT_EQ(slurp("Temp/Lift_Drag.dat"), crlf_text(expected));
}

TEST_F(FoilData, ChoiceReturnsWhatItWroteAndTheRunUsesThat) {
  const DataText p = make_polar();
  const DataText o = make_outline();
  spit("Data/Liftsg6043.dat", p.file);
  spit("Data/sg6043.dat", o.file);
  const std::optional<foildata::Copies> copies = foildata::choice(2);
  ASSERT_TRUE(copies.has_value());
  // The files' text, one record a line (the reader passes over the carriage returns).
  const auto lines = [](std::string text) {
    std::erase(text, '\r');
    return text;
  };
  EXPECT_EQ(copies->polar, lines(slurp("Temp/Lift_Drag.dat")));
  EXPECT_EQ(copies->outline, lines(slurp("Temp/Profil.dat")));
  EXPECT_EQ(copies->outline, lines(slurp("Temp/ProfilI.dat")));

  // Loaded from memory, the polar tables hold, bit for bit, what reading the file back gives.
  data_in::text_read(copies->polar);
  const aerofoil::Polar from_file = data_in::read_polar("Temp/Lift_Drag.dat");
  for (int i = 0; i < global::kColumns; ++i) {
    for (int j = 0; j < global::kRows; ++j) {
      ASSERT_EQ(global::alpha_array[i][j], from_file.alpha[i][j]) << i << " " << j;
      ASSERT_EQ(global::cl_array[i][j], from_file.cl[i][j]) << i << " " << j;
      ASSERT_EQ(global::cd_array[i][j], from_file.cd[i][j]) << i << " " << j;
    }
  }

  // Any other choice writes nothing and returns nothing: the earlier run's files are used.
  spit("Temp/Profil.dat", "earlier");
  for (std::int64_t n : {0, 4, -1}) EXPECT_FALSE(foildata::choice(n).has_value()) << n;
  EXPECT_EQ(slurp("Temp/Profil.dat"), "earlier");
}

TEST_F(FoilData, ReplaceTakesNamesWithoutTrailingBlanks) {
  const DataText p = make_polar();
  const DataText o = make_outline();
  spit("Data/p.dat", p.file);
  spit("Data/o.dat", o.file);
  foildata::replace("Data/p.dat            ", "Data/o.dat            ");
  EXPECT_EQ(slurp("Temp/Lift_Drag.dat"), crlf_text(p.copy));
  EXPECT_EQ(slurp("Temp/Profil.dat"), crlf_text(o.copy));
  foildata::replace("Data/p.dat", "Data/o.dat");
  EXPECT_EQ(slurp("Temp/ProfilI.dat"), crlf_text(o.copy));
}

TEST_F(FoilData, LongerOldWorkingFilesAreReplacedWhole) {
  const DataText p = make_polar();
  const DataText o = make_outline();
  const std::string junk(100000, 'x');
  spit("Temp/Lift_Drag.dat", junk);
  spit("Temp/Profil.dat", junk);
  spit("Temp/ProfilI.dat", junk);
  spit("Data/Liftsg6043.dat", p.file);
  spit("Data/sg6043.dat", o.file);
  foildata::choice(2);
  EXPECT_EQ(slurp("Temp/Lift_Drag.dat"), crlf_text(p.copy));
  EXPECT_EQ(slurp("Temp/Profil.dat"), crlf_text(o.copy));
  EXPECT_EQ(slurp("Temp/ProfilI.dat"), crlf_text(o.copy));
}

// Runs `f`, expecting a RunError whose message holds `needle`.
template <class F>
void expect_run_error(F f, const std::string& needle) {
  try {
    f();
    ADD_FAILURE() << "no error; expected one naming \"" << needle << "\"";
  } catch (const textio::RunError& e) {
    EXPECT_NE(std::string(e.what()).find(needle), std::string::npos) << e.what();
    EXPECT_NE(e.status(), 0);
  }
}

TEST_F(FoilData, MissingDataFilesEndTheRunNamingThePath) {
  const DataText p = make_polar();
  expect_run_error([] { foildata::choice(1); }, "Data/Liftnaca4412.dat");
  EXPECT_TRUE(fs::is_empty("Temp"));

  // The polar is copied in full before the outline file is opened.
  spit("Data/Liftnaca4432.dat", p.file);
  expect_run_error([] { foildata::choice(3); }, "Data/naca4432.dat");
  EXPECT_EQ(slurp("Temp/Lift_Drag.dat"), crlf_text(p.copy));
  EXPECT_FALSE(fs::exists("Temp/Profil.dat"));
  EXPECT_FALSE(fs::exists("Temp/ProfilI.dat"));
}

TEST_F(FoilData, ShortOrBadDataFilesEndTheRun) {
  const DataText p = make_polar();
  const DataText o = make_outline();
  spit("Data/sg6043.dat", o.file);

  // 321 full records and one number of the last: too few values.
  std::string short_polar = p.file.substr(0, p.file.rfind('\n', p.file.size() - 2) + 1) + "1 2\n";
  spit("Data/Liftsg6043.dat", short_polar);
  expect_run_error([] { foildata::choice(2); }, "End of file");

  std::string bad_polar = p.file;
  bad_polar.replace(0, bad_polar.find('\n'), "1.0 abc 0.01");
  spit("Data/Liftsg6043.dat", bad_polar);
  expect_run_error([] { foildata::choice(2); }, "Bad real number in item 2 of list input");

  spit("Data/Liftsg6043.dat", p.file);
  spit("Data/sg6043.dat", o.file.substr(0, o.file.size() / 2));
  expect_run_error([] { foildata::choice(2); }, "End of file");
}

}  // namespace
