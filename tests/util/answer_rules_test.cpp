#include "util/answer_rules.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

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

namespace {

// The rules as data (what the studio's page checks its form by) give the same verdict as
// broken() on both sides of every bound, and broken()'s words.
TEST(AnswerRules, LimitsAgreeWithTheVerdicts) {
  using answer_rules::Answer;
  for (Answer a : {Answer::Numb, Answer::rhub, Answer::rtip, Answer::nbe, Answer::pitchinitial,
                   Answer::Umid, Answer::Ucin, Answer::Ucout, Answer::h, Answer::SeaL,
                   Answer::Speed, Answer::MPL, Answer::U0, Answer::Lambda, Answer::delta}) {
    const answer_rules::Limits l = answer_rules::limits(a);
    SCOPED_TRACE(l.rule);
    std::vector<double> probes = {-1e6, -1.0, 0.0, 1e-9, 0.5, 1.0, 2.0, 1e6};
    for (const auto& bound : {l.low, l.high}) {
      if (!bound) continue;
      for (double x : {std::nextafter(*bound, -1e300), *bound, std::nextafter(*bound, 1e300)}) {
        probes.push_back(x);
      }
    }
    const double earlier = 0.5;
    for (double x : probes) {
      bool ok = true;
      if (l.low) ok = ok && (l.low_included ? x >= *l.low : x > *l.low);
      if (l.high) ok = ok && (l.high_included ? x <= *l.high : x < *l.high);
      if (l.above_earlier) ok = ok && x > earlier;
      EXPECT_EQ(answer_rules::broken(a, x, earlier), ok ? "" : l.rule) << x;
    }
  }
  EXPECT_EQ(answer_rules::complaint("Ucin", "greater than 0"),
            "Ucin must be greater than 0; please enter it again.");
}

}  // namespace
