#include "stats/group_comparisons.hpp"

#include <gtest/gtest.h>

#include <cmath>

#include "core/errors.hpp"
#include "stats/example_data.hpp"

namespace velmora::stats {
namespace {

TEST(GroupComparisons, MeansAndSlopesMatchSeparateFitsAndAnIndependentRandomization) {
  const Example e = read_example();
  const auto want = read_golden("populations_numpy.txt").at("PAIR coast:inland");
  const Eigen::VectorXd log_cs = e.variables[0].values.array().log();
  const GroupComparison c = compare_groups(e.shape, e.variables[1].levels, log_cs, 999, 3);
  ASSERT_EQ(c.levels, (std::vector<std::string>{"coast", "inland"}));
  EXPECT_NEAR(c.distance(0, 1), std::stod(want[0]), 1e-10 * std::stod(want[0]));
  EXPECT_NEAR(c.angle(0, 1), std::stod(want[1]), 1e-9 * std::stod(want[1]));
  EXPECT_NEAR(c.length(0, 1), std::stod(want[2]), 1e-10 * std::stod(want[2]));
  EXPECT_DOUBLE_EQ(c.length(1, 0), -c.length(0, 1));
  const double ps[] = {c.distance_p(0, 1), c.angle_p(0, 1), c.length_p(0, 1)};
  for (int k = 0; k < 3; ++k) {
    const double p = std::stod(want[3 + static_cast<std::size_t>(k)]);
    EXPECT_NEAR(ps[k], p, 4 * std::sqrt(std::max(p * (1 - p), 0.01) / 999)) << k;
  }
  // Without a covariate the least-squares means are the group means.
  const GroupComparison m =
      compare_groups(e.shape, e.variables[1].levels, Eigen::VectorXd(), 99, 3);
  Eigen::RowVectorXd coast = Eigen::RowVectorXd::Zero(e.shape.cols());
  for (Eigen::Index i = 0; i < e.shape.rows(); i += 2) coast += e.shape.row(i) / 40.0;
  EXPECT_LT((m.means.row(0) - coast).norm(), 1e-15);
  EXPECT_EQ(m.slopes.size(), 0);

  // Refusals name the group.
  std::vector<std::string> lone(e.variables[1].levels);
  lone[5] = "island";
  try {
    compare_groups(e.shape, lone, log_cs, 9, 1);
    FAIL();
  } catch (const NumericError& err) {
    EXPECT_STREQ(err.what(),
                 "The group comparison needs two specimens or more in every group; "
                 "\"island\" has one.");
  }
  // And the covariate that does not vary within a group.
  Eigen::VectorXd flat = log_cs;
  for (Eigen::Index i = 1; i < flat.size(); i += 2) flat(i) = 1;
  try {
    compare_groups(e.shape, e.variables[1].levels, flat, 9, 1, "log(CS)");
    FAIL();
  } catch (const NumericError& err) {
    EXPECT_STREQ(err.what(),
                 "The slopes cannot be compared: log(CS) is the same for every specimen of group "
                 "\"inland\".");
  }
}

TEST(GroupComparisons, ResidualShapesRemoveTheModelAndCentringRemovesGroupMeans) {
  const Example e = read_example();
  const ModelDesign d = model_design(parse_model_formula("shape ~ log(CS) + population"),
                                     e.variables, e.shape.rows());
  const Eigen::RowVectorXd consensus = Eigen::RowVectorXd::LinSpaced(e.shape.cols(), 0, 1);
  const Eigen::MatrixXd r = model_residual_shapes(e.shape, d.matrix, consensus);
  // The residuals are orthogonal to every model column, and average to the consensus.
  const Eigen::MatrixXd centred = r.rowwise() - consensus;
  EXPECT_LT((d.matrix.transpose() * centred).cwiseAbs().maxCoeff(), 1e-12);
  EXPECT_LT((r.colwise().mean() - consensus).cwiseAbs().maxCoeff(), 1e-14);
  const Eigen::MatrixXd c = centre_within_groups(e.shape, e.variables[1].levels);
  const Eigen::MatrixXd by_group = centre_within_groups(c, e.variables[1].levels);
  EXPECT_LT((by_group - c).cwiseAbs().maxCoeff(), 1e-15);
  EXPECT_LT(c.colwise().sum().cwiseAbs().maxCoeff(), 1e-13);
}

}  // namespace
}  // namespace velmora::stats
