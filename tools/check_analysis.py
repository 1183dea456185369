#!/usr/bin/python3
"""Independent numbers for Velmora's analysis of the bundled example.

Recomputes, with numpy only, what Velmora reports for examples/skulls.txt
and examples/age.txt, so the C++ tests can hold the program to numbers found
another way:

  * the standard superimposition, Velmora's default (every specimen centred
    and scaled to unit centroid size, turned onto the consensus by the
    rotation that minimises the squared distance, det +1, passes until the
    consensus settles), the principal axes (the two of largest spread signed
    so that the sum of cubed coordinates along them is positive, the third
    completing a proper rotation), the Procrustes-distance regression from
    the mean of the specimens whose age is at most the third-smallest age,
    each specimen fitted onto it by the rotation of least distance;
  * the bending-energy eigenvectors, each signed so that its largest entry is
    positive;
  * the partial warp and uniform scores, their least-squares slopes on age
    and Wilks' lambda of all score columns with Rao's F and its p value;
  * the classic three passes (rotation from the orthogonal factor of the
    least-squares map, made proper) and how far their mean lies from the
    standard one, each in its principal axes with every axis signed so that
    its largest coordinate is positive.

Run:  /usr/bin/python3 tools/check_analysis.py [examples-folder]
"""
import math
import os
import sys

import numpy as np


def read_rows(path):
    with open(path) as f:
        return np.array([[float(v) for v in line.split()] for line in f if line.strip()])


def configs(rows):
    k = (rows.shape[1] - 1) // 3
    return np.array([r[: 3 * k].reshape(k, 3) for r in rows])


def centred_unit(x):
    x = x - x.mean(axis=0)
    return x / np.linalg.norm(x)


def proper(m):
    """Nearest proper rotation to m, and whether the orthogonal factor was a reflection."""
    u, _, vt = np.linalg.svd(m)
    mirrored = np.linalg.det(u @ vt) < 0
    if mirrored:
        u[:, 2] = -u[:, 2]
    return u @ vt, mirrored


def classic_fit(ref, subject):
    s = centred_unit(subject)
    a = np.linalg.lstsq(s, ref, rcond=None)[0]
    r, mirrored = proper(a)
    return s @ r, mirrored


def classic_gpa(data):
    ref = centred_unit(data.sum(axis=0))
    fitted = data.copy()
    for _ in range(3):
        mirrored = []
        for i in range(len(fitted)):
            fitted[i], m = classic_fit(ref, fitted[i])
            if m:
                mirrored.append(i + 1)
        ref = fitted.mean(axis=0)
        ref = ref / np.linalg.norm(ref)
    return ref, fitted, mirrored


def standard_gpa(data):
    """The standard fit from the first specimen (not the program's start),
    iterated until the consensus settles: its mean, fitted specimens and the
    specimens whose best orthogonal fit was a mirror image."""
    fitted = np.array([centred_unit(x) for x in data])
    ref = fitted[0].copy()
    for _ in range(1000):
        mirrored = []
        for i in range(len(fitted)):
            r, m = proper(fitted[i].T @ ref)
            fitted[i] = fitted[i] @ r
            if m:
                mirrored.append(i + 1)
        new = fitted.mean(axis=0)
        new /= np.linalg.norm(new)
        moved = np.linalg.norm(new - ref)
        ref = new
        if moved < 1e-15:
            break
    # One more pass onto the settled mean, so every specimen is fitted to it.
    for i in range(len(fitted)):
        fitted[i] = fitted[i] @ proper(fitted[i].T @ ref)[0]
    return ref, fitted, mirrored


def axis_sign(along):
    """+1 or -1: the sum of cubed coordinates along an axis made positive, or,
    when it is below 1e-6 of the sum of their absolute values, the first
    coordinate above 1e-6 of the largest."""
    cubes = along ** 3
    if abs(cubes.sum()) >= 1e-6 * np.abs(cubes).sum():
        return -1.0 if cubes.sum() < 0 else 1.0
    for v in along:
        if abs(v) > 1e-6 * np.abs(along).max():
            return -1.0 if v < 0 else 1.0
    return 1.0


def principal_axes(ref):
    """Eigenvectors of the landmark covariance, ascending spread; the two of
    largest spread signed by axis_sign, the third their cross product."""
    c = ref - ref.mean(axis=0)
    _, u = np.linalg.eigh(c.T @ c / (len(ref) - 1))
    for j in (1, 2):
        u[:, j] *= axis_sign(c @ u[:, j])
    u[:, 0] = np.cross(u[:, 1], u[:, 2])
    return u


