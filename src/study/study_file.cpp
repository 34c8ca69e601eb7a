#include "study/study_file.h"

#include <toml++/toml.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <fstream>
#include <map>
#include <optional>
#include <set>
#include <sstream>

#include "companion/toml_file.h"
#include "util/answer_rules.h"
#include "util/catalogue.h"
#include "util/enum_names.h"
#include "util/files.h"
#include "util/number_text.h"

namespace study {

namespace fs = std::filesystem;

namespace {

enum class Kind { Int, Real, Foil, BladeType, Material, Bool };

using answer_rules::Answer;

// A key of the study file: its table, name and kind, and the answer of the session it gives
// with that answer's rule. A key whose rule compares with an earlier answer (`above`, a key of
// the same table) is checked alone against 0, and again, once a design is put together,
// against that key's value.
struct KeyRule {
  const char* table;
  const char* name;
  Kind kind;
  std::optional<Answer> answer = std::nullopt;
  const char* above = nullptr;
};

// Every key of a study, in the order of the columns of the summary and of the cross product
// (the first key varies slowest).
constexpr KeyRule kKeys[] = {
    {"rotor", "blades", Kind::Int, Answer::Numb},
    {"rotor", "hub_radius", Kind::Real, Answer::rhub},
    {"rotor", "tip_radius", Kind::Real, Answer::rtip, "hub_radius"},
    {"rotor", "elements", Kind::Int, Answer::nbe},
    {"rotor", "setting_angle", Kind::Real, Answer::pitchinitial},
    {"rotor", "aerofoil", Kind::Foil},
    {"blade", "type", Kind::BladeType},
    {"blade", "wall_thickness", Kind::Real, Answer::delta},
    {"blade", "material", Kind::Material},
    {"blade", "stl", Kind::Bool},
    {"site", "mean_wind", Kind::Real, Answer::Umid},
    {"site", "cut_in", Kind::Real, Answer::Ucin},
    {"site", "cut_out", Kind::Real, Answer::Ucout, "cut_in"},
    {"site", "hub_height", Kind::Real, Answer::h},
    {"site", "altitude", Kind::Real, Answer::SeaL},
    {"two_speed", "first_speed", Kind::Real, Answer::Speed},
    {"constant_speed", "speed", Kind::Real, Answer::Speed},
    {"pitch", "speed", Kind::Real, Answer::Speed},
    {"pitch", "power_limit", Kind::Real, Answer::MPL},
};
constexpr std::size_t kKeyCount = sizeof kKeys / sizeof kKeys[0];

std::string full_name(const KeyRule& k) {
  return std::string(k.table) + "." + k.name;
}

// A checked value of a key; `line` is where it stands in the file.
struct Value {
  std::int64_t i = 0;  // Int, BladeType (1, 2), Material (1 ... 5)
  double r = 0.0;      // Real
  std::string s;       // Foil: the file stem
  bool b = false;      // Bool
  long line = 0;
};

// The values one table level gives: per key the list (absent: empty), and the turbine types
// whose tables are present.
struct Layer {
  std::vector<Value> values[kKeyCount];
  bool types[kTypes] = {false, false, false, false};
  long line = 1;  // where the level starts (a [[design]] entry's header)
};

using file_problems::Problems;
using toml_file::line_of;
using toml_file::lower;

std::string kind_of(const toml::node& n) {
  using toml::node_type;
  static constexpr enum_names::Named<node_type> kKinds[] = {
      {node_type::string, "a string"},
      {node_type::integer, "a whole number"},
      {node_type::floating_point, "a number with a fraction"},
      {node_type::boolean, "true or false"},
      {node_type::table, "a table"},
      {node_type::array, "a list"}};
  return enum_names::name(n.type(), kKinds, "a date or time");
}

// A name that stays inside Data/ and reads as one answer-free word.
bool plain_name(const std::string& s) {
  if (s.empty() || s.size() > 64 || s.front() == '.' || s.front() == '-') return false;
  return std::all_of(s.begin(), s.end(), [](unsigned char c) {
    return std::isalnum(c) || c == '_' || c == '-' || c == '.';
  });
}

// The shipped aerofoils' menu answers, "1, 2, 3", and the materials' names, "wood, ...".
std::string aerofoil_answers() {
  std::string list;
  for (std::size_t i = 1; i <= catalogue::kAerofoils.size(); ++i) {
    list += (i > 1 ? ", " : "") + std::to_string(i);
  }
  return list;
}
std::string material_names() {
  std::string list;
  for (const catalogue::Material& m : catalogue::kMaterials) {
    list += (list.empty() ? "" : ", ") + std::string(m.key);
  }
  return list;
}

struct Reader {
  Problems& problems;
  const fs::path& data_dir;

