#!/usr/bin/env bash
# The three pages in a real browser: after the README's example session (with a pitch sweep),
# rotorforge-plot's page, rotorforge-loads' page and the page of a small study are loaded in
# headless Chromium: no script error, every chart drawn, the study table sorted by a click.
#
#   browser_pages_test.sh BUILD_DIR SOURCE_DIR
set -euo pipefail
source "$(dirname "$0")/common.sh"
browser_test_start "$1" "$2" browser
trap 'rm -rf "$work"' EXIT

session="$work/session"
new_session "$session"
site='3\n20\n5\n10\n0\n'
(cd "$session" &&
 printf "3\n0.15\n1.5\n10\n0\n2\n5\n1\n1\n1\n${site}4\n${site}300\n1500\n0\n" |
   "$build/rotorforge" > console.txt)
(cd "$session" && "$build/rotorforge-plot" > /dev/null && "$build/rotorforge-loads" --blades 3 > /dev/null)

small_study "$session/Data" <<'TOML'
title = "2 or 3 blades, 1.2 or 1.5 m"
[rotor]
blades = [2, 3]
hub_radius = 0.15
tip_radius = [1.2, 1.5]
elements = 8
aerofoil = "sg6043"
TOML

node "$src/tests/browser/check_pages.mjs" "$chromium" "$work/profile" \
  "$session/Result/plots/index.html" "$session/Result/loads/index.html" "$work/study/index.html" |
  tee "$work/report.txt"
# Every page: no script error, charts present and all drawn; the study's table sorted up by a
# click on a numeric heading of at least two values, and down by a second click.
node -e '
  const lines = require("fs").readFileSync(process.argv[1], "utf8").trim().split("\n");
  const pages = lines.map((l) => JSON.parse(l));
  let bad = pages.length !== 3;
  for (const p of pages) {
    if (p.failure || p.errors.length || p.images === 0 || p.undrawn.length) bad = true;
  }
  const sorted = pages.filter((p) => p.sort);
  const t = sorted.length === 1 ? sorted[0].sort : {};
  if (!(t.rows >= 2 && t.distinct >= 2 && t.ascending && t.descending && t.same_cells)) bad = true;
  process.exit(bad ? 1 : 0);
' "$work/report.txt"
