#!/usr/bin/python3
"""Independent numbers for Velmora's Procrustes ANOVA of bilateral symmetry.

Written with numpy alone from the method's definition (Klingenberg, Barluenga
& Meyer 2002; Mardia, Bookstein & Moreton 2000):

  object symmetry   every configuration is reflected (x -> -x) and its paired
                    landmarks swap labels; originals and reflections are
                    superimposed together (generalized Procrustes to
                    convergence, Procrustes tangent coordinates);
  matching symmetry the configurations of the second side are reflected and
                    all are superimposed together;

then the sums of squares of shape ~ individual + side + individual:side are
those of R's anova(lm()) summed over the coordinates: sequential, each the
drop in residual SS between nested designs, every residual SS from a QR
factorization.  Repeatability is (MS_ind - MS_err)/(MS_ind + (n0 - 1) MS_err)
of the one-factor ANOVA of the originals' own superimposition, with
n0 = (N - sum n_i^2 / N)/(a - 1).

The sample is synthetic and fixed: six individuals of a structure of four
landmark pairs and three midline landmarks, two replicates each (three of the
first), with planted directional asymmetry (every left landmark moved the
same way), fluctuating asymmetry (a random asymmetric deviation an
individual), symmetric variation among individuals, digitizing error a
replicate, and a random pose and size a configuration.  Its matching sample
takes each configuration's left landmarks and its right ones (each with the
midline, each in a pose of its own) as two configurations, leaving out one
right side of the first individual.

Run:  /usr/bin/python3 tools/symmetry_reference.py > tests/stats/symmetry_golden.hpp
      clang-format -i tests/stats/symmetry_golden.hpp
"""
import numpy as np

PAIRS = [(1, 7), (2, 8), (4, 6), (5, 9)]  # (left, right), 0-based
MIDLINE = [0, 3, 10]
K = 11


def unit(c):
    c = c - c.mean(axis=0)
    return c / np.linalg.norm(c)


def rotation_onto(subject, reference):
    """Proper rotation R minimising |subject R - reference|."""
    u, _, vt = np.linalg.svd(subject.T @ reference)
    d = np.sign(np.linalg.det(u @ vt))
    return u @ np.diag([1.0, 1.0, d]) @ vt


def gpa(raw, tol=1e-15, passes=2000):
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


def tangent(ref, fitted):
    u = ref.T.reshape(-1)
    u = u / np.linalg.norm(u)
    x = np.array([f.T.reshape(-1) for f in fitted])
    return x - np.outer(x @ u, u)


def rss(design, y):
    q, r = np.linalg.qr(design)
    assert np.min(np.abs(np.diag(r))) > 1e-10, "dependent columns"
    e = y - q @ (q.T @ y)
    return float(np.sum(e * e))


def dummies(codes, drop_first=True):
    levels = sorted(set(codes))
    cols = [[1.0 if c == l else 0.0 for c in codes] for l in levels[1 if drop_first else 0:]]
    return np.array(cols).T


def symmetry_ss(y, ind, side):
    """Sequential SS and Df of individual, side, individual:side, residuals."""
    n = len(ind)
    one = np.ones((n, 1))
    a = dummies(ind)
    s = np.array([[float(v)] for v in side])
    inter = a * s  # R's ind:side columns after ind + side
    designs = [one, np.hstack([one, a]), np.hstack([one, a, s]), np.hstack([one, a, s, inter])]
    yc = y - y.mean(axis=0)
    r = [rss(d, yc) for d in designs]
    ss = [r[0] - r[1], r[1] - r[2], r[2] - r[3], r[3]]
    ranks = [np.linalg.matrix_rank(d) for d in designs]
    df = [ranks[1] - ranks[0], ranks[2] - ranks[1], ranks[3] - ranks[2], n - ranks[3]]
    return ss, df, r[0]


def asymmetry(fitted, ind, side):
    """Unsigned asymmetry index of each individual and the norm of their mean."""
    levels = sorted(set(ind))
    asym = []
    for l in levels:
        mean = [np.mean([f for f, i, s in zip(fitted, ind, side) if i == l and s == v], axis=0)
                for v in (0, 1)]
        asym.append(mean[0] - mean[1])
    return [float(np.linalg.norm(a)) for a in asym], float(np.linalg.norm(np.mean(asym, axis=0)))


def relabelling():
    out = list(range(K))
    for left, right in PAIRS:
        out[left], out[right] = right, left
    return out


def pose(rng, x):
    q = np.linalg.qr(rng.standard_normal((3, 3)))[0]
    return (1.5 + 0.5 * rng.random()) * x @ q + 4 * rng.standard_normal(3)


