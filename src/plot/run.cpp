#include "plot/run.h"

#include <array>
#include <exception>
#include <fstream>
#include <iterator>
#include <optional>
#include <stdexcept>
#include <ostream>
#include <string>
#include <vector>

#include "plot/pictures.h"
#include "plot/results.h"
#include "plot/svg.h"
#include "textio/textio.h"
#include "util/catalogue.h"
#include "util/files.h"
#include "util/fill_record.h"
#include "util/session_files.h"
#include "util/whole_file.h"
#include "util/working_name.h"

namespace plot {

namespace fs = std::filesystem;

namespace {

using files::kPlotsDir;

// Every picture name this program writes; those not written in a call are stale.
std::vector<std::string> all_picture_names() {
  std::vector<std::string> names;
  for (int t = 1; t <= 4; ++t) {
    names.push_back("energy" + std::to_string(t) + "-power.svg");
    names.push_back("energy" + std::to_string(t) + "-cp.svg");
  }
  for (const char* n :
       {"blade-chord.svg", "blade-twist.svg", "blade-plan.svg", "blade-sections.svg",
        "aerofoil-cl.svg", "aerofoil-cd.svg", "aerofoil-ld.svg"}) {
    names.push_back(n);
  }
  return names;
}

// Opens `rel` under `dir` and hands it to `reader`; any failure becomes a line on `err` and an
// empty result. Nothing a file holds can make this throw.
template <class T, class Reader>
std::optional<T> load(const fs::path& dir, const std::string& rel, Reader reader, std::ostream& err,
                      std::vector<std::string>& notes) {
  auto skip = [&](const std::string& why) {
    const std::string line = rel + ": " + why + "; skipped";
    err << line << '\n';
    notes.push_back(line);
    return std::nullopt;
  };
  const fs::path path = dir / rel;
  std::error_code ec;
  const fs::file_status st = fs::status(path, ec);
  if (!fs::exists(st)) return skip("missing");
  if (!fs::is_regular_file(st)) return skip("not a regular file");
  try {
    textio::InFile file(path.string());
    Read<T> r = reader(file);
    if (!r.ok()) return skip(r.error);
    return std::move(r.value);
  } catch (const std::exception& e) {
    return skip(std::string("cannot be read: ") + e.what());
  }
}

// The name of the aerofoil whose polar Temp/Lift_Drag.dat holds: the one rotorforge-foil left
// beside it, if it still belongs to this polar; else the catalogue aerofoil whose data file the
// menu copies into exactly these bytes; else none.
// `stem` gets the name of its data files ("" when unknown).
std::string aerofoil_name(const fs::path& dir, std::string& stem) {
  const std::string polar = whole_file::read(dir / files::kPolarCopy);
  std::string name = working_name::name_of(whole_file::read(dir / working_name::kPath), polar);
  stem = name;
  if (!name.empty()) return name;
  for (const catalogue::Aerofoil& foil : catalogue::kAerofoils) {
    const fs::path data = dir / catalogue::unpadded(foil.polar_field);
    std::error_code ec;
    if (!fs::is_regular_file(data, ec)) continue;
    try {
      // The copy the menu makes: every value read as a double and written back free-form.
      textio::InFile in(data.string());
      std::string copy;
      for (std::size_t r = 0; r < kPolarRows * kPolarReynolds.size(); ++r) {
        double a = 0.0, cl = 0.0, cd = 0.0;
        in.read({a, cl, cd});
        const textio::Out values[] = {a, cl, cd};
        copy += textio::free_record(values) + "\r\n";
      }
      if (copy == polar) {
        stem = foil.stem;
        return std::string(foil.menu_name);
      }
    } catch (const std::exception&) {
      // Not a readable catalogue file: not this one.
    }
  }
  return "unnamed aerofoil";
}

}  // namespace

int run(const fs::path& dir, std::ostream& out, std::ostream& err) {
  std::vector<std::string> notes;

  // Performance tables. Those written before the blade now in Geometry.out are an earlier
  // design's: drawn beside this blade they would show two rotors as one.
  const auto states = session_files::energy_tables(dir);
  if (const std::string older = session_files::older_tables_note(states); !older.empty()) {
    out << older << '\n';
    notes.push_back(older);
  }
  std::array<std::optional<EnergyTable>, 4> energy;
  for (int t = 1; t <= 4; ++t) {
    const std::string rel = files::kEnergyTables[static_cast<std::size_t>(t - 1)];
    if (states[static_cast<std::size_t>(t - 1)] == session_files::TableState::Older) continue;
    energy[t - 1] = load<EnergyTable>(
        dir, rel, [t](textio::RecordSource& s) { return read_energy(s, t); }, err, notes);
    if (!energy[t - 1]) continue;
    const EnergyTable& table = *energy[t - 1];
    if (!table.incomplete.empty()) {
      const std::string line = rel + ": " + table.incomplete + "; left out";
      err << line << '\n';
      notes.push_back(line);
    }
    if (table.sweeps.empty()) {
      out << rel << ": no complete sweep in it, nothing to draw\n";
      energy[t - 1].reset();
    }
  }

  // Power limits of the pitch-controlled sweeps: exact for the last sweep when the working
  // files still hold its wind speeds and powers, estimated from the rows otherwise.
  std::vector<std::optional<PowerLimit>> limits;
  if (energy[3]) {
    const std::vector<Sweep>& sweeps = energy[3]->sweeps;
    for (const Sweep& s : sweeps) limits.push_back(estimate_limit(s));
    auto reals = [](std::size_t n) {
      return [n](textio::RecordSource& s) { return read_reals(s, n); };
    };
    const auto winds =
        load<std::vector<double>>(dir, files::kPlotWinds, reals(kSweepRows), err, notes);
    const auto powers =
        load<std::vector<double>>(dir, files::kPlotPowers, reals(kSweepRows), err, notes);
    const auto mpl = load<std::vector<double>>(dir, files::kPlotLimit, reals(1), err, notes);
    if (winds && powers && mpl && same_sweep(sweeps.back(), *winds, *powers)) {
      limits.back() = PowerLimit{mpl->front(), true};
    } else if (winds && powers && mpl) {
      out << "Temp/mpl.tmp: written by another sweep than the last of Result/Energy4.out; "
             "MPL estimated from the table\n";
    }
  }

  const auto geometry = load<Geometry>(dir, files::kGeometryTable, read_geometry, err, notes);
  const auto sections =
      load<std::vector<Section>>(dir, files::kBladePoints, read_blade_points, err, notes);
  if (geometry && sections && geometry->stations.size() != sections->size()) {
    const std::string line = "Result/3dgeo.dat holds " + std::to_string(sections->size()) +
                             " sections but Result/Geometry.out " +
                             std::to_string(geometry->stations.size()) +
                             " stations: the two files are not from the same run";
    err << line << '\n';
    notes.push_back(line);
  }

  // The working polar, when there is one (a directory that only holds results has none).
  std::optional<Polar> polar;
  {
    std::error_code ec;
    if (fs::exists(dir / files::kPolarCopy, ec)) {
      polar = load<Polar>(dir, files::kPolarCopy, read_polar, err, notes);
    }
  }

  // The pictures to write, in the order of the page.
  struct Output {
    std::string name;
    std::string text;
  };
  std::vector<Output> outputs;
  Page page;
  page.notes = notes;
  page.geometry = geometry ? &*geometry : nullptr;
  page.sections = sections ? &*sections : nullptr;
  auto add = [&](std::vector<Picture>& list, std::string name, const Chart& chart) {
    list.push_back({name, chart.title});
    outputs.push_back({std::move(name), render(chart)});
  };
  if (geometry) {
    add(page.blade_pictures, "blade-chord.svg", chord_chart(*geometry));
    add(page.blade_pictures, "blade-twist.svg", twist_chart(*geometry));
  }
  if (sections) {
    add(page.blade_pictures, "blade-plan.svg", plan_chart(*sections));
    add(page.blade_pictures, "blade-sections.svg", sections_chart(*sections));
  }
  if (polar) {
    std::string stem;
    page.aerofoil = aerofoil_name(dir, stem);
    // Angles of the section's data that no converged XFOIL point gave, as its import recorded.
    std::vector<fill_record::Fill> fills;
    if (!stem.empty()) {
      try {
        fills = fill_record::read(dir / "Data", stem);
      } catch (const std::exception& e) {
        err << e.what() << '\n';
        page.notes.push_back(e.what());
      }
    }
    for (const fill_record::Fill& f : fills) {
      const std::string line = "filled (no converged XFOIL point): " + fill_record::describe(f);
      out << line << '\n';
      page.notes.push_back(line);
    }
    add(page.polar_pictures, "aerofoil-cl.svg",
        polar_chart(*polar, page.aerofoil, PolarQuantity::Lift, fills));
    add(page.polar_pictures, "aerofoil-cd.svg",
        polar_chart(*polar, page.aerofoil, PolarQuantity::Drag, fills));
    add(page.polar_pictures, "aerofoil-ld.svg",
        polar_chart(*polar, page.aerofoil, PolarQuantity::LiftToDrag, fills));
  }
  for (int t = 1; t <= 4; ++t) {
    if (!energy[t - 1]) continue;
    EnergyPart part;
    part.table = &*energy[t - 1];
    if (t == 4) part.limits = limits;
    const std::string stem = "energy" + std::to_string(t);
    add(part.pictures, stem + "-power.svg", power_chart(*part.table, part.limits));
    add(part.pictures, stem + "-cp.svg", cp_chart(*part.table));
    page.energy.push_back(std::move(part));
  }
  if (outputs.empty()) {
    err << "nothing to draw: no usable result file under " << (dir / "Result").string() << '\n';
    return kNothingDrawn;
  }
  outputs.push_back({"index.html", index_html(page)});

  const fs::path plots = dir / kPlotsDir;
  std::error_code ec;
  fs::create_directories(plots, ec);
  if (ec) {
    err << kPlotsDir << ": cannot be created: " << ec.message() << '\n';
    return kNothingDrawn;
  }
  int status = kDrawn;
  for (const Output& o : outputs) {
    const std::string rel = std::string(kPlotsDir) + "/" + o.name;
    try {
      whole_file::write(plots / o.name, o.text);
      out << "wrote " << rel << '\n';
    } catch (const std::runtime_error&) {
      err << rel << ": could not be written\n";
      status = kNothingDrawn;
    }
  }
  for (const std::string& name : all_picture_names()) {
    bool written = false;
    for (const Output& o : outputs) written = written || o.name == name;
    if (written || !fs::exists(plots / name, ec)) continue;
    if (fs::remove(plots / name, ec)) {
      out << "removed " << kPlotsDir << "/" << name << " (its input holds nothing to draw now)\n";
    }
  }
  return status;
}

}  // namespace plot
