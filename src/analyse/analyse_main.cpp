// rotorforge-analyse: curves, power, yearly energy and start-up of any blade given as a blade
// file, the blade reshaped for making, and the blade of a finished session as a blade file.
#include <CLI/CLI.hpp>
#include <iostream>

#include "analyse/run.h"
#include "util/answer_rules.h"
#include "util/version.h"

int main(int argc, char** argv) {
  CLI::App app{
      "Analyses any blade given as a blade file (TOML: blades, hub_radius, setting_angle, "
      "[[station]] r, chord, twist, section) in a working directory with Data/: CP, CT and CQ "
      "against tip speed ratio, the power curves and yearly energy of the four turbine types, "
      "start-up torque, and the blade reshaped for making; writes Result/analysis/NAME/ (CSV, "
      "SVG, index.html). With --export, writes the blade of a finished session as a blade file.",
      "rotorforge-analyse"};
  app.set_version_flag("--version", version::line("rotorforge-analyse"));
  analyse_run::Options o;
  std::string file, dir = ".", export_dir, output, tsr, reshaped, efficiency_table;
  std::vector<double> linear_chord, linear_twist;
  app.add_option("FILE", file, "the blade file");
  auto* ex = app.add_option("--export", export_dir,
                            "write the blade of the finished session in DIR (default .) as a "
                            "blade file, at full precision; needs -o")
                 ->expected(0, 1)
                 ->default_str(".");
  app.add_option("-o,--output", output, "the blade file --export writes");
  app.add_option("--blades", o.blades,
                 "number of blades of the exported session (a study design's answers know it)")
      ->check(CLI::PositiveNumber);
  app.add_option("--dir", dir, "working directory with Data/ and Result/ (default .)");
  app.add_option("--elements", o.elements,
                 "elements to cut the blade into (default: the file's `elements`, else 20)")
      ->check(CLI::Range(std::int64_t{1}, answer_rules::kMaxElements));
  app.add_option("--tsr", tsr, "tip speed ratios FROM:TO:STEP of the curves (default 1:15:0.25)");
  app.add_option("--pitch", o.pitches, "setting angles of the curves, deg (default 0)")
      ->delimiter(',');
  app.add_option("--wind", o.wind,
                 "wind speed of the curves, m/s, for the Reynolds numbers (default 8)")
      ->check(CLI::PositiveNumber);
  app.add_option("--point", o.point_tsr,
                 "tip speed ratio of the element results (default: the best CP's)");
  auto& s = o.site.site;
  app.add_option("--cut-in", s.Ucin, "cut-in wind speed, m/s (default 3)")
      ->check(CLI::NonNegativeNumber);
  app.add_option("--cut-out", s.Ucout, "cut-out wind speed, m/s (default 20)");
  app.add_option("--mean-wind", s.Umid, "mean wind speed at 10 m, m/s (default 5)")
      ->check(CLI::PositiveNumber);
  app.add_option("--hub-height", s.h, "hub height, m (default 10)")
      ->check(CLI::Range(0.03, 1000.0));
  app.add_option("--altitude", s.SeaL, "site altitude, m (default 0)");
  app.add_option("--two-speed", o.site.two_speed,
                 "first rotational speed of the two-speed type 2, rpm (type 2 runs when given)")
      ->check(CLI::PositiveNumber);
  app.add_option("--constant-speed", o.site.constant_speed,
                 "rotational speed of the constant-speed type 3, rpm (type 3 runs when given)")
      ->check(CLI::PositiveNumber);
  auto* ps = app.add_option("--pitch-speed", o.site.pitch_speed,
                            "rotational speed of the pitch-controlled type 4, rpm")
                 ->check(CLI::PositiveNumber);
  auto* pl = app.add_option("--power-limit", o.site.power_limit,
                            "power limit of type 4, W (type 4 runs when both are given)")
                 ->check(CLI::PositiveNumber);
  ps->needs(pl);
  pl->needs(ps);
  app.add_option("--weibull-k", o.weibull_k,
                 "Weibull shape of the yearly energy's wind (default: Rayleigh, the core's)")
      ->check(CLI::PositiveNumber);
  auto* wm = app.add_option("--weibull-mean", o.weibull_mean,
                            "Weibull mean at 10 m, m/s (default --mean-wind)")
                 ->check(CLI::PositiveNumber);
  auto* wc = app.add_option("--weibull-scale", o.weibull_scale, "Weibull scale at 10 m, m/s")
                 ->check(CLI::PositiveNumber);
  wm->excludes(wc);
  auto* eff = app.add_option("--efficiency", o.site.drivetrain.efficiency,
                             "drivetrain and generator efficiency (default 1)")
                  ->check(CLI::Range(0.0, 1.0));
  auto* efft = app.add_option("--efficiency-table", efficiency_table,
                              "efficiency against rotor power: lines \"power_W,efficiency\"");
  eff->excludes(efft);
  app.add_option("--availability", o.site.availability,
                 "fraction of the year available (default 1)")
      ->check(CLI::Range(0.0, 1.0));
  app.add_option("--hours", o.site.hours, "hours of a year (default 8700, the core's)")
      ->check(CLI::Range(1.0, 8784.0));
  app.add_option("--resisting-torque", o.resisting_torque,
                 "torque the standing rotor must overcome, N m (e.g. cogging): start-up wind")
      ->check(CLI::NonNegativeNumber);
  app.add_option("--linear-chord", linear_chord,
                 "reshape: a straight chord through the blade's chords at X1,X2 (fractions of the "
                 "tip radius, e.g. 0.5,0.9)")
      ->delimiter(',')
      ->expected(2);
  app.add_option("--linear-twist", linear_twist,
                 "reshape: a straight twist through the blade's twists at X1,X2 (e.g. 0.5,0.9)")
      ->delimiter(',')
      ->expected(2);
  app.add_option("--min-chord", o.reshape.min_chord, "reshape: no chord below M metres")
      ->check(CLI::PositiveNumber);
  app.add_option("--root-cut", o.reshape.root_cut, "reshape: the blade starts at R metres");
  app.add_option("--reshaped", reshaped,
                 "the reshaped blade file (default Result/analysis/NAME/NAME-reshaped.toml)");
  try {
    app.parse(argc, argv);
    if (!tsr.empty() && !analyse_run::parse_range(tsr, o.tsr_from, o.tsr_to, o.tsr_step)) {
      throw CLI::ValidationError("--tsr", "want FROM:TO:STEP with TO >= FROM and STEP > 0");
    }
    if (ex->count() > 0 && !file.empty()) {
      throw CLI::ValidationError("--export", "takes no blade file");
    }
    if (o.pitches.empty()) o.pitches = {0.0};
    if (!(s.Ucout > s.Ucin)) {
      throw CLI::ValidationError("--cut-out", "must lie above the cut-in wind speed");
    }
  } catch (const CLI::ParseError& e) {
    const int status = app.exit(e);
    return status == 0 ? 0 : analyse_run::kBadFile;
  }
  o.dir = dir;
  if (!file.empty()) o.blade_file = file;
  if (ex->count() > 0) o.export_dir = export_dir.empty() ? "." : export_dir;
  if (!output.empty()) o.output = output;
  if (!reshaped.empty()) o.reshaped = reshaped;
  if (!efficiency_table.empty()) o.efficiency_table = efficiency_table;
  if (linear_chord.size() == 2) o.reshape.linear_chord = {{linear_chord[0], linear_chord[1]}};
  if (linear_twist.size() == 2) o.reshape.linear_twist = {{linear_twist[0], linear_twist[1]}};
  return analyse_run::run(o, std::cout, std::cerr);
}