def largest_entry_positive(v):
    """Each column signed so that its largest-magnitude entry (the first of
    those within 1e-9 relative of it) is positive."""
    v = v.copy()
    for j in range(v.shape[1]):
        col = np.abs(v[:, j])
        first = np.nonzero(col >= (1 - 1e-9) * col.max())[0][0]
        if v[first, j] < 0:
            v[:, j] = -v[:, j]
    return v


def distance_start(fitted, age):
    """Unit-size mean of every specimen whose X is at most the third-smallest X."""
    third = np.sort(age)[2]
    return centred_unit(fitted[age <= third].mean(axis=0))


def optimal_fit(ref, subject):
    """Subject at unit size turned onto ref by the proper rotation of least distance."""
    s = centred_unit(subject)
    u, _, vt = np.linalg.svd(s.T @ ref)
    d = np.sign(np.linalg.det(u @ vt))
    return s @ (u @ np.diag([1.0, 1.0, d]) @ vt)


def warp_matrix(x):
    k = len(x)
    kern = np.sqrt(((x[:, None, :] - x[None, :, :]) ** 2).sum(axis=2))
    q = np.hstack([np.ones((k, 1)), x])
    big = np.zeros((k + 4, k + 4))
    big[:k, :k], big[:k, k:], big[k:, :k] = kern, q, q.T
    energy = np.linalg.inv(big)[:k, :k]
    vals, vecs = np.linalg.eigh((energy + energy.T) / 2)
    vecs = largest_entry_positive(vecs)
    keep = np.abs(vals) > max(1e-14, 1e-10 * np.abs(vals).max())
    cols = []
    z = np.zeros(k)
    for e in vecs[:, keep].T:
        cols += [np.concatenate([e, z, z]), np.concatenate([z, e, z]), np.concatenate([z, z, e])]
    X, Y, Z = x[:, 0], x[:, 1], x[:, 2]
    al, be, ga = (X**2).sum(), (Y**2).sum(), (Z**2).sum()
    unit = lambda v: v / np.linalg.norm(v)
    u1 = unit(np.concatenate([al * Y, be * X, z]))
    u2 = unit(np.concatenate([z, be * Z, ga * Y]))
    u3 = unit(np.concatenate([al * Z, z, ga * X]))
    s1 = np.concatenate([-be * X, (1 - be) * Y, -be * Z])
    s2 = np.concatenate([-ga * X, -ga * Y, (1 - ga) * Z])
    t1 = unit(s1 - (u1 @ s1) * u1 - (u2 @ s1) * u2 - (u3 @ s1) * u3)
    t2 = unit(s2 - (u1 @ s2) * u1 - (u2 @ s2) * u2 - (u3 @ s2) * u3 - (t1 @ s2) * t1)
    return np.column_stack(cols + [u1, u2, u3, t1, t2])


def betacf(a, b, x):
    """Continued fraction of the incomplete beta function (Lentz)."""
    tiny = 1e-300
    c, d = 1.0, 1.0 - (a + b) * x / (a + 1)
    d = 1 / (d if abs(d) > tiny else tiny)
    h = d
    for m in range(1, 10000):
        for num in (m * (b - m) * x / ((a + 2 * m - 1) * (a + 2 * m)),
                    -(a + m) * (a + b + m) * x / ((a + 2 * m) * (a + 2 * m + 1))):
            d = 1 + num * d
            d = 1 / (d if abs(d) > tiny else tiny)
            c = 1 + num / c
            c = c if abs(c) > tiny else tiny
            h *= d * c
        if abs(d * c - 1) < 1e-16:
            break
    return h


def f_upper_tail(f, d1, d2):
    """1 − F cdf by the regularized incomplete beta I_x(d2/2, d1/2), x = d2/(d2 + d1·f)."""
    x, a, b = d2 / (d2 + d1 * f), d2 / 2, d1 / 2
    lead = math.exp(math.lgamma(a + b) - math.lgamma(a) - math.lgamma(b)
                    + a * math.log(x) + b * math.log1p(-x))
    if x < (a + 1) / (a + b + 2):
        return lead * betacf(a, b, x) / a
    return 1 - lead * betacf(b, a, 1 - x) / b


