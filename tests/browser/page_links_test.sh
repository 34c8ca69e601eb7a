#!/usr/bin/env bash
# The pages link one another and fit a 1280 px window, in a real browser: after a session,
# rotorforge-plot, rotorforge-analyse and rotorforge-loads write their pages in that order, and
# each must link the two others; a study with a [loads] table, designs on a section whose polar
# holds filled angles and designs that do not hold must fit 1280 px, link every design's
# pictures and loads pages, and every link of every page must resolve.
#
#   page_links_test.sh BUILD_DIR SOURCE_DIR
set -euo pipefail
source "$(dirname "$0")/common.sh"
browser_test_start "$1" "$2" links
trap 'rm -rf "$work"' EXIT

session="$work/session"
new_session "$session"
(cd "$session" &&
 printf '3\n0.15\n1.5\n8\n0\n2\n5\n1\n1\n1\n3\n20\n5\n10\n0\n0\n' | "$build/rotorforge" > console.txt)
# The pictures first, the analysis of the session's blade between, the loads last: the first
# page learns of both others only from the list the later programs rewrite, the analysis page
# learns of the loads page that way, and the loads page finds both already written.
(cd "$session" && "$build/rotorforge-plot" > /dev/null &&
 "$build/rotorforge-analyse" --export --blades 3 -o blade-a.toml > /dev/null &&
 "$build/rotorforge-analyse" blade-a.toml > /dev/null &&
 "$build/rotorforge-loads" --blades 3 > /dev/null)

# A copy of SG6043 whose polar says it holds filled angles, beside the shipped sections.
data="$work/data"
mkdir -p "$data"
cp "$src"/Data/*.dat "$data/"
cp "$src/Data/sg6043.dat" "$data/sgcopy.dat"
cp "$src/Data/Liftsg6043.dat" "$data/Liftsgcopy.dat"
printf '# sgcopy\n42000 -10 35 not computed: the block of Re 160000\n83000 12 20 not converged: Viterna-Corrigan from 11 deg, as if the section stalled there\n' \
  > "$data/sgcopy.fill"
small_study "$data" $'[loads]\nclass = "II"\n' <<'TOML'
title = "wood or carbon, a section with filled data"
[rotor]
blades = [2, 3]
hub_radius = 0.15
tip_radius = 1.2
elements = 6
aerofoil = ["sg6043", "sgcopy"]
[blade]
type = "hollow"
wall_thickness = 3
material = ["wood", "carbon"]
TOML

node "$src/tests/browser/check_links.mjs" "$chromium" "$work/profile" \
  "$session/Result/plots/index.html" "$session/Result/loads/index.html" \
  "$session/Result/analysis/blade-a/index.html" "$work/study/index.html" |
  tee "$work/report.txt"
node -e '
  const lines = require("fs").readFileSync(process.argv[1], "utf8").trim().split("\n");
  const pages = lines.map((l) => JSON.parse(l));
  const fail = (why) => { console.error("FAIL: " + why); process.exitCode = 1; };
  if (pages.length !== 4) fail("pages checked: " + pages.length);
  for (const p of pages) {
    if (p.failure) { fail(p.failure); continue; }
    if (p.errors.length) fail(p.page + ": script errors " + JSON.stringify(p.errors));
    if (p.width > 1280) fail(p.page + ": " + p.width + " px wide at a 1280 px window");
    if (p.broken.length) fail(p.page + ": broken links " + JSON.stringify(p.broken));
    if (p.undrawn.length) fail(p.page + ": images not drawn " + JSON.stringify(p.undrawn));
  }
  const [plots, loads, analysis, study] = pages;
  const has = (p, end) => p.links.some((l) => l.endsWith(end));
  if (!has(plots, "/Result/loads/index.html")) fail("the picture page does not link the loads page");
  if (!has(plots, "/Result/analysis/blade-a/index.html")) fail("the picture page does not link the analysis");
  if (!has(loads, "/Result/plots/index.html")) fail("the loads page does not link the picture page");
  if (!has(loads, "/Result/analysis/blade-a/index.html")) fail("the loads page does not link the analysis");
  if (!has(analysis, "/Result/plots/index.html")) fail("the analysis page does not link the picture page");
  if (!has(analysis, "/Result/loads/index.html")) fail("the analysis page does not link the loads page");
  // The analysis page links its own tables as well as its siblings.
  if (!has(analysis, "/Result/analysis/blade-a/cp_tsr.csv")) fail("the analysis page lost its tables");
  const count = (re) => study.links.filter((l) => re.test(l)).length;
  const designs = 8;
  if (count(/designs\/[0-9a-f]+\/Result\/plots\/index.html$/) < designs) fail("study: picture pages not all linked");
  if (count(/designs\/[0-9a-f]+\/Result\/loads\/index.html$/) !== designs) fail("study: loads pages not all linked");
' "$work/report.txt"
