// A fresh directory under the system's temporary directory, removed with everything in it when
// the object goes. Every object gets a path of its own (mkdtemp), so processes running side by
// side never share one.
#pragma once

#include <stdlib.h>

#include <cerrno>
#include <filesystem>
#include <string>
#include <system_error>

namespace scratch_dir {

class ScratchDir {
 public:
  // The directory's name starts with `prefix`; throws std::system_error when it cannot be made.
  explicit ScratchDir(const std::string& prefix) {
    std::string pattern = (std::filesystem::temp_directory_path() / (prefix + "XXXXXX")).string();
    if (mkdtemp(pattern.data()) == nullptr) {
      throw std::system_error(errno, std::generic_category(), "mkdtemp " + pattern);
    }
    dir_ = pattern;
  }
  ~ScratchDir() {
    std::error_code ec;
    std::filesystem::remove_all(dir_, ec);
  }
  ScratchDir(const ScratchDir&) = delete;
  ScratchDir& operator=(const ScratchDir&) = delete;

  const std::filesystem::path& path() const { return dir_; }

 private:
  std::filesystem::path dir_;
};

}  // namespace scratch_dir
