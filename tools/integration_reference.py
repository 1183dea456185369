#!/usr/bin/python3
"""Independent numbers for Velmora's integration, modularity and disparity.

Computes with numpy alone, from the published definitions, for a small fixed
sample of "tangent coordinates" (10 specimens of 9 landmarks, stacked layout:
all x, then all y, then all z), and prints them as the C++ header
tests/stats/integration_golden.hpp:

  two-block PLS (Rohlf & Corti 2000): the singular values of
      S12 = X1c' X2c / (n - 1) by numpy's SVD, r-PLS as numpy's corrcoef of
      the first pair of scores X1c u1, X2c v1, and Escoufier's RV
      |S12|^2 / sqrt(|S11|^2 |S22|^2), between the blocks of a two-block
      partition and between the first block and two covariates;
  the covariance ratio (Adams 2016): CR = sqrt(|S12|^2 / sqrt(|S11*|^2
      |S22*|^2)) averaged over pairs of blocks, with each landmark's own 3x3
      block of S11, S22 set to zero; and geomorph's version, with only the
      main diagonal set to zero, at its angle: the coordinates turned about
      z by each of 0, 0.05, ..., 89.95 degrees ((x, y) -> (x c + y s,
      -x s + y c)), the first angle whose CR is nearest the mean of all;
  Procrustes variances (geomorph's morphol.disparity): the mean squared
      length of each group's residual rows, residuals of the group means or
      of a model with a covariate;
  the Box-Cox effect size (geomorph's effect.size) of a fixed vector,
      lambda found by a grid over [-5, 5] refined twice.

Run:  /usr/bin/python3 tools/integration_reference.py > tests/stats/integration_golden.hpp
      clang-format -i tests/stats/integration_golden.hpp
"""
import numpy as np

N, K = 10, 9
TWO = [0, 0, 1, 1, 0, 1, 1, 0, 1]
THREE = [0, 1, 0, 2, 1, 0, 2, 1, 2]
GROUPS = ["a", "a", "a", "b", "b", "b", "b", "c", "c", "c"]


def sample():
    rng = np.random.default_rng(38)
    base = rng.normal(size=(N, 3 * K))
    factor = rng.normal(size=(N, 1))
    loading = rng.normal(size=(1, 3 * K))
    t = 0.01 * (base + factor @ loading)
    covariates = np.column_stack([rng.normal(size=N), np.arange(N) * 0.1]) + t[:, :2] * 30
    return t, covariates


def columns(block, which):
    lm = [l for l in range(K) if block[l] == which]
    return [d * K + l for d in range(3) for l in lm]


def pls(x, y):
    n = len(x)
    xc, yc = x - x.mean(0), y - y.mean(0)
    s12 = xc.T @ yc / (n - 1)
    u, s, vt = np.linalg.svd(s12)
    q = min(x.shape[1], y.shape[1], n - 1)
    r = np.corrcoef(xc @ u[:, 0], yc @ vt[0])[0, 1]
    s11, s22 = xc.T @ xc / (n - 1), yc.T @ yc / (n - 1)
    rv = (s12 ** 2).sum() / np.sqrt((s11 ** 2).sum() * (s22 ** 2).sum())
    return s[:q], abs(r), rv


def interleaved(t):
    return np.column_stack([t[:, d * K + l] for l in range(K) for d in range(3)])


def cr(x, block, own_blocks):
    """x interleaved (x1 y1 z1 x2 ...); own_blocks: zero each landmark's 3x3
    block, else only the main diagonal."""
    s = np.cov(x, rowvar=False)
    lab = np.repeat(block, 3)
    lm = np.repeat(np.arange(K), 3)
    g = max(block) + 1
    values = []
    for a in range(g):
        for b in range(a + 1, g):
            ia, ib = np.where(lab == a)[0], np.where(lab == b)[0]
            s11, s22 = s[np.ix_(ia, ia)].copy(), s[np.ix_(ib, ib)].copy()
            for m, idx in ((s11, ia), (s22, ib)):
                if own_blocks:
                    m[lm[idx][:, None] == lm[idx][None, :]] = 0
                else:
                    np.fill_diagonal(m, 0)
            s12 = s[np.ix_(ia, ib)]
            values.append(np.sqrt((s12 ** 2).sum() / np.sqrt((s11 ** 2).sum() * (s22 ** 2).sum())))
    return np.mean(values)


def geomorph_cr(t, block):
    x = interleaved(t)
    angles = np.arange(1800) * 0.05
    crs = []
    for a in angles:
        c, s = np.cos(np.radians(a)), np.sin(np.radians(a))
        y = x.copy()
        y[:, 0::3] = x[:, 0::3] * c + x[:, 1::3] * s
        y[:, 1::3] = -x[:, 0::3] * s + x[:, 1::3] * c
        crs.append(cr(y, block, False))
    crs = np.array(crs)
    best = int(np.argmin(np.abs(crs - crs.mean())))
    return crs[best], angles[best]


