// Groups and linear models through batch: the README's worked example as
// the program prints it, the refusals' texts, the recorder, and the
// size-corrected shapes read back as a landmark file.
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <iterator>
#include <sstream>

#include "app/batch.hpp"
#include "app/workspace.hpp"
#include "app_fixture.hpp"
#include "core/number_text.hpp"
#include "platform/graphics/scene.hpp"

namespace velmora::app {
namespace {

std::string read_bytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

class GroupActions : public AppTest {
 protected:
  int run_text(const std::string& text) {
    std::istringstream in(text);
    const int status = run_batch(parse_batch(in, std::string(VELMORA_SOURCE_DIR) + "/examples/"));
    g = &gfx::graphics();
    hb = gfx::headless_backend();
    return status;
  }
  // The example's first lines: the sample, its table, the model and factor.
  std::string start() const {
    return "open populations.txt\nLoadData\nopen populations.csv\nLoadSpecimenTable\n"
           "SetModel \"shape ~ log(CS) * population\"\nSetFactor population\n";
  }
  // The log's entries as text, without their times.
  static std::vector<std::string> log_reports() {
    std::vector<std::string> out;
    for (const LogEntry& e : workspace().window.log.entries())
      out.push_back(e.title + "\n" + e.settings + "\n" + e.text);
    return out;
  }
};

// The README's worked example is what the example script prints, line for
// line, and the script runs end to end.
TEST_F(GroupActions, ExampleScriptPrintsTheReadmeTable) {
  const std::string readme = read_bytes(std::string(VELMORA_SOURCE_DIR) + "/README.md");
  const std::size_t at = readme.find("    TERM                Df");
  ASSERT_NE(at, std::string::npos);
  std::string table;
  for (std::istringstream in(readme.substr(at)); table.size() < 4000;) {
    std::string line;
    if (!std::getline(in, line) || line.rfind("    ", 0) != 0) break;
    table += line.substr(4) + "\n";
  }
  ConsoleCapture cap;
  const int status = run_batch_file(std::string(VELMORA_SOURCE_DIR) + "/examples/groups.velmora");
  EXPECT_EQ(status, kBatchOk) << cap.text() << cap.errors();
  g = &gfx::graphics();
  EXPECT_NE(cap.text().find(table), std::string::npos) << cap.text();
  // Every report is in the log, with the table and the model it used.
  const std::vector<std::string> reports = log_reports();
  // The table, the ANOVA, the pairs, the canonical variates and the PCA.
  ASSERT_EQ(reports.size(), 5u);
  for (const std::string& r : reports) {
    EXPECT_NE(r.find("specimen table populations.csv"), std::string::npos) << r;
  }
  EXPECT_NE(reports[1].find("model shape ~ log(CS) * population, groups by population"),
            std::string::npos)
      << reports[1];
  EXPECT_NE(reports[3].find("29 principal components"), std::string::npos) << reports[3];
  EXPECT_NE(reports[2].find("coast:inland"), std::string::npos) << reports[2];
  // The PCA scatter: a colour a population (Okabe and Ito's first two), each
  // with its 95 % confidence ellipse of the mean and its name.
  std::vector<Value> colours;
  std::size_t ellipses = 0;
  for (gfx::Handle h : g->children(g->find_tag("axes1"))) {
    if (g->type(h) != gfx::Type::Line) continue;
    if (g->get_text(h, "LineStyle") == "none") colours.push_back(g->get(h, "Color"));
    ellipses += g->get(h, "XData").numel() == 73;
  }
  EXPECT_EQ(colours, (std::vector<Value>{Value::row({0.902, 0.624, 0.0}),
                                         Value::row({0.337, 0.706, 0.914})}));
  EXPECT_EQ(ellipses, 2u);
}

// Each refusal names what to do or the value at fault, and changes nothing.
TEST_F(GroupActions, RefusalsSayWhy) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"open populations.txt\nLoadData\nProcrustesANOVA\n",
       "No model is set: choose Groups > Set Model first (in batch: SetModel \"shape ~ log(CS) * "
       "population\")."},
      {"open populations.txt\nLoadData\nCVA\n",
       "No factor is chosen: choose Groups > Set Factor first (in batch: SetFactor NAME)."},
      {start() + "SetFactor age\n",
       "The sample has no factor \"age\"; its factors are population."},
      {start() + "SetSSType III\n",
       "The sums of squares are I (sequential) or II (each term after the terms that do not "
       "contain it), as in SetSSType II."},
      {start() + "SetGroupOutline circles\n",
       "Groups are outlined by none, ellipses (95 % confidence of each mean) or hulls, as in "
       "SetGroupOutline ellipses."},
      {start() + "ShowGroupDifference coast hills\n",
       "\"hills\" is not a group of population (coast, inland)."},
      {start() + "call velmorasw ShowGroupDifference 1 coast\n",
       "Show Group Difference takes the names of two groups of population (coast, inland) as "
       "text, not the number 1."},
      {start() + "ShowGroupDifference coast coast\n",
       "Show Group Difference needs two different groups of population (coast, inland), not "
       "coast twice."},
      {start() + "SetModel \"shape ~ log(CS) * tribe\"\n",
       "The model term \"tribe\" names \"tribe\", which is neither a covariate nor a factor of "
       "the sample (known: CS, population, age)."},
  };
  for (const auto& [script, text] : cases) {
    ConsoleCapture cap;
    workspace().reset();
    EXPECT_EQ(run_text(script), kBatchRefused) << script;
    EXPECT_EQ(last_message(), text) << script;
  }
  // A refused SetModel keeps the model before it.
  EXPECT_EQ(workspace().session.choices().formula, "shape ~ log(CS) * population");
  ConsoleCapture cap;
  EXPECT_EQ(run_text(start() + "ShowGroupDifference coast inland coast\n"), kBatchMalformed);
  EXPECT_EQ(cap.errors(),
            "batch line 7: ShowGroupDifference takes at most 2 arguments; the line gives 3; "
            "nothing was run.\n");
}

