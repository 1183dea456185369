// The superimposition road of LoadData, its two settings, and the analysis
// results that must not depend on how the raw specimens lie in the file.
// Reference numbers come from tools/check_analysis.py (numpy, written
// independently of the program) run on the bundled example.
#include <Eigen/Geometry>
#include <cmath>
#include <fstream>
#include <random>
#include <sstream>

#include "app/batch.hpp"
#include "app/workspace.hpp"
#include "app_fixture.hpp"
#include "io/result_files.hpp"
#include "shape/procrustes.hpp"
#include "stats/regression.hpp"

namespace velmora::app {
namespace {

std::vector<std::vector<double>> read_rows(const std::string& path) {
  std::ifstream in(path);
  std::vector<std::vector<double>> rows;
  for (std::string line; std::getline(in, line);) {
    std::istringstream ss(line);
    std::vector<double> row;
    for (double v; ss >> v;) row.push_back(v);
    if (!row.empty()) rows.push_back(std::move(row));
  }
  return rows;
}

std::string rows_text(const std::vector<std::vector<double>>& rows) {
  std::string out;
  char buf[32];
  for (const auto& row : rows) {
    for (double v : row) {
      std::snprintf(buf, sizeof buf, "%.17g ", v);
      out += buf;
    }
    out += "\n";
  }
  return out;
}

// The numbers of a result file as they read back.
std::vector<double> numbers_of(const std::string& path) {
  std::ifstream in(path);
  std::vector<double> out;
  for (std::string word; in >> word;) out.push_back(std::strtod(word.c_str(), nullptr));
  return out;
}

// `m` with each column signed so that its largest magnitude is positive: the
// method leaves the sign of every principal axis and score column free.
Eigen::MatrixXd signed_columns(Eigen::MatrixXd m) {
  for (Eigen::Index c = 0; c < m.cols(); ++c) {
    Eigen::Index at = 0;
    m.col(c).cwiseAbs().maxCoeff(&at);
    if (m(at, c) < 0) m.col(c) = -m.col(c);
  }
  return m;
}

// The standard generalized Procrustes mean of the example (Kabsch rotations,
// iterated to convergence), in principal axes signed as above, from
// tools/check_analysis.py.
Eigen::Matrix<double, 12, 3> standard_mean() {
  Eigen::Matrix<double, 12, 3> m;
  m << -0.080260724100988889, 8.9278040091830824e-05, -0.27611452239862855, 0.13522150431570645,
      -0.0010991164938518733, -0.20345583606748799, 0.27142514193113232, -0.0017244283920429537,
      0.12911864933971837, 0.094027065420089845, 2.0799213228284152e-05, 0.4607147064364373,
      -0.18934421391275974, 0.0012418431032057663, 0.23550788724094049, -0.13866617923446592,
      0.0014442950240876676, 0.10007408521563464, -0.048154946761615303, -0.24839456538645088,
      0.099388678683913989, -0.045937105130174606, 0.24869999531933207, 0.09833444880854797,
      -0.03254104131508348, -0.2560508674394128, -0.12171019639694808, -0.030841955422226536,
      0.25656055659387106, -0.12268893698194178, 0.03204335400879841, -0.12895413751398477,
      -0.19944774845195007, 0.033029100201587683, 0.12816634793192666, -0.19972121542823615;
  return m;
}

class SuperimposeTest : public AppTest {
 protected:
  void load(const std::string& landmarks) {
    hb->queue_path(landmarks);
    ASSERT_EQ(run("LoadData").outcome, Outcome::Done) << workspace().last_action.message;
    hb->queue_path(example("age.txt"));
    ASSERT_EQ(run("LoadXList").outcome, Outcome::Done) << workspace().last_action.message;
  }

