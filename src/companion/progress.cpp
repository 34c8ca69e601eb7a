#include "companion/progress.h"

#include <cmath>
#include <cstdio>
#include <ostream>
#include <utility>

namespace progress {

std::string clock(double seconds) {
  const long s = std::lround(seconds);
  char buf[32];
  std::snprintf(buf, sizeof buf, "%ld:%02ld", s / 60, s % 60);
  return buf;
}

std::string line(const Style& style, std::size_t done, std::size_t total, double elapsed) {
  const std::size_t filled = total == 0 ? kWidth : done * kWidth / total;
  std::string text = "\r" + style.prefix + "[" + std::string(filled, '#') +
                     std::string(kWidth - filled, style.empty) + "] " + std::to_string(done) + "/" +
                     std::to_string(total) + style.unit;
  if (done > 0 && done < total) {
    const double left = elapsed / static_cast<double>(done) * static_cast<double>(total - done);
    return text + style.before_left + clock(left) + " left" + style.after_left;
  }
  return text + style.no_left;
}

Bar::Bar(std::ostream& out, bool shown, Style style, std::size_t total)
    : out_(out),
      shown_(shown),
      style_(std::move(style)),
      total_(total),
      start_(std::chrono::steady_clock::now()) {}

Bar::~Bar() {
  if (shown_ && !style_.at_end.empty()) out_ << style_.at_end << std::flush;
}

void Bar::start(std::size_t total, std::string prefix) {
  total_ = total;
  done_ = 0;
  style_.prefix = std::move(prefix);
  start_ = std::chrono::steady_clock::now();
}

void Bar::draw(std::size_t done) {
  done_ = done;
  if (!shown_) return;
  const double elapsed =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
  out_ << line(style_, done, total_, elapsed) << std::flush;
}

void Bar::update(std::size_t done) {
  if (done != done_) draw(done);
}

void Bar::erase() {
  if (shown_) out_ << "\r" << std::string(72, ' ') << "\r" << std::flush;
}

}  // namespace progress
