"""Independent check of Velmora's canonical variates (numpy only).

    /usr/bin/python3 tools/check_canonical_variates.py

Superimposes examples/populations.txt by its own generalized Procrustes
analysis (tools/check_linear_models.py) and works on the principal
components of the tangent coordinates whose variance exceeds 1e-8 of the
total, at most n - g - 1 of them.  Writes tests/analysis/data/:

  populations_cv_shape.txt   the line `mean`: the mean shape the specimens
      were superimposed on (x1 y1 z1 x2 ...); the line `cv1`: the shape
      change per unit score of the first canonical variate of population,
      found as the pooled within-group least-squares slope of the tangent
      coordinates (projected onto the kept components) on the CV score,
      the score scaled to unit pooled within-group variance (divisor n - g);
      the line `largest`: the largest landmark displacement per unit score;
  populations_small_cva.txt   for the first 20 specimens only (10 a
      population, so the cap n - g - 1 = 17 binds): `components`, the
      Mahalanobis distance between the populations, and the leave-one-out
      assignments (0 coast, 1 inland) of a linear discriminant analysis
      refitted from scratch without each specimen in turn (group means and
      pooled covariance, divisor n - 1 - g, of the other specimens' component
      scores; the group of smallest d^2 - 2 ln(n_l / n)).
"""

import os
import sys

import numpy as np

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from check_linear_models import gpa, read_sample  # noqa: E402

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
OUT = os.path.join(ROOT, "tests", "analysis", "data")


def components(y, g):
    """Component scores (n x q) and axes (q x m) of the centred rows of y."""
    c = y - y.mean(axis=0)
    _, s, vt = np.linalg.svd(c, full_matrices=False)
    var = s ** 2
    q = min(int((var > 1e-8 * var.sum()).sum()), len(y) - g - 1)
    return c @ vt[:q].T, vt[:q]


def group_stats(z, labels, levels):
    means = np.array([z[labels == l].mean(axis=0) for l in levels])
    within = z - means[np.searchsorted(levels, labels)]
    return means, within


def first_cv(z, labels, levels):
    """The first canonical variate: coefficients a with unit pooled
    within-group variance of z @ a, the largest between / within ratio."""
    n, g = len(z), len(levels)
    means, within = group_stats(z, labels, levels)
    sw = within.T @ within / (n - g)
    counts = np.array([(labels == l).sum() for l in levels])
    centred = means - z.mean(axis=0)
    b = centred.T @ (counts[:, None] * centred)
    lower = np.linalg.cholesky(sw)
    li = np.linalg.inv(lower)
    _, vec = np.linalg.eigh(li @ b @ li.T)
    return li.T @ vec[:, -1]


def cv_shape(y, pops):
    labels = np.array(pops)
    levels = np.unique(labels)
    n, g = len(y), len(levels)
    z, axes = components(y, g)
    score = z @ first_cv(z, labels, levels)
    kept = (y - y.mean(axis=0)) @ axes.T @ axes
    _, shape_w = group_stats(kept, labels, levels)
    _, score_w = group_stats(score[:, None], labels, levels)
    assert abs((score_w ** 2).sum() / (n - g) - 1) < 1e-9
    return (shape_w * score_w).sum(axis=0) / (score_w ** 2).sum()


def loo_assignments(z, labels, levels):
    n, g = len(z), len(levels)
    prior = np.array([(labels == l).mean() for l in levels])
    out = []
    for i in range(n):
        keep = np.arange(n) != i
        means, within = group_stats(z[keep], labels[keep], levels)
        cov = within.T @ within / (n - 1 - g)
        d = means - z[i]
        d2 = np.einsum("lj,lj->l", d, np.linalg.solve(cov, d.T).T)
        out.append(int(np.argmin(d2 - 2 * np.log(prior))))
    return out


def main():
    x, pops, _ = read_sample()
    y, _, _, mean = gpa(x.copy())
    change = cv_shape(y, pops)
    largest = np.linalg.norm(change.reshape(-1, 3), axis=1).max()
    with open(os.path.join(OUT, "populations_cv_shape.txt"), "w") as f:
        f.write("mean " + " ".join(repr(float(v)) for v in mean.reshape(-1)) + "\n")
        f.write("cv1 " + " ".join(repr(float(v)) for v in change) + "\n")
        f.write("largest %r\n" % float(largest))

    small = 20
    y, _, _, _ = gpa(x[:small].copy())
    labels = np.array(pops[:small])
    levels = np.unique(labels)
    z, _ = components(y, len(levels))
    means, within = group_stats(z, labels, levels)
    cov = within.T @ within / (small - len(levels))
    d = means[0] - means[1]
    with open(os.path.join(OUT, "populations_small_cva.txt"), "w") as f:
        f.write("components %d\n" % z.shape[1])
        f.write("mahalanobis %r\n" % float(np.sqrt(d @ np.linalg.solve(cov, d))))
        f.write("assigned " + " ".join(str(a) for a in loo_assignments(z, labels, levels)) + "\n")


if __name__ == "__main__":
    main()
