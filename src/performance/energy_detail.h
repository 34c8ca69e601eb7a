// The two energy lines as text, for tests that build a whole table: the program writes them
// straight into the result file (driver::write_energy).
#pragma once

#include <array>
#include <string>

#include "textio/textio.h"
#include "util/files.h"

namespace energy {

// Without line ends:
//   "Average power output for a site P =      1234.50    W"
//   "      Average energy production E =      8700.00 kW.h"
inline std::string power_line(double Pavg) {
  const std::array<textio::Out, 3> v = {files::kPowerLabel, Pavg, files::kPowerUnit};
  return textio::format_record(files::kEnergyLineFormat, v).text;
}

inline std::string energy_line(double E) {
  const std::array<textio::Out, 3> v = {files::kEnergyLabel, E, files::kEnergyUnit};
  return textio::format_record(files::kEnergyLineFormat, v).text;
}

}  // namespace energy
