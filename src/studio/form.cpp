#include "studio/form.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <optional>

#include "util/answer_rules.h"
#include "util/catalogue.h"

namespace studio {

namespace {

using answer_rules::Answer;
using nlohmann::json;

// When a field is asked: always, for a hollow blade, or for some turbine types (bit t - 1 set
// for type t).
enum class When { Always, Hollow, Types };

// One numeric field of the form: its key (the name the prompt shows), its label and unit, the
// rule it keeps, the field it must exceed (if its rule has one), when it is asked.
struct Field {
  const char* key;
  const char* label;
  const char* unit;
  Answer answer;
  const char* earlier;
  When when;
  unsigned types;
};

// In the order the dialogue asks them; the menus (aerofoil, blade type, material, turbine type)
// sit between these as the dialogue has them.
constexpr Field kFields[] = {
    {"Numb", "Number of blades", "", Answer::Numb, nullptr, When::Always, 0},
    {"rhub", "Hub radius", "m", Answer::rhub, nullptr, When::Always, 0},
    {"rtip", "Tip radius", "m", Answer::rtip, "rhub", When::Always, 0},
    {"nbe", "Blade elements", "", Answer::nbe, nullptr, When::Always, 0},
    {"pitchinitial", "Setting angle", "degree", Answer::pitchinitial, nullptr, When::Always, 0},
    {"Umid", "Site mean wind at 10 m", "m/s", Answer::Umid, nullptr, When::Always, 0},
    {"delta", "Wall thickness", "mm", Answer::delta, nullptr, When::Hollow, 0},
    {"Ucin", "Cut-in wind speed", "m/s", Answer::Ucin, nullptr, When::Always, 0},
    {"Ucout", "Cut-out wind speed", "m/s", Answer::Ucout, "Ucin", When::Always, 0},
    {"h", "Hub height", "m", Answer::h, nullptr, When::Always, 0},
    {"SeaL", "Altitude", "m", Answer::SeaL, nullptr, When::Always, 0},
    {"omega1", "First rotational speed", "rpm", Answer::Speed, nullptr, When::Types, 0b0010},
    {"omega", "Rotational speed", "rpm", Answer::Speed, nullptr, When::Types, 0b1100},
    {"MPL", "Maximum power limit", "W", Answer::MPL, nullptr, When::Types, 0b1000},
};

constexpr const char* kTypeNames[] = {"Stall control variable speed", "Stall control two speed",
                                      "Stall control constant speed",
                                      "Pitch control constant speed"};

bool asked(const Field& f, int blade_type, int type) {
  switch (f.when) {
    case When::Always:
      return true;
    case When::Hollow:
      return blade_type == 2;
    case When::Types:
      return type >= 1 && type <= 4 && (f.types >> (type - 1)) & 1u;
  }
  return false;
}

// A number from the form: a JSON number, or text holding one with a decimal point. nullopt
// with `why` set when there is none.
std::optional<double> number(const json& v, const char* key, std::string& why) {
  if (v.is_number()) return v.get<double>();
  if (!v.is_string()) {
    why = std::string(key) + " must be a number";
    return std::nullopt;
  }
  std::string s = v.get<std::string>();
  const auto first = s.find_first_not_of(" \t");
  const auto last = s.find_last_not_of(" \t");
  s = first == std::string::npos ? std::string() : s.substr(first, last - first + 1);
  if (s.empty()) {
    why = std::string(key) + " is missing";
    return std::nullopt;
  }
  if (s.find(',') != std::string::npos) {
    why = std::string(key) + ": write the decimal point as a point, not a comma (" + s + ")";
    return std::nullopt;
  }
  errno = 0;
  char* end = nullptr;
  const double x = std::strtod(s.c_str(), &end);
  if (end != s.c_str() + s.size() || errno == ERANGE || s.find_first_of("xXpP") != s.npos ||
      s.find_first_of("iInN") != s.npos) {
    why = std::string(key) + " must be a number, not \"" + s + "\"";
    return std::nullopt;
  }
  return x;
}

// A menu's answer: a whole number from 1 to `count`.
std::optional<int> menu(const json& body, const char* key, int count, std::vector<Refusal>& out) {
  const auto it = body.find(key);
  std::string why;
  std::optional<double> x;
  if (it == body.end()) {
    why = std::string(key) + " is missing";
  } else {
    x = number(*it, key, why);
  }
  if (x && (*x != std::floor(*x) || *x < 1 || *x > count)) {
    why = std::string(key) + " must be a whole number from 1 to " + std::to_string(count);
    x.reset();
  }
  if (!x) {
    out.push_back({key, why});
    return std::nullopt;
  }
  return static_cast<int>(*x);
}

}  // namespace

Form read_form(const json& body, const std::vector<std::string>& aerofoils) {
  Form f;
  if (!body.is_object()) {
    f.refusals.push_back({"", "the form must be a JSON object"});
    return f;
  }
  if (const auto it = body.find("name"); it != body.end()) {
    if (!it->is_string() || it->get<std::string>().size() > kMaxName) {
      f.refusals.push_back(
          {"name", "name must be text of at most " + std::to_string(kMaxName) + " characters"});
    } else {
      for (char c : it->get<std::string>()) f.name += static_cast<unsigned char>(c) < 32 ? ' ' : c;
    }
  }
  // The aerofoil by its stem, one of those offered.
  study::Design& d = f.design;
  if (const auto it = body.find("aerofoil"); it != body.end() && it->is_string()) {
    for (const std::string& a : aerofoils) {
      if (a == it->get<std::string>()) d.aerofoil = a;
    }
  }
  if (d.aerofoil.empty()) f.refusals.push_back({"aerofoil", "aerofoil must be one of the list"});
  const auto blade_type = menu(body, "blade_type", 2, f.refusals);
  const auto material =
      menu(body, "material", static_cast<int>(catalogue::kMaterials.size()), f.refusals);
  const auto type = menu(body, "type", 4, f.refusals);
  d.blade_type = blade_type.value_or(1);
  d.material = material.value_or(1);

  json values = json::object();
  for (const Field& field : kFields) {
    if (!asked(field, d.blade_type, type.value_or(0))) continue;
    const auto it = body.find(field.key);
    std::string why;
    std::optional<double> x;
    if (it == body.end()) {
      why = std::string(field.key) + " is missing";
    } else {
      x = number(*it, field.key, why);
    }
    const answer_rules::Limits limits = answer_rules::limits(field.answer);
    if (x && limits.whole && *x != std::floor(*x)) {
      why = answer_rules::complaint(field.key, limits.rule);
      x.reset();
    }
    // A whole answer is a 64-bit integer in the session; beyond 2^53 a double no longer holds
    // every whole number, and far beyond it the conversion would be undefined.
    if (x && limits.whole && std::fabs(*x) > 9007199254740992.0) {
      why = std::string(field.key) + " is too large";
      x.reset();
    }
    if (x) {
      double earlier = 0.0;
      if (field.earlier != nullptr) {
        const auto e = values.find(field.earlier);
        if (e == values.end()) continue;  // the earlier answer is refused already
        earlier = e->get<double>();
      }
      const std::string rule = answer_rules::broken(field.answer, *x, earlier);
      if (!rule.empty()) {
        why = answer_rules::complaint(field.key, rule);
        x.reset();
      }
    }
    if (!x) {
      f.refusals.push_back({field.key, why});
      continue;
    }
    values[field.key] = *x;
  }
  if (!f.ok()) return f;
  const auto v = [&](const char* key) { return values.value(key, 0.0); };
  d.blades = static_cast<std::int64_t>(v("Numb"));
  d.hub_radius = v("rhub");
  d.tip_radius = v("rtip");
  d.elements = static_cast<std::int64_t>(v("nbe"));
  d.setting_angle = v("pitchinitial");
  d.mean_wind = v("Umid");
  d.wall_thickness = v("delta");
  d.cut_in = v("Ucin");
  d.cut_out = v("Ucout");
  d.hub_height = v("h");
  d.altitude = v("SeaL");
  d.first_rpm = v("omega1");
  d.constant_rpm = v("omega");
  d.pitch_rpm = v("omega");
  d.power_limit = v("MPL");
  d.runs[*type - 1] = true;
  d.stl = true;
  return f;
}

json rules_json(const std::vector<std::string>& aerofoils) {
  json fields = json::array();
  for (const Field& f : kFields) {
    const answer_rules::Limits l = answer_rules::limits(f.answer);
    json j = {{"key", f.key},
              {"label", f.label},
              {"unit", f.unit},
              {"rule", l.rule},
              {"whole", l.whole},
              {"message", answer_rules::complaint(f.key, l.rule)},
              {"when", f.when == When::Always   ? "always"
                       : f.when == When::Hollow ? "hollow"
                                                : "types"}};
    if (l.low) j["low"] = {{"value", *l.low}, {"included", l.low_included}};
    if (l.high) j["high"] = {{"value", *l.high}, {"included", l.high_included}};
    if (f.earlier != nullptr) j["above"] = f.earlier;
    if (f.when == When::Types) {
      json types = json::array();
      for (int t = 1; t <= 4; ++t) {
        if ((f.types >> (t - 1)) & 1u) types.push_back(t);
      }
      j["types"] = types;
    }
    fields.push_back(j);
  }
  json foils = json::array();
  for (const std::string& a : aerofoils) {
    const int n = catalogue::shipped_number(a);
    foils.push_back({{"stem", a},
                     {"name", n != 0 ? std::string(catalogue::kAerofoils[n - 1].menu_name) : a},
                     {"shipped", n != 0}});
  }
  json materials = json::array();
  for (std::size_t i = 0; i < catalogue::kMaterials.size(); ++i) {
    materials.push_back({{"number", i + 1},
                         {"name", catalogue::kMaterials[i].key},
                         {"density", catalogue::kMaterials[i].density}});
  }
  json types = json::array();
  for (int t = 0; t < 4; ++t) types.push_back({{"number", t + 1}, {"name", kTypeNames[t]}});
  return {{"fields", fields},
          {"aerofoils", foils},
          {"materials", materials},
          {"blade_types",
           json::array({{{"number", 1}, {"name", "solid"}}, {{"number", 2}, {"name", "hollow"}}})},
          {"types", types},
          {"comma", "write the decimal point as a point, not a comma"}};
}

}  // namespace studio