// With a factor chosen, the regression and the distance plot are within
// groups and say so; the distance plot is coloured by group; the PCA runs
// on the size-corrected shapes when asked; CV1 is shown as a pair; and the
// Groups menu's ticks follow a fresh state.
TEST_F(GroupActions, FactorMakesTheRegressionWithinGroupsAndTheViewsFollow) {
  ConsoleCapture cap;
  ASSERT_EQ(run_text(start() + "UseLabelAsX\nDoRegression\nPlotPDistance\nSetPCAShapes corrected\n"
                               "SetSSType II\nShowPCA\nShowCV 1\nSetFactor none\nDoRegression\n"),
            kBatchOk)
      << cap.text() << cap.errors();
  std::vector<std::string> titles;
  for (const LogEntry& e : workspace().window.log.entries()) titles.push_back(e.title);
  EXPECT_EQ(titles, (std::vector<std::string>{
                        "Specimen table populations.csv",
                        "Regression of shape on age within groups of population",
                        "Regression of Procrustes Distance from reference on X within groups of "
                        "population",
                        "Principal components of size-corrected shapes (residuals of shape ~ "
                        "log(CS) * population)",
                        "Regression of shape on age"}));
  // The change along CV1 from the mean shape, in the deformation display.
  std::vector<std::string> names;
  for (gfx::Handle fig : g->figures())
    for (gfx::Handle ax : g->children(fig))
      for (gfx::Handle h : g->children(ax))
        if (g->type(h) == gfx::Type::Line && !g->get_text(h, "DisplayName").empty())
          names.push_back(g->get_text(h, "DisplayName"));
  EXPECT_NE(std::find(names.begin(), names.end(), "Displacement: CV1, 5"), names.end())
      << ::testing::PrintToString(names);
  EXPECT_EQ(g->get_text(g->find_tag("SSTypeII"), "Checked"), "on");
  EXPECT_EQ(g->get_text(g->find_tag("PCACorrectedCheck"), "Checked"), "on");
  // A fresh state: the ticks go back with it after the next action.
  workspace().reset();
  run("ClearData");
  EXPECT_EQ(g->get_text(g->find_tag("SSTypeI"), "Checked"), "on");
  EXPECT_EQ(g->get_text(g->find_tag("SSTypeII"), "Checked"), "off");
  EXPECT_EQ(g->get_text(g->find_tag("PCACorrectedCheck"), "Checked"), "off");

  // The distance plot: a colour a population.
  ASSERT_EQ(run_text(start() + "UseLabelAsX\nPlotPDistance\n"), kBatchOk) << cap.errors();
  std::vector<Value> colours;
  for (gfx::Handle h : g->children(g->find_tag("axes1")))
    if (g->type(h) == gfx::Type::Line && g->get_text(h, "LineStyle") == "none")
      colours.push_back(g->get(h, "Color"));
  EXPECT_EQ(colours, (std::vector<Value>{Value::row({0.902, 0.624, 0.0}),
                                         Value::row({0.337, 0.706, 0.914})}));
  const std::vector<std::pair<std::string, std::string>> cases = {
      {start() + "ShowCV 2\n", "The canonical variate \"2\" is not a whole number from 1 to 1."},
      {start() + "SetPCAShapes smooth\n",
       "The PCA analyses the raw shapes, the size-corrected ones, or a component of the "
       "symmetry analysis, as in SetPCAShapes corrected (raw, symmetric, asymmetric)."},
      {"open populations.txt\nLoadData\nSetPCAShapes corrected\n",
       "The size-corrected shapes are the residuals of the model: choose Groups > Set Model "
       "first (in batch: SetModel \"shape ~ log(CS)\")."},
      // A new sample forgets the model and the factor of the one before.
      {start() + "SetPCAShapes corrected\nopen populations.txt\nLoadData\nCVA\n",
       "No factor is chosen: choose Groups > Set Factor first (in batch: SetFactor NAME)."},
      {start() + "open populations.txt\nLoadData\nProcrustesANOVA\n",
       "No model is set: choose Groups > Set Model first (in batch: SetModel \"shape ~ log(CS) * "
       "population\")."},
  };
  for (const auto& [script, text] : cases) {
    workspace().reset();
    EXPECT_EQ(run_text(script), kBatchRefused) << script;
    EXPECT_EQ(last_message(), text) << script;
  }
  // So does Clear Data, and the PCA goes back to the raw shapes.
  workspace().reset();
  ASSERT_EQ(run_text(start() + "SetPCAShapes corrected\nClearData\n"), kBatchOk);
  EXPECT_TRUE(workspace().session.choices().formula.empty() &&
              workspace().session.choices().factor.empty());
  EXPECT_FALSE(workspace().session.choices().pca_corrected);
}

