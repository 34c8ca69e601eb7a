// The answers a study fed to a rotorforge session (answers.txt in a study's design folder, one
// answer per line in the order the dialogue asks them), read back for the companion programs
// that look at the design afterwards.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace session_answers {

// The file in a design folder.
inline constexpr const char* kFile = "answers.txt";

struct Answers {
  std::int64_t blades = 0;  // Numb
  double rhub = 0.0;        // m
  double rtip = 0.0;        // m
  std::int64_t nbe = 0;
  double pitchinitial = 0.0;       // deg
  std::int64_t aerofoil = 0;       // the aerofoil menu's answer
  double Umid = 0.0;               // m/s
  std::int64_t blade_type = 0;     // 1 solid, 2 hollow
  double delta = 0.0;              // wall, mm (hollow only)
  std::int64_t material = 0;       // 1 ... 5 (another answer: no material)
  std::optional<double> altitude;  // SeaL of the first sweep answered, m
};

// The design answers at the start of `text` and the altitude of the first sweep; on failure an
// empty result and `error` says which answer (1-based line) is wrong.
std::optional<Answers> parse(const std::string& text, std::string& error);

}  // namespace session_answers
