// Rules of the sweeps that the sweeps themselves do not need to call, kept beside them so that
// tests and benchmarks can check them: the power band of the pitch rotor's limit search and one
// table row as text.
#pragma once

#include <array>
#include <cmath>
#include <cstdint>
#include <limits>
#include <string>

#include "textio/textio.h"
#include "util/files.h"

namespace sweep {

// Power-limit search. The band around the limit is MPL * 0.02f (0.019999999552965164); a search
// that walks the grid repeatedly while its best whole-number difference lies above the band
// starts from the whole number limit_start(tolerance) = trunc(tolerance + 100), held within the
// 64-bit range (0 for NaN). power_limit_pick does not need it: it makes a single pass.
inline double limit_tolerance(double MPL) {
  return MPL * static_cast<double>(0.02f);
}

inline std::int64_t limit_start(double tolerance) {
  const double v = std::trunc(tolerance + 100.0);
  // 2^63 is the first double beyond the 64-bit range; -2^63 itself fits.
  constexpr double kTwo63 = 9223372036854775808.0;
  if (std::isnan(v)) return 0;
  if (v >= kTwo63) return std::numeric_limits<std::int64_t>::max();
  if (v < -kTwo63) return std::numeric_limits<std::int64_t>::min();
  return static_cast<std::int64_t>(v);
}

// One table row, without the line end: wind speed, tip speed ratio, power coefficient, power,
// rotational speed and, for the pitch rotor, the setting angle.
inline std::string row_text(double U, double lambda, double CP, double P, double n) {
  const std::array<textio::Out, 5> v = {U, lambda, CP, P, n};
  return textio::format_record(files::kSweepRowFormat, v).text;
}

inline std::string row_text(double U, double lambda, double CP, double P, double n, double theta) {
  const std::array<textio::Out, 6> v = {U, lambda, CP, P, n, theta};
  return textio::format_record(files::kSweepRowFormat, v).text;
}

}  // namespace sweep