def disparity(t, design):
    if design is None:
        levels = sorted(set(GROUPS))
        r = t.copy()
        for l in levels:
            rows = [i for i in range(N) if GROUPS[i] == l]
            r[rows] -= t[rows].mean(0)
    else:
        beta, *_ = np.linalg.lstsq(design, t, rcond=None)
        r = t - design @ beta
    d = (r ** 2).sum(1)
    return [d[[i for i in range(N) if GROUPS[i] == l]].mean() for l in sorted(set(GROUPS))]


def box_cox_z(values):
    y = np.array(values, dtype=float)
    if y.min() <= 0:
        y = y - y.min() + 0.0001
    rest = y[1:]
    yy = rest / np.exp(np.log(rest).mean())
    ly = np.log(yy)

    def loglik(la):
        if abs(la) > 0.001:
            t = (yy ** la - 1) / la
        else:
            x = la * ly
            t = ly * (1 + x / 2 * (1 + x / 3 * (1 + x / 4)))
        return -len(t) / 2 * np.log(((t - t.mean()) ** 2).sum())

    grid = np.linspace(-5, 5, 10001)
    for _ in range(3):
        best = grid[int(np.argmax([loglik(la) for la in grid]))]
        step = grid[1] - grid[0]
        grid = np.linspace(best - step, best + step, 2001)
    la = best if abs(best) >= 0.001 else 0.0
    t = np.log(y) if la == 0 else (y ** la - 1) / la
    return (t[0] - t.mean()) / np.sqrt(((t - t.mean()) ** 2).mean()), la


def effect_sample():
    rng = np.random.default_rng(7)
    return np.concatenate([[0.93], 0.4 + 0.3 * rng.beta(2, 5, size=199)])


def cpp_array(name, values):
    return "inline const double %s[] = {%s};" % (name, ", ".join(repr(float(v)) for v in values))


def main():
    t, cov = sample()
    print("#pragma once\n")
    print("// Written by tools/integration_reference.py (numpy) from the published")
    print("// definitions: PLS, RV, the covariance ratio, Procrustes variances and the")
    print("// Box-Cox effect size of a small fixed sample.\n")
    print("#include <cstddef>\n")
    print("namespace velmora::stats::golden {\n")
    print("inline constexpr int kN = %d, kK = %d;" % (N, K))
    print("// 10 specimens of 9 landmarks, stacked layout (all x, all y, all z).")
    print("inline const double kTangent[][%d] = {\n%s};" % (
        3 * K, ",\n".join("{" + ", ".join(repr(float(v)) for v in row) + "}" for row in t)))
    print("inline const double kCovariates[][2] = {%s};" % ", ".join(
        "{%r, %r}" % (float(a), float(b)) for a, b in cov))
    print("inline const std::size_t kTwoBlocks[] = {%s};" % ", ".join(map(str, TWO)))
    print("inline const std::size_t kThreeBlocks[] = {%s};" % ", ".join(map(str, THREE)))
    print("inline const char* const kGroups[] = {%s};" % ", ".join('"%s"' % g for g in GROUPS))
    x, y = t[:, columns(TWO, 0)], t[:, columns(TWO, 1)]
    s, r, rv = pls(x, y)
    print("// Block 0 against block 1 of kTwoBlocks.")
    print(cpp_array("kBlockSingularValues", s))
    print("inline constexpr double kBlockRpls = %r, kBlockRv = %r;" % (float(r), float(rv)))
    s, r, rv = pls(x, cov)
    print("// Block 0 against the covariates.")
    print(cpp_array("kCovariateSingularValues", s))
    print("inline constexpr double kCovariateRpls = %r, kCovariateRv = %r;" % (float(r), float(rv)))
    print("// CR, own 3x3 blocks set to zero; geomorph's CR and its angle (degrees).")
    for name, block in (("Two", TWO), ("Three", THREE)):
        g, angle = geomorph_cr(t, block)
        print("inline constexpr double kCr%s = %r, kGeomorphCr%s = %r, kGeomorphAngle%s = %r;" % (
            name, float(cr(interleaved(t), block, True)), name, float(g), name, float(angle)))
    print("// Procrustes variances of a, b, c: residuals of the group means, then of")
    print("// the model intercept + the first covariate.")
    print(cpp_array("kGroupVariance", disparity(t, None)))
    print(cpp_array("kModelVariance", disparity(t, np.column_stack([np.ones(N), cov[:, 0]]))))
    values = effect_sample()
    z, la = box_cox_z(values)
    print("// A statistic (first) among 199 permuted values, and its effect size.")
    print(cpp_array("kEffectValues", values))
    print("inline constexpr double kEffectZ = %r, kEffectLambda = %r;" % (float(z), float(la)))
    print("\n}  // namespace velmora::stats::golden")


if __name__ == "__main__":
    main()
