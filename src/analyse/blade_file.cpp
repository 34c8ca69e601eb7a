#include "analyse/blade_file.h"

#include <toml++/toml.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <map>
#include <memory>
#include <set>
#include <utility>

#include "aerofoil/data_in.h"
#include "companion/toml_file.h"
#include "companion/whole_file.h"
#include "util/answer_rules.h"
#include "util/catalogue.h"
#include "util/files.h"
#include "util/number_text.h"

namespace blade_file {
namespace {

using file_problems::Problems;
using toml_file::line_of;
using toml_file::lower;

// A name that can only be a file of Data/: letters, digits, '_', '-', '.', not starting with '.'.
bool plain_name(const std::string& s) {
  if (s.empty() || s[0] == '.') return false;
  return std::all_of(s.begin(), s.end(), [](unsigned char c) {
    return std::isalnum(c) != 0 || c == '_' || c == '-' || c == '.';
  });
}

struct Reader {
  Problems& problems;
  const fs::path& data_dir;

  // A finite real (an integer is taken as a real); false with a problem otherwise.
  bool real(const std::string& key, const toml::node& n, double& v) {
    if (n.is_integer()) {
      v = static_cast<double>(n.as_integer()->get());
      return true;
    }
    if (!n.is_floating_point()) {
      problems.add(line_of(n), key + " must be a number");
      return false;
    }
    v = n.as_floating_point()->get();
    if (!std::isfinite(v)) {
      problems.add(line_of(n), key + " must be finite, not " + number_text::shortest(v));
      return false;
    }
    return true;
  }

  bool whole(const std::string& key, const toml::node& n, std::int64_t least, std::int64_t& v) {
    if (!n.is_integer()) {
      problems.add(line_of(n), key + " must be a whole number");
      return false;
    }
    v = n.as_integer()->get();
    if (v < least) {
      problems.add(line_of(n), key + " must be at least " + std::to_string(least) + ", not " +
                                   std::to_string(v));
      return false;
    }
    return true;
  }

  bool section(const toml::node& n, std::string& v) {
    if (!n.is_string()) {
      problems.add(line_of(n), "section must be a string: a section of Data/ or \"cylinder\"");
      return false;
    }
    v = n.as_string()->get();
    if (lower(v) == blade::kCylinder || catalogue::shipped_number(lower(v)) != 0) {
      v = lower(v);
      return true;
    }
    if (!plain_name(v)) {
      problems.add(line_of(n), "unknown section \"" + v + "\": not a file name of Data/");
      return false;
    }
    if (!data_dir.empty() && !fs::is_regular_file(files::polar_path(data_dir, v))) {
      problems.add(line_of(n), "unknown section \"" + v +
                                   "\": " + files::polar_path(data_dir, v).string() +
                                   " not found (import it with rotorforge-foil, or \"cylinder\")");
      return false;
    }
    return true;
  }

