// The record of a section's filled angles: written and read back the same, absent when nothing
// is filled, and a broken line named.
#include "companion/fill_record.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "support/workdir.h"

namespace {

TEST(FillRecord, WrittenReadBackAndAbsentWhenNothingIsFilled) {
  const std::vector<fill_record::Fill> fills = {
      {42000, 5, 20, "not converged: Viterna-Corrigan from 4.5 deg, as if stalled there"},
      {83000, -10, 35, "not computed: the block of Re 160000"}};
  support::ScratchDir dir("rotorforge-fill-");
  EXPECT_TRUE(fill_record::read(dir.path(), "mine").empty());  // no file: nothing filled
  EXPECT_EQ(fill_record::text("mine", {}), "");
  const std::string text = fill_record::text("mine", fills);
  EXPECT_TRUE(text.starts_with("# mine: "));
  EXPECT_NE(text.find("\n42000 5 20 not converged: Viterna-Corrigan"), std::string::npos);
  dir.write("mine.fill", text);
  EXPECT_EQ(fill_record::path(dir.path(), "mine"), dir.path() / "mine.fill");
  EXPECT_EQ(fill_record::read(dir.path(), "mine"), fills);
  EXPECT_TRUE(fill_record::any_at(fills, 83000));
  EXPECT_FALSE(fill_record::any_at(fills, 160000));
  EXPECT_EQ(fill_record::describe(fills[1]),
            "Re 83000: -10..35 deg not computed: the block of Re 160000");
  EXPECT_EQ(fill_record::describe({42000, -4, -4, "x"}), "Re 42000: -4 deg x");
  // CRLF and comments are taken as well.
  EXPECT_EQ(fill_record::parse("# c\r\n42000 1 2 why\r\n"),
            (std::vector<fill_record::Fill>{{42000, 1, 2, "why"}}));
}

TEST(FillRecord, BrokenLinesAreNamed) {
  for (const char* bad : {"42000 5\n", "# ok\n42000 5 20\n", "x 1 2 why\n", "42000 9 3 why\n"}) {
    SCOPED_TRACE(bad);
    EXPECT_THROW(fill_record::parse(bad), std::runtime_error);
  }
  support::ScratchDir dir("rotorforge-fill-");
  dir.write("bad.fill", "# ok\n42000 5\n");
  try {
    fill_record::read(dir.path(), "bad");
    ADD_FAILURE() << "no error";
  } catch (const std::runtime_error& e) {
    EXPECT_NE(std::string(e.what()).find("bad.fill: line 2 is not"), std::string::npos) << e.what();
  }
}

}  // namespace
