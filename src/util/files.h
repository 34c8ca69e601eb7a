// The files of a run, relative to its working directory, and the layout of the tables in them.
// Both the program that writes them and the programs that read them back take the names and
// formats from here.
#pragma once

#include <array>
#include <cstddef>
#include <string>
#include <string_view>

namespace files {

// ---------------------------------------------------------------------------------------------
// Working files in Temp/.

// The chosen aerofoil's polar, copied from Data/ and loaded into the polar tables.
inline constexpr const char* kPolarCopy = "Temp/Lift_Drag.dat";
// The chosen aerofoil's outline, kept as copied.
inline constexpr const char* kOwnOutline = "Temp/ProfilI.dat";
// The outline the blade build measures (perimeter and area): the copy, and once a blade is
// built, the inner outline of its tip.
inline constexpr const char* kMeasuredOutline = "Temp/Profil.dat";

// Chord and twist law coefficients of the final blade, and of the optimiser's trial blade.
inline constexpr const char* kChordLaw = "Temp/Parameters.in";
// What a new working directory's chord law file holds: the optimiser needs the file to exist
// and replaces it with the laws it finds.
inline constexpr std::string_view kChordLawSeed = " 0.1 0. 0. 0. 0.\r\n";
inline constexpr const char* kTwistLaw = "Temp/Parameterst.in";
inline constexpr const char* kTrialChordLaw = "Temp/Parameters1.in";
inline constexpr const char* kTrialTwistLaw = "Temp/Parameterst1.in";

// Left by the variable-speed and pitch-controlled sweeps for plotting: the 23 wind speeds, the
// 23 powers, and one power (the greatest of the sweep, or the pitch rotor's limit).
inline constexpr const char* kPlotWinds = "Temp/graph.tmp";
inline constexpr const char* kPlotPowers = "Temp/graph1.tmp";
inline constexpr const char* kPlotLimit = "Temp/mpl.tmp";

// ---------------------------------------------------------------------------------------------
// Results in Result/.

// The geometry table with volume, surface and mass; a performance table that is created at
// start-up and never written.
inline constexpr const char* kGeometryTable = "Result/Geometry.out";
inline constexpr const char* kPerformanceTable = "Result/Performance.out";
// Performance tables of turbine types 1 ... 4 (index type - 1).
inline constexpr std::array<const char*, 4> kEnergyTables = {
    "Result/Energy1.out", "Result/Energy2.out", "Result/Energy3.out", "Result/Energy4.out"};
// The blade's surface points (metres) and its STL solid (millimetres).
inline constexpr const char* kBladePoints = "Result/3dgeo.dat";
inline constexpr const char* kBladeStl = "Result/blade.stl";
// For making, written with the STL: one closed curve per station (millimetres), and the plan
// form (radius, chord, twist and the edges of every station). Layouts in blade/making.h.
inline constexpr const char* kBladeSections = "Result/sections.csv";
inline constexpr const char* kBladePlanform = "Result/planform.csv";
// The files one sends to be made. They must never stand under their names beside another
// design: when a session builds its blade, those of the earlier design are renamed with
// `earlier_files::earlier_name`, never removed.
inline constexpr std::array<const char*, 3> kMadeFiles = {kBladeStl, kBladeSections,
                                                          kBladePlanform};
// What the earlier name puts between a made file's stem and its extension, before the number:
// Result/blade.stl -> Result/blade.earlier-1.stl.
inline constexpr std::string_view kEarlierMark = ".earlier-";
// rotorforge-plot's pictures of a run and the page that shows them.
inline constexpr const char* kPlotsDir = "Result/plots";
inline constexpr const char* kPlotsPage = "Result/plots/index.html";

// ---------------------------------------------------------------------------------------------
// Layout of the performance tables.

// Rows of one sweep: cut-in, 21 inner wind speeds, cut-out.
inline constexpr std::size_t kSweepRows = 23;

// Header of each table, a free-form record whose text starts with a blank of its own; an empty
// record follows it.
inline constexpr std::string_view kVariableSpeedHeader =
    " Wind Speed(m/s)   Tip Speed Ratio Perfomance(%)     Power(W)    Turbine Speed(rpm)";
inline constexpr std::string_view kFixedSpeedHeader =
    " Wind Speed(m/s)  Tip Speed Ratio  Perfomance(%)     Power(W)    Turbine Speed1(rpm)";
inline constexpr std::string_view kPitchHeader =
    " Wind Speed(m/s)  Tip Speed Ratio  Perfomance(%)     Power(W)    Turbine Speed1(rpm)  "
    "Setting Angle(deg)";

// One row: wind speed, tip speed ratio, power coefficient, power, rotational speed and, for the
// pitch-controlled type only, the setting angle.
inline constexpr std::string_view kSweepRowFormat =
    "(5X, f5.2, 14X,f5.2, 10X,f6.4, 5X,f12.3, 7X,f6.2, 12X,f6.2)";

// The values of one row, as the sweep writes them and a reader gets them back.
struct SweepRow {
  double wind = 0.0;   // wind speed, m/s
  double tsr = 0.0;    // tip speed ratio
  double cp = 0.0;     // power coefficient, a fraction (the column says %)
  double power = 0.0;  // W
  double rpm = 0.0;    // rotational speed
  double angle = 0.0;  // setting angle, deg: written by the pitch-controlled type only
};

// The average power and energy lines below the rows: label, value, unit.
inline constexpr std::string_view kEnergyLineFormat = "(A36, f12.2, A5)";
inline constexpr std::string_view kPowerLabel = "Average power output for a site P = ";
inline constexpr std::string_view kPowerUnit = "W";
inline constexpr std::string_view kEnergyLabel = "Average energy production E = ";
inline constexpr std::string_view kEnergyUnit = "kW.h";

// ---------------------------------------------------------------------------------------------
// Layout of the polar files (Data/LiftNAME.dat and its working copy Temp/Lift_Drag.dat).

// Seven blocks of "angle Cl Cd" rows, one per Reynolds number, lowest first; every block has
// the 46 angles of attack -10, -9, ..., 35 degrees.
inline constexpr std::array<int, 7> kPolarReynolds = {42000,  83000,   160000, 330000,
                                                      640000, 1200000, 2400000};
inline constexpr int kPolarRows = 46;
inline constexpr int kPolarFirstAngle = -10;

// ---------------------------------------------------------------------------------------------
// Layout of the geometry table.

// The title and the column headings above the stations, as written (blanks included).
inline constexpr std::string_view kGeometryTitle = "              Geometry of blades";
inline constexpr std::string_view kGeometryHeadings =
    "     Radius (m)       chord(m)       twist (deg)";

// One station: radius (m), chord (m), twist (deg, setting angle included).
inline constexpr std::string_view kGeometryRowFormat = "(f14.4, f15.4, f15.4)";

// The volume, surface and mass lines below the table: label, value, unit.
inline constexpr std::string_view kFigureLineFormat = "(A18, f12.6, A15)";
inline constexpr std::string_view kVolumeLabel = "Volume of blade";
inline constexpr std::string_view kVolumeUnit = "cubic meters";
inline constexpr std::string_view kSurfaceLabel = "Surface of blade";
inline constexpr std::string_view kSurfaceUnit = "square meters";
inline constexpr std::string_view kMassLabel = "Mass of blade";
inline constexpr std::string_view kMassUnit = "kg";

// ---------------------------------------------------------------------------------------------
// Aerofoil data in Data/ (or the directory a program is given instead).

// A section NAME's two files there: its outline NAME.dat and its polar LiftNAME.dat, the names
// of the shipped sections' files and of every section rotorforge-foil imports.
inline constexpr std::string_view kPolarPrefix = "Lift";
inline constexpr std::string_view kDataExtension = ".dat";

inline std::string outline_name(std::string_view name) {
  return std::string(name).append(kDataExtension);
}
inline std::string polar_name(std::string_view name) {
  return std::string(kPolarPrefix).append(name).append(kDataExtension);
}
// In directory `dir`, a std::filesystem::path (a template so that this header, which every
// program includes, does not bring in <filesystem>).
template <typename Path>
Path outline_path(const Path& dir, std::string_view name) {
  return dir / outline_name(name);
}
template <typename Path>
Path polar_path(const Path& dir, std::string_view name) {
  return dir / polar_name(name);
}

// The section whose polar a file of the data directory is (LiftNAME.dat: NAME); "" for a file
// of another name.
inline std::string polar_section(std::string_view file_name) {
  if (file_name.size() <= kPolarPrefix.size() + kDataExtension.size() ||
      !file_name.starts_with(kPolarPrefix) || !file_name.ends_with(kDataExtension)) {
    return {};
  }
  file_name.remove_prefix(kPolarPrefix.size());
  file_name.remove_suffix(kDataExtension.size());
  return std::string(file_name);
}

// Beside a section's polar DIR/LiftNAME.dat, the record of its filled angles: DIR/NAME.fill.
// A filled angle is a row of the polar that no converged XFOIL point gave, between the angles
// every sweep is meant to reach (-10 and 20 deg) and short of a confirmed stall; or every row of
// a block taken from another Reynolds number. Text; lines starting with '#' are comments; every
// other line is one run of filled angles of one block: the block's Reynolds number, the first
// and the last angle (whole degrees) and, after a blank, how they were filled, in words:
//   42000 5 20 not converged: Viterna-Corrigan from 4.5 deg, as if the section stalled there
// No file: nothing was filled. companion/fill_record.h reads and writes it.
inline constexpr std::string_view kFillExtension = ".fill";

}  // namespace files
