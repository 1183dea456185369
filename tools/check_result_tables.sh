#!/usr/bin/env bash
# Saves the example's result files as CSV tables with a batch run and reads
# them back as statistics packages do: R's read.csv with the specimen names
# as row names, and Python's csv module.  Checks the headers, the names and
# that every number reads.  Exits 77 (skipped) without Rscript.
#
#   tools/check_result_tables.sh [VELMORA]   (default build/src/app/velmora)
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
velmora=${1:-$here/build/src/app/velmora}
command -v Rscript >/dev/null || exit 77
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
cat >"$out/run.velmora" <<SCRIPT
open $here/examples/skulls.txt
LoadData
open $here/examples/age.txt
LoadXList
DoRegression
save $out/scores.csv
SaveWarp
save $out/names.csv
SaveSpecimenNames
save $out/reference.csv
SaveRef
save $out/vector.csv
SaveVector
save $out/pca.csv
SavePCA
SCRIPT
QT_QPA_PLATFORM=offscreen "$velmora" --batch "$out/run.velmora" >/dev/null
Rscript - "$out" <<'R'
out <- commandArgs(TRUE)[1]
scores <- read.csv(file.path(out, "scores.csv"), row.names = 1)
stopifnot(nrow(scores) == 80, names(scores)[1:3] == c("PW1x", "PW1y", "PW1z"),
          tail(names(scores), 6) == c("U1", "U2", "U3", "T1", "T2", "CS"),
          all(sapply(scores, is.numeric)), !anyNA(scores))
names <- read.csv(file.path(out, "names.csv"), row.names = 1)
stopifnot(identical(names(names), names(scores)), identical(rownames(names), rownames(scores)))
pca <- read.csv(file.path(out, "pca.csv"), row.names = 1)
stopifnot(nrow(pca) == 81, tail(rownames(pca), 1) == "variance", names(pca)[1] == "PC1",
          all(sapply(pca, is.numeric)))
ref <- read.csv(file.path(out, "reference.csv"))
stopifnot(names(ref) == c("landmark", "x", "y", "z"), ref$landmark == seq_len(nrow(ref)),
          abs(sum(ref[, 2:4]^2) - 1) < 1e-4)
vec <- read.csv(file.path(out, "vector.csv"))
stopifnot(nrow(vec) == 1, identical(names(vec), head(names(scores), -1)))
cat("R reads every table:", nrow(scores), "specimens,", ncol(scores), "score columns\n")
R
/usr/bin/python3 - "$out" <<'PY'
import csv, sys, os
out = sys.argv[1]
with open(os.path.join(out, "scores.csv"), newline="") as f:
    rows = list(csv.reader(f))
assert rows[0][0] == "specimen" and rows[0][-1] == "CS", rows[0]
assert all(len(r) == len(rows[0]) for r in rows)
[float(v) for r in rows[1:] for v in r[1:]]
print("Python's csv reads the scores:", len(rows) - 1, "rows")
PY
