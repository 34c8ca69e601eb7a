#include "util/earlier_files.h"

#include "util/files.h"

namespace earlier_files {

namespace fs = std::filesystem;

std::string earlier_name(std::string_view path, int n) {
  const std::size_t slash = path.find_last_of('/');
  const std::size_t dot = path.find_last_of('.');
  // A name without an extension (or a dot only in a folder's name) takes the mark at its end.
  const std::size_t at =
      (dot == std::string_view::npos || (slash != std::string_view::npos && dot < slash))
          ? path.size()
          : dot;
  std::string name(path.substr(0, at));
  name.append(files::kEarlierMark).append(std::to_string(n)).append(path.substr(at));
  return name;
}

std::vector<Renamed> keep_as_earlier(const fs::path& dir) {
  std::vector<Renamed> renamed;
  for (const char* made : files::kMadeFiles) {
    if (fs::exists(dir / made)) renamed.push_back({made, ""});
  }
  if (renamed.empty()) return renamed;
  int n = 1;
  const auto taken = [&](int k) {
    for (const char* made : files::kMadeFiles) {
      if (fs::exists(dir / earlier_name(made, k))) return true;
    }
    return false;
  };
  while (taken(n)) ++n;
  for (Renamed& r : renamed) {
    r.to = earlier_name(r.from, n);
    fs::rename(dir / r.from, dir / r.to);
  }
  return renamed;
}

}  // namespace earlier_files
