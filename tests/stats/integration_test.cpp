#include "stats/integration.hpp"

#include <gtest/gtest.h>

#include <Eigen/Geometry>
#include <Eigen/SVD>
#include <random>

#include "core/errors.hpp"
#include "shape/procrustes.hpp"
#include "shape/tangent_coordinates.hpp"
#include "stats/disparity.hpp"
#include "stats/effect_size.hpp"
#include "stats/group_comparisons.hpp"
#include "stats/integration_golden.hpp"
#include "stats/modularity.hpp"
#include "stats/procrustes_anova.hpp"

namespace velmora::stats {
namespace {

Eigen::MatrixXd golden_tangent() {
  Eigen::MatrixXd t(golden::kN, 3 * golden::kK);
  for (int i = 0; i < golden::kN; ++i)
    for (int j = 0; j < 3 * golden::kK; ++j) t(i, j) = golden::kTangent[i][j];
  return t;
}

std::vector<std::size_t> blocks_of(const std::size_t* b) {
  return {b, b + golden::kK};
}

void expect_relative(double got, double want, double tol, const char* what) {
  EXPECT_NEAR(got, want, tol * std::abs(want)) << what;
}

TEST(Integration, AgreesWithNumpy) {
  const Eigen::MatrixXd t = golden_tangent();
  const auto two = blocks_of(golden::kTwoBlocks), three = blocks_of(golden::kThreeBlocks);
  const Eigen::MatrixXd x = block_coordinates(t, two, 0), y = block_coordinates(t, two, 1);
  Eigen::MatrixXd cov(golden::kN, 2);
  for (int i = 0; i < golden::kN; ++i)
    cov.row(i) << golden::kCovariates[i][0], golden::kCovariates[i][1];
  // More variables than specimens in both blocks (12 and 15 for 10), then two covariates.
  const TwoBlockPls blocks = *two_block_pls(x, y, 9, 1), covariates = *two_block_pls(x, cov, 9, 1);
  ASSERT_EQ(blocks.singular_values.size(), 9);
  for (int i = 0; i < 9; ++i)
    expect_relative(blocks.singular_values(i), golden::kBlockSingularValues[i], 1e-10, "sv");
  for (int i = 0; i < 2; ++i)
    expect_relative(covariates.singular_values(i), golden::kCovariateSingularValues[i], 1e-10,
                    "covariate sv");
  expect_relative(blocks.r_pls, golden::kBlockRpls, 1e-10, "r-PLS");
  expect_relative(blocks.rv, golden::kBlockRv, 1e-10, "RV");
  expect_relative(covariates.r_pls, golden::kCovariateRpls, 1e-10, "covariate r-PLS");
  expect_relative(covariates.rv, golden::kCovariateRv, 1e-10, "covariate RV");
  EXPECT_NEAR(blocks.covariance_share.sum(), 1, 1e-14);
  // The scores are the centred blocks on the vectors.
  const Eigen::MatrixXd xc = x.rowwise() - x.colwise().mean();
  EXPECT_LT((xc * blocks.left_vectors.col(0) - blocks.left_scores).norm(), 1e-14);

  const ModularityTest m2 = *modularity_test(t, two, 9, 1), m3 = *modularity_test(t, three, 9, 1);
  expect_relative(m2.cr, golden::kCrTwo, 1e-10, "CR");
  expect_relative(m3.cr, golden::kCrThree, 1e-10, "CR of three blocks");
  expect_relative(m2.geomorph_cr, golden::kGeomorphCrTwo, 1e-10, "geomorph's CR");
  expect_relative(m3.geomorph_cr, golden::kGeomorphCrThree, 1e-10, "geomorph's CR, three");
  EXPECT_DOUBLE_EQ(m2.geomorph_angle, golden::kGeomorphAngleTwo);
  EXPECT_DOUBLE_EQ(m3.geomorph_angle, golden::kGeomorphAngleThree);

  const std::vector<std::string> groups(golden::kGroups, golden::kGroups + golden::kN);
  ModelDesign model;
  model.matrix.resize(golden::kN, 2);
  model.matrix << Eigen::VectorXd::Ones(golden::kN), cov.col(0);
  const Disparity plain = disparity(t, groups, nullptr, 9, 1);
  const Disparity residual = disparity(t, groups, &model, 9, 1);
  for (int g = 0; g < 3; ++g) {
    expect_relative(plain.variance(g), golden::kGroupVariance[g], 1e-10, "variance");
    expect_relative(residual.variance(g), golden::kModelVariance[g], 1e-10, "model variance");
  }

  const Eigen::Map<const Eigen::VectorXd> values(golden::kEffectValues, 200);
  const EffectSize e = box_cox_effect_size(values);
  EXPECT_NEAR(e.lambda, golden::kEffectLambda, 1e-6);
  EXPECT_NEAR(e.z, golden::kEffectZ, 1e-6);
}

/// n raw specimens of 12 landmarks in two modules (landmarks 0–5 and 6–11)
/// that vary by factors of their own and a shared one.
shape::Stack modular_raw(Eigen::Index n, std::mt19937_64& gen) {
  std::normal_distribution<double> normal;
  shape::Config mean(12, 3);
  for (Eigen::Index l = 0; l < 12; ++l)
    mean.row(l) << std::cos(0.5 * l) * (1 + 0.1 * l), std::sin(0.5 * l), 0.3 * l - 1.5;
  shape::Config load_a(12, 3), load_b(12, 3);
  for (Eigen::Index l = 0; l < 12; ++l)
    for (int d = 0; d < 3; ++d) load_a(l, d) = normal(gen), load_b(l, d) = normal(gen);
  shape::Stack raw(12, n);
  for (Eigen::Index i = 0; i < n; ++i) {
    const double a = normal(gen), b = normal(gen), shared = normal(gen);
    for (Eigen::Index l = 0; l < 12; ++l)
      for (int d = 0; d < 3; ++d)
        raw.slice(i)(l, d) =
            mean(l, d) + 0.02 * normal(gen) +
            0.03 * (l < 6 ? load_a(l, d) * (a + shared) : load_b(l, d) * (b + shared));
  }
  return raw;
}

// Each specimen turned, moved and rescaled on its own: after the
// superimposition, PLS and CR are as before; geomorph's CR is not asked to be.
TEST(Integration, TurningTheRawSpecimensChangesNothing) {
  std::mt19937_64 gen(4);
  const shape::Stack raw = modular_raw(30, gen);
  shape::Stack turned = raw;
  std::uniform_real_distribution<double> uniform(-1, 1);
  for (Eigen::Index i = 0; i < raw.n(); ++i) {
    const Eigen::Matrix3d r =
        Eigen::Quaterniond(Eigen::Vector4d(uniform(gen), uniform(gen), uniform(gen), uniform(gen)))
            .normalized()
            .toRotationMatrix();
    const Eigen::RowVector3d shift(uniform(gen), uniform(gen), uniform(gen));
    turned.slice(i) = ((3 + uniform(gen)) * (raw.slice(i) * r.transpose())).rowwise() + shift;
  }
  const std::vector<std::size_t> block{0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 1, 1};
  auto tangent = [](const shape::Stack& s) {
    const shape::GpaResult g = shape::gpa_to_convergence(s);
    return shape::tangent_coordinates(g.reference, g.fitted);
  };
  const Eigen::MatrixXd t0 = tangent(raw), t1 = tangent(turned);
  const ModularityTest m0 = *modularity_test(t0, block, 99, 3),
                       m1 = *modularity_test(t1, block, 99, 3);
  EXPECT_NEAR(m0.cr, m1.cr, 1e-9 * m0.cr);
  EXPECT_LT((m0.random_cr - m1.random_cr).cwiseAbs().maxCoeff(), 1e-9);
  EXPECT_EQ(m0.at_most, m1.at_most);
  const TwoBlockPls p0 =
      *two_block_pls(block_coordinates(t0, block, 0), block_coordinates(t0, block, 1), 99, 3);
  const TwoBlockPls p1 =
      *two_block_pls(block_coordinates(t1, block, 0), block_coordinates(t1, block, 1), 99, 3);
  EXPECT_LT((p0.singular_values - p1.singular_values).norm(), 1e-9 * p0.singular_values(0));
  EXPECT_LT((p0.random_r - p1.random_r).cwiseAbs().maxCoeff(), 1e-8);
  const BlockTangents s0 = separate_block_tangents(raw, block, 0, 1);
  const BlockTangents s1 = separate_block_tangents(turned, block, 0, 1);
  const TwoBlockPls q0 = *two_block_pls(s0.left, s0.right, 9, 3);
  const TwoBlockPls q1 = *two_block_pls(s1.left, s1.right, 9, 3);
  EXPECT_NEAR(q0.r_pls, q1.r_pls, 1e-9);
  EXPECT_LT((q0.singular_values - q1.singular_values).norm(), 1e-9 * q0.singular_values(0));
  // The modules are planted: CR lies below its random partitions.
  EXPECT_LT(m0.z, 0);
}

// The permutation distributions equal a straightforward recomputation with
// the same orderings: r-PLS from a full SVD of each permuted cross-product,
// CR from the covariance matrix of each random partition, the disparity
// differences from regrouped residuals.
TEST(Integration, PermutationsMatchAStraightforwardRecomputation) {
  std::mt19937_64 gen(9);
  const shape::Stack raw = modular_raw(40, gen);
  const shape::GpaResult g = shape::gpa_to_convergence(raw);
  const Eigen::MatrixXd t = shape::tangent_coordinates(g.reference, g.fitted);
  // Blocks of 7 and 5 landmarks: the Lanczos iterations run on the right side.
  const std::vector<std::size_t> block{0, 1, 0, 0, 1, 0, 1, 1, 0, 1, 0, 0};
  const Eigen::MatrixXd x = block_coordinates(t, block, 0), y = block_coordinates(t, block, 1);
  const int perms = 199;
  const TwoBlockPls pls = *two_block_pls(x, y, perms, 17);
  const Eigen::MatrixXi order = random_orderings(t.rows(), perms, 17);
  const Eigen::MatrixXd xc = x.rowwise() - x.colwise().mean(),
                        yc = y.rowwise() - y.colwise().mean();
  int reaching = 1;
  for (int b = 0; b < perms; ++b) {
    Eigen::MatrixXd xp(xc.rows(), xc.cols());
    for (Eigen::Index i = 0; i < xc.rows(); ++i) xp.row(order(i, b)) = xc.row(i);
    const Eigen::JacobiSVD<Eigen::MatrixXd> svd(xp.transpose() * yc,
                                                Eigen::ComputeThinU | Eigen::ComputeThinV);
    const Eigen::VectorXd a = xp * svd.matrixU().col(0), c = yc * svd.matrixV().col(0);
    const double r = a.dot(c) / (a.norm() * c.norm());
    EXPECT_NEAR(pls.random_r(b + 1), r, 1e-9) << "ordering " << b;
    reaching += r >= pls.r_pls;
  }
  EXPECT_EQ(pls.at_least_as_large, reaching);

  const ModularityTest m = *modularity_test(t, block, perms, 17);
  const Eigen::MatrixXi lm = random_orderings(12, perms, 17);
  const Eigen::MatrixXd s = (t.rowwise() - t.colwise().mean()).transpose() *
                            (t.rowwise() - t.colwise().mean()) / (t.rows() - 1.0);
  auto cr = [&](const std::vector<std::size_t>& bl) {
    double s12 = 0, s11 = 0, s22 = 0;
    for (int a = 0; a < 36; ++a)
      for (int c = 0; c < 36; ++c) {
        const std::size_t ba = bl[a % 12], bc = bl[c % 12];
        const double v = s(a, c) * s(a, c);
        if (ba != bc)
          s12 += v / 2;
        else if (a % 12 != c % 12)
          (ba == 0 ? s11 : s22) += v;
      }
    return std::sqrt(s12 / std::sqrt(s11 * s22));
  };
  EXPECT_NEAR(m.cr, cr(block), 1e-12);
  int at_most = 1;
  for (int b = 0; b < perms; ++b) {
    std::vector<std::size_t> bl(12);
    for (int j = 0; j < 12; ++j) bl[j] = block[static_cast<std::size_t>(lm(j, b))];
    const double v = cr(bl);
    EXPECT_NEAR(m.random_cr(b + 1), v, 1e-12);
    at_most += v <= m.cr;
  }
  EXPECT_EQ(m.at_most, at_most);

  std::vector<std::string> groups;
  for (Eigen::Index i = 0; i < t.rows(); ++i) groups.push_back(i % 3 == 0 ? "a" : "b");
  const Disparity d = disparity(t, groups, nullptr, perms, 17);
  const Eigen::MatrixXd resid = centre_within_groups(t, groups);
  int count = 1;
  for (int b = 0; b < perms; ++b) {
    double va = 0, vb = 0;
    for (Eigen::Index i = 0; i < t.rows(); ++i)
      (groups[static_cast<std::size_t>(order(i, b))] == "a" ? va : vb) +=
          resid.row(i).squaredNorm();
    count += std::abs(va / 14 - vb / 26) >= d.difference(0, 1) * (1 - 1e-10);
  }
  EXPECT_DOUBLE_EQ(d.p(0, 1), count / (perms + 1.0));
}

// A group whose blocks covary strongly has the larger effect size.
TEST(Integration, CompareIntegrationOrdersTheGroups) {
  std::mt19937_64 gen(2);
  std::normal_distribution<double> normal;
  Eigen::MatrixXd x(60, 4), y(60, 3);
  std::vector<std::string> group;
  for (Eigen::Index i = 0; i < 60; ++i) {
    const double f = normal(gen), w = i < 30 ? 1.0 : 0.1;
    for (int j = 0; j < 4; ++j) x(i, j) = normal(gen) + f;
    for (int j = 0; j < 3; ++j) y(i, j) = normal(gen) + w * f;
    group.push_back(i < 30 ? "strong" : "weak");
  }
  const IntegrationComparison c = compare_integration(x, y, group, 199, 5);
  EXPECT_GT(c.z(0), c.z(1));
  EXPECT_GT(c.pairwise_z(0, 1), 0);
  EXPECT_DOUBLE_EQ(c.pairwise_z(1, 0), -c.pairwise_z(0, 1));
  EXPECT_NEAR(c.z_variance(0), 198.0 / 199, 1e-15);
  EXPECT_EQ(integration_comparison_rows(c, false)[3],
            (std::vector<std::string>{"GROUP", "GROUP", "z", "Pr(>|z|)"}));
}

TEST(Integration, Refusals) {
  auto message = [](auto&& f) {
    try {
      f();
    } catch (const NumericError& e) {
      return std::string(e.what());
    }
    return std::string("no error");
  };
  const Eigen::MatrixXd t = golden_tangent();
  EXPECT_EQ(message([&] { two_block_pls(t.topRows(3), t.topRows(3)); }),
            "The two-block PLS needs at least four specimens; this sample has 3.");
  EXPECT_EQ(message([&] { two_block_pls(t, Eigen::MatrixXd::Ones(golden::kN, 2)); }),
            "The right block does not vary among the specimens.");
  std::vector<std::size_t> small = blocks_of(golden::kTwoBlocks);
  small[0] = 2;
  small[1] = 2;
  EXPECT_EQ(message([&] { modularity_test(t, small); }),
            "Block 1 has 2 landmarks; a block needs at least 3.");
  const std::vector<std::string> groups{"a", "a", "a", "a", "a", "a", "a", "a", "a", "b"};
  EXPECT_EQ(message([&] { disparity(t, groups); }),
            "The group \"b\" has one specimen; its Procrustes variance needs at least two.");
}

}  // namespace
}  // namespace velmora::stats
