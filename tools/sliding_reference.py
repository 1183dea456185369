#!/usr/bin/python3
"""Independent numbers for Velmora's sliding semilandmarks.

Implements with numpy alone, from the method's definition, the plain
iteration of sliding semilandmarks (bending energy, Bookstein 1997 and
Gunz et al. 2005; Procrustes distance, Perez et al. 2006) and the
standard superimposition it starts from, and prints, for a small fixed
sample with curve sliders and surface points, the slid coordinates after
three passes by either criterion as the C++ header
tests/tps/sliding_golden.hpp.

One pass, for each specimen y (k x 3, unit size, fitted onto the
consensus M):
  1. tangents from y itself: a curve slider takes the unit vector of
     (after - before); a surface point the first two principal axes of
     itself and its 4 nearest other landmarks;
  2. the slide toward M: bending energy  y - U (U'BU)^-1 U'B (y - M),
     B = E(M) kron I3 with E the bending-energy matrix of M (kernel
     U(r) = r); Procrustes distance  y - U U' (y - M);
  3. centre, scale to unit centroid size, turn onto M (SVD, det +1); the
     new consensus is the centred unit-size mean.

Run:  /usr/bin/python3 tools/sliding_reference.py > tests/tps/sliding_golden.hpp
      clang-format -i tests/tps/sliding_golden.hpp
or, against coordinates Velmora saved with Full-precision result files on
after SetSlidingPasses K (SaveProcrustes):
      /usr/bin/python3 tools/sliding_reference.py compare LANDMARKS CURVES \
          SURFACE_POINTS SAVED be|procd K
"""
import sys

import numpy as np


def unit(c):
    c = c - c.mean(axis=0)
    return c / np.linalg.norm(c)


def rotation_onto(subject, reference):
    """Proper rotation R minimising |subject R - reference|."""
    u, _, vt = np.linalg.svd(subject.T @ reference)
    d = np.sign(np.linalg.det(u @ vt))
    return u @ np.diag([1.0, 1.0, d]) @ vt


def standard_fit(raw, tol=1e-13, passes=1000):
    """Generalized Procrustes superimposition to convergence."""
    fitted = [unit(x) for x in raw]
    ref = unit(sum(fitted))
    for _ in range(passes):
        fitted = [f @ rotation_onto(f, ref) for f in fitted]
        new = unit(sum(fitted))
        move = np.linalg.norm(new - ref)
        ref = new
        if move < tol:
            break
    fitted = [f @ rotation_onto(f, ref) for f in fitted]
    return ref, fitted


def bending_energy(m):
    k = m.shape[0]
    K = np.linalg.norm(m[:, None, :] - m[None, :, :], axis=2)
    Q = np.hstack([np.ones((k, 1)), m])
    L = np.zeros((k + 4, k + 4))
    L[:k, :k] = K
    L[:k, k:] = Q
    L[k:, :k] = Q.T
    return np.linalg.inv(L)[:k, :k]


def tangents(y, curves, surface):
    """Columns of U (3k x m), landmark-major layout (x, y, z of landmark 0, ...)."""
    k = y.shape[0]
    cols = []
    for before, slider, after in curves:
        t = y[after] - y[before]
        u = np.zeros(3 * k)
        u[3 * slider:3 * slider + 3] = t / np.linalg.norm(t)
        cols.append(u)
    for i in surface:
        d = np.linalg.norm(y - y[i], axis=1)
        d[i] = np.inf
        near = np.argsort(d, kind="stable")[:4]
        pts = np.vstack([y[i], y[near]])
        pts = pts - pts.mean(axis=0)
        w, v = np.linalg.eigh(pts.T @ pts)
        for axis in (v[:, 2], v[:, 1]):
            u = np.zeros(3 * k)
            u[3 * i:3 * i + 3] = axis
            cols.append(u)
    return np.array(cols).T


def slide(y, m, curves, surface, criterion):
    U = tangents(y, curves, surface)
    r = (y - m).reshape(-1)
    if criterion == "be":
        B = np.kron(bending_energy(m), np.eye(3))
        t = -np.linalg.solve(U.T @ B @ U, U.T @ B @ r)
    else:
        t = -U.T @ r
    return y + (U @ t).reshape(-1, 3)


