// The analysis session against the numerical library called directly, its
// kept results against their inputs, its refusal texts, and the invariance of
// its regression under the pose and size of the raw specimens.
#include "analysis/session.hpp"

#include <gtest/gtest.h>

#include <Eigen/Core>
#include <cmath>
#include <string>
#include <vector>

#include "analysis/messages.hpp"
#include "io/landmark_import.hpp"
#include "io/list_files.hpp"
#include "io/row_layout.hpp"
#include "shape/principal_components.hpp"
#include "shape/procrustes.hpp"
#include "shape/random_shapes.hpp"
#include "shape/rotation.hpp"
#include "shape/tangent_coordinates.hpp"
#include "stats/distance_test.hpp"
#include "stats/distributions.hpp"
#include "stats/permutation_test.hpp"
#include "stats/regression.hpp"
#include "stats/wilks.hpp"
#include "tps/deformation.hpp"
#include "tps/scores.hpp"

namespace velmora::analysis {
namespace {

const std::string kSkulls = std::string(VELMORA_SOURCE_DIR) + "/examples/skulls.txt";
const std::string kAge = std::string(VELMORA_SOURCE_DIR) + "/examples/age.txt";

Eigen::VectorXd ages() {
  return io::load_x_list(kAge).matrix().col(0);
}

SetXParams file_x(Eigen::VectorXd values) {
  return {XSource::File, std::move(values), "age", "age.txt", 0};
}

// The bundled sample loaded, with age as X.
Session example_session(Method method = Method::Classic) {
  Session s;
  s.superimpose({method});
  s.load_sample({io::import_landmarks(kSkulls), "skulls.txt"});
  s.set_x(file_x(ages()));
  return s;
}

// What the operation refused, with its kind; fails the test when it did not.
std::string refusal(auto&& operation, ErrorKind kind = ErrorKind::Refused) {
  try {
    operation();
  } catch (const Error& e) {
    EXPECT_EQ(e.kind(), kind) << e.what();
    return e.what();
  }
  ADD_FAILURE() << "not refused";
  return {};
}

// The library's superimposition of the bundled sample, as the session makes it.
struct Direct {
  shape::Config reference;
  shape::Stack fitted;
};
Direct direct_fit(const io::ImportedSample& in, Method method) {
  const auto n = static_cast<std::size_t>(in.rows.rows());
  const auto c = static_cast<std::size_t>(in.rows.cols());
  shape::Stack raw(static_cast<Eigen::Index>(c / 3), static_cast<Eigen::Index>(n),
                   io::rows_to_stack(n, c, {in.rows.data(), n * c}));
  shape::GpaResult gpa = method == Method::Optimal ? shape::gpa_to_convergence(std::move(raw))
                                                   : shape::generalized_procrustes(std::move(raw));
  const shape::PrincipalAxes axes = shape::principal_axes(gpa.reference);
  shape::rotate_all(gpa.fitted, axes.axes);
  return {axes.reference, gpa.fitted};
}

TEST(Session, GivesTheLibrarysNumbersOnTheExample) {
  for (Method method : {Method::Classic, Method::Optimal}) {
    Session s = example_session(method);
    const Direct d = direct_fit(io::import_landmarks(kSkulls), method);
    const Eigen::VectorXd x = ages();
    EXPECT_EQ(s.superimposition()->reference(), d.reference);
    const Eigen::MatrixXd scores = tps::partial_warp_scores(d.reference, d.fitted);
    EXPECT_EQ(*s.scores(), scores);

    const RegressionReport reg = s.regression({});
    const Eigen::RowVectorXd slopes = stats::column_slopes(scores, x);
    EXPECT_EQ(reg.regression->slopes, slopes);
    EXPECT_EQ(reg.regression->delta, (x.maxCoeff() - x.minCoeff()) * slopes);
    EXPECT_DOUBLE_EQ(reg.regression->x_mean, x.mean());

    const stats::DistanceTest dt = stats::procrustes_distance_test(d.fitted, x, x);
    const DistanceTestReport dr = s.distance_test({});
    EXPECT_EQ(dr.test.distances, dt.distances);
    EXPECT_EQ(dr.test.p, dt.p);
    EXPECT_EQ(dr.axis_label, "age");

    Eigen::MatrixXd padded(scores.rows(), scores.cols() + 1);
    padded << scores, Eigen::VectorXd::Zero(scores.rows());
    const stats::WilksResult w = stats::wilks_lambda(padded, x);
    const WilksReport wr = s.wilks({});
    EXPECT_EQ(wr.wilks.lambda, w.lambda);
    EXPECT_EQ(wr.p, stats::f_upper_tail(w.F, w.df1, w.df2));

    const Eigen::MatrixXd tangent = shape::tangent_coordinates(d.reference, d.fitted);
    const auto perm = stats::permutation_test(tangent, x, 99, 7);
    const PermutationReport pr = s.permutation_test({99, 7, {}});
    EXPECT_EQ(pr.result.r_squared, perm->r_squared);
    EXPECT_EQ(pr.result.p, perm->p);

    const shape::ShapePca pca = shape::principal_components(tangent);
    EXPECT_EQ(s.pca({}).pca->scores, pca.scores);
    EXPECT_EQ(s.component_shape({2, -1.5}).target,
              shape::component_shape(d.reference, pca, 1, -1.5));
    const Eigen::MatrixXd change = 3 * reg.regression->delta;
    EXPECT_EQ(s.regression_shape({3}).target,
              shape::Config(tps::deformations_from_scores(d.reference, change).slice(0)));
  }
}

TEST(Session, KeptResultsFollowWhatTheyWereComputedFrom) {
  Session s = example_session();
  const auto classic_scores = s.scores();
  ASSERT_TRUE(classic_scores);
  s.regression({});
  ASSERT_TRUE(s.regression());

  // Another X: the regression is gone, the scores (of the sample alone) stay.
  const Eigen::VectorXd cs = s.sample().centroid_sizes();
  s.set_x({XSource::CentroidSize, {}, {}, {}, 0});
  EXPECT_EQ(s.x()->name, "Centroid size");
  EXPECT_FALSE(s.regression());
  EXPECT_EQ(s.scores(), classic_scores);
  EXPECT_EQ(s.regression({}).regression->slopes, stats::column_slopes(*classic_scores, cs));

  // Another superimposition: scores, regression and components all follow.
  const auto classic_pca = s.pca({}).pca;
  s.superimpose({Method::Optimal});
  EXPECT_FALSE(s.scores());
  EXPECT_FALSE(s.regression());
  EXPECT_EQ(refusal([&] { s.wilks({}); }),
            "Compute the partial warp scores first: load the independent variable (Load X List) "
            "or run the regression (Do Regression).");
  const Direct d = direct_fit(io::import_landmarks(kSkulls), Method::Optimal);
  const Eigen::MatrixXd optimal_scores = tps::partial_warp_scores(d.reference, d.fitted);
  EXPECT_EQ(*s.regression({}).scores, optimal_scores);
  EXPECT_EQ(s.regression()->slopes, stats::column_slopes(optimal_scores, cs));
  EXPECT_EQ(
      s.pca({}).pca->variances,
      shape::principal_components(shape::tangent_coordinates(d.reference, d.fitted)).variances);
  EXPECT_NE(s.pca({}).pca, classic_pca);

  // A quarter turn of the reference: new scores, on the turned reference.
  s.rotate({Axis::Z});
  EXPECT_FALSE(s.regression());
  EXPECT_EQ(*s.regression({}).scores, tps::partial_warp_scores(s.superimposition()->reference(),
                                                               s.superimposition()->fitted()));

  // The scale is no input of a kept regression, only of the next one.
  s.set_scale(Scale::Log);
  EXPECT_EQ(s.regression()->scale, Scale::Linear);
  EXPECT_EQ(s.regression({}).regression->scale, Scale::Log);
}

TEST(Session, RefusesWithItsTextsAndChangesNothing) {
  Session s;
  EXPECT_EQ(refusal([&] { s.regression({}); }), "Load a landmark file first (Load Landmarks).");
  EXPECT_EQ(refusal([&] { s.pca({}); }), "Load a landmark file first (Load Landmarks).");
  s.load_sample({io::import_landmarks(kSkulls), "skulls.txt"});
  EXPECT_EQ(refusal([&] { s.permutation_test({}); }),
            "Load the independent variable first (Load X List), or use centroid size as X "
            "(Use CS).");
  EXPECT_EQ(refusal([&] { s.label_names(); }),
            "The loaded sample has no labels to use as X: a Morphologika file gives them in its "
            "[labels] and [labelvalues] sections, a specimen table in its columns of numbers.");
  EXPECT_EQ(refusal([&] { s.set_x(file_x(Eigen::VectorXd::Ones(5))); }),
            "There was a mismatch in the number of specimens and the number of independent "
            "variable values.  Recheck the files and reload (" +
                std::to_string(s.sample().specimens()) + " specimens, 5 X values).");
  EXPECT_FALSE(s.x());
  EXPECT_FALSE(s.scores());

  Eigen::VectorXd x = ages();
  x(3) = 0;
  s.set_x(file_x(x));
  EXPECT_EQ(refusal([&] { s.regression_shape({}); }), "Run the regression first (Do Regression).");
  s.set_scale(Scale::Log);
  EXPECT_EQ(refusal([&] { s.distance_test({}); }),
            "The Procrustes-distance test on ln X needs every X value above 0, but specimen 4 "
            "has X = 0. Choose the linear scale (Regress on X) or load positive X values.");
  EXPECT_FALSE(s.regression());
  s.set_x(file_x(Eigen::VectorXd::Constant(x.size(), 12.5)));
  for (auto run : {+[](Session& t) { t.regression({}); }, +[](Session& t) { t.wilks({}); },
                   +[](Session& t) { t.permutation_test({}); }}) {
    EXPECT_EQ(refusal([&] { run(s); }),
              "All X values are equal (12.5), so the regression slope is undefined. Load an "
              "independent variable that varies.");
  }
  EXPECT_EQ(refusal([&] {
              s.component_shape({99, 1});
            }),
            "The principal component \"99\" is not a whole number from 1 to 29.");

  s.set_x(file_x(ages()));
  const stats::PermutationProgress stop = [](int, int) { return false; };
  EXPECT_EQ(refusal(
                [&] {
                  s.permutation_test({999, 1, stop});
                },
                ErrorKind::Cancelled),
            "The permutation test was cancelled.");

  // A wireframe beyond the sample's landmarks is refused; one kept from
  // before is removed when a smaller sample comes.
  EXPECT_EQ(refusal(
                [&] {
                  s.set_wireframe({io::parse_wire_list("1 2 13\n", "w.txt"), "w.txt"});
                },
                ErrorKind::Numeric),
            "\"w.txt\" line 1: landmark 13 is beyond the 12 landmarks of the loaded sample.");
  EXPECT_FALSE(s.wires());
  s.clear();
  s.set_wireframe({io::parse_wire_list("1 2 13\n", "w.txt"), "w.txt"});
  EXPECT_EQ(s.load_sample({io::import_landmarks(kSkulls), "skulls.txt"}).wire_note,
            "The wireframe needs 13 landmarks; this sample has 12: wireframe removed.");
  EXPECT_FALSE(s.wires());

  // Three specimens: too few for either test.
  io::ImportedSample three = io::import_landmarks(kSkulls);
  three.rows.conservativeResize(3, Eigen::NoChange);
  three.names.resize(3);
  s.load_sample({std::move(three), "three"});
  EXPECT_FALSE(s.x());
  s.set_x(file_x(Eigen::Vector3d(1, 2, 3)));
  EXPECT_EQ(refusal([&] { s.distance_test({}); }),
            "The Procrustes-distance test needs at least four specimens; this sample has 3.");
  EXPECT_EQ(refusal([&] { s.permutation_test({}); }),
            "The permutation test needs at least four specimens; this sample has 3.");
}

// Copies of one skull: every statistic refuses them with one text, after the
// checks of X, as the program does.
TEST(Session, SamplesWithoutShapeVariationAreRefusedByEveryStatistic) {
  io::ImportedSample copies = io::import_landmarks(kSkulls);
  copies.rows = copies.rows.row(4).replicate(copies.rows.rows(), 1).eval();
  for (Method method : {Method::Classic, Method::Optimal}) {
    Session s;
    s.superimpose({method});
    s.load_sample({copies, "copies"});
    s.set_x(file_x(ages()));
    for (auto run : {+[](Session& t) { t.regression({}); }, +[](Session& t) { t.wilks({}); },
                     +[](Session& t) { t.distance_test({}); }, +[](Session& t) { t.pca({}); },
                     +[](Session& t) { t.permutation_test({}); }}) {
      EXPECT_EQ(refusal([&] { run(s); }, ErrorKind::Numeric),
                "All specimens have the same shape after superimposition: there is no shape "
                "variation to analyse.");
    }
    EXPECT_FALSE(s.regression());
    s.set_x(file_x(Eigen::VectorXd::Constant(copies.rows.rows(), 2)));
    EXPECT_EQ(refusal([&] { s.distance_test({}); }),
              "All X values are equal (2), so the regression slope is undefined. Load an "
              "independent variable that varies.");
  }
}

// Three landmarks a specimen: X is taken without scores; the statistics of
// the landmarks run, those of the spline refuse with its reason.
TEST(Session, ThreeLandmarkSamplesServeTheTestsWithoutTheSpline) {
  const io::ImportedSample in = io::import_landmarks(kSkulls);
  io::ImportedSample three = in;
  three.rows.resize(in.rows.rows(), 10);
  three.rows << in.rows.leftCols(9), in.rows.rightCols(1);
  Session s;
  s.load_sample({in, "skulls.txt"});
  EXPECT_EQ(s.set_wireframe({io::parse_wire_list("1 1 2\n2 2 3\n3 2 1\n", "w.txt"), "w.txt"}).note,
            "Wireframe \"w.txt\": left out 1 repeated wires and 0 that join a landmark to itself; "
            "2 wires remain.");
  EXPECT_EQ(s.load_sample({three, "three"}).wire_note,
            "The wireframe was loaded for samples of 12 landmarks; this sample has 3: wireframe "
            "removed.");

  Eigen::VectorXd x = ages();
  x(3) = 1.9;  // ties the third-smallest X: four specimens at 1.9 or less
  EXPECT_FALSE(s.set_x(file_x(x)).scores);
  const std::string no_basis =
      "The thin-plate spline basis of the reference is undefined: it needs at least four "
      "landmarks, and the reference has 3.";
  EXPECT_EQ(refusal([&] { s.wilks({}); }), no_basis);
  EXPECT_EQ(refusal([&] { s.regression({}); }, ErrorKind::Numeric), no_basis);
  const DistanceTestReport d = s.distance_test({});
  EXPECT_EQ(d.test.first, (std::vector<Eigen::Index>{3, 11, 16, 69}));
  EXPECT_EQ(tied_start_text(d.start_specimens, d.start_x_limit),
            " The starting shape is the mean of 4 specimens, all those with X at most 1.9 (the "
            "third-smallest X is tied).");
  EXPECT_EQ(tied_start_text(3, 1.9), "");
  const double r2 = s.permutation_test({99, 1, {}}).result.r_squared;
  EXPECT_TRUE(r2 > 0 && r2 < 1) << r2;
}

// X from about 1e-299 to 1e299 on the ln scale gives what ln X given on the
// linear scale gives; taken as it is, every figure is still a number.
TEST(Session, ExtremeXOnTheLnScaleMatchesItsLogsOnTheLinearScale) {
  const Eigen::VectorXd logs = 77.0 * (ages().array() - 10.55);  // about ±689
  Session ln = example_session(Method::Optimal), linear = example_session(Method::Optimal);
  ln.set_x(file_x(logs.array().exp()));
  ln.set_scale(Scale::Log);
  linear.set_x(file_x(logs));
  const Regression a = *ln.regression({}).regression, b = *linear.regression({}).regression;
  EXPECT_NEAR(a.x_range, logs.maxCoeff() - logs.minCoeff(), 1e-9 * a.x_range);
  EXPECT_TRUE(a.delta.isApprox(b.delta, 1e-9));
  EXPECT_NEAR(ln.permutation_test({99, 5, {}}).result.r_squared,
              linear.permutation_test({99, 5, {}}).result.r_squared, 1e-9);

  ln.set_scale(Scale::Linear);
  EXPECT_TRUE(ln.regression({}).regression->delta.allFinite());
  const double lambda = ln.wilks({}).wilks.lambda;
  EXPECT_TRUE(lambda > 0 && lambda <= 1) << lambda;
  EXPECT_TRUE(std::isfinite(ln.distance_test({}).test.p));
  ln.set_x(file_x(1e306 * ages()));  // their sum overflows
  EXPECT_NEAR(ln.regression({}).regression->x_mean / 1e306, ages().mean(), 1e-12);
}

// Every raw specimen turned, moved and rescaled at random: with the optimal
// superimposition the analysis sees the same shapes, so every quantity that
// does not depend on the orientation of the axes is the same.
TEST(Session, OptimalAnalysisIgnoresThePoseAndSizeOfTheSpecimens) {
  const io::ImportedSample in = io::import_landmarks(kSkulls);
  Session base = example_session(Method::Optimal);
  const RegressionReport reg0 = base.regression({});
  const double r2 = base.permutation_test({99, 3, {}}).result.r_squared;
  const stats::DistanceTest d0 = base.distance_test({}).test;
  const Eigen::VectorXd var0 = base.pca({}).pca->variances;
  for (unsigned seed = 1; seed <= 5; ++seed) {
    testing::RandomShapes random(seed);
    io::ImportedSample moved = in;
    const Eigen::Index k = in.rows.cols() / 3;
    for (Eigen::Index i = 0; i < in.rows.rows(); ++i) {
      shape::Config c(k, 3);
      for (Eigen::Index j = 0; j < k; ++j) c.row(j) = in.rows.block(i, 3 * j, 1, 3);
      c = random.moved_copy(c);
      for (Eigen::Index j = 0; j < k; ++j) moved.rows.block(i, 3 * j, 1, 3) = c.row(j);
    }
    Session s;
    s.superimpose({Method::Optimal});
    s.load_sample({std::move(moved), "moved"});
    s.set_x(file_x(ages()));
    const RegressionReport reg = s.regression({});
    const double tol = 1e-9;
    // The axes of the reference may come out with other signs, and the
    // scores with them: their sizes agree.
    EXPECT_TRUE(reg.regression->slopes.cwiseAbs().isApprox(reg0.regression->slopes.cwiseAbs(), tol))
        << "seed " << seed;
    EXPECT_NEAR(s.permutation_test({99, 3, {}}).result.r_squared, r2, tol) << "seed " << seed;
    const stats::DistanceTest d = s.distance_test({}).test;
    EXPECT_TRUE(d.distances.isApprox(d0.distances, tol)) << "seed " << seed;
    EXPECT_NEAR(d.fit.r, d0.fit.r, tol) << "seed " << seed;
    EXPECT_TRUE(s.pca({}).pca->variances.isApprox(var0, tol)) << "seed " << seed;
  }
}

// A wireframe's refusals name the file as given (its path); its note names
// it as the window shows it, when that name is given.
TEST(Session, AWireframeIsNamedByItsPathInRefusalsAndByItsNameInTheNote) {
  Session s;
  s.load_sample({io::import_landmarks(kSkulls), "skulls.txt"});
  EXPECT_EQ(refusal(
                [&] {
                  s.set_wireframe({io::parse_wire_list("1 2 13\n", "d/w.txt"), "d/w.txt", "w.txt"});
                },
                ErrorKind::Numeric),
            "\"d/w.txt\" line 1: landmark 13 is beyond the 12 landmarks of the loaded sample.");
  EXPECT_EQ(
      s.set_wireframe({io::parse_wire_list("1 1 2\n2 1 2\n", "d/w.txt"), "d/w.txt", "w.txt"}).note,
      "Wireframe \"w.txt\": left out 1 repeated wires and 0 that join a landmark to itself; "
      "1 wires remain.");
}

}  // namespace
}  // namespace velmora::analysis