def regstuf(x, y):
    n = len(x)
    c = np.cov(x, y)
    b = c[0, 1] / c[0, 0]
    sb = math.sqrt((c[1, 1] - b * b * c[0, 0]) / ((n - 2) * c[0, 0]))
    a = y.mean() - b * x.mean()
    r = np.corrcoef(x, y)[0, 1]
    return b, a, sb, r, 0.5 * math.log((1 + r) / (1 - r)) * math.sqrt(n - 3)


def wilks_test(scores, x):
    n, m = scores.shape
    d = np.column_stack([np.ones(n), x])
    res = scores - d @ np.linalg.lstsq(d, scores, rcond=None)[0]
    yc = scores - scores.mean(axis=0)
    lam = np.linalg.det(res.T @ res) / np.linalg.det(yc.T @ yc)
    df2 = n - m - 1
    f = (1 - lam) / lam * df2 / m
    p = f_upper_tail(f, m, df2)
    text = ("Wilks Lambda= %2.4f   F score= %2.4f  1 − Λ: %1.4f ,     "
            "df1=%4.2f ,    df2=%4.2f,  p value=%3.8g" % (lam, f, 1 - lam, m, df2, p))
    return (lam, f, 1 - lam, m, df2, p), text


def main():
    folder = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), "..", "examples")
    rows = read_rows(os.path.join(folder, "skulls.txt"))
    age = read_rows(os.path.join(folder, "age.txt"))[:, 0]
    data = configs(rows)
    np.set_printoptions(precision=17)

    ref, fitted, mirrored = standard_gpa(data)
    u = principal_axes(ref)
    ref, fitted = ref @ u, fitted @ u
    print("mirrored specimens:", mirrored)

    # Procrustes-distance test, on X and on ln X.
    start = distance_start(fitted, age)
    dist = np.array([((start - optimal_fit(start, s)) ** 2).sum() for s in fitted])
    for name, x in (("X", age), ("ln X", np.log(age))):
        b, a, sb, r, z = regstuf(x, dist)
        p = 0.5 * math.erfc(z / math.sqrt(2))
        print("distance on %s: slope %r intercept %r slope sd %r r %r z %r p %r" % (name, b, a, sb, r, z, p))
        print("  Regression Slope: %.4g Regression Intercept: %.4g Std. Deviation in Slope: %.4g  "
              "Correlation Coefficient %2.4f  Zscore: %2.4f  p score = %3.8g" % (b, a, sb, r, z, p))

    # Scores, slopes of every column, Wilks' lambda of every column.
    af = warp_matrix(ref)
    disp = np.array([(s - ref).T.reshape(-1) for s in fitted])
    scores = disp @ af
    n, m = scores.shape
    design = np.column_stack([np.ones(n), age])
    coef = np.linalg.lstsq(design, scores, rcond=None)[0]
    print("score columns:", m, " last column's slope:", repr(coef[1, -1]),
          " largest |slope|:", repr(np.abs(coef[1]).max()))
    for name, x in (("X", age), ("ln X", np.log(age))):
        (lam, f, _, m, df2, p), text = wilks_test(scores, x)
        print("wilks on %s: lambda %r F %r df1 %d df2 %d p %r" % (name, lam, f, m, df2, p))
        print("  " + text)

    # The standard mean in signed principal axes, and the classic one's
    # distance from it.
    def signed(x):
        x = x @ principal_axes(x)
        for c in range(3):
            if x[np.abs(x[:, c]).argmax(), c] < 0:
                x[:, c] = -x[:, c]
        return x
    mean = signed(ref)
    print("standard mean, landmark rows x y z:")
    for row in mean:
        print("  %.17g, %.17g, %.17g," % tuple(row))
    classic = signed(classic_gpa(data)[0])
    print("classic mean's distance from it:", repr(np.linalg.norm(classic - mean)))
    # A full Procrustes fit (as shapes::procGPA(scale = TRUE)) also scales
    # each unit-size specimen by cos rho, its cosine with the unit-size
    # mean, so its coordinates are not the standard fit's.
    cos_rho = np.array([(f * ref).sum() for f in fitted])
    full = fitted * cos_rho[:, None, None]
    print("cos rho from %.6f to %.6f; full fit's largest coordinate change: %r"
          % (cos_rho.min(), cos_rho.max(), np.abs(full - fitted).max()))


if __name__ == "__main__":
    main()
