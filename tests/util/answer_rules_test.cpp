#include "util/answer_rules.h"

#include <gtest/gtest.h>

#include <limits>

namespace {

using answer_rules::Answer;

// Each answer on both sides of its limit: "" where it is allowed, else the rule's words. The
// same words end rotorforge's "asked again" line and the study reader's complaint.
TEST(AnswerRules, EachAnswerOnBothSidesOfItsLimit) {
  constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
  constexpr double kInf = std::numeric_limits<double>::infinity();
  struct Case {
    Answer answer;
    double value;
    double earlier;
    const char* words;
  };
  const Case cases[] = {
      {Answer::Numb, 1, 0, ""},
      {Answer::Numb, 0, 0, "a whole number of at least 1"},
      {Answer::nbe, 10000, 0, ""},
      {Answer::nbe, 10001, 0, "a whole number from 1 to 10000"},
      {Answer::nbe, 0, 0, "a whole number from 1 to 10000"},
      {Answer::rhub, 0, 0, ""},
      {Answer::rhub, -1e-300, 0, "0 or more"},
      {Answer::rhub, kNaN, 0, "0 or more"},
      {Answer::delta, 0, 0, ""},
      {Answer::delta, -0.5, 0, "0 or more"},
      {Answer::rtip, 0.2, 0.15, ""},
      {Answer::rtip, 0.15, 0.15, "greater than rhub"},
      {Answer::Ucout, 3, 3, "greater than Ucin"},
      {Answer::Ucout, kInf, 3, "greater than Ucin"},
      {Answer::Umid, 0, 0, "greater than 0"},
      {Answer::Speed, 1e-9, 0, ""},
      // The roughness is the single-precision 0.025f, just above the double 0.025.
      {Answer::h, 0.025, 0, "greater than 0.025 m"},
      {Answer::h, 0.0250000004, 0, ""},
      // The air's temperature reaches 0 K at 44307.6913935... m.
      {Answer::SeaL, 44307.69, 0, ""},
      {Answer::SeaL, 44307.7, 0, "below 44307.69 m"},
      {Answer::SeaL, -kInf, 0, "below 44307.69 m"},
      {Answer::pitchinitial, -90, 0, ""},
      {Answer::pitchinitial, kNaN, 0, "a finite number"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << static_cast<int>(c.answer) << " " << c.value);
    EXPECT_EQ(answer_rules::broken(c.answer, c.value, c.earlier), c.words);
  }
}

}  // namespace
