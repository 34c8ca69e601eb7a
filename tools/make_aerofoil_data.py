#!/usr/bin/env python3
"""Regenerate the aerofoil data files shipped in Data/.

Writes, for NACA 4412, SG6043 and NACA 4432:

  Data/<name>.dat      outline: 100 records "x y"; records 1-50 lower side,
                       records 51-100 upper side, both from the leading edge
                       (x = 0) to the trailing edge (x = 1) on the same 50
                       cosine-spaced stations.
  Data/Lift<name>.dat  polar: 322 records "angle Cl Cd"; 7 blocks of 46 rows
                       (-10 ... 35 deg), one block per Reynolds number,
                       lowest Reynolds number first.

Outlines come from the NACA 4-digit equations (closed trailing edge) and from
the UIUC SG6043 coordinates.  Polars come from XFOIL viscous sweeps, matched at
stall and extended to -10 and 35 degrees with the Viterna-Corrigan method.
Data/README.md describes every step and setting.

Usage:  python3 tools/make_aerofoil_data.py [--xfoil-route auto|preload|xvfb]
                                            [--jobs N] [--keep-scratch]
Needs:  Python 3 (standard library), XFOIL (Debian package "xfoil"), and
        either a C compiler (cc/gcc, for the preload route) or xvfb-run
        (Debian packages "xvfb" and "xauth", for the xvfb route).
"""

import argparse
import hashlib
import math
import os
import shutil
import signal
import subprocess
import sys
import tempfile
import time
from concurrent.futures import ThreadPoolExecutor

REPO = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
DATA_DIR = os.path.join(REPO, "Data")

# Reynolds numbers of the seven polar blocks, in file order.
REYNOLDS = [42000, 83000, 160000, 330000, 640000, 1200000, 2400000]
# Angles of attack of the 46 rows of every block (degrees).
TABLE_ANGLES = list(range(-10, 36))
# Number of outline stations per side.
N_STATIONS = 50

# XFOIL settings.
NCRIT = 9
PANELS = 160                # base panelling (PANE, default node count)
PANELS_FINE = 240           # fallback B panelling
ITER = 100
STEP = 0.5                  # base sweep step (degrees)
STEP_FINE = 0.25            # fallback B sweep step
UP_END = 22.0               # up sweep 0 -> UP_END
DOWN_END = -15.0            # down sweep -STEP -> DOWN_END
CPU_LIMIT = 30              # CPU seconds per XFOIL process (hang guard)
WALL_LIMIT = 300.0          # wall-clock seconds per XFOIL process (last resort)
MAX_JOBS = 2                # XFOIL processes at once

# Post-processing settings.
MAX_GAP = 1.0               # largest gap (deg) still counted as contiguous
STALL_DROP = 0.05           # CL drop that confirms stall
ALPHA_CAP = 20.0            # XFOIL points above this angle are never used
UP_WANTED = 20.0            # an up sweep that reaches this needs no fallback
DOWN_WANTED = -10.0         # a down sweep that reaches this needs no fallback
ASPECT_RATIO = 10.0         # Viterna-Corrigan aspect ratio
CD_MAX = 1.11 + 0.018 * ASPECT_RATIO if ASPECT_RATIO <= 50 else 2.01

