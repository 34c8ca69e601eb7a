// Pieces of the study files and working directories of the study program's tests and benchmark.
#pragma once

namespace study_test {

// The Temp/Parameters.in a fresh working directory starts with (the optimiser replaces it).
inline constexpr char kParameters[] = " 0.1 0. 0. 0. 0.\r\n";

// The site of the test studies, and the variable-speed sweep run there.
inline constexpr char kSiteAndSweep[] =
    "[site]\n"
    "mean_wind = 5\n"
    "cut_in = 3\n"
    "cut_out = 20\n"
    "hub_height = 12\n"
    "[variable_speed]\n";

}  // namespace study_test
