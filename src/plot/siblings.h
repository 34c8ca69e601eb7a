// The pages a session's programs write under Result/ link one another: the pictures
// (rotorforge-plot), the loads (rotorforge-loads) and every analysis (Result/analysis/NAME/).
// Each page carries a bar of links to the sibling pages that exist when it is written, and
// loads Result/pages/links.js, which every program rewrites after writing its page, so that a page
// written first also links the pages written after it.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace plot {

// One page of a session: its path relative to Result/ and its name in the bar of links.
struct SiblingPage {
  std::string path;  // e.g. "plots/index.html"
  std::string name;  // e.g. "pictures"
};

// The session pages under dir/Result that exist now: pictures, loads, then the analyses in the
// order of their names.
std::vector<SiblingPage> sibling_pages(const std::filesystem::path& dir);

// `pages` with `page` among them (the page being written, which may not exist yet), in the
// order sibling_pages gives.
std::vector<SiblingPage> with_page(std::vector<SiblingPage> pages, const SiblingPage& page);

// The bar of links of the page `self` (its path relative to Result/, e.g. "loads/index.html"),
// given the pages that exist: a link to each other page, the page itself in bold, and the
// script that brings the bar up to date. "" when there is no other page.
std::string sibling_nav(const std::vector<SiblingPage>& pages, std::string_view self);

// Result/pages/links.js for these pages.
std::string pages_script(const std::vector<SiblingPage>& pages);

// Rewrites dir/Result/pages/links.js from the pages that exist now; a file that cannot be written
// leaves the bars as their pages were written (returns false).
bool write_pages_script(const std::filesystem::path& dir);

}  // namespace plot
