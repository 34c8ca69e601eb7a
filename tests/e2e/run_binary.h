// Running the built rotorforge binary in a fresh working directory with answers on stdin.
#pragma once

#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <sstream>
#include <string>

namespace e2e {

namespace fs = std::filesystem;

inline std::string slurp(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void spit(const fs::path& p, const std::string& text) {
  std::ofstream out(p, std::ios::binary);
  out << text;
}

// A temporary working directory holding Data/ (the shipped files), Temp/ (with a
// Parameters.in) and Result/; removed when the object goes.
class WorkDir {
 public:
  WorkDir() {
    std::random_device rd;
    dir_ = fs::temp_directory_path() /
           ("rotorforge-e2e-" + std::to_string(rd()) + std::to_string(rd()));
    fs::create_directories(dir_ / "Temp");
    fs::create_directories(dir_ / "Result");
    fs::create_directories(dir_ / "Data");
    for (const auto& e : fs::directory_iterator(fs::path(ROTORFORGE_SOURCE_DIR) / "Data")) {
      if (e.path().extension() == ".dat")
        fs::copy_file(e.path(), dir_ / "Data" / e.path().filename());
    }
    spit(dir_ / "Temp" / "Parameters.in", " 0.1 0. 0. 0. 0.\r\n");
  }
  ~WorkDir() {
    std::error_code ec;
    fs::permissions(dir_ / "Result", fs::perms::owner_all, fs::perm_options::add, ec);
    fs::remove_all(dir_, ec);
  }
  WorkDir(const WorkDir&) = delete;
  WorkDir& operator=(const WorkDir&) = delete;

  const fs::path& path() const { return dir_; }
  fs::path operator/(const std::string& rel) const { return dir_ / rel; }
  std::string read(const std::string& rel) const { return slurp(dir_ / rel); }
  bool exists(const std::string& rel) const { return fs::exists(dir_ / rel); }

 private:
  fs::path dir_;
};

struct Outcome {
  int status = -1;
  std::string out;
  std::string err;
};

// Runs the binary in `dir` with `answers` on stdin (no terminal), capturing both streams.
// `shell_setup` runs in the same shell first (e.g. "ulimit -f 100").
inline Outcome run(const WorkDir& dir, const std::string& answers,
                   const std::string& shell_setup = "") {
  spit(dir / ".stdin", answers);
  const std::string cmd = "cd '" + dir.path().string() + "' && " +
                          (shell_setup.empty() ? "" : shell_setup + "; ") + "exec '" +
                          ROTORFORGE_BINARY + "' < .stdin > .stdout 2> .stderr";
  const int raw = std::system(cmd.c_str());
  Outcome r;
  r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  r.out = dir.read(".stdout");
  r.err = dir.read(".stderr");
  return r;
}

// The first line where two texts differ, for failure messages.
inline std::string first_difference(const std::string& want, const std::string& got) {
  std::istringstream a(want), b(got);
  std::string la, lb;
  for (int line = 1;; ++line) {
    const bool ha = static_cast<bool>(std::getline(a, la));
    const bool hb = static_cast<bool>(std::getline(b, lb));
    if (!ha && !hb) return "identical";
    if (!ha || !hb || la != lb) {
      return "line " + std::to_string(line) + ":\n  want: " + (ha ? la : "<end>") +
             "\n  got:  " + (hb ? lb : "<end>");
    }
  }
}

}  // namespace e2e
