// The records of a text or a text file as the tests compare them (the lines without their line
// ends), and counting a piece of text in a file's content.
#pragma once

#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

#include "support/workdir.h"

namespace support {

enum class LineEnds {
  Any,   // LF or CR LF; a last line without a line end counts as a record too
  CrLf,  // every record must end in CR LF: anything else throws std::runtime_error
};

// The records of `text` (`name` says whose in the error).
inline std::vector<std::string> text_records(const std::string& text, LineEnds ends = LineEnds::Any,
                                             const std::string& name = "text") {
  std::vector<std::string> out;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find('\n', start);
    const bool crlf = end != std::string::npos && end > start && text[end - 1] == '\r';
    if (ends == LineEnds::CrLf && !crlf) {
      throw std::runtime_error(name + ": a record without CR LF");
    }
    if (end == std::string::npos) end = text.size();
    out.push_back(text.substr(start, end - start - (crlf ? 1 : 0)));
    start = end + 1;
  }
  return out;
}

// The records of the file at `path`.
inline std::vector<std::string> records(const std::filesystem::path& path,
                                        LineEnds ends = LineEnds::Any) {
  return text_records(slurp(path), ends, path.string());
}

// How often `part` occurs in `text`, overlapping occurrences included.
inline std::size_t occurrences(const std::string& text, const std::string& part) {
  std::size_t n = 0;
  for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) {
    ++n;
  }
  return n;
}

}  // namespace support