// Plots and legends say what they show: the distance plot its start and X,
// the regression's legend its X, the PCA of size-corrected shapes its title;
// and the window's second list of Show Group Difference leaves out the first
// group chosen.
TEST_F(GroupActions, TitlesAndLegendsSayWhatTheyShow) {
  auto label = [&](const char* which) {
    return g->get_text(g->get(g->find_tag("axes1"), which)(0), "String");
  };
  auto legend = [&] {
    std::string names;
    for (gfx::Handle ax : g->children(*workspace().window.figure3d))
      for (gfx::Handle h : g->children(ax))
        if (g->type(h) == gfx::Type::Line && !g->get_text(h, "DisplayName").empty())
          names += (names.empty() ? "" : "; ") + g->get_text(h, "DisplayName");
    return names;
  };
  const std::string skulls = "open skulls.txt\nLoadData\nopen age.txt\nLoadXList\n";
  const struct {
    std::string script;
    std::function<std::string()> shown;
    std::string want;
  } cases[] = {
      {skulls + "PlotPDistance\n", [&] { return label("Title"); },
       "Distance from the mean of the 3 specimens of smallest age"},
      {skulls + "LnDown\nPlotPDistance\n", [&] { return label("YLabel"); },
       "Squared Procrustes distance"},
      {skulls + "LnDown\nPlotPDistance\n", [&] { return label("XLabel"); }, "ln(age)"},
      {start() + "UseLabelAsX\nLnDown\nPlotPDistance\n", [&] { return label("Title"); },
       "Distance from the mean of the 3 specimens of smallest age within groups of "
       "population"},
      {skulls + "LnDown\nDoRegression\nShowRegression\n", legend,
       "Mean shape (reference); Displacement: change over the range of ln(age), ×3"},
      {start() + "SetPCAShapes corrected\nShowPCA\n", [&] { return label("Title"); },
       "Principal components of size-corrected shapes"},
      {start() + "UseLabelAsX\nPlotPDistance\nShowPCA\n", [&] { return label("Title"); },
       "Principal components of shape"},
  };
  for (const auto& c : cases) {
    ConsoleCapture cap;
    workspace().reset();
    ASSERT_EQ(run_text(c.script), kBatchOk) << c.script << cap.errors();
    EXPECT_EQ(c.shown(), c.want) << c.script;
  }
  ASSERT_EQ(run_text(start() + "choose inland\nchoose coast\nShowGroupDifference\n"), kBatchOk);
  EXPECT_EQ(hb->dialogs().back().items, std::vector<std::string>{"coast"});
}

