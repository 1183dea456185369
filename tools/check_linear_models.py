"""Independent check of Velmora's Procrustes linear models (numpy only).

    /usr/bin/python3 tools/check_linear_models.py

Reads examples/populations.txt and examples/populations.csv, superimposes
the skulls by generalized Procrustes analysis (centred, unit centroid size,
rotated to the mean until it stops changing) and projects them onto the
tangent space at the mean, x (I - mu mu^T).  Writes

  tests/stats/data/populations_shape.txt   n rows of 3k shape variables,
      then the columns CS (raw centroid size), population, age and side (a
      made-up factor of three levels), for
      tools/check_linear_models.R and the C++ tests;
  tests/stats/data/populations_numpy.txt   the ANOVA of
      shape ~ log(CS) * population + side, sequential (I) and marginal (II), with
      p values and Z (the observed ln F as a standard deviate among the
      observed and permuted ln F) of RRPP computed by refitting every model for every one of
      999 permutations of numpy's own generator (so they agree with
      Velmora's only within Monte-Carlo error); then the line PAIR: the
      Procrustes distance between the populations' least-squares means at the
      mean log(CS), the angle (degrees) between their slope vectors and the
      difference of their lengths, and their three p values of RRPP: the
      distance's under shape ~ log(CS) (no term of the groups), the angle's
      and the length difference's under shape ~ log(CS) + population;
  tests/analysis/data/populations_within_slopes.txt   the line `mean`: the
      mean shape the specimens were superimposed on (x1 y1 z1 x2 …), then the
      lines `age` and `log(CS)`: the pooled within-group slopes (within
      population) of the superimposed coordinates on each, in the same layout.
"""

import itertools
import os

import numpy as np

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
OUT = os.path.join(ROOT, "tests", "stats", "data")


def read_sample():
    rows = np.loadtxt(os.path.join(ROOT, "examples", "populations.txt"))
    table = [l.strip().split(",") for l in open(os.path.join(ROOT, "examples", "populations.csv"))]
    pops = [r[1] for r in table[1:]]
    ages = np.array([float(r[2]) for r in table[1:]])
    return rows[:, :-1].reshape(len(rows), -1, 3), pops, ages


def gpa(x):
    x = x - x.mean(axis=1, keepdims=True)
    cs = np.sqrt((x ** 2).sum(axis=(1, 2)))
    x = x / cs[:, None, None]
    mean = x[0]
    for _ in range(1000):
        for i in range(len(x)):
            u, _, vt = np.linalg.svd(x[i].T @ mean)
            d = np.sign(np.linalg.det(u @ vt))
            x[i] = x[i] @ (u @ np.diag([1, 1, d]) @ vt)
        new = x.mean(axis=0)
        new /= np.sqrt((new ** 2).sum())
        if np.abs(new - mean).max() < 1e-15:
            break
        mean = new
    flat = x.reshape(len(x), -1)
    mu = mean.reshape(-1)
    return flat - np.outer(flat @ mu, mu), cs, flat, mean


def sides(n):
    """A made-up factor of three levels that has nothing to do with shape."""
    return ["abc"[i % 3] for i in range(n)]


def terms_of(log_cs, pops):
    g = (np.array(pops) == "inland").astype(float)[:, None]
    side = np.array(sides(len(pops)))
    s = np.column_stack([(side == "b"), (side == "c")]).astype(float)
    return [("log(CS)", log_cs[:, None], {"log(CS)"}),
            ("population", g, {"population"}),
            ("side", s, {"side"}),
            ("log(CS):population", log_cs[:, None] * g, {"log(CS)", "population"})]


def rss(x, y):
    beta, *_ = np.linalg.lstsq(x, y, rcond=None)
    r = y - x @ beta
    return (r ** 2).sum(), x @ beta, r


def anova(y, terms, kind, perms):
    n = len(y)
    one = np.ones((n, 1))
    full = np.hstack([one] + [t[1] for t in terms])
    rss_full = rss(full, y)[0]
    df_res = n - full.shape[1]
    sst = ((y - y.mean(0)) ** 2).sum()
    out = []
    for j, (name, cols, parts) in enumerate(terms):
        if kind == "I":
            red = [t[1] for t in terms[:j]]
        else:
            red = [t[1] for k, t in enumerate(terms) if k != j and not parts <= t[2]]
        xr = np.hstack([one] + red)
        xf = np.hstack([xr, cols])
        rr, fitted, resid = rss(xr, y)
        ss = rr - rss(xf, y)[0]
        df = cols.shape[1]
        f = (ss / df) / (rss_full / df_res)
        reach = 1
        log_f = [np.log(f)]
        for p in perms:
            ys = fitted + resid[p]
            s = rss(xr, ys)[0] - rss(xf, ys)[0]
            fs = (s / df) / (rss(full, ys)[0] / df_res)
            reach += fs >= f * (1 - 1e-10)
            log_f.append(np.log(fs))
        # Z: the observed ln F as a standard deviate among all of them.
        z = (log_f[0] - np.mean(log_f)) / np.std(log_f)
        out.append((name, df, ss, ss / df, ss / sst, f, reach / (len(perms) + 1), z))
    out.append(("Residuals", df_res, rss_full, rss_full / df_res, rss_full / sst, None, None, None))
    out.append(("Total", n - 1, sst, None, 1.0, None, None, None))
    return out


