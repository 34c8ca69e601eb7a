#!/usr/bin/env python3
"""Checks and draws an ASCII STL file such as Result/blade.stl, with the standard library only.

    python3 tools/render_stl.py Result/blade.stl docs/blade.png

Prints the facet count, the number of zero-area facets, whether every edge is shared by exactly
two facets in opposite directions, and the enclosed volume (in the file's units cubed and in
cubic metres for a file in millimetres). With a second argument it also writes a shaded picture
of the solid as a PNG: the span laid out horizontally, seen obliquely from the suction side.
"""

import math
import struct
import sys
import zlib


def read_stl(path):
    facets = []
    vertices = []
    with open(path, "r", encoding="ascii") as f:
        for line in f:
            words = line.split()
            if words and words[0] == "vertex":
                vertices.append(tuple(float(w) for w in words[1:4]))
                if len(vertices) == 3:
                    facets.append(tuple(vertices))
                    vertices = []
    return facets


def check(facets):
    used = {}
    volume = 0.0
    degenerate = 0
    for a, b, c in facets:
        if a == b or b == c or a == c:
            degenerate += 1
            continue
        for p, q in ((a, b), (b, c), (c, a)):
            used[(p, q)] = used.get((p, q), 0) + 1
        volume += (a[0] * (b[1] * c[2] - b[2] * c[1]) - a[1] * (b[0] * c[2] - b[2] * c[0]) +
                   a[2] * (b[0] * c[1] - b[1] * c[0])) / 6.0
    bad = sum(1 for (p, q), n in used.items() if n != 1 or used.get((q, p)) != 1)
    return degenerate, len(used), bad, volume


def png(path, width, height, rows):
    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body))

    raw = b"".join(b"\x00" + bytes(row) for row in rows)
    with open(path, "wb") as f:
        f.write(b"\x89PNG\r\n\x1a\n")
        f.write(chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0)))
        f.write(chunk(b"IDAT", zlib.compress(raw, 9)))
        f.write(chunk(b"IEND", b""))


def render(facets, path, width=1200, height=360):
    # View: span (z) to the right, turned 35 degrees about the span and tilted 25 degrees.
    yaw, tilt = math.radians(35.0), math.radians(25.0)

    def view(p):
        x, y, z = p
        x, y = x * math.cos(yaw) - y * math.sin(yaw), x * math.sin(yaw) + y * math.cos(yaw)
        y, z2 = y * math.cos(tilt) - z * math.sin(tilt), y * math.sin(tilt) + z * math.cos(tilt)
        return (z2, x, y)  # screen right, screen up, depth (towards the viewer)

    tris = [tuple(view(p) for p in f) for f in facets]
    xs = [p[0] for t in tris for p in t]
    ys = [p[1] for t in tris for p in t]
    margin = 20
    scale = min((width - 2 * margin) / (max(xs) - min(xs)),
                (height - 2 * margin) / (max(ys) - min(ys)))
    ox = margin - min(xs) * scale + (width - 2 * margin - (max(xs) - min(xs)) * scale) / 2
    oy = margin - min(ys) * scale + (height - 2 * margin - (max(ys) - min(ys)) * scale) / 2
    depth = [[-math.inf] * width for _ in range(height)]
    rows = [[245, 245, 240] * width for _ in range(height)]
    light = (-0.45, 0.75, 0.48)
    for t in tris:
        (ax, ay, az), (bx, by, bz), (cx, cy, cz) = t
        nx = (by - ay) * (cz - az) - (bz - az) * (cy - ay)
        ny = (bz - az) * (cx - ax) - (bx - ax) * (cz - az)
        nz = (bx - ax) * (cy - ay) - (by - ay) * (cx - ax)
        length = math.sqrt(nx * nx + ny * ny + nz * nz)
        if length == 0.0 or nz <= 0.0:
            continue  # zero area, or facing away from the viewer
        shade = max(0.0, (nx * light[0] + ny * light[1] + nz * light[2]) / length)
        colour = (int(40 + 170 * shade), int(70 + 160 * shade), int(120 + 130 * shade))
        pts = [(ox + x * scale, height - (oy + y * scale), z) for x, y, z in t]
        x0 = max(0, int(min(p[0] for p in pts)))
        x1 = min(width - 1, int(max(p[0] for p in pts)) + 1)
        y0 = max(0, int(min(p[1] for p in pts)))
        y1 = min(height - 1, int(max(p[1] for p in pts)) + 1)
        (px, py, pz), (qx, qy, qz), (rx, ry, rz) = pts
        area = (qx - px) * (ry - py) - (qy - py) * (rx - px)
        if area == 0.0:
            continue
        for yy in range(y0, y1 + 1):
            for xx in range(x0, x1 + 1):
                sx, sy = xx + 0.5, yy + 0.5
                w0 = ((qx - sx) * (ry - sy) - (qy - sy) * (rx - sx)) / area
                w1 = ((rx - sx) * (py - sy) - (ry - sy) * (px - sx)) / area
                w2 = 1.0 - w0 - w1
                if w0 < 0 or w1 < 0 or w2 < 0:
                    continue
                d = w0 * pz + w1 * qz + w2 * rz
                if d > depth[yy][xx]:
                    depth[yy][xx] = d
                    rows[yy][3 * xx:3 * xx + 3] = colour
    png(path, width, height, rows)


def main(argv):
    if len(argv) not in (2, 3):
        print(__doc__.strip().splitlines()[2].strip())
        return 2
    facets = read_stl(argv[1])
    degenerate, edges, bad, volume = check(facets)
    print(f"facets {len(facets)}, zero-area facets {degenerate}, edges {edges}, "
          f"edges not closed {bad}")
    print(f"enclosed volume {volume:.6f} (file units cubed) = {volume * 1e-9:.9f} m^3 for mm")
    if len(argv) == 3:
        render(facets, argv[2])
        print(f"picture {argv[2]}")
    return 0 if bad == 0 and volume > 0 else 1


if __name__ == "__main__":
    sys.exit(main(sys.argv))
