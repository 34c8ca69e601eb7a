// The polar tables of the chosen aerofoil, shared by the whole program for the whole run.
// Loaded once by data_in::file_read, then only read by the lift and drag lookup.
//
// The tables are indexed [column][row] from 0 here: column 0 is the lowest Reynolds number.
// Angles and the logarithms of the Reynolds numbers are single precision on purpose: the lookup
// compares and interpolates against exactly these stored values.
#pragma once

#include <cstdint>

#include "util/files.h"

namespace global {

inline constexpr int kColumns = static_cast<int>(files::kPolarReynolds.size());
inline constexpr int kRows = files::kPolarRows;

inline float alpha_array[kColumns][kRows] = {};  // angle of attack of each row, degrees
inline double cl_array[kColumns][kRows] = {};    // lift coefficient of each row
inline double cd_array[kColumns][kRows] = {};    // drag coefficient of each row
inline constexpr std::int32_t num_alpha[kColumns] = {kRows, kRows, kRows, kRows,
                                                     kRows, kRows, kRows};
// Every Reynolds number of the files is a whole number below 2^24, exact in single precision.
inline constexpr float re_array[kColumns] = {
    static_cast<float>(files::kPolarReynolds[0]), static_cast<float>(files::kPolarReynolds[1]),
    static_cast<float>(files::kPolarReynolds[2]), static_cast<float>(files::kPolarReynolds[3]),
    static_cast<float>(files::kPolarReynolds[4]), static_cast<float>(files::kPolarReynolds[5]),
    static_cast<float>(files::kPolarReynolds[6])};
inline float re_log[kColumns] = {};  // log10(re_array[i]) in double, stored as float

// The lookup interpolates between two rows and reads num_alpha rows of each column.
static_assert([] {
  for (std::int32_t n : num_alpha) {
    if (n < 2 || n > kRows) return false;
  }
  return true;
}());

}  // namespace global
