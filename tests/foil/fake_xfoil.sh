#!/bin/sh
# Stands in for XFOIL in the tests: reads the command stream from stdin and writes a polar save
# file of a made-up section (lift slope 0.11 per degree, stall at +12 and -8 degrees) for the
# ASEQ sweep asked for. Like XFOIL, it refers the lift to a chord of one whatever the loaded
# section's length, so a section in percent of chord gets a hundred times the lift.
# FAKE_XFOIL_FAIL_RE=N: write no point at Reynolds number N.
# FAKE_XFOIL_CL_SCALE=F: multiply every lift by F.
# FAKE_XFOIL_GAP=N:LO:HI: at Reynolds number N no angle strictly between LO and HI converges in
# a sweep going away from 0; one coming back towards 0 converges them.
# FAKE_XFOIL_DIP=N:A:D: at Reynolds number N the lift of the angles from A up to A + 1 is D lower
# (a laminar separation bubble); from A + 1.5 on it is back on its line.
# FAKE_XFOIL_STOP=N:A: at Reynolds number N no angle beyond A (away from 0) ever converges.
# FAKE_XFOIL_HANG=1: spin after the points (the CPU limit must stop it).
polar=""
re=0
want_name=0
seq=""
while IFS= read -r line; do
  if [ "$want_name" = 1 ]; then polar="$line"; want_name=0; continue; fi
  case "$line" in
    PACC) [ -z "$polar" ] && want_name=1 ;;
    "VISC "*) re=${line#VISC } ;;
    "ASEQ "*) seq="$seq${line#ASEQ }
" ;;
  esac
done
[ -n "$polar" ] || exit 3
chord=1
if [ -f section.dat ]; then
  chord=$(awk 'NR > 1 { if (n == 0 || $1 < lo) lo = $1; if (n == 0 || $1 > hi) hi = $1; ++n }
               END { print hi - lo }' section.dat)
fi
{
  i=0
  while [ $i -lt 11 ]; do echo " header line $i"; i=$((i + 1)); done
  echo "   alpha    CL        CD       CDp       CM     Top_Xtr  Bot_Xtr"
  echo "  ------ -------- --------- --------- -------- -------- --------"
  if [ "$re" != "${FAKE_XFOIL_FAIL_RE:-none}" ]; then
    printf '%s' "$seq" | awk -v scale="$chord" -v extra="${FAKE_XFOIL_CL_SCALE:-1}" \
        -v re="$re" -v gap="${FAKE_XFOIL_GAP:-0:0:0}" -v stop_at="${FAKE_XFOIL_STOP:-0:0}" \
        -v dip="${FAKE_XFOIL_DIP:-0:0:0}" '
    BEGIN { split(gap, g, ":"); split(stop_at, s, ":"); split(dip, d, ":") }
    NF == 3 {
      start = $1; stop = $2; step = $3; n = int((stop - start) / step + 0.5)
      for (i = 0; i <= n; ++i) {
        a = start + i * step
        outwards = (a > 0 && step > 0) || (a < 0 && step < 0)
        if (re == g[1] && outwards && a > g[2] + 1e-9 && a < g[3] - 1e-9) continue
        if (re == s[1] && ((s[2] > 0 && a > s[2] + 1e-9) || (s[2] < 0 && a < s[2] - 1e-9))) continue
        if (a > 12) cl = 1.32 - 0.1 * (a - 12)
        else if (a < -8) cl = -0.88 + 0.1 * (-8 - a)
        else cl = 0.11 * a
        if (re == d[1] && a > d[2] - 1e-9 && a < d[2] + 1.5 - 1e-9) cl -= d[3]
        cl *= scale * extra
        cd = 0.01 + 0.0005 * a * a
        printf "%8.3f %8.4f %9.5f   0.00500  -0.0500   0.5000   0.9000\n", a, cl, cd
      }
    }'
  fi
} > "$polar"
if [ -n "$FAKE_XFOIL_HANG" ]; then while :; do :; done; fi
exit 0
