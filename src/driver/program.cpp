#include "driver/program.h"

#include <array>
#include <cmath>
#include <cstdint>
#include <exception>
#include <filesystem>
#include <iostream>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "blade/blade.h"
#include "blade/bladestl.h"
#include "blade/making.h"
#include "blade/rotor_blade.h"
#include "driver/blade_dialogue.h"
#include "driver/design_stage.h"
#include "performance/sweep.h"
#include "rotor/calc_mod.h"
#include "rotor/optgeo.h"
#include "textio/textio.h"
#include "util/answer_rules.h"
#include "util/earlier_files.h"
#include "util/files.h"
#include "util/shared.h"

namespace driver {
namespace {

using answer_rules::Answer;
using sweep::Rotor;
using sweep::Site;

// The files the run keeps open from start-up to the end. Result/Performance.out is opened so
// that it exists, and never written.
struct RunFiles {
  textio::OutFile geometry;
  textio::OutFile performance;
  std::array<textio::OutFile, 4> energy;

  void open_all() {
    geometry.open(files::kGeometryTable);
    performance.open(files::kPerformanceTable);
    energy[0].open(files::kEnergyTables[0]);
    energy[1].open(files::kEnergyTables[1]);
    energy[2].open(files::kEnergyTables[2]);
    energy[3].open(files::kEnergyTables[3]);
    // The plot files are reopened by the sweeps that write them; here they are only created.
    for (const char* path : {files::kPlotWinds, files::kPlotPowers, files::kPlotLimit}) {
      textio::OutFile plot(path);
      plot.close();
    }
  }