  // Reads one scalar of key `k`; false (with a problem reported) when it is not usable.
  bool scalar(const KeyRule& k, const toml::node& n, Value& v) {
    v.line = line_of(n);
    switch (k.kind) {
      case Kind::Int:
        if (!n.is_integer()) return wrong(k, n, "a whole number");
        v.i = n.as_integer()->get();
        return keeps_rule(k, v, static_cast<double>(v.i), std::to_string(v.i));
      case Kind::Real:
        return real(k, n, v);
      case Kind::Foil:
        return aerofoil(k, n, v);
      case Kind::BladeType:
        return blade_type(k, n, v);
      case Kind::Material:
        return material(k, n, v);
      case Kind::Bool:
        if (!n.is_boolean()) return wrong(k, n, "true or false");
        v.b = n.as_boolean()->get();
        return true;
    }
    return false;
  }

  // A value of the wrong type; false.
  bool wrong(const KeyRule& k, const toml::node& n, const std::string& want) {
    problems.add(line_of(n), full_name(k) + " must be " + want + ", not " + kind_of(n));
    return false;
  }

  // A value that breaks `rule`; false.
  bool bad(const KeyRule& k, const Value& v, const std::string& rule) {
    problems.add(v.line, full_name(k) + " " + rule);
    return false;
  }

  // The answer's own rule, for a value standing alone (see KeyRule).
  bool keeps_rule(const KeyRule& k, const Value& v, double x, const std::string& shown) {
    if (!k.answer) return true;
    const std::string rule = answer_rules::broken(*k.answer, x, 0.0);
    if (rule.empty()) return true;
    return bad(k, v,
               "must be " + (k.above != nullptr ? std::string("greater than 0") : rule) + ", not " +
                   shown);
  }

  bool real(const KeyRule& k, const toml::node& n, Value& v) {
    if (n.is_integer()) {
      v.r = static_cast<double>(n.as_integer()->get());
    } else if (n.is_floating_point()) {
      v.r = n.as_floating_point()->get();
    } else {
      return wrong(k, n, "a number");
    }
    if (!std::isfinite(v.r)) return bad(k, v, "must be a finite number");
    return keeps_rule(k, v, v.r, number_text::shortest(v.r));
  }

  // The aerofoil menu's answer of a shipped section, or the name of one in Data/.
  bool aerofoil(const KeyRule& k, const toml::node& n, Value& v) {
    if (n.is_integer()) {
      const std::int64_t i = n.as_integer()->get();
      if (i < 1 || i > static_cast<std::int64_t>(catalogue::kAerofoils.size())) {
        return bad(k, v,
                   "must be " + aerofoil_answers() + " or the name of an aerofoil in Data/, not " +
                       std::to_string(i));
      }
      v.s = catalogue::kAerofoils[static_cast<std::size_t>(i - 1)].stem;
      return true;
    }
    if (!n.is_string()) return wrong(k, n, aerofoil_answers() + " or an aerofoil's name");
    v.s = n.as_string()->get();
    if (catalogue::shipped_number(lower(v.s)) != 0) {
      v.s = lower(v.s);
      return true;
    }
    if (!plain_name(v.s)) {
      return bad(k, v,
                 "\"" + v.s + "\" is not a file name of Data/ (letters, digits, '_', '-', '.')");
    }
    if (data_dir.empty()) return true;
    for (const std::string& file : {files::outline_name(v.s), files::polar_name(v.s)}) {
      if (!fs::is_regular_file(data_dir / file)) {
        return bad(k, v,
                   "\"" + v.s + "\": " + (data_dir / file).string() +
                       " not found (import the section with rotorforge-foil first)");
      }
    }
    return true;
  }

