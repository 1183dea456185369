#include <Eigen/Geometry>
#include <Eigen/LU>
#include <Eigen/QR>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <sstream>

#include "app/workspace.hpp"
#include "app_fixture.hpp"
#include "report/analysis_text.hpp"
#include "report/report_text.hpp"
#include "shape/decompositions.hpp"
#include "shape/tangent_coordinates.hpp"
#include "stats/regression.hpp"
#include "tps/deformation.hpp"
#include "tps/scores.hpp"
#include "view/display_style.hpp"

namespace velmora::app {
namespace {

std::string read_file(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

TEST_F(AppTest, ScaleChoiceSetsButtonsAndVariable) {
  run("LnDown");
  EXPECT_EQ(var("linregress").to_scalar(), 0);
  EXPECT_EQ(g->get_text(g->find_tag("RegressLnXCheck"), "Checked"), "on");
  EXPECT_EQ(g->get_text(g->find_tag("RegressXCheck"), "Checked"), "off");
  run("LinearDown");
  EXPECT_EQ(g->get_text(g->find_tag("RegressXCheck"), "Checked"), "on");
  EXPECT_EQ(g->get_number(g->find_tag("LinearButton"), "Value"), 1);
  EXPECT_EQ(g->get_number(g->find_tag("LnButton"), "Value"), 0);
  EXPECT_EQ(var("linregress").to_scalar(), 1);
}

TEST_F(AppTest, RegressionGivesOneSlopePerScoreColumn) {
  load_examples();
  ConsoleCapture cap;
  ASSERT_EQ(run("DoRegression").outcome, Outcome::Done) << workspace().last_action.message;
  EXPECT_NE(cap.text().find("ans =\n   80\n"), std::string::npos);
  const Value& gv = var("gvector");
  EXPECT_EQ(gv.dims(), (std::array<std::size_t, 3>{1, 29, 1}));
  Eigen::VectorXd x = var("XVariable").to_vector();
  double range = x.maxCoeff() - x.minCoeff();
  for (std::size_t i = 0; i < gv.numel(); ++i)
    EXPECT_NEAR(var("delta")(i), range * gv(i), 1e-15 * std::fabs(range * gv(i)) + 1e-300);
  // Every column, the last uniform score included, against a least-squares
  // fit of all columns at once on [1 x] by QR.
  Eigen::MatrixXd scores = var("pwscores").to_matrix();
  Eigen::MatrixXd design(x.size(), 2);
  design << Eigen::VectorXd::Ones(x.size()), x;
  Eigen::MatrixXd coef = design.colPivHouseholderQr().solve(scores);
  for (Eigen::Index i = 0; i < scores.cols(); ++i)
    EXPECT_NEAR(gv(i), coef(1, i), 1e-10 * coef.row(1).cwiseAbs().maxCoeff()) << i;
  EXPECT_EQ(g->get_text(g->find_tag("RotX"), "Enable"), "off");
  // The deformation drawn includes the last score's change: the target is
  // the reference deformed by three times all of delta (drawn alone).
  ASSERT_EQ(type_into("DeFormat", Value(4.0)).outcome, Outcome::Done);
  ASSERT_EQ(run("ShowRegression").outcome, Outcome::Done) << workspace().last_action.message;
  Eigen::VectorXd drawn;
  for (gfx::Handle h : g->children(g->current_axes()))
    if (g->get_text(h, "Tag") == role::kTarget) drawn = g->get(h, "XData").to_vector();
  const auto fit = workspace().session.superimposition();
  Eigen::MatrixXd delta = 3 * var("delta").to_matrix();
  const auto target_x = [&] {
    return Eigen::VectorXd(
        tps::deformations_from_scores(*fit->basis(), fit->reference(), delta).slice(0).col(0));
  };
  ASSERT_EQ(drawn.size(), 12);
  EXPECT_EQ(drawn, target_x());
  delta(28) = 0;
  EXPECT_NE(drawn, target_x());
}

// The scores are computed once for a reference and sample and kept through
// DoRegression; every change of either (turning the reference, another
// superimposition, a new sample) gives scores equal to a fresh computation.
TEST_F(AppTest, ScoresAreKeptUntilTheReferenceOrTheSampleChanges) {
  load_examples();
  const analysis::Session& a = workspace().session;
  auto fresh = [&] {
    const auto fit = a.superimposition();
    return tps::partial_warp_scores(fit->reference(), fit->fitted());
  };
  const std::shared_ptr<const Eigen::MatrixXd> loaded = a.scores();
  ASSERT_TRUE(loaded);
  EXPECT_EQ(*loaded, fresh());
  ASSERT_EQ(run("DoRegression").outcome, Outcome::Done) << workspace().last_action.message;
  EXPECT_EQ(a.scores().get(), loaded.get());  // not computed again

  struct Change {
    const char* action;
    Value argument;
  };
  const Change changes[] = {{"RotateRefX", Value()},
                            {"RotateRefZ", Value()},
                            {"SetSuperimposition", Value("classic")},
                            {"SetSuperimposition", Value("optimal")}};
  std::shared_ptr<const Eigen::MatrixXd> before = a.scores();
  for (const Change& c : changes) {
    ASSERT_EQ(run(c.action, c.argument).outcome, Outcome::Done) << c.action;
    hb->queue_path(example("age.txt"));
    ASSERT_EQ(run("LoadXList").outcome, Outcome::Done) << workspace().last_action.message;
    ASSERT_EQ(run("DoRegression").outcome, Outcome::Done) << workspace().last_action.message;
    EXPECT_EQ(*a.scores(), fresh()) << c.action;
    EXPECT_NE(*a.scores(), *before) << c.action;
    before = a.scores();
  }
  // A reference turned after the scores were taken: the scores and the
  // regression of the old orientation are no longer among the results,
  // until DoRegression takes them again.
  run("RotateRefX");
  EXPECT_FALSE(a.scores() || a.regression());
  EXPECT_TRUE(var("pwscores").empty());
  ASSERT_EQ(run("DoRegression").outcome, Outcome::Done) << workspace().last_action.message;
  EXPECT_EQ(*a.scores(), fresh());
  EXPECT_NE(*a.scores(), *before);

  // A new sample, and a cleared one, start without scores.
  load_examples(false);
  EXPECT_FALSE(a.scores());
  hb->queue_path(example("age.txt"));
  ASSERT_EQ(run("LoadXList").outcome, Outcome::Done) << workspace().last_action.message;
  EXPECT_EQ(*a.scores(), fresh());
  run("ClearData");
  EXPECT_FALSE(a.scores() || a.has_sample());
}

TEST_F(AppTest, RegressionRefusesBadRegressors) {
  load_examples();
  Eigen::VectorXd with_zero = workspace().session.x()->values;
  with_zero(3) = 0;
  set_x({with_zero.begin(), with_zero.end()});
  run("LnDown");
  ActionReport r = run("DoRegression");
  EXPECT_EQ(r.outcome, Outcome::Refused);
  EXPECT_NE(r.message.find("specimen 4 has X = 0"), std::string::npos) << r.message;
  EXPECT_EQ(g->get_text(g->find_tag("RotX"), "Enable"), "off");  // from LoadXList
  run("LinearDown");
  set_x(std::vector<double>(80, 2.0));
  EXPECT_NE(run("DoRegression").message.find("All X values are equal (2)"), std::string::npos);

  // X equal up to rounding is refused by every action that regresses, on
  // both scales, and leaves no result or message window behind.
  const std::string equal =
      "All X values are equal (5), so the regression slope is undefined. Load an independent "
      "variable that varies.";
  std::vector<double> nearly(80, 5.0);
  nearly[7] = 5 * (1 + 1e-14);
  for (const char* scale : {"LinearDown", "LnDown"}) {
    run(scale);
    set_x(nearly);
    for (const char* action : {"DoRegression", "PlotPDistance", "GetWilks"}) {
      const std::size_t windows = hb->messages().size();
      r = run(action);
      EXPECT_EQ(r.outcome, Outcome::Refused) << scale << " " << action;
      EXPECT_EQ(r.message, equal) << scale << " " << action;
      EXPECT_EQ(hb->messages().size(), windows + 1);
    }
  }
  // ln 1 = 0 for all: a range of zero at magnitude zero.
  set_x(std::vector<double>(80, 1.0));
  EXPECT_EQ(run("GetWilks").message,
            "All X values are equal (1), so the regression slope is undefined. Load an "
            "independent variable that varies.");
  EXPECT_TRUE(var("gvector").empty());
}

TEST_F(AppTest, ProcrustesDistanceTestReportsInAMessageWindow) {
  load_examples();
  ConsoleCapture cap;
  ASSERT_EQ(run("PlotPDistance").outcome, Outcome::Done) << workspace().last_action.message;
  ASSERT_FALSE(hb->messages().empty());
  const auto& m = hb->messages().back();
  EXPECT_TRUE(m.window);
  EXPECT_EQ(m.title, "Regression of Procrustes Distance from reference on X");
  EXPECT_EQ(m.text.rfind("Regression Slope: ", 0), 0u) << m.text;
  EXPECT_NE(m.text.find("  Correlation Coefficient "), std::string::npos);
  EXPECT_NE(m.text.find("  p score = "), std::string::npos);
  // 80 points on the main window's axes, labelled.
  gfx::Handle ax = g->find_tag("axes1");
  Value kids = g->get(ax, "Children");
  ASSERT_EQ(kids.numel(), 2u);
  Value xs = g->get(kids(1), "XData"), ys = g->get(kids(1), "YData");
  EXPECT_EQ(xs.numel(), 80u);
  EXPECT_EQ(g->get_text(g->get(ax, "YLabel")(0), "String"), "Squared Procrustes distance");
  // The fitted line spans the points' X range along the least-squares line.
  Value line_x = g->get(kids(0), "XData"), line_y = g->get(kids(0), "YData");
  Eigen::VectorXd px = Eigen::Map<const Eigen::VectorXd>(xs.data().data(), 80);
  Eigen::VectorXd py = Eigen::Map<const Eigen::VectorXd>(ys.data().data(), 80);
  stats::RegressionStats fit = stats::regression_stats(px, py);
  EXPECT_EQ(line_x, Value::row({px.minCoeff(), px.maxCoeff()}));
  EXPECT_NEAR(line_y(0), fit.intercept + fit.slope * px.minCoeff(), 1e-15);
  EXPECT_NEAR(line_y(1), fit.intercept + fit.slope * px.maxCoeff(), 1e-15);
  // Squared distances of unit-size shapes.
  EXPECT_LT(py.maxCoeff(), 4);
  run("LnDown");
  ASSERT_EQ(run("PlotPDistance").outcome, Outcome::Done);
  EXPECT_EQ(hb->messages().back().title,
            "Regression of Procrustes Distance from reference on Ln(X)");
  // The x axis says what X is: the X file's name, on the log scale too.
  EXPECT_EQ(g->get_text(g->get(ax, "XLabel")(0), "String"), "ln(age)");
  run("UseCS");
  ASSERT_EQ(run("PlotPDistance").outcome, Outcome::Done);
  EXPECT_EQ(g->get_text(g->get(ax, "XLabel")(0), "String"), "ln(Centroid size)");
  run("LinearDown");
  ASSERT_EQ(run("PlotPDistance").outcome, Outcome::Done);
  EXPECT_EQ(g->get_text(g->get(ax, "XLabel")(0), "String"), "Centroid size");
  EXPECT_EQ(analysis::x_axis_label("", false), "X");
  EXPECT_EQ(analysis::x_axis_label("", true), "ln X");
}

// The title names the regressor as the distance plot's axis does; centroid
// size as CS or LCS, as the check box chooses.  The log keeps the printed
// text but names 1 − Λ for what it is.
TEST_F(AppTest, WilksTitleNamesTheRegressorAndTheLogNamesOneMinusLambda) {
  load_examples();
  const std::string head = "Multivariate regression of shape on ";
  struct Case {
    const char* scale;
    const char* x;  // "UseCS" or an X file
    double cs_box;
    const char* regressor;
  };
  for (const Case& c :
       {Case{"LinearDown", "age.txt", 0, "age"}, Case{"LnDown", "age.txt", 1, "ln(age)"},
        Case{"LinearDown", "UseCS", 1, "CS"}, Case{"LnDown", "UseCS", 0, "LCS"}}) {
    if (std::string(c.x) == "UseCS") {
      ASSERT_EQ(run("UseCS").outcome, Outcome::Done);
    } else {
      hb->queue_path(example(c.x));
      ASSERT_EQ(run("LoadXList").outcome, Outcome::Done);
    }
    run(c.scale);
    type_into("CSBox", Value(c.cs_box));
    ASSERT_EQ(run("GetWilks").outcome, Outcome::Done) << workspace().last_action.message;
    EXPECT_EQ(hb->messages().back().title, head + c.regressor + " (Wilks' lambda)");
    const std::string shown = hb->messages().back().text;
    EXPECT_EQ(shown.rfind("Wilks Lambda= ", 0), 0u);
    const std::size_t share = shown.find("  1 − Λ: ");
    ASSERT_NE(share, std::string::npos) << shown;
    const LogEntry& logged = workspace().window.log.entries().back();
    EXPECT_EQ(logged.title, hb->messages().back().title);
    std::string want = shown;
    want.replace(share + 2, std::string("1 − Λ").size(),
                 "1 − Λ (not a share of Procrustes variance)");
    EXPECT_EQ(logged.text, want);
  }
}

// With full-precision files the log also carries every number exactly; the
// printed report keeps its digits.
TEST_F(AppTest, FullPrecisionLogEntriesCarryEveryNumberExactly) {
  load_examples();
  ASSERT_EQ(run("GetWilks").outcome, Outcome::Done);
  const std::string six = workspace().window.log.entries().back().text;
  EXPECT_EQ(six.find("Full precision"), std::string::npos);
  ASSERT_EQ(run("SetFullPrecision", Value("on")).outcome, Outcome::Done);
  ASSERT_EQ(run("GetWilks").outcome, Outcome::Done);
  const std::string text = workspace().window.log.entries().back().text;
  ASSERT_EQ(text.substr(0, six.size() + 1), six + "\n");
  EXPECT_EQ(hb->messages().back().text.find("Full precision"), std::string::npos);
  // Λ recomputed from the scores: det of the residual over the total
  // sums of squares and products.
  const Eigen::MatrixXd y = var("pwscores").to_matrix();
  const Eigen::VectorXd x = var("XVariable").to_vector();
  Eigen::MatrixXd d(y.rows(), 2);
  d << Eigen::VectorXd::Ones(y.rows()), x;
  const Eigen::MatrixXd res = y - d * d.colPivHouseholderQr().solve(y);
  const Eigen::MatrixXd yc = y.rowwise() - y.colwise().mean();
  const double lambda = (res.transpose() * res).determinant() / (yc.transpose() * yc).determinant();
  const std::string line = text.substr(six.size() + 1);
  const std::string lead = "Full precision: Wilks Lambda = ";
  ASSERT_EQ(line.rfind(lead, 0), 0u) << line;
  const std::size_t end = line.find(';');
  const std::string written = line.substr(lead.size(), end - lead.size());
  EXPECT_NEAR(std::stod(written), lambda, 1e-9 * lambda);
  EXPECT_GT(written.size(), 8u);  // more digits than the message's four
  EXPECT_NE(line.find("; 1 − Λ (not a share of Procrustes variance) = "), std::string::npos);
  EXPECT_NE(line.find("; df1 = 29; df2 = 50; p value = "), std::string::npos) << line;
  // Shortest round-trip form: the text reads back to a double that prints
  // the same way.
  char buf[32];
  std::snprintf(buf, sizeof buf, "%.17g", std::stod(written));
  EXPECT_EQ(std::stod(buf), std::stod(written));
  EXPECT_EQ(report::full_precision_line({{"a", 0.1}, {"b", 1e-300}, {"c", 2}}),
            "Full precision: a = 0.1; b = 1e-300; c = 2");
}

TEST_F(AppTest, WilksWithTooFewSpecimensSaysSo) {
  std::string rows;
  for (int i = 0; i < 8; ++i) {
    for (int j = 0; j < 6; ++j)
      rows += std::to_string(std::cos(j * 1.1) + 0.01 * i * j) + " " +
              std::to_string(std::sin(j * 0.9) * (1 + 0.02 * i)) + " " +
              std::to_string(0.2 * j * j + 0.03 * ((i + j) % 3)) + " ";
    rows += "1\n";
  }
  hb->queue_path(write("small.txt", rows));
  ASSERT_EQ(run("LoadData").outcome, Outcome::Done) << workspace().last_action.message;
  hb->queue_path(write("x.txt", "1\n2\n3\n4\n5\n6\n7\n8\n"));
  ASSERT_EQ(run("LoadXList").outcome, Outcome::Done) << workspace().last_action.message;
  ActionReport r = run("GetWilks");
  EXPECT_EQ(r.outcome, Outcome::Refused);
  EXPECT_EQ(r.message,
            "The multivariate test cannot be computed: this sample has 8 specimens; the test of "
            "11 score columns needs at least 13. Load a larger sample or use fewer landmarks.");
}

TEST_F(AppTest, DeformationDisplayTypesAndExaggeration) {
  load_examples(true, true);
  ASSERT_EQ(run("DoRegression").outcome, Outcome::Done);
  auto children = [&] { return g->get(g->current_axes(), "Children").numel(); };
  struct Case {
    double type;
    std::size_t lines;
  };
  // A wireframe is one line; displacement vectors carry one more line:
  // their arrowheads, which lollipops leave off.  A pair of symbols has no
  // wireframe; with wireframes both shapes carry one.
  for (Case c : {Case{1, 1 + 1}, Case{2, 1 + 1 + 1 + 1}, Case{3, 1 + 1 + 12 + 1},
                 Case{5, 1 + 1 + 12}, Case{4, 1 + 1}}) {
    type_into("DeFormat", Value(c.type));
    ASSERT_EQ(run("ShowRegression").outcome, Outcome::Done) << workspace().last_action.message;
    EXPECT_EQ(children(), c.lines) << c.type;
  }
  // The transformation grid: 17 lines across the first principal axis and
  // one a cell along the second, under the target and its wireframe.
  type_into("DeFormat", Value(6.0));
  ASSERT_EQ(run("ShowRegression").outcome, Outcome::Done) << workspace().last_action.message;
  Value kids = g->get(g->current_axes(), "Children");
  std::size_t grid = 0;
  for (std::size_t i = 0; i < kids.numel(); ++i) grid += g->get_text(kids(i), "Tag") == "Grid";
  EXPECT_GE(grid, 17u + 3);
  EXPECT_EQ(kids.numel(), grid + 2);
  EXPECT_EQ(g->get_text(kids(kids.numel() - 1), "Tag"), "Grid");  // drawn first, under the rest
  type_into("DeFormat", Value(4.0));
  ASSERT_EQ(run("ShowRegression").outcome, Outcome::Done);
  // Dash-dot target wires when DotCheck is on; solid otherwise, and in the
  // target's own colour either way.
  kids = g->get(g->current_axes(), "Children");
  EXPECT_EQ(g->get(kids(0), "Color"), Value::row({1, 0, 0}));
  EXPECT_EQ(g->get_text(kids(0), "LineStyle"), "-");
  run("ToggleDots");
  run("ShowRegression");
  kids = g->get(g->current_axes(), "Children");
  EXPECT_EQ(g->get_text(kids(0), "LineStyle"), "-.");
  EXPECT_EQ(g->get(kids(0), "Color"), Value::row({1, 0, 0}));
  // A zero factor draws the target on the reference: zero-length vectors.
  type_into("DeFormat", Value(3.0));
  type_into("ExagerationBox", Value("0"));
  run("ShowRegression");
  kids = g->get(g->current_axes(), "Children");
  Value seg = g->get(kids(1), "XData");  // the newest vector, under the heads
  EXPECT_EQ(g->get_text(kids(1), "Tag"), "Vector");
  EXPECT_NEAR(seg(0), seg(1), 1e-12);
  // A bad factor is refused as it is typed; the box shows the factor in use.
  ActionReport r = type_into("ExagerationBox", Value("three"));
  EXPECT_EQ(r.outcome, Outcome::Refused);
  EXPECT_EQ(r.message,
            "The exaggeration factor \"three\" is not a number. Type a number such as 3.");
  EXPECT_EQ(last_message(), r.message);
  EXPECT_EQ(text_of("ExagerationBox"), "0");
  EXPECT_EQ(workspace().window.inputs.exaggeration, 0);
  EXPECT_EQ(children(), 1u + 1 + 12 + 1);  // nothing redrawn
  // The factor is bounded where it is typed: ±1e6 is taken, more is not.
  for (const char* big : {"1e308", "-1000000.5", "inf"}) {
    r = type_into("ExagerationBox", Value(big));
    EXPECT_EQ(r.outcome, Outcome::Refused) << big;
    EXPECT_EQ(workspace().window.inputs.exaggeration, 0) << big;
  }
  EXPECT_EQ(type_into("ExagerationBox", Value("1e308")).message,
            "The exaggeration factor \"1e308\" is too large: type a number from -1000000 to "
            "1000000 (1e6).");
  ASSERT_EQ(type_into("ExagerationBox", Value("-1e6")).outcome, Outcome::Done);
  EXPECT_EQ(run("ShowRegression").outcome, Outcome::Done) << workspace().last_action.message;
}

TEST_F(AppTest, ResultFilesAreWrittenWithTheirLayout) {
  load_examples();
  ASSERT_EQ(run("DoRegression").outcome, Outcome::Done);
  hb->queue_path(temp("scores.txt"));
  ASSERT_EQ(run("SaveWarp").outcome, Outcome::Done) << workspace().last_action.message;
  EXPECT_EQ(hb->dialogs().back().title, "File Name for Partial Warp Scores");
  std::string scores = read_file(temp("scores.txt"));
  EXPECT_EQ(std::count(scores.begin(), scores.end(), '\n'), 80);
  hb->queue_path(temp("ref.txt"));
  ASSERT_EQ(run("SaveRef").outcome, Outcome::Done);
  std::string ref = read_file(temp("ref.txt"));
  EXPECT_EQ(ref.substr(ref.size() - 6), " 1  \n ");
  std::istringstream nums(ref);
  double v;
  int count = 0;
  while (nums >> v) ++count;
  EXPECT_EQ(count, 37);
  hb->queue_path(temp("vector.txt"));
  ASSERT_EQ(run("SaveVector").outcome, Outcome::Done);
  std::istringstream vec(read_file(temp("vector.txt")));
  count = 0;
  while (vec >> v) ++count;
  EXPECT_EQ(count, 29);
  // A folder that does not exist: a message naming the path, nothing written.
  hb->queue_path(temp("missing/vector.txt"));
  ActionReport r = run("SaveVector");
  EXPECT_EQ(r.outcome, Outcome::Refused);
  EXPECT_NE(r.message.find(temp("missing/vector.txt")), std::string::npos) << r.message;
}

}  // namespace
}  // namespace velmora::app

namespace velmora::app {
namespace {

TEST_F(AppTest, PermutationTestAndShapePcaOnTheExample) {
  load_examples();
  type_into("PermBox", Value("99"));
  type_into("SeedBox", Value("7"));
  ASSERT_EQ(run("PermutationTest").outcome, Outcome::Done) << workspace().last_action.message;
  const std::string text = last_message();
  // R² recomputed from the tangent coordinates: the share of their total
  // sum of squares that the straight line on X explains.
  const auto fit = workspace().session.superimposition();
  const Eigen::MatrixXd t = shape::tangent_coordinates(fit->reference(), fit->fitted());
  const Eigen::MatrixXd yc = t.rowwise() - t.colwise().mean();
  const Eigen::VectorXd& x = workspace().session.x()->values;
  const Eigen::VectorXd xc = x.array() - x.mean();
  const double r2 = (yc.transpose() * xc).squaredNorm() / xc.squaredNorm() / yc.squaredNorm();
  char want[64];
  std::snprintf(want, sizeof want, "R-squared= %1.4f   F score= %2.4f", r2,
                r2 / ((1 - r2) / (80 - 2)));
  EXPECT_EQ(text.rfind(want, 0), 0u) << text;
  EXPECT_NE(text.find("Permutations: 99 ,  seed: 7 ,  p value=0.01"), std::string::npos) << text;
  EXPECT_EQ(hb->messages().back().title, "Permutation Test of Shape on X");
  ASSERT_EQ(run("PermutationTest").outcome, Outcome::Done);
  EXPECT_EQ(last_message(), text);  // the same seed repeats the test exactly
  EXPECT_EQ(type_into("PermBox", Value("many")).message,
            "The number of permutations \"many\" is not a whole number from 1 to 10000000.");

  ConsoleCapture cap;
  ASSERT_EQ(run("ShowPCA").outcome, Outcome::Done) << workspace().last_action.message;
  const gfx::Handle ax = g->find_tag("axes1");
  const std::string xlabel = g->get_text(g->get(ax, "XLabel")(0), "String");
  EXPECT_EQ(xlabel.rfind("PC1 (", 0), 0u);
  EXPECT_NE(cap.text().find("PC1  " + xlabel.substr(5, xlabel.size() - 6)), std::string::npos)
      << cap.text();
  EXPECT_EQ(
      type_into("PCBox", Value("99"))
          .message.rfind("The principal component \"99\" is not a whole number from 1 to ", 0),
      0u);
  hb->queue_path(temp("pca.txt"));
  ASSERT_EQ(run("SavePCA").outcome, Outcome::Done) << workspace().last_action.message;
  std::ifstream in(temp("pca.txt"));
  std::string line;
  int lines = 0;
  while (std::getline(in, line))
    if (line.find_first_not_of(' ') != std::string::npos) ++lines;
  EXPECT_EQ(lines, 81);  // 80 specimens, then the variances
}

}  // namespace
}  // namespace velmora::app

namespace velmora::app {
namespace {

// Exact copies of one shape, and copies turned, scaled and moved, leave
// nothing but rounding noise after the superimposition: every shape
// statistic refuses with the one message, in both superimposition modes.
TEST_F(AppTest, CopiesOfOneShapeAreRefusedByEveryShapeStatistic) {
  Eigen::Matrix<double, 6, 3> base;
  base << 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0, 1, 1, 1, 1, 0.5, 0.2, 0.9;
  std::string exact, posed;
  for (int i = 0; i < 12; ++i) {
    const Eigen::Matrix3d turn =
        Eigen::AngleAxisd(0.3 * i, Eigen::Vector3d(1, 2, 0.5 * i).normalized()).toRotationMatrix();
    const Eigen::Matrix<double, 6, 3> moved =
        ((0.5 + 0.3 * i) * base * turn).rowwise() + Eigen::RowVector3d(i, -2.0 * i, 7);
    char buf[40];
    for (int j = 0; j < 18; ++j) {
      std::snprintf(buf, sizeof buf, "%.17g ", base(j / 3, j % 3));
      exact += buf;
      std::snprintf(buf, sizeof buf, "%.17g ", moved(j / 3, j % 3));
      posed += buf;
    }
    exact += "1\n";
    posed += "1\n";
  }
  const std::string x = write("x.txt", "1\n2\n3\n4\n5\n6\n7\n8\n9\n10\n11\n12\n");
  for (const char* mode : {"classic", "optimal"}) {
    run("SetSuperimposition", Value(mode));
    for (const std::string& rows : {exact, posed}) {
      hb->queue_path(write("same.txt", rows));
      ASSERT_EQ(run("LoadData").outcome, Outcome::Done) << workspace().last_action.message;
      hb->queue_path(x);
      ASSERT_EQ(run("LoadXList").outcome, Outcome::Done) << workspace().last_action.message;
      for (const char* action :
           {"PlotPDistance", "GetWilks", "PermutationTest", "ShowPCA", "SavePCA", "DoRegression"}) {
        const std::size_t boxes = hb->messages().size();
        const ActionReport r = run(action);
        EXPECT_EQ(r.outcome, Outcome::Refused) << action;
        EXPECT_EQ(r.message,
                  "All specimens have the same shape after superimposition: there is no shape "
                  "variation to analyse.")
            << mode << " " << action;
        EXPECT_EQ(hb->messages().size(), boxes + 1) << action;
      }
      EXPECT_TRUE(var("gvector").empty());
    }
  }
}

// Three landmarks: X loads and the tests that need no spline run; those that
// need it say why they cannot.
TEST_F(AppTest, ThreeLandmarksTakeXAndOnlyTheSplineAnalysesRefuse) {
  std::string rows;
  for (int i = 0; i < 8; ++i) {
    char buf[120];
    std::snprintf(buf, sizeof buf, "0 0 0 %g 0 0 %g %g 0.1 1\n", 1 + 0.05 * i, 0.3 * (i % 3),
                  1 - 0.02 * i * i);
    rows += buf;
  }
  hb->queue_path(write("three.txt", rows));
  ASSERT_EQ(run("LoadData").outcome, Outcome::Done) << workspace().last_action.message;
  hb->queue_path(write("x.txt", "1\n2\n3\n4\n5\n6\n7\n8\n"));
  ASSERT_EQ(run("LoadXList").outcome, Outcome::Done) << workspace().last_action.message;
  EXPECT_EQ(var("XVariable").numel(), 8u);
  for (const char* action : {"PlotPDistance", "PermutationTest", "ShowPCA"})
    EXPECT_EQ(run(action).outcome, Outcome::Done)
        << action << ": " << workspace().last_action.message;
  const std::string no_spline =
      "The thin-plate spline basis of the reference is undefined: it needs at least four "
      "landmarks, and the reference has 3.";
  for (const char* action : {"GetWilks", "DoRegression", "SaveWarp"})
    EXPECT_EQ(run(action).message, no_spline) << action;

  // Two landmarks cannot vary in shape: refused when loaded.
  hb->queue_path(write("two.txt", "0 0 0 1 0 0 1\n0 0 0 2 0 0 2\n"));
  const ActionReport r = run("LoadData");
  EXPECT_EQ(r.outcome, Outcome::Refused);
  EXPECT_NE(r.message.find("each line holds two landmarks; the shape of fewer than three points "
                           "cannot vary"),
            std::string::npos)
      << r.message;
}

// Ties at the third-smallest X: the start is the mean of every tied
// specimen, the report says how many, and any order of the specimens (each
// with its X) prints the same report.
TEST_F(AppTest, DistanceTestDoesNotDependOnTheOrderOfTiedSpecimens) {
  std::ifstream in(example("skulls.txt"));
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);)
    if (!line.empty()) lines.push_back(line);
  std::vector<int> x(lines.size());
  for (std::size_t i = 0; i < x.size(); ++i) x[i] = 1 + static_cast<int>(i % 3) + (i > 40 ? 1 : 0);
  auto report = [&](const std::vector<std::size_t>& order) {
    std::string rows, xs;
    for (std::size_t i : order) {
      rows += lines[i] + "\n";
      xs += std::to_string(x[i]) + "\n";
    }
    hb->queue_path(write("s.txt", rows));
    EXPECT_EQ(run("LoadData").outcome, Outcome::Done);
    hb->queue_path(write("x.txt", xs));
    EXPECT_EQ(run("LoadXList").outcome, Outcome::Done);
    EXPECT_EQ(run("PlotPDistance").outcome, Outcome::Done) << workspace().last_action.message;
    return hb->messages().back().text;
  };
  std::vector<std::size_t> order(lines.size());
  for (std::size_t i = 0; i < order.size(); ++i) order[i] = i;
  const std::string first = report(order);
  EXPECT_NE(first.find(" The starting shape is the mean of 14 specimens, all those with X at "
                       "most 1 (the third-smallest X is tied)."),
            std::string::npos)
      << first;
  std::reverse(order.begin(), order.end());
  EXPECT_EQ(report(order), first);
  std::rotate(order.begin(), order.begin() + 17, order.end());
  EXPECT_EQ(report(order), first);
}

// X from 1e-300 to 1e300: the regression on ln X takes logs before their
// ratio, and the tests compute rather than blame a score column.
TEST_F(AppTest, RegressorsSpanningTheDoublesAreAnalysed) {
  load_examples();
  std::vector<double> x(80);
  for (int i = 0; i < 80; ++i)
    x[static_cast<std::size_t>(i)] = std::pow(10.0, -300 + 600.0 * ((i * 37) % 80) / 79);
  set_x(x);
  for (const char* scale : {"LnDown", "LinearDown"}) {
    run(scale);
    for (const char* action : {"DoRegression", "PlotPDistance", "GetWilks", "PermutationTest"})
      EXPECT_EQ(run(action).outcome, Outcome::Done)
          << scale << " " << action << ": " << workspace().last_action.message;
    EXPECT_EQ(hb->messages().back().text.find("NaN"), std::string::npos);
  }
  run("LnDown");
  ASSERT_EQ(run("DoRegression").outcome, Outcome::Done);
  EXPECT_NEAR(var("delta")(0) / var("gvector")(0), 600 * std::log(10.0), 1e-9);
  ASSERT_EQ(run("ShowRegression").outcome, Outcome::Done) << workspace().last_action.message;
}

}  // namespace
}  // namespace velmora::app