  // Closes every file, checking that what was written reached the disk. Reports the first
  // failure after trying them all.
  void close_all() {
    std::string failure;
    int status = 0;
    for (textio::OutFile* f :
         {&geometry, &performance, &energy[0], &energy[1], &energy[2], &energy[3]}) {
      if (!f->is_open()) continue;
      try {
        f->close();
      } catch (const textio::RunError& e) {
        if (failure.empty()) {
          failure = e.what();
          status = e.status();
        }
      }
    }
    if (!failure.empty()) throw textio::RunError(failure, status);
  }
};

// The run values, named as the prompts show them. They live for the whole run: a value asked
// again overwrites the earlier one, and an answer that leaves the item unchanged ("/" or an
// empty item between commas) keeps what the value held before, as a free-form read does.
struct RunValues {
  std::int64_t Numb = 0;
  double rhub = 0.0;
  double rtip = 0.0;
  std::int64_t nbe = 0;
  double pitchinitial = 0.0;
  double Umid = 0.0;
  double Ucin = 0.0;
  double Ucout = 0.0;
  double h = 0.0;
  double SeaL = 0.0;
  double omega1 = 0.0;
  double omega = 0.0;
  double MPL = 0.0;
  double U0 = 0.0;
  double Lambda = 0.0;
  std::int32_t choice = 0;
};

// Shows the prompt `text` (the cursor stays on its line) and reads `value` free-form. `valid`
// returns an empty string for an acceptable answer, otherwise the line that tells the user what
// is allowed; the same prompt is then shown again.
template <class T, class Valid>
void ask(textio::Console& con, std::string_view text, T& value, Valid valid) {
  const std::string format = "('" + std::string(text) + "', $)";
  std::string_view trimmed = text;
  while (!trimmed.empty() && trimmed.front() == ' ') trimmed.remove_prefix(1);
  while (!trimmed.empty() && trimmed.back() == ' ') trimmed.remove_suffix(1);
  const std::string what = "answer to \"" + std::string(trimmed) + "\"";
  for (;;) {
    con.write_fmt(format);
    con.read({value}, what);
    const std::string complaint = valid(value);
    if (complaint.empty()) return;
    con.write({complaint});
  }
}

// Asks `text` until the answer keeps the rule of `answer`; `earlier` is the answer it must
// exceed, where its rule has one.
template <class T>
void ask_by_rule(textio::Console& con, std::string_view text, std::string_view name,
                 answer_rules::Answer answer, T& v, double earlier = 0.0) {
  ask(con, text, v, [=](T x) -> std::string {
    const std::string rule = answer_rules::broken(answer, static_cast<double>(x), earlier);
    return rule.empty() ? rule : answer_rules::complaint(name, rule);
  });
}

void banner(textio::Console& con) {
  // The name and the description are centred over the 42-character rule.
  con.write();
  con.write({std::string(29, ' ') + "ROTORFORGE"});
  con.write({std::string(13, ' ') + std::string(42, '-')});
  con.write();
  con.write({std::string(18, ' ') + "Small wind-turbine rotor design"});
  con.write({std::string(18, ' ') + "by blade element momentum theory"});
  con.write({std::string(16, ' ') + std::string(37, '*')});
  con.write();
}

void menu(textio::Console& con) {
  con.write({"          Selection of  type of Wind turbine "});
  con.write({"       " + std::string(40, '-') + " "});
  con.write({"          1 - Stall control variable speed wind turbine"});
  con.write({"          2 - Stall control two speed wind turbine"});
  con.write({"          3 - Stall control constant speed wind turbine"});
  con.write({"          4 - Pitch control constant speed wind turbine"});
  con.write({"          5 - Base parameters calculations"});
  con.write({"          6 - Save the geometry as stl file format"});
  con.write({"          0 - <stop this program>"});
  con.write();
  con.write({"           Please select an option by entering the"});
  con.write({"           associated number followed by <return>.    "});
}

// Clears the screen of a terminal; a pipe or a file gets nothing.
void clear_screen(textio::Console& con) {
  if (con.out_is_terminal()) con.write_raw("\x1b[H\x1b[2J");
}

// The five site prompts of options 1 to 3.
void ask_site(textio::Console& con, RunValues& v) {
  ask_by_rule(con, " Enter cut-in wind speed (m/s), Ucin=", "Ucin", Answer::Ucin, v.Ucin);
  // The sweep runs from cut-in up to cut-out; the energy integral over a range of no width or
  // of negative width is 0 or negative.
  ask_by_rule(con, " Enter cut-out wind speed (m/s), Ucout=", "Ucout", Answer::Ucout, v.Ucout,
              v.Ucin);
  ask_by_rule(con, " Enter statistical average wind speed at 10m high (m/s), Umid=", "Umid",
              Answer::Umid, v.Umid);
  ask_by_rule(con, " Enter hub high of wind turbine (m), h=", "h", Answer::h, v.h);
  ask_by_rule(con, " Enter altitude of wind turbine (m), SeaL=", "SeaL", Answer::SeaL, v.SeaL);
}

// The line written before a long computation goes out at once, so that whoever watches the
// console, at a terminal or through a pipe, sees it while the work runs.
void announce(textio::Console& con, std::string_view line) {
  con.write({line});
  con.flush();
}

Site site_of(const RunValues& v) {
  return Site{v.Ucin, v.Ucout, v.Umid, v.h, v.SeaL};
}

// Options 2 and 3: the site, then the one rotational speed the sweep runs at (which each option
// keeps in its own variable), then the sweep.
void site_and_speed_sweep(textio::Console& con, RunValues& v, std::string_view text,
                          std::string_view name, double& omega, const Rotor& rotor,
                          void (*run_sweep)(const Rotor&, const Site&, double, textio::OutFile&),
                          textio::OutFile& out) {
  ask_site(con, v);
  ask_by_rule(con, text, name, Answer::Speed, omega);
  announce(con, "Please wait...");
  run_sweep(rotor, site_of(v), omega, out);
}

// The files made from the earlier design in this directory (the STL and the making files) are
// renamed so that their names say so, and `err` tells which; a first session has none and says
// nothing. Runs when the new design replaces the geometry table and the point file, so that
// they never stand beside another design's.
void keep_earlier_made_files(textio::Console& con, std::ostream& err) {
  std::vector<earlier_files::Renamed> renamed;
  try {
    renamed = earlier_files::keep_as_earlier(".");
  } catch (const std::filesystem::filesystem_error& e) {
    std::string what = e.path1().lexically_normal().string();
    if (!e.path2().empty()) what += ": cannot be renamed " + e.path2().lexically_normal().string();
    throw textio::RunError(what + ": " + e.code().message(), 1);
  }
  if (renamed.empty()) return;
  con.flush();
  for (const auto& r : renamed) {
    err << "rotorforge: " << r.from << " was made from an earlier design: kept as " << r.to << "\n";
  }
  err.flush();
}

int session(textio::Console& con, RunFiles& files, std::ostream& err) {
  files.open_all();
  clear_screen(con);
  banner(con);

  RunValues v;
  ask_by_rule(con, " Enter number of blades, Numb=", "Numb", Answer::Numb, v.Numb);
  ask_by_rule(con, " Enter radius of hub (m), rhub=", "rhub", Answer::rhub, v.rhub);
  ask_by_rule(con, " Enter radius of tip (m), rtip=", "rtip", Answer::rtip, v.rtip, v.rhub);
  ask_by_rule(con, " Enter number of blade elements, nbe=", "nbe", Answer::nbe, v.nbe);
  ask_by_rule(con, " Enter initial setting angle (degree), pitchinitial=", "pitchinitial",
              Answer::pitchinitial, v.pitchinitial);

  shared::Coeffs a{}, b{};
  // The outline this run wrote, if it chose a catalogue aerofoil, is built from without reading
  // the working files back.
  const std::optional<std::string> written_outline =
      starting_design(con, v.Numb, v.rhub, v.rtip, a, b);

  con.write();
  ask_by_rule(con, " Enter statistical average wind speed at 10m high (m/s), Umid=", "Umid",
              Answer::Umid, v.Umid);
  con.write();
  announce(con, "Optimizing of geometry. Please wait...");
  const blade::Laws laws =
      geometry::optgeo(optimiser_progress(con), v.Numb, v.nbe, v.rtip, v.rhub, v.Umid, a, b);

  // The designed blade, on the polar tables of the chosen aerofoil.
  const Rotor rotor =
      blade::from_laws(v.Numb, v.nbe, v.rtip, v.rhub, v.pitchinitial, laws.chord, laws.twist);
  std::vector<double> alpha(static_cast<std::size_t>(v.nbe));
  keep_earlier_made_files(con, err);
  const blade::BladeFigures built =
      blade::chortwist(con, driver::blade_choices(con), files.geometry, rotor, written_outline);

  for (;;) {
    menu(con);
    con.read({v.choice}, "menu choice");
    switch (v.choice) {
      case 0:
        files.close_all();
        return 0;
      case 1:
        ask_site(con, v);
        announce(con, "Please wait...");
        sweep::sweep_variable_speed(rotor, site_of(v), files.energy[0]);
        break;
      case 2:
        site_and_speed_sweep(con, v, " Enter first rotational speed, (rpm), omega1=", "omega1",
                             v.omega1, rotor, sweep::sweep_two_speed, files.energy[1]);
        break;
      case 3:
        site_and_speed_sweep(con, v, " Enter  rotational speed, (rpm), omega=", "omega", v.omega,
                             rotor, sweep::sweep_constant_speed, files.energy[2]);
        break;
      case 4:
        ask_by_rule(con, " Enter cut-in wind speed, (m/s), Ucin=", "Ucin", Answer::Ucin, v.Ucin);
        ask_by_rule(con, " Enter cut-out wind speed, (m/s), Ucout=", "Ucout", Answer::Ucout,
                    v.Ucout, v.Ucin);
        ask_by_rule(con, " Enter statistical average wind speed at 10m high, (m/s),  Umid=", "Umid",
                    Answer::Umid, v.Umid);
        ask_by_rule(con, " Enter hub high of wind turbine, (m),  h=", "h", Answer::h, v.h);
        ask_by_rule(con, " Enter altitude of wind turbine, (m),  SeaL=", "SeaL", Answer::SeaL,
                    v.SeaL);
        ask_by_rule(con, " Enter  rotational speed, (rpm), omega=", "omega", Answer::Speed,
                    v.omega);
        ask_by_rule(con, " Enter maximum power limit, (Watt), MPL=", "MPL", Answer::MPL, v.MPL);
        announce(con, "Please wait...");
        sweep::sweep_pitch(rotor, site_of(v), v.omega, v.MPL, files.energy[3]);
        break;
      case 5: {
        ask_by_rule(con, "Enter wind speed (m/s), U0 =", "U0", Answer::U0, v.U0);
        ask_by_rule(con, "Enter tip speed ratio, Lambda = ", "Lambda", Answer::Lambda, v.Lambda);
        con.write();
        announce(con, "  rc(i)     Alpha   Cl    Cd");
        // The single point is computed at the blade's own setting; nothing of it is shown.
        double CP = 0.0;
        calc_mod::calc(calc_mod::blade_inputs(rotor, {}, v.U0, v.Lambda, 0.0), alpha, CP);
        break;
      }
      case 6:
        geometry::bladestl(built.points);
        blade::write_making_files(built.points, rotor);
        con.write({"Geometry of blade has saved as blade.stl file"});
        con.write();
        con.write();
        break;
      default:
        break;  // any other number shows the menu again
    }
  }
}

}  // namespace

int run_program(std::istream& in, std::ostream& out, std::ostream& err) {
  textio::Console con(in, out);
  RunFiles files;
  try {
    return session(con, files, err);
  } catch (const textio::RunError& e) {
    con.flush();
    // Whatever was written so far must reach the disk before the run ends.
    try {
      files.close_all();
    } catch (const textio::RunError& close_error) {
      err << "rotorforge: " << close_error.what() << "\n";
    }
    err << "rotorforge: " << e.what() << std::endl;
    return e.status() != 0 ? e.status() : 1;
  } catch (const std::exception& e) {
    // Not a user's or a file's fault (for example memory exhausted): still close what was
    // written and say so, rather than abort.
    con.flush();
    textio::close_all_files();
    err << "rotorforge: internal error: " << e.what() << std::endl;
    return 3;
  }
}

}  // namespace driver
