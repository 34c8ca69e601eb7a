#include "study/design_dir.h"

#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <system_error>

#include "aerofoil/foildata.h"
#include "companion/fill_record.h"
#include "companion/process.h"
#include "companion/whole_file.h"
#include "textio/textio.h"
#include "util/catalogue.h"
#include "util/files.h"
#include "util/number_text.h"
#include "util/parallel.h"

namespace study {

namespace {

// The last line of `text` that holds more than blanks, without control characters.
std::string last_line(const std::string& text) {
  std::istringstream in(text);
  std::string last;
  for (std::string line; std::getline(in, line);) {
    for (char& c : line) {
      if (static_cast<unsigned char>(c) < 32) c = ' ';
    }
    if (line.find_first_not_of(' ') != std::string::npos) last = line;
  }
  const auto end = last.find_last_not_of(' ');
  return end == std::string::npos ? std::string() : last.substr(0, end + 1);
}

// The first complaint with which rotorforge refuses an answer ("Ucin must be greater than 0;
// please enter it again."), or "". With answers piped in, the complaint may follow its prompt
// on the same line.
std::string refusal(const std::string& console) {
  constexpr std::string_view kAgain = "; please enter it again.";
  constexpr std::string_view kMust = " must be ";
  const auto again = console.find(kAgain);
  if (again == std::string::npos) return {};
  const auto must = console.rfind(kMust, again);
  if (must == std::string::npos) return "please enter it again.";
  const auto name = console.find_last_of(" \n\r", must - 1);
  const auto start = name == std::string::npos ? 0 : name + 1;
  return console.substr(start, again + kAgain.size() - start);
}

// The working directory changed for the lifetime of the object (the aerofoil's working files
// are written relative to it). Study runs are single-threaded while preparing.
class InDirectory {
 public:
  explicit InDirectory(const fs::path& dir) : old_(fs::current_path()) { fs::current_path(dir); }
  ~InDirectory() {
    std::error_code ec;
    fs::current_path(old_, ec);
  }
  InDirectory(const InDirectory&) = delete;
  InDirectory& operator=(const InDirectory&) = delete;

