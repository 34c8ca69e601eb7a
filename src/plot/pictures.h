// The pictures of a run, built from what the readers return: power and power-coefficient
// curves per performance table, the blade's chord and twist along the radius, its plan view
// and its sections seen from the tip, and the HTML page that shows them with the key figures.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "companion/fill_record.h"
#include "plot/results.h"
#include "plot/svg.h"

namespace plot {

// The control of each turbine type 1 ... 4, as the main menu names it.
std::string type_name(int type);

// The power limit of a pitch-controlled sweep. The table itself does not hold it: either the
// working file Temp/mpl.tmp still belongs to the sweep (exact), or the sweep's last row, whose
// power the limit search always drives to within 2 % (plus 1 W) of the limit, stands for it.
struct PowerLimit {
  double value = 0.0;  // W
  bool exact = false;  // read from Temp/mpl.tmp
};

// The limit estimated from a pitch-controlled sweep's rows: the power at cut-out, unless that
// row's power is missing or an inner row lies clearly above the band around it (a search that
// could not reach the limit), in which case nothing can be said.
std::optional<PowerLimit> estimate_limit(const Sweep& sweep);

// Power against wind speed, one curve per sweep; `limits` (one per sweep, may be empty) are
// drawn as reference lines for the pitch-controlled type. Powers are shown in W, kW or MW,
// whichever keeps the tick labels short.
Chart power_chart(const EnergyTable& table, const std::vector<std::optional<PowerLimit>>& limits);
Chart cp_chart(const EnergyTable& table);

Chart chord_chart(const Geometry& geometry);
Chart twist_chart(const Geometry& geometry);
// Most stations marked in the plan view and most outlines in the view from the tip; a blade of
// more elements shows an even selection, hub and tip always among them.
inline constexpr std::size_t kMostStations = 60;
inline constexpr std::size_t kMostSections = 30;

// The blade seen along the X axis: radius Z across, Y up; leading and trailing edges.
Chart plan_chart(const std::vector<Section>& sections);
// Every section seen from the tip (looking towards the hub): -Y across, X up.
Chart sections_chart(const std::vector<Section>& sections);

// The working polar against the angle of attack, one line per Reynolds number, for the
// aerofoil named `aerofoil`: lift, drag or lift-to-drag ratio.
enum class PolarQuantity { Lift, Drag, LiftToDrag };
// Blocks with filled angles (`fills`, the section's record) are labelled "(filled)", blocks not
// computed but copied from another Reynolds number's "(copied)", and the caption lists them.
Chart polar_chart(const Polar& polar, const std::string& aerofoil, PolarQuantity quantity,
                  const std::vector<fill_record::Fill>& fills = {});

struct Picture {
  std::string file;  // name inside the plots directory
  std::string what;  // alternative text
};

struct EnergyPart {
  const EnergyTable* table = nullptr;
  std::vector<std::optional<PowerLimit>> limits;
  std::vector<Picture> pictures;
};

struct Page {
  const Geometry* geometry = nullptr;              // null when Geometry.out was not usable
  const std::vector<Section>* sections = nullptr;  // null when 3dgeo.dat was not usable
  std::vector<Picture> blade_pictures;
  std::string aerofoil;  // name of the working aerofoil ("" when its polar was not drawn)
  std::vector<Picture> polar_pictures;
  std::vector<EnergyPart> energy;
  std::vector<std::string> notes;  // files left out and why
  // The working aerofoil's polar data that no converged XFOIL point gave (its import's record).
  std::vector<fill_record::Fill> fills;
  std::string nav;  // the bar of links to the session's other pages (plot/siblings.h)
};

// The index page: key figures of the blade and of every sweep, and every picture.
std::string index_html(const Page& page);

// The parts of the pages of rotorforge-plot and rotorforge-loads: the head with the pages' one
// style (and the rules `more_style` adds) down to the heading "rotorforge: `title`", and one
// row of a table of figures.
std::string page_head(std::string_view title, std::string_view more_style = {});
// The head of any page of the programs, down to its heading: `heading` (HTML, escaped) as the
// title and the h1, `style` the rules of its style element.
std::string document_head(std::string_view heading, std::string_view style);
std::string table_row(std::string_view name, std::string_view value);

}  // namespace plot
