#!/usr/bin/env bash
# rotorforge-studio's page in a real browser: a studio over a fresh folder, the page driven in
# headless Chromium (check_studio.mjs: the form, the README's example design, its curves and
# 3-D blade, its loads and its analysis' CP-tsr chart, a second design and the comparison, no
# script error); then the example's files made through the page are compared, byte for byte,
# with those of the console session with the same answers. Writes the page's screenshot to
# SCREENSHOT when given (docs/studio.png).
#
#   studio_page_test.sh BUILD_DIR SOURCE_DIR [SCREENSHOT]
set -euo pipefail
source "$(dirname "$0")/common.sh"
browser_test_start "$1" "$2" studio
shot=${3:-}
studio_pid=
cleanup() {
  if [ -n "$studio_pid" ]; then kill -INT "$studio_pid" 2>/dev/null || true; wait "$studio_pid" || true; fi
  rm -rf "$work"
}
trap cleanup EXIT

"$build/rotorforge-studio" "$work/designs" --port 0 > "$work/studio.txt" 2> "$work/studio-err.txt" &
studio_pid=$!
for _ in $(seq 100); do grep -q 'token=' "$work/studio.txt" 2>/dev/null && break; sleep 0.1; done
url=$(grep -o 'http://127.0.0.1:[0-9]*/?token=[0-9a-f]*' "$work/studio.txt")

node "$src/tests/browser/check_studio.mjs" "$chromium" "$work/profile" "$url" "$work/studio.png" |
  tee "$work/report.txt"
node -e '
  const r = JSON.parse(require("fs").readFileSync(process.argv[1], "utf8"));
  const problems = [];
  if (r.failure) problems.push(r.failure);
  if (r.errors && r.errors.length) problems.push("script errors: " + r.errors.join("; "));
  if (!/comma/.test(r.comma) || !r.comma_blocks) problems.push("the comma was not refused: " + r.comma);
  if (r.range !== "Ucin must be greater than 0; please enter it again.") problems.push("range: " + r.range);
  if (r.messages_left !== "") problems.push("messages left on a good form: " + r.messages_left);
  if (!(r.blade && r.blade.share > 0.01)) problems.push("the 3-D canvas is blank: " + JSON.stringify(r.blade));
  if (!(r.passes >= 2)) problems.push("no optimiser progress shown");
  if (r.geometry_rows !== 12) problems.push("geometry rows: " + r.geometry_rows);
  for (const f of ["Result/blade.stl", "Result/Geometry.out", "Result/loads/rotor.csv"]) {
    if (!(r.downloads || []).includes(f)) problems.push("no download of " + f);
  }
  if (!(r.differences || []).some((d) => d.startsWith("Number of blades"))) problems.push("no difference in blades shown");
  if (!r.analysis_drawn) problems.push("the CP-tsr chart of the analysis is not drawn");
  if (!/^Best CP 0\.4545 at tip speed ratio 8\.75 \(wind 8\.00 m\/s; the sweeps above follow the wind\)\. See the analysis page/.test(r.analysis || ""))
    problems.push("analysis: " + r.analysis);
  if (!/\/files\/Result\/analysis\/blade\/index\.html$/.test(r.analysis_link || ""))
    problems.push("analysis link: " + r.analysis_link);
  if (!/^200 text\/html/.test(r.analysis_status || "")) problems.push("the analysis page: " + r.analysis_status);
  if (problems.length) { console.error(problems.join("\n")); process.exit(1); }
' "$work/report.txt"

# The example made in the page against the console session with the same answers.
first=$(node -e 'console.log(JSON.parse(require("fs").readFileSync(process.argv[1], "utf8")).first)' "$work/report.txt")
console="$work/console"
new_session "$console"
(cd "$console" && printf '3\n0.15\n1.5\n10\n0\n2\n5\n1\n1\n1\n3\n20\n5\n10\n0\n6\n0\n' | "$build/rotorforge" > /dev/null)
for f in Result/Geometry.out Result/Energy1.out Result/Energy2.out Result/Energy3.out \
         Result/Energy4.out Result/Performance.out Result/3dgeo.dat Result/blade.stl; do
  cmp "$console/$f" "$work/designs/$first/$f"
done
# The analysis of the blade beside them, in Result/analysis/blade/, gives the session's energy
# table again.
cmp "$console/Result/Energy1.out" "$work/designs/$first/Result/analysis/blade/energy1.out"
echo "the page's example design matches the console session byte for byte"
if [ -n "$shot" ]; then cp "$work/studio.png" "$shot"; fi