def sample():
    rng = np.random.default_rng(38)
    base = np.zeros((K, 3))
    base[MIDLINE] = [[0, 1.2, 0.1], [0, 0.0, 0.9], [0, -1.1, 0.3]]
    for left, right in PAIRS:
        p = rng.uniform([0.3, -1.0, -0.5], [1.1, 1.0, 0.6])
        base[left], base[right] = p, p * [-1, 1, 1]
    mirror = relabelling()
    planted = np.zeros((K, 3))
    planted[[l for l, _ in PAIRS]] = [0.0, 0.04, -0.03]
    raw, ind = [], []
    for i in range(6):
        d = 0.08 * rng.standard_normal((K, 3))
        sym = 0.5 * (d + d[mirror] * [-1, 1, 1])
        fa = 0.025 * rng.standard_normal((K, 3))
        for _ in range(3 if i == 0 else 2):
            x = base + sym + planted + fa + 0.008 * rng.standard_normal((K, 3))
            raw.append(pose(rng, x))
            ind.append("ind%d" % (i + 1))
    # Matching: each side with the midline, one pose each; the first
    # individual's third right side is missing.
    lefts = [l for l, _ in PAIRS] + MIDLINE
    rights = [r for _, r in PAIRS] + MIDLINE
    m_raw, m_ind, m_side = [], [], []
    for j, (x, i) in enumerate(zip(raw, ind)):
        for side, cols in (("L", lefts), ("R", rights)):
            if j == 2 and side == "R":
                continue
            m_raw.append(pose(rng, x[cols]))
            m_ind.append(i)
            m_side.append(side)
    return raw, ind, m_raw, m_ind, m_side


def cpp_rows(name, rows):
    body = ",\n".join("{" + ", ".join(repr(float(v)) for v in row) + "}" for row in rows)
    return "inline const double %s[][3] = {\n%s};" % (name, body)


def cpp_list(kind, name, values):
    if kind == "const char*":
        text = ", ".join('"%s"' % v for v in values)
    else:
        text = ", ".join(repr(float(v)) if kind == "double" else str(v) for v in values)
    if kind == "const char*":
        return "inline const char* const %s[] = {%s};" % (name, text)
    return "inline const %s %s[] = {%s};" % (kind, name, text)


def main():
    raw, ind, m_raw, m_ind, m_side = sample()
    mirror = relabelling()
    reflected = [x[mirror] * [-1, 1, 1] for x in raw]
    ref, fitted = gpa(raw + reflected)
    side = [0] * len(raw) + [1] * len(raw)
    ss, df, sst = symmetry_ss(tangent(ref, fitted), ind + ind, side)
    ai, da = asymmetry(fitted, ind + ind, side)

    m_side01 = [0 if s == "L" else 1 for s in m_side]
    m_data = [x * [-1, 1, 1] if s else x for x, s in zip(m_raw, m_side01)]
    m_ref, m_fitted = gpa(m_data)
    m_ss, m_df, m_sst = symmetry_ss(tangent(m_ref, m_fitted), m_ind, m_side01)

    o_ref, o_fitted = gpa(raw)
    y = tangent(o_ref, o_fitted)
    n = len(ind)
    counts = np.array([ind.count(l) for l in sorted(set(ind))], dtype=float)
    yc = y - y.mean(axis=0)
    design = np.hstack([np.ones((n, 1)), dummies(ind)])
    ms_ind = (rss(design[:, :1], yc) - rss(design, yc)) / (len(counts) - 1)
    ms_err = rss(design, yc) / (n - len(counts))
    n0 = (n - np.sum(counts**2) / n) / (len(counts) - 1)
    rep = (ms_ind - ms_err) / (ms_ind + (n0 - 1) * ms_err)

    print("#pragma once\n")
    print("// Written by tools/symmetry_reference.py (numpy): a synthetic bilateral sample")
    print("// with replicates and planted directional and fluctuating asymmetry, and the")
    print("// sums of squares of its symmetry ANOVA by nested least-squares fits.\n")
    print("namespace velmora::stats::golden {\n")
    print("// Object symmetry: 13 configurations of 11 landmarks.")
    print("inline const int kLandmarks = %d;" % K)
    print("inline const int kPairs[][2] = {%s};" % ", ".join("{%d, %d}" % p for p in PAIRS))
    print(cpp_list("const char*", "kIndividual", ind))
    print(cpp_rows("kRaw", np.vstack(raw)))
    print("// individual, side, individual:side, residuals; then the total SS.")
    print(cpp_list("double", "kSs", ss))
    print(cpp_list("int", "kDf", df))
    print("inline const double kSst = %r;" % sst)
    print("// The unsigned asymmetry index of each individual; the norm of their mean.")
    print(cpp_list("double", "kAsymmetryIndex", ai))
    print("inline const double kDirectionalNorm = %r;" % da)
    print("\n// Matching symmetry: 25 configurations of 7 landmarks.")
    print(cpp_list("const char*", "kMatchingIndividual", m_ind))
    print(cpp_list("const char*", "kMatchingSide", m_side))
    print(cpp_rows("kMatchingRaw", np.vstack(m_raw)))
    print(cpp_list("double", "kMatchingSs", m_ss))
    print(cpp_list("int", "kMatchingDf", m_df))
    print("inline const double kMatchingSst = %r;" % m_sst)
    print("\n// Repeatability of the originals' own superimposition.")
    print("inline const double kMsIndividual = %r;" % ms_ind)
    print("inline const double kMsError = %r;" % ms_err)
    print("inline const double kReplicatesN0 = %r;" % n0)
    print("inline const double kRepeatability = %r;" % rep)
    print("\n}  // namespace velmora::stats::golden")


if __name__ == "__main__":
    main()
