# Writes src/app/Velmora.fig, the main window layout (run: python3 tools/make_layout.py),
# or the file named as its argument.  The input controls' kinds and starting
# values come from src/view/input_controls.def, the table the program reads.
import ast, json, os, re, sys
HERE = os.path.dirname(os.path.abspath(__file__))
def read_inputs():
    """The table's lines: tag -> (type, start)."""
    inputs = {}
    path = os.path.join(HERE, '..', 'src', 'view', 'input_controls.def')
    for line in open(path, encoding='utf-8'):
        m = re.match(r'VELMORA_INPUT\((\w+),\s*(\w+),\s*(.*)\)\s*$', line)
        if not m: continue
        fields = ast.literal_eval('(' + re.sub(r'\bk(Unbounded|Components)\b', '0', m.group(3)) + ')')
        inputs[fields[0]] = (m.group(1), fields[5])
    return inputs
INPUTS = read_inputs()
STYLE = {"Real": "edit", "Whole": "edit", "Popup": "popupmenu", "Check": "checkbox"}
def start(tag):
    """An input's starting value as its control holds it: text in an edit box, a number otherwise."""
    kind, value = INPUTS[tag]
    if kind in ("Real", "Whole"):
        return str(int(value)) if float(value).is_integer() else repr(float(value))
    return value
def sw(action, *a): return ["velmorasw", action, *a]
# The window's inner size as drawn: with its menu bar and a window manager's
# frame it fits a 1024×768 screen.  Children are placed top-down here (top =
# distance from the window's top edge) and written bottom-up, as the layout
# file counts.  When the window grows the controls keep their distance from
# the top-left corner and the plot and the results log take the new space.
W, H = 1000, 670
def at(x, top, w, h): return [x, H - top - h, w, h]
def btn(tag, label, action, x, top, w, tip, h=26, cb=None):
    d = {"type":"uicontrol","Style":"pushbutton","String":label,"Position":at(x,top,w,h),
         "Callback": cb if cb else sw(action),"TooltipString":tip}
    if tag: d["Tag"]=tag
    return d
def text(tag, s, x, top, w, h, align="left", size=9, bold=False, tip=None):
    d={"type":"uicontrol","Style":"text","String":s,"Position":at(x,top,w,h),"HorizontalAlignment":align,"FontSize":size}
    if bold: d["FontWeight"]="bold"
    if tag: d["Tag"]=tag
    if tip: d["TooltipString"]=tip
    return d
def frame(title, x, top, w, h):
    return [{"type":"uicontrol","Style":"frame","Position":at(x,top,w,h)},
            text("", title, x+8, top+2, 300, 17, size=10, bold=True)]
def edit(tag, s, x, top, w, tip):
    return {"type":"uicontrol","Style":"edit","Tag":tag,"String":s,"Position":at(x,top,w,26),"TooltipString":tip}
NEEDS_DATA = "Needs landmarks loaded first."
NEEDS_X = "Needs landmarks and an X list (or centroid size as X)."
NEEDS_REG = "Needs Do Regression first."
kids=[]
# Left column: the steps of an analysis, top to bottom.
L, LW = 12, 388
kids += frame("Data", L, 6, LW, 184)
kids += [btn("", "Load Landmarks…", "LoadData", 24, 30, 120,
             "Read a landmark file (one specimen a line), superimpose it and draw the reference."),
         btn("", "Load X List…", "LoadXList", 150, 30, 110,
             "Read the independent variable, one value a specimen. " + NEEDS_DATA),
         btn("", "Load Wireframe…", "LoadWireFrame", 266, 30, 122,
             "Read the landmark pairs joined by lines in the 3D drawings."),
         btn("", "Use Centroid Size as X", "UseCS", 24, 62, 178,
             "Use each specimen's centroid size as X. " + NEEDS_DATA),
         btn("", "Clear Data", "ClearData", 266, 62, 122,
             "Forget the landmarks, X, scores and regression, and clear the plot."),
         text("FileBox", "No File Loaded", 24, 94, 200, 58,
              tip="The landmark file: its name, specimens and landmarks."),
         text("WireBox", "No Wireframe Loaded", 232, 94, 156, 58, tip="The wireframe file."),
         text("GroupBox", "No File Loaded", 24, 156, 364, 26,
              tip="The X list: its file name and number of values.")]
