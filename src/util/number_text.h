// Numbers as text for the companion programs' pages, tables and messages.
#pragma once

#include <string>

namespace number_text {

// The shortest text that reads back as the same double ("0.1", "1e+300", "nan").
std::string shortest(double v);

// `v` with `decimals` digits after the point, rounded from its exact binary value; a value that
// rounds to zero is written without a sign, a NaN as "n/a", infinities as "inf" and "-inf".
std::string fixed(double v, int decimals);

// `v` as printf's %g writes it: six significant digits without trailing zeros ("0.5", "22",
// "1e+06"), for command streams and messages that have always been written so.
std::string general(double v);

}  // namespace number_text
