// Full blades, every aerofoil, one to four blades: the starting blade's stations against the
// plain design, to the bit. About 20 s optimised and far longer under the sanitizers, so the
// test carries the label slow and runs in the optimised pass only.
#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <string>

#include "rotor/calc_param.h"
#include "rotor/rotor_reference.h"
#include "support/bits.h"
#include "support/polars.h"

namespace {

using calc_param::kStations;

TEST(DesignBlade, FullBladesMatchReference) {
  for (const char* name : support::kShippedPolars) {
    support::load_shipped_polar(name);
    for (std::int64_t B = 1; B <= 4; ++B) {
      SCOPED_TRACE(std::string(name) + " B " + std::to_string(B));
      std::array<double, kStations> x{};
      double dx = 0.0;
      calc_param::stations(0.2, 2.0, x, dx);
      const double ld = calc_param::design_tip_speed_ratio(B);
      calc_param::DesignState fs;
      rotor_reference::DesignState rs;
      std::array<double, kStations> fc{}, ft{}, rc{}, rt{};
      for (int i = 0; i < kStations; ++i) {
        calc_param::design_station(B, 2.0, ld, x[i], i > 0, i > 0 ? ft[i - 1] : 0.0, fs, fc[i],
                                   ft[i]);
        rotor_reference::design_station(B, 2.0, ld, x[i], i > 0 ? &rt[i - 1] : nullptr, rs, rc[i],
                                        rt[i]);
        ASSERT_SAME_BITS(fc[i], rc[i]) << "station " << i;
        ASSERT_SAME_BITS(ft[i], rt[i]) << "station " << i;
      }
    }
  }
}

}  // namespace
