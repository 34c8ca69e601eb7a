#include "driver/program.h"

#include <array>
#include <cmath>
#include <cstdint>
#include <iostream>
#include <string>
#include <string_view>
#include <vector>

#include "blade/blade.h"
#include "blade/bladestl.h"
#include "driver/sweep.h"
#include "rotor/calc_mod.h"
#include "rotor/calc_param.h"
#include "rotor/optgeo.h"
#include "textio/textio.h"

namespace driver {
namespace {

// The longest blade the tool builds element by element; far beyond any useful resolution, and
// it keeps the blade arrays and the optimiser's work within what a console session can wait for.
constexpr std::int64_t kMaxElements = 10000;

// The files the run keeps open from start-up to the end. Result/Performance.out is opened so
// that it exists, and never written.
struct RunFiles {
  textio::OutFile geometry;
  textio::OutFile performance;
  std::array<textio::OutFile, 4> energy;

  void open_all() {
    geometry.open("Result/Geometry.out");
    performance.open("Result/Performance.out");
    energy[0].open("Result/Energy1.out");
    energy[1].open("Result/Energy2.out");
    energy[2].open("Result/Energy3.out");
    energy[3].open("Result/Energy4.out");
    // The plot files are reopened by the sweeps that write them; here they are only created.
    for (const char* path : {"Temp/graph.tmp", "Temp/graph1.tmp", "Temp/mpl.tmp"}) {
      textio::OutFile plot(path);
      plot.close();
    }
  }