def plain_iteration(raw, curves, surface, criterion, passes):
    ref, fitted = standard_fit(raw)
    for _ in range(passes):
        slid = [slide(y, ref, curves, surface, criterion) for y in fitted]
        fitted = [unit(s) @ rotation_onto(unit(s), ref) for s in slid]
        ref = unit(sum(fitted))
    return ref, fitted


def sample():
    """Eight specimens of 12 landmarks: 4 fixed, 4 curve sliders, 4 surface points."""
    rng = np.random.default_rng(20261211)
    base = np.array([
        [1.0, 0.0, 0.0], [-1.0, 0.0, 0.0], [0.0, 1.2, 0.0], [0.0, 0.0, 0.9],
        [0.6, 0.75, 0.1], [0.25, 1.05, 0.05], [-0.3, 1.0, 0.08], [-0.65, 0.7, 0.12],
        [0.35, 0.3, 0.75], [-0.4, 0.35, 0.7], [0.3, 0.7, 0.55], [-0.25, 0.75, 0.5]])
    raw = []
    for i in range(8):
        x = base + 0.04 * rng.standard_normal(base.shape)
        a, b = rng.standard_normal(3), rng.standard_normal()
        q = np.linalg.qr(rng.standard_normal((3, 3)))[0]
        raw.append((2.0 + 0.3 * b) * x @ q + 5 * a)
    curves = [(0, 4, 5), (4, 5, 6), (5, 6, 7), (6, 7, 1)]
    surface = [8, 9, 10, 11]
    return raw, curves, surface


def cpp(name, rows):
    body = ",\n".join("    {" + ", ".join(repr(float(v)) for v in row) + "}" for row in rows)
    return "inline const double %s[][3] = {\n%s};" % (name, body)


def main():
    raw, curves, surface = sample()
    print("#pragma once\n")
    print("// Written by tools/sliding_reference.py (numpy): a sample of eight specimens of")
    print("// 12 landmarks (4 fixed, 4 curve sliders, 4 surface points) and its slid")
    print("// coordinates after three plain passes by either criterion.\n")
    print("namespace velmora::tps::golden {\n")
    print("// The raw sample (specimen after specimen, 12 landmarks each).")
    print(cpp("kRaw", np.vstack(raw)))
    for criterion in ("be", "procd"):
        ref, fitted = plain_iteration(raw, curves, surface, criterion, 3)
        print("// %s, 3 plain passes: the consensus, then every slid specimen." % criterion)
        print(cpp("kConsensus_" + criterion, ref))
        print(cpp("kSlid_" + criterion, np.vstack(fitted)))
    print("\n}  // namespace velmora::tps::golden")


def read_rows(path):
    """Landmark rows of a native file (x1 y1 z1 ... and a last column)."""
    rows = [list(map(float, l.split())) for l in open(path) if l.strip()]
    return [np.array(r[:-1]).reshape(-1, 3) for r in rows]


def read_numbers(path, width):
    """Landmark numbers (0-based) of a curve or surface point file."""
    out = []
    for line in open(path):
        f = [x.strip('"') for x in line.replace(",", " ").split()]
        if not f or not all(x.isdigit() for x in f):
            continue
        out.append(tuple(int(x) - 1 for x in f[-width:]))
    return out


def compare(landmarks, curves_file, surface_file, saved, criterion, passes):
    """The largest difference between Velmora's saved Procrustes coordinates
    (Full-precision result files) and this implementation's, after the one
    rotation that best turns Velmora's consensus onto this one's."""
    raw = read_rows(landmarks)
    curves = read_numbers(curves_file, 3)
    surface = [p[0] for p in read_numbers(surface_file, 1)]
    ref, fitted = plain_iteration(raw, curves, surface, criterion, int(passes))
    theirs = read_rows(saved)
    mean = unit(sum(theirs))
    turn = rotation_onto(mean, ref)
    worst = max(np.abs(t @ turn - f).max() for t, f in zip(theirs, fitted))
    print("largest difference: %.3g" % worst)


if __name__ == "__main__":
    if len(sys.argv) > 1 and sys.argv[1] == "compare":
        compare(*sys.argv[2:8])
    else:
        main()
