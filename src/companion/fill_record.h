// The record of the filled angles of a section's polar (layout in util/files.h), for the
// importer that writes it and for every program that shows the section's data.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace fill_record {

// One run of filled angles of one block.
struct Fill {
  int reynolds = 0;
  int first = 0;  // deg
  int last = 0;   // deg
  std::string how;
  bool operator==(const Fill&) const = default;
};

// DIR/NAME.fill.
std::filesystem::path path(const std::filesystem::path& data_dir, std::string_view name);

// The file's text for `fills` of section `name`: a comment line naming it, then one line per
// fill. "" when nothing is filled (no file is written then).
std::string text(std::string_view name, const std::vector<Fill>& fills);

// The fills a record's text holds. Throws std::runtime_error naming the line for a line that
// is neither a comment nor a fill.
std::vector<Fill> parse(std::string_view text);

// The fills recorded beside section `name` in `data_dir`; none when there is no record.
// Throws std::runtime_error "<path>: line N ..." for a broken one.
std::vector<Fill> read(const std::filesystem::path& data_dir, std::string_view name);

// The start of the words of a block that was not computed at all but copied whole from the block
// of another Reynolds number (an import with fewer Reynolds numbers).
inline constexpr std::string_view kNotComputed = "not computed";

// Whether `fill` is such a copied block rather than angles filled past XFOIL's converged points.
bool copied(const Fill& fill);

// Whether the block of Reynolds number `reynolds` has any filled angle.
bool any_at(const std::vector<Fill>& fills, int reynolds);

// One line for people: "Re 42000: 5..20 deg <how>".
std::string describe(const Fill& fill);

// One line for people that says what the angles are, for a page or a console: a copied block
// "Re 42000: not computed by XFOIL, copied from the block of Re 160000 (-10..35 deg)", filled
// angles "Re 42000: 5..20 deg filled, no converged XFOIL point: <how>".
std::string sentence(const Fill& fill);

}  // namespace fill_record
