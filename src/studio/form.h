// The design form of rotorforge-studio: every answer of a session, read from the page's JSON
// and checked by the answer rules rotorforge itself applies, with its words; and the rules
// themselves as JSON, so that the page checks its form by the same table.
#pragma once

#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "study/study_file.h"

namespace studio {

// One refused answer: the form's field and the line that says why (for an answer with a rule,
// the line with which rotorforge asks it again).
struct Refusal {
  std::string field;
  std::string message;
};

struct Form {
  study::Design design;
  std::string name;  // the user's label of the design; may be empty
  std::vector<Refusal> refusals;
  bool ok() const { return refusals.empty(); }
};

// The longest label a design may carry.
inline constexpr std::size_t kMaxName = 80;

// Reads the form from `body`, a JSON object of field: value (numbers as JSON numbers or as
// text with a decimal point). `aerofoils` are the stems the studio offers (shipped, then
// imported); the design always ends with the STL export, so that the page can show the blade.
Form read_form(const nlohmann::json& body, const std::vector<std::string>& aerofoils);

// The fields, their labels, units and rules, the menus' choices and the complaint of each rule:
// what the page builds its form from.
nlohmann::json rules_json(const std::vector<std::string>& aerofoils);

}  // namespace studio
