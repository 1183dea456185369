# Writes src/app/Velmora.fig, the main window layout (run: python3 tools/make_layout.py).
import json
def sw(action, *a): return ["velmorasw", action, *a]
def btn(tag, label, action, x, y, w, h=28, cb=None):
    d = {"type":"uicontrol","Style":"pushbutton","String":label,"Position":[x,y,w,h],
         "Callback": cb if cb else sw(action)}
    if tag: d["Tag"]=tag
    return d
def text(tag, s, x, y, w, h, align="left", size=9, bold=False):
    d={"type":"uicontrol","Style":"text","String":s,"Position":[x,y,w,h],"HorizontalAlignment":align,"FontSize":size}
    if bold: d["FontWeight"]="bold"
    if tag: d["Tag"]=tag
    return d
def frame(title, y, h, x=12, w=388):
    return [{"type":"uicontrol","Style":"frame","Position":[x,y,w,h]},
            text("", title, x+8, y+h-19, 300, 17, size=10, bold=True)]
def edit(tag, s, x, y, w, tip):
    return {"type":"uicontrol","Style":"edit","Tag":tag,"String":s,"Position":[x,y,w,26],"TooltipString":tip}
kids=[]
# Data
kids += frame("Data", 458, 190)
kids += [btn("", "Load Landmarks…", "LoadData", 24, 596, 120),
         btn("", "Load X List…", "LoadXList", 150, 596, 110),
         btn("", "Load Wireframe…", "LoadWireFrame", 266, 596, 122),
         btn("", "Use Centroid Size as X", "UseCS", 24, 562, 178),
         btn("", "Clear Data", "ClearData", 266, 562, 122),
         text("FileBox", "No File Loaded", 24, 496, 200, 60),
         text("WireBox", "No Wireframe Loaded", 232, 496, 156, 60),
         text("GroupBox", "No File Loaded", 24, 466, 364, 24)]
kids += frame("Reference and regressor", 370, 80)
kids += [btn("RotX", "Rotate Reference about X", "RotateRefX", 24, 404, 178, 26),
         btn("RotZ", "Rotate Reference about Z", "RotateRefZ", 210, 404, 178, 26),
         {"type":"uicontrol","Style":"radiobutton","Tag":"LinearButton","String":"Regress on X","Value":1,
          "Position":[24,378,170,24],"Callback":sw("LinearDown")},
         {"type":"uicontrol","Style":"radiobutton","Tag":"LnButton","String":"Regress on ln X","Value":0,
          "Position":[210,378,170,24],"Callback":sw("LnDown")}]
kids += frame("Analysis", 250, 112)
kids += [btn("", "Do Regression", "DoRegression", 24, 314, 178, 26),
         btn("", "Plot Procrustes Distance", "PlotPDistance", 210, 314, 178, 26),
         btn("", "Wilks' Lambda Test", "GetWilks", 24, 284, 178, 26),
         {"type":"uicontrol","Style":"checkbox","Tag":"CSBox","String":"Report X as CS (not LCS)","Value":0,
          "Position":[210,285,178,24]},
         btn("", "Show Procrustes Fit", "ShowProcrustes", 24, 254, 178, 26),
         btn("", "Show Mean Shape", "ShowMean", 210, 254, 178, 26)]
kids += frame("Deformation", 130, 112)
kids += [text("", "Display:", 24, 194, 60, 22),
         {"type":"uicontrol","Style":"popupmenu","Tag":"DeFormat","Value":3,
          "String":["Reference and target symbols","Symbols and wireframes","Displacement vectors","Target with wireframe"],
          "Position":[86,196,302,26]},
         text("", "Exaggeration:", 24, 164, 92, 22),
         {"type":"uicontrol","Style":"edit","Tag":"ExagerationBox","String":"3","Position":[118,165,70,26],
          "TooltipString":"Factor applied to the predicted shape change over the range of X"},
         btn("", "Show Regression", "ShowRegression", 210, 165, 178, 26),
         text("", "3D window: drag to rotate, wheel to zoom,\ndouble-click for the default view.", 24, 132, 364, 30)]
