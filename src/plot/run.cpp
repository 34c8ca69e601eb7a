#include "plot/run.h"

#include <array>
#include <exception>
#include <iterator>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "companion/fill_record.h"
#include "companion/session_files.h"
#include "companion/whole_file.h"
#include "companion/working_name.h"
#include "plot/pictures.h"
#include "plot/results.h"
#include "plot/siblings.h"
#include "plot/svg.h"
#include "textio/textio.h"
#include "util/catalogue.h"
#include "util/files.h"

namespace plot {

namespace fs = std::filesystem;

namespace {

using files::kPlotsDir;

// This program's page among the session's pages under Result/.
constexpr const char* kPageSelf = "plots/index.html";

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

// Keeps `line` for the page and shows it on `to`.
void note(std::ostream& to, std::vector<std::string>& notes, const std::string& line) {
  to << line << '\n';
  notes.push_back(line);
}

// Opens `rel` under `dir` and hands it to `reader`; any failure becomes a line on `err` and an
// empty result. Nothing a file holds can make this throw.
template <class T, class Reader>
std::optional<T> load(const fs::path& dir, const std::string& rel, Reader reader, std::ostream& err,
                      std::vector<std::string>& notes) {
  auto skip = [&](const std::string& why) {
    note(err, notes, rel + ": " + why + "; skipped");
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

// What a call read: every input that is there and usable, and the lines about those left out.
struct Inputs {
  std::array<std::optional<EnergyTable>, 4> energy;
  std::vector<std::optional<PowerLimit>> limits;  // of the pitch-controlled type's sweeps
  std::optional<Geometry> geometry;
  std::optional<std::vector<Section>> sections;
  std::optional<Polar> polar;
  std::vector<std::string> notes;
};

// The performance tables. Those written before the blade now in Geometry.out are an earlier
// design's: drawn beside this blade they would show two rotors as one.
void load_energy(const fs::path& dir, Inputs& in, std::ostream& out, std::ostream& err) {
  const auto states = session_files::energy_tables(dir);
  if (const std::string older = session_files::older_tables_note(states); !older.empty()) {
    note(out, in.notes, older);
  }
  for (int t = 1; t <= 4; ++t) {
    const std::string rel = files::kEnergyTables[static_cast<std::size_t>(t - 1)];
    if (states[static_cast<std::size_t>(t - 1)] == session_files::TableState::Older) continue;
    auto& energy = in.energy[static_cast<std::size_t>(t - 1)];
    energy = load<EnergyTable>(
        dir, rel, [t](textio::RecordSource& s) { return read_energy(s, t); }, err, in.notes);
    if (!energy) continue;
    if (!energy->incomplete.empty())
      note(err, in.notes, rel + ": " + energy->incomplete + "; left out");
    if (energy->sweeps.empty()) {
      out << rel << ": no complete sweep in it, nothing to draw\n";
      energy.reset();
    }
  }
}

// Power limits of the pitch-controlled sweeps: exact for the last sweep when the working files
// still hold its wind speeds and powers, estimated from the rows otherwise.
void load_power_limits(const fs::path& dir, Inputs& in, std::ostream& out, std::ostream& err) {
  if (!in.energy[3]) return;
  const std::vector<Sweep>& sweeps = in.energy[3]->sweeps;
  for (const Sweep& s : sweeps) in.limits.push_back(estimate_limit(s));
  auto reals = [](std::size_t n) {
    return [n](textio::RecordSource& s) { return read_reals(s, n); };
  };
  const auto winds =
      load<std::vector<double>>(dir, files::kPlotWinds, reals(kSweepRows), err, in.notes);
  const auto powers =
      load<std::vector<double>>(dir, files::kPlotPowers, reals(kSweepRows), err, in.notes);
  const auto mpl = load<std::vector<double>>(dir, files::kPlotLimit, reals(1), err, in.notes);
  if (winds && powers && mpl && same_sweep(sweeps.back(), *winds, *powers)) {
    in.limits.back() = PowerLimit{mpl->front(), true};
  } else if (winds && powers && mpl) {
    out << "Temp/mpl.tmp: written by another sweep than the last of Result/Energy4.out; "
           "MPL estimated from the table\n";
  }
}

// The blade's geometry table and point file, and the working polar when there is one (a
// directory that only holds results has none).
void load_blade(const fs::path& dir, Inputs& in, std::ostream& err) {
  in.geometry = load<Geometry>(dir, files::kGeometryTable, read_geometry, err, in.notes);
  in.sections =
      load<std::vector<Section>>(dir, files::kBladePoints, read_blade_points, err, in.notes);
  if (in.geometry && in.sections && in.geometry->stations.size() != in.sections->size()) {
    note(err, in.notes,
         "Result/3dgeo.dat holds " + std::to_string(in.sections->size()) +
             " sections but Result/Geometry.out " + std::to_string(in.geometry->stations.size()) +
             " stations: the two files are not from the same run");
  }
  std::error_code ec;
  if (fs::exists(dir / files::kPolarCopy, ec)) {
    in.polar = load<Polar>(dir, files::kPolarCopy, read_polar, err, in.notes);
  }
}

// Angles of the section's data that no converged XFOIL point gave, as its import recorded.
std::vector<fill_record::Fill> load_fills(const fs::path& dir, const std::string& stem,
                                          std::vector<std::string>& notes, std::ostream& out,
                                          std::ostream& err) {
  std::vector<fill_record::Fill> fills;
  if (!stem.empty()) {
    try {
      fills = fill_record::read(dir / "Data", stem);
    } catch (const std::exception& e) {
      note(err, notes, e.what());
    }
  }
  for (const fill_record::Fill& f : fills) {
    out << (fill_record::copied(f)
                ? fill_record::sentence(f)
                : "filled (no converged XFOIL point): " + fill_record::describe(f))
        << '\n';
  }
  return fills;
}

// A file to write into the plots folder.
struct Output {
  std::string name;
  std::string text;
};

// The pictures of what was read, in the order of the page, and the page itself last; nothing
// when there is nothing to draw.
std::vector<Output> draw(const fs::path& dir, Inputs& in, std::ostream& out, std::ostream& err) {
  std::vector<Output> outputs;
  Page page;
  page.notes = in.notes;
  page.nav = sibling_nav(with_page(sibling_pages(dir), {kPageSelf, "pictures"}), kPageSelf);
  page.geometry = in.geometry ? &*in.geometry : nullptr;
  page.sections = in.sections ? &*in.sections : nullptr;
  auto add = [&](std::vector<Picture>& list, std::string name, const Chart& chart) {
    list.push_back({name, chart.title});
    outputs.push_back({std::move(name), render(chart)});
  };
  if (in.geometry) {
    add(page.blade_pictures, "blade-chord.svg", chord_chart(*in.geometry));
    add(page.blade_pictures, "blade-twist.svg", twist_chart(*in.geometry));
  }
  if (in.sections) {
    add(page.blade_pictures, "blade-plan.svg", plan_chart(*in.sections));
    add(page.blade_pictures, "blade-sections.svg", sections_chart(*in.sections));
  }
  if (in.polar) {
    std::string stem;
    page.aerofoil = aerofoil_name(dir, stem);
    page.fills = load_fills(dir, stem, page.notes, out, err);
    const auto& fills = page.fills;
    const struct {
      const char* name;
      PolarQuantity quantity;
    } polar_pictures[] = {{"aerofoil-cl.svg", PolarQuantity::Lift},
                          {"aerofoil-cd.svg", PolarQuantity::Drag},
                          {"aerofoil-ld.svg", PolarQuantity::LiftToDrag}};
    for (const auto& p : polar_pictures) {
      add(page.polar_pictures, p.name, polar_chart(*in.polar, page.aerofoil, p.quantity, fills));
    }
  }
  for (int t = 1; t <= 4; ++t) {
    if (!in.energy[static_cast<std::size_t>(t - 1)]) continue;
    EnergyPart part;
    part.table = &*in.energy[static_cast<std::size_t>(t - 1)];
    if (t == 4) part.limits = in.limits;
    const std::string stem = "energy" + std::to_string(t);
    add(part.pictures, stem + "-power.svg", power_chart(*part.table, part.limits));
    add(part.pictures, stem + "-cp.svg", cp_chart(*part.table));
    page.energy.push_back(std::move(part));
  }
  if (!outputs.empty()) outputs.push_back({"index.html", index_html(page)});
  return outputs;
}

// Writes `outputs` into `plots`, then removes the pictures of an earlier call that this one did
// not write.
int write_outputs(const fs::path& plots, const std::vector<Output>& outputs, std::ostream& out,
                  std::ostream& err) {
  int status = kDrawn;
  for (const Output& o : outputs) {
    const std::string rel = std::string(kPlotsDir) + "/" + o.name;
    try {
      whole_file::write(plots / o.name, o.text);
      out << "wrote " << rel << '\n';
    } catch (const std::exception&) {
      err << rel << ": could not be written\n";
      status = kNothingDrawn;
    }
  }
  std::error_code ec;
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

}  // namespace

int run(const fs::path& dir, std::ostream& out, std::ostream& err) {
  Inputs in;
  load_energy(dir, in, out, err);
  load_power_limits(dir, in, out, err);
  load_blade(dir, in, err);
  const std::vector<Output> outputs = draw(dir, in, out, err);
  if (outputs.empty()) {
    err << "nothing to draw: no usable result file under " << (dir / "Result").string() << '\n';
    return kNothingDrawn;
  }
  const fs::path plots = dir / kPlotsDir;
  std::error_code ec;
  fs::create_directories(plots, ec);
  if (ec) {
    err << kPlotsDir << ": cannot be created: " << ec.message() << '\n';
    return kNothingDrawn;
  }
  const int status = write_outputs(plots, outputs, out, err);
  write_pages_script(dir);
  return status;
}

}  // namespace plot
