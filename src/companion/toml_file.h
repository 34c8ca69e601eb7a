// Reading a TOML file the user wrote, for the programs that take one (toml++): its document, or
// its syntax error as a problem; the line a node stands on.
#pragma once

#include <toml++/toml.h>

#include <algorithm>
#include <cctype>
#include <string>

#include "companion/file_problems.h"

namespace toml_file {

inline long line_of(const toml::node& n) {
  return static_cast<long>(n.source().begin.line);
}

// The document of `text` (`name` stands for the file). Text that is not TOML has one problem,
// its syntax error, and is thrown at once as Error(problems.take()).
template <typename Error>
toml::table parse(const std::string& text, const std::string& name,
                  file_problems::Problems& problems) {
  try {
    return toml::parse(text, name);
  } catch (const toml::parse_error& e) {
    problems.add(static_cast<long>(e.source().begin.line), std::string(e.description()));
  }
  throw Error(problems.take());
}

inline std::string lower(std::string s) {
  std::transform(s.begin(), s.end(), s.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return s;
}

}  // namespace toml_file