// A recorded session replays to the same reports, and the size-corrected
// shapes load back as landmarks of the same specimens.
TEST_F(GroupActions, SessionReplaysAndResidualsLoadBack) {
  const std::string shapes = temp("corrected.txt"), script = temp("session.velmora");
  ConsoleCapture cap;
  ASSERT_EQ(run_text(start() +
                     "UseLabelAsX\nSetSSType II\nProcrustesANOVA\nPairwiseGroups\n"
                     "ShowGroupDifference inland coast\nsave " +
                     shapes + "\nSaveResiduals\nsave " + script + "\nSaveSessionScript\n"),
            kBatchOk)
      << cap.text();
  const std::vector<std::string> recorded = log_reports();
  const std::string saved = read_bytes(script);
  EXPECT_NE(saved.find("SetModel \"shape ~ log(CS) * population\"\n"), std::string::npos) << saved;
  EXPECT_NE(saved.find("SetSSType II\n"), std::string::npos) << saved;
  EXPECT_NE(saved.find("ShowGroupDifference inland coast\n"), std::string::npos) << saved;
  EXPECT_NE(recorded[1].find("Type II sums of squares"), std::string::npos) << recorded[1];
  workspace().reset();
  ASSERT_EQ(run_batch_file(script), kBatchOk) << cap.errors();
  EXPECT_EQ(log_reports(), recorded);
  // The table's one column of numbers was X, with no list to choose from.
  EXPECT_EQ(saved.find("\nchoose "), std::string::npos) << saved;
  EXPECT_EQ(var("XVariable")(0), 16.8);
  EXPECT_EQ(var("XVariable")(3), 17.2);
  EXPECT_EQ(workspace().session.x()->source_text, "column \"age\" of populations.csv");

  // n rows of 3k + 1 numbers: the shapes, then each specimen's centroid size.
  workspace().reset();
  ASSERT_EQ(run_text("open " + shapes + "\nLoadData\n"), kBatchOk) << cap.text();
  const Value data = var("DATA");
  EXPECT_EQ(data.rows(), 80u);
  EXPECT_EQ(data.cols(), 37u);
}

// Save Table writes the last table as CSV: the example's ANOVA with the
// printed header and every printed cell, NA where the table prints NA; with
// full precision turned on afterwards a number reads back to the analysis'
// double; with no table reported yet it refuses and writes nothing.
TEST_F(GroupActions, SaveTableWritesThePrintedCells) {
  const std::string six = temp("anova.csv"), full = temp("anova-full.csv");
  ConsoleCapture cap;
  ASSERT_EQ(
      run_text("SetSuperimposition optimal\n" + start() + "SetSSType I\nProcrustesANOVA\nsave " +
               six + "\nSaveTable\nSetFullPrecision on\nsave " + full + "\nSaveTable\n"),
      kBatchOk)
      << cap.errors();
  auto split = [](const std::string& text, bool csv) {
    std::vector<std::vector<std::string>> rows;
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);) {
      std::vector<std::string> cells;
      std::istringstream in(line);
      for (std::string c; csv ? bool(std::getline(in, c, ',')) : bool(in >> c);) cells.push_back(c);
      rows.push_back(cells);
    }
    return rows;
  };
  const std::string report = workspace().window.log.entries().back().text;
  const std::size_t from = report.find("TERM"), to = report.find('\n', report.find("\nTotal") + 1);
  ASSERT_NE(to, std::string::npos) << report;
  const auto printed = split(report.substr(from, to - from), false);
  const std::string saved = read_bytes(six);
  const auto cells = split(saved, true);
  EXPECT_EQ(saved.substr(0, saved.find('\n')), "TERM,Df,SS,MS,Rsq,F,Z,Pr(>F)");
  ASSERT_EQ(cells.size(), 6u) << saved;  // three terms, the residuals and the total
  EXPECT_EQ(cells, printed) << saved;
  EXPECT_EQ(cells[4], (std::vector<std::string>{"Residuals", "76", cells[4][2], cells[4][3],
                                                cells[4][4], "NA", "NA", "NA"}));
  EXPECT_EQ(cells[5][3], "NA");
  // The sums of squares need no permutation: one gives the same.
  analysis::AnovaParams params;
  params.formula = "shape ~ log(CS) * population";
  params.permutations = 1;
  const analysis::AnovaReport again = workspace().session.procrustes_anova(params);
  const double ss = again.anova.terms[0].ss;
  EXPECT_EQ(std::strtod(split(read_bytes(full), true)[1][2].c_str(), nullptr), ss);
  EXPECT_NE(std::strtod(cells[1][2].c_str(), nullptr), ss);
  EXPECT_EQ(cells[1][2], message_number(ss));

  workspace().reset();
  EXPECT_EQ(run_text(start() + "SaveTable\n"), kBatchRefused);
  EXPECT_EQ(last_message(),
            "No table has been reported yet: Save Table writes the table of the last Procrustes "
            "ANOVA, Pairwise Group Comparisons or Canonical Variates.");
}

