#!/usr/bin/python3
"""Writes the example surface: a synthetic skull-like scan of the first
specimen of examples/skulls.txt ("specimen 1"), as a binary PLY file of a
few thousand triangles whose stem names that specimen.

A subdivided icosahedron is shaped into a braincase with a face,
cheekbones, orbits and brows, then carried by a three-dimensional thin-plate
spline (kernel U(r) = r) from its twelve vertices nearest the adult landmarks
onto the specimen's twelve landmarks,
so the surface passes through every landmark in the specimen's own pose and
millimetres.  Deterministic: running it again gives the same bytes.

    /usr/bin/python3 tools/make_surface.py [examples-folder]
"""
import os
import struct
import sys

import numpy as np

SUBDIVISIONS = 4  # 2,562 vertices, 5,120 triangles


def icosphere(levels):
    t = (1 + 5 ** 0.5) / 2
    verts = [(-1, t, 0), (1, t, 0), (-1, -t, 0), (1, -t, 0), (0, -1, t), (0, 1, t),
             (0, -1, -t), (0, 1, -t), (t, 0, -1), (t, 0, 1), (-t, 0, -1), (-t, 0, 1)]
    verts = [np.array(v, float) / np.linalg.norm(v) for v in verts]
    faces = [(0, 11, 5), (0, 5, 1), (0, 1, 7), (0, 7, 10), (0, 10, 11), (1, 5, 9), (5, 11, 4),
             (11, 10, 2), (10, 7, 6), (7, 1, 8), (3, 9, 4), (3, 4, 2), (3, 2, 6), (3, 6, 8),
             (3, 8, 9), (4, 9, 5), (2, 4, 11), (6, 2, 10), (8, 6, 7), (9, 8, 1)]
    for _ in range(levels):
        cache = {}

        def middle(a, b):
            key = (min(a, b), max(a, b))
            if key not in cache:
                m = verts[a] + verts[b]
                verts.append(m / np.linalg.norm(m))
                cache[key] = len(verts) - 1
            return cache[key]

        new = []
        for a, b, c in faces:
            ab, bc, ca = middle(a, b), middle(b, c), middle(c, a)
            new += [(a, ab, ca), (b, bc, ab), (c, ca, bc), (ab, bc, ca)]
        faces = new
    return np.array(verts), np.array(faces, dtype=np.int32)


def bump(d, towards, width):
    towards = np.asarray(towards, float)
    towards /= np.linalg.norm(towards)
    return np.exp(-np.sum((d - towards) ** 2, axis=1) / width)[:, None]


def skull(directions):
    """The braincase (x left, y forward, z up, millimetres) with a face,
    cheekbones, orbits, brows and a flatter base."""
    d = directions
    p = d * np.array([66.0, 88.0, 62.0]) + np.array([0.0, -4.0, 16.0])
    p += 26 * bump(d, (0, 1, -0.55), 0.10) * np.array([0, 1.0, -0.45])  # face
    p += 8 * bump(d, (0, 1, -0.05), 0.01) * np.array([0, 1.0, 0])  # nasal bones
    for side in (1, -1):
        p += 14 * bump(d, (side, 0.75, -0.3), 0.04) * np.array([side, 0.2, 0])  # cheekbone
        p -= 16 * bump(d, (0.42 * side, 1, 0.02), 0.018) * np.array([0, 1.0, 0])  # orbit
        p += 6 * bump(d, (0.45 * side, 1, 0.3), 0.01) * np.array([0, 1.0, 0.3])  # brow
    base = d[:, 2] < -0.35
    p[base, 2] = -0.35 * 62 + 16 + (p[base, 2] - (-0.35 * 62 + 16)) * 0.45
    return p


def thin_plate_spline(source, target):
    """f(x) = a + A x + sum_i w_i |x - s_i|, exact at the landmarks."""
    k = len(source)
    kernel = np.linalg.norm(source[:, None, :] - source[None, :, :], axis=2)
    q = np.hstack([np.ones((k, 1)), source])
    system = np.zeros((k + 4, k + 4))
    system[:k, :k] = kernel
    system[:k, k:] = q
    system[k:, :k] = q.T
    rhs = np.zeros((k + 4, 3))
    rhs[:k] = target
    coef = np.linalg.solve(system, rhs)

    def warp(points):
        r = np.linalg.norm(points[:, None, :] - source[None, :, :], axis=2)
        return r @ coef[:k] + np.hstack([np.ones((len(points), 1)), points]) @ coef[k:]

    return warp


# The adult positions of the twelve landmarks (as in make_examples.py).
ADULT = np.array([(0, 92, -32), (0, 86, 26), (0, 12, 78), (0, -78, 56), (0, -42, -26),
                  (0, -6, -22), (62, 0, 0), (-62, 0, 0), (66, 56, -10), (-66, 56, -10),
                  (33, 79, 1), (-33, 79, 1)], float)


def main():
    folder = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), "..",
                                                                "examples")
    with open(os.path.join(folder, "skulls.txt")) as f:
        first = [float(v) for v in f.readline().split()]
    landmarks = np.array(first[:36]).reshape(12, 3)

    directions, faces = icosphere(SUBDIVISIONS)
    surface = skull(directions)
    # The vertex of the surface nearest each adult landmark becomes that
    # landmark.
    anchors = [int(np.argmin(np.linalg.norm(surface - a, axis=1))) for a in ADULT]
    assert len(set(anchors)) == 12
    surface = thin_plate_spline(surface[anchors], landmarks)(surface)
    assert np.allclose(surface[anchors], landmarks, atol=1e-6)

    path = os.path.join(folder, "specimen 1.ply")
    header = ("ply\nformat binary_little_endian 1.0\n"
              "comment synthetic skull of specimen 1, written by tools/make_surface.py\n"
              f"element vertex {len(surface)}\nproperty float x\nproperty float y\n"
              f"property float z\nelement face {len(faces)}\n"
              "property list uchar int vertex_indices\nend_header\n")
    with open(path, "wb") as f:
        f.write(header.encode("ascii"))
        f.write(surface.astype("<f4").tobytes())
        for a, b, c in faces:
            f.write(struct.pack("<Biii", 3, a, b, c))
    print(f"wrote {path}: {len(surface)} vertices, {len(faces)} triangles")


if __name__ == "__main__":
    main()
