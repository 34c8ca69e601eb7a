// Running a check once with each shipped polar in the tables, for tests.
#pragma once

#include <gtest/gtest.h>

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

}  // namespace support
