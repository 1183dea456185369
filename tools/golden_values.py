#!/usr/bin/python3
"""Writes the golden numbers of Velmora's analysis of the bundled example.

Computes, with numpy only (through the independent implementation in
check_analysis.py), the reference configuration, the partial warp and
uniform scores, their slopes on X and on ln X, the Procrustes-distance
test and Wilks' lambda test on both scales, and prints them as a C++ header
that the end-to-end test compiles in (the tests never run Python):

  /usr/bin/python3 tools/golden_values.py > tests/app/golden_values.hpp

The principal axes and the score columns are printed in the signs numpy
gives them; the test compares up to the sign of each.
"""
import math
import os
import sys

import numpy as np

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from check_analysis import (centred_unit, classic_fit, configs, principal_axes,  # noqa: E402
                            read_rows, regstuf, standard_gpa, warp_matrix, wilks_test)


def number(v):
    assert math.isfinite(v), v
    return repr(float(v))


def row(values):
    return "{" + ", ".join(number(v) for v in values) + "}"


def c_string(text):
    return '"' + text.replace("\\", "\\\\").replace('"', '\\"') + '"'


def distance_test(fitted, age, x):
    """The squared Procrustes distances from the mean of the three youngest
    specimens and their regression on the regressor x."""
    order = np.argsort(age, kind="stable")
    start = centred_unit(fitted[order[:3]].mean(axis=0))
    dist = np.array([((start - classic_fit(start, s)[0]) ** 2).sum() for s in fitted])
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
    w("}  // namespace velmora::golden")
    print("\n".join(out))


if __name__ == "__main__":
    main()
