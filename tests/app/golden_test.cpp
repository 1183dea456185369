// The whole analysis of the bundled example, action by action, against
// numbers computed independently with numpy (tools/golden_values.py writes
// golden_values.hpp).
#include <algorithm>
#include <cmath>
#include <fstream>
#include <iterator>
#include <limits>
#include <sstream>
#include <string>

#include "app/batch.hpp"
#include "app/workspace.hpp"
#include "app_fixture.hpp"
#include "golden_values.hpp"
#include "stats/distributions.hpp"
#include "stats/regression.hpp"
#include "stats/wilks.hpp"

namespace velmora::app {
namespace {

constexpr double kRelative = 1e-10;

/// |got − want| ≤ 1e-10 · max(|want|, scale): relative to the value, or to
/// the size of the quantity it belongs to (a column, a vector) where the
/// value itself is close to 0 and only absolute rounding is left.
::testing::AssertionResult close(double got, double want, double scale = 0) {
  const double bound = kRelative * std::max(std::fabs(want), scale);
  if (std::fabs(got - want) <= bound) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << got << " differs from " << want << " by "
                                       << std::fabs(got - want) << " (bound " << bound << ")";
}

/// An upper-tail probability formed as 1 − a distribution function: within
/// 1e-10 relative, or within the absolute rounding of a number near 1 (the
/// subtraction cannot do better, so far in the tail the leading digits, or
/// all of them, are lost).
::testing::AssertionResult close_tail(double got, double want) {
  const double bound =
      std::max(kRelative * std::fabs(want), std::numeric_limits<double>::epsilon());
  if (std::fabs(got - want) <= bound) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << got << " differs from " << want << " by "
                                       << std::fabs(got - want) << " (bound " << bound << ")";
}

/// +1 or −1: the sign that turns `got` towards `want` (a principal axis or
/// a score column, whose sign the method leaves free).
double sign_towards(const Eigen::VectorXd& got, const Eigen::VectorXd& want) {
  return got.dot(want) < 0 ? -1.0 : 1.0;
}

Eigen::MatrixXd golden_scores() {
  Eigen::MatrixXd s(golden::kSpecimens, golden::kScoreColumns);
  for (int i = 0; i < s.rows(); ++i)
    for (int j = 0; j < s.cols(); ++j) s(i, j) = golden::kScores[i][j];
  return s;
}

class GoldenTest : public AppTest {
 protected:
  void SetUp() override {
    AppTest::SetUp();
    load_examples();
    ASSERT_EQ(run("DoRegression").outcome, Outcome::Done) << workspace().last_action.message;
    scores_ = var("pwscores").to_matrix();
    ASSERT_EQ(scores_.rows(), golden::kSpecimens);
    ASSERT_EQ(scores_.cols(), golden::kScoreColumns);
    const Eigen::MatrixXd want = golden_scores();
    column_sign_.resize(scores_.cols());
    for (Eigen::Index j = 0; j < scores_.cols(); ++j)
      column_sign_(j) = sign_towards(scores_.col(j), want.col(j));
  }
  void choose(const golden::Scale& scale) {
    ASSERT_EQ(run(&scale == &golden::kOnX ? "LinearDown" : "LnDown").outcome, Outcome::Done);
  }
  Eigen::VectorXd regressor(const golden::Scale& scale) const {
    Eigen::VectorXd x = var("XVariable").to_vector();
    return &scale == &golden::kOnX ? x : Eigen::VectorXd(x.array().log());
  }

