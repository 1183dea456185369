#!/usr/bin/python3
"""Writes the bundled bilateral example (synthetic, fixed seed).

    /usr/bin/python3 tools/make_symmetry_example.py [OUTPUT_FOLDER]

writes into OUTPUT_FOLDER (default: examples/symmetry) a sample of skulls,
each digitized twice, with

  * 26 landmarks: 10 left-right pairs and 6 on the midline (x = 0);
  * two modules: the face (landmarks in front, y > 0) and the braincase
    (behind), each varying among individuals along factors of its own, so
    that landmarks covary strongly within a module and little between them;
  * directional asymmetry: every right-side landmark of the face sits
    further forward than its left partner by the same amount;
  * fluctuating asymmetry: each individual's own small random asymmetry;
  * measurement error: each digitization adds noise to every coordinate;

then every configuration is turned, moved and rescaled at random.  Files:

  skulls.txt    Velmora's native layout: one configuration a line, x1 y1 z1 …
                and its centroid size (48 lines: 24 individuals × 2)
  skulls.csv    the specimen table: id, individual, replicate, sex
  pairs.txt     the landmark pairs, "left right" a line
  modules.txt   one block label a line, a line a landmark (face, braincase)
"""
import os
import sys

import numpy as np

HERE = os.path.dirname(os.path.abspath(__file__))


def main():
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.join(HERE, "..", "examples", "symmetry")
    os.makedirs(out, exist_ok=True)
    rng = np.random.default_rng(38)
    n_ind, reps = 24, 2
    # Landmarks 1..20: pairs (2j+1 left at x > 0, 2j+2 right at x < 0);
    # 21..26 midline.
    half = np.array([[20, 60, 10], [30, 45, 25], [25, 30, 40], [40, 20, 15], [15, 70, -5],
                     [35, -10, 45], [45, -30, 30], [30, -55, 20], [20, -70, 35], [40, -45, -5]],
                    float)
    mid = np.array([[0, 80, 5], [0, 50, 45], [0, 10, 60], [0, -40, 65], [0, -80, 30],
                    [0, -20, -10]], float)
    base = np.zeros((26, 3))
    for j, p in enumerate(half):
        base[2 * j] = p
        base[2 * j + 1] = p * [-1, 1, 1]
    base[20:] = mid
    pairs = [(2 * j + 1, 2 * j + 2) for j in range(10)]
    face = base[:, 1] > 0
    mirror = np.arange(26)
    for a, b in pairs:
        mirror[a - 1], mirror[b - 1] = b - 1, a - 1

    def symmetric(field):
        """The symmetric part of a displacement field: its mean with its
        reflected, relabelled copy."""
        ref = field[mirror] * [-1, 1, 1]
        return (field + ref) / 2

    # Each module's own factors of variation: 3 random symmetric fields a
    # module, zero outside it.
    fields = []
    for module in (face, ~face):
        for _ in range(3):
            f = rng.normal(0, 1, (26, 3)) * module[:, None]
            fields.append(symmetric(f))
    # Directional asymmetry: the face's right side forward by 1.5.
    da = np.zeros((26, 3))
    for a, b in pairs:
        if face[b - 1]:
            da[b - 1, 1] += 0.75
            da[a - 1, 1] -= 0.75
    rows, table = [], ["id,individual,replicate,sex"]
    for i in range(n_ind):
        sex = "F" if i % 2 == 0 else "M"
        shape = base * (1.06 if sex == "M" else 1.0)
        for f, sd in zip(fields, [3.0, 2.0, 1.5, 3.0, 2.0, 1.5]):
            shape = shape + rng.normal(0, sd) * f
        fa = rng.normal(0, 0.6, (26, 3))
        fa = fa - symmetric(fa)
        shape = shape + da + fa
        for r in range(reps):
            x = shape + rng.normal(0, 0.25, (26, 3))
            q = np.linalg.qr(rng.standard_normal((3, 3)))[0]
            if np.linalg.det(q) < 0:
                q[:, 0] = -q[:, 0]
            x = x @ q * rng.uniform(0.9, 1.1) + rng.normal(0, 30, 3)
            cs = np.sqrt(((x - x.mean(axis=0)) ** 2).sum())
            rows.append(" ".join("%.5f" % v for v in x.reshape(-1)) + " %.5f" % cs)
            table.append("specimen %d,ind%02d,%d,%s" % (len(rows), i + 1, r + 1, sex))
    with open(os.path.join(out, "skulls.txt"), "w") as f:
        f.write("\n".join(rows) + "\n")
    with open(os.path.join(out, "skulls.csv"), "w") as f:
        f.write("\n".join(table) + "\n")
    with open(os.path.join(out, "pairs.txt"), "w") as f:
        f.write("".join("%d %d\n" % p for p in pairs))
    with open(os.path.join(out, "modules.txt"), "w") as f:
        f.write("".join(("face" if face[j] else "braincase") + "\n" for j in range(26)))


if __name__ == "__main__":
    main()
