#!/usr/bin/python3
"""Writes the bundled semilandmark example (synthetic, fixed seed).

    /usr/bin/python3 tools/make_semilandmark_example.py [OUTPUT_FOLDER]
    /usr/bin/python3 tools/make_semilandmark_example.py --dense N K FOLDER

writes into OUTPUT_FOLDER (default: examples/semilandmarks) a skull vault
sample of 30 specimens, each with

  * 8 fixed landmarks: the vault's front, back, left and right ends, its
    top and three points between them;
  * a sagittal curve from the front over the top to the back: 10 curve
    sliders (five each side of the top), with the fixed ends and the top as
    the curve's anchors;
  * 30 surface points spread over the vault (a spiral over the dome);

as vault.txt (Velmora's native layout: one specimen a line, x1 y1 z1 … and
its centroid size), vault_curves.txt (geomorph's curves matrix as R's
write.csv writes it: a header and a column of row names), vault_surface.txt
(one landmark number a line) and vault_age.txt (one age a specimen).

The vault is the upper half of an ellipsoid whose length, breadth and
height grow with age at different rates; every specimen also gets noise on
every coordinate, and its semilandmarks are placed with a random offset
along the curve or over the surface (the offset sliding removes), then a
random rotation, translation and scale.
"""
import os
import sys

import numpy as np

HERE = os.path.dirname(os.path.abspath(__file__))


def vault_point(axes, theta, phi):
    """A point of the upper half-ellipsoid: theta from the top, phi about z."""
    a, b, c = axes
    return np.array([a * np.sin(theta) * np.cos(phi), b * np.sin(theta) * np.sin(phi),
                     c * np.cos(theta)])


def write_scan(path, axes, q, scale, shift, rings=16, around=48):
    """The specimen's vault as a scan: a binary PLY of the half-ellipsoid,
    rings of vertices from the top to the rim, turned, scaled and moved as
    its landmarks are (without their noise)."""
    os.makedirs(os.path.dirname(path), exist_ok=True)
    verts = [vault_point(axes, 0.0, 0.0)]
    for r in range(1, rings + 1):
        theta = np.pi / 2 * r / rings
        verts += [vault_point(axes, theta, 2 * np.pi * j / around) for j in range(around)]
    verts = np.array(verts) @ q * scale + shift
    faces = [(0, 1 + j, 1 + (j + 1) % around) for j in range(around)]
    for r in range(rings - 1):
        a, b = 1 + r * around, 1 + (r + 1) * around
        for j in range(around):
            j2 = (j + 1) % around
            faces += [(a + j, b + j, b + j2), (a + j, b + j2, a + j2)]
    header = ("ply\nformat binary_little_endian 1.0\ncomment a synthetic vault, "
              "tools/make_semilandmark_example.py\nelement vertex %d\nproperty float x\n"
              "property float y\nproperty float z\nelement face %d\n"
              "property list uchar int vertex_indices\nend_header\n" % (len(verts), len(faces)))
    with open(path, "wb") as f:
        f.write(header.encode("ascii"))
        f.write(verts.astype("<f4").tobytes())
        for face in faces:
            f.write(np.uint8(3).tobytes() + np.array(face, dtype="<i4").tobytes())


