#include "driver/design_stage.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "aerofoil/data_in.h"
#include "aerofoil/foildata.h"
#include "rotor/calc_param.h"
#include "textio/textio.h"
#include "util/catalogue.h"

namespace driver {
namespace {

using calc_param::kStations;

void aerofoil_menu(textio::Console& con) {
  const std::string rule = std::string(6, ' ') + std::string(45, '=');
  const std::string left = std::string(6, ' ') + "=" + std::string(11, ' ');
  con.write();
  con.write({std::string(12, ' ') + "Selection of aerofoil"});
  con.write({rule});
  // Each entry's text is padded to the 33 columns inside the frame.
  for (std::size_t i = 0; i < catalogue::kAerofoils.size(); ++i) {
    const std::string entry =
        std::to_string(i + 1) + " - " + std::string(catalogue::kAerofoils[i].menu_name);
    con.write({left + entry + std::string(32 - entry.size(), ' ') + "="});
  }
  con.write({rule});
  con.write({std::string(10, ' ') + "Please select an option by entering the"});
  con.write({std::string(11, ' ') + "associated number followed by <return>.    "});
}

}  // namespace

std::string progress_bytes(int i, bool utf8_block) {
  const std::string_view block = utf8_block ? std::string_view("\xE2\x96\x88") : "\xDB";
  std::string bar;
  for (int k = 0; k < i; ++k) bar += block;
  bar.append(static_cast<std::size_t>(kStations - i), ' ');
  std::string out = textio::format_record("(A)", std::array<textio::Out, 1>{bar}).text;
  for (int k = 0; k < kStations - i; ++k) out += '\b';
  const std::int64_t percent = static_cast<std::int64_t>(i) * 100 / kStations;
  out += textio::format_record("(I3)", std::array<textio::Out, 1>{percent}).text;
  out += "%";
  for (int k = 0; k < i + 4; ++k) out += '\b';
  return out;
}

std::optional<std::string> starting_design(textio::Console& con, std::int64_t Numb, double rhub,
                                           double rtip, shared::Coeffs& a, shared::Coeffs& b) {
  aerofoil_menu(con);
  std::int64_t choice = 0;
  con.read({choice}, "aerofoil choice");
  std::optional<foildata::Copies> copies = foildata::choice(choice);
  con.write({"Creating of geometry. Please wait..."});
  con.flush();  // shown before the polar is loaded and the first station designed
  foildata::require_earlier_aerofoil(choice);
  if (copies) {
    data_in::text_read(copies->polar);
  } else {
    data_in::file_read();
  }

  // The bar's block: byte 219 of the old console code page, which a UTF-8 terminal cannot show;
  // a terminal gets its own full-block character, files and pipes the byte itself.
  const bool utf8_block = con.out_is_terminal();
  calc_param::design(Numb, rhub, rtip, a, b, [&](int i) {
    con.write_raw(progress_bytes(i, utf8_block));
    con.flush();
  });
  if (!copies) return std::nullopt;
  return std::move(copies->outline);
}

geometry::Progress optimiser_progress(textio::Console& con) {
  return {[&con](const geometry::DesignWind& wind) {
            con.write({wind.U, wind.E});
            con.flush();
          },
          [&con](double best_J) {
            con.write({best_J});
            con.flush();
          }};
}

}  // namespace driver
