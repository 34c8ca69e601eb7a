// The problems found in a file the user wrote (a study, a blade file): every one is reported at
// once, "FILE:LINE: message", in the order of the lines, rather than the first alone.
#pragma once

#include <algorithm>
#include <set>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace file_problems {

class Problems {
 public:
  explicit Problems(std::string name) : name_(std::move(name)) {}
  // A problem at `line` (0: of the whole file); the same problem at the same line is kept once.
  void add(long line, const std::string& what) {
    std::string p = name_;
    if (line > 0) p += ":" + std::to_string(line);
    p += ": " + what;
    if (seen_.insert(p).second) list_.push_back({line, std::move(p)});
  }
  bool empty() const { return list_.empty(); }
  // The problems in the order of their lines (a reader may find them in another order: tables
  // keep their keys sorted by name).
  std::vector<std::string> take() {
    std::stable_sort(list_.begin(), list_.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    std::vector<std::string> out;
    for (auto& p : list_) out.push_back(std::move(p.second));
    list_.clear();
    return out;
  }

 private:
  std::string name_;
  std::vector<std::pair<long, std::string>> list_;
  std::set<std::string> seen_;
};

// Thrown with every problem of a file; what() is the first (`otherwise` when there is none).
class Error : public std::runtime_error {
 public:
  Error(std::vector<std::string> problems, const char* otherwise)
      : std::runtime_error(problems.empty() ? std::string(otherwise) : problems.front()),
        problems_(std::move(problems)) {}
  const std::vector<std::string>& problems() const { return problems_; }

 private:
  std::vector<std::string> problems_;
};

}  // namespace file_problems
