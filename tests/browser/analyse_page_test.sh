#!/usr/bin/env bash
# The page of rotorforge-analyse in a real browser: after the README's example session, the
# session's blade is exported, analysed and reshaped for making, and a blade with a round root
# and two sections is analysed; both pages are loaded in headless Chromium: no script error,
# every chart drawn, the key figures on the page.
#
#   analyse_page_test.sh BUILD_DIR SOURCE_DIR
set -euo pipefail
source "$(dirname "$0")/common.sh"
browser_test_start "$1" "$2" analyse-browser
trap 'rm -rf "$work"' EXIT

session="$work/session"
new_session "$session"
(cd "$session" &&
 printf '3\n0.15\n1.5\n10\n0\n2\n5\n1\n1\n1\n3\n20\n5\n10\n0\n6\n0\n' |
   "$build/rotorforge" > console.txt)
(cd "$session" &&
 "$build/rotorforge-analyse" --export --blades 3 -o blade.toml > /dev/null &&
 "$build/rotorforge-analyse" blade.toml --linear-chord 0.5,0.9 --linear-twist 0.5,0.9 \
   --resisting-torque 0.5 > analyse.txt)
cat > "$session/root.toml" <<'TOML'
blades = 3
hub_radius = 0.1
[[station]]
r = 0.1
chord = 0.06
twist = 30
section = "cylinder"
[[station]]
r = 0.25
chord = 0.06
twist = 30
section = "cylinder"
[[station]]
r = 0.3
chord = 0.16
twist = 20
section = "naca4412"
[[station]]
r = 1.5
chord = 0.03
twist = -1
section = "sg6043"
TOML
(cd "$session" && "$build/rotorforge-analyse" root.toml > /dev/null)

grep -q '% lost' "$session/analyse.txt"
for page in blade root; do
  grep -q 'best CP' "$session/Result/analysis/$page/index.html"
done
grep -q 'Reshaped for making' "$session/Result/analysis/blade/index.html"

node "$src/tests/browser/check_pages.mjs" "$chromium" "$work/profile" \
  "$session/Result/analysis/blade/index.html" "$session/Result/analysis/root/index.html" |
  tee "$work/report.txt"
node -e '
  const lines = require("fs").readFileSync(process.argv[1], "utf8").trim().split("\n");
  const pages = lines.map((l) => JSON.parse(l));
  let bad = pages.length !== 2;
  for (const p of pages) {
    if (p.failure || p.errors.length || p.images !== 7 || p.undrawn.length) bad = true;
  }
  process.exit(bad ? 1 : 0);
' "$work/report.txt"
