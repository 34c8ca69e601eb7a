// The picture writer as a whole: reads the result files of a run in a working directory and
// writes the pictures and the index page into its Result/plots.
#pragma once

#include <filesystem>
#include <iosfwd>

namespace plot {

// Exit statuses.
inline constexpr int kDrawn = 0;         // at least one picture written, every write succeeded
inline constexpr int kNothingDrawn = 1;  // no usable input at all, or an output not written

// Reads Result/Energy1.out ... Energy4.out, Result/Geometry.out, Result/3dgeo.dat and the
// working files Temp/graph.tmp, Temp/graph1.tmp, Temp/mpl.tmp under `dir`; writes the
// pictures and index.html into dir/Result/plots (created when missing). `out` gets one line per
// file written, `err` one line per input left out and why. Pictures of an earlier call whose
// input no longer holds anything to draw are removed, so the directory never shows a stale
// picture beside the page.
int run(const std::filesystem::path& dir, std::ostream& out, std::ostream& err);

}  // namespace plot
