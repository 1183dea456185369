#!/usr/bin/python3
"""The bundled skulls' symmetry and repeatability sums of squares, from numpy.

The same independent computation as tools/symmetry_reference.py (generalized
Procrustes of the originals and their relabelled reflections, tangent
coordinates, R's anova(lm()) sums of squares by nested QR fits), on
examples/symmetry: skulls.txt (one specimen a line, x1 y1 z1 ... centroid
size), pairs.txt and the individual column of skulls.csv.

Run:  /usr/bin/python3 tools/symmetry_example_check.py
"""
import csv
import os
import sys

import numpy as np

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import symmetry_reference as ref  # noqa: E402

HERE = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "examples", "symmetry")


def main():
    rows = np.loadtxt(os.path.join(HERE, "skulls.txt"))
    k = (rows.shape[1] - 1) // 3
    raw = [r[:3 * k].reshape(k, 3) for r in rows]
    pairs = np.loadtxt(os.path.join(HERE, "pairs.txt"), dtype=int) - 1
    relabel = list(range(k))
    for a, b in pairs:
        relabel[a], relabel[b] = b, a
    with open(os.path.join(HERE, "skulls.csv")) as f:
        ind = [r["individual"] for r in csv.DictReader(f)]
    mirror = np.diag([-1.0, 1.0, 1.0])
    reflected = [(x @ mirror)[relabel] for x in raw]
    consensus, fitted = ref.gpa(raw + reflected)
    y = ref.tangent(consensus, fitted)
    ss, df, total = ref.symmetry_ss(y, ind + ind, [0] * len(raw) + [1] * len(raw))
    for name, s, d in zip(["individual", "side", "individual:side", "Residuals"], ss, df):
        print("%-16s Df %3d  SS %.15g" % (name, d, s))
    print("%-16s Df %3d  SS %.15g" % ("Total", len(y) - 1, total))
    # Repeatability: shape ~ individual on the originals' own superimposition.
    c2, f2 = ref.gpa(raw)
    y2 = ref.tangent(c2, f2)
    y2 = y2 - y2.mean(axis=0)
    one = np.ones((len(raw), 1))
    r0 = ref.rss(one, y2)
    r1 = ref.rss(np.hstack([one, ref.dummies(ind)]), y2)
    a = len(set(ind))
    ms_ind, ms_err = (r0 - r1) / (a - 1), r1 / (len(raw) - a)
    n0 = (len(raw) - sum(ind.count(l) ** 2 for l in set(ind)) / len(raw)) / (a - 1)
    rep = (ms_ind - ms_err) / (ms_ind + (n0 - 1) * ms_err)
    print("repeatability: SS individual %.15g, SS error %.15g, R %.15g" % (r0 - r1, r1, rep))


if __name__ == "__main__":
    main()