kids += frame("Reference and regressor", L, 196, LW, 80)
kids += [btn("RotX", "Rotate Reference about X", "RotateRefX", 24, 218, 178,
             "Turn the reference and the sample 90° about the x axis. " + NEEDS_DATA),
         btn("RotZ", "Rotate Reference about Z", "RotateRefZ", 210, 218, 178,
             "Turn the reference and the sample 90° about the z axis. " + NEEDS_DATA),
         {"type":"uicontrol","Style":"radiobutton","Tag":"LinearButton","String":"Regress on X","Value":1,
          "Position":at(24,248,170,24),"Callback":sw("LinearDown"),
          "TooltipString":"Regress shape on X itself."},
         {"type":"uicontrol","Style":"radiobutton","Tag":"LnButton","String":"Regress on ln X","Value":0,
          "Position":at(210,248,170,24),"Callback":sw("LnDown"),
          "TooltipString":"Regress shape on the natural logarithm of X (X must be positive)."}]
kids += frame("Analysis", L, 282, LW, 112)
kids += [btn("", "Do Regression", "DoRegression", 24, 304, 178,
             "Regress every partial warp and uniform score on X. " + NEEDS_X),
         btn("", "Plot Procrustes Distance", "PlotPDistance", 210, 304, 178,
             "Plot each specimen's squared Procrustes distance from the reference against X, with the fitted line and its test. " + NEEDS_X),
         btn("", "Wilks' Lambda Test", "GetWilks", 24, 334, 178,
             "Test all scores on X together (Wilks' lambda, Rao's F). Its report says PW+Uniform: "
             "the partial warp scores and the uniform scores, the whole shape. " + NEEDS_REG),
         {"type":"uicontrol","Style":"checkbox","Tag":"CSBox","String":"Report X as CS (not LCS)","Value":start("CSBox"),
          "Position":at(210,335,178,24),
          "TooltipString":"When X is centroid size, Wilks' report names it CS (centroid size) rather than LCS "
                          "(log centroid size). Only the name: Regress on X or on ln X decides what is regressed."},
         btn("", "Show Procrustes Fit", "ShowProcrustes", 24, 364, 178,
             "Draw every superimposed specimen with the mean in the 3D window. " + NEEDS_DATA),
         btn("", "Show Mean Shape", "ShowMean", 210, 364, 178,
             "Draw the reference (mean) shape in the 3D window. " + NEEDS_DATA)]
kids += frame("Deformation", L, 400, LW, 118)
kids += [text("", "Display:", 24, 426, 60, 22),
         {"type":"uicontrol","Style":"popupmenu","Tag":"DeFormat","Value":start("DeFormat"),
          "String":["Reference and target symbols","Symbols and wireframes","Displacement vectors","Target with wireframe","Lollipops","Transformation grid"],
          "Position":at(86,422,302,26),
          "TooltipString":"How Show Regression draws the predicted shape change."},
         text("", "Exaggeration:", 24, 456, 92, 22),
         {"type":"uicontrol","Style":"edit","Tag":"ExagerationBox","String":start("ExagerationBox"),"Position":at(118,452,70,26),
          "TooltipString":"Factor applied to the predicted shape change over the range of X"},
         btn("", "Show Regression", "ShowRegression", 210, 452, 178,
             "Draw the shape change predicted over the range of X in the 3D window. " + NEEDS_REG),
         text("", "3D window: drag to rotate, wheel to zoom,\ndouble-click for the default view.", 24, 482, 364, 30)]
