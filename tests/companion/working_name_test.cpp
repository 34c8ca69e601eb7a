// The name left beside the working polar belongs to that polar only.
#include "companion/working_name.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(WorkingName, BelongsToThePolarItWasWrittenFor) {
  const std::string polar = " -10. -0.5 0.1\r\n -9. -0.4 0.09\r\n";
  const std::string rec = working_name::record("e387", polar);
  EXPECT_EQ(rec.substr(0, 5), "e387\n");
  EXPECT_EQ(rec.size(), 5u + 16u + 1u);
  EXPECT_EQ(working_name::name_of(rec, polar), "e387");
  struct Case {
    const char* what;
    std::string text;
    std::string polar;
  };
  const Case cases[] = {
      {"another polar", rec, polar + " -8. -0.3 0.08\r\n"},
      {"one byte changed", rec, " -10. -0.5 0.2\r\n -9. -0.4 0.09\r\n"},
      {"no fingerprint", "e387\n", polar},
      {"fingerprint altered", "e387\n0000000000000000\n", polar},
      {"empty name", working_name::record("", polar), polar},
      {"empty file", "", polar},
  };
  for (const Case& c : cases) EXPECT_EQ(working_name::name_of(c.text, c.polar), "") << c.what;
  // FNV-1a of nothing is its offset basis; of "a" a published value.
  EXPECT_EQ(working_name::fingerprint(""), 14695981039346656037ull);
  EXPECT_EQ(working_name::fingerprint("a"), 0xaf63dc4c8601ec8cull);
}

}  // namespace
