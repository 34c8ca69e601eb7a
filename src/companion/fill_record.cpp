#include "companion/fill_record.h"

#include <cstdio>
#include <stdexcept>

#include "companion/whole_file.h"
#include "util/files.h"

namespace fill_record {

std::filesystem::path path(const std::filesystem::path& data_dir, std::string_view name) {
  return data_dir / (std::string(name) + std::string(files::kFillExtension));
}

std::string text(std::string_view name, const std::vector<Fill>& fills) {
  if (fills.empty()) return "";
  std::string out = "# " + std::string(name) +
                    ": angles of the polar that no converged XFOIL point gave (Reynolds number, "
                    "first and last angle in deg, how they were filled)\n";
  for (const Fill& f : fills) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%d %d %d ", f.reynolds, f.first, f.last);
    out += buf + f.how + "\n";
  }
  return out;
}

std::vector<Fill> parse(std::string_view text) {
  std::vector<Fill> fills;
  int number = 0;
  while (!text.empty()) {
    const auto nl = text.find('\n');
    std::string line(text.substr(0, nl));
    text.remove_prefix(nl == std::string_view::npos ? text.size() : nl + 1);
    ++number;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty() || line[0] == '#') continue;
    Fill f;
    int used = 0;
    if (std::sscanf(line.c_str(), "%d %d %d %n", &f.reynolds, &f.first, &f.last, &used) != 3 ||
        used == 0 || f.reynolds <= 0 || f.first > f.last ||
        static_cast<std::size_t>(used) >= line.size()) {
      throw std::runtime_error("line " + std::to_string(number) +
                               " is not \"REYNOLDS FIRST LAST how\"");
    }
    f.how = line.substr(static_cast<std::size_t>(used));
    fills.push_back(f);
  }
  return fills;
}

std::vector<Fill> read(const std::filesystem::path& data_dir, std::string_view name) {
  const std::filesystem::path file = path(data_dir, name);
  bool found = false;
  const std::string content = whole_file::read(file, found);
  if (!found) return {};
  try {
    return parse(content);
  } catch (const std::runtime_error& e) {
    throw std::runtime_error(file.string() + ": " + e.what());
  }
}

bool copied(const Fill& fill) {
  return std::string_view(fill.how).starts_with(kNotComputed);
}

bool any_at(const std::vector<Fill>& fills, int reynolds) {
  for (const Fill& f : fills) {
    if (f.reynolds == reynolds) return true;
  }
  return false;
}

std::string describe(const Fill& fill) {
  const std::string angles = fill.first == fill.last ? std::to_string(fill.first) + " deg"
                                                     : std::to_string(fill.first) + ".." +
                                                           std::to_string(fill.last) + " deg";
  return "Re " + std::to_string(fill.reynolds) + ": " + angles + " " + fill.how;
}

std::string sentence(const Fill& fill) {
  const std::string angles = fill.first == fill.last ? std::to_string(fill.first) + " deg"
                                                     : std::to_string(fill.first) + ".." +
                                                           std::to_string(fill.last) + " deg";
  const std::string re = "Re " + std::to_string(fill.reynolds) + ": ";
  if (copied(fill)) {
    std::string_view rest = std::string_view(fill.how).substr(kNotComputed.size());
    while (!rest.empty() && (rest.front() == ':' || rest.front() == ' ')) rest.remove_prefix(1);
    return re + "not computed by XFOIL" +
           (rest.empty() ? std::string() : ", copied from " + std::string(rest)) + " (" + angles +
           ")";
  }
  return re + angles + " filled: " + fill.how;
}

}  // namespace fill_record
