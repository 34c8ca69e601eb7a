// The final blade: stations and geometry table, then volume, surface, mass and point file.
#include "blade/blade.h"
#include "textio/textio.h"
#include "util/files.h"

namespace blade {

void write_geometry_table(textio::Console& con, textio::OutFile& geometry_out, const Blade& b) {
  con.write();
  geometry_out.write({files::kGeometryTitle});
  geometry_out.write({files::kGeometryHeadings});
  // The table's radius is the relative radius scaled back, at the hub too.
  for (const Station& s : blade_stations(b)) {
    geometry_out.write_fmt(files::kGeometryRowFormat, {s.x * b.rtip, s.chord * b.rtip, s.twist});
  }
}

BladeFigures chortwist(textio::Console& con, const BuildChoices& ask, textio::OutFile& geometry_out,
                       const Blade& b, const std::optional<std::string>& written_outline) {
  write_geometry_table(con, geometry_out, b);
  return build(ask, geometry_out, b, written_outline);
}

}  // namespace blade