  bool blade_type(const KeyRule& k, const toml::node& n, Value& v) {
    if (n.is_string()) {
      const std::string s = lower(n.as_string()->get());
      if (s == "solid") {
        v.i = 1;
      } else if (s == "hollow") {
        v.i = 2;
      } else {
        return bad(k, v, "must be \"solid\" or \"hollow\", not \"" + n.as_string()->get() + "\"");
      }
      return true;
    }
    if (!n.is_integer()) return wrong(k, n, "\"solid\" or \"hollow\"");
    v.i = n.as_integer()->get();
    if (v.i != 1 && v.i != 2) {
      return bad(k, v, "must be \"solid\" (1) or \"hollow\" (2), not " + std::to_string(v.i));
    }
    return true;
  }

  // The material menu's answer, or a material's name.
  bool material(const KeyRule& k, const toml::node& n, Value& v) {
    if (n.is_string()) {
      v.i = catalogue::material_number(lower(n.as_string()->get()));
      if (v.i == 0) {
        return bad(k, v,
                   "must be one of " + material_names() + ", not \"" + n.as_string()->get() + "\"");
      }
      return true;
    }
    if (!n.is_integer()) return wrong(k, n, "a material's name or number");
    v.i = n.as_integer()->get();
    if (v.i < 1 || v.i > static_cast<std::int64_t>(catalogue::kMaterials.size())) {
      return bad(k, v,
                 "must be from 1 to " + std::to_string(catalogue::kMaterials.size()) + ", not " +
                     std::to_string(v.i));
    }
    return true;
  }

  // A value or a list of values of key `k`.
  void values(const KeyRule& k, const toml::node& n, std::vector<Value>& out) {
    out.clear();
    if (const toml::array* list = n.as_array()) {
      if (list->empty()) problems.add(line_of(n), full_name(k) + " is an empty list");
      for (const toml::node& e : *list) {
        if (e.is_array() || e.is_table()) {
          problems.add(line_of(e), full_name(k) + " must be a value or a list of values");
          continue;
        }
        Value v;
        if (scalar(k, e, v)) out.push_back(std::move(v));
      }
      return;
    }
    Value v;
    if (scalar(k, n, v)) out.push_back(std::move(v));
  }

  // The keys of one table of the study ("rotor", "pitch", ...).
  void table(const std::string& tname, const toml::node& n, Layer& layer) {
    const toml::table* t = n.as_table();
    if (t == nullptr) {
      problems.add(line_of(n), tname + " must be a table, not " + kind_of(n));
      return;
    }
    for (auto&& [key, node] : *t) {
      const std::string kname(key.str());
      std::size_t found = kKeyCount;
      std::string allowed;
      for (std::size_t i = 0; i < kKeyCount; ++i) {
        if (tname != kKeys[i].table) continue;
        allowed += (allowed.empty() ? "" : ", ") + std::string(kKeys[i].name);
        if (kname == kKeys[i].name) found = i;
      }
      if (found == kKeyCount) {
        problems.add(static_cast<long>(key.source().begin.line),
                     "unknown key " + tname + "." + kname +
                         (allowed.empty() ? " (this table takes no keys)"
                                          : " (" + tname + " takes " + allowed + ")"));
        continue;
      }
      values(kKeys[found], node, layer.values[found]);
    }
  }