// With two groups the canonical variate plot is a histogram of CV1 a group:
// one series of bars in each group's colour holding all its specimens,
// counts on the vertical axis and no points plotted against group numbers.
TEST_F(GroupActions, TwoGroupCanonicalVariateIsAHistogramAGroup) {
  ConsoleCapture cap;
  ASSERT_EQ(run_text(start() + "CVA\n"), kBatchOk) << cap.errors();
  const gfx::Handle ax = g->find_tag("axes1");
  std::vector<Value> colours;
  for (gfx::Handle h : g->children(ax)) {
    if (g->type(h) != gfx::Type::Line) continue;
    EXPECT_EQ(g->get_text(h, "Marker"), "none");
    const Value y = g->get(h, "YData");
    if (g->get_text(h, "LineStyle") != "-" || g->get(h, "Color") == Value::row({0.0, 0.0, 0.0}))
      continue;
    colours.push_back(g->get(h, "Color"));
    double twice = 0;  // each bar's count is the height of its two top corners
    for (std::size_t i = 0; i < y.numel(); ++i) {
      EXPECT_EQ(y(i), std::floor(y(i)));
      twice += y(i);
    }
    EXPECT_EQ(twice, 80.0);
  }
  EXPECT_EQ(colours, (std::vector<Value>{Value::row({0.902, 0.624, 0.0}),
                                         Value::row({0.337, 0.706, 0.914})}));
  // The plot's legend names each group's bars, with no text over the data.
  std::vector<std::string> legend;
  for (const render::LegendEntry& e : gfx::axes_scene(*g, ax).legend) legend.push_back(e.label);
  EXPECT_EQ(legend, (std::vector<std::string>{"coast (40)", "inland (40)"}));
  for (gfx::Handle h : g->children(ax))
    EXPECT_FALSE(g->type(h) == gfx::Type::Text && g->get_text(h, "FontWeight") == "bold");
  EXPECT_EQ(g->get_text(g->get(ax, "XLabel")(0), "String"), "CV1");
  EXPECT_EQ(g->get_text(g->get(ax, "YLabel")(0), "String"), "Count");
}

// Set Model takes a typed formula as well as a preset, checked by the
// session against the sample: the models set come first the next time,
// and the session script records what was typed as the action's argument.
TEST_F(GroupActions, ATypedModelIsCheckedKeptOfferedAgainAndRecorded) {
  ASSERT_EQ(run_text("open populations.txt\nLoadData\nopen populations.csv\nLoadSpecimenTable\n"),
            kBatchOk);
  workspace().recorder.start_recording(workspace().session.method());
  g->queue_item_answer("shape ~ age + population");
  ASSERT_EQ(run("SetModel").outcome, Outcome::Done) << workspace().last_action.message;
  EXPECT_EQ(workspace().session.choices().formula, "shape ~ age + population");
  EXPECT_NE(workspace().recorder.script().find("SetModel \"shape ~ age + population\"\n"),
            std::string::npos)
      << workspace().recorder.script();
  g->queue_item_answer("shape ~ species");
  EXPECT_EQ(run("SetModel").message,
            "The model term \"species\" names \"species\", which is neither a covariate nor a "
            "factor of the sample (known: CS, population, age).");
  EXPECT_EQ(workspace().session.choices().formula, "shape ~ age + population");
  // Through the window's own list: the model set before is offered first.
  hb->queue_choice("shape ~ log(CS) + population");
  ASSERT_EQ(run("SetModel").outcome, Outcome::Done);
  EXPECT_EQ(hb->dialogs().back().items.front(), "shape ~ age + population");
  EXPECT_EQ(workspace().window.recent_models,
            (std::vector<std::string>{"shape ~ log(CS) + population", "shape ~ age + population"}));
}

}  // namespace
}  // namespace velmora::app
