#include "companion/install_paths.h"

#include <string>
#include <system_error>

namespace install_paths {

namespace fs = std::filesystem;

namespace {

// A folder holds the shipped data when its Data/ has the first aerofoil's polar.
bool holds_data(const fs::path& dir) {
  std::error_code ec;
  return fs::is_regular_file(dir / "Data" / "Liftnaca4412.dat", ec);
}

}  // namespace

fs::path self() {
  std::error_code ec;
  const fs::path p = fs::read_symlink("/proc/self/exe", ec);
  return ec ? fs::path() : p;
}

fs::path beside_self(std::string_view program) {
  return self().parent_path() / std::string(program);
}

fs::path private_library(std::string_view file) {
  // ROTORFORGE_LIB_FROM_BIN: the install's private library folder relative to its programs'
  // folder ("../lib/rotorforge").
  std::error_code ec;
  const fs::path bin = self().parent_path();
  const fs::path installed = (bin / ROTORFORGE_LIB_FROM_BIN / std::string(file)).lexically_normal();
  if (fs::is_regular_file(installed, ec)) return installed;
  const fs::path beside = bin / std::string(file);
  if (fs::is_regular_file(beside, ec)) return beside;
  return {};
}

fs::path share_dir() {
  // ROTORFORGE_SHARE_FROM_BIN: the install's data folder relative to its programs' folder
  // ("../share/rotorforge"); ROTORFORGE_SOURCE_TREE: the source tree of this build.
  const fs::path installed = (self().parent_path() / ROTORFORGE_SHARE_FROM_BIN).lexically_normal();
  if (holds_data(installed)) return installed;
  const fs::path source = ROTORFORGE_SOURCE_TREE;
  if (holds_data(source)) return source;
  return {};
}

fs::path default_data_dir(const fs::path& workdir) {
  std::error_code ec;
  if (fs::is_directory(workdir / "Data", ec)) return workdir / "Data";
  const fs::path share = share_dir();
  return share.empty() ? workdir / "Data" : share / "Data";
}

}  // namespace install_paths
