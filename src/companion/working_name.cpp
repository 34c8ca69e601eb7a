#include "companion/working_name.h"

#include <cstdio>

namespace working_name {

std::uint64_t fingerprint(std::string_view bytes) {
  std::uint64_t h = 14695981039346656037ull;  // FNV-1a offset basis
  for (unsigned char c : bytes) {
    h ^= c;
    h *= 1099511628211ull;  // FNV prime
  }
  return h;
}

std::string record(std::string_view name, std::string_view polar) {
  char hex[17];
  std::snprintf(hex, sizeof hex, "%016llx", static_cast<unsigned long long>(fingerprint(polar)));
  return std::string(name) + "\n" + hex + "\n";
}

std::string name_of(std::string_view record_text, std::string_view polar) {
  const auto nl = record_text.find('\n');
  if (nl == std::string_view::npos || nl == 0) return "";
  const std::string_view name = record_text.substr(0, nl);
  return record_text == record(name, polar) ? std::string(name) : "";
}

}  // namespace working_name
