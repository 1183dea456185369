#include <set>

#include "app_fixture.hpp"
#include "platform/runtime/function_table.hpp"

namespace velmora::app {
namespace {

TEST_F(AppTest, DispatchIsExactAndCaseSensitive) {
  ConsoleCapture cap;
  EXPECT_EQ(run("loaddata").outcome, Outcome::FellThrough);
  EXPECT_EQ(cap.text(), "Fell through Case, dang! \n ");
  EXPECT_TRUE(hb->dialogs().empty());
  EXPECT_TRUE(var("DATA").empty());
  ASSERT_EQ(action_table().size(), 101u);
  EXPECT_EQ(action_table()[0].name, "LoadData");
  EXPECT_EQ(action_table()[38].name, "ToggleDots");
}

TEST_F(AppTest, VelmoraswRefusalsAndMissingAction) {
  auto refusal = [](ValueList args, int nargout) {
    try {
      function_table().call("velmorasw", args, nargout);
    } catch (const std::exception& e) {
      return std::string(e.what());
    }
    return std::string("accepted");
  };
  EXPECT_EQ(refusal({"ClearData", 1.0, 2.0}, 1),
            "Run-time Error: File: velmorasw Line: 1 Column: 1 The function \"velmorasw\" was "
            "called with more than the declared number of outputs (0).");
  EXPECT_EQ(refusal({"ClearData", 1.0, 2.0}, 0),
            "Run-time Error: File: velmorasw Line: 1 Column: 1 The function \"velmorasw\" was "
            "called with more than the declared number of inputs (2).");
  EXPECT_EQ(refusal({}, 0),
            "Run-time Error: File: velmorasw Line: 1 Column: 1 Input argument \"action\" is "
            "undefined.");
}

TEST_F(AppTest, ClearDataRightAfterStart) {
  g->set(g->find_tag("LinearButton"), "Value", 0.0);
  g->set(g->find_tag("RotX"), "Enable", "off");
  ConsoleCapture cap;
  EXPECT_EQ(run("ClearData").outcome, Outcome::Done) << workspace().last_action.message;
  EXPECT_EQ(text_of("FileBox"), "No File Loaded");
  EXPECT_EQ(text_of("GroupBox"), "No File Loaded");
  // Without landmarks there is nothing to turn.
  EXPECT_EQ(g->get_text(g->find_tag("RotX"), "Enable"), "off");
  EXPECT_EQ(g->get_text(g->find_tag("RotZ"), "Enable"), "off");
  EXPECT_EQ(g->get_text(g->find_tag("RotX"), "TooltipString").rfind("Load landmarks first", 0), 0u);
  EXPECT_EQ(g->get_number(g->find_tag("LinearButton"), "Value"), 1);
  EXPECT_EQ(g->get_number(g->find_tag("LnButton"), "Value"), 0);
  EXPECT_EQ(var("linregress").to_scalar(), 1);
  EXPECT_NE(cap.text().find("ans ="), std::string::npos);  // the cleared axes
}

TEST_F(AppTest, ClearDataForgetsTheSampleAndItsXButKeepsWires) {
  load_examples(true, true);
  ASSERT_EQ(run("DoRegression").outcome, Outcome::Done) << workspace().last_action.message;
  EXPECT_EQ(run("ClearData").outcome, Outcome::Done);
  EXPECT_TRUE(var("DATA").empty());
  EXPECT_TRUE(var("DATAV").empty());
  EXPECT_TRUE(var("reference").empty());
  EXPECT_TRUE(var("pwscores").empty());
  EXPECT_TRUE(var("gvector").empty());    // results of the forgotten sample go too
  EXPECT_TRUE(var("XVariable").empty());  // a new sample never meets the old ages
  EXPECT_FALSE(var("wirelist").empty());
  EXPECT_TRUE(var("wireactive").is_true());
  hb->queue_path(example("skulls.txt"));
  ASSERT_EQ(run("LoadData").outcome, Outcome::Done);
  EXPECT_EQ(run("PlotPDistance").outcome, Outcome::Refused);
  EXPECT_EQ(workspace().last_action.message,
            "Load the independent variable first (Load X List), or use centroid size as X "
            "(Use CS).");
}

TEST_F(AppTest, DataActionsBeforeLoadDataAreRefusedWithoutChange) {
  const auto at_start = workspace().named();
  for (const ActionSpec& spec : action_table()) {
    if (!(spec.needs & kNeedSample)) continue;
    std::size_t figures = g->figures().size();
    ActionReport r = run(std::string(spec.name));
    EXPECT_EQ(r.outcome, Outcome::Refused) << spec.name;
    EXPECT_EQ(r.message, "Load a landmark file first (Load Landmarks).") << spec.name;
    EXPECT_EQ(g->figures().size(), figures) << spec.name;
    EXPECT_TRUE(hb->dialogs().empty()) << spec.name;
  }
  const auto now = workspace().named();
  for (std::size_t i = 0; i < now.size(); ++i) {
    if (now[i].first != "h2dfig") {
      EXPECT_EQ(now[i].second, at_start[i].second) << now[i].first;
    }
  }
  const analysis::Session& a = workspace().session;
  EXPECT_FALSE(a.has_sample() || a.x() || a.scores() || a.regression());
}

TEST_F(AppTest, LaterPreconditionsNameWhatToDoFirst) {
  load_examples(false);
  EXPECT_EQ(run("DoRegression").message,
            "Load the independent variable first (Load X List), or use centroid size as X "
            "(Use CS).");
  EXPECT_EQ(run("SaveWarp").outcome, Outcome::Refused);
  EXPECT_EQ(run("ShowRegression").message, "Run the regression first (Do Regression).");
  EXPECT_EQ(run("SaveVector").outcome, Outcome::Refused);
  EXPECT_EQ(run("UseCS").outcome, Outcome::Done);
  // Centroid size as X comes with the scores, as a loaded X list does.
  EXPECT_EQ(run("GetWilks").outcome, Outcome::Done) << workspace().last_action.message;
  EXPECT_EQ(run("DoRegression").outcome, Outcome::Done) << workspace().last_action.message;
  EXPECT_EQ(run("GetWilks").outcome, Outcome::Done) << workspace().last_action.message;
}

TEST_F(AppTest, AClosed3DWindowIsReopenedWithTheReference) {
  load_examples(false);
  gfx::Handle old3d = var("h3dfig").to_scalar();
  g->destroy(old3d);
  EXPECT_EQ(run("ShowMean").outcome, Outcome::Done) << workspace().last_action.message;
  gfx::Handle fresh = var("h3dfig").to_scalar();
  ASSERT_TRUE(g->valid(fresh));
  EXPECT_EQ(g->current_figure(), fresh);
  // The mean in place of the reference that the reopened window drew.
  EXPECT_EQ(g->get(g->current_axes(), "Children").numel(), 1u);
}

TEST_F(AppTest, StaleResultsAreDroppedByANewLoad) {
  load_examples();
  ASSERT_EQ(run("DoRegression").outcome, Outcome::Done);
  hb->queue_path(example("skulls.txt"));
  ASSERT_EQ(run("LoadData").outcome, Outcome::Done);
  EXPECT_TRUE(var("pwscores").empty());
  EXPECT_TRUE(var("gvector").empty());
  EXPECT_TRUE(var("delta").empty());
  EXPECT_TRUE(var("XVariable").empty());
  EXPECT_EQ(g->get_text(g->find_tag("RotX"), "Enable"), "on");
  EXPECT_EQ(g->get_text(g->find_tag("RotZ"), "Enable"), "on");
}

TEST_F(AppTest, RunTimeErrorsAreReportedWithTheActionName) {
  load_examples(false);
  g->destroy(g->find_tag("FileBox"));  // a layout without the control
  hb->queue_path(example("skulls.txt"));
  ConsoleCapture cap;
  ActionReport r = run("LoadData");
  EXPECT_EQ(r.outcome, Outcome::Failed);
  EXPECT_EQ(cap.errors(),
            "Error in velmorasw action LoadData: No open window holds a control tagged "
            "\"FileBox\".\n");
}

TEST_F(AppTest, VelmoraCallbacksAndDispatch) {
  ConsoleCapture cap;
  EXPECT_TRUE(velmora({"pushbutton4_Callback", Value(main), Value(), Value()}, 0).empty());
  EXPECT_TRUE(velmora({"axes1_ButtondownFcn"}, 0).empty());
  EXPECT_EQ(cap.text(),
            "pushbutton4 Callback not implemented yet.\naxes1 ButtondownFcn not implemented "
            "yet.\n");
  EXPECT_TRUE(velmora({"nosuchfunction"}, 0).empty());
  EXPECT_EQ(cap.errors(), "Undefined function or variable \"nosuchfunction\".\n");
  EXPECT_TRUE(velmora({Value(42.0)}, 1).empty());
  EXPECT_EQ(window_callbacks().size(), 40u);
  // A second start reuses the open window.
  EXPECT_EQ(velmora({}, 1).at(0).to_scalar(), main);
  EXPECT_EQ(g->get(main, "Color"), g->get(gfx::kRoot, "defaultUicontrolBackgroundColor"));
}

TEST_F(AppTest, LayoutHoldsEveryTagAndAControlForEveryAction) {
  for (const char* tag : {"FileBox",
                          "GroupBox",
                          "WireBox",
                          "RotX",
                          "RotZ",
                          "LinearButton",
                          "LnButton",
                          "CSBox",
                          "ExagerationBox",
                          "DeFormat",
                          "DotCheck",
                          "Density10",
                          "Density20",
                          "Density30",
                          "Density50",
                          "ArrowHeads",
                          "NoArrowHeads",
                          "RefSquare",
                          "RefDiamond",
                          "RefCircle",
                          "RefPlus",
                          "Line1Red",
                          "Line1Black",
                          "Line1Dotted",
                          "Weight5",
                          "Weight10",
                          "Weight15",
                          "Weight20",
                          "Weight25",
                          "axes1",
                          "SuperimposeOptimal",
                          "SuperimposeClassic",
                          "FullPrecisionOn",
                          "FullPrecisionOff"})
    EXPECT_EQ(g->find_by_tag(tag).size(), 1u) << tag;
  std::set<std::string> called;
  for (gfx::Handle h : g->all_objects(main)) {
    if (!g->has_property(h, "Callback")) continue;
    Value cb = g->get(h, "Callback");
    if (cb.is_cell() && cb.numel() >= 2 && cb.at(0).text_or_empty() == "velmorasw")
      called.insert(cb.at(1).to_string());
    if (cb.is_cell() && cb.numel() >= 1) called.insert(cb.at(0).text_or_empty());
  }
  for (const ActionSpec& s : action_table())
    EXPECT_TRUE(called.count(std::string(s.name))) << s.name;
  EXPECT_TRUE(called.count("CopyBigImage"));
  EXPECT_TRUE(called.count("CopyBigImageNA"));
}

// The table holds exactly the program's functions, in the program's order.
TEST_F(AppTest, EveryFunctionIsRegisteredInTheProgramsOrder) {
  std::vector<std::string> names;
  for (const FunctionSpec& e : function_table().entries()) names.push_back(e.name);
  EXPECT_EQ(names, function_order());
}

}  // namespace
}  // namespace velmora::app