  void station(const toml::node& n, long fallback_line, File& f) {
    const toml::table* t = n.as_table();
    if (t == nullptr) {
      problems.add(fallback_line, "station must be a table");
      return;
    }
    Station s;
    s.line = line_of(n) > 0 ? line_of(n) : fallback_line;
    std::set<std::string> seen;
    bool r_ok = false;
    for (const auto& [key, value] : *t) {
      const std::string k(key.str());
      seen.insert(k);
      if (k == "r") {
        r_ok = real("r", value, s.r);
      } else if (k == "chord") {
        if (real("chord", value, s.chord) && !(s.chord > 0.0)) {
          problems.add(line_of(value), "chord must be > 0, not " + number_text::shortest(s.chord));
        }
      } else if (k == "twist") {
        real("twist", value, s.twist);
      } else if (k == "section") {
        section(value, s.section);
      } else {
        problems.add(static_cast<long>(key.source().begin.line),
                     "unknown key \"" + k + "\" in a station (r, chord, twist, section)");
      }
    }
    for (const char* need : {"r", "chord", "twist", "section"}) {
      if (seen.count(need) == 0) problems.add(s.line, std::string("station without ") + need);
    }
    // A station with other faults still takes part in the checks of the radii; one without a
    // usable radius does not.
    if (!r_ok) s.r = std::nan("");
    f.stations.push_back(s);
  }
};

}  // namespace

Error::Error(std::vector<std::string> problems)
    : file_problems::Error(std::move(problems), "bad blade file") {}

File parse(const std::string& text, const std::string& name, const fs::path& data_dir) {
  Problems problems(name);
  const toml::table doc = toml_file::parse<Error>(text, name, problems);
  Reader reader{problems, data_dir};
  File f;
  bool has_blades = false, has_hub = false, has_stations = false;
  for (const auto& [key, value] : doc) {
    const std::string k(key.str());
    const long line = static_cast<long>(key.source().begin.line);
    if (k == "blades") {
      has_blades = reader.whole("blades", value, 1, f.blades);
    } else if (k == "hub_radius") {
      has_hub = reader.real("hub_radius", value, f.hub_radius);
      if (has_hub && f.hub_radius < 0.0) {
        problems.add(line_of(value), "hub_radius must be 0 or more");
      }
    } else if (k == "setting_angle") {
      reader.real("setting_angle", value, f.setting_angle);
    } else if (k == "elements") {
      std::int64_t n = 0;
      if (reader.whole("elements", value, 1, n)) {
        if (n > answer_rules::kMaxElements) {
          problems.add(line_of(value), "elements must be at most " +
                                           std::to_string(answer_rules::kMaxElements) + ", not " +
                                           std::to_string(n));
        } else {
          f.elements = n;
        }
      }
    } else if (k == "cylinder_drag") {
      double cd = 0.0;
      if (reader.real("cylinder_drag", value, cd)) {
        if (cd >= 0.0) {
          f.cylinder_drag = cd;
        } else {
          problems.add(line_of(value), "cylinder_drag must be 0 or more");
        }
      }
    } else if (k == "station") {
      has_stations = true;
      const toml::array* list = value.as_array();
      if (list == nullptr) {
        problems.add(line, "station must be written [[station]]");
        continue;
      }
      for (const toml::node& s : *list) reader.station(s, line, f);
    } else {
      problems.add(line, "unknown key \"" + k +
                             "\" (blades, hub_radius, setting_angle, elements, cylinder_drag, "
                             "[[station]])");
    }
  }
  if (!has_blades && doc.get("blades") == nullptr) problems.add(1, "blades is missing");
  if (!has_hub && doc.get("hub_radius") == nullptr) problems.add(1, "hub_radius is missing");
  if (f.stations.size() < 2) {
    problems.add(has_stations ? line_of(*doc.get("station")) : 1,
                 "a blade needs at least two stations, not " + std::to_string(f.stations.size()));
  }
  for (std::size_t i = 0; i < f.stations.size(); ++i) {
    const Station& s = f.stations[i];
    if (std::isnan(s.r)) continue;
    if (has_hub && s.r < f.hub_radius) {
      problems.add(s.line, "station at r = " + number_text::shortest(s.r) +
                               " m lies inside the hub (hub_radius " +
                               number_text::shortest(f.hub_radius) + " m)");
    }
    if (i > 0 && !std::isnan(f.stations[i - 1].r) && !(s.r > f.stations[i - 1].r)) {
      problems.add(s.line, "radii must increase strictly: r = " + number_text::shortest(s.r) +
                               " m after " + number_text::shortest(f.stations[i - 1].r) + " m");
    }
  }
  if (!problems.empty()) throw Error(problems.take());
  return f;
}

File read(const fs::path& path, const fs::path& data_dir) {
  bool found = false;
  const std::string t = whole_file::read(path, found);
  if (!found) throw Error({path.string() + ": cannot be read"});
  return parse(t, path.string(), data_dir);
}

blade::Blade cut(const File& f, std::int64_t n, const fs::path& data_dir) {
  blade::Blade b;
  const std::vector<Station>& st = f.stations;
  b.Numb = f.blades;
  b.nbe = n;
  b.rhub = f.hub_radius;
  b.rtip = st.back().r;
  b.setting = f.setting_angle;
  const double rtip = b.rtip;

  // One section per name, in the order of the stations.
  std::map<std::string, std::size_t> index;
  std::vector<std::size_t> station_section(st.size());
  for (std::size_t j = 0; j < st.size(); ++j) {
    auto [it, fresh] = index.try_emplace(st[j].section, b.sections.size());
    if (fresh) {
      blade::Section s;
      s.name = st[j].section;
      if (s.name == blade::kCylinder) {
        s.cylinder = true;
        s.cylinder_cd = f.cylinder_drag.value_or(kCylinderDrag);
        s.cd_source = f.cylinder_drag ? "the blade file" : kCylinderDragSource;
        s.polar = std::make_shared<aerofoil::Polar>(aerofoil::cylinder_polar(s.cylinder_cd));
      } else {
        s.polar = std::make_shared<aerofoil::Polar>(
            data_in::read_polar(files::polar_path(data_dir, s.name).string()));
      }
      b.sections.push_back(std::move(s));
    }
    station_section[j] = it->second;
  }

  // The value at relative radius xi between the stations on either side.
  struct At {
    double chord, twist;
    std::size_t section;
  };
  // Stations are matched in metres: a station written at r_i * rtip (the export of a session)
  // gives its own chord and twist to the element whose middle r_i it is.
  const auto at = [&](double xi) {
    const double rm = xi * rtip;
    std::size_t j = 1;
    while (j + 1 < st.size() && st[j].r < rm) ++j;
    const std::size_t lo = j - 1, hi = j;
    if (rm == st[lo].r) return At{st[lo].chord / rtip, st[lo].twist, station_section[lo]};
    if (rm == st[hi].r) return At{st[hi].chord / rtip, st[hi].twist, station_section[hi]};
    const double t = (rm - st[lo].r) / (st[hi].r - st[lo].r);
    const double c = (1.0 - t) * st[lo].chord + t * st[hi].chord;
    const double w = (1.0 - t) * st[lo].twist + t * st[hi].twist;
    const std::size_t s = t <= 0.5 ? station_section[lo] : station_section[hi];
    return At{c / rtip, w, s};
  };

  const double x_root = st.front().r / rtip;
  b.dr = (1.0 - x_root) / static_cast<double>(n);
  const auto count = static_cast<std::size_t>(n);
  b.r.resize(count);
  b.chord.resize(count + 1);
  b.twist.resize(count + 1);
  b.section.resize(count);
  // Radii accumulated element by element, as the design stage places them.
  for (std::size_t i = 0; i < count; ++i) {
    b.r[i] = i == 0 ? x_root + b.dr / 2.0 : b.r[i - 1] + b.dr;
    const At a = at(b.r[i]);
    b.chord[i] = a.chord;
    b.twist[i] = a.twist + f.setting_angle;
    b.section[i] = a.section;
  }
  b.chord[count] = st.back().chord / rtip;
  b.twist[count] = st.back().twist + f.setting_angle;
  b.hub = {st.front().chord / rtip, st.front().twist + f.setting_angle};
  return b;
}

std::string text(const File& f, const std::string& comment) {
  std::string t;
  if (!comment.empty()) t += "# " + comment + "\n";
  t += "blades = " + std::to_string(f.blades) + "\n";
  t += "hub_radius = " + number_text::shortest(f.hub_radius) + "          # m\n";
  t += "setting_angle = " + number_text::shortest(f.setting_angle) +
       "        # degrees, added to every twist\n";
  if (f.elements) t += "elements = " + std::to_string(*f.elements) + "\n";
  if (f.cylinder_drag) t += "cylinder_drag = " + number_text::shortest(*f.cylinder_drag) + "\n";
  for (const Station& s : f.stations) {
    t += "\n[[station]]\n";
    t += "r = " + number_text::shortest(s.r) + "\n";
    t += "chord = " + number_text::shortest(s.chord) + "\n";
    t += "twist = " + number_text::shortest(s.twist) + "\n";
    t += "section = \"" + s.section + "\"\n";
  }
  return t;
}

}  // namespace blade_file
