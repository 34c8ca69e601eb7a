#include "aerofoil/foildata.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <initializer_list>
#include <optional>
#include <span>
#include <string>

#include "aerofoil/global.h"
#include "textio/textio.h"
#include "util/catalogue.h"
#include "util/files.h"
#include "util/shared.h"

namespace foildata {

namespace {

using global::kColumns;   // Reynolds numbers of a polar
using global::kRows;      // angles of attack per Reynolds number
constexpr int kSets = 2;  // point sets of an outline: lower side, upper side
constexpr int kPoints = static_cast<int>(shared::kSetPoints);

// A 22-character name field without its trailing blanks.
std::string field_path(std::string_view name) {
  const auto end = name.find_last_not_of(' ');
  return std::string(end == std::string_view::npos ? std::string_view{} : name.substr(0, end + 1));
}

struct Outline {
  double x[kSets][kPoints] = {};
  double y[kSets][kPoints] = {};
};

// One record written to `out` and kept in `text` as the file holds it (one line end per record;
// a reader passes over the carriage return of the file's line ends).
void write_kept(textio::OutFile& out, std::string& text,
                std::initializer_list<textio::Out> values) {
  out.write(values);
  textio::append_free(text, std::span<const textio::Out>(values.begin(), values.size()));
  text += '\n';
}

// Each set's 50 points, then an empty record after the set. Returns the file's text.
std::string write_outline(const char* path, const Outline& o) {
  std::string text;
  textio::OutFile out(path);
  for (int s = 0; s < kSets; ++s) {
    for (int p = 0; p < kPoints; ++p) write_kept(out, text, {o.x[s][p], o.y[s][p]});
    write_kept(out, text, {});
  }
  out.close();
  return text;
}

}  // namespace

std::optional<Copies> choice(std::int64_t n) {
  if (n < 1 || n > static_cast<std::int64_t>(catalogue::kAerofoils.size())) return std::nullopt;
  const catalogue::Aerofoil& foil = catalogue::kAerofoils[static_cast<std::size_t>(n - 1)];
  return replace(foil.polar_field, foil.outline_field);
}

void require_earlier_aerofoil(std::int64_t n) {
  if (n >= 1 && n <= static_cast<std::int64_t>(catalogue::kAerofoils.size())) return;
  for (const char* path : {files::kPolarCopy, files::kMeasuredOutline, files::kOwnOutline}) {
    struct stat st {};
    // Only a file that is not there is reported here; one that cannot be read for another
    // reason ends the run where it is opened, with the operating system's own message.
    if (::stat(path, &st) == 0 || errno != ENOENT) continue;
    throw textio::RunError("aerofoil choice " + std::to_string(n) +
                               " designs with the aerofoil of an earlier run, and none is there (" +
                               path + ": " + std::strerror(ENOENT) + "); choose 1, 2 or 3",
                           1);
  }
}

Copies replace(std::string_view polar_name, std::string_view outline_name) {
  Copies copies;
  // The polar is copied completely before the outline file is opened. Every value passes through
  // a double, so the copies hold the file's values spelled by the free-form writer ("2" -> "2.").
  {
    textio::InFile in(field_path(polar_name));
    struct Polar {
      double angle[kColumns][kRows] = {};
      double lift[kColumns][kRows] = {};
      double drag[kColumns][kRows] = {};
    } polar;
    for (int i = 0; i < kColumns; ++i) {
      for (int j = 0; j < kRows; ++j) {
        in.read({polar.angle[i][j], polar.lift[i][j], polar.drag[i][j]});
      }
    }
    in.close();

    textio::OutFile out(files::kPolarCopy);
    for (int i = 0; i < kColumns; ++i) {
      for (int j = 0; j < kRows; ++j) {
        write_kept(out, copies.polar, {polar.angle[i][j], polar.lift[i][j], polar.drag[i][j]});
      }
    }
    out.close();
  }

  Outline outline;
  {
    textio::InFile in(field_path(outline_name));
    for (int s = 0; s < kSets; ++s) {
      for (int p = 0; p < kPoints; ++p) in.read({outline.x[s][p], outline.y[s][p]});
    }
    in.close();
  }
  copies.outline = write_outline(files::kMeasuredOutline, outline);
  write_outline(files::kOwnOutline, outline);
  return copies;
}

}  // namespace foildata
