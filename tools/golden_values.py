#!/usr/bin/python3
"""Writes the golden numbers of Velmora's analysis of the bundled example.

Computes, with numpy only (through the independent implementation in
check_analysis.py), the reference configuration, the partial warp and
uniform scores, their slopes on X and on ln X, the Procrustes-distance
test and Wilks' lambda test on both scales, and the shapes the 3-D view
shows for the regression and for PC1, and prints them as a C++ header
that the end-to-end test compiles in (the tests never run Python):

  /usr/bin/python3 tools/golden_values.py > tests/app/golden_values.hpp

The principal axes and the score columns follow the program's sign
convention (check_analysis.principal_axes and largest_entry_positive).
"""
import math
import os
import sys

import numpy as np

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from check_analysis import (classic_fit, configs, distance_start,  # noqa: E402
                            largest_entry_positive, optimal_fit, principal_axes, read_rows,
                            regstuf, standard_gpa, warp_matrix, wilks_test)


def number(v):
    assert math.isfinite(v), v
    return repr(float(v))


def row(values):
    return "{" + ", ".join(number(v) for v in values) + "}"


def c_string(text):
    return '"' + text.replace("\\", "\\\\").replace('"', '\\"') + '"'


def distance_test(fitted, age, x):
    """The squared Procrustes distances from the mean of the youngest
    specimens (every one whose age is at most the third-smallest) and their
    regression on the regressor x."""
    start = distance_start(fitted, age)
    dist = np.array([((start - optimal_fit(start, s)) ** 2).sum() for s in fitted])
    b, a, sb, r, z = regstuf(x, dist)
    # The upper tail of the standard normal, computed directly.
    p = 0.5 * math.erfc(z / math.sqrt(2))
    text = ("Regression Slope: %.4g Regression Intercept: %.4g Std. Deviation in Slope: %.4g  "
            "Correlation Coefficient %2.4f  Zscore: %2.4f  p score = %3.8g" % (b, a, sb, r, z, p))
    return dist, (b, a, sb, r, z, p), text


def main():
    folder = sys.argv[1] if len(sys.argv) > 1 else os.path.join(
        os.path.dirname(os.path.abspath(__file__)), "..", "examples")
    rows = read_rows(os.path.join(folder, "skulls.txt"))
    age = read_rows(os.path.join(folder, "age.txt"))[:, 0]
    ref, fitted, _ = standard_gpa(configs(rows))
    u = principal_axes(ref)
    ref, fitted = ref @ u, fitted @ u
    scores = np.array([(s - ref).T.reshape(-1) for s in fitted]) @ warp_matrix(ref)
    n, m = scores.shape
    k = len(ref)

    out = []
    w = out.append
    w("// The bundled example's analysis (examples/skulls.txt and age.txt) computed")
    w("// independently with numpy.  Generated; do not edit.  Regenerate with")
    w("//   /usr/bin/python3 tools/golden_values.py > tests/app/golden_values.hpp")
    w("// clang-format off")
    w("#pragma once")
    w("")
    w("namespace velmora::golden {")
    w("")
    w("inline constexpr int kSpecimens = %d;" % n)
    w("inline constexpr int kLandmarks = %d;" % k)
    w("inline constexpr int kScoreColumns = %d;" % m)
    w("")
    w("/// Consensus of the standard superimposition in its principal axes, k×3.")
    w("inline constexpr double kReference[%d][3] = {" % k)
    for r in ref:
        w("    %s," % row(r))
    w("};")
    w("")
    w("/// Partial warp and uniform scores, one row a specimen.")
    w("inline constexpr double kScores[%d][%d] = {" % (n, m))
    for r in scores:
        w("    %s," % row(r))
    w("};")
    w("")
    w("/// One scale of the independent variable: X or ln X.")
    w("struct Scale {")
    w("  double slopes[%d];     ///< least-squares slope of every score column" % m)
    w("  double distances[%d];  ///< squared Procrustes distances from the start shape" % n)
    w("  double distance_test[6];  ///< slope, intercept, slope sd, r, z, p")
    w("  const char* distance_report;")
    w("  double wilks[6];          ///< lambda, F, 1 - lambda, df1, df2, p")
    w("  const char* wilks_report;")
    w("};")
    w("")
    for name, label, x in (("kOnX", "X", age), ("kOnLnX", "ln X", np.log(age))):
        design = np.column_stack([np.ones(n), x])
        slopes = np.linalg.lstsq(design, scores, rcond=None)[0][1]
        dist, dstats, dtext = distance_test(fitted, age, x)
        wstats, wtext = wilks_test(scores, x)
        w("/// On %s." % label)
        w("inline constexpr Scale %s = {" % name)
        w("    %s," % row(slopes))
        w("    %s," % row(dist))
        w("    %s," % row(dstats))
        w("    %s," % c_string(dtext))
        w("    %s," % row(wstats))
        w("    %s," % c_string(wtext))
        w("};")
        w("")
    # The shapes the 3-D view shows (Save Shown Shapes writes them).  The
    # regression's target: the consensus moved by the scores' change over
    # the range of X, three times over (the exaggeration box's start), through
    # the warp matrix, and fitted back onto the consensus (centred, unit size,
    # turned by the proper rotation nearest the least-squares map).
    design = np.column_stack([np.ones(n), age])
    slopes = np.linalg.lstsq(design, scores, rcond=None)[0][1]
    moved = ref + (warp_matrix(ref) @ (3 * (age.max() - age.min()) * slopes)).reshape(3, k).T
    target = classic_fit(ref, moved)[0]
    # PC1 of the tangent coordinates (each specimen's stacked x, y, z
    # projected orthogonally onto the plane at the consensus), its loading
    # signed by its largest entry; the mean moved 5 SD either way (the PCA
    # factor box's start), in the tangent plane.
    u = ref.T.reshape(-1) / np.linalg.norm(ref)
    stacked = np.array([f.T.reshape(-1) for f in fitted])
    tangent = stacked - np.outer(stacked @ u, u)
    centred = tangent - tangent.mean(axis=0)
    _, sv, vt = np.linalg.svd(centred, full_matrices=False)
    loading = largest_entry_positive(vt[:1].T)[:, 0]
    sd = sv[0] / math.sqrt(n - 1)
    pcs = [ref + (tangent.mean(axis=0) + f * sd * loading).reshape(3, k).T for f in (-5, 5)]
    w("/// What the 3-D view shows: the regression's target on X (the change over")
    w("/// the range of X, ×3) and the mean moved along PC1 by −5 and +5 SD.")
    w("inline constexpr double kRegressionTarget[%d][3] = {" % k)
    for r in target:
        w("    %s," % row(r))
    w("};")
    w("inline constexpr double kPc1Shapes[2][%d][3] = {" % k)
    for shape in pcs:
        w("    {")
        for r in shape:
            w("        %s," % row(r))
        w("    },")
    w("};")
    w("")
    w("}  // namespace velmora::golden")
    print("\n".join(out))


if __name__ == "__main__":
    main()