kids += frame("Results and export", L, 524, LW, 112)
kids += [btn("", "Save Scores…", "SaveWarp", 24, 546, 116,
             "Write the partial warp and uniform scores, one specimen a line. " + NEEDS_X),
         btn("", "Save Reference…", "SaveRef", 146, 546, 116,
             "Write the reference configuration, one landmark a line. " + NEEDS_DATA),
         btn("", "Save Vector…", "SaveVector", 268, 546, 120,
             "Write the regression vector (slopes of the scores on X). " + NEEDS_REG),
         btn("", "Copy 3D to Clipboard", "CopyDClipboard", 24, 576, 178,
             "Copy the 3D window's picture to the clipboard. Needs a 3D window."),
         btn("", "Save 3D as EPS…", "CopyDEPS", 210, 576, 178,
             "Write the 3D window's picture as colour EPS. Needs a 3D window."),
         btn("", "Export 3D Figure…", "ExportFigure", 24, 606, 178,
             "Write the 3D window's picture as PNG, SVG, PDF or EPS. Needs a 3D window."),
         btn("", "Copy Plot Enlarged", None, 210, 606, 178,
             "Copy the plot, enlarged and with its labels, to the clipboard. Needs a plot (Plot Procrustes Distance).",
             cb=["CopyBigImageNA", "$gcbo"])]  # a plot of two quantities: free aspect
# Right side: tests with their settings, the plot, the results log.
R, RW = 420, 568
kids += frame("Shape tests", R, 6, RW, 100)
kids += [btn("", "Permutation Test", "PermutationTest", 432, 30, 150,
             "Test shape on X by permuting X among the specimens. " + NEEDS_X),
         text("", "Permutations:", 592, 32, 92, 22),
         edit("PermBox", start("PermBox"), 686, 30, 64, "Number of random permutations of X (the observed order counts as one more)"),
         text("", "Seed:", 760, 32, 40, 22),
         edit("SeedBox", start("SeedBox"), 802, 30, 70, "Seed of the permutations: the same seed repeats the same test"),
         btn("", "Show PCA", "ShowPCA", 432, 62, 150,
             "Principal components of shape: draw one component in the 3D window. " + NEEDS_DATA),
         text("", "PC:", 592, 64, 28, 22),
         edit("PCBox", start("PCBox"), 622, 62, 40, "Principal component drawn in the 3D window"),
         text("", "Factor (SD):", 672, 64, 80, 22),
         edit("PCFactorBox", start("PCFactorBox"), 754, 62, 50, "How far along the component, in its standard deviations"),
         btn("", "Save PCA…", "SavePCA", 816, 62, 120,
             "Write the principal component scores and loadings. Needs Show PCA first."),
         text("TestStatus", "", 432, 90, 540, 14, tip="The last test's outcome.")]
# The plot box; its tick labels and axis labels lie in the margins around it.
kids.append({"type":"axes","Tag":"axes1","Units":"pixels","Position":at(494,130,474,334),"Box":"on",
             "ButtonDownFcn":["Velmora","axes1_ButtondownFcn","$gcbo",[],"$guidata"]})
kids.append({"type":"uicontrol","Style":"edit","Tag":"ResultsLog","Max":2,"Min":0,"Enable":"inactive",
             "String":[],"HorizontalAlignment":"left","FontName":"DejaVu Sans Mono","FontSize":9,
             "Position":at(R,524,RW,112),
             "TooltipString":"Every report of this session, newest last: select and copy, or File ▸ Save Results Log…"})
# The grip between the plot and the log: dragged up, the log takes room from the plot.
kids.append({"type":"uicontrol","Style":"splitter","Tag":"LogSplitter","Position":at(R,516,RW,8),
             "TooltipString":"Drag up for a larger results log, down for a larger plot."})
kids.append(text("StatusBar", "", L, 642, W - 2*L, 22,
                 tip="What the last save or export wrote, and where."))
