#include <algorithm>
#include <cmath>
#include <iterator>
#include <sstream>

#include "app_fixture.hpp"

namespace velmora::app {
namespace {

// n specimens of k landmarks: a jittered tetrahedral frame, scaled and moved.
std::string sample_file(int n, int k, bool with_cs = true) {
  std::string out;
  for (int i = 0; i < n; ++i) {
    for (int j = 0; j < k; ++j) {
      double x = std::cos(1.3 * j) * (1 + 0.05 * i) + 0.01 * ((i * 7 + j * 3) % 5);
      double y = std::sin(0.7 * j) * 2 + 0.02 * ((i + j) % 3);
      double z = 0.3 * j + 0.01 * ((i * j) % 4);
      out += std::to_string(x + i) + " " + std::to_string(y) + " " + std::to_string(z) + " ";
    }
    if (with_cs) out += std::to_string(10.0 + i);
    out += "\n";
  }
  return out;
}

TEST_F(AppTest, LoadDataReportsFileAndCountsAndSetsDefaults) {
  std::string path = write("twenty.txt", sample_file(20, 12));
  workspace().window.display.reference_symbol = "ks";
  hb->queue_path(path);
  ASSERT_EQ(run("LoadData").outcome, Outcome::Done) << workspace().last_action.message;
  EXPECT_EQ(text_of("FileBox"), "File: twenty.txt \n  20 Specimens \n  12 Landmarks");
  EXPECT_EQ(var("DATA").rows(), 20u);
  EXPECT_EQ(var("DATA").cols(), 37u);
  EXPECT_EQ(var("DATAV").dims(), (std::array<std::size_t, 3>{12, 3, 20}));
  EXPECT_EQ(var("vrefsymbol").to_string(), "ko");
  // The menus show the settings afresh.
  EXPECT_EQ(g->get_text(g->find_tag("RefSquare"), "Checked"), "off");
  EXPECT_EQ(g->get_text(g->find_tag("RefCircle"), "Checked"), "on");
  EXPECT_EQ(var("vlinewidth").to_scalar(), 0.5);
  EXPECT_EQ(var("vlineformat1").to_string(), "k-");
  EXPECT_EQ(var("vtargetsymbol").to_string(), "ro");
  EXPECT_EQ(var("deftypelist").numel(), 6u);
  EXPECT_EQ(var("h2dfig").to_scalar(), main);
  // The working folder follows the chosen file.
  EXPECT_EQ(std::filesystem::current_path(), std::filesystem::path(temp("")).parent_path());
  // The reference in a new 3D figure as green stars.
  gfx::Handle fig = var("h3dfig").to_scalar();
  EXPECT_EQ(g->current_figure(), fig);
  Value kids = g->get(g->current_axes(), "Children");
  ASSERT_EQ(kids.numel(), 1u);
  EXPECT_EQ(g->get_text(kids(0), "Marker"), "pentagram");
  EXPECT_EQ(g->get(kids(0), "Color"), Value::row({0, 0.55, 0}));
}

TEST_F(AppTest, ASecondLoadReusesTheEmptied3DWindowAndEmptiesThePlot) {
  load_examples();
  ASSERT_EQ(run("ShowProcrustes").outcome, Outcome::Done);
  ASSERT_EQ(run("PlotPDistance").outcome, Outcome::Done);
  const gfx::Handle ax = g->find_tag("axes1");
  ASSERT_GT(g->get(ax, "Children").numel(), 0u);
  const gfx::Handle first = var("h3dfig").to_scalar();
  const std::size_t figures = g->figures().size();
  hb->queue_path(write("twenty.txt", sample_file(20, 12)));
  ASSERT_EQ(run("LoadData").outcome, Outcome::Done) << workspace().last_action.message;
  EXPECT_EQ(var("h3dfig").to_scalar(), first);
  EXPECT_EQ(g->figures().size(), figures);
  // The 3D window holds the new reference alone, the plot nothing.
  Value kids = g->get(g->current_axes(), "Children");
  ASSERT_EQ(kids.numel(), 1u);
  EXPECT_EQ(g->get(kids(0), "XData").numel(), 12u);
  EXPECT_EQ(g->get(ax, "Children").numel(), 0u);
  for (const char* label : {"XLabel", "YLabel"})
    EXPECT_EQ(g->get_text(g->get(ax, label)(0), "String"), "") << label;
  run("ShowMean");  // the mean takes the place of the reference drawn by LoadData
  EXPECT_EQ(g->get(g->current_axes(), "Children").numel(), 1u);
  EXPECT_EQ(g->current_figure(), first);
  // A closed 3D window is opened again by the next load.
  g->destroy(first);
  hb->queue_path(write("twenty.txt", sample_file(20, 12)));
  ASSERT_EQ(run("LoadData").outcome, Outcome::Done);
  EXPECT_TRUE(g->valid(var("h3dfig").to_scalar()));
  EXPECT_EQ(g->figures().size(), figures);
}

TEST_F(AppTest, BadLandmarkFilesAreRefusedAndChangeNothing) {
  load_examples(false);
  Value data = var("DATA");
  gfx::Handle fig = var("h3dfig").to_scalar();
  std::size_t figures = g->figures().size();
  for (std::string text : {std::string(""), sample_file(3, 12, false), std::string("1 2 x 4\n"),
                           std::string("1 2 3 4\n1 2 3\n")}) {
    hb->queue_path(write("bad.txt", text));
    ActionReport r = run("LoadData");
    EXPECT_EQ(r.outcome, Outcome::Refused) << text;
    EXPECT_NE(r.message.find("bad.txt"), std::string::npos) << r.message;
  }
  hb->queue_path(temp("missing.txt"));
  EXPECT_EQ(run("LoadData").outcome, Outcome::Refused);
  EXPECT_EQ(var("DATA"), data);
  EXPECT_EQ(var("h3dfig").to_scalar(), fig);
  EXPECT_EQ(g->figures().size(), figures);
  EXPECT_NE(text_of("FileBox").find("skulls.txt"), std::string::npos);
}

TEST_F(AppTest, CancelledLoadChangesNothing) {
  hb->queue_cancel();
  EXPECT_EQ(run("LoadData").outcome, Outcome::Done);
  EXPECT_TRUE(var("DATA").empty());
  EXPECT_EQ(text_of("FileBox"), "No File Loaded");
}

TEST_F(AppTest, LoadXListChecksTheCount) {
  load_examples(false);
  std::string ages;
  for (int i = 0; i < 79; ++i) ages += std::to_string(i + 1) + "\n";
  for (const auto& [text, count] : {std::pair{ages, "79"}, std::pair{ages + "80\n81\n", "81"}}) {
    hb->queue_path(write("x.txt", text));
    ActionReport r = run("LoadXList");
    EXPECT_EQ(r.outcome, Outcome::Refused);
    EXPECT_EQ(r.message,
              "There was a mismatch in the number of specimens and the number of independent "
              "variable values.  Recheck the files and reload (80 specimens, " +
                  std::string(count) + " X values).");
    EXPECT_EQ(hb->messages().back().title, "");
    EXPECT_TRUE(var("pwscores").empty());
    EXPECT_TRUE(var("XVariable").empty());  // a refused load changes nothing
    EXPECT_EQ(g->get_text(g->find_tag("RotX"), "Enable"), "on");
  }
  hb->queue_path(example("age.txt"));
  ASSERT_EQ(run("LoadXList").outcome, Outcome::Done);
  EXPECT_EQ(var("XVariable").dims(), (std::array<std::size_t, 3>{80, 1, 1}));
  EXPECT_EQ(var("pwscores").dims(), (std::array<std::size_t, 3>{80, 29, 1}));
  EXPECT_EQ(g->get_text(g->find_tag("RotX"), "Enable"), "off");
  EXPECT_EQ(g->get_text(g->find_tag("RotZ"), "Enable"), "off");
}

TEST_F(AppTest, WireframeTextAndColumnsTwoAndThree) {
  hb->queue_path(write("wires.txt", "3 7 12\n9 1 2\n"));
  ASSERT_EQ(run("LoadWireFrame").outcome, Outcome::Done) << workspace().last_action.message;
  EXPECT_EQ(text_of("WireBox"), "wires.txt, 2 wires");
  EXPECT_EQ(hb->dialogs().back().filter, "*.txt");
  EXPECT_EQ(hb->dialogs().back().title, "Enter file to Load?");
  load_examples(false);
  // Reference stars, then the wires between landmarks 7–12 and 1–2 as one
  // line, the pen lifted between them.
  Value kids = g->get(g->current_axes(), "Children");
  ASSERT_EQ(kids.numel(), 2u);
  const Value& ref = var("reference");
  Value wire = g->get(kids(0), "XData");
  ASSERT_EQ(wire.numel(), 5u);
  EXPECT_EQ(wire(0), ref(6, 0));
  EXPECT_EQ(wire(1), ref(11, 0));
  EXPECT_TRUE(std::isnan(wire(2)));
  EXPECT_EQ(wire(3), ref(0, 0));
  EXPECT_EQ(wire(4), ref(1, 0));
  EXPECT_EQ(g->get_text(kids(0), "LineStyle"), "-");
  // A wireframe beyond the sample's landmarks is refused when it is loaded.
  hb->queue_path(write("long.txt", "1 1 13\n"));
  ActionReport r = run("LoadWireFrame");
  EXPECT_EQ(r.outcome, Outcome::Refused);
  EXPECT_NE(r.message.find("landmark 13"), std::string::npos) << r.message;
}

TEST_F(AppTest, ShowProcrustesDrawsEverySpecimenThenTheMeanOnTop) {
  load_examples(false, true);
  ASSERT_EQ(run("ShowProcrustes").outcome, Outcome::Done) << workspace().last_action.message;
  Value kids = g->get(g->current_axes(), "Children");
  // Newest first: the mean, its wireframe (one line), the 80 specimens; the
  // reference that LoadData drew gives way to the mean.
  ASSERT_EQ(kids.numel(), 1u + 1 + 80);
  EXPECT_EQ(g->get_text(kids(0), "Tag"), "Mean");
  for (std::size_t i = 2; i < kids.numel(); ++i) {
    EXPECT_EQ(g->get(kids(i), "MarkerFaceColor"), g->get(kids(i), "Color")) << i;  // filled
    EXPECT_EQ(g->get_text(kids(i), "Tag"), "Specimen");
  }
  // Drawn again, the sample is still shown once.
  ASSERT_EQ(run("ShowProcrustes").outcome, Outcome::Done);
  EXPECT_EQ(g->get(g->current_axes(), "Children").numel(), 1u + 1 + 80);
}

TEST_F(AppTest, FourQuarterTurnsRestoreReferenceAndSample) {
  load_examples(false);
  const Value ref = var("reference"), data = var("DATAV");
  for (const char* action : {"RotateRefX", "RotateRefZ"}) {
    ConsoleCapture cap;
    for (int i = 0; i < 4; ++i) ASSERT_EQ(run(action).outcome, Outcome::Done);
    EXPECT_EQ(var("reference"), ref) << action;
    EXPECT_EQ(var("DATAV"), data) << action;
    EXPECT_NE(cap.text().find("ans ="), std::string::npos);
  }
  run("RotateRefX");
  const Value& r = var("reference");
  EXPECT_EQ(r(0, 1), ref(0, 2));  // (x, y, z) becomes (x, z, −y)
  EXPECT_EQ(r(0, 2), -ref(0, 1));
}

// What a user can see or the next action can use: every state variable but
// the figure handles, the texts and switches of the main window, the windows.
struct Snapshot {
  std::vector<Value> values;
  std::vector<std::string> controls;
  std::size_t figures = 0;
  bool operator==(const Snapshot&) const = default;
};

Snapshot snapshot(gfx::Graphics& g) {
  Snapshot s;
  for (auto& [name, v] : workspace().named()) s.values.push_back(v);
  for (const char* tag : {"FileBox", "WireBox", "GroupBox"})
    s.controls.push_back(g.get_text(g.find_tag(tag), "String"));
  for (const char* tag : {"RotX", "RotZ"})
    s.controls.push_back(g.get_text(g.find_tag(tag), "Enable"));
  s.figures = g.figures().size();
  return s;
}

TEST_F(AppTest, RefusedLoadsChangeNothing) {
  load_examples(true, true);
  ASSERT_EQ(run("DoRegression").outcome, Outcome::Done);
  const Snapshot before = snapshot(*g);
  std::string ages;
  for (int i = 0; i < 79; ++i) ages += std::to_string(i + 1) + "\n";
  const struct {
    const char* action;
    std::string file;
    std::string message;  // empty: only the outcome is checked
  } cases[] = {
      {"LoadXList", ages, ""},
      {"LoadXList", "1\n2\nx\n", ""},
      {"LoadData", "1 2 3 4\n1 2 3\n", ""},
      {"LoadWireFrame", "1 1 2\n2 0 3\n",
       "line 2: 0 is not a landmark number (a whole number from 1 up)."},
      {"LoadWireFrame", "1 -2 3\n",
       "line 1: -2 is not a landmark number (a whole number from 1 up)."},
      {"LoadWireFrame", "1 2 2.5\n",
       "line 1: 2.5 is not a landmark number (a whole number from 1 up)."},
      {"LoadWireFrame", "1 1e300 2\n",
       "line 1: 1e+300 is not a landmark number (a whole number from 1 up)."},
      {"LoadWireFrame", "1 1 2\n2 3 13\n",
       "line 2: landmark 13 is beyond the 12 landmarks of the loaded sample."},
  };
  for (const auto& c : cases) {
    hb->queue_path(write("w.txt", c.file));
    ActionReport r = run(c.action);
    EXPECT_EQ(r.outcome, Outcome::Refused) << c.action << ": " << c.file;
    if (!c.message.empty()) {
      EXPECT_EQ(r.message, "\"" + temp("w.txt") + "\" " + c.message);
    }
    EXPECT_TRUE(snapshot(*g) == before) << c.action << ": " << c.file;
  }
  // Without a sample only whole numbers from 1 up are asked of a wireframe.
  run("ClearData");
  hb->queue_path(write("w.txt", "1 1 200\n"));
  EXPECT_EQ(run("LoadWireFrame").outcome, Outcome::Done);
}

TEST_F(AppTest, AFailedLoadXListChangesNothing) {
  // Landmarks all in one plane give no spline: the scores cannot be computed.
  std::string flat;
  for (int i = 0; i < 5; ++i) {
    char buf[160];
    std::snprintf(buf, sizeof buf, "0 0 0 1 0 0 0 1 0 %g %g 0 0.4 %g 0 1\n", 1 + 0.1 * i,
                  1 - 0.05 * i * i, 0.3 + 0.02 * i);
    flat += buf;
  }
  hb->queue_path(write("flat.txt", flat));
  ASSERT_EQ(run("LoadData").outcome, Outcome::Done) << workspace().last_action.message;
  const Snapshot before = snapshot(*g);
  hb->queue_path(write("x.txt", "1\n2\n3\n4\n5\n"));
  const ActionReport r = run("LoadXList");
  EXPECT_NE(r.outcome, Outcome::Done);
  EXPECT_EQ(r.message,
            "The thin-plate spline basis of the reference is undefined: all its landmarks lie in "
            "one plane (or on one line).");
  EXPECT_TRUE(snapshot(*g) == before);
}

TEST_F(AppTest, ASampleTooSmallForTheWireframeRemovesIt) {
  load_examples(false, true);
  hb->queue_path(write("five.txt", sample_file(6, 5)));
  ActionReport r = run("LoadData");
  EXPECT_EQ(r.outcome, Outcome::Done) << r.message;
  EXPECT_EQ(last_message(),
            "The wireframe needs 12 landmarks; this sample has 5: wireframe removed.");
  EXPECT_TRUE(var("wirelist").empty());
  EXPECT_FALSE(var("wireactive").is_true());
  EXPECT_EQ(text_of("WireBox"), "No Wireframe Loaded");
  EXPECT_EQ(var("reference").rows(), 5u);
}

// A wireframe belongs to the landmark scheme it was loaded with: a sample of
// another count removes it even where its landmark numbers would fit, and
// one of the same count keeps it.
TEST_F(AppTest, ASampleOfAnotherLandmarkCountRemovesTheWireframe) {
  load_examples(false, true);
  const std::size_t messages = hb->messages().size();
  hb->queue_path(write("same.txt", sample_file(20, 12)));
  ASSERT_EQ(run("LoadData").outcome, Outcome::Done) << workspace().last_action.message;
  EXPECT_EQ(hb->messages().size(), messages);
  EXPECT_EQ(text_of("WireBox"), "skull_wires.txt, 14 wires");
  // ClearData keeps the wireframe, and the scheme it belongs to.
  run("ClearData");
  hb->queue_path(write("more.txt", sample_file(20, 30)));
  ASSERT_EQ(run("LoadData").outcome, Outcome::Done) << workspace().last_action.message;
  EXPECT_EQ(last_message(),
            "The wireframe was loaded for samples of 12 landmarks; this sample has 30: wireframe "
            "removed.");
  EXPECT_EQ(hb->messages().back().title, "Wireframe removed");
  EXPECT_TRUE(var("wirelist").empty());
  EXPECT_EQ(text_of("WireBox"), "No Wireframe Loaded");
  for (gfx::Handle h : g->children(g->current_axes()))
    EXPECT_NE(g->get_text(h, "Tag"), "ReferenceWire");
  // A wireframe loaded for this sample stays with it.
  hb->queue_path(write("w.txt", "1 1 30\n2 29 30\n"));
  ASSERT_EQ(run("LoadWireFrame").outcome, Outcome::Done) << workspace().last_action.message;
  hb->queue_path(temp("more.txt"));
  ASSERT_EQ(run("LoadData").outcome, Outcome::Done) << workspace().last_action.message;
  EXPECT_FALSE(var("wirelist").empty());
}

TEST_F(AppTest, SeveralMarkupFilesLoadAsOneSampleInTheOrderChosen) {
  const std::string f = example("formats/");
  hb->queue_paths({f + "skull03.fcsv", f + "skull01.mrk.json", f + "skull02.fcsv"});
  ASSERT_EQ(run("LoadData").outcome, Outcome::Done) << workspace().last_action.message;
  EXPECT_TRUE(hb->dialogs().back().several);
  EXPECT_EQ(hb->dialogs().back().title, "Enter file to Load?");
  EXPECT_EQ(text_of("FileBox"),
            "File: skull03.fcsv … skull02.fcsv (3 files) \n   3 Specimens \n  12 Landmarks");
  EXPECT_EQ(workspace().session.sample().names,
            (std::vector<std::string>{"skull03", "skull01", "skull02"}));
  EXPECT_EQ(std::filesystem::current_path(), std::filesystem::path(f).parent_path());
  // Row i holds the landmarks of the i-th file chosen: those of its line in
  // the example file.
  std::ifstream in(example("skulls.txt"));
  std::vector<std::vector<double>> lines;
  for (std::string line; std::getline(in, line) && lines.size() < 3;) {
    std::istringstream words(line);
    lines.emplace_back(std::istream_iterator<double>(words), std::istream_iterator<double>());
  }
  const Value data = var("DATA");
  ASSERT_EQ(data.dims(), (std::array<std::size_t, 3>{3, 37, 1}));
  const std::size_t line_of[] = {2, 0, 1};
  for (std::size_t i = 0; i < 3; ++i)
    for (std::size_t c = 0; c < 36; ++c) EXPECT_EQ(data(i, c), lines[line_of[i]][c]) << i;

  hb->queue_paths({f + "skull01.fcsv", f + "skull02.mrk.json"});
  ASSERT_EQ(run("LoadData").outcome, Outcome::Done) << workspace().last_action.message;
  EXPECT_EQ(text_of("FileBox"),
            "File: skull01.fcsv, skull02.mrk.json \n   2 Specimens \n  12 Landmarks");
}

TEST_F(AppTest, AChoiceOfSeveralFilesThatCannotGoTogetherChangesNothing) {
  load_examples(true, true);
  const Snapshot before = snapshot(*g);
  const std::string f = example("formats/");
  const std::string only_markup =
      "\": only markup files (.fcsv, .mrk.json) can be loaded several at a time, one specimen a "
      "file; load this file on its own.";
  std::string eleven = "# columns = id,x,y,z\n";
  for (int j = 1; j <= 11; ++j)
    eleven += std::to_string(j) + "," + std::to_string(j) + "," + std::to_string(j * j) + "," +
              std::to_string(j % 3) + "\n";
  const struct {
    std::vector<std::string> files;
    std::string message;
  } cases[] = {
      {{f + "skull01.fcsv", f + "skulls.tps"}, "\"" + f + "skulls.tps" + only_markup},
      {{f + "skulls.tps", f + "skull01.fcsv"}, "\"" + f + "skulls.tps" + only_markup},
      {{example("skulls.txt"), example("skulls.txt")}, "\"" + example("skulls.txt") + only_markup},
      {{f + "skull01.fcsv", write("eleven.fcsv", eleven)},
       "\"" + temp("eleven.fcsv") + "\": 11 landmarks, but \"" + f +
           "skull01.fcsv\" has 12; every specimen needs the same landmarks."},
  };
  for (const auto& c : cases) {
    hb->queue_paths(c.files);
    ActionReport r = run("LoadData");
    EXPECT_EQ(r.outcome, Outcome::Refused) << c.files.back();
    EXPECT_EQ(r.message, c.message);
    EXPECT_TRUE(snapshot(*g) == before) << c.files.back();
  }
}

TEST_F(AppTest, ALabelOfTheFileBecomesXAsLoadXListWouldMakeIt) {
  load_examples(true);
  const Value x = var("XVariable"), scores = var("pwscores");
  // One label: taken without a question.
  hb->queue_path(example("formats/skulls_morphologika.txt"));
  ASSERT_EQ(run("LoadData").outcome, Outcome::Done) << workspace().last_action.message;
  const std::size_t dialogs = hb->dialogs().size();
  ASSERT_EQ(run("UseLabelAsX").outcome, Outcome::Done) << workspace().last_action.message;
  EXPECT_EQ(hb->dialogs().size(), dialogs);
  EXPECT_EQ(var("XVariable"), x);
  EXPECT_EQ(var("pwscores"), scores);
  EXPECT_EQ(g->get_text(g->find_tag("RotX"), "Enable"), "off");
  EXPECT_EQ(g->get_text(g->find_tag("RotZ"), "Enable"), "off");

  // Several: the user picks one; the results of the previous X are gone.
  const std::string text = labelled_skulls();
  hb->queue_path(write("labelled.txt", text));
  ASSERT_EQ(run("LoadData").outcome, Outcome::Done) << workspace().last_action.message;
  hb->queue_choice("Age");
  ASSERT_EQ(run("UseLabelAsX").outcome, Outcome::Done) << workspace().last_action.message;
  ASSERT_EQ(run("DoRegression").outcome, Outcome::Done) << workspace().last_action.message;
  hb->queue_choice("Weight");
  ASSERT_EQ(run("UseLabelAsX").outcome, Outcome::Done) << workspace().last_action.message;
  const gfx::HeadlessBackend::Dialog& d = hb->dialogs().back();
  EXPECT_EQ(d.kind, "list");
  EXPECT_EQ(d.title, "Use Label as X");
  EXPECT_EQ(d.items, (std::vector<std::string>{"Age", "Sex", "Weight"}));
  ASSERT_EQ(var("XVariable").numel(), 80u);
  for (std::size_t i = 0; i < 80; ++i) EXPECT_EQ(var("XVariable")(i), 100.0 + i);
  EXPECT_TRUE(var("gvector").empty());
  EXPECT_EQ(run("ShowRegression").outcome, Outcome::Refused);

  // A label that is no number, a cancel, and a sample without labels
  // change nothing.
  const Snapshot before = snapshot(*g);
  const auto values_line =
      std::count(text.begin(), text.begin() + text.find("[labelvalues]"), '\n') + 2;
  hb->queue_choice("Sex");
  ActionReport r = run("UseLabelAsX");
  EXPECT_EQ(r.outcome, Outcome::Refused);
  EXPECT_EQ(r.message, "The label \"Sex\" is not a number for every specimen (\"M\" on line " +
                           std::to_string(values_line) + "), so it cannot be X.");
  EXPECT_TRUE(snapshot(*g) == before);
  hb->queue_choice(std::nullopt);
  EXPECT_EQ(run("UseLabelAsX").outcome, Outcome::Done);
  EXPECT_TRUE(snapshot(*g) == before);
  load_examples(false);
  r = run("UseLabelAsX");
  EXPECT_EQ(r.outcome, Outcome::Refused);
  EXPECT_EQ(r.message,
            "The loaded sample has no labels to use as X: a Morphologika file gives them in its "
            "[labels] and [labelvalues] sections, a specimen table in its columns of numbers.");
  run("ClearData");
  EXPECT_EQ(run("UseLabelAsX").message, "Load a landmark file first (Load Landmarks).");
}

}  // namespace
}  // namespace velmora::app

