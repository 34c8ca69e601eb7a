// Numbers as text for the companion programs' pages, tables and messages.
#pragma once

#include <string>

namespace number_text {

// The shortest text that reads back as the same double ("0.1", "1e+300", "nan").
std::string shortest(double v);

// `v` with `decimals` digits after the point, rounded from its exact binary value; a value that
// rounds to zero is written without a sign, a NaN as "n/a", infinities as "inf" and "-inf".
std::string fixed(double v, int decimals);

}  // namespace number_text
