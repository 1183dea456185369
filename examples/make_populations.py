"""Writes the two-population example (synthetic, fixed seed).

    python3 examples/make_populations.py [OUTPUT_FOLDER]

writes populations.txt (80 skulls of the landmark scheme of skulls.txt, in
the native landmark file layout) and populations.csv (the specimen table:
id, population, age) into OUTPUT_FOLDER (default: this folder).  The coast
population grows as skulls.txt does, its face outgrowing the vault; the
inland population's face grows almost with size (its allometric exponents
are drawn a fifth of the way from 1 towards those of the coast), so the two
populations share a mean shape at birth but not their growth: a linear
model of shape on log(CS) * population finds different slopes.
"""

import os
import random
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import make_examples as base  # noqa: E402

SEED = 20261210
PER_POPULATION = 40


def main():
    folder = sys.argv[1] if len(sys.argv) > 1 else os.path.dirname(os.path.abspath(__file__))
    rng = random.Random(SEED)
    coast = list(base.LANDMARKS)
    inland = [(n, p, 1.0 + 0.2 * (e - 1.0)) for n, p, e in coast]
    rows, table = [], ["id,population,age"]
    for i in range(2 * PER_POPULATION):
        population = "coast" if i % 2 == 0 else "inland"
        age = round(rng.uniform(base.AGE_MIN, base.AGE_MAX), 1)
        base.LANDMARKS = coast if population == "coast" else inland
        points = base.specimen(rng, age)
        numbers = [c for p in points for c in p] + [base.centroid_size(points)]
        rows.append(" ".join("%.6f" % v for v in numbers))
        table.append("specimen %d,%s,%.1f" % (i + 1, population, age))
    base.LANDMARKS = coast
    with open(os.path.join(folder, "populations.txt"), "w", newline="\n") as f:
        f.write("\n".join(rows) + "\n")
    with open(os.path.join(folder, "populations.csv"), "w", newline="\n") as f:
        f.write("\n".join(table) + "\n")


if __name__ == "__main__":
    main()
