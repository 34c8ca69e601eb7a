#include "companion/whole_file.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

#include "support/workdir.h"

namespace {

TEST(WholeFile, BytesGoThroughUnchangedAndAMissingFileIsToldApart) {
  support::WorkDir dir("rotorforge_whole_file_");
  const std::string bytes("a\r\nb\n\0c\x1a", 8);
  whole_file::write("Temp/f.dat", bytes);
  bool found = false;
  EXPECT_EQ(whole_file::read("Temp/f.dat", found), bytes);
  EXPECT_TRUE(found);
  whole_file::write("Temp/empty.dat", "");
  EXPECT_EQ(whole_file::read("Temp/empty.dat", found), "");
  EXPECT_TRUE(found);
  EXPECT_EQ(whole_file::read("Temp/none.dat", found), "");
  EXPECT_FALSE(found);
  // A directory cannot be written as a file.
  EXPECT_THROW(whole_file::write("Temp", "x"), std::runtime_error);
}

}  // namespace