# SG6043 coordinates, verbatim copy of the UIUC Airfoil Coordinates Database
# file (Selig format, 1870 bytes, md5 below), as distributed in the public
# repository peterdsharpe/AeroSandbox, path
# aerosandbox/geometry/airfoil/airfoil_database/sg6043.dat, commit
# 0bbce26633b61575b9d4ed9ecdc72d064d8b9f2a.
SG6043_SELIG = """SG6043
    1.000000   .000000
     .998105   .000656
     .992735   .002712
     .984387   .006072
     .973434   .010465
     .960071   .015523
     .944288   .020916
     .925966   .026547
     .905161   .032475
     .882072   .038683
     .856884   .045099
     .829794   .051648
     .801008   .058240
     .770741   .064777
     .739215   .071138
     .706663   .077173
     .673195   .082684
     .638892   .087606
     .603962   .091903
     .568537   .095505
     .532761   .098415
     .496847   .100592
     .460955   .102010
     .425276   .102690
     .389995   .102599
     .355272   .101752
     .321306   .100174
     .288269   .097880
     .256330   .094905
     .225671   .091274
     .196447   .087021
     .168817   .082199
     .142926   .076839
     .118895   .070995
     .096866   .064730
     .076936   .058094
     .059198   .051170
     .043757   .043981
     .030622   .036590
     .019828   .029159
     .011416   .021706
     .005277   .014355
     .001496   .007410
     .000024   .000942
     .000588  -.004677
     .003930  -.008595
     .010772  -.011195
     .020868  -.013164
     .034086  -.014302
     .050504  -.014598
     .070145  -.014215
     .092915  -.013293
     .118637  -.011970
     .147117  -.010343
     .178147  -.008477
     .211498  -.006446
     .246927  -.004303
     .284172  -.002104
     .322960   .000114
     .363008   .002319
     .404014   .004498
     .445705   .006689
     .487849   .008933
     .530290   .011167
     .572862   .013270
     .615252   .015037
     .657041   .016351
     .697849   .017212
     .737347   .017604
     .775201   .017514
     .811085   .016945
     .844678   .015916
     .875671   .014467
     .903773   .012654
     .928712   .010558
     .950241   .008276
     .968141   .005908
     .982146   .003613
     .992088   .001700
     .998026   .000453
     .999999   .000000
"""
SG6043_MD5 = "54e02edccd34d3089139cb8ab9b6547e"

AEROFOILS = [
    # (file stem, XFOIL geometry, description)
    ("naca4412", "NACA 4412", "NACA 4412"),
    ("sg6043", "LOAD sg6043.dat", "SG6043"),
    ("naca4432", "NACA 4432", "NACA 4432"),
]


def log(msg):
    print(msg, flush=True)


# ---------------------------------------------------------------------------
# Number formatting
# ---------------------------------------------------------------------------

def fmt_sig(v, sig=6):
    """Plain decimal text of v rounded to `sig` significant digits."""
    if v == 0.0:
        return "0"
    exp = math.floor(math.log10(abs(v)))
    decimals = sig - 1 - exp
    r = round(v, decimals)
    if r == 0.0:
        return "0"
    text = "%.*f" % (max(decimals, 0), r)
    if "." in text:
        text = text.rstrip("0").rstrip(".")
    if text in ("-0", ""):
        text = "0"
    return text


def fmt_coord(v):
    text = "%.10f" % v
    return "0.0000000000" if text == "-0.0000000000" else text


# ---------------------------------------------------------------------------
# Outlines
# ---------------------------------------------------------------------------

def naca4_curve(code):
    """Parametric closed-TE NACA 4-digit section.

    Parameter u in [-1, 1]; camber-line station xc = u^2; u < 0 is the lower
    side, u > 0 the upper side.  Thickness is applied normal to the camber
    line.  Returns a function u -> (x, y) and the parameter interval.
    """
    m = int(code[0]) / 100.0
    p = int(code[1]) / 10.0
    t = int(code[2:]) / 100.0

    def point(u):
        xc = u * u
        yt = t / 0.2 * (0.2969 * math.sqrt(xc) - 0.1260 * xc - 0.3516 * xc ** 2
                        + 0.2843 * xc ** 3 - 0.1036 * xc ** 4)
        if m == 0.0:
            yc, dyc = 0.0, 0.0
        elif xc < p:
            yc = m / p ** 2 * (2 * p * xc - xc * xc)
            dyc = 2 * m / p ** 2 * (p - xc)
        else:
            yc = m / (1 - p) ** 2 * ((1 - 2 * p) + 2 * p * xc - xc * xc)
            dyc = 2 * m / (1 - p) ** 2 * (p - xc)
        th = math.atan(dyc)
        if u >= 0.0:
            return xc - yt * math.sin(th), yc + yt * math.cos(th)
        return xc + yt * math.sin(th), yc - yt * math.cos(th)

    return point, -1.0, 1.0


