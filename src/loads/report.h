// What rotorforge-loads shows and writes: the console summary, elements.csv and rotor.csv, the
// charts along the span and against the wind speed, and the page that shows them.
#pragma once

#include <string>
#include <string_view>

#include "loads/run.h"
#include "plot/svg.h"

namespace loads {

// The output directory under the session's working directory.
inline constexpr const char* kOutputDir = "Result/loads";

std::string elements_csv(const Report& r);
std::string rotor_csv(const Report& r);

// A chart along the span (`what`: "alpha", "induction", "force", "stress") over the worst
// operating case, the operating case of the highest power coefficient and the parked storm; or
// against the wind speed ("thrust", "moments", "utilisation", "deflection"), a series per sweep.
plot::Chart span_chart(const Report& r, const std::string& what);
plot::Chart wind_chart(const Report& r, const std::string& what);

// The page; `nav` is the bar of links to the session's other pages (plot/siblings.h).
std::string index_html(const Report& r, std::string_view nav = {});

}  // namespace loads
