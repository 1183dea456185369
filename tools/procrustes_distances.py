#!/usr/bin/python3
"""Independent numbers for Velmora's Procrustes-distance test.

Computes with numpy alone the values that tests/stats/distance_test_test.cpp
holds the C++ code to:

  * a four-landmark subject fitted onto a unit-size start two ways: by the
    orthogonal factor of the least-squares linear map (the rule of the
    callable getfprocon3) and by the rotation that minimises the squared
    distance (SVD of the cross-product, det +1, Kabsch/Umeyama); the squared
    distance each leaves;
  * the whole test on a small fixed sample with ties at the third-smallest
    X: the starting shape (unit-size mean of every specimen whose X is at
    most the third-smallest X, counted with repeats), every squared
    Procrustes distance, and the regression of the distances on X (slope,
    intercept, r, Fisher z times sqrt(n - 3), upper-tail p by math.erfc).

Run:  /usr/bin/python3 tools/procrustes_distances.py
"""
import math

import numpy as np


def unit(c):
    c = c - c.mean(axis=0)
    return c / np.linalg.norm(c)


def kabsch(subject, reference):
    """Proper rotation y minimising |subject y - reference|."""
    u, _, vt = np.linalg.svd(subject.T @ reference)
    d = np.sign(np.linalg.det(u @ vt))
    return u @ np.diag([1.0, 1.0, d]) @ vt


def least_squares_polar(subject, reference):
    """Orthogonal factor of the least-squares map subject A = reference."""
    a = np.linalg.lstsq(subject, reference, rcond=None)[0]
    u, _, vt = np.linalg.svd(a)
    d = np.sign(np.linalg.det(u @ vt))
    return u @ np.diag([1.0, 1.0, d]) @ vt


# Four landmarks: a start and a subject spread far more along one axis than
# the others, where the two rules part.
START = np.array([
    [1.0, 0.0, 0.0],
    [-0.2, 0.9, 0.1],
    [-0.5, -0.6, 0.4],
    [-0.3, -0.3, -0.5],
])
SUBJECT = np.array([
    [0.1, 2.0, 0.3],
    [0.5, -1.4, 0.05],
    [-0.2, -0.1, 0.2],
    [-0.4, -0.5, -0.55],
])

# Eight specimens of five landmarks, and an X with three ties at the
# third-smallest value (2).
BASE = np.array([
    [1.0, 0.0, 0.0],
    [0.0, 1.0, 0.0],
    [0.0, 0.0, 1.0],
    [-1.0, -0.5, 0.2],
    [0.3, -0.8, -0.9],
])
X = np.array([4.0, 2.0, 1.0, 2.0, 7.0, 2.0, 5.0, 3.0])


def sample():
    out = []
    for i in range(8):
        j = np.arange(5.0)
        bump = np.stack([0.05 * i * np.cos(j + i), 0.04 * np.sin(1.7 * j * (i + 1)),
                         0.03 * ((i * j) % 3 - 1)], axis=1)
        out.append(unit(BASE + bump))
    return out


def show(name, values):
    print(f"{name} = {{" + ", ".join(f"{v:.17g}" for v in np.ravel(values)) + "}")


def main():
    start = unit(START)
    subject = unit(SUBJECT)
    d_ls = np.sum((start - subject @ least_squares_polar(subject, start)) ** 2)
    d_opt = np.sum((start - subject @ kabsch(subject, start)) ** 2)
    print("four landmarks, start and subject at unit size:")
    print(f"  least-squares-map d2 = {d_ls:.17g}")
    print(f"  optimal rotation d2  = {d_opt:.17g}")

    fitted = sample()
    third = np.sort(X)[2]
    chosen = [i for i in range(len(X)) if X[i] <= third]
    start = unit(sum(fitted[i] for i in chosen))
    d2 = np.array([np.sum((start - unit(f) @ kabsch(unit(f), start)) ** 2) for f in fitted])
    xc = X - X.mean()
    yc = d2 - d2.mean()
    slope = xc @ yc / (xc @ xc)
    intercept = d2.mean() - slope * X.mean()
    r = xc @ yc / math.sqrt((xc @ xc) * (yc @ yc))
    z = math.atanh(r) * math.sqrt(len(X) - 3)
    p = 0.5 * math.erfc(z / math.sqrt(2))
    print("sample: specimens averaged (0-based):", chosen)
    show("kStart", start)
    show("kDistances", d2)
    show("kFit (slope, intercept, r, z, p)", [slope, intercept, r, z, p])


if __name__ == "__main__":
    main()