def natural_spline(s, v):
    """Second derivatives of the natural cubic spline through (s, v)."""
    n = len(s)
    a = [0.0] * n
    b = [1.0] * n
    c = [0.0] * n
    d = [0.0] * n
    for i in range(1, n - 1):
        h0 = s[i] - s[i - 1]
        h1 = s[i + 1] - s[i]
        a[i] = h0 / 6.0
        b[i] = (h0 + h1) / 3.0
        c[i] = h1 / 6.0
        d[i] = (v[i + 1] - v[i]) / h1 - (v[i] - v[i - 1]) / h0
    for i in range(1, n):          # Thomas algorithm
        w = a[i] / b[i - 1]
        b[i] -= w * c[i - 1]
        d[i] -= w * d[i - 1]
    m = [0.0] * n
    m[n - 1] = d[n - 1] / b[n - 1]
    for i in range(n - 2, -1, -1):
        m[i] = (d[i] - c[i] * m[i + 1]) / b[i]
    return m


def spline_eval(s, v, m, t):
    lo, hi = 0, len(s) - 1
    while hi - lo > 1:
        mid = (lo + hi) // 2
        if s[mid] <= t:
            lo = mid
        else:
            hi = mid
    h = s[hi] - s[lo]
    A = (s[hi] - t) / h
    B = (t - s[lo]) / h
    return (A * v[lo] + B * v[hi]
            + ((A ** 3 - A) * m[lo] + (B ** 3 - B) * m[hi]) * h * h / 6.0)


def selig_curve(text):
    """Cubic spline in arc length through Selig-format coordinates."""
    pts = []
    lines = text.splitlines()
    for line in lines[1:]:
        parts = line.split()
        if len(parts) >= 2:
            pts.append((float(parts[0]), float(parts[1])))
    s = [0.0]
    for i in range(1, len(pts)):
        s.append(s[-1] + math.hypot(pts[i][0] - pts[i - 1][0],
                                    pts[i][1] - pts[i - 1][1]))
    xs = [p[0] for p in pts]
    ys = [p[1] for p in pts]
    mx = natural_spline(s, xs)
    my = natural_spline(s, ys)

    def point(t):
        return spline_eval(s, xs, mx, t), spline_eval(s, ys, my, t)

    return point, s[0], s[-1]


def golden_min(f, a, b, iters=200):
    g = (math.sqrt(5.0) - 1.0) / 2.0
    c = b - g * (b - a)
    d = a + g * (b - a)
    fc, fd = f(c), f(d)
    for _ in range(iters):
        if fc < fd:
            b, d, fd = d, c, fc
            c = b - g * (b - a)
            fc = f(c)
        else:
            a, c, fc = c, d, fd
            d = a + g * (b - a)
            fd = f(d)
    return (a + b) / 2.0


