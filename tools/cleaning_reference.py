#!/usr/bin/python3
"""Independent numbers for Velmora's sample cleaning.

Implements with numpy alone, from the methods' definitions:
  - the standard superimposition (centre, unit centroid size, proper
    rotation by SVD onto the consensus, the rescaled mean as the next
    consensus, until it moves less than 1e-12);
  - the thin-plate spline estimate of missing landmarks (Gunz et al. 2009):
    the spline with kernel U(r) = r,  f(x) = a + A x + sum_i w_i |x - s_i|,
    solving [K P; P' 0][W; (a A)'] = [Y; 0], that carries the consensus of
    the complete specimens (its present landmarks) onto the specimen's
    present landmarks, evaluated at the consensus' missing landmarks;
  - the outlier screen: Procrustes distances to the mean on the tangent
    coordinates x - (x.u)u (u the unit consensus), R's type-7 quartiles
    (numpy's linear percentile), the fence Q3 + 1.5 IQR, and the
    Mahalanobis distance on the fewest principal components that reach 95 %
    of the variance (at most n - 2).

It prints the golden values of the estimates or of the outlier screen:
  /usr/bin/python3 tools/cleaning_reference.py tps > tests/tps/cleaning_golden.hpp
  /usr/bin/python3 tools/cleaning_reference.py outliers > tests/stats/cleaning_golden.hpp
  clang-format -i tests/tps/cleaning_golden.hpp tests/stats/cleaning_golden.hpp
"""
import sys

import numpy as np


def unit(c):
    c = c - c.mean(axis=0)
    return c / np.linalg.norm(c)


def rotation_onto(subject, reference):
    u, _, vt = np.linalg.svd(subject.T @ reference)
    d = np.sign(np.linalg.det(u @ vt))
    return u @ np.diag([1.0, 1.0, d]) @ vt


def gpa(sample):
    fitted = np.array([unit(x) for x in sample])
    ref = unit(sample.sum(axis=0))
    for _ in range(100):
        fitted = np.array([x @ rotation_onto(x, ref) for x in fitted])
        new = unit(fitted.mean(axis=0))
        moved = np.linalg.norm(new - ref)
        ref = new
        if moved < 1e-12:
            break
    fitted = np.array([x @ rotation_onto(x, ref) for x in fitted])
    return ref, fitted


def tps(source, target, points):
    k = len(source)
    K = np.linalg.norm(source[:, None, :] - source[None, :, :], axis=2)
    P = np.hstack([np.ones((k, 1)), source])
    L = np.zeros((k + 4, k + 4))
    L[:k, :k], L[:k, k:], L[k:, :k] = K, P, P.T
    rhs = np.vstack([target, np.zeros((4, 3))])
    sol = np.linalg.solve(L, rhs)
    W, A = sol[:k], sol[k:]
    U = np.linalg.norm(points[:, None, :] - source[None, :, :], axis=2)
    return U @ W + np.hstack([np.ones((len(points), 1)), points]) @ A


def random_rotation(rng):
    q, r = np.linalg.qr(rng.normal(size=(3, 3)))
    q = q @ np.diag(np.sign(np.diag(r)))
    if np.linalg.det(q) < 0:
        q[:, 0] = -q[:, 0]
    return q


def make_sample(rng, n, k, noise):
    base = rng.normal(size=(k, 3)) * [3.0, 2.0, 1.5]
    out = []
    for _ in range(n):
        x = base + noise * rng.normal(size=(k, 3))
        out.append(rng.uniform(5, 20) * x @ random_rotation(rng) + rng.normal(size=3) * 10)
    return np.array(out)


def emit(name, rows, comment):
    print("// " + comment)
    print("inline const double %s[][3] = {" % name)
    print(",\n".join("{%s}" % ", ".join(repr(float(v)) for v in r) for r in rows))
    print("};")


def emit_list(name, kind, values, comment):
    print("// " + comment)
    print("inline const %s %s[] = {%s};" % (kind, name, ", ".join(repr(v) for v in values)))


rng = np.random.default_rng(20261211)

# Missing landmarks: 16 specimens of 12 landmarks; specimens 0-5 miss 15.
n, k = 16, 12
sample = make_sample(rng, n, k, 0.15)
missing = [(0, 1), (0, 5), (0, 9), (1, 0), (1, 11), (2, 3), (2, 4), (2, 7), (3, 2), (3, 10),
           (4, 6), (4, 8), (4, 11), (5, 0), (5, 5)]
incomplete = sorted({i for i, _ in missing})
complete = [i for i in range(n) if i not in incomplete]
consensus, _ = gpa(sample[complete])
estimates = []
for i in incomplete:
    gone = [j for s, j in missing if s == i]
    kept = [j for j in range(k) if j not in gone]
    estimates.extend(tps(consensus[kept], sample[i][kept], consensus[gone]))

# Outliers: 25 specimens of 10 landmarks, the last one far from the rest.
m_n, m_k = 25, 10
clean = make_sample(rng, m_n, m_k, 0.08)
clean[-1][3] += 0.9 * np.array([1.0, -1.0, 0.5]) * np.linalg.norm(clean[-1][3] - clean[-1].mean(0)) / 3
ref, fitted = gpa(clean)
u = ref.T.reshape(-1) / np.linalg.norm(ref)
stacked = np.array([f.T.reshape(-1) for f in fitted])
tangent = stacked - np.outer(stacked @ u, u)
centred = tangent - tangent.mean(axis=0)
distances = np.linalg.norm(centred, axis=1)
q1, q3 = np.percentile(distances, [25, 75])
_, s, vt = np.linalg.svd(centred, full_matrices=False)
lam = s**2
rank = int((lam > 1e-9 * lam[0]).sum())
cum = np.cumsum(lam[:rank]) / lam[:rank].sum()
m = min(int(np.searchsorted(cum, 0.95 - 1e-15) + 1), m_n - 2)
scores = centred @ vt[:m].T
variances = lam[:m] / (m_n - 1)
mahalanobis = np.sqrt((scores**2 / variances).sum(axis=1))

part = sys.argv[1] if len(sys.argv) > 1 else "tps"
layer = "tps" if part == "tps" else "stats"
print("#pragma once\n")
print("// Written by tools/cleaning_reference.py %s (numpy).\n" % part)
print("namespace velmora::%s::cleaning_golden {\n" % layer)
if part == "tps":
    print("inline constexpr int kN = %d, kK = %d;" % (n, k))
    emit("kSample", sample.reshape(-1, 3), "The raw sample with missing landmarks, specimen after specimen.")
    emit_list("kMissing", "int", [v for p in missing for v in p], "(specimen, landmark) pairs, 0-based.")
    emit("kTpsEstimates", estimates, "The thin-plate spline estimates, in the order of kMissing.")
else:
    print("inline constexpr int kOutlierN = %d, kOutlierK = %d;" % (m_n, m_k))
    emit("kOutlierSample", clean.reshape(-1, 3), "The raw sample of the outlier screen.")
    emit_list("kDistances", "double", [float(d) for d in distances], "Distances to the mean, file order.")
    emit_list("kQuartiles", "double", [float(q1), float(q3)], "Q1 and Q3 (R's type 7).")
    print("inline constexpr int kComponents = %d;" % m)
    emit_list("kMahalanobis", "double", [float(d) for d in mahalanobis], "Mahalanobis distances.")
print("\n}  // namespace velmora::%s::cleaning_golden" % layer)
