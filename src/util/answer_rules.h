// What each answer of a session may be. rotorforge asks again for an answer that breaks its
// rule; rotorforge-study checks a study's answers by the same rules before anything runs.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

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

// What an answer may be, as data: the bounds a value must keep and the rule's words. The
// browser page of rotorforge-studio receives these to check its form as the console does.
struct Limits {
  std::string rule;           // the words that follow "must be"
  bool whole = false;         // an integer answer
  std::optional<double> low;  // the value must be above it (or at it, with low_included)
  bool low_included = false;
  std::optional<double> high;  // the value must be below it (or at it, with high_included)
  bool high_included = false;
  bool above_earlier = false;  // it must exceed the earlier answer (rtip: rhub, Ucout: Ucin)
};

Limits limits(Answer answer);

// The rule that `value` breaks, as the words that follow "must be" ("greater than 0"); "" when
// the value is allowed. `earlier` is the answer that rtip (rhub) and Ucout (Ucin) must exceed.
std::string broken(Answer answer, double value, double earlier = 0.0);

// The line with which rotorforge asks `name` again after an answer that broke `rule`
// ("Ucin must be greater than 0; please enter it again.").
std::string complaint(std::string_view name, std::string_view rule);

}  // namespace answer_rules