  // Everything the analysis reports or writes for the loaded sample.
  struct Results {
    Eigen::VectorXd distances;  // the points of the distance plot
    stats::RegressionStats fit;
    std::string wilks;
    Eigen::MatrixXd scores, reference;
    Eigen::VectorXd vector;
  };
  Results analyse() {
    Results r;
    EXPECT_EQ(run("DoRegression").outcome, Outcome::Done) << workspace().last_action.message;
    EXPECT_EQ(run("PlotPDistance").outcome, Outcome::Done) << workspace().last_action.message;
    Value kids = g->get(g->find_tag("axes1"), "Children");
    Value points = g->get(kids(kids.numel() - 1), "YData");
    r.distances = Eigen::Map<const Eigen::VectorXd>(points.data().data(), points.numel());
    r.fit = stats::regression_stats(var("XVariable").to_vector(), r.distances);
    EXPECT_EQ(run("GetWilks").outcome, Outcome::Done) << workspace().last_action.message;
    r.wilks = last_message();
    for (const char* action : {"SaveWarp", "SaveRef", "SaveVector"}) {
      hb->queue_path(temp(std::string(action) + ".txt"));
      EXPECT_EQ(run(action).outcome, Outcome::Done) << workspace().last_action.message;
    }
    std::vector<double> s = numbers_of(temp("SaveWarp.txt"));
    r.scores = Eigen::Map<Eigen::MatrixXd>(s.data(), 30, 80).transpose().leftCols(29);
    std::vector<double> ref = numbers_of(temp("SaveRef.txt"));
    r.reference = Eigen::Map<Eigen::MatrixXd>(ref.data(), 3, 12).transpose();
    std::vector<double> v = numbers_of(temp("SaveVector.txt"));
    r.vector = Eigen::Map<Eigen::VectorXd>(v.data(), static_cast<Eigen::Index>(v.size()));
    return r;
  }
};

// The example's numbers, on X and on ln X, from tools/check_analysis.py.
TEST_F(SuperimposeTest, ExampleReportsAgreeWithAnIndependentComputation) {
  load(example("skulls.txt"));
  ASSERT_EQ(run("PlotPDistance").outcome, Outcome::Done);
  EXPECT_EQ(last_message(),
            "Regression Slope: 0.0002775 Regression Intercept: 0.0008489 Std. Deviation in Slope: "
            "1.173e-05  Correlation Coefficient 0.9369  Zscore: 15.0207  p score = 2.6860816e-51");
  // The p value is 1 − cdf, so it is exact only to the rounding of 1
  // (2.2e-16): four digits of 2.6e-13, none of 6.5e-27.
  auto expect_wilks = [&](const std::string& head, double p) {
    ASSERT_EQ(run("GetWilks").outcome, Outcome::Done) << workspace().last_action.message;
    const std::string text = last_message();
    ASSERT_EQ(text.substr(0, head.size()), head);
    EXPECT_NEAR(std::stod(text.substr(head.size())), p, 1e-3 * p + 2.3e-16);
  };
  expect_wilks(
      "Wilks Lambda= 0.1355   F score= 10.9972  1 − Λ: 0.8645 ,     "
      "df1=29.00 ,    df2=50.00,  p value=",
      2.7678952862532583e-13);

  run("LnDown");
  ASSERT_EQ(run("PlotPDistance").outcome, Outcome::Done);
  EXPECT_EQ(last_message(),
            "Regression Slope: 0.002442 Regression Intercept: -0.001564 Std. Deviation in Slope: "
            "7.109e-05  Correlation Coefficient 0.9685  Zscore: 18.1430  p score = 7.2860097e-74");
  expect_wilks(
      "Wilks Lambda= 0.0365   F score= 45.4574  1 − Λ: 0.9635 ,     "
      "df1=29.00 ,    df2=50.00,  p value=",
      6.590418719931915e-27);

  // Every score column regressed: 29 slopes, the last one the numpy value
  // (up to the sign the eigen-solver gives its column).
  run("LinearDown");
  ASSERT_EQ(run("DoRegression").outcome, Outcome::Done);
  ASSERT_EQ(var("gvector").numel(), 29u);
  EXPECT_NEAR(std::fabs(var("gvector")(28)), 0.0012513027346571367, 1e-9);
}

TEST_F(SuperimposeTest, ReportsAndFilesDoNotDependOnThePoseOfTheRawSpecimens) {
  run("SetFullPrecision", Value("on"));
  load(example("skulls.txt"));
  const Results base = analyse();
  const std::vector<std::vector<double>> rows = read_rows(example("skulls.txt"));
  std::mt19937 gen(2024);
  std::normal_distribution<double> normal;
  std::uniform_real_distribution<double> scale(0.2, 5);
  for (int trial = 0; trial < 3; ++trial) {
    // Turn, move and scale every raw specimen; its centroid-size entry stays.
    std::vector<std::vector<double>> posed = rows;
    for (auto& row : posed) {
      const Eigen::Matrix3d turn =
          Eigen::Quaterniond(normal(gen), normal(gen), normal(gen), normal(gen))
              .normalized()
              .toRotationMatrix();
      const Eigen::RowVector3d shift(100 * normal(gen), 100 * normal(gen), 100 * normal(gen));
      const double s = scale(gen);
      for (std::size_t j = 0; j + 3 < row.size(); j += 3) {
        Eigen::RowVector3d p(row[j], row[j + 1], row[j + 2]);
        p = s * p * turn + shift;
        for (int d = 0; d < 3; ++d) row[j + d] = p(d);
      }
    }
    load(write("posed.txt", rows_text(posed)));
    const Results r = analyse();
    auto relative = [](const auto& a, const auto& b) { return (a - b).norm() / b.norm(); };
    EXPECT_LT(relative(r.distances, base.distances), 1e-6) << trial;
    EXPECT_NEAR(r.fit.r, base.fit.r, 1e-6 * base.fit.r);
    const double z = r.fit.fisher_z / r.fit.fisher_se, z0 = base.fit.fisher_z / base.fit.fisher_se;
    EXPECT_NEAR(z, z0, 1e-6 * z0);
    const std::size_t cut = r.wilks.find("p value=");
    EXPECT_EQ(r.wilks.substr(0, cut), base.wilks.substr(0, cut));
    const double p = std::stod(r.wilks.substr(cut + 8)), p0 = std::stod(base.wilks.substr(cut + 8));
    EXPECT_NEAR(p, p0, 1e-6 * p0);
    EXPECT_LT(relative(signed_columns(r.scores), signed_columns(base.scores)), 1e-6) << trial;
    EXPECT_LT(relative(signed_columns(r.reference), signed_columns(base.reference)), 1e-6);
    // A slope changes sign with its score column.
    Eigen::VectorXd sign = (r.scores.array() * base.scores.array()).colwise().sum().sign();
    EXPECT_LT(relative(Eigen::VectorXd(r.vector.array() * sign.array()), base.vector), 1e-6);
  }
}

TEST_F(SuperimposeTest, AMirrorImageIsNamedAndScoredAsADifferentShape) {
  std::vector<std::vector<double>> rows = read_rows(example("skulls.txt"));
  // Specimen 19 becomes specimen 5 mirrored in the plane x = 0.
  rows[18] = rows[4];
  for (std::size_t j = 0; j + 3 < rows[18].size(); j += 3) rows[18][j] = -rows[18][j];
  const std::string path = write("mirror.txt", rows_text(rows));
  for (const char* method : {"classic", "optimal"}) {
    run("SetSuperimposition", Value(method));
    ConsoleCapture cap;
    hb->queue_path(path);
    ASSERT_EQ(run("LoadData").outcome, Outcome::Done) << workspace().last_action.message;
    EXPECT_EQ(cap.text(),
              "specimen 19 fits the reference best as a mirror image: check its landmark order\n")
        << method;
    hb->queue_path(example("age.txt"));
    ASSERT_EQ(run("LoadXList").outcome, Outcome::Done);
    const Eigen::MatrixXd scores = var("pwscores").to_matrix();
    EXPECT_GT((scores.row(18) - scores.row(4)).cwiseAbs().maxCoeff(), 0.05) << method;
  }
  // The example itself holds no mirror image.
  ConsoleCapture cap;
  load(example("skulls.txt"));
  EXPECT_EQ(cap.text().find("mirror"), std::string::npos);
}

TEST_F(SuperimposeTest, TheStandardFitIsTheDefaultAndGivesTheStandardProcrustesMean) {
  // A fresh start: the standard fit, ticked in the menu.
  EXPECT_EQ(var("vsuperimposition").to_string(), "optimal");
  EXPECT_EQ(g->get_text(g->find_tag("SuperimposeOptimal"), "Checked"), "on");
  EXPECT_EQ(g->get_text(g->find_tag("SuperimposeClassic"), "Checked"), "off");
  EXPECT_EQ(g->get_text(g->find_tag("SuperimposeClassic"), "Label"),
            "Superimposition: Classic three passes, as in earlier results");
  // Chosen again before any sample: nothing changes.
  ConsoleCapture cap;
  ASSERT_EQ(run("SetSuperimposition", Value("optimal")).outcome, Outcome::Done);
  EXPECT_EQ(cap.text(), "");
  EXPECT_EQ(g->get_text(g->find_tag("SuperimposeOptimal"), "Checked"), "on");
  load(example("skulls.txt"));
  const Eigen::MatrixXd optimal = var("reference").to_matrix();
  EXPECT_LT((signed_columns(optimal) - standard_mean()).norm(), 1e-10);
  EXPECT_EQ(cap.text(), "");  // converged: no note

  // Switching back superimposes the loaded sample again, as a new LoadData
  // would, and empties its results.
  ASSERT_EQ(run("DoRegression").outcome, Outcome::Done);
  cap.clear();
  ASSERT_EQ(run("SetSuperimposition", Value("classic")).outcome, Outcome::Done);
  EXPECT_EQ(cap.text(),
            "The sample was superimposed again with the classic three passes; its scores and "
            "regression were cleared.\n");
  EXPECT_TRUE(var("pwscores").empty());
  EXPECT_TRUE(var("gvector").empty());
  EXPECT_TRUE(var("delta").empty());
  const Value classic_ref = var("reference"), classic_data = var("DATAV");
  // The classic mean is a different, nearby shape.
  const double apart = (signed_columns(classic_ref.to_matrix()) - standard_mean()).norm();
  EXPECT_GT(apart, 1e-5);
  EXPECT_LT(apart, 1e-3);
  hb->queue_path(example("skulls.txt"));
  ASSERT_EQ(run("LoadData").outcome, Outcome::Done);
  EXPECT_EQ(var("reference"), classic_ref);
  EXPECT_EQ(var("DATAV"), classic_data);
  ASSERT_EQ(run("SetSuperimposition", Value("optimal")).outcome, Outcome::Done);
  EXPECT_LT((signed_columns(var("reference").to_matrix()) - standard_mean()).norm(), 1e-10);

  // The same choice again changes nothing; a word it does not know is refused.
  cap.clear();
  const Value before = var("DATAV");
  ASSERT_EQ(run("SetSuperimposition", Value("optimal")).outcome, Outcome::Done);
  EXPECT_EQ(cap.text(), "");
  ActionReport r = run("SetSuperimposition", Value("best"));
  EXPECT_EQ(r.outcome, Outcome::Refused);
  EXPECT_EQ(r.message, "SetSuperimposition takes \"optimal\" or \"classic\", not \"best\".");
  EXPECT_EQ(var("DATAV"), before);
  EXPECT_EQ(var("vsuperimposition").to_string(), "optimal");
  EXPECT_EQ(g->get_text(g->find_tag("SuperimposeOptimal"), "Checked"), "on");
}

TEST_F(SuperimposeTest, FullPrecisionFilesReadBackToTheSameDoubles) {
  load(example("skulls.txt"));
  ASSERT_EQ(run("DoRegression").outcome, Outcome::Done);
  auto save_all = [&](const std::string& tag) {
    for (const char* action : {"SaveWarp", "SaveRef", "SaveVector"}) {
      hb->queue_path(temp(tag + action));
      ASSERT_EQ(run(action).outcome, Outcome::Done) << workspace().last_action.message;
    }
  };
  save_all("six-");
  ASSERT_EQ(run("SetFullPrecision", Value("on")).outcome, Outcome::Done);
  EXPECT_EQ(g->get_text(g->find_tag("FullPrecisionOn"), "Checked"), "on");
  EXPECT_EQ(g->get_text(g->find_tag("FullPrecisionOff"), "Checked"), "off");
  save_all("full-");

  const Value pwscores = var("pwscores"), data = var("DATA"), gvector = var("gvector"),
              reference = var("reference");
  std::vector<double> expected;  // scores row by row, then the centroid size
  for (std::size_t i = 0; i < 80; ++i) {
    for (std::size_t j = 0; j < 29; ++j) expected.push_back(pwscores(i + 80 * j));
    expected.push_back(data(i, 36));
  }
  EXPECT_EQ(numbers_of(temp("full-SaveWarp")), expected);
  EXPECT_EQ(numbers_of(temp("full-SaveVector")), gvector.data());
  std::vector<double> ref = numbers_of(temp("full-SaveRef"));
  ASSERT_EQ(ref.size(), 37u);
  for (std::size_t j = 0; j < 12; ++j)
    for (std::size_t d = 0; d < 3; ++d) EXPECT_EQ(ref[3 * j + d], reference(j + 12 * d));
  // Six digits by default: what the plain writer gives.
  std::ifstream six(temp("six-SaveVector"));
  std::stringstream text;
  text << six.rdbuf();
  EXPECT_EQ(text.str(), io::vector_file_text(gvector.data()));
  EXPECT_NE(text.str(), io::vector_file_text(gvector.data(), io::NumberFormat::FullPrecision));

  ActionReport r = run("SetFullPrecision", Value(1.0));
  EXPECT_EQ(r.message, "SetFullPrecision takes \"on\" or \"off\", not \"1\".");
  EXPECT_EQ(var("vfullprecision").to_string(), "on");
  ASSERT_EQ(run("SetFullPrecision", Value("off")).outcome, Outcome::Done);
  EXPECT_EQ(g->get_text(g->find_tag("FullPrecisionOn"), "Checked"), "off");
}

// A session script begins with the superimposition it started under, so it
// replays the same way whatever the program's default.
TEST_F(SuperimposeTest, SessionScriptsRecordTheSuperimpositionInTheirFirstLines) {
  const std::string head =
      "# Velmora session script: run it with  velmora --batch FILE\n"
      "# Each open/save/choose/cancel line answers a dialog of the action below it.\n"
      "# The superimposition the session started with, so that the script replays the same\n"
      "# way whatever a later version takes by default:\n";
  workspace().recorder.start_recording(workspace().session.method());
  EXPECT_EQ(workspace().recorder.script(), head + "SetSuperimposition optimal\n");
  run("SetSuperimposition", Value("classic"));
  run("SetFullPrecision", Value("on"));
  EXPECT_EQ(workspace().recorder.script(),
            head +
                "SetSuperimposition optimal\nSetSuperimposition classic\n"
                "SetFullPrecision on\n");

  // Recorded under the classic passes, replayed from a fresh start (the
  // standard fit): the classic reference again.
  workspace().recorder.clear();
  workspace().recorder.start_recording(workspace().session.method());
  hb->queue_path(example("skulls.txt"));
  ASSERT_EQ(run("LoadData").outcome, Outcome::Done);
  const Value classic_ref = var("reference");
  const std::string script = workspace().recorder.script();
  ASSERT_EQ(script.rfind(head + "SetSuperimposition classic\n", 0), 0u) << script;
  workspace().reset();
  std::istringstream in(script);
  ASSERT_EQ(run_batch(parse_batch(in, "/")), kBatchOk);
  g = &gfx::graphics();
  hb = gfx::headless_backend();
  EXPECT_EQ(var("vsuperimposition").to_string(), "classic");
  EXPECT_EQ(var("reference"), classic_ref);
}

// A sample whose consensus still moves when the passes run out is analysed,
// and every report of it and its log entry say so.
TEST_F(SuperimposeTest, ASampleThatDoesNotConvergeSaysSoInItsReports) {
  // 12 specimens of 5 landmarks, uniform in [-1, 1): their consensus
  // settles only after about 400 passes.
  std::mt19937 gen(1);
  std::vector<std::vector<double>> rows(12);
  for (auto& row : rows) {
    for (int c = 0; c < 15; ++c) row.push_back(gen() / 4294967296.0 * 2 - 1);
    row.push_back(1);
  }
  shape::Stack raw(5, 12);
  for (Eigen::Index i = 0; i < 12; ++i)
    for (Eigen::Index j = 0; j < 5; ++j)
      for (Eigen::Index d = 0; d < 3; ++d)
        raw.slice(i)(j, d) = rows[static_cast<std::size_t>(i)][static_cast<std::size_t>(3 * j + d)];
  const shape::GpaResult gpa = shape::gpa_to_convergence(raw);
  ASSERT_FALSE(gpa.converged);
  char move[32];
  std::snprintf(move, sizeof move, "%.3g", gpa.last_move);
  const std::string note =
      "Note: the superimposition did not converge in 100 passes; its reference still moved by " +
      std::string(move) + " in the last pass.";

  ConsoleCapture cap;
  hb->queue_path(write("restless.txt", rows_text(rows)));
  ASSERT_EQ(run("LoadData").outcome, Outcome::Done) << workspace().last_action.message;
  // Beside any specimen named as a mirror image.
  EXPECT_NE(cap.text().find(note + "\n"), std::string::npos) << cap.text();
  hb->queue_path(write("x.txt", "1\n2\n3\n4\n5\n6\n7\n8\n9\n10\n11\n12\n"));
  ASSERT_EQ(run("LoadXList").outcome, Outcome::Done) << workspace().last_action.message;
  for (const char* test : {"PlotPDistance", "GetWilks", "PermutationTest"}) {
    ASSERT_EQ(run(test).outcome, Outcome::Done) << test << ": " << workspace().last_action.message;
    const std::string shown = last_message(), logged = workspace().window.log.entries().back().text;
    EXPECT_EQ(shown.substr(shown.rfind('\n') + 1), note) << test;
    EXPECT_EQ(logged.substr(logged.rfind('\n') + 1), note) << test;
  }
  ASSERT_EQ(run("ShowPCA").outcome, Outcome::Done) << workspace().last_action.message;
  EXPECT_NE(workspace().window.log.entries().back().text.find(note), std::string::npos);
  // The classic passes stop after three, with nothing to note.
  ASSERT_EQ(run("SetSuperimposition", Value("classic")).outcome, Outcome::Done);
  ASSERT_EQ(run("PlotPDistance").outcome, Outcome::Done);
  EXPECT_EQ(last_message().find("Note:"), std::string::npos);
}

}  // namespace
}  // namespace velmora::app
