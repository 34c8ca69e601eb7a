#include "plot/siblings.h"

#include <algorithm>
#include <exception>
#include <system_error>

#include "companion/whole_file.h"
#include "plot/svg.h"

namespace plot {

namespace fs = std::filesystem;

namespace {

// Beside the pages, in a folder of its own under Result/ (rotorforge's own files are the
// ones directly in Result/).
constexpr const char* kScript = "pages/links.js";

// How far a page lies below Result/: "../" per folder of its path.
std::string up_to_result(std::string_view self) {
  std::string up;
  for (char c : self) {
    if (c == '/') up += "../";
  }
  return up;
}

// A text as a JavaScript string literal (between double quotes), safe inside a script element.
std::string js_string(std::string_view text) {
  static constexpr Escape kJs[] = {{'"', "\\\""}, {'\\', "\\\\"}, {'<', "\\u003c"}, {'\n', "\\n"}};
  return "\"" + escaped(text, kJs) + "\"";
}

}  // namespace

std::vector<SiblingPage> sibling_pages(const fs::path& dir) {
  std::vector<SiblingPage> pages;
  const fs::path result = dir / "Result";
  std::error_code ec;
  if (fs::is_regular_file(result / "plots" / "index.html", ec)) {
    pages.push_back({"plots/index.html", "pictures"});
  }
  if (fs::is_regular_file(result / "loads" / "index.html", ec)) {
    pages.push_back({"loads/index.html", "loads"});
  }
  std::vector<std::string> analyses;
  for (fs::directory_iterator it(result / "analysis", ec), end; !ec && it != end;
       it.increment(ec)) {
    const std::string name = it->path().filename().string();
    std::error_code fe;
    if (fs::is_regular_file(it->path() / "index.html", fe)) analyses.push_back(name);
  }
  std::sort(analyses.begin(), analyses.end());
  for (const std::string& a : analyses) {
    pages.push_back({"analysis/" + a + "/index.html", "analysis " + a});
  }
  return pages;
}

std::vector<SiblingPage> with_page(std::vector<SiblingPage> pages, const SiblingPage& page) {
  for (const SiblingPage& p : pages) {
    if (p.path == page.path) return pages;
  }
  pages.push_back(page);
  const auto rank = [](const SiblingPage& p) {
    return p.path == "plots/index.html" ? 0 : p.path == "loads/index.html" ? 1 : 2;
  };
  std::stable_sort(pages.begin(), pages.end(), [&](const SiblingPage& a, const SiblingPage& b) {
    return rank(a) != rank(b) ? rank(a) < rank(b) : (rank(a) == 2 && a.path < b.path);
  });
  return pages;
}

std::string sibling_nav(const std::vector<SiblingPage>& pages, std::string_view self) {
  const std::string up = up_to_result(self);
  std::string links;
  std::size_t others = 0;
  for (const SiblingPage& p : pages) {
    links += links.empty() ? "" : " \u00b7 ";
    if (p.path == self) {
      links += "<b>" + escape_xml(p.name) + "</b>";
    } else {
      links += "<a href=\"" + escape_xml(up + p.path) + "\">" + escape_xml(p.name) + "</a>";
      ++others;
    }
  }
  if (others == 0) links = "<b>this page</b>";
  return "<nav class=\"siblings\" data-self=\"" + escape_xml(self) + "\" data-up=\"" +
         escape_xml(up) + "\">Pages of this session: " + links + "</nav>\n<script src=\"" +
         escape_xml(up) + kScript + "\"></script>\n";
}

std::string pages_script(const std::vector<SiblingPage>& pages) {
  std::string list;
  for (const SiblingPage& p : pages) {
    list += (list.empty() ? "" : ", ") + std::string("[") + js_string(p.path) + ", " +
            js_string(escape_xml(p.name)) + "]";
  }
  return "// The pages of this session, rewritten by every program that writes one: each page's\n"
         "// bar of links is drawn from this list.\n"
         "(function () {\n"
         "  var pages = [" +
         list +
         "];\n"
         "  function esc(t) {\n"
         "    return t.replace(/&/g, '&amp;').replace(/</g, '&lt;').replace(/>/g, '&gt;')\n"
         "            .replace(/\"/g, '&quot;');\n"
         "  }\n"
         "  document.querySelectorAll('nav.siblings').forEach(function (nav) {\n"
         "    var self = nav.dataset.self, up = nav.dataset.up;\n"
         "    nav.innerHTML = 'Pages of this session: ' + pages.map(function (p) {\n"
         "      return p[0] === self ? '<b>' + p[1] + '</b>'\n"
         "                           : '<a href=\"' + esc(up + p[0]) + '\">' + p[1] + '</a>';\n"
         "    }).join(' \\u00b7 ');\n"
         "  });\n"
         "})();\n";
}

bool write_pages_script(const fs::path& dir) {
  try {
    std::filesystem::create_directories(dir / "Result" / "pages");
    whole_file::write(dir / "Result" / kScript, pages_script(sibling_pages(dir)));
    return true;
  } catch (const std::exception&) {
    return false;
  }
}

}  // namespace plot