def main():
    x, pops, ages = read_sample()
    y, cs, aligned, mean = gpa(x)
    # Velmora reads centroid size from the file's last column.
    cs_file = np.loadtxt(os.path.join(ROOT, "examples", "populations.txt"))[:, -1]
    with open(os.path.join(OUT, "populations_shape.txt"), "w") as f:
        for i in range(len(y)):
            f.write(" ".join(repr(float(v)) for v in y[i]) + " %r %s %r %s\n" % (float(cs_file[i]), pops[i], float(ages[i]), sides(len(y))[i]))
    rng = np.random.default_rng(7)
    perms = [rng.permutation(len(y)) for _ in range(999)]
    terms = terms_of(np.log(cs_file), pops)
    with open(os.path.join(OUT, "populations_numpy.txt"), "w") as f:
        for kind in ("I", "II"):
            for name, df, ss, ms, rsq, fv, p, z in anova(y, terms, kind, perms):
                f.write("%s %s %d %r %s %r %s %s %s\n" % (kind, name, df, float(ss), "NA" if ms is None else repr(float(ms)),
                        float(rsq), "NA" if fv is None else repr(float(fv)), "NA" if p is None else repr(float(p)),
                        "NA" if z is None else repr(float(z))))
        obs, p = pairwise(y, pops, np.log(cs_file), perms)
        f.write("PAIR coast:inland %r %r %r %r %r %r\n" % (float(obs[0]), float(obs[1]), float(obs[2]), *map(float, p)))
    within_slopes(aligned, mean, pops, ages, np.log(cs_file))


def within_slopes(aligned, mean, pops, ages, log_cs):
    """The pooled within-group slopes of the superimposed coordinates, as the
    coefficient of X in the least-squares fit of shape ~ X + population (one
    slope, a line for each population): the regression that Velmora's Do
    Regression computes when the factor population is chosen."""
    n = len(aligned)
    g = (np.array(pops) == "inland").astype(float)
    with open(os.path.join(ROOT, "tests", "analysis", "data", "populations_within_slopes.txt"), "w") as f:
        f.write("mean " + " ".join(repr(float(v)) for v in mean.reshape(-1)) + "\n")
        for name, x in (("age", ages), ("log(CS)", log_cs)):
            beta, *_ = np.linalg.lstsq(np.column_stack([np.ones(n), x, g]), aligned, rcond=None)
            f.write(name + " " + " ".join(repr(float(v)) for v in beta[1]) + "\n")


def pairwise(y, pops, log_cs, perms):
    """LS means at the mean of log(CS) and slopes of each population, fitted
    separately; RRPP as above."""
    pops = np.array(pops)
    u = log_cs - log_cs.mean()

    def estimate(data):
        out = {}
        for g in ("coast", "inland"):
            x = np.column_stack([np.ones((pops == g).sum()), u[pops == g]])
            beta, *_ = np.linalg.lstsq(x, data[pops == g], rcond=None)
            out[g] = beta
        a, b = out["coast"], out["inland"]
        d = np.linalg.norm(a[0] - b[0])
        cosang = a[1] @ b[1] / np.linalg.norm(a[1]) / np.linalg.norm(b[1])
        return d, np.degrees(np.arccos(np.clip(cosang, -1, 1))), np.linalg.norm(a[1]) - np.linalg.norm(b[1])

    obs = estimate(y)
    # The distance between the means is randomized under shape ~ log(CS),
    # which holds no difference between the groups; the slopes under
    # shape ~ log(CS) + population, which holds the groups but one slope.
    means_null = np.column_stack([np.ones(len(y)), u])
    slopes_null = np.column_stack([means_null, (pops == "inland").astype(float)])
    _, fitted_m, resid_m = rss(means_null, y)
    _, fitted_s, resid_s = rss(slopes_null, y)
    reach = np.ones(3)
    for p in perms:
        d = estimate(fitted_m + resid_m[p])[0]
        s = estimate(fitted_s + resid_s[p])
        reach += [d >= obs[0] * (1 - 1e-10), s[1] >= obs[1] * (1 - 1e-10), abs(s[2]) >= abs(obs[2]) * (1 - 1e-10)]
    return obs, reach / (len(perms) + 1)


if __name__ == "__main__":
    main()
