#include "studio/store.h"

#include <csignal>
#include <cstdio>
#include <regex>
#include <set>
#include <sstream>

#include "companion/process.h"
#include "companion/session_answers.h"
#include "companion/whole_file.h"
#include "plot/results.h"
#include "study/design_dir.h"
#include "util/catalogue.h"
#include "util/enum_names.h"
#include "util/files.h"

namespace studio {

namespace {

using nlohmann::json;

// The files of a design folder handed out, relative to it: everything under Result/ and the
// session's own text files. Only regular files reached without a link.
constexpr const char* kTopFiles[] = {"answers.txt", "console.txt", "stderr.txt", "status.txt",
                                     kLoadsLog,     "plot.txt",    kBladeFile,   kAnalysisLog};

std::vector<std::string> listed_files(const fs::path& dir) {
  std::vector<std::string> out;
  for (const char* f : kTopFiles) {
    std::error_code ec;
    if (fs::is_regular_file(fs::symlink_status(dir / f, ec))) out.emplace_back(f);
  }
  std::error_code ec;
  const fs::path result = dir / "Result";
  if (!fs::is_directory(fs::symlink_status(result, ec))) return out;
  std::vector<std::string> found;
  for (auto it = fs::recursive_directory_iterator(result, ec);
       !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
    if (it->is_regular_file(ec) && !it->is_symlink(ec)) {
      found.push_back(fs::relative(it->path(), dir, ec).generic_string());
    }
  }
  std::sort(found.begin(), found.end());
  out.insert(out.end(), found.begin(), found.end());
  return out;
}

std::string read_text(const fs::path& p) {
  std::error_code ec;
  if (!fs::is_regular_file(p, ec)) return {};
  try {
    return whole_file::read(p);
  } catch (const std::exception&) {
    return {};
  }
}

// The optimiser's progress in the session's console so far: the starting blade's bar (percent),
// then the design wind line and each search's best objective.
json progress(const std::string& console) {
  json p = {{"bar", 0}, {"passes", json::array()}, {"stage", "starting"}};
  const auto bar = console.rfind('%');
  if (bar != std::string::npos && bar >= 3) {
    std::size_t b = bar;
    while (b > 0 && std::isdigit(static_cast<unsigned char>(console[b - 1]))) --b;
    if (b < bar) p["bar"] = std::stoi(console.substr(b, bar - b));
    p["stage"] = "starting blade";
  }
  constexpr std::string_view kOptimising = "Optimizing of geometry. Please wait...";
  const auto opt = console.find(kOptimising);
  if (opt == std::string::npos) return p;
  p["stage"] = "optimising";
  std::istringstream lines(console.substr(opt + kOptimising.size()));
  for (std::string line; std::getline(lines, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    const auto first = line.find_first_not_of(' ');
    if (first == std::string::npos) continue;
    if (!std::isdigit(static_cast<unsigned char>(line[first])) && line[first] != '-') {
      p["stage"] = "blade and sweeps";
      break;
    }
    p["passes"].push_back(line.substr(first));
  }
  return p;
}

template <class T>
std::optional<T> read_result(const fs::path& file,
                             plot::Read<T> (*reader)(textio::RecordSource&, int), int type) {
  const std::string text = read_text(file);
  if (text.empty()) return std::nullopt;
  plot::TextSource source(text);
  plot::Read<T> r = reader(source, type);
  if (!r.ok()) return std::nullopt;
  return std::move(r.value);
}

std::optional<plot::Geometry> read_geometry(const fs::path& file) {
  const std::string text = read_text(file);
  if (text.empty()) return std::nullopt;
  plot::TextSource source(text);
  plot::Read<plot::Geometry> r = plot::read_geometry(source);
  if (!r.ok()) return std::nullopt;
  return std::move(r.value);
}

json number_or_null(std::optional<double> v) {
  return v && std::isfinite(*v) ? json(*v) : json(nullptr);
}

// The last line of a program's console that says something.
std::string last_line(const std::string& text) {
  std::istringstream lines(text);
  std::string last;
  for (std::string line; std::getline(lines, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.find_first_not_of(" \t") != std::string::npos) last = line;
  }
  return last;
}

// What the analysis of a finished design gave: its best CP, tip speed ratio and the wind of the
// curve (its Reynolds numbers) as the program states them ("best CP 0.4545 at tip speed ratio
// 8.75 (pitch 0.0 deg, wind 8.00 m/s)"), the chart and the page; or the line it failed with.
// Nothing when it was not run.
json analysis_of(const fs::path& folder) {
  const std::string log = read_text(folder / kAnalysisLog);
  if (log.empty()) return nullptr;
  const std::string chart = std::string(kAnalysisDir) + "/cp-tsr.svg";
  const std::string page = std::string(kAnalysisDir) + "/index.html";
  static const std::regex kBest(R"((?:^|\n)best CP ([0-9.]+) at tip speed ratio ([0-9.]+))"
                                R"( \(pitch [^,]*, wind ([0-9.]+) m/s\))");
  std::smatch m;
  std::error_code ec;
  if (std::regex_search(log, m, kBest) && fs::is_regular_file(folder / chart, ec) &&
      fs::is_regular_file(folder / page, ec)) {
    return {{"state", "ok"},
            {"best_cp", std::stod(m[1].str())},
            {"tsr", std::stod(m[2].str())},
            {"wind", std::stod(m[3].str())},
            {"chart", chart},
            {"page", page}};
  }
  const std::string why = last_line(log);
  return {{"state", "failed"}, {"message", why.empty() ? "rotorforge-analyse wrote nothing" : why}};
}

}  // namespace

const char* phase_name(Phase p) {
  static constexpr enum_names::Named<Phase> kNames[] = {
      {Phase::Queued, "queued"},     {Phase::Session, "session"}, {Phase::Loads, "loads"},
      {Phase::Analysis, "analysis"}, {Phase::Ok, "ok"},           {Phase::Failed, "failed"},
      {Phase::Stopped, "stopped"}};
  return enum_names::name(p, kNames, "");
}

bool plausible_id(const std::string& id) {
  static const std::regex kId("d[0-9]{6}");
  return std::regex_match(id, kId);
}

Store::Store(fs::path dir, fs::path data_dir, Programs programs, unsigned slots)
    : dir_(fs::weakly_canonical(fs::absolute(dir))),
      data_dir_(fs::absolute(data_dir).lexically_normal()),
      programs_(std::move(programs)),
      slots_(slots == 0 ? 1 : slots) {
  for (const catalogue::Aerofoil& a : catalogue::kAerofoils) aerofoils_.emplace_back(a.stem);
  std::error_code ec;
  std::set<std::string> imported;
  for (const auto& e : fs::directory_iterator(data_dir_, ec)) {
    const std::string name = e.path().filename().string();
    const std::string stem = files::polar_section(name);
    if (!stem.empty() && catalogue::shipped_number(stem) == 0 &&
        fs::is_regular_file(files::outline_path(data_dir_, stem)))
      imported.insert(stem);
  }
  aerofoils_.insert(aerofoils_.end(), imported.begin(), imported.end());
  // The designs of earlier runs: finished, failed, or stopped before their end.
  fs::create_directories(dir_);
  for (const auto& e : fs::directory_iterator(dir_)) {
    const std::string id = e.path().filename().string();
    if (!plausible_id(id) || !e.is_directory() || e.is_symlink() ||
        !fs::is_regular_file(e.path() / kRecordFile))
      continue;
    Job job{id, Phase::Stopped, "stopped before its end (the studio was stopped)"};
    if (const auto o = study::read_status(e.path())) {
      job.phase = o->state == study::State::Ok ? Phase::Ok : Phase::Failed;
      job.message = o->message;
    }
    jobs_[id] = job;
    next_ = std::max(next_, static_cast<unsigned>(std::stoul(id.substr(1))) + 1);
  }
  for (unsigned i = 0; i < slots_; ++i) workers_.emplace_back([this] { worker(); });
}

Store::~Store() {
  stop();
}

void Store::stop() {
  stopping_ = true;
  wake_.notify_all();
  for (std::thread& t : workers_) {
    if (t.joinable()) t.join();
  }
  workers_.clear();
  std::lock_guard lock(mutex_);
  for (const std::string& id : queue_) {
    jobs_[id].phase = Phase::Stopped;
    jobs_[id].message = "stopped before it started (the studio was stopped)";
  }
  queue_.clear();
}

std::string Store::create(const study::Design& d, const std::string& name, const json& form) {
  std::string id;
  {
    std::lock_guard lock(mutex_);
    if (stopping_) throw std::runtime_error("the studio is stopping");
    // A folder of that name that is not the studio's (made by hand, or left by a design whose
    // record was never written) is left alone: the id after it is taken.
    for (;;) {
      char buf[16];
      std::snprintf(buf, sizeof buf, "d%06u", next_++);
      id = buf;
      std::error_code ec;
      if (fs::create_directory(dir_ / id, ec)) break;
      if (ec) throw std::runtime_error("cannot make " + (dir_ / id).string() + ": " + ec.message());
    }
    jobs_[id] = Job{id, Phase::Queued, {}};
  }
  const fs::path folder = dir_ / id;
  // The folder is set up from the data folder; an imported aerofoil is installed into its Temp/
  // from within it, so one design is set up at a time.
  static std::mutex preparing;
  study::Prepared prepared;
  {
    std::lock_guard lock(preparing);
    prepared = study::prepare(d, folder, data_dir_);
  }
  try {
    const json record = {{"name", name}, {"form", form}};
    whole_file::write(folder / kRecordFile, record.dump(1) + "\n");
  } catch (const std::exception& e) {
    set(id, Phase::Failed, e.what());
    throw;
  }
  std::lock_guard lock(mutex_);
  if (prepared != study::Prepared::Ready) {
    const auto o = study::read_status(folder);
    jobs_[id].phase = Phase::Failed;
    jobs_[id].message = o ? o->message : "the design's folder could not be set up";
    return id;
  }
  queue_.push_back(id);
  wake_.notify_one();
  return id;
}

void Store::worker() {
  for (;;) {
    std::string id;
    {
      std::unique_lock lock(mutex_);
      wake_.wait(lock, [this] { return stopping_ || !queue_.empty(); });
      if (stopping_) return;
      id = queue_.front();
      queue_.erase(queue_.begin());
      jobs_[id].phase = Phase::Session;
    }
    run(id);
  }
}

void Store::set(const std::string& id, Phase phase, const std::string& message) {
  std::lock_guard lock(mutex_);
  jobs_[id].phase = phase;
  jobs_[id].message = message;
}

void Store::run(const std::string& id) {
  const fs::path folder = dir_ / id;
  process::Watch watch;
  watch.stop = [this] { return stopping_.load() || process::stop_requested(); };
  watch.stop_signal = SIGINT;
  const study::Outcome o = study::run_one(folder, programs_.rotorforge, programs_.plot, watch);
  if (o.state == study::State::Interrupted) {
    set(id, Phase::Stopped, "stopped before its end (the studio was stopped)");
    return;
  }
  if (o.state != study::State::Ok) {
    set(id, Phase::Failed, o.message);
    return;
  }
  set(id, Phase::Loads);
  if (!programs_.loads.empty()) {
    process::Command c;
    c.argv = {programs_.loads.string()};
    c.dir = folder;
    c.in = "/dev/null";
    c.out = folder / kLoadsLog;
    c.err = folder / kLoadsLog;
    process::Watch w;
    w.stop = watch.stop;
    w.stop_signal = SIGINT;
    process::run(c, w);
  }
  if (!programs_.analyse.empty()) {
    set(id, Phase::Analysis);
    analyse(folder, watch);
  }
  set(id, Phase::Ok);
}

// The session's blade exported as blade.toml, then analysed: both programs' lines in
// analysis.txt, the export's first. A failure is left in that file (its last line says why); the
// design itself stays done.
void Store::analyse(const fs::path& folder, const process::Watch& watch) {
  const fs::path log = folder / kAnalysisLog;
  const auto step = [&](std::vector<std::string> args) {
    process::Command c;
    c.argv = {programs_.analyse.string()};
    c.argv.insert(c.argv.end(), args.begin(), args.end());
    c.dir = folder;
    c.in = "/dev/null";
    c.out = log;
    c.err = log;
    process::Watch w;
    w.stop = watch.stop;
    w.stop_signal = SIGINT;
    const process::Result r = process::run(c, w);
    if (!r.ran()) {
      whole_file::write(log, "rotorforge-analyse: " + r.failure_text() + "\n");
      return false;
    }
    if (r.stopped) {
      whole_file::write(log, "the analysis was stopped before its end (the studio was stopped)\n");
      return false;
    }
    if (r.exit_code() != 0 && last_line(read_text(log)).empty()) {
      whole_file::write(log,
                        "rotorforge-analyse ended " +
                            (r.signal() != 0 ? "by signal " + std::to_string(r.signal())
                                             : "with status " + std::to_string(r.exit_code())) +
                            " and said nothing\n");
    }
    return r.exit_code() == 0;
  };
  // The session does not keep its number of blades; its answers do.
  std::vector<std::string> args = {"--export", "-o", kBladeFile};
  std::string why;
  if (const auto a = session_answers::parse(read_text(folder / session_answers::kFile), why)) {
    args.insert(args.begin() + 1, {"--blades", std::to_string(a->blades)});
  }
  try {
    if (!step(args)) return;
    const std::string exported = read_text(log);
    step({kBladeFile});
    whole_file::write(log, exported + read_text(log));
  } catch (const std::exception&) {
    // analysis.txt could not be written: the page then shows no analysis at all.
  }
}

json Store::summary(const std::string& id, Phase phase, const std::string& message) {
  const fs::path folder = dir_ / id;
  json s = {{"id", id}, {"phase", phase_name(phase)}, {"message", message}};
  try {
    const json record = json::parse(read_text(folder / kRecordFile));
    s["name"] = record.value("name", "");
    s["form"] = record.value("form", json::object());
  } catch (const json::exception&) {
    s["name"] = "";
    s["form"] = json::object();
  }
  if (phase != Phase::Ok && phase != Phase::Loads && phase != Phase::Analysis) return s;
  if (const auto g = read_geometry(folder / files::kGeometryTable)) {
    s["mass"] = number_or_null(g->mass);
    s["volume"] = number_or_null(g->volume);
    s["surface"] = number_or_null(g->surface);
  }
  for (int t = 1; t <= 4; ++t) {
    const auto e =
        read_result<plot::EnergyTable>(folder / files::kEnergyTables[t - 1], plot::read_energy, t);
    if (!e || e->sweeps.empty()) continue;
    const plot::Sweep& sw = e->sweeps.front();
    double best_cp = 0.0, best_power = 0.0;
    for (const auto& r : sw.rows) {
      if (std::isfinite(r.cp)) best_cp = std::max(best_cp, r.cp);
      if (std::isfinite(r.power)) best_power = std::max(best_power, r.power);
    }
    s["type"] = t;
    s["average_power"] = sw.average_power;
    s["annual_energy"] = sw.annual_energy;
    s["best_cp"] = best_cp;
    s["best_power"] = best_power;
  }
  return s;
}

json Store::list() {
  std::vector<std::pair<std::string, Job>> jobs;
  {
    std::lock_guard lock(mutex_);
    for (const auto& [id, job] : jobs_) jobs.emplace_back(id, job);
  }
  json out = json::array();
  for (const auto& [id, job] : jobs) out.push_back(summary(id, job.phase, job.message));
  return out;
}

std::optional<json> Store::describe(const std::string& id) {
  Job job;
  {
    std::lock_guard lock(mutex_);
    const auto it = jobs_.find(id);
    if (it == jobs_.end()) return std::nullopt;
    job = it->second;
  }
  const fs::path folder = dir_ / id;
  json d = summary(id, job.phase, job.message);
  d["progress"] = progress(read_text(folder / "console.txt"));
  d["files"] = listed_files(folder);
  std::error_code ec;
  if (const auto bytes = fs::file_size(folder / "Result/blade.stl", ec); !ec)
    d["stl_bytes"] = bytes;
  if (job.phase != Phase::Ok && job.phase != Phase::Loads && job.phase != Phase::Analysis) return d;
  if (const auto g = read_geometry(folder / files::kGeometryTable)) {
    json stations = json::array();
    for (const auto& st : g->stations) stations.push_back({st.radius, st.chord, st.twist});
    d["stations"] = stations;
  }
  json energy = json::array();
  for (int t = 1; t <= 4; ++t) {
    const auto e =
        read_result<plot::EnergyTable>(folder / files::kEnergyTables[t - 1], plot::read_energy, t);
    if (!e || e->sweeps.empty()) continue;
    json rows = json::array();
    for (const auto& r : e->sweeps.front().rows) {
      rows.push_back({number_or_null(r.wind), number_or_null(r.tsr), number_or_null(r.cp),
                      number_or_null(r.power), number_or_null(r.rpm)});
    }
    energy.push_back({{"type", t}, {"rows", rows}});
  }
  d["energy"] = energy;
  if (job.phase == Phase::Ok || job.phase == Phase::Analysis) {
    d["loads"] = read_text(folder / kLoadsLog);
  }
  if (job.phase == Phase::Ok) d["analysis"] = analysis_of(folder);
  return d;
}

std::optional<fs::path> Store::file(const std::string& id, const std::string& rel) {
  {
    std::lock_guard lock(mutex_);
    if (!plausible_id(id) || jobs_.find(id) == jobs_.end()) return std::nullopt;
  }
  const fs::path folder = dir_ / id;
  for (const std::string& f : listed_files(folder)) {
    if (f == rel) return folder / f;
  }
  return std::nullopt;
}

}  // namespace studio
