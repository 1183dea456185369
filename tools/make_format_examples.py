#!/usr/bin/env python3
"""Writes the bundled skull sample in every landmark format Velmora reads.

    python3 tools/make_format_examples.py [OUTPUT_FOLDER]

reads examples/skulls.txt and examples/age.txt and writes into OUTPUT_FOLDER
(default: examples/formats):

    skulls.tps                  TPS, one LM3= block a specimen with its ID=
    skulls.nts                  NTS, header "1 80L 36L 0 dim=3", labels
    skulls_morphologika.txt     Morphologika, with age as [labels]/[labelvalues]
    skulls.csv, skulls.tsv      tables with a header row
    skull01.fcsv …              markups CSV, one specimen a file (first three)
    skull01.mrk.json …          markups JSON, one specimen a file (first three)

The coordinates are copied as the text of skulls.txt (six decimals), so every
file holds exactly the same numbers.  Only the standard library is used and
the output is the same on every run.
"""

import json
import os
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
EXAMPLES = os.path.join(os.path.dirname(HERE), "examples")

LANDMARKS = [
    "prosthion", "nasion", "bregma", "lambda", "opisthion", "basion",
    "left porion", "right porion", "left zygion", "right zygion",
    "left orbitale", "right orbitale",
]
ONE_SPECIMEN_FILES = 3


def read_sample():
    with open(os.path.join(EXAMPLES, "skulls.txt")) as f:
        rows = [line.split() for line in f if line.strip()]
    with open(os.path.join(EXAMPLES, "age.txt")) as f:
        ages = [line.strip() for line in f if line.strip()]
    k = (len(rows[0]) - 1) // 3
    specimens = []
    for i, row in enumerate(rows):
        points = [row[3 * j:3 * j + 3] for j in range(k)]
        specimens.append(("skull%02d" % (i + 1), points))
    return specimens, ages, k


def write(folder, name, text):
    with open(os.path.join(folder, name), "w", newline="\n") as f:
        f.write(text)


def tps(specimens):
    out = []
    for name, points in specimens:
        out.append("LM3=%d\n" % len(points))
        out.extend(" ".join(p) + "\n" for p in points)
        out.append("IMAGE=%s.ply\nID=%s\n" % (name, name))
    return "".join(out)


def nts(specimens, k):
    out = ['" Velmora example skulls: %d specimens, %d 3-D landmarks\n' % (len(specimens), k)]
    out.append("1 %dL %dL 0 dim=3\n" % (len(specimens), 3 * k))
    out.append(" ".join(name for name, _ in specimens) + "\n")
    out.append(" ".join("%s_%s" % (lm.replace(" ", "_"), axis)
                        for lm in LANDMARKS for axis in "xyz") + "\n")
    for _, points in specimens:
        out.append(" ".join(c for p in points for c in p) + "\n")
    return "".join(out)


def morphologika(specimens, ages, k):
    out = ["'Velmora example skulls\n", "[individuals]\n%d\n" % len(specimens),
           "[landmarks]\n%d\n" % k, "[dimensions]\n3\n", "[names]\n"]
    out.extend(name + "\n" for name, _ in specimens)
    out.append("[rawpoints]\n")
    for name, points in specimens:
        out.append("'#%s\n" % name)
        out.extend(" ".join(p) + "\n" for p in points)
    out.append("[labels]\nAge\n[labelvalues]\n")
    out.extend(age + "\n" for age in ages)
    return "".join(out)


def table(specimens, k, sep):
    header = ["specimen"] + ["%s%d" % (axis, j + 1) for j in range(k) for axis in "xyz"]
    out = [sep.join(header) + "\n"]
    for name, points in specimens:
        out.append(sep.join([name] + [c for p in points for c in p]) + "\n")
    return "".join(out)


def fcsv(points):
    out = ["# Markups fiducial file version = 4.11\n", "# CoordinateSystem = LPS\n",
           "# columns = id,x,y,z,ow,ox,oy,oz,vis,sel,lock,label,desc,associatedNodeID\n"]
    for j, p in enumerate(points):
        out.append("%d,%s,%s,%s,0,0,0,1,1,1,0,%s,,\n" % (j + 1, p[0], p[1], p[2], LANDMARKS[j]))
    return "".join(out)


def mrk_json(points):
    control = [{"id": str(j + 1), "label": LANDMARKS[j],
                "position": [float(c) for c in p], "positionStatus": "defined"}
               for j, p in enumerate(points)]
    doc = {"@schema": "markups-schema-v1.0.3",
           "markups": [{"type": "Fiducial", "coordinateSystem": "LPS",
                        "coordinateUnits": "mm", "controlPoints": control}]}
    return json.dumps(doc, indent=2) + "\n"


def main():
    folder = sys.argv[1] if len(sys.argv) > 1 else os.path.join(EXAMPLES, "formats")
    os.makedirs(folder, exist_ok=True)
    specimens, ages, k = read_sample()
    write(folder, "skulls.tps", tps(specimens))
    write(folder, "skulls.nts", nts(specimens, k))
    write(folder, "skulls_morphologika.txt", morphologika(specimens, ages, k))
    write(folder, "skulls.csv", table(specimens, k, ","))
    write(folder, "skulls.tsv", table(specimens, k, "\t"))
    for name, points in specimens[:ONE_SPECIMEN_FILES]:
        write(folder, name + ".fcsv", fcsv(points))
        write(folder, name + ".mrk.json", mrk_json(points))


if __name__ == "__main__":
    main()