kids += frame("Results and export", 12, 110)
kids += [btn("", "Save Scores…", "SaveWarp", 24, 76, 116, 26),
         btn("", "Save Reference…", "SaveRef", 146, 76, 116, 26),
         btn("", "Save Vector…", "SaveVector", 268, 76, 120, 26),
         btn("", "Copy 3D to Clipboard", "CopyDClipboard", 24, 46, 178, 26),
         btn("", "Save 3D as EPS…", "CopyDEPS", 210, 46, 178, 26),
         btn("", "Export 3D Figure…", "ExportFigure", 24, 16, 178, 26),
         btn("", "Copy Plot Enlarged", None, 210, 16, 178, 26, cb=["CopyBigImage", "$gcbo"])]
kids += frame("Shape tests", 520, 128, 420, 568)
kids += [btn("", "Permutation Test", "PermutationTest", 432, 584, 150, 26),
         text("", "Permutations:", 592, 582, 92, 22),
         edit("PermBox", "999", 686, 584, 64, "Number of random permutations of X (the observed order counts as one more)"),
         text("", "Seed:", 760, 582, 40, 22),
         edit("SeedBox", "1", 802, 584, 70, "Seed of the permutations: the same seed repeats the same test"),
         btn("", "Show PCA", "ShowPCA", 432, 552, 150, 26),
         text("", "PC:", 592, 550, 28, 22),
         edit("PCBox", "1", 622, 552, 40, "Principal component drawn in the 3D window"),
         text("", "Factor (SD):", 672, 550, 80, 22),
         edit("PCFactorBox", "2", 754, 552, 50, "How far along the component, in its standard deviations"),
         btn("", "Save PCA…", "SavePCA", 816, 552, 120, 26),
         text("TestStatus", "", 432, 524, 540, 22)]
kids.append({"type":"axes","Tag":"axes1","Units":"pixels","Position":[480,70,490,420],"Box":"on",
             "ButtonDownFcn":["Velmora","axes1_ButtondownFcn","$gcbo",[],"$guidata"]})
def item(label, action=None, tag=None, checked=None, sep=False, args=(), cb=None):
    d={"type":"uimenu","Label":label}
    if cb: d["Callback"]=cb
    elif action: d["Callback"]=sw(action,*args)
    if tag: d["Tag"]=tag
    if checked is not None: d["Checked"]="on" if checked else "off"
    if sep: d["Separator"]="on"
    return d
def menu(label, items, tag=None):
    d={"type":"uimenu","Label":label,"children":items}
    if tag: d["Tag"]=tag
    return d