  // Closes every file, checking that what was written reached the disk. Reports the first
  // failure after trying them all.
  void close_all() {
    std::string failure;
    int status = 0;
    for (textio::OutFile* f : {&geometry, &performance, &energy[0], &energy[1], &energy[2],
                               &energy[3]}) {
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

// Asks one value with a "$" prompt and reads it free-form. `valid` returns an empty string for
// an acceptable answer, otherwise the line that tells the user what is allowed; the same prompt
// is then shown again.
template <class T, class Valid>
T ask(textio::Console& con, std::string_view format, std::string_view name, Valid valid) {
  for (;;) {
    T value{};
    con.write_fmt(format);
    con.read({value}, name);
    const std::string complaint = valid(value);
    if (complaint.empty()) return value;
    con.write({complaint});
  }
}

std::string any_real(double v, std::string_view name) {
  if (std::isfinite(v)) return {};
  return " " + std::string(name) + " must be a finite number; please enter it again.";
}

double ask_real(textio::Console& con, std::string_view format, std::string_view name) {
  return ask<double>(con, format, name, [&](double v) { return any_real(v, name); });
}

double ask_positive(textio::Console& con, std::string_view format, std::string_view name) {
  return ask<double>(con, format, name, [&](double v) -> std::string {
    if (!std::isfinite(v) || v <= 0.0) {
      return " " + std::string(name) + " must be greater than 0; please enter it again.";
    }
    return {};
  });
}

// Hub height: the logarithmic wind profile has its zero at the 0.025 m roughness length.
double ask_hub_height(textio::Console& con, std::string_view format) {
  return ask<double>(con, format, "h", [](double v) -> std::string {
    if (!std::isfinite(v) || v <= 0.025) {
      return " h must be greater than 0.025 m; please enter it again.";
    }
    return {};
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

// The five site prompts shared by options 1 to 3.
Site ask_site(textio::Console& con) {
  Site s{};
  s.Ucin = ask_real(con, "(' Enter cut-in wind speed (m/s), Ucin=', $)", "Ucin");
  s.Ucout = ask_real(con, "(' Enter cut-out wind speed (m/s), Ucout=', $)", "Ucout");
  s.Umid = ask_positive(
      con, "(' Enter statistical average wind speed at 10m high (m/s), Umid=', $)", "Umid");
  s.h = ask_hub_height(con, "(' Enter hub high of wind turbine (m), h=', $)");
  s.SeaL = ask_real(con, "(' Enter altitude of wind turbine (m), SeaL=', $)", "SeaL");
  return s;
}

int session(textio::Console& con, RunFiles& files) {
  files.open_all();
  clear_screen(con);
  banner(con);

  const std::int64_t Numb = ask<std::int64_t>(
      con, "(' Enter number of blades, Numb=', $)", "Numb", [](std::int64_t v) -> std::string {
        if (v < 1) return " Numb must be a whole number of at least 1; please enter it again.";
        return {};
      });
  const double rhub =
      ask<double>(con, "(' Enter radius of hub (m), rhub=', $)", "rhub", [](double v) -> std::string {
        if (!std::isfinite(v) || v < 0.0) {
          return " rhub must be 0 or more; please enter it again.";
        }
        return {};
      });
  const double rtip = ask<double>(con, "(' Enter radius of tip (m), rtip=', $)", "rtip",
                                  [rhub](double v) -> std::string {
                                    if (!std::isfinite(v) || v <= rhub) {
                                      return " rtip must be greater than rhub; please enter it "
                                             "again.";
                                    }
                                    return {};
                                  });
  const std::int64_t nbe = ask<std::int64_t>(
      con, "(' Enter number of blade elements, nbe=', $)", "nbe", [](std::int64_t v) -> std::string {
        if (v < 1 || v > kMaxElements) {
          return " nbe must be a whole number from 1 to " + std::to_string(kMaxElements) +
                 "; please enter it again.";
        }
        return {};
      });
  const double pitchinitial =
      ask_real(con, "(' Enter initial setting angle (degree), pitchinitial=', $)", "pitchinitial");

  calc_param::Coeffs a{}, b{};
  calc_param::param(con, Numb, rhub, rtip, a, b);

  con.write();
  const double Umid_design = ask_positive(
      con, "(' Enter statistical average wind speed at 10m high (m/s), Umid=', $)", "Umid");
  con.write();
  con.write({"Optimizing of geometry. Please wait..."});
  geometry::optgeo(con, Numb, nbe, rtip, rhub, Umid_design, a, b);

  const auto n = static_cast<std::size_t>(nbe);
  std::vector<double> r(n), twist(n + 1), chord(n + 1), alpha(n);
  double dr = 0.0;
  blade::chortwist(con, files.geometry, nbe, rtip, rhub, r, dr, twist, pitchinitial, chord);

  const Rotor rotor{Numb, nbe, rhub, rtip, dr, r, twist, chord};
  for (;;) {
    menu(con);
    std::int32_t choice = 0;
    con.read({choice}, "menu choice");
    switch (choice) {
      case 0:
        files.close_all();
        return 0;
      case 1: {
        const Site site = ask_site(con);
        con.write({"Please wait..."});
        sweep_variable_speed(rotor, site, files.energy[0]);
        break;
      }
      case 2: {
        const Site site = ask_site(con);
        const double omega1 =
            ask_real(con, "(' Enter first rotational speed, (rpm), omega1=', $)", "omega1");
        con.write({"Please wait..."});
        sweep_two_speed(rotor, site, omega1, files.energy[1]);
        break;
      }
      case 3: {
        const Site site = ask_site(con);
        const double omega =
            ask_real(con, "(' Enter  rotational speed, (rpm), omega=', $)", "omega");
        con.write({"Please wait..."});
        sweep_constant_speed(rotor, site, omega, files.energy[2]);
        break;
      }
      case 4: {
        Site site{};
        site.Ucin = ask_real(con, "(' Enter cut-in wind speed, (m/s), Ucin=', $)", "Ucin");
        site.Ucout = ask_real(con, "(' Enter cut-out wind speed, (m/s), Ucout=', $)", "Ucout");
        site.Umid = ask_positive(
            con, "(' Enter statistical average wind speed at 10m high, (m/s),  Umid=', $)",
            "Umid");
        site.h = ask_hub_height(con, "(' Enter hub high of wind turbine, (m),  h=', $)");
        site.SeaL = ask_real(con, "(' Enter altitude of wind turbine, (m),  SeaL=', $)", "SeaL");
        const double omega =
            ask_real(con, "(' Enter  rotational speed, (rpm), omega=', $)", "omega");
        const double MPL = ask_real(con, "(' Enter maximum power limit, (Watt), MPL=', $)", "MPL");
        con.write({"Please wait..."});
        sweep_pitch(rotor, site, omega, MPL, files.energy[3]);
        break;
      }
      case 5: {
        const double U0 = ask_real(con, "('Enter wind speed (m/s), U0 =', $)", "U0");
        const double Lambda = ask_real(con, "('Enter tip speed ratio, Lambda = ', $)", "Lambda");
        con.write();
        con.write({"  rc(i)     Alpha   Cl    Cd"});
        // The single point is computed at the blade's own setting; nothing of it is shown.
        double CP = 0.0;
        calc_mod::calc(Numb, nbe, dr, rhub, rtip, r, twist, chord, alpha, U0, Lambda, CP, 0.0);
        break;
      }
      case 6:
        geometry::bladestl(nbe);
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
    return session(con, files);
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
  }
}

}  // namespace driver