def item(label, action=None, tag=None, checked=None, sep=False, args=(), cb=None, acc=None, visible=True, enable=True, tip=None):
    d={"type":"uimenu","Label":label}
    if tip: d["TooltipString"]=tip
    if acc: d["Accelerator"]=acc
    if not visible: d["Visible"]="off"
    if not enable: d["Enable"]="off"
    if cb: d["Callback"]=cb
    elif action: d["Callback"]=sw(action,*args)
    if tag: d["Tag"]=tag
    if checked is not None: d["Checked"]="on" if checked else "off"
    if sep: d["Separator"]="on"
    return d
def menu(label, items, tag=None, tip=None):
    d={"type":"uimenu","Label":label,"children":items}
    if tip: d["TooltipString"]=tip
    if tag: d["Tag"]=tag
    return d
DENSITY_TIP = ("Plot density: a drawing setting (10, 20, 30 or 50, 20 at each load) kept with the session "
               "and its scripts; the plots drawn today look the same at every density")
menus=[
 menu("&File",[item("Load Landmarks…","LoadData",acc="O"),
   menu("Recent Files",[item("No recent files",tag="RecentNone",enable=False)]+
        [item(str(i),"OpenRecent",tag="RecentFile%d"%i,args=(i,),visible=False) for i in range(1,9)]),
   item("Load X List…","LoadXList",sep=True),item("Load Specimen Table…","LoadSpecimenTable"),item("Load Wireframe…","LoadWireFrame"),item("Load Surface…","LoadSurface"),
   item("Load Curves…","LoadCurves",sep=True,tip="Curve sliders: one a line, three landmark numbers before slider after (geomorph's curves matrix reads as it is)"),
   item("Load Surface Points…","LoadSurfacePoints",tip="Surface semilandmarks: one landmark number a line"),
   item("Load Surfaces…","LoadSurfaces",tip="Each specimen's scan (several files, each named as its specimen), to project the semilandmarks onto"),
   item("Place Semilandmarks…","PlaceSemilandmarks",tip="Spread surface semilandmarks over the first scan and carry them to the others by the fixed landmarks"),
   # Bilateral symmetry and repeatability.
   item("Load Landmark Pairs…","LoadLandmarkPairs",sep=True,tip="Bilateral landmark pairs: one a line, left right (landmark numbers from 1); landmarks in no pair lie on the midline"),
   item("Save Symmetric Component…","SaveSymmetricComponent",tip="The symmetric component of the last Symmetry ANOVA, one specimen a line, then its centroid size"),
   item("Save Asymmetric Component…","SaveAsymmetricComponent",tip="The asymmetric component (one side minus the other) of the last Symmetry ANOVA, one specimen a line"),
   # Integration, modularity and disparity.
   item("Load Partition…","LoadPartition",tip="Blocks (modules) of the landmarks: one block label a line, a line a landmark"),
   item("Save Partial Warp Scores…","SaveWarp",sep=True,acc="S"),item("Save Reference…","SaveRef"),item("Save Regression Vector…","SaveVector"),item("Save PCA…","SavePCA"),
   item("Save Specimen Names…","SaveSpecimenNames"),item("Save Landmarks As…","SaveLandmarks"),item("Save Surface As…","SaveSurface"),item("Save Procrustes Coordinates…","SaveProcrustes",tip="The superimposed (slid) coordinates at unit centroid size, one specimen a line, then its centroid size"),item("Save Shown Shapes…","SaveShownShapes",
        tip="The landmark configurations the 3-D view shows, one a line (a table with the legend's names for a .csv name)"),
   item("Full-precision result files","SetFullPrecision",tag="FullPrecisionOn",checked=False,args=("on",),sep=True),
   item("Six-digit result files","SetFullPrecision",tag="FullPrecisionOff",checked=True,args=("off",)),
   item("Save Results Log…","SaveResultsLog",sep=True),
   item("Save Table…","SaveTable",tip="The table of the last Procrustes ANOVA, pairwise comparison or canonical variates report, as CSV"),item("Save Session Script…","SaveSessionScript"),
   item("Clear Data","ClearData",sep=True),item("Quit","Quit",sep=True,acc="Q")]),
 menu("&Analysis",[item("Use Centroid Size as X","UseCS"),item("Use Label as X…","UseLabelAsX"),item("Regress on X","LinearDown",tag="RegressXCheck",checked=True,sep=True),item("Regress on ln X","LnDown",tag="RegressLnXCheck",checked=False),
   item("Do Regression","DoRegression",sep=True),item("Plot Procrustes Distance","PlotPDistance"),item("Wilks' Lambda Test","GetWilks",tip="Test shape on X: PW+Uniform, the partial warp and uniform scores, all together"),
   item("Permutation Test","PermutationTest"),item("Show PCA","ShowPCA",sep=True),
   item("Superimposition: Standard, optimal rotation to convergence","SetSuperimposition",tag="SuperimposeOptimal",checked=True,args=("optimal",),sep=True),
   item("Superimposition: Classic three passes, as in earlier results","SetSuperimposition",tag="SuperimposeClassic",checked=False,args=("classic",)),
   # Integration, modularity and disparity.
   menu("Integration and Modularity",[item("Two-Block PLS","TwoBlockPLS",tip="Between the first two blocks of the partition (File > Load Partition…)"),
     item("Two-Block PLS of Shape and Covariates…","TwoBlockPLS",args=("covariates",),tip="Shape against columns of numbers of the specimen table"),
     item("Modularity Test","ModularityTest",tip="The covariance ratio CR of the partition's blocks against random partitions"),
     item("Compare Integration…","CompareIntegration",tip="The PLS effect sizes of the groups of a factor, compared pair by pair")])]),
 menu("&Groups",[item("Set Model…","SetModel"),item("Set Factor…","SetFactor"),
   item("Sums of Squares: Sequential (type I)","SetSSType",tag="SSTypeI",checked=True,args=("I",)),
   item("Sums of Squares: Type II","SetSSType",tag="SSTypeII",checked=False,args=("II",)),
   item("Procrustes ANOVA","ProcrustesANOVA",sep=True),item("Pairwise Group Comparisons","PairwiseGroups"),
   item("Canonical Variates","CVA"),item("Show CV Shape Change…","ShowCV"),
   # Bilateral symmetry and repeatability.
   item("Symmetry ANOVA…","SymmetryANOVA",sep=True,tip="Procrustes ANOVA of bilateral symmetry: individual, side, individual:side and the replicate error; object symmetry with the landmark pairs, matching symmetry with a side column"),
   item("Show Directional Asymmetry","ShowDirectionalAsymmetry",tip="The symmetric mean shape and the mean with its directional asymmetry (times the exaggeration)"),
   item("PCA of the Symmetric Component","SetPCAShapes",args=("symmetric",)),
   item("PCA of the Asymmetric Component","SetPCAShapes",args=("asymmetric",)),
   item("Repeatability…","Repeatability",tip="Procrustes ANOVA of shape on the individuals of replicated configurations: repeatability and the share of measurement error"),
   item("Save Size-Corrected Shapes…","SaveResiduals",sep=True),
   item("PCA of Size-Corrected Shapes","SetPCAShapes",tag="PCACorrectedCheck",checked=False),
   item("Show Group Difference…","ShowGroupDifference"),item("Show Group Means","ShowGroupMeans"),
   item("Group Outlines: None","SetGroupOutline",tag="OutlineNone",checked=True,args=("none",),sep=True),
   item("Group Outlines: 95 % Confidence Ellipses of the Means","SetGroupOutline",tag="OutlineEllipses",checked=False,args=("ellipses",)),
   item("Group Outlines: Convex Hulls","SetGroupOutline",tag="OutlineHulls",checked=False,args=("hulls",)),
   # Integration, modularity and disparity.
   item("Disparity…","Disparity",sep=True,tip="Procrustes variances of the groups of a factor (of the model's residuals when a model is set) and their differences")]),
 menu("&Display",[item("Show Procrustes Fit","ShowProcrustes"),item("Show Mean Shape","ShowMean"),item("Show Regression","ShowRegression"),item("Show Surface","ShowSurface"),
   menu("Surface Shape",[item("Mean Shape","SetSurfaceTarget",tag="SurfaceMean",checked=False,args=("mean",)),
     item("Regression at Smallest X","SetSurfaceTarget",tag="SurfaceXLow",checked=False,args=("x low",)),
     item("Regression at Largest X","SetSurfaceTarget",tag="SurfaceXHigh",checked=False,args=("x high",)),
     item("PC 1 at −2 SD","SetSurfaceTarget",tag="SurfacePC1Low",checked=False,args=("pc 1 -2",)),
     item("PC 1 at +2 SD","SetSurfaceTarget",tag="SurfacePC1High",checked=False,args=("pc 1 2",)),
     item("Mean of a Group…","SetSurfaceTarget",tag="SurfaceGroup",checked=False,args=("group",)),
     item("Exaggeration…","SetSurfaceExaggeration",sep=True),
     item("Fixed Heat Scale","SetHeatScale",tag="HeatScaleFixed",checked=False,sep=True,
          tip="Keep the colour bar's top where it is for every surface shape and animation frame, so heat maps compare; again: each shape's own largest displacement.")]),
   item("Thicker Lines","LineThicknessUp",sep=True),item("Thinner Lines","LineThicknessDown",tag="ThinnerLines"),item("Larger Symbols","SymbolSizeUp"),
   item("Smaller Symbols","SymbolSizeDown"),item("Filled Symbols","SymbolFill",tag="SymbolFillCheck",checked=True),
   item("Hollow Symbols","SymbolEmpty",tag="SymbolEmptyCheck",checked=False),
   item("Grid","TurnGridOn",tag="GridCheck",checked=False,sep=True),item("Show Axes","DAxisOn",tag="AxesOnCheck",checked=True),
   item("Hide Axes","DAxisOff",tag="AxesOffCheck",checked=False),item("Label Axes","LabelAxis",tag="AxisLabelsCheck",checked=False),
   item("Number Landmarks","LabelLandmarks",tag="LandmarkNumbersCheck",checked=False),
   item("Legend","ToggleLegend",tag="LegendCheck",checked=True),
   item("Colour Specimens by X","ColourByX",tag="ColourByXCheck",checked=False),
   item("Specimen Labels in PCA Plot","SetSpecimenLabels",tag="SpecimenLabelsCheck",checked=False),
   item("Clear 3D Figure","DFigureClear",sep=True),
   item("Dash-Dot Target Wireframe","ToggleDots",tag="DotCheck",checked=False,sep=True),
   item("3-D View in a Tab of This Window","DockView",tag="Dock3DCheck",checked=False,sep=True)]),
 menu("&Settings",[
   menu("Sliding Semilandmarks",[item("Bending Energy","SetSliding",tag="SlidingBE",checked=True,args=("be",),
          tip="Slide to the least bending energy from the consensus (the default once sliders are loaded)"),
     item("Procrustes Distance","SetSliding",tag="SlidingProcD",checked=False,args=("procd",),
          tip="Slide to the least Procrustes distance from the consensus"),
     item("None","SetSliding",tag="SlidingNone",checked=False,args=("none",),
          tip="Treat semilandmarks as fixed landmarks"),
     item("Until the Specimens Rest","SetSlidingPasses",tag="SlidingPassesAuto",checked=True,args=("auto",),sep=True,
          tip="The convergent default: slide toward a fixed template consensus until no specimen moves"),
     item("3 Plain Passes","SetSlidingPasses",tag="SlidingPasses3",checked=False,args=("3",),
          tip="Exactly three passes toward each pass's consensus, as other programs slide (no fixed point)"),
     item("10 Plain Passes","SetSlidingPasses",tag="SlidingPasses10",checked=False,args=("10",)),
     item("Project onto the Scans","SetSlidingProjection",tag="SlidingProjectionOn",checked=False,args=("on",),sep=True,
          tip="After every slide move the semilandmarks onto their specimen's scan, sliding in the scan's tangent planes"),
     item("Slide off the Scans","SetSlidingProjection",tag="SlidingProjectionOff",checked=True,args=("off",))]),
   menu("Plot Density",[item(str(d),"SetPlotDensity",tag="Density%d"%d,checked=(d==20),args=(d,),tip=DENSITY_TIP) for d in (10,20,30,50)],
        tip=DENSITY_TIP),
   menu("Arrow Heads",[item("On","ArrowHeads",tag="ArrowHeads",checked=True),item("Off","NoArrowHeads",tag="NoArrowHeads",checked=False)]),
   menu("Reference Symbol",[item("Square","SetReferenceSymbol",tag="RefSquare",checked=False,args=("ks",)),
     item("Diamond","SetReferenceSymbol",tag="RefDiamond",checked=False,args=("kd",)),
     item("Circle","SetReferenceSymbol",tag="RefCircle",checked=True,args=("ko",)),
     item("Plus","SetReferenceSymbol",tag="RefPlus",checked=False,args=("k+",))]),
   menu("Line Format",[item("Red","SetLineFormat1",tag="Line1Red",checked=False,args=("r",)),
     item("Black","SetLineFormat1",tag="Line1Black",checked=True,args=("k",)),
     item("Black Dotted","SetLineFormat1",tag="Line1Dotted",checked=False,args=("k:",))]),
   menu("Line Width",[item("0.5","SetLineWidth",tag="Weight5",checked=True,args=(5,)),
     item("1.0","SetLineWidth",tag="Weight10",checked=False,args=(10,)),
     item("1.5","SetLineWidth",tag="Weight15",checked=False,args=(15,)),
     item("2.0","SetLineWidth",tag="Weight20",checked=False,args=(20,)),
     item("2.5","SetLineWidth",tag="Weight25",checked=False,args=(25,))]),
   # Integration, modularity and disparity.
   menu("Two-Block PLS Superimposition",[item("Joint: the Whole Configuration","SetPLSFit",tag="PLSFitJoint",checked=True,args=("joint",)),
     item("Separate: Each Block on Its Own","SetPLSFit",tag="PLSFitSeparate",checked=False,args=("separate",))])]),
 menu("&Export",[item("Copy 3D Figure to Clipboard","CopyDClipboard"),item("Save 3D Figure as EPS…","CopyDEPS"),
   item("Export 3D Figure…","ExportFigure",acc="E"),item("Export Plot…","ExportPlot"),item("Export Animation…","ExportAnimation"),
   item("Copy Current Axes Enlarged",cb=["CopyBigImage","$gcbo"],sep=True),
   item("Copy Current Axes Enlarged, Free Aspect",cb=["CopyBigImageNA","$gcbo"])]),
 menu("&Help",[item("User Guide","UserGuide",acc="F1"),item("About Velmora","About",sep=True)]),
]
fig={"figure":{"Tag":"VelmoraMain","Name":"Velmora — 3D geometric morphometrics","NumberTitle":"off","Units":"pixels",
               "Position":[0,0,W,H],"MenuBar":"none","Resize":"on","CloseRequestFcn":sw("Quit")},
     "children": menus + kids}
# Every control of the table is in the layout, of its kind.
styles = {k.get("Tag"): k.get("Style") for k in kids}
for tag, (kind, _) in INPUTS.items():
    if styles.get(tag) != STYLE[kind]:
        sys.exit("make_layout.py: the input control %s is not a %s of the layout" % (tag, STYLE[kind]))
out = sys.argv[1] if len(sys.argv) > 1 else os.path.join(HERE, '..', 'src', 'app', 'Velmora.fig')
with open(out, 'w', encoding='utf-8', newline='\n') as f:
    f.write(json.dumps(fig, indent=1, ensure_ascii=False) + "\n")
