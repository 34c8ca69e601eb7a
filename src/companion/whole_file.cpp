#include "companion/whole_file.h"

#include <fstream>
#include <iterator>
#include <stdexcept>

namespace whole_file {

std::string read(const std::filesystem::path& path, bool& found) {
  std::ifstream in(path, std::ios::binary);
  found = static_cast<bool>(in);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::string read(const std::filesystem::path& path) {
  bool found = false;
  return read(path, found);
}

void write(const std::filesystem::path& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary);
  out << text;
  out.close();
  if (!out) throw std::runtime_error(path.string() + ": cannot be written");
}

}  // namespace whole_file
