#include "driver/blade_dialogue.h"

#include <array>
#include <cstdint>
#include <string_view>

#include "textio/textio.h"

namespace driver {

namespace {

constexpr std::array<std::string_view, 7> kTypeMenu = {
    "            Selection type of blade",
    "      =============================================",
    "      =           1 - Solid                       =",
    "      =           2 - Hollow                      =",
    "      =============================================",
    "          Please select an option by entering the",
    "           associated number followed by <return>.    ",
};

// The closing row of stars and the last two material rows carry a trailing blank.
constexpr std::array<std::string_view, 10> kMaterialMenu = {
    "            Selection of blade material",
    "      * * * * * * * * * * * * * * * * * * * * * * *",
    "      *           1 - Wood                        *",
    "      *           2 - Aluminium                   *",
    "      *           3 - S-Glass Fiber composite     *",
    "      *           4 - Carbon Fiber composite      * ",
    "      *           5 - Polywood                    * ",
    "      * * * * * * * * * * * * * * * * * * * * * * * ",
    "          Please select an option by entering the",
    "           associated number followed by <return>.    ",
};

std::int64_t ask_blade_type(textio::Console& con) {
  for (;;) {
    con.write();
    for (std::string_view line : kTypeMenu) con.write({line});
    std::int64_t type = 0;
    con.read({textio::In(type)}, "blade type choice");
    if (type == 1 || type == 2) return type;
  }
}

double ask_wall_thickness(textio::Console& con) {
  double delta = 0.0;
  for (;;) {
    con.write_fmt("(' Enter the thickness of wall of blade (mm), delta=', $)");
    con.read({textio::In(delta)},
             "answer to \"Enter the thickness of wall of blade (mm), delta=\"");
    if (delta >= 0.0) return delta;
    con.write({"delta must be 0 or more; please enter it again."});
  }
}

std::int64_t ask_material(textio::Console& con) {
  con.write();
  for (std::string_view line : kMaterialMenu) con.write({line});
  std::int64_t material = 0;
  con.read({textio::In(material)}, "material choice");
  return material;
}

}  // namespace

blade::BuildChoices blade_choices(textio::Console& con) {
  return {[&con] { return ask_blade_type(con); }, [&con] { return ask_wall_thickness(con); },
          [&con] { return ask_material(con); }};
}

}  // namespace driver
