#include "foil/section.h"

#include <cctype>
#include <cmath>
#include <cstdlib>
#include <string>

namespace foil {

namespace {

std::string_view trim(std::string_view s) {
  const auto first = s.find_first_not_of(" \t\r\n");
  if (first == std::string_view::npos) return {};
  const auto last = s.find_last_not_of(" \t\r\n");
  return s.substr(first, last - first + 1);
}

std::vector<std::string_view> words(std::string_view line) {
  std::vector<std::string_view> out;
  std::size_t i = 0;
  while (i < line.size()) {
    while (i < line.size() && (line[i] == ' ' || line[i] == '\t' || line[i] == ',')) ++i;
    std::size_t j = i;
    while (j < line.size() && line[j] != ' ' && line[j] != '\t' && line[j] != ',') ++j;
    if (j > i) out.push_back(line.substr(i, j - i));
    i = j;
  }
  return out;
}

// A whole word read as a finite number ("1.", ".5", "-.004677", "1e-3").
bool number(std::string_view word, double& value) {
  const std::string text(word);
  char* end = nullptr;
  const double v = std::strtod(text.c_str(), &end);
  if (end != text.c_str() + text.size() || !std::isfinite(v)) return false;
  // strtod also takes hexadecimal numbers and "infinity"; a coordinate file holds neither.
  for (char c : text) {
    if (!(std::isdigit(static_cast<unsigned char>(c)) || c == '.' || c == '-' || c == '+' ||
          c == 'e' || c == 'E')) {
      return false;
    }
  }
  value = v;
  return true;
}

struct Line {
  int number = 0;  // 1-based line of the file
  std::string_view text;
};

// A line of exactly two numbers.
bool pair(const Line& line, double& a, double& b, std::vector<std::string_view>* texts = nullptr) {
  const auto w = words(line.text);
  if (w.size() != 2 || !number(w[0], a) || !number(w[1], b)) return false;
  if (texts != nullptr) *texts = w;
  return true;
}

[[noreturn]] void bad_line(const Line& line) {
  std::string shown(line.text.substr(0, 40));
  throw Error("line " + std::to_string(line.number) + " is not a pair of numbers x y: \"" + shown +
              (line.text.size() > 40 ? "...\"" : "\""));
}

}  // namespace

Section read_section(std::string_view text) {
  std::vector<Line> lines;  // the non-blank lines
  int number = 0;
  while (!text.empty()) {
    const auto nl = text.find('\n');
    const std::string_view line = text.substr(0, nl);
    ++number;
    const std::string_view t = trim(line);
    if (!t.empty()) lines.push_back({number, t});
    if (nl == std::string_view::npos) break;
    text.remove_prefix(nl + 1);
  }
  Section section;
  std::size_t first = 0;
  double a = 0.0, b = 0.0;
  if (!lines.empty() && !pair(lines[0], a, b)) {
    section.title = std::string(lines[0].text);
    first = 1;
  }
  if (first == lines.size()) throw Error("no coordinates in the file");

  struct Raw {
    Point p;
    std::string x, y;
  };
  std::vector<Raw> raw;
  auto read_points = [&](std::size_t from, std::size_t to) {
    for (std::size_t i = from; i < to; ++i) {
      std::vector<std::string_view> texts;
      double x = 0.0, y = 0.0;
      if (!pair(lines[i], x, y, &texts)) bad_line(lines[i]);
      raw.push_back({{x, y}, std::string(texts[0]), std::string(texts[1])});
    }
  };

  // Lednicer files give the two point counts first: whole numbers far above any coordinate of a
  // section of unit chord.
  if (!pair(lines[first], a, b)) bad_line(lines[first]);
  const bool counts =
      a >= 2.0 && b >= 2.0 && a == std::floor(a) && b == std::floor(b) && a < 1.0e6 && b < 1.0e6;
  if (counts) {
    section.lednicer = true;
    const std::size_t upper = static_cast<std::size_t>(a);
    const std::size_t lower = static_cast<std::size_t>(b);
    const std::size_t held = lines.size() - first - 1;
    if (held != upper + lower) {
      throw Error("the point counts on line " + std::to_string(lines[first].number) + " say " +
                  std::to_string(upper) + " + " + std::to_string(lower) +
                  " points, the file holds " + std::to_string(held));
    }
    read_points(first + 1, lines.size());
    // Upper side from the trailing edge to the leading edge, then the lower side onwards; a
    // leading-edge point given on both sides is taken once.
    std::vector<Raw> selig(raw.rbegin() + static_cast<std::ptrdiff_t>(lower), raw.rend());
    std::size_t start = upper;
    if (lower > 0 && raw[upper].p.x == raw[0].p.x && raw[upper].p.y == raw[0].p.y) ++start;
    selig.insert(selig.end(), raw.begin() + static_cast<std::ptrdiff_t>(start), raw.end());
    raw = std::move(selig);
  } else {
    read_points(first, lines.size());
  }

  if (raw.size() < kFewestPoints) {
    throw Error("too few points: " + std::to_string(raw.size()) + " (a section needs at least " +
                std::to_string(kFewestPoints) + ")");
  }
  for (const Raw& r : raw) {
    section.points.push_back(r.p);
    section.tokens.push_back(r.x);
    section.tokens.push_back(r.y);
  }
  return section;
}

std::string selig_text(const Section& section, std::string_view fallback_title) {
  std::string out(section.title.empty() ? fallback_title : std::string_view(section.title));
  out += '\n';
  // XFOIL wants the contour anticlockwise (over the upper side to the nose first), as Selig
  // files list it; a file listing the lower side first is turned round. A point listed twice in
  // a row is given once (XFOIL's spline cannot pass a zero-length step).
  const auto& p = section.points;
  double twice_area = 0.0;
  for (std::size_t i = 0; i < p.size(); ++i) {
    const Point& a = p[i];
    const Point& b = p[(i + 1) % p.size()];
    twice_area += a.x * b.y - b.x * a.y;
  }
  const std::size_t n = p.size();
  for (std::size_t k = 0; k < n; ++k) {
    const std::size_t i = twice_area < 0.0 ? n - 1 - k : k;
    const std::size_t prev = twice_area < 0.0 ? i + 1 : i - 1;
    if (k > 0 && p[i].x == p[prev].x && p[i].y == p[prev].y) continue;
    out += "  " + section.tokens[2 * i] + "  " + section.tokens[2 * i + 1] + "\n";
  }
  return out;
}

bool parse_naca4(std::string_view text, Naca4& naca) {
  std::string s;
  for (char c : text) {
    if (c != ' ') s += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  }
  if (s.size() != 8 || s.compare(0, 4, "naca") != 0) return false;
  for (std::size_t i = 4; i < 8; ++i) {
    if (!std::isdigit(static_cast<unsigned char>(s[i]))) return false;
  }
  Naca4 n;
  n.m = s[4] - '0';
  n.p = s[5] - '0';
  n.t = (s[6] - '0') * 10 + (s[7] - '0');
  n.digits = s.substr(4);
  // A cambered section needs the camber's position; a section needs thickness.
  if (n.t == 0 || (n.m != 0 && n.p == 0)) return false;
  naca = n;
  return true;
}

std::string file_name_of(std::string_view text) {
  std::string out;
  for (char c : text) {
    const char l = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if ((l >= 'a' && l <= 'z') || (l >= '0' && l <= '9') || l == '-' || l == '_' || l == '.') {
      out += l;
    }
    if (out.size() == 40) break;
  }
  while (!out.empty() && out.front() == '.') out.erase(out.begin());
  return out;
}

}  // namespace foil
