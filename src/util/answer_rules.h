// What each answer of a session may be. rotorforge asks again for an answer that breaks its
// rule; rotorforge-study checks a study's answers by the same rules before anything runs.
#pragma once

#include <cstdint>
#include <string>

namespace answer_rules {

// The longest blade the tool builds element by element; far beyond any useful resolution, and
// it keeps the blade arrays and the optimiser's work within what a console session can wait for.
inline constexpr std::int64_t kMaxElements = 10000;

// The answers that have a rule, named as the prompts name them. Speed stands for the
// rotational speeds omega1 and omega.
enum class Answer {
  Numb,
  rhub,
  rtip,
  nbe,
  pitchinitial,
  Umid,
  Ucin,
  Ucout,
  h,
  SeaL,
  Speed,
  MPL,
  U0,
  Lambda,
  delta
};

// The rule that `value` breaks, as the words that follow "must be" ("greater than 0"); "" when
// the value is allowed. `earlier` is the answer that rtip (rhub) and Ucout (Ucin) must exceed.
std::string broken(Answer answer, double value, double earlier = 0.0);

}  // namespace answer_rules
