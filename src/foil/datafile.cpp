#include "foil/datafile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>

#include "foil/section.h"

namespace foil {

std::string significant(double v, int digits) {
  if (v == 0.0) return "0";
  const int exponent = static_cast<int>(std::floor(std::log10(std::abs(v))));
  const int decimals = digits - 1 - exponent;
  char buf[400];
  if (decimals >= 0) {
    // printf rounds the exact binary value to the nearest decimal, as the rounding itself does.
    std::snprintf(buf, sizeof buf, "%.*f", decimals, v);
  } else {
    const double unit = std::pow(10.0, -decimals);
    std::snprintf(buf, sizeof buf, "%.0f", std::nearbyint(v / unit) * unit);
  }
  std::string text(buf);
  if (text.find('.') != std::string::npos) {
    while (text.back() == '0') text.pop_back();
    if (text.back() == '.') text.pop_back();
  }
  if (text == "-0" || text.empty()) return "0";
  return text;
}

std::string coordinate(double v) {
  char buf[400];
  std::snprintf(buf, sizeof buf, "%.10f", v);
  const std::string text(buf);
  return text == "-0.0000000000" ? "0.0000000000" : text;
}

std::string outline_text(const Outline& outline) {
  std::string out;
  for (const auto* side : {&outline.lower, &outline.upper}) {
    for (const Point& p : *side) out += coordinate(p.x) + " " + coordinate(p.y) + "\n";
  }
  return out;
}

std::string polar_text(const Polar& polar) {
  std::string out;
  for (const Block& block : polar) {
    for (const Row& r : block) {
      out += std::to_string(r.alpha) + " " + significant(r.cl) + " " + significant(r.cd) + "\n";
    }
  }
  return out;
}

void write_files(const std::vector<FileText>& files) {
  std::vector<std::string> temps;
  auto drop_temps = [&temps] {
    for (const auto& t : temps) unlink(t.c_str());
  };
  for (const FileText& f : files) {
    std::string pattern = f.path + ".tmp-XXXXXX";
    const int fd = mkstemp(pattern.data());
    if (fd < 0) {
      const std::string why = std::strerror(errno);
      drop_temps();
      throw Error("cannot write " + f.path + ": " + why);
    }
    temps.push_back(pattern);
    std::size_t done = 0;
    while (done < f.text.size()) {
      const ssize_t n = write(fd, f.text.data() + done, f.text.size() - done);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) break;
      done += static_cast<std::size_t>(n);
    }
    const bool ok = done == f.text.size() && fchmod(fd, 0644) == 0 && fsync(fd) == 0;
    const std::string why = std::strerror(errno);
    if (close(fd) != 0 || !ok) {
      drop_temps();
      throw Error("cannot write " + f.path + ": " + why);
    }
  }
  for (std::size_t i = 0; i < files.size(); ++i) {
    if (std::rename(temps[i].c_str(), files[i].path.c_str()) != 0) {
      const std::string why = std::strerror(errno);
      drop_temps();
      throw Error("cannot write " + files[i].path + ": " + why);
    }
  }
}

}  // namespace foil
