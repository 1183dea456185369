#include "shape/principal_components.hpp"

#include <gtest/gtest.h>

#include <cmath>

#include "shape/decompositions.hpp"
#include "shape/procrustes.hpp"
#include "shape/random_shapes.hpp"
#include "shape/tangent_coordinates.hpp"
#include "shape/test_support.hpp"

namespace velmora::shape {
namespace {

using testing::error_of;
using testing::RandomShapes;
using testing::stack_of;

// The data of tools/pca_and_tails.py and numpy's answers for it.
Eigen::MatrixXd numpy_data() {
  Eigen::MatrixXd y(6, 5);
  y << 0.31, -1.20, 0.55, 2.10, -0.40,  //
      1.05, 0.20, -0.75, 1.40, 0.90,    //
      -0.60, 0.85, 1.30, -0.20, 0.15,   //
      0.00, -0.45, -1.10, 0.65, 1.70,   //
      2.20, 1.10, 0.40, -1.30, -0.95,   //
      -0.90, 0.30, 0.95, 0.35, 0.60;
  return y;
}

TEST(PrincipalComponents, AgreeWithAnIndependentSvd) {
  Eigen::VectorXd variances(5), shares(5);
  variances << 2.608397143183816, 1.4913636946100204, 1.0235392637515555, 0.12592896382508609,
      0.00012093462952125014;
  shares << 0.49689907192010735, 0.28410445000048007, 0.19498400063847052, 0.023989439421087576,
      2.3038019854124819e-05;
  Eigen::MatrixXd scores(6, 5);
  scores << 1.281606031155426, 0.068731785578197965, -1.8167969257717576, -0.18519744623748891,
      -0.0021037198812371982,  //
      0.78925962040220421, 1.2490537530720776, 0.21562303013277978, 0.59665558444323674,
      0.0010626859925182974,  //
      -0.78680522480564996, -1.5438733737339962, 0.22843644341382363, 0.16638863381892435,
      -0.015784737883656752,  //
      1.3786829279567945, 0.6521072684989534, 1.2629842576956207, -0.42766976188631778,
      -0.0041433616533657069,  //
      -2.866234991184617, 1.0101877273013673, -0.18711165908168059, -0.16859162988906715,
      0.0029698965740929673,  //
      0.20349163647584229, -1.4362071607165998, 0.29686485361121462, 0.018414619750712763,
      0.017999236851647893;
  const ShapePca pca = principal_components(numpy_data());
  ASSERT_EQ(pca.variances.size(), 5);
  EXPECT_TRUE(pca.variances.isApprox(variances, 1e-12)) << pca.variances.transpose();
  EXPECT_TRUE(pca.shares.isApprox(shares, 1e-12));
  EXPECT_NEAR(pca.shares.sum(), 1.0, 1e-14);
  // Both sides sign each loading by its largest entry, so the scores agree
  // with their signs.
  EXPECT_TRUE(pca.scores.isApprox(scores, 1e-11)) << pca.scores;
  EXPECT_TRUE(pca.mean.isApprox(numpy_data().colwise().mean(), 1e-15));
}

TEST(PrincipalComponents, OrthonormalSignedLoadingsThatRebuildTheData) {
  RandomShapes rnd(41);
  Eigen::MatrixXd y(25, 8);
  for (Eigen::Index i = 0; i < y.size(); ++i) y(i) = rnd.normal() * (1 + i % 8);
  const ShapePca pca = principal_components(y);
  const Eigen::Index r = pca.variances.size();
  ASSERT_EQ(r, 8);
  EXPECT_TRUE((pca.loadings.transpose() * pca.loadings).isIdentity(1e-12));
  for (Eigen::Index j = 0; j < r; ++j) {
    Eigen::Index largest = 0;
    pca.loadings.col(j).cwiseAbs().maxCoeff(&largest);
    EXPECT_GT(pca.loadings(largest, j), 0) << "component " << j + 1;
    if (j > 0) {
      EXPECT_GE(pca.variances(j - 1), pca.variances(j));
    }
    // The variance of a column of scores is the component's variance.
    EXPECT_NEAR(pca.scores.col(j).squaredNorm() / 24, pca.variances(j), 1e-12 * pca.variances(0));
    EXPECT_NEAR(pca.scores.col(j).mean(), 0, 1e-12);
  }
  const Eigen::MatrixXd centred = y.rowwise() - y.colwise().mean();
  EXPECT_TRUE((pca.scores * pca.loadings.transpose()).isApprox(centred, 1e-12));
  // A turn of the variables turns the loadings and keeps the variances.
  const Eigen::MatrixXd turn =
      Eigen::MatrixXd(Eigen::MatrixXd::Random(8, 8)).householderQr().householderQ();
  EXPECT_TRUE(principal_components(y * turn).variances.isApprox(pca.variances, 1e-12));
}

TEST(PrincipalComponents, TangentCoordinatesOfASuperimposedSampleHaveAtMost3kMinus7) {
  RandomShapes rnd(42);
  const Eigen::Index k = 5;  // 3k − 7 = 8 shape dimensions
  const Config base = rnd.unit_cloud(k);
  std::vector<Config> specimens;
  for (int i = 0; i < 30; ++i) {
    Config c = base;
    for (Eigen::Index j = 0; j < c.size(); ++j) c(j) += 0.03 * rnd.normal();
    specimens.push_back(rnd.moved_copy(c));
  }
  const GpaResult gpa = gpa_to_convergence(stack_of(specimens));
  const Eigen::MatrixXd t = tangent_coordinates(gpa.reference, gpa.fitted);
  ASSERT_EQ(t.rows(), 30);
  ASSERT_EQ(t.cols(), 3 * k);
  const Eigen::Map<const Eigen::VectorXd> mu(gpa.reference.data(), 3 * k);
  EXPECT_LT((t * mu).cwiseAbs().maxCoeff(), 1e-14);  // in the tangent plane
  const ShapePca pca = principal_components(t);
  EXPECT_EQ(pca.variances.size(), 3 * k - 7);

  // Moving along a component by f standard deviations moves f·σ from the mean
  // shape, symmetrically.
  const Config mean_shape = component_shape(gpa.reference, pca, 0, 0.0);
  const Config plus = component_shape(gpa.reference, pca, 1, 2.0);
  const Config minus = component_shape(gpa.reference, pca, 1, -2.0);
  EXPECT_NEAR((plus - mean_shape).norm(), 2 * std::sqrt(pca.variances(1)), 1e-14);
  EXPECT_TRUE((plus + minus).isApprox(2 * mean_shape, 1e-14));
  const Config step = plus - mean_shape, offset = mean_shape - gpa.reference;
  const Eigen::Map<const Eigen::VectorXd> moved(step.data(), 3 * k);
  EXPECT_NEAR(moved.dot(pca.loadings.col(1)), 2 * std::sqrt(pca.variances(1)), 1e-14);
  const Eigen::Map<const Eigen::RowVectorXd> mean_moved(offset.data(), 3 * k);
  EXPECT_LT((mean_moved - pca.mean).cwiseAbs().maxCoeff(), 1e-15);

  EXPECT_EQ(error_of([&] { component_shape(gpa.reference, pca, 8, 1.0); }),
            "Principal component 9 does not exist: the sample has 8.");
  EXPECT_EQ(error_of([&] { component_shape(gpa.reference, pca, -1, 1.0); }),
            "Principal component 0 does not exist: the sample has 8.");
  EXPECT_EQ(error_of([&] { component_shape(Config::Zero(4, 3), pca, 0, 1.0); }),
            "The principal components describe 15 shape variables, but a reference of 4 "
            "landmarks has 12.");
  EXPECT_EQ(error_of([&] { component_shape(gpa.reference, pca, 0, std::nan("")); }),
            "The shape along a principal component cannot be formed: a value is not a finite "
            "number.");
}

TEST(TangentCoordinates, ProjectOrthogonallyAtTheReference) {
  RandomShapes rnd(43);
  const Config ref = rnd.unit_cloud(6);
  Config near = ref;
  for (Eigen::Index j = 0; j < near.size(); ++j) near(j) += 1e-5 * rnd.normal();
  near.rowwise() -= near.colwise().mean();
  near /= near.norm();
  const Eigen::MatrixXd t = tangent_coordinates(ref, stack_of({ref, near}));
  EXPECT_LT(t.row(0).norm(), 1e-15);  // the reference itself
  // Close to the reference the projection is the plain deviation, to second
  // order in its size.
  const Config deviation = near - ref;
  const Eigen::Map<const Eigen::RowVectorXd> plain(deviation.data(), 18);
  EXPECT_LT((t.row(1) - plain).norm(), 1e-8);
  // A reference of any size gives the same coordinates.
  EXPECT_LT((tangent_coordinates(1e6 * ref, stack_of({ref, near})) - t).cwiseAbs().maxCoeff(),
            1e-15);

  EXPECT_EQ(error_of([&] { tangent_coordinates(Config::Zero(6, 3), stack_of({ref})); }),
            "Tangent coordinates cannot be formed: the reference has all coordinates zero.");
  Config broken = ref;
  broken(2, 2) = std::numeric_limits<double>::infinity();
  EXPECT_EQ(error_of([&] {
              tangent_coordinates(ref, stack_of({ref, broken}));
            }),
            "Tangent coordinates cannot be formed: the coordinates include values that are not "
            "finite numbers.");
  EXPECT_EQ(error_of([&] { tangent_coordinates(ref, Stack(6, 0)); }),
            "Tangent coordinates need at least one specimen; the sample is empty.");
  EXPECT_EQ(error_of([&] { tangent_coordinates(rnd.unit_cloud(5), stack_of({ref})); }),
            "The reference has 5 landmarks but each specimen has 6.");
}

TEST(PrincipalComponents, RefusesDataWithoutVariance) {
  EXPECT_EQ(error_of([] { principal_components(Eigen::MatrixXd::Ones(1, 4)); }),
            "Principal components need at least two specimens; the sample has 1.");
  Eigen::MatrixXd same = Eigen::MatrixXd::Constant(5, 3, 0.3);
  same(2, 1) = 0.1 + 0.2;  // 0.3 up to the last bit
  EXPECT_EQ(error_of([&] { principal_components(same); }),
            "All specimens have the same shape after superimposition: there is no shape "
            "variation to analyse.");
  Eigen::MatrixXd broken = numpy_data();
  broken(0, 0) = std::nan("");
  EXPECT_EQ(error_of([&] { principal_components(broken); }),
            "Principal components cannot be found: the data include values that are not finite "
            "numbers.");
}

}  // namespace
}  // namespace velmora::shape
