#include "util/answer_rules.h"

#include <cmath>

#include "util/shared.h"

namespace answer_rules {

namespace {

// The altitude at which the air's temperature in the density formula, 288 K falling by the
// single-precision 0.0065 K per metre, reaches 0 K: 288 / 0.006500000134110451 =
// 44307.6913935..., shown rounded in the rule.
constexpr const char* kBelowHighestAltitude = "below 44307.69 m";

bool keeps(const Limits& l, double value, double earlier) {
  if (l.low && !(l.low_included ? value >= *l.low : value > *l.low)) return false;
  if (l.high && !(l.high_included ? value <= *l.high : value < *l.high)) return false;
  if (l.above_earlier && !(value > earlier)) return false;
  return true;
}

}  // namespace

Limits limits(Answer answer) {
  Limits l;
  switch (answer) {
    case Answer::Numb:
      l.rule = "a whole number of at least 1";
      l.whole = true;
      l.low = 1.0;
      l.low_included = true;
      break;
    case Answer::nbe:
      l.rule = "a whole number from 1 to " + std::to_string(kMaxElements);
      l.whole = true;
      l.low = 1.0;
      l.low_included = true;
      l.high = static_cast<double>(kMaxElements);
      l.high_included = true;
      break;
    case Answer::rhub:
    case Answer::delta:
      l.rule = "0 or more";
      l.low = 0.0;
      l.low_included = true;
      break;
    case Answer::rtip:
      l.rule = "greater than rhub";
      l.above_earlier = true;
      break;
    case Answer::Ucout:
      l.rule = "greater than Ucin";
      l.above_earlier = true;
      break;
    case Answer::Umid:
    case Answer::Ucin:
    case Answer::Speed:
    case Answer::MPL:
    case Answer::U0:
    case Answer::Lambda:
      l.rule = "greater than 0";
      l.low = 0.0;
      break;
    case Answer::h:
      // The logarithmic wind profile has its zero at the ground roughness.
      l.rule = "greater than 0.025 m";
      l.low = shared::kRoughness;
      break;
    case Answer::SeaL:
      // The density formula needs a temperature above 0 K (the bound is for showing; the
      // answer is judged by the temperature itself).
      l.rule = kBelowHighestAltitude;
      l.high = 288.0 / -shared::kLapse;
      break;
    case Answer::pitchinitial:
      l.rule = "a finite number";
      break;
  }
  return l;
}

std::string broken(Answer answer, double value, double earlier) {
  const Limits l = limits(answer);
  // Refused exactly when the density could not be computed from the altitude.
  const bool ok =
      answer == Answer::SeaL ? shared::site_temperature(value) > 0.0 : keeps(l, value, earlier);
  return ok && std::isfinite(value) ? std::string() : l.rule;
}

std::string complaint(std::string_view name, std::string_view rule) {
  std::string line(name);
  line.append(" must be ").append(rule).append("; please enter it again.");
  return line;
}

}  // namespace answer_rules
