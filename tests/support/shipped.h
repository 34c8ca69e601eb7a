// Running a check once with each shipped polar in the tables, for tests.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>

#include "support/polars.h"

namespace support {

// Loads each shipped polar in turn and calls f(name) with it in the tables; failures inside f
// name the polar.
template <class F>
void each_shipped_polar(F f) {
  for (const char* name : kShippedPolars) {
    SCOPED_TRACE(name);
    load_shipped_polar(name);
    f(name);
  }
}

// Calls f(seed) with each shipped polar in the tables, then with the linear polar
// (load_linear_polar), the seed counting up from `seed`: random cases on the polars a design
// meets.
template <class F>
void each_design_polar(std::uint64_t seed, F f) {
  each_shipped_polar([&](const char*) { f(seed++); });
  SCOPED_TRACE("linear polar");
  load_linear_polar();
  f(seed);
}

}  // namespace support