 private:
  fs::path old_;
};

// Runs `program` (no arguments) with `dir` as its working directory and the files `in`, `out`
// and `err` there (created or emptied; `out` and `err` may be the same) as its standard
// streams. It stays in this process's group, so that an engine interrupting this one's group
// interrupts it too.
process::Result run_in(const fs::path& dir, const fs::path& program, const char* in,
                       const char* out, const char* err,
                       const std::vector<std::string>& args = {}, const process::Watch& watch = {}) {
  process::Command c;
  c.argv = {fs::absolute(program).string()};
  c.argv.insert(c.argv.end(), args.begin(), args.end());
  c.dir = fs::absolute(dir);
  c.in = c.dir / in;
  c.out = c.dir / out;
  c.err = c.dir / err;
  return process::run(c, watch);
}

}  // namespace

std::optional<Outcome> read_status(const fs::path& dir) {
  std::ifstream in(dir / kStatusFile);
  if (!in) return std::nullopt;
  Outcome o;
  bool have_state = false;
  for (std::string line; std::getline(in, line);) {
    const auto blank = line.find(' ');
    const std::string key = line.substr(0, blank);
    const std::string value = blank == std::string::npos ? "" : line.substr(blank + 1);
    if (key == "status") {
      have_state = value == "ok" || value == "failed";
      o.state = value == "ok" ? State::Ok : State::Failed;
    } else if (key == "exit") {
      o.exit_status = std::atoi(value.c_str());
    } else if (key == "seconds") {
      o.seconds = std::strtod(value.c_str(), nullptr);
    } else if (key == "processors") {
      o.processors = static_cast<unsigned>(std::strtoul(value.c_str(), nullptr, 10));
    } else if (key == "message") {
      o.message = value;
    }
  }
  if (!have_state) return std::nullopt;
  return o;
}

void write_status(const fs::path& dir, const Outcome& o) {
  std::ostringstream s;
  s << "status " << (o.state == State::Ok ? "ok" : "failed") << "\n"
    << "exit " << o.exit_status << "\n"
    << "seconds " << number_text::shortest(o.seconds) << "\n"
    << "processors " << o.processors << "\n"
    << "message " << o.message << "\n";
  const fs::path tmp = dir / (std::string(kStatusFile) + ".new");
  whole_file::write(tmp, s.str());
  fs::rename(tmp, dir / kStatusFile);
}

Prepared prepare(const Design& d, const fs::path& dir, const fs::path& data_dir) {
  if (const auto o = read_status(dir); o && o->state == State::Ok) return Prepared::Complete;
  Outcome failed;
  try {
    fs::remove_all(dir);
    fs::create_directories(dir / "Data");
    fs::create_directories(dir / "Temp");
    fs::create_directories(dir / "Result");
    if (!d.blade_file.empty()) {
      // A blade file's design: the file, every section of the data folder, and the arguments
      // of its analysis, one per line.
      fs::copy_file(d.blade_file, dir / kBladeFile);
      for (const auto& e : fs::directory_iterator(data_dir)) {
        if (e.path().extension() == ".dat")
          fs::copy_file(e.path(), dir / "Data" / e.path().filename());
      }
      std::string args;
      for (const std::string& a : analyse_arguments(d, kBladeFile)) args += a + "\n";
      whole_file::write(dir / kAnalyseArguments, args);
      return Prepared::Ready;
    }
    whole_file::write(dir / kAnswersFile, answers(d));
    for (const std::string& file :
         {files::outline_name(d.aerofoil), files::polar_name(d.aerofoil)}) {
      fs::copy_file(data_dir / file, dir / "Data" / file);
    }
    // The record of the polar's filled angles goes with it, when there is one.
    if (const fs::path fill = fill_record::path(data_dir, d.aerofoil); fs::is_regular_file(fill)) {
      fs::copy_file(fill, dir / "Data" / fill.filename());
    }
    // The working directory that holds the data folder ("Data" and "Data/" alike).
    fs::path data = fs::absolute(data_dir).lexically_normal();
    if (data.filename().empty()) data = data.parent_path();
    const fs::path parameters = data.parent_path() / "Temp" / "Parameters.in";
    if (fs::is_regular_file(parameters)) {
      fs::copy_file(parameters, dir / files::kChordLaw);
    } else {
      whole_file::write(dir / files::kChordLaw, std::string(files::kChordLawSeed));
    }
    if (catalogue::shipped_number(d.aerofoil) == 0) {
      InDirectory here(dir);
      foildata::replace(files::polar_path(fs::path("Data"), d.aerofoil).string(),
                        files::outline_path(fs::path("Data"), d.aerofoil).string());
    }
    return Prepared::Ready;
  } catch (const std::exception& e) {
    failed.message = e.what();
  }
  std::error_code ec;
  fs::create_directories(dir, ec);
  write_status(dir, failed);
  return Prepared::Failed;
}

Outcome run_one(const fs::path& dir, const fs::path& rotorforge, const fs::path& plotter,
                const process::Watch& watch) {
  Outcome o;
  o.processors = parallel::allowed_processors();
  const auto start = std::chrono::steady_clock::now();
  // A blade file's design runs rotorforge-analyse (beside rotorforge) with its arguments.
  bool analysed = false;
  const std::string arguments = whole_file::read(dir / kAnalyseArguments, analysed);
  std::vector<std::string> args;
  for (std::size_t at = 0, end; analysed && at < arguments.size(); at = end + 1) {
    end = arguments.find('\n', at);
    if (end == std::string::npos) end = arguments.size();
    args.push_back(arguments.substr(at, end - at));
  }
  const process::Result r =
      analysed ? run_in(dir, rotorforge.parent_path() / "rotorforge-analyse", "/dev/null",
                        "console.txt", "stderr.txt", args, watch)
               : run_in(dir, rotorforge, kAnswersFile, "console.txt", "stderr.txt", {}, watch);
  if (r.failure == process::Failure::Fork || r.failure == process::Failure::Wait) {
    o.message = std::string("cannot start a session: ") + std::strerror(r.error);
    write_status(dir, o);
    return o;
  }
  o.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  if (r.failure == process::Failure::Exec) {
    // As a shell says it: in the session's error file, the program's status 127.
    whole_file::write(dir / "stderr.txt",
                      "cannot run " + r.what + ": " + std::strerror(r.error) + "\n");
  }
  o.message = last_line(whole_file::read(dir / "stderr.txt"));
  if (r.failure == process::Failure::Exec) {
    o.exit_status = 127;
  } else if (r.failure == process::Failure::Open) {
    o.exit_status = 126;
    if (o.message.empty()) o.message = "cannot open the design's answers or output files";
  } else if (r.exit_code() >= 0) {
    o.exit_status = r.exit_code();
  } else if (const int sig = r.signal(); sig != 0) {
    if (sig == SIGINT || sig == SIGTERM || sig == SIGHUP) {
      o.state = State::Interrupted;
      o.message = "interrupted by signal " + std::to_string(sig);
      return o;
    }
    o.message = "killed by signal " + std::to_string(sig);
  }
  o.state = o.exit_status == 0 ? State::Ok : State::Failed;
  // rotorforge asks again for an answer it cannot use; every answer after it would then go to
  // the wrong prompt, so the session's results are not this design's.
  if (const std::string refused = refusal(whole_file::read(dir / "console.txt"));
      !refused.empty()) {
    o.state = State::Failed;
    o.message = "rotorforge refused an answer: " + refused;
  }
  if (o.state == State::Failed && o.message.empty()) {
    o.message = "rotorforge ended with status " + std::to_string(o.exit_status);
  }
  if (analysed && o.state == State::Ok) {
    // The analysis's tables, in the layout of a session's, where the summary reads them.
    const fs::path from = dir / "Result" / "analysis" / fs::path(kBladeFile).stem();
    for (int t = 1; t <= kTypes; ++t) {
      const fs::path table = from / ("energy" + std::to_string(t) + ".out");
      std::error_code ec;
      if (fs::is_regular_file(table, ec)) {
        fs::copy_file(table, dir / files::kEnergyTables[static_cast<std::size_t>(t - 1)],
                      fs::copy_options::overwrite_existing, ec);
      }
    }
  }
  // The design's own pictures; a picture writer that is missing or fails costs only the link.
  if (!analysed && o.state == State::Ok && !plotter.empty() && access(plotter.c_str(), X_OK) == 0) {
    run_in(dir, plotter, "/dev/null", kPicturesLog, kPicturesLog);
  }
  write_status(dir, o);
  return o;
}

}  // namespace study
