// Temporary directories for tests and benchmarks that touch working files. Every object gets a
// path of its own (mkdtemp), so test processes running in parallel never share one.
#pragma once

#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>
#include <system_error>
#include <vector>

#include "companion/scratch_dir.h"
#include "init/init.h"

namespace support {

namespace fs = std::filesystem;

// The whole file, byte for byte ("" when it cannot be opened).
inline std::string slurp(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Writes `text` as the whole file, byte for byte.
inline void spit(const fs::path& p, const std::string& text) {
  std::ofstream out(p, std::ios::binary);
  out << text;
}

// A fresh directory under the system's temporary directory whose name starts with `prefix`,
// holding Temp/ and Result/; removed with everything in it when the object goes.
class ScratchDir {
 public:
  explicit ScratchDir(const std::string& prefix) : dir_(prefix) {
    fs::create_directory(path() / "Temp");
    fs::create_directory(path() / "Result");
  }
  // A test may leave Result/ without write permission; it is given back so that the directory
  // can be removed.
  ~ScratchDir() {
    std::error_code ec;
    fs::permissions(path() / "Result", fs::perms::owner_all, fs::perm_options::add, ec);
  }

  const fs::path& path() const { return dir_.path(); }
  fs::path operator/(const std::string& rel) const { return path() / rel; }
  void write(const std::string& rel, const std::string& text) const { spit(path() / rel, text); }
  std::string read(const std::string& rel) const { return slurp(path() / rel); }
  bool exists(const std::string& rel) const { return fs::exists(path() / rel); }

 protected:
  // An empty scratch directory, for a class that fills it its own way.
  struct Empty {};
  ScratchDir(const std::string& prefix, Empty) : dir_(prefix) {}

 private:
  scratch_dir::ScratchDir dir_;
};

// A scratch directory that is the working directory for the lifetime of the object; the old
// working directory comes back before the directory is removed.
class WorkDir : public ScratchDir {
 public:
  explicit WorkDir(const std::string& prefix) : ScratchDir(prefix), old_(fs::current_path()) {
    fs::current_path(path());
  }
  ~WorkDir() {
    std::error_code ec;
    fs::current_path(old_, ec);
  }

 private:
  fs::path old_;
};

// A working directory as above whose Data/ holds a copy of the files in `data` (not of its
// subdirectories).
class DataWorkDir : public WorkDir {
 public:
  DataWorkDir(const std::string& prefix, const fs::path& data) : WorkDir(prefix) {
    fs::copy(data, path() / "Data");
  }
};

// The directory holding Data/ with the shipped aerofoil files, for programs built without
// ROTORFORGE_SOURCE_DIR: the first one found from the working directory or the executable
// upwards.
inline std::string find_source_dir() {
  std::vector<fs::path> starts{fs::current_path()};
  std::error_code ec;
  const fs::path exe = fs::read_symlink("/proc/self/exe", ec);
  if (!ec) starts.push_back(exe.parent_path());
  for (fs::path p : starts) {
    for (; !p.empty(); p = p.parent_path()) {
      if (fs::exists(p / "Data" / "Liftsg6043.dat")) return p.string();
      if (p == p.parent_path()) break;
    }
  }
  throw std::runtime_error("no Data/ directory with the aerofoil files found");
}

// The source tree's Data/, the shipped aerofoil files.
inline fs::path shipped_data() {
#ifdef ROTORFORGE_SOURCE_DIR
  return fs::path(ROTORFORGE_SOURCE_DIR) / "Data";
#else
  return fs::path(find_source_dir()) / "Data";
#endif
}

// Makes `dir` a working directory the way users make one, with rotorforge-init's function: the
// shipped files in Data/, the starting chord law in Temp/, and Result/.
inline void make_session(const fs::path& dir) {
  init::make_working_dir(dir, shipped_data());
}

// A scratch directory (see ScratchDir) made a working directory by make_session.
class SessionDir : public ScratchDir {
 public:
  explicit SessionDir(const std::string& prefix) : ScratchDir(prefix, Empty{}) {
    make_session(path());
  }
};

}  // namespace support