def main():
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.join(HERE, "..", "examples",
                                                             "semilandmarks")
    os.makedirs(out, exist_ok=True)
    rng = np.random.default_rng(37)
    n = 30
    # Fixed landmarks by (theta, phi): front, back, left, right, top, and
    # three between.
    fixed = [(np.pi / 2, 0), (np.pi / 2, np.pi), (np.pi / 2, np.pi / 2),
             (np.pi / 2, -np.pi / 2), (0.0, 0.0), (np.pi / 3, np.pi / 4),
             (np.pi / 3, 3 * np.pi / 4), (np.pi / 3, -np.pi / 2)]
    # The sagittal curve: five sliders between the front and the top, five
    # between the top and the back.
    front_arc = [(np.pi / 2 * (1 - i / 6), 0.0) for i in range(1, 6)]
    back_arc = [(np.pi / 2 * i / 6, np.pi) for i in range(1, 6)]
    # Surface points on a spiral over the dome, clear of the curve.
    surface = []
    golden = np.pi * (3 - np.sqrt(5))
    i = 0
    while len(surface) < 30:
        z = 1 - (i + 0.5) / 40
        theta, phi = np.arccos(z), (i * golden) % (2 * np.pi)
        i += 1
        if abs(np.sin(phi)) < 0.2 or theta < 0.25:
            continue
        surface.append((theta, phi))
    k = len(fixed) + 10 + len(surface)
    curve_ids = list(range(8, 18))
    # The curve's order: front(0) s8..s12 top(4) s13..s17 back(1).
    chain = [0] + curve_ids[:5] + [4] + curve_ids[5:] + [1]
    curves = [(chain[j - 1], chain[j], chain[j + 1]) for j in range(1, len(chain) - 1)
              if chain[j] in curve_ids]
    surface_ids = list(range(18, k))

    ages = rng.uniform(1, 20, n)
    rows = []
    for s in range(n):
        t = (ages[s] - 10) / 10
        axes = (95 * (1 + 0.12 * t), 75 * (1 + 0.06 * t), 60 * (1 - 0.04 * t))
        pts = [vault_point(axes, th, ph) for th, ph in fixed]
        # The curve sliders, each moved along the arc by up to a third of
        # the spacing.
        step = np.pi / 12
        for th, ph in front_arc + back_arc:
            pts.append(vault_point(axes, th + rng.uniform(-1, 1) * step / 3, ph))
        for th, ph in surface:
            pts.append(vault_point(axes, th + rng.normal(0, 0.04), ph + rng.normal(0, 0.06)))
        x = np.array(pts) + rng.normal(0, 0.6, (k, 3))
        q = np.linalg.qr(rng.standard_normal((3, 3)))[0]
        if np.linalg.det(q) < 0:
            q[:, 0] = -q[:, 0]
        scale = rng.uniform(0.9, 1.1)
        shift = rng.normal(0, 40, 3)
        x = x @ q * scale + shift
        write_scan(os.path.join(out, "scans", "specimen %d.ply" % (s + 1)), axes, q, scale, shift)
        cs = np.sqrt(((x - x.mean(axis=0)) ** 2).sum())
        rows.append(" ".join("%.6f" % v for v in x.reshape(-1)) + " %.6f" % cs)
    with open(os.path.join(out, "vault.txt"), "w") as f:
        f.write("\n".join(rows) + "\n")
    with open(os.path.join(out, "vault_age.txt"), "w") as f:
        f.write("".join("%.2f\n" % a for a in ages))
    with open(os.path.join(out, "vault_curves.txt"), "w") as f:
        f.write('"","before","slide","after"\n')
        for j, (b, sl, a) in enumerate(curves, 1):
            f.write('"%d",%d,%d,%d\n' % (j, b + 1, sl + 1, a + 1))
    with open(os.path.join(out, "vault_surface.txt"), "w") as f:
        f.write("".join("%d\n" % (p + 1) for p in surface_ids))


def dense(n, k, out):
    """A dense sample for timing: n specimens of k landmarks on a vault, 10
    fixed and the rest surface points, as big.txt and surface-points.txt."""
    os.makedirs(out, exist_ok=True)
    rng = np.random.default_rng(k)
    theta = np.arccos(rng.uniform(0.05, 1, k))
    phi = rng.uniform(0, 2 * np.pi, k)
    with open(os.path.join(out, "big.txt"), "w") as f:
        for s in range(n):
            t = rng.normal()
            axes = (95 * (1 + 0.05 * t), 75, 60 * (1 - 0.03 * t))
            x = np.array([vault_point(axes, th + rng.normal(0, 0.01), ph + rng.normal(0, 0.01))
                          for th, ph in zip(theta, phi)])
            x += rng.normal(0, 0.3, x.shape)
            cs = np.sqrt(((x - x.mean(axis=0)) ** 2).sum())
            f.write(" ".join("%.5f" % v for v in x.reshape(-1)) + " %.5f\n" % cs)
    with open(os.path.join(out, "surface-points.txt"), "w") as f:
        f.write("".join("%d\n" % p for p in range(11, k + 1)))


if __name__ == "__main__":
    if len(sys.argv) == 5 and sys.argv[1] == "--dense":
        dense(int(sys.argv[2]), int(sys.argv[3]), sys.argv[4])
    else:
        main()
