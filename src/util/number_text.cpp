#include "util/number_text.h"

#include <charconv>
#include <cmath>
#include <cstdio>

namespace number_text {

std::string shortest(double v) {
  char buf[64];
  const auto r = std::to_chars(buf, buf + sizeof buf, v);
  return std::string(buf, r.ptr);
}

std::string fixed(double v, int decimals) {
  if (std::isnan(v)) return "n/a";
  if (std::isinf(v)) return v > 0 ? "inf" : "-inf";
  // 1e308 with its digits written out takes 309 characters before the point.
  char buf[512];
  const auto r = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::fixed, decimals);
  std::string s(buf, r.ptr);
  if (s.front() == '-' && s.find_first_not_of("-0.") == std::string::npos) s.erase(0, 1);
  return s;
}

std::string general(double v) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%g", v);
  return buf;
}

}  // namespace number_text
