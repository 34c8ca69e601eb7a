#include "companion/session_answers.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <vector>

namespace session_answers {

namespace {

std::vector<std::string> lines_of(const std::string& text) {
  std::vector<std::string> lines;
  std::string line;
  for (char c : text) {
    if (c == '\n') {
      lines.push_back(line);
      line.clear();
    } else if (c != '\r') {
      line += c;
    }
  }
  if (!line.empty()) lines.push_back(line);
  return lines;
}

bool real(const std::string& s, double& v) {
  const char* p = s.c_str();
  while (*p == ' ' || *p == '\t') ++p;
  if (*p == '\0') return false;
  char* end = nullptr;
  errno = 0;
  v = std::strtod(p, &end);
  while (*end == ' ' || *end == '\t') ++end;
  return *end == '\0' && errno == 0 && std::isfinite(v);
}

bool whole(const std::string& s, std::int64_t& v) {
  double d = 0.0;
  if (!real(s, d) || d != std::trunc(d) || std::fabs(d) > 9.0e15) return false;
  v = static_cast<std::int64_t>(d);
  return true;
}

}  // namespace

std::optional<Answers> parse(const std::string& text, std::string& error) {
  const std::vector<std::string> lines = lines_of(text);
  std::size_t at = 0;
  bool ok = true;
  const auto next_real = [&](double& v, const char* what) {
    if (!ok) return;
    if (at >= lines.size() || !real(lines[at], v)) {
      error = "line " + std::to_string(at + 1) + ": expected " + what;
      ok = false;
    }
    ++at;
  };
  const auto next_whole = [&](std::int64_t& v, const char* what) {
    if (!ok) return;
    if (at >= lines.size() || !whole(lines[at], v)) {
      error = "line " + std::to_string(at + 1) + ": expected " + what;
      ok = false;
    }
    ++at;
  };
  Answers a;
  next_whole(a.blades, "the number of blades");
  next_real(a.rhub, "the hub radius");
  next_real(a.rtip, "the tip radius");
  next_whole(a.nbe, "the number of blade elements");
  next_real(a.pitchinitial, "the setting angle");
  next_whole(a.aerofoil, "the aerofoil's number");
  next_real(a.Umid, "the mean wind speed");
  next_whole(a.blade_type, "the blade type");
  if (ok && a.blade_type == 2) next_real(a.delta, "the wall thickness");
  next_whole(a.material, "the material");
  if (!ok) return std::nullopt;
  // The first sweep option: its cut-in, cut-out, mean wind, hub height and altitude follow.
  std::int64_t option = 0;
  if (at < lines.size() && whole(lines[at], option) && option >= 1 && option <= 4 &&
      at + 5 < lines.size()) {
    double seal = 0.0;
    if (real(lines[at + 5], seal)) a.altitude = seal;
  }
  return a;
}

}  // namespace session_answers
