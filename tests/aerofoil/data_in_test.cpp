#include "aerofoil/data_in.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "aerofoil/aerofoil.h"
#include "aerofoil/aerofoil_support.h"
#include "aerofoil/global.h"
#include "textio/textio.h"

namespace {

using aerofoil_test::same_bits;
using aerofoil_test::spit;
using aerofoil_test::WorkDir;

class DataIn : public ::testing::Test {
 protected:
  void SetUp() override {
    // Leftovers of an earlier load must not survive.
    for (int c = 0; c < global::kColumns; ++c) {
      for (int j = 0; j < global::kRows; ++j) {
        global::alpha_array[c][j] = -999.0f;
        global::cl_array[c][j] = -999.0;
        global::cd_array[c][j] = -999.0;
      }
      global::re_log[c] = -999.0f;
    }
  }
  WorkDir dir_;
};

// Record r of a polar: column r / 46, row r % 46, with values that tell them apart.
std::string record(int c, int j) {
  return std::to_string(j - 10) + " " + std::to_string(c) + "." + std::to_string(j) + " 0.0" +
         std::to_string(c + 1) + std::to_string(j);
}

TEST_F(DataIn, LoadsColumnsInFileOrder) {
  std::string text;
  for (int c = 0; c < 7; ++c) {
    for (int j = 0; j < 46; ++j) text += record(c, j) + "\r\n";
  }
  spit("Temp/Lift_Drag.dat", text);
  data_in::file_read();
  for (int c = 0; c < 7; ++c) {
    for (int j = 0; j < 46; ++j) {
      EXPECT_EQ(global::alpha_array[c][j], static_cast<float>(j - 10));
      EXPECT_TRUE(same_bits(global::cl_array[c][j],
                            std::stod(std::to_string(c) + "." + std::to_string(j))));
      EXPECT_TRUE(same_bits(global::cd_array[c][j],
                            std::stod("0.0" + std::to_string(c + 1) + std::to_string(j))));
    }
  }
}

TEST_F(DataIn, AnglesGoStraightFromTextToFloat) {
  // 1 + 2^-24 + 1e-20: the nearest double is 1 + 2^-24 exactly, a tie that a second rounding to
  // float settles down to 1; the text itself lies above the tie and rounds up to 1 + 2^-23.
  struct Case {
    const char* text;
    double angle;  // the float, widened
    double coefficient;
  };
  const Case cases[] = {
      {"1.00000005960464477540", 0x1.000002p+0, 0x1.0000010000000p+0},
      {"0.1", 0.10000000149011612, 0.1},
      {"-2.5e-1", -0.25, -0.25},
      {"35", 35.0, 35.0},
  };
  std::string text;
  for (int r = 0; r < 322; ++r) {
    const Case& c = cases[r % 4];
    text += std::string(c.text) + " " + c.text + " " + c.text + "\n";
  }
  spit("Temp/Lift_Drag.dat", text);
  data_in::file_read();
  for (int r = 0; r < 322; ++r) {
    const Case& c = cases[r % 4];
    EXPECT_TRUE(same_bits(global::alpha_array[r / 46][r % 46], c.angle)) << c.text;
    EXPECT_TRUE(same_bits(global::cl_array[r / 46][r % 46], c.coefficient)) << c.text;
    EXPECT_TRUE(same_bits(global::cd_array[r / 46][r % 46], c.coefficient)) << c.text;
  }
}

TEST_F(DataIn, ReLogIsTheDoubleLogarithmRoundedToFloat) {
  std::string text;
  for (int r = 0; r < 322; ++r) text += "0 0 0\n";
  spit("Temp/Lift_Drag.dat", text);
  data_in::file_read();
  const double expected[7] = {4.623249053955078, 4.9190778732299805, 5.20412015914917,
                              5.518514156341553, 5.806180000305176,  6.07918119430542,
                              6.380211353302002};
  for (int i = 0; i < 7; ++i) {
    EXPECT_TRUE(same_bits(global::re_log[i], expected[i])) << "column " << i;
  }
  // And the lookup then gives the weights these values imply.
  EXPECT_TRUE(same_bits(aerofoil::re_blend(60000.0).t, 0.5236210481732041));
  EXPECT_TRUE(same_bits(aerofoil::re_blend(1000000.0).t, 0.7099602637439413));
  EXPECT_TRUE(same_bits(aerofoil::re_blend(160000.0).t, 0.9999993808173256));
}

TEST_F(DataIn, MissingOrShortWorkingFileEndsTheRun) {
  try {
    data_in::file_read();
    ADD_FAILURE() << "no error for a missing Temp/Lift_Drag.dat";
  } catch (const textio::RunError& e) {
    EXPECT_NE(std::string(e.what()).find("Temp/Lift_Drag.dat"), std::string::npos) << e.what();
  }
  std::string text;
  for (int r = 0; r < 321; ++r) text += "0 0 0\n";
  spit("Temp/Lift_Drag.dat", text);
  try {
    data_in::file_read();
    ADD_FAILURE() << "no error for 321 records";
  } catch (const textio::RunError& e) {
    EXPECT_NE(std::string(e.what()).find("End of file"), std::string::npos) << e.what();
    EXPECT_EQ(e.status(), 2);
  }
}

}  // namespace
