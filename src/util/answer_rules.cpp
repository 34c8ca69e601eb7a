#include "util/answer_rules.h"

#include <cmath>

#include "util/shared.h"

namespace answer_rules {

namespace {

// The altitude at which the air's temperature in the density formula, 288 K falling by the
// single-precision 0.0065 K per metre, reaches 0 K: 288 / 0.006500000134110451 =
// 44307.6913935..., shown rounded in the rule.
constexpr const char* kBelowHighestAltitude = "below 44307.69 m";

// The rule of `answer` and whether `value` keeps it; a value that is not finite keeps none.
struct Verdict {
  bool ok;
  std::string rule;
};

Verdict judge(Answer answer, double value, double earlier) {
  switch (answer) {
    case Answer::Numb:
      return {value >= 1.0, "a whole number of at least 1"};
    case Answer::nbe:
      return {value >= 1.0 && value <= static_cast<double>(kMaxElements),
              "a whole number from 1 to " + std::to_string(kMaxElements)};
    case Answer::rhub:
    case Answer::delta:
      return {value >= 0.0, "0 or more"};
    case Answer::rtip:
      return {value > earlier, "greater than rhub"};
    case Answer::Ucout:
      return {value > earlier, "greater than Ucin"};
    case Answer::Umid:
    case Answer::Ucin:
    case Answer::Speed:
    case Answer::MPL:
    case Answer::U0:
    case Answer::Lambda:
      return {value > 0.0, "greater than 0"};
    case Answer::h:
      // The logarithmic wind profile has its zero at the ground roughness.
      return {value > shared::kRoughness, "greater than 0.025 m"};
    case Answer::SeaL:
      // The density formula needs a temperature above 0 K: refused exactly when the density
      // could not be computed from it.
      return {shared::site_temperature(value) > 0.0, kBelowHighestAltitude};
    case Answer::pitchinitial:
      return {true, "a finite number"};
  }
  return {true, ""};
}

}  // namespace

std::string broken(Answer answer, double value, double earlier) {
  const Verdict v = judge(answer, value, earlier);
  return v.ok && std::isfinite(value) ? std::string() : v.rule;
}

}  // namespace answer_rules
