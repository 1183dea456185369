#!/usr/bin/env bash
# Runs the same batch scripts with two builds of velmora and compares, byte
# for byte, everything they write: each script's console output and exit
# status, every result file, and every PNG and SVG export.
#
#   tools/golden_compare.sh BEFORE/velmora AFTER/velmora [WORKDIR]
#
# The scripts: every examples/*.velmora, surfaces and group views of the examples (their /tmp outputs moved into the
# work folder), the whole road on a large generated sample (1,000 specimens
# of 100 landmarks, with X, a wireframe, both scales, both
# superimpositions, all tests and every result file and export), refusals
# of bad X, and a session recorded with SaveSessionScript, then replayed.
# The results log carries the local time of each entry: its time stamps are
# blanked before the comparison; nothing else is.  Exit status 0 when every
# file is the same, 1 otherwise (the differing files are listed).
set -u
if [ $# -lt 2 ]; then
  echo "usage: $0 BEFORE/velmora AFTER/velmora [WORKDIR]" >&2
  exit 2
fi
before=$(realpath "$1")
after=$(realpath "$2")
root=$(cd "$(dirname "$0")/.." && pwd)
work=${3:-$(mktemp -d /tmp/velmora-golden.XXXXXX)}
mkdir -p "$work/input"
export SOURCE_DATE_EPOCH=1765324800 QT_QPA_PLATFORM=offscreen LC_ALL=C TZ=UTC

# --- the inputs ------------------------------------------------------------------
in="$work/input"
cp "$root"/examples/*.txt "$root"/examples/*.csv "$root"/examples/*.velmora "$root/examples/specimen 1.ply" "$in/"
cp -r "$root/examples/formats" "$in/formats"
/usr/bin/python3 - "$in" <<'PY'
import math, random, sys
out = sys.argv[1]
rng = random.Random(20261210)
n, k = 1000, 100
# A mean shape on a distorted sphere, and specimens that grow along X with
# noise, each placed, turned and scaled at random.
mean = []
for i in range(k):
    t = math.acos(1 - 2 * (i + 0.5) / k)
    p = math.pi * (1 + 5 ** 0.5) * i
    mean.append((60 * math.sin(t) * math.cos(p), 45 * math.sin(t) * math.sin(p), 30 * math.cos(t)))
with open(f"{out}/big.txt", "w") as f, open(f"{out}/big_x.txt", "w") as fx:
    for s in range(n):
        x = rng.uniform(1, 30)
        fx.write(f"{x:.6f}\n")
        a, b = rng.uniform(0, 2 * math.pi), rng.uniform(0, math.pi)
        ca, sa, cb, sb = math.cos(a), math.sin(a), math.cos(b), math.sin(b)
        scale = rng.uniform(0.8, 1.2)
        shift = [rng.uniform(-20, 20) for _ in range(3)]
        pts = []
        for (px, py, pz) in mean:
            px, py, pz = (px * (1 + 0.01 * x) + rng.gauss(0, 0.8), py + rng.gauss(0, 0.8),
                          pz * (1 - 0.005 * x) + rng.gauss(0, 0.8))
            px, py = ca * px - sa * py, sa * px + ca * py
            py, pz = cb * py - sb * pz, sb * py + cb * pz
            pts.append([scale * px + shift[0], scale * py + shift[1], scale * pz + shift[2]])
        cx = [sum(p[d] for p in pts) / k for d in range(3)]
        cs = math.sqrt(sum((p[d] - cx[d]) ** 2 for p in pts for d in range(3)))
        f.write(" ".join(f"{v:.6f}" for p in pts for v in p) + f" {cs:.6f}\n")
with open(f"{out}/big_wires.txt", "w") as f:
    for i in range(1, k):
        f.write(f"{i} {i} {i + 1}\n")
    f.write(f"{k} 1 1\n{k + 1} 1 2\n")  # one wire to itself, one repeated
with open(f"{out}/bad_x.txt", "w") as f:
    for i in range(80):
        f.write("0\n" if i == 3 else f"{i + 1}\n")
PY
sed -i "s#/tmp/velmora-example-#out/example-#" "$in"/*.velmora

cat >"$in/road-large.velmora" <<'EOF'
# The whole road on a large sample, with every result file and export.
open big.txt
LoadData
open big_wires.txt
LoadWireFrame
open big_x.txt
LoadXList
DoRegression
PlotPDistance
GetWilks
set PermBox 199
set SeedBox 7
PermutationTest
ShowRegression
view -50 25 1.1
figsize 640 520
save out/large-regression.png
ExportFigure
save out/large-regression.svg
ExportFigure
save out/large-scores.txt
SaveWarp
save out/large-reference.txt
SaveRef
save out/large-vector.txt
SaveVector
save out/large-names.csv
SaveSpecimenNames
save out/large-landmarks.csv
SaveLandmarks
set PCBox 2
set PCFactorBox 1.5
ShowPCA
save out/large-pca.png
ExportFigure
save out/large-pca.txt
SavePCA
SetFullPrecision on
LnDown
DoRegression
PlotPDistance
GetWilks
PermutationTest
save out/large-ln-vector.txt
SaveVector
UseCS
set CSBox 1
GetWilks
ColourByX
ShowProcrustes
save out/large-procrustes.png
ExportFigure
SetSuperimposition classic
LinearDown
UseCS
DoRegression
save out/large-classic-vector.txt
SaveVector
save out/large-classic-scores.txt
SaveWarp
save out/large-log.txt
SaveResultsLog
EOF

cat >"$in/refusals.velmora" <<'EOF'
# Checks that refuse: every one changes nothing, and the run ends with 3.
GetWilks
open skulls.txt
LoadData
DoRegression
ShowRegression
SaveWarp
RotateRefX
RotateRefZ
ShowMean
save out/refusals-mean.svg
ExportFigure
open bad_x.txt
LoadXList
LnDown
DoRegression
PlotPDistance
GetWilks
PermutationTest
LinearDown
DoRegression
ShowRegression
set ExagerationBox 2
set DeFormat 2
ShowRegression
save out/refusals-regression.png
ExportFigure
UseLabelAsX
SetSuperimposition classic
GetWilks
ClearData
ShowPCA
SetSuperimposition sideways
EOF

cat >"$in/formats.velmora" <<'EOF'
# Other formats, a label as X, the classic superimposition, full precision.
SetFullPrecision on
SetSuperimposition classic
open formats/skulls_morphologika.txt
LoadData
UseLabelAsX
DoRegression
GetWilks
PlotPDistance
save out/formats-pdistance.svg
ExportFigure
save out/formats-vector.txt
SaveVector
save out/formats-names.csv
SaveSpecimenNames
save out/formats-pca.txt
SavePCA
open formats/skull01.fcsv
open formats/skull02.mrk.json
open formats/skull03.fcsv
LoadData
ShowMean
save out/formats-markup-reference.txt
SaveRef
open formats/skulls.tps
LoadData
UseCS
LnDown
DoRegression
PermutationTest
save out/formats-tps-landmarks.txt
SaveLandmarks
save out/formats-log.md
SaveResultsLog
EOF

cat >"$in/surfaces.velmora" <<'EOF'
# A surface carried to the regression, a component and a group, saved and
# exported; the group views of the populations, exported and saved.
open skulls.txt
LoadData
open age.txt
LoadXList
DoRegression
open "specimen 1.ply"
LoadSurface
ShowSurface
SetSurfaceTarget x 12
save out/surface-x.png
ExportFigure
SetSurfaceTarget pc 1 2
SetSurfaceExaggeration 2
save out/surface-pc.ply
SaveSurface
save out/surface-pc.svg
ExportFigure
save out/frame.png
ExportAnimation 3,160x120
open populations.txt
LoadData
open populations.csv
LoadSpecimenTable
SetModel "shape ~ log(CS) + population"
SetFactor population
ProcrustesANOVA
save out/groups-anova.csv
SaveTable
PairwiseGroups
CVA
save out/groups-cva.png
ExportPlot
ShowCV
save out/groups-cv.svg
ExportFigure
SetGroupOutline hulls
ShowPCA
save out/groups-pca.svg
ExportPlot
ShowGroupMeans
save out/groups-means.txt
SaveShownShapes
ShowGroupDifference coast inland
save out/groups-difference.png
ExportFigure
SetPCAShapes corrected
ShowPCA
save out/groups-corrected-pca.txt
SavePCA
save out/groups-residuals.txt
SaveResiduals
save out/groups-log.md
SaveResultsLog
EOF

cat >"$in/record.velmora" <<'EOF'
# A session as a person would click it, then saved as a script.
open skulls.txt
LoadData
open skull_wires.txt
LoadWireFrame
RotateRefZ
open age.txt
LoadXList
LnDown
DoRegression
set ExagerationBox 4
set DeFormat "Symbols and wireframes"
ShowRegression
view -66.3 42 1.21
figsize 680 590
save out/recorded-first.png
ExportFigure
LineThicknessUp
SymbolSizeUp
ToggleLegend
LabelLandmarks
set PCBox 3
ShowPCA
PlotPDistance
GetWilks
save out/recorded.velmora
SaveSessionScript
EOF

# --- the runs --------------------------------------------------------------------
# Both builds run in the same folder, so that the paths a recorded session
# holds are the same; each side's outputs are then moved aside.
run_all() {  # BINARY SIDE
  local bin=$1 dir="$work/run"
  rm -rf "$dir" "${work:?}/$2"
  cp -r "$in" "$dir"
  mkdir -p "$dir/out"
  for script in first-look growth-analysis groups road-large refusals formats surfaces record; do
    (cd "$dir" && "$bin" --batch "$script.velmora" >"out/$script.console" 2>&1
     echo "exit $?" >>"out/$script.console")
  done
  # The recorded session, replayed to its figures.
  if [ -f "$dir/out/recorded.velmora" ]; then
    cp "$dir/out/recorded.velmora" "$dir/replay.velmora"
    printf 'save out/replayed.png\nExportFigure\nsave out/replayed.svg\nExportFigure\n' \
      >>"$dir/replay.velmora"
    (cd "$dir" && "$bin" --batch replay.velmora >out/replay.console 2>&1
     echo "exit $?" >>out/replay.console)
  fi
  # Local times in the results log.
  for f in "$dir"/out/*log*.txt "$dir"/out/*log*.md; do
    [ -f "$f" ] && sed -i -E 's/[0-9]{4}-[0-9]{2}-[0-9]{2}[ T][0-9]{2}:[0-9]{2}(:[0-9]{2})?/TIME/g' "$f"
  done
  mkdir -p "$work/$2"
  mv "$dir/out" "$work/$2/out"
}
run_all "$before" before
run_all "$after" after

status=0
files=$( (cd "$work/before/out" && ls; cd "$work/after/out" && ls) | sort -u)
for f in $files; do
  if ! cmp -s "$work/before/out/$f" "$work/after/out/$f"; then
    echo "DIFFERS: $f"
    status=1
  fi
done
count=$(echo "$files" | wc -w)
echo "$count files compared in $work/{before,after}/out: $([ $status = 0 ] && echo all identical || echo some differ)"
exit $status