namespace velmora::app {
namespace {

TEST_F(AppTest, LandmarksSavedAsCsvOrNativeReadBackWithTheirNames) {
  hb->queue_path(example("formats/skulls.tps"));
  ASSERT_EQ(run("LoadData").outcome, Outcome::Done) << workspace().last_action.message;
  const Value data = var("DATA");
  for (const char* name : {"again.csv", "again.txt"}) {
    hb->queue_path(temp(name));
    ASSERT_EQ(run("SaveLandmarks").outcome, Outcome::Done) << workspace().last_action.message;
    hb->queue_path(temp(name));
    ASSERT_EQ(run("LoadData").outcome, Outcome::Done)
        << name << ": " << workspace().last_action.message;
    const Value again = var("DATA");
    ASSERT_EQ(again.dims(), data.dims());
    for (std::size_t i = 0; i < data.numel(); ++i)
      EXPECT_NEAR(again(i), data(i), 1e-12 * std::fabs(data(i)) + 1e-300) << name;
  }
  // Names live through a CSV table (the native layout has no place for them).
  hb->queue_path(temp("again.csv"));
  ASSERT_EQ(run("LoadData").outcome, Outcome::Done);
  EXPECT_EQ(workspace().session.sample().names.front(), "skull01");
  hb->queue_path(temp("names.csv"));
  ASSERT_EQ(run("SaveSpecimenNames").outcome, Outcome::Done) << workspace().last_action.message;
  std::ifstream in(temp("names.csv"));
  std::string header, first;
  std::getline(in, header);
  std::getline(in, first);
  EXPECT_EQ(header, "specimen,CS");
  EXPECT_EQ(first.rfind("skull01,", 0), 0u) << first;
}

// A regression describes the X it was computed on: a new X, from a file or
// the centroid sizes, removes it, so Show Regression cannot draw it as the
// new X's result.
TEST_F(AppTest, ANewXRemovesTheRegressionOnThePreviousOne) {
  load_examples();
  for (const char* action : {"LoadXList", "UseCS"}) {
    ASSERT_EQ(run("DoRegression").outcome, Outcome::Done) << workspace().last_action.message;
    ASSERT_FALSE(var("gvector").empty());
    if (std::string(action) == "LoadXList") hb->queue_path(example("age.txt"));
    ASSERT_EQ(run(action).outcome, Outcome::Done) << workspace().last_action.message;
    EXPECT_TRUE(var("gvector").empty()) << action;
    EXPECT_EQ(run("ShowRegression").outcome, Outcome::Refused) << action;
  }
}

}  // namespace
}  // namespace velmora::app
