#!/usr/bin/python3
"""Independent numbers for Velmora's principal components and tail p values.

Computes, with numpy and the standard library only (no special-function
library), the values that tests/shape/principal_components_test.cpp and
tests/stats/distributions_test.cpp hold the C++ code to:

  * the principal components of a small fixed data matrix by numpy's SVD of
    the centred data: variances (divisor n - 1), shares and scores (the C++
    signs each loading so that its largest entry is positive; the scores
    printed here follow the same rule);
  * upper tails of the standard normal distribution by math.erfc;
  * upper tails of the F distribution by the regularized incomplete beta of
    the complementary argument, I_y(d2/2, d1/2) with y = d2/(d2 + d1*F),
    from its continued fraction (modified Lentz), with log-gamma from math.

Run:  /usr/bin/python3 tools/pca_and_tails.py
"""
import math

import numpy as np

# Six specimens, five variables; the same numbers as the C++ test.
DATA = np.array([
    [0.31, -1.20, 0.55, 2.10, -0.40],
    [1.05, 0.20, -0.75, 1.40, 0.90],
    [-0.60, 0.85, 1.30, -0.20, 0.15],
    [0.00, -0.45, -1.10, 0.65, 1.70],
    [2.20, 1.10, 0.40, -1.30, -0.95],
    [-0.90, 0.30, 0.95, 0.35, 0.60],
])


def pca(y):
    centred = y - y.mean(axis=0)
    u, s, vt = np.linalg.svd(centred, full_matrices=False)
    n = y.shape[0]
    keep = s > 1e-9 * s[0]
    v = vt[keep].T
    for j in range(v.shape[1]):
        if v[np.argmax(np.abs(v[:, j])), j] < 0:
            v[:, j] = -v[:, j]
    scores = centred @ v
    variances = s[keep] ** 2 / (n - 1)
    shares = s[keep] ** 2 / (centred ** 2).sum()
    return variances, shares, scores


def betacf(a, b, x):
    """Continued fraction of the incomplete beta (Numerical Recipes form)."""
    tiny = 1e-300
    qab, qap, qam = a + b, a + 1.0, a - 1.0
    c, d = 1.0, 1.0 - qab * x / qap
    d = 1.0 / (d if abs(d) > tiny else tiny)
    h = d
    for m in range(1, 100000):
        m2 = 2 * m
        aa = m * (b - m) * x / ((qam + m2) * (a + m2))
        d = 1.0 + aa * d
        d = 1.0 / (d if abs(d) > tiny else tiny)
        c = 1.0 + aa / c
        c = c if abs(c) > tiny else tiny
        h *= d * c
        aa = -(a + m) * (qab + m) * x / ((a + m2) * (qap + m2))
        d = 1.0 + aa * d
        d = 1.0 / (d if abs(d) > tiny else tiny)
        c = 1.0 + aa / c
        c = c if abs(c) > tiny else tiny
        delta = d * c
        h *= delta
        if abs(delta - 1.0) < 1e-16:
            return h
    raise RuntimeError("continued fraction did not converge")


def ibeta(a, b, x):
    """Regularized incomplete beta I_x(a, b)."""
    if x <= 0:
        return 0.0
    if x >= 1:
        return 1.0
    log_front = (math.lgamma(a + b) - math.lgamma(a) - math.lgamma(b)
                 + a * math.log(x) + b * math.log1p(-x))
    if x < (a + 1) / (a + b + 2):
        return math.exp(log_front) * betacf(a, b, x) / a
    return 1.0 - math.exp(log_front) * betacf(b, a, 1 - x) / b


def f_upper(f, d1, d2):
    return ibeta(d2 / 2, d1 / 2, d2 / (d2 + d1 * f))


def normal_upper(z):
    return 0.5 * math.erfc(z / math.sqrt(2))


def main():
    variances, shares, scores = pca(DATA)
    print("variances", " ".join("%.17g" % v for v in variances))
    print("shares", " ".join("%.17g" % v for v in shares))
    for row in scores:
        print("score", " ".join("%.17g" % v for v in row))
    for z in (1.4590703, 5.0, 8.5, 16.5, 37.0):
        print("normal_upper(%g) = %.17g" % (z, normal_upper(z)))
    for f, d1, d2 in ((4.5, 1, 3), (60.0, 4, 50), (400.0, 6, 40), (1e4, 3, 20), (1e6, 10, 10),
                      (0.3, 7, 12)):
        print("f_upper(%g, %g, %g) = %.17g" % (f, d1, d2, f_upper(f, d1, d2)))


if __name__ == "__main__":
    main()
