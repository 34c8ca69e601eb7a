// Loading of the polar tables from the working polar file.
#pragma once

#include <string>

#include "aerofoil/polar.h"

namespace data_in {

// Reads Temp/Lift_Drag.dat (7 columns x 46 records "angle cl cd", lowest Reynolds number first)
// into global::alpha_array, cl_array and cd_array, and fills global::re_log.
void file_read();
// The same from the polar file at `path`.
void file_read(const std::string& path);
// The same from the text this run wrote into Temp/Lift_Drag.dat, read in memory as the file
// would be (errors name the file).
void text_read(const std::string& text);
// The polar file at `path` as a value, leaving the loaded tables as they are.
aerofoil::Polar read_polar(const std::string& path);

}  // namespace data_in
