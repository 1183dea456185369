"""Writes a large landmark sample for timing figure exports and analyses.

Usage: /usr/bin/python3 tools/make_large_sample.py FOLDER [SPECIMENS] [LANDMARKS]

Writes FOLDER/large.txt (one specimen a row: x y z of every landmark, then its
centroid size) and FOLDER/large_x.txt (one value a row).  Each specimen is a
fixed random mean shape, scaled with X, with landmark noise, turned and moved
at random; the same arguments give the same files.
"""
import math
import os
import random
import sys


def rotation(rng):
    q = [rng.gauss(0, 1) for _ in range(4)]
    n = math.sqrt(sum(v * v for v in q))
    w, x, y, z = (v / n for v in q)
    return [[1 - 2 * (y * y + z * z), 2 * (x * y - z * w), 2 * (x * z + y * w)],
            [2 * (x * y + z * w), 1 - 2 * (x * x + z * z), 2 * (y * z - x * w)],
            [2 * (x * z - y * w), 2 * (y * z + x * w), 1 - 2 * (x * x + y * y)]]


def main():
    folder = sys.argv[1]
    specimens = int(sys.argv[2]) if len(sys.argv) > 2 else 1000
    landmarks = int(sys.argv[3]) if len(sys.argv) > 3 else 100
    rng = random.Random(20261210)
    mean = [[rng.uniform(-50, 50) for _ in range(3)] for _ in range(landmarks)]
    rows, xs = [], []
    for _ in range(specimens):
        x = rng.uniform(1, 20)
        r = rotation(rng)
        shift = [rng.uniform(-20, 20) for _ in range(3)]
        scale = 0.5 + 0.05 * x
        pts = []
        for i, m in enumerate(mean):
            stretch = 1 + 0.01 * x * (i % 3 == 0)
            p = [scale * m[0] * stretch + rng.gauss(0, 1.5), scale * m[1] + rng.gauss(0, 1.5),
                 scale * m[2] + rng.gauss(0, 1.5)]
            pts.append([sum(p[e] * r[e][d] for e in range(3)) + shift[d] for d in range(3)])
        c = [sum(p[d] for p in pts) / landmarks for d in range(3)]
        cs = math.sqrt(sum((p[d] - c[d]) ** 2 for p in pts for d in range(3)))
        rows.append(" ".join("%.6f" % v for v in [v for p in pts for v in p] + [cs]))
        xs.append(x)
    with open(os.path.join(folder, "large.txt"), "w", newline="\n") as f:
        f.write("\n".join(rows) + "\n")
    with open(os.path.join(folder, "large_x.txt"), "w", newline="\n") as f:
        f.write("".join("%.6f\n" % x for x in xs))


if __name__ == "__main__":
    main()