def outline_from_curve(point, u0, u1):
    """Lower and upper point lists on the shared cosine stations."""
    # Leading edge: the point of minimum x.
    n = 4000
    us = [u0 + (u1 - u0) * i / n for i in range(n + 1)]
    i_min = min(range(n + 1), key=lambda i: point(us[i])[0])
    u_le = golden_min(lambda u: point(u)[0],
                      us[max(i_min - 1, 0)], us[min(i_min + 1, n)])
    x_le, y_le = point(u_le)
    xa, ya = point(u0)
    xb, yb = point(u1)
    x_te, y_te = (xa + xb) / 2.0, (ya + yb) / 2.0
    scale = x_te - x_le

    def norm(u):
        x, y = point(u)
        return (x - x_le) / scale, y / scale

    stations = [(1.0 - math.cos(math.pi * j / (N_STATIONS - 1))) / 2.0
                for j in range(N_STATIONS)]

    def branch(u_end):
        # x must grow monotonically from the LE towards this end.
        prev = -1.0
        for k in range(1, 2001):
            x = norm(u_le + (u_end - u_le) * k / 2000.0)[0]
            if x <= prev:
                raise RuntimeError("outline branch not monotonic in x")
            prev = x
        pts = []
        for xs in stations[1:-1]:
            lo, hi = u_le, u_end
            for _ in range(100):
                mid = (lo + hi) / 2.0
                if norm(mid)[0] < xs:
                    lo = mid
                else:
                    hi = mid
            u = (lo + hi) / 2.0
            pts.append((xs, norm(u)[1]))
        return pts

    side_a = branch(u0)
    side_b = branch(u1)
    le = (0.0, y_le / scale)
    te = (1.0, y_te / scale)
    side_a = [le] + side_a + [te]
    side_b = [le] + side_b + [te]
    if side_a[N_STATIONS // 2][1] > side_b[N_STATIONS // 2][1]:
        upper, lower = side_a, side_b
    else:
        upper, lower = side_b, side_a
    return lower, upper


def check_outline(name, lower, upper):
    assert len(lower) == len(upper) == N_STATIONS
    assert lower[0] == upper[0] and lower[-1] == upper[-1]
    for side in (lower, upper):
        for j in range(1, N_STATIONS):
            assert side[j][0] > side[j - 1][0], name + ": x not increasing"
    for j in range(1, N_STATIONS - 1):
        assert lower[j][0] == upper[j][0]
        assert upper[j][1] > lower[j][1], name + ": sides cross"


def outline_stats(lower, upper):
    thick = max(u[1] - l[1] for l, u in zip(lower, upper))
    camber = max((u[1] + l[1]) / 2.0 for l, u in zip(lower, upper))
    return thick, camber


def write_outline(stem, lower, upper):
    path = os.path.join(DATA_DIR, stem + ".dat")
    with open(path, "w") as f:
        for x, y in lower + upper:
            f.write("%s %s\n" % (fmt_coord(x), fmt_coord(y)))
    return path


# ---------------------------------------------------------------------------
# XFOIL runs
# ---------------------------------------------------------------------------

class Xfoil:
    def __init__(self, scratch, route):
        self.scratch = scratch
        self.exe = shutil.which("xfoil")
        if not self.exe:
            sys.exit("xfoil not found: apt-get install -y xfoil")
        cc = shutil.which("cc") or shutil.which("gcc")
        xvfb = shutil.which("xvfb-run")
        if route == "auto":
            route = "preload" if cc else "xvfb"
        if route == "preload":
            if not cc:
                sys.exit("preload route needs a C compiler (cc or gcc)")
            # The Debian build traps floating-point exceptions, which kills
            # it once graphics are switched off.  A no-op _gfortran_set_fpe
            # leaves the FPU in its default (non-trapping) state.
            src = os.path.join(scratch, "nofpe.c")
            with open(src, "w") as f:
                f.write("void _gfortran_set_fpe(int x) { (void)x; }\n")
            self.shim = os.path.join(scratch, "nofpe.so")
            subprocess.run([cc, "-shared", "-fPIC", "-O2", "-o", self.shim,
                            src], check=True)
        elif route == "xvfb":
            if not xvfb:
                sys.exit("xvfb route needs xvfb-run: apt-get install -y "
                         "xvfb xauth")
        else:
            sys.exit("unknown route " + route)
        self.route = route
        self.xvfb = xvfb

    def commands(self, geometry, re, direction, variant):
        step = STEP_FINE if variant == "B" else STEP
        lines = []
        if self.route == "preload":
            lines += ["PLOP", "G", ""]          # graphics off
        lines.append(geometry)
        if variant == "B":
            lines += ["PPAR", "N %d" % PANELS_FINE, "", ""]
        else:
            lines.append("PANE")
        lines += ["OPER", "VISC %d" % re, "VPAR", "N %d" % NCRIT]
        if variant == "A":
            lines.append("VACC 0")
        lines += ["", "ITER %d" % ITER, "PACC", "polar.txt", ""]
        if direction == "up":
            lines.append("ASEQ 0 %g %g" % (UP_END, step))
        else:
            lines.append("ASEQ %g %g %g" % (-step, DOWN_END, -step))
        lines += ["PACC", "", "QUIT"]
        return "\n".join(lines) + "\n"

    def run(self, job):
        """Run one sweep; returns (job, points, status, seconds)."""
        stem, geometry, re, direction, variant = job
        wd = os.path.join(self.scratch, "%s_%d_%s_%s" % (stem, re, direction,
                                                         variant))
        if os.path.isdir(wd):
            shutil.rmtree(wd)
        os.makedirs(wd)
        if stem == "sg6043":
            with open(os.path.join(wd, "sg6043.dat"), "w") as f:
                f.write(SG6043_SELIG)
        with open(os.path.join(wd, "cmds.in"), "w") as f:
            f.write(self.commands(geometry, re, direction, variant))
        env = dict(os.environ)
        env["GFORTRAN_UNBUFFERED_ALL"] = "1"
        # A hung XFOIL spins in a loop, so it is stopped by a CPU-time limit
        # rather than a wall-clock one: the outcome then does not depend on
        # how busy the machine is.
        limit = ["/bin/sh", "-c",
                 'ulimit -t %d; ulimit -c 0; exec "$0" "$@"' % CPU_LIMIT]
        if self.route == "preload":
            env["LD_PRELOAD"] = self.shim
            argv = limit + [self.exe]
        else:
            argv = [self.xvfb, "-a"] + limit + [self.exe]
        t0 = time.monotonic()
        with open(os.path.join(wd, "cmds.in")) as fin, \
                open(os.path.join(wd, "log.txt"), "w") as fout:
            proc = subprocess.Popen(argv, cwd=wd, stdin=fin, stdout=fout,
                                    stderr=subprocess.STDOUT, env=env,
                                    start_new_session=True)
            try:
                rc = proc.wait(timeout=WALL_LIMIT)
                if rc == 0:
                    status = "ok"
                elif rc in (-signal.SIGXCPU, -signal.SIGKILL):
                    status = "CPU limit"
                else:
                    status = "exit %d" % rc
            except subprocess.TimeoutExpired:
                os.killpg(proc.pid, signal.SIGKILL)
                proc.wait()
                status = "timeout"
        points = read_polar(os.path.join(wd, "polar.txt"))
        return job, points, status, time.monotonic() - t0


def read_polar(path):
    """{alpha: (cl, cd)} of the converged points of an XFOIL polar file."""
    pts = {}
    if not os.path.exists(path):
        return pts
    started = False
    with open(path) as f:
        for line in f:
            if line.strip().startswith("------"):
                started = True
                continue
            parts = line.split()
            if not started or len(parts) < 3:
                continue
            try:
                a, cl, cd = float(parts[0]), float(parts[1]), float(parts[2])
            except ValueError:
                continue
            if all(math.isfinite(v) for v in (a, cl, cd)) and cd > 0.0:
                pts.setdefault(round(a, 4), (cl, cd))
    return pts


# ---------------------------------------------------------------------------
# Post-processing
# ---------------------------------------------------------------------------

def contiguous(points, direction):
    """Points of one sweep from 0 outwards up to the first gap > MAX_GAP."""
    sign = 1.0 if direction == "up" else -1.0
    alphas = sorted((a for a in points if sign * a >= 0.0),
                    key=lambda a: sign * a)
    out = []
    last = 0.0
    for a in alphas:
        if abs(a - last) > MAX_GAP + 1e-9:
            break
        out.append(a)
        last = a
    return out


def stall(points, direction):
    """(match angle, confirmed, range end) for one side of a polar."""
    rng = contiguous(points, direction)
    if direction == "up":
        rng = [a for a in rng if a <= ALPHA_CAP + 1e-9]
    if not rng:
        return None, False, 0.0
    best = rng[0]
    confirmed = False
    for a in rng:
        cl = points[a][0]
        if direction == "up":
            if cl > points[best][0]:
                best = a
            elif cl <= points[best][0] - STALL_DROP:
                confirmed = True
                break
        else:
            if cl < points[best][0]:
                best = a
            elif cl >= points[best][0] + STALL_DROP:
                confirmed = True
                break
    return best, confirmed, rng[-1]


def side_ok(points, direction):
    a, confirmed, _ = stall(points, direction)
    if a is None:
        return False
    if confirmed:
        return True
    rng = contiguous(points, direction)
    return rng[-1] >= UP_WANTED if direction == "up" else rng[-1] <= DOWN_WANTED


def side_width(points, direction):
    rng = contiguous(points, direction)
    return abs(rng[-1]) if rng else -1.0


def viterna(alpha_s, cl_s, cd_s, alpha):
    """Viterna-Corrigan extrapolation from the match point (alpha_s, cl_s, cd_s)."""
    a_s = math.radians(alpha_s)
    a = math.radians(alpha)
    b1 = CD_MAX
    a1 = b1 / 2.0
    b2 = (cd_s - CD_MAX * math.sin(a_s) ** 2) / math.cos(a_s)
    a2 = ((cl_s - CD_MAX * math.sin(a_s) * math.cos(a_s)) * math.sin(a_s)
          / math.cos(a_s) ** 2)
    cl = a1 * math.sin(2 * a) + a2 * math.cos(a) ** 2 / math.sin(a)
    cd = b1 * math.sin(a) ** 2 + b2 * math.cos(a)
    return cl, cd


def build_column(up_pts, down_pts):
    """46 (angle, cl, cd) rows from the up and down sweeps of one Re."""
    pts = {}
    pts.update(down_pts)
    pts.update(up_pts)
    a_pos, conf_pos, _ = stall(up_pts, "up")
    down_with_zero = dict(down_pts)
    if 0.0 in up_pts:
        down_with_zero[0.0] = up_pts[0.0]
    a_neg, conf_neg, _ = stall(down_with_zero, "down")
    if a_pos is None or a_neg is None:
        raise RuntimeError("no converged points near 0 deg")
    used = sorted(a for a in set(contiguous(up_pts, "up"))
                  | set(contiguous(down_with_zero, "down"))
                  if a_neg - 1e-9 <= a <= a_pos + 1e-9)
    rows = []
    for alpha in TABLE_ANGLES:
        if alpha > a_pos:
            cl, cd = viterna(a_pos, pts[a_pos][0], pts[a_pos][1], alpha)
        elif alpha < a_neg:
            cl, cd = viterna(a_neg, pts[a_neg][0], pts[a_neg][1], alpha)
        else:
            k = 1
            while k < len(used) - 1 and used[k] < alpha:
                k += 1
            a0, a1 = used[k - 1], used[k]
            if abs(alpha - a0) < 1e-9:
                cl, cd = pts[a0]
            else:
                t = (alpha - a0) / (a1 - a0)
                cl = (1 - t) * pts[a0][0] + t * pts[a1][0]
                cd = (1 - t) * pts[a0][1] + t * pts[a1][1]
        rows.append((alpha, cl, cd))
    info = {"stall_pos": a_pos, "stall_pos_confirmed": conf_pos,
            "stall_neg": a_neg, "stall_neg_confirmed": conf_neg,
            "range": (used[0], used[-1])}
    return rows, info


def column_figures(rows):
    clmax = max(rows, key=lambda r: r[1])
    ld = max(rows, key=lambda r: r[1] / r[2])
    return clmax[1], clmax[0], ld[1] / ld[2], ld[0]


def plausible(rows, info):
    """Rule for columns that cannot be used in a rotor design."""
    cl = {r[0]: r[1] for r in rows}
    reasons = []
    if cl[5] <= cl[0]:
        reasons.append("CL(5) <= CL(0)")
    if column_figures(rows)[2] < 5.0:
        reasons.append("max L/D < 5")
    if info["stall_pos"] < 6.0:
        reasons.append("stall angle < 6 deg")
    return reasons


# ---------------------------------------------------------------------------
# Main
# ---------------------------------------------------------------------------

def main():
    ap = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    ap.add_argument("--xfoil-route", default="auto",
                    choices=["auto", "preload", "xvfb"])
    ap.add_argument("--jobs", type=int, default=MAX_JOBS)
    ap.add_argument("--keep-scratch", action="store_true")
    args = ap.parse_args()
    jobs = max(1, min(args.jobs, MAX_JOBS))
    t_start = time.monotonic()

    digest = hashlib.md5(SG6043_SELIG.encode("ascii")).hexdigest()
    if digest != SG6043_MD5:
        sys.exit("SG6043 coordinates corrupted (md5 %s)" % digest)
    os.makedirs(DATA_DIR, exist_ok=True)

    # Outlines.
    for stem, geometry, desc in AEROFOILS:
        if stem == "sg6043":
            curve = selig_curve(SG6043_SELIG)
        else:
            curve = naca4_curve(stem[4:])
        lower, upper = outline_from_curve(*curve)
        check_outline(stem, lower, upper)
        thick, camber = outline_stats(lower, upper)
        write_outline(stem, lower, upper)
        log("outline %-9s thickness %.2f %%, camber %.2f %%, LE y %.4f"
            % (desc, 100 * thick, 100 * camber, lower[0][1]))

    scratch = tempfile.mkdtemp(prefix="rotorforge-xfoil-")
    log("scratch directory " + scratch)
    xf = Xfoil(scratch, args.xfoil_route)
    log("XFOIL route: " + xf.route)

    results = {}     # (stem, re, direction, variant) -> points

    def run_all(job_list):
        with ThreadPoolExecutor(max_workers=jobs) as pool:
            for job, pts, status, secs in pool.map(xf.run, job_list):
                stem, _, re, direction, variant = job
                results[(stem, re, direction, variant)] = pts
                side = contiguous(pts, direction)
                log("  %-8s Re %7d %-4s %s: %3d points, range to %6.2f, "
                    "%s, %.1f s" % (stem, re, direction, variant, len(pts),
                                    side[-1] if side else float("nan"),
                                    status, secs))

    base = [(stem, geo, re, d, "base") for stem, geo, _ in AEROFOILS
            for re in REYNOLDS for d in ("up", "down")]
    log("XFOIL base sweeps (%d)" % len(base))
    run_all(base)

    chosen = {}
    pending = {}
    for stem, geo, _ in AEROFOILS:
        for re in REYNOLDS:
            for d in ("up", "down"):
                pts = results[(stem, re, d, "base")]
                if side_ok(pts, d):
                    chosen[(stem, re, d)] = "base"
                else:
                    pending[(stem, re, d)] = geo
    for variant in ("A", "B"):
        if not pending:
            break
        job_list = [(stem, geo, re, d, variant)
                    for (stem, re, d), geo in sorted(pending.items())]
        log("XFOIL fallback %s sweeps (%d)" % (variant, len(job_list)))
        run_all(job_list)
        for key in list(pending):
            stem, re, d = key
            if side_ok(results[(stem, re, d, variant)], d):
                chosen[key] = variant
                del pending[key]
    for key in pending:   # none satisfied: keep the widest
        stem, re, d = key
        chosen[key] = max(
            ("base", "A", "B"),
            key=lambda v: (side_width(results[(stem, re, d, v)], d),
                           -("base", "A", "B").index(v)))

    # Tables.
    summary = []
    for stem, geo, desc in AEROFOILS:
        columns = []
        for re in REYNOLDS:
            vu = chosen[(stem, re, "up")]
            vd = chosen[(stem, re, "down")]
            rows, info = build_column(results[(stem, re, "up", vu)],
                                      results[(stem, re, "down", vd)])
            info["variants"] = (vu, vd)
            info["reasons"] = plausible(rows, info)
            columns.append((re, rows, info))
        final = []
        for i, (re, rows, info) in enumerate(columns):
            source = re
            if info["reasons"]:
                for re2, rows2, info2 in columns[i + 1:]:
                    if not info2["reasons"]:
                        rows, source = rows2, re2
                        break
                else:
                    sys.exit("%s Re %d: no usable column" % (desc, re))
            final.append((re, rows, info, source))
        path = os.path.join(DATA_DIR, "Lift" + stem + ".dat")
        with open(path, "w") as f:
            for re, rows, info, source in final:
                for alpha, cl, cd in rows:
                    assert cd > 0.0
                    f.write("%d %s %s\n" % (alpha, fmt_sig(cl), fmt_sig(cd)))
        for re, rows, info, source in final:
            rounded = [(a, float(fmt_sig(cl)), float(fmt_sig(cd)))
                       for a, cl, cd in rows]
            summary.append((desc, re, column_figures(rounded), info, source))

    log("")
    log("| Aerofoil | Re | max Cl | at deg | max L/D | at deg | XFOIL rows used"
        " | stall match +/- | sweeps up/down | note |")
    log("|---|---|---|---|---|---|---|---|---|---|")
    for desc, re, (clm, a_clm, ldm, a_ld), info, source in summary:
        note = ""
        if source != re:
            note = "%s; column of Re %d used" % (", ".join(info["reasons"]),
                                                  source)
        log("| %s | %d | %.3f | %d | %.1f | %d | %g..%g | %g%s / %g%s | %s/%s"
            " | %s |"
            % (desc, re, clm, a_clm, ldm, a_ld, info["range"][0],
               info["range"][1], info["stall_pos"],
               "" if info["stall_pos_confirmed"] else "*",
               info["stall_neg"], "" if info["stall_neg_confirmed"] else "*",
               info["variants"][0], info["variants"][1], note))
    log("(* = no confirmed stall: match at the CL extreme of the range)")

    if not args.keep_scratch:
        shutil.rmtree(scratch)
    log("done in %.0f s" % (time.monotonic() - t_start))


if __name__ == "__main__":
    main()