  // A whole level: the top of the file, or one [[design]] entry.
  void layer(const toml::table& t, Layer& layer, bool top) {
    for (auto&& [key, node] : t) {
      const std::string kname(key.str());
      const long line = static_cast<long>(key.source().begin.line);
      if (kname == "rotor" || kname == "blade" || kname == "site") {
        table(kname, node, layer);
        continue;
      }
      bool is_type = false;
      for (int ty = 0; ty < kTypes; ++ty) {
        if (kname == kTypeTable[ty]) {
          is_type = true;
          layer.types[ty] = true;
          table(kname, node, layer);
        }
      }
      if (is_type) continue;
      if (top &&
          (kname == "design" || kname == "title" || kname == "loads" || kname == "blade_files")) {
        continue;
      }
      problems.add(line, "unknown key " + kname +
                             " (expected rotor, blade, site, variable_speed, two_speed, "
                             "constant_speed, pitch" +
                             (top ? std::string(", loads, design, blade_files or title)")
                                  : std::string(")")));
    }
  }
};

// The [loads] table: the class of the parked storm (or its wind) and the two safety factors.
LoadsTable read_loads(const toml::node& n, Problems& problems) {
  LoadsTable l;
  const toml::table* t = n.as_table();
  if (t == nullptr) {
    problems.add(line_of(n), "loads must be a table, not " + kind_of(n));
    return l;
  }
  for (auto&& [key, node] : *t) {
    const std::string k(key.str());
    const long line = static_cast<long>(key.source().begin.line);
    if (k == "class") {
      const std::optional<std::string> c = node.value<std::string>();
      if (!c || !(*c == "I" || *c == "II" || *c == "III" || *c == "IV")) {
        problems.add(line, "loads.class must be \"I\", \"II\", \"III\" or \"IV\"");
      } else {
        l.storm_class = *c;
      }
      continue;
    }
    if (k == "allow_resonance") {
      if (const auto* b = node.as_boolean()) {
        l.allow_resonance = b->get();
      } else {
        problems.add(line, "loads.allow_resonance must be true or false");
      }
      continue;
    }
    std::optional<double>* target = k == "parked_wind"       ? &l.parked_wind
                                    : k == "load_factor"     ? &l.load_factor
                                    : k == "material_factor" ? &l.material_factor
                                    : k == "clearance"       ? &l.clearance
                                                             : nullptr;
    if (target == nullptr) {
      problems.add(line, "unknown key loads." + k +
                             " (loads takes class, parked_wind, load_factor, material_factor, "
                             "clearance, allow_resonance)");
      continue;
    }
    const std::optional<double> v = node.value<double>();
    if (!v || !(*v > 0.0) || !std::isfinite(*v)) {
      problems.add(line, "loads." + k + " must be a number above 0");
    } else {
      *target = *v;
    }
  }
  if (l.parked_wind && t->contains("class")) {
    problems.add(line_of(n), "loads: give class or parked_wind, not both");
  }
  return l;
}

std::size_t key_index(std::string_view table, std::string_view name) {
  for (std::size_t i = 0; i < kKeyCount; ++i) {
    if (table == kKeys[i].table && name == kKeys[i].name) return i;
  }
  return kKeyCount;
}

// The design of one combination: `pick[i]` is the value chosen for key i, or null; the rotor
// keys are read only with `rotor_answers`.
Design make_design(const Value* const pick[kKeyCount], const bool types[kTypes],
                   bool rotor_answers) {
  const auto real = [&](const char* t, const char* n, double fallback) {
    const Value* v = pick[key_index(t, n)];
    return v != nullptr ? v->r : fallback;
  };
  const auto integer = [&](const char* t, const char* n, std::int64_t fallback) {
    const Value* v = pick[key_index(t, n)];
    return v != nullptr ? v->i : fallback;
  };
  Design d;
  if (rotor_answers) {
    d.blades = integer("rotor", "blades", 0);
    d.hub_radius = real("rotor", "hub_radius", 0.0);
    d.tip_radius = real("rotor", "tip_radius", 0.0);
    d.elements = integer("rotor", "elements", 0);
    d.setting_angle = real("rotor", "setting_angle", 0.0);
    if (const Value* v = pick[key_index("rotor", "aerofoil")]) d.aerofoil = v->s;
  }
  d.blade_type = static_cast<int>(integer("blade", "type", 1));
  d.wall_thickness = d.blade_type == 2 ? real("blade", "wall_thickness", 0.0) : 0.0;
  d.material = static_cast<int>(integer("blade", "material", 1));
  if (const Value* v = pick[key_index("blade", "stl")]) d.stl = v->b;
  d.mean_wind = real("site", "mean_wind", 0.0);
  for (int t = 0; t < kTypes; ++t) d.runs[t] = types[t];
  const bool sweeps = types[0] || types[1] || types[2] || types[3];
  if (sweeps) {
    d.cut_in = real("site", "cut_in", 0.0);
    d.cut_out = real("site", "cut_out", 0.0);
    d.hub_height = real("site", "hub_height", 0.0);
    d.altitude = real("site", "altitude", 0.0);
  }
  if (types[1]) d.first_rpm = real("two_speed", "first_speed", 0.0);
  if (types[2]) d.constant_rpm = real("constant_speed", "speed", 0.0);
  if (types[3]) {
    d.pitch_rpm = real("pitch", "speed", 0.0);
    d.power_limit = real("pitch", "power_limit", 0.0);
  }
  return d;
}

// Keys that must have a value, and the condition under which they must. A blade file's design
// needs no rotor but its site and at least one turbine type.
void check_missing(const Layer& l, Problems& problems, bool blade_file = false) {
  const auto need = [&](const char* t, const char* n, bool when) {
    if (when && l.values[key_index(t, n)].empty()) {
      problems.add(l.line, std::string(t) + "." + n + " is missing");
    }
  };
  for (const char* n : {"blades", "hub_radius", "tip_radius", "elements", "aerofoil"}) {
    need("rotor", n, !blade_file);
  }
  if (blade_file && !(l.types[0] || l.types[1] || l.types[2] || l.types[3])) {
    problems.add(l.line,
                 "blade_files need a turbine type ([variable_speed], [two_speed], "
                 "[constant_speed] or [pitch])");
  }
  need("site", "mean_wind", true);
  const bool sweeps = l.types[0] || l.types[1] || l.types[2] || l.types[3];
  for (const char* n : {"cut_in", "cut_out", "hub_height"}) need("site", n, sweeps);
  need("two_speed", "first_speed", l.types[1]);
  need("constant_speed", "speed", l.types[2]);
  need("pitch", "speed", l.types[3]);
  need("pitch", "power_limit", l.types[3]);
  // A hollow blade needs its wall.
  for (const Value& v : l.values[key_index("blade", "type")]) {
    if (v.i == 2 && l.values[key_index("blade", "wall_thickness")].empty()) {
      problems.add(v.line, "blade.wall_thickness is missing for a hollow blade");
    }
  }
}

// Rules between keys, checked on every combination: a key must exceed the key it is `above`.
void check_combination(const Value* const pick[kKeyCount], Problems& problems) {
  for (std::size_t i = 0; i < kKeyCount; ++i) {
    const KeyRule& k = kKeys[i];
    if (k.above == nullptr) continue;
    const Value* earlier = pick[key_index(k.table, k.above)];
    const Value* later = pick[i];
    if (earlier == nullptr || later == nullptr ||
        answer_rules::broken(*k.answer, later->r, earlier->r).empty()) {
      continue;
    }
    problems.add(later->line, full_name(k) + " " + number_text::shortest(later->r) +
                                  " must be greater than " + k.table + "." + k.above + " " +
                                  number_text::shortest(earlier->r));
  }
}

void expand(const Layer& l, Study& s, std::set<std::string>& ids, Problems& problems,
            const std::string& blade_file = {}) {
  check_missing(l, problems, !blade_file.empty());
  const Value* pick[kKeyCount] = {};
  std::size_t at[kKeyCount] = {};
  for (;;) {
    for (std::size_t i = 0; i < kKeyCount; ++i) {
      pick[i] = l.values[i].empty() ? nullptr : &l.values[i][at[i]];
    }
    check_combination(pick, problems);
    // A blade file's design takes no rotor answers of the study's: the blade is the file's.
    Design d = make_design(pick, l.types, blade_file.empty());
    d.blade_file = blade_file;
    if (ids.insert(design_id(d)).second) s.designs.push_back(std::move(d));
    // Next combination: the last key varies fastest.
    bool advanced = false;
    for (std::size_t i = kKeyCount; i-- > 0;) {
      if (at[i] + 1 < l.values[i].size()) {
        ++at[i];
        advanced = true;
        break;
      }
      at[i] = 0;
    }
    if (!advanced) return;
  }
}

}  // namespace

StudyError::StudyError(std::vector<std::string> problems)
    : file_problems::Error(std::move(problems), "bad study") {}

std::string answers(const Design& d) {
  std::vector<std::string> a;
  const auto num = [&](double v) { a.push_back(number_text::shortest(v)); };
  const auto whole = [&](std::int64_t v) { a.push_back(std::to_string(v)); };
  whole(d.blades);
  num(d.hub_radius);
  num(d.tip_radius);
  whole(d.elements);
  num(d.setting_angle);
  const int foil = catalogue::shipped_number(d.aerofoil);
  whole(foil != 0 ? foil : catalogue::kImportedFoilAnswer);
  num(d.mean_wind);
  whole(d.blade_type);
  if (d.blade_type == 2) num(d.wall_thickness);
  whole(d.material);
  for (int t = 0; t < kTypes; ++t) {
    if (!d.runs[t]) continue;
    whole(t + 1);
    for (double v : {d.cut_in, d.cut_out, d.mean_wind, d.hub_height, d.altitude}) num(v);
    if (t == 1) num(d.first_rpm);
    if (t == 2) num(d.constant_rpm);
    if (t == 3) {
      num(d.pitch_rpm);
      num(d.power_limit);
    }
  }
  if (d.stl) whole(6);
  whole(0);
  std::string text;
  for (const std::string& s : a) text += s + "\n";
  return text;
}

std::vector<std::string> analyse_arguments(const Design& d, const std::string& file) {
  const auto n = [](double v) { return number_text::shortest(v); };
  std::vector<std::string> a = {
      file,         "--mean-wind",  n(d.mean_wind),  "--cut-in",   n(d.cut_in),  "--cut-out",
      n(d.cut_out), "--hub-height", n(d.hub_height), "--altitude", n(d.altitude)};
  if (d.runs[1]) a.insert(a.end(), {"--two-speed", n(d.first_rpm)});
  if (d.runs[2]) a.insert(a.end(), {"--constant-speed", n(d.constant_rpm)});
  if (d.runs[3]) {
    a.insert(a.end(), {"--pitch-speed", n(d.pitch_rpm), "--power-limit", n(d.power_limit)});
  }
  return a;
}

std::string design_id(const Design& d) {
  std::string key = answers(d);
  if (catalogue::shipped_number(d.aerofoil) == 0) key += "aerofoil " + d.aerofoil + "\n";
  // A blade file's design: its path and what the file holds now.
  if (!d.blade_file.empty()) {
    std::ifstream in(d.blade_file, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    key += "blade file " + d.blade_file + "\n" + text.str();
  }
  std::uint64_t h = 14695981039346656037ull;  // FNV-1a offset basis
  for (unsigned char c : key) {
    h ^= c;
    h *= 1099511628211ull;  // FNV prime
  }
  static constexpr char kHex[] = "0123456789abcdef";
  std::string id(16, '0');
  for (int i = 15; i >= 0; --i, h >>= 4) id[static_cast<std::size_t>(i)] = kHex[h & 15];
  return id;
}

Study parse_study(const std::string& text, const std::string& name, const fs::path& data_dir) {
  Problems problems(name);
  const toml::table doc = toml_file::parse<StudyError>(text, name, problems);
  Reader reader{problems, data_dir};
  Layer base;
  reader.layer(doc, base, true);
  std::string title;
  if (const toml::node* t = doc.get("title")) {
    if (t->is_string()) {
      title = t->as_string()->get();
    } else {
      problems.add(line_of(*t), "title must be a string, not " + kind_of(*t));
    }
  }

  // Blade files listed as designs, relative to the study file's folder.
  std::vector<std::string> blade_files;
  if (const toml::node* bf = doc.get("blade_files")) {
    const toml::array* list = bf->as_array();
    if (list == nullptr || list->empty()) {
      problems.add(line_of(*bf), "blade_files must be a list of blade file names");
    } else {
      for (const toml::node& e : *list) {
        if (!e.is_string()) {
          problems.add(line_of(e), "blade_files: each entry must be a file name in quotes");
          continue;
        }
        fs::path p = e.as_string()->get();
        if (p.is_relative()) p = fs::path(name).parent_path() / p;
        std::error_code ec;
        if (!fs::is_regular_file(p, ec)) {
          problems.add(line_of(e), "blade_files: " + p.string() + " not found");
          continue;
        }
        blade_files.push_back(fs::absolute(p).lexically_normal().string());
      }
    }
  }
  // Sessions are designed when the study gives a rotor (or design entries) or no blade files.
  const bool sessions = doc.get("rotor") != nullptr || doc.get("design") != nullptr ||
                        doc.get("blade_files") == nullptr;

  std::vector<Layer> layers;
  if (!sessions) {
    // No session designs.
  } else if (const toml::node* entries = doc.get("design")) {
    const toml::array* list = entries->as_array();
    if (list == nullptr || !list->is_array_of_tables() || list->empty()) {
      problems.add(line_of(*entries), "design must be a list of tables ([[design]] entries)");
    } else {
      for (const toml::node& e : *list) {
        Layer l;
        reader.layer(*e.as_table(), l, false);
        for (std::size_t i = 0; i < kKeyCount; ++i) {
          if (l.values[i].empty()) l.values[i] = base.values[i];
        }
        for (int t = 0; t < kTypes; ++t) l.types[t] = l.types[t] || base.types[t];
        l.line = line_of(e);
        layers.push_back(std::move(l));
      }
    }
  } else {
    layers.push_back(base);
  }
  if (!problems.empty()) throw StudyError(problems.take());

  Study s;
  s.title = title;
  if (const toml::node* l = doc.get("loads")) s.loads = read_loads(*l, problems);
  std::set<std::string> ids;
  for (const Layer& l : layers) expand(l, s, ids, problems);
  for (const std::string& f : blade_files) expand(base, s, ids, problems, f);
  if (!problems.empty()) throw StudyError(problems.take());
  for (const Design& d : s.designs) {
    for (int t = 0; t < kTypes; ++t) s.runs[t] = s.runs[t] || d.runs[t];
  }
  s.any_type = s.runs[0] || s.runs[1] || s.runs[2] || s.runs[3];
  return s;
}

Study read_study(const fs::path& file, const fs::path& data_dir) {
  std::ifstream in(file, std::ios::binary);
  if (!in) throw StudyError({file.string() + ": cannot be read"});
  std::ostringstream text;
  text << in.rdbuf();
  return parse_study(text.str(), file.string(), data_dir);
}

}  // namespace study