menus=[
 menu("&File",[item("Load Landmarks…","LoadData"),item("Load X List…","LoadXList"),item("Load Wireframe…","LoadWireFrame"),
   item("Save Partial Warp Scores…","SaveWarp",sep=True),item("Save Reference…","SaveRef"),item("Save Regression Vector…","SaveVector"),item("Save PCA…","SavePCA"),
   item("Save Specimen Names…","SaveSpecimenNames"),item("Save Landmarks As…","SaveLandmarks"),
   item("Full-precision result files","SetFullPrecision",tag="FullPrecisionOn",checked=False,args=("on",),sep=True),
   item("Six-digit result files","SetFullPrecision",tag="FullPrecisionOff",checked=True,args=("off",)),
   item("Save Session Script…","SaveSessionScript",sep=True),item("Clear Data","ClearData",sep=True)]),
 menu("&Analysis",[item("Use Centroid Size as X","UseCS"),item("Use Label as X…","UseLabelAsX"),item("Regress on X","LinearDown",sep=True),item("Regress on ln X","LnDown"),
   item("Do Regression","DoRegression",sep=True),item("Plot Procrustes Distance","PlotPDistance"),item("Wilks' Lambda Test","GetWilks"),
   item("Permutation Test","PermutationTest"),item("Show PCA","ShowPCA",sep=True),
   item("Superimposition: Optimal rotation, to convergence","SetSuperimposition",tag="SuperimposeOptimal",checked=False,args=("optimal",),sep=True),
   item("Superimposition: Classic, three passes","SetSuperimposition",tag="SuperimposeClassic",checked=True,args=("classic",))]),
 menu("&Display",[item("Show Procrustes Fit","ShowProcrustes"),item("Show Mean Shape","ShowMean"),item("Show Regression","ShowRegression"),
   item("Thicker Lines","LineThicknessUp",sep=True),item("Thinner Lines","LineThicknessDown"),item("Larger Symbols","SymbolSizeUp"),
   item("Smaller Symbols","SymbolSizeDown"),item("Filled Symbols","SymbolFill"),item("Hollow Symbols","SymbolEmpty"),
   item("Toggle Grid","TurnGridOn",sep=True),item("Show Axes","DAxisOn"),item("Hide Axes","DAxisOff"),item("Label Axes","LabelAxis"),
   item("Number Landmarks","LabelLandmarks"),item("Clear 3D Figure","DFigureClear"),
   item("Dash-Dot Target Wireframe","ToggleDots",tag="DotCheck",checked=False,sep=True)]),
 menu("&Settings",[
   menu("Plot Density",[item(str(d),"SetPlotDensity",tag="Density%d"%d,checked=(d==20),args=(d,)) for d in (10,20,30,50)]),
   menu("Arrow Heads",[item("On","ArrowHeads",tag="ArrowHeads",checked=True),item("Off","NoArrowHeads",tag="NoArrowHeads",checked=False)]),
   menu("Reference Symbol",[item("Square","SetReferenceSymbol",tag="RefSquare",checked=False,args=("ks",)),
     item("Diamond","SetReferenceSymbol",tag="RefDiamond",checked=False,args=("kd",)),
     item("Circle","SetReferenceSymbol",tag="RefCircle",checked=True,args=("ko",)),
     item("Plus","SetReferenceSymbol",tag="RefPlus",checked=False,args=("k+",))]),
   menu("Line Format",[item("Red","SetLineFormat1",tag="Line1Red",checked=False,args=("r",)),
     item("Black","SetLineFormat1",tag="Line1Black",checked=True,args=("k",)),
     item("Black Dotted","SetLineFormat1",tag="Line1Dotted",checked=False,args=("k:",))]),
   menu("Line Width",[item("0.5","SetLineWidth",tag="Weight5",checked=False,args=(5,)),
     item("1.0","SetLineWidth",tag="Weight10",checked=False,args=(10,)),
     item("1.5","SetLineWidth",tag="Weight15",checked=True,args=(15,)),
     item("2.0","SetLineWidth",tag="Weight20",checked=False,args=(20,)),
     item("2.5","SetLineWidth",tag="Weigth25",checked=False,args=(25,))])]),
 menu("&Export",[item("Copy 3D Figure to Clipboard","CopyDClipboard"),item("Save 3D Figure as EPS…","CopyDEPS"),
   item("Export 3D Figure…","ExportFigure"),
   item("Copy Current Axes Enlarged",cb=["CopyBigImage","$gcbo"],sep=True),
   item("Copy Current Axes Enlarged, Free Aspect",cb=["CopyBigImageNA","$gcbo"])]),
]
fig={"figure":{"Tag":"VelmoraMain","Name":"Velmora — 3D geometric morphometrics","NumberTitle":"off","Units":"pixels",
               "Position":[80,80,1000,660],"MenuBar":"none","Resize":"on"},
     "children": menus + kids}
import os
open(os.path.join(os.path.dirname(__file__), '..', 'src', 'app', 'Velmora.fig'),'w').write(json.dumps(fig, indent=1, ensure_ascii=False)+"\n")