  Eigen::MatrixXd scores_;
  Eigen::VectorXd column_sign_;
};

TEST_F(GoldenTest, ReferenceAndScores) {
  Eigen::MatrixXd ref = var("reference").to_matrix();
  ASSERT_EQ(ref.rows(), golden::kLandmarks);
  ASSERT_EQ(ref.cols(), 3);
  for (int c = 0; c < 3; ++c) {
    Eigen::VectorXd want(golden::kLandmarks);
    for (int j = 0; j < golden::kLandmarks; ++j) want(j) = golden::kReference[j][c];
    const double s = sign_towards(ref.col(c), want);
    for (int j = 0; j < golden::kLandmarks; ++j)
      EXPECT_TRUE(close(s * ref(j, c), want(j), want.cwiseAbs().maxCoeff())) << j << "," << c;
  }
  const Eigen::MatrixXd want = golden_scores();
  for (Eigen::Index j = 0; j < want.cols(); ++j) {
    const double scale = want.col(j).cwiseAbs().maxCoeff();
    for (Eigen::Index i = 0; i < want.rows(); ++i)
      EXPECT_TRUE(close(column_sign_(j) * scores_(i, j), want(i, j), scale)) << i << "," << j;
  }
}

TEST_F(GoldenTest, SlopesOnBothScales) {
  for (const golden::Scale* scale : {&golden::kOnX, &golden::kOnLnX}) {
    choose(*scale);
    ASSERT_EQ(run("DoRegression").outcome, Outcome::Done) << workspace().last_action.message;
    const Value slopes = var("gvector"), delta = var("delta");
    ASSERT_EQ(slopes.numel(), static_cast<std::size_t>(golden::kScoreColumns));
    const Eigen::VectorXd x = regressor(*scale);
    const double range = x.maxCoeff() - x.minCoeff();
    double largest = 0;
    for (double b : scale->slopes) largest = std::max(largest, std::fabs(b));
    for (int j = 0; j < golden::kScoreColumns; ++j) {
      // A slope takes the sign of its score column.
      EXPECT_TRUE(close(column_sign_(j) * slopes(j), scale->slopes[j], largest)) << j;
      EXPECT_TRUE(close(column_sign_(j) * delta(j), range * scale->slopes[j], range * largest))
          << j;
    }
  }
}

TEST_F(GoldenTest, ProcrustesDistanceReportOnBothScales) {
  for (const golden::Scale* scale : {&golden::kOnX, &golden::kOnLnX}) {
    choose(*scale);
    g->make_current(main);
    g->clear_axes(g->find_tag("axes1"));
    ASSERT_EQ(run("PlotPDistance").outcome, Outcome::Done) << workspace().last_action.message;
    EXPECT_EQ(hb->messages().back().text, scale->distance_report);

    // The plotted points are the regressor and the squared distances.
    const Value kids = g->get(g->find_tag("axes1"), "Children");
    ASSERT_EQ(kids.numel(), 2u);
    const Value xs = g->get(kids(1), "XData"), ys = g->get(kids(1), "YData");
    ASSERT_EQ(ys.numel(), static_cast<std::size_t>(golden::kSpecimens));
    const Eigen::VectorXd x = regressor(*scale);
    double largest = 0;
    for (double d : scale->distances) largest = std::max(largest, d);
    Eigen::VectorXd px(golden::kSpecimens), py(golden::kSpecimens);
    for (int i = 0; i < golden::kSpecimens; ++i) {
      px(i) = xs(i);
      py(i) = ys(i);
      EXPECT_EQ(px(i), x(i));
      EXPECT_TRUE(close(py(i), scale->distances[i], largest)) << i;
    }

    // The report's numbers at full precision, from the plotted points.
    const auto& want = scale->distance_test;
    const stats::RegressionStats r = stats::regression_stats(px, py);
    const double z = r.fisher_z / r.fisher_se;
    EXPECT_TRUE(close(r.slope, want[0]));
    EXPECT_TRUE(close(r.intercept, want[1]));
    EXPECT_TRUE(close(r.slope_sd, want[2]));
    EXPECT_TRUE(close(r.r, want[3]));
    EXPECT_TRUE(close(z, want[4]));
    // p is the normal upper tail taken as 1 − the distribution function:
    // at z near 15 both give exactly 0.
    EXPECT_TRUE(close_tail(1 - stats::normcdf(z), want[5]));

    // The fitted line's ends lie on the golden line.
    const Value lx = g->get(kids(0), "XData"), ly = g->get(kids(0), "YData");
    ASSERT_EQ(ly.numel(), 2u);
    for (std::size_t e = 0; e < 2; ++e)
      EXPECT_TRUE(close(ly(e), want[1] + want[0] * lx(e), largest)) << e;
  }
}

TEST_F(GoldenTest, WilksReportOnBothScales) {
  for (const golden::Scale* scale : {&golden::kOnX, &golden::kOnLnX}) {
    choose(*scale);
    ASSERT_EQ(run("GetWilks").outcome, Outcome::Done) << workspace().last_action.message;
    // The text up to the p value exactly; the p value as an upper tail.
    const std::string text = hb->messages().back().text, want_text = scale->wilks_report;
    const std::string p_field = "p value=";
    const std::size_t at = want_text.find(p_field);
    ASSERT_NE(at, std::string::npos);
    EXPECT_EQ(text.substr(0, at + p_field.size()), want_text.substr(0, at + p_field.size()));
    EXPECT_TRUE(close_tail(std::stod(text.substr(at + p_field.size())), scale->wilks[5])) << text;

    // The report's numbers at full precision, from the scores the action
    // tests (the statistic does not depend on the columns' signs).
    Eigen::MatrixXd padded(scores_.rows(), scores_.cols() + 1);
    padded << scores_, Eigen::VectorXd::Zero(scores_.rows());
    const stats::WilksResult w = stats::wilks_lambda(padded, regressor(*scale));
    const auto& want = scale->wilks;
    EXPECT_TRUE(close(w.lambda, want[0]));
    EXPECT_TRUE(close(w.F, want[1]));
    EXPECT_TRUE(close(1 - w.lambda, want[2]));
    EXPECT_EQ(w.df1, want[3]);
    EXPECT_EQ(w.df2, want[4]);
    EXPECT_TRUE(close_tail(1 - stats::fcdf(w.F, w.df1, w.df2), want[5]));
  }
}

/// The numbers of a saved file's lines (a table's rows after the name),
/// one vector a line.
std::vector<std::vector<double>> saved_rows(const std::string& path, bool table,
                                            std::vector<std::string>& names) {
  std::ifstream in(path);
  std::vector<std::vector<double>> rows;
  std::string line;
  if (table) std::getline(in, line);  // the header
  while (std::getline(in, line)) {
    if (line.find_first_not_of(' ') == std::string::npos) continue;
    if (table) {
      names.push_back(line.substr(0, line.find(',')));
      line = line.substr(line.find(',') + 1);
      std::replace(line.begin(), line.end(), ',', ' ');
    }
    std::istringstream numbers(line);
    rows.emplace_back(std::istream_iterator<double>(numbers), std::istream_iterator<double>());
  }
  return rows;
}

/// The largest difference of a saved row from a golden k×3 shape (its axes
/// turned by `sign`, as the program's reference is to numpy's), with its
/// centroid size computed here.
double row_error(const std::vector<double>& row, const double (&want)[golden::kLandmarks][3],
                 const Eigen::Vector3d& sign) {
  if (row.size() != 3 * golden::kLandmarks + 1) return 1e300;
  Eigen::MatrixX3d shape(golden::kLandmarks, 3);
  for (int j = 0; j < golden::kLandmarks; ++j)
    for (int c = 0; c < 3; ++c) shape(j, c) = want[j][c];
  double error = 0;
  for (int j = 0; j < golden::kLandmarks; ++j)
    for (int c = 0; c < 3; ++c)
      error = std::max(error, std::fabs(sign(c) * row[std::size_t(3 * j + c)] - shape(j, c)));
  const double cs = std::sqrt((shape.rowwise() - shape.colwise().mean()).squaredNorm());
  return std::max(error, std::fabs(row.back() - cs));
}

// Save Shown Shapes writes the configurations the 3-D view shows, in the
// legend's order: after Show Regression the mean and the target, after
// Show PCA the pair of PC1 at −5 and +5 SD, each equal to numpy's.
TEST_F(AppTest, SavedShownShapesAreNumpysShapes) {
  const std::string regression = temp("regression.txt"), pca = temp("pca.csv");
  std::istringstream script(
      "open skulls.txt\nLoadData\nopen age.txt\nLoadXList\nDoRegression\nSetFullPrecision "
      "on\nShowRegression\nsave " +
      regression + "\nSaveShownShapes\nset DeFormat 1\nShowPCA\nsave " + pca +
      "\nSaveShownShapes\n");
  ConsoleCapture cap;
  ASSERT_EQ(run_batch(parse_batch(script, std::string(VELMORA_SOURCE_DIR) + "/examples/")),
            kBatchOk)
      << cap.text() << cap.errors();
  const shape::Config ref = workspace().session.superimposition()->reference();
  Eigen::Vector3d sign;
  for (int c = 0; c < 3; ++c) {
    double dot = 0;
    for (int j = 0; j < golden::kLandmarks; ++j) dot += ref(j, c) * golden::kReference[j][c];
    sign(c) = dot < 0 ? -1 : 1;
  }
  constexpr double kShapeTolerance = 1e-10;  // shapes of unit size
  std::vector<std::string> names;
  const auto drawn = saved_rows(regression, false, names);
  ASSERT_EQ(drawn.size(), 2u);
  EXPECT_LE(row_error(drawn[0], golden::kReference, sign), kShapeTolerance);
  EXPECT_LE(row_error(drawn[1], golden::kRegressionTarget, sign), kShapeTolerance);

  std::ifstream table(pca);
  std::string header;
  std::getline(table, header);
  EXPECT_EQ(header.substr(0, 18), "shape,x1,y1,z1,x2,");
  EXPECT_EQ(header.substr(header.size() - 15), ",x12,y12,z12,CS");
  const auto pair = saved_rows(pca, true, names);
  EXPECT_EQ(names, (std::vector<std::string>{"PC1 \u22125 SD", "PC1 +5 SD"}));
  ASSERT_EQ(pair.size(), 2u);
  // The component's sign is free: the pair may come the other way round.
  const double as_is = std::max(row_error(pair[0], golden::kPc1Shapes[0], sign),
                                row_error(pair[1], golden::kPc1Shapes[1], sign));
  const double swapped = std::max(row_error(pair[0], golden::kPc1Shapes[1], sign),
                                  row_error(pair[1], golden::kPc1Shapes[0], sign));
  EXPECT_LE(std::min(as_is, swapped), kShapeTolerance);
}

}  // namespace
}  // namespace velmora::app
