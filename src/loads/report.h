// What rotorforge-loads shows and writes: the console summary, elements.csv and rotor.csv, the
// charts along the span and against the wind speed, and the page that shows them.
#pragma once

#include <string>
#include <string_view>
#include <vector>

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

// The rotor's first modes against its speed with the lines of 1P, 2P, 3P and B P.
plot::Chart campbell_chart(const Report& r);

// Each limit in a maker's words with its figure and margin: strength, skin buckling, tower
// clearance (and the warning of a deflection beyond linear beam theory), resonance.
std::vector<std::string> verdict_lines(const Report& r);
// "the blade holds", or "the blade does not hold: " and the failing limits, the first to fail
// first.
std::string verdict_text(const Verdict& v);
// The three utilisations of a verdict: "strength 0.33, skin buckling 1.00, clearance 0.38".
std::string uses(const Verdict& v);

// The page; `nav` is the bar of links to the session's other pages (plot/siblings.h).
std::string index_html(const Report& r, std::string_view nav = {});

}  // namespace loads
