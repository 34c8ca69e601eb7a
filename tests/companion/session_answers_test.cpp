// The design answers at the head of a study's answers.txt, read back.
#include "companion/session_answers.h"

#include <gtest/gtest.h>

namespace {

TEST(SessionAnswers, SolidAndHollowDesignsWithTheirFirstSweepsAltitude) {
  struct Case {
    const char* text;
    std::int64_t blade_type;
    double delta;
    std::int64_t material;
    std::optional<double> altitude;
  };
  const Case cases[] = {
      {"3\n0.15\n1.5\n10\n0\n2\n5\n1\n1\n1\n3\n20\n5\n10\n0\n0\n", 1, 0.0, 1, 0.0},
      {"2\r\n0.2\r\n1.3\r\n8\r\n1.5\r\n4\r\n6\r\n2\r\n3."
       "5\r\n4\r\n4\r\n3\r\n20\r\n6\r\n12\r\n250\r\n"
       "300\r\n1500\r\n0\r\n",
       2, 3.5, 4, 250.0},
      {"3\n0.15\n1.5\n10\n-2.5\n2\n5\n1\n1\n0\n", 1, 0.0, 1, std::nullopt},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    std::string error;
    const auto a = session_answers::parse(c.text, error);
    ASSERT_TRUE(a) << error;
    EXPECT_EQ(a->blade_type, c.blade_type);
    EXPECT_EQ(a->delta, c.delta);
    EXPECT_EQ(a->material, c.material);
    EXPECT_EQ(a->altitude, c.altitude);
  }
  std::string error;
  const auto a = session_answers::parse(cases[1].text, error);
  EXPECT_EQ(a->blades, 2);
  EXPECT_EQ(a->rhub, 0.2);
  EXPECT_EQ(a->rtip, 1.3);
  EXPECT_EQ(a->nbe, 8);
  EXPECT_EQ(a->pitchinitial, 1.5);
  EXPECT_EQ(a->aerofoil, 4);
}

TEST(SessionAnswers, AWrongAnswerIsNamedByItsLine) {
  std::string error;
  EXPECT_FALSE(session_answers::parse("3\n0.15\n1.5\nten\n", error));
  EXPECT_EQ(error, "line 4: expected the number of blade elements");
  EXPECT_FALSE(session_answers::parse("3\n0.15\n1.5\n10\n0\n2\n5\n2\n", error));
  EXPECT_EQ(error, "line 9: expected the wall thickness");
}

}  // namespace
