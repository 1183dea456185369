#include "stats/canonical_variates.hpp"

#include <gtest/gtest.h>

#include <cmath>

#include "core/errors.hpp"
#include "stats/example_data.hpp"

namespace velmora::stats {
namespace {

TEST(CanonicalVariates, AgreeWithLinearDiscriminantAnalysisOfR) {
  const Example e = read_example();
  std::vector<std::string> group;
  for (Eigen::Index i = 0; i < e.shape.rows(); ++i) {
    group.push_back(e.variables[1].levels[static_cast<std::size_t>(i)] +
                    (e.variables[2].values(i) > 10.5 ? "_old" : "_young"));
  }
  std::ifstream in(kData + "populations_lda.txt");
  std::map<std::string, std::vector<std::string>> want;
  for (std::string line; std::getline(in, line);) {
    std::istringstream words(line);
    std::string key;
    words >> key;
    if (key == "row") words >> key;
    for (std::string w; words >> w;) want[key].push_back(w);
  }
  const CanonicalVariates c = canonical_variates(e.shape, group, 99, 1);
  EXPECT_EQ(std::to_string(c.components), want["components"][0]);
  ASSERT_EQ(c.eigenvalues.size(), 3);
  for (Eigen::Index k = 0; k < 3; ++k) {
    const double w = std::stod(want["eigenvalues"][static_cast<std::size_t>(k)]);
    EXPECT_NEAR(c.eigenvalues(k), w, 1e-9 * w) << k;
  }
  for (std::size_t l = 0; l < c.levels.size(); ++l) {
    for (Eigen::Index j = 0; j < 4; ++j) {
      EXPECT_EQ(std::to_string(c.classification(static_cast<Eigen::Index>(l), j)),
                want[c.levels[l]][static_cast<std::size_t>(j)])
          << c.levels[l];
    }
  }
  for (std::size_t i = 0; i < c.assigned.size(); ++i)
    EXPECT_EQ(std::to_string(c.assigned[i]), want["assigned"][i]) << "specimen " << i + 1;
  // The scores have unit pooled within-group variance and separate the
  // groups by the eigenvalues: between SS / within SS of each variate.
  const Eigen::Index n = e.shape.rows();
  for (Eigen::Index k = 0; k < 3; ++k) {
    const Eigen::VectorXd v = c.scores.col(k);
    double within = 0, between = 0;
    for (const std::string& l : c.levels) {
      double mean = 0, count = 0;
      for (Eigen::Index i = 0; i < n; ++i)
        if (group[static_cast<std::size_t>(i)] == l) mean += v(i), ++count;
      mean /= count;
      for (Eigen::Index i = 0; i < n; ++i)
        if (group[static_cast<std::size_t>(i)] == l) within += (v(i) - mean) * (v(i) - mean);
      between += count * (mean - v.mean()) * (mean - v.mean());
    }
    EXPECT_NEAR(within / static_cast<double>(n - 4), 1.0, 1e-9);
    EXPECT_NEAR(between / within, c.eigenvalues(k), 1e-9 * c.eigenvalues(k));
  }
  // Distances are symmetric with zero diagonal; the old and young of a
  // population differ clearly.
  EXPECT_LT((c.mahalanobis - c.mahalanobis.transpose()).cwiseAbs().maxCoeff(), 1e-9);
  EXPECT_LT(c.mahalanobis_p(0, 1), 0.05);
  EXPECT_LT(c.procrustes_p(0, 1), 0.05);

  // Two populations: the distance and its permutation p against R's direct
  // computation with relabelled specimens (which checks the update that
  // avoids refitting the within-group covariance for each relabelling).
  const CanonicalVariates two = canonical_variates(e.shape, e.variables[1].levels, 999, 2);
  const double d = std::stod(want["mahalanobis"][0]), p = std::stod(want["mahalanobis"][1]);
  EXPECT_NEAR(two.mahalanobis(0, 1), d, 1e-9 * d);
  EXPECT_NEAR(two.mahalanobis_p(0, 1), p, 4 * std::sqrt(p * (1 - p) / 999));
}

// Within-group variation along x comes from group a alone, of two
// specimens: without either of them the rest has none, and the
// leave-one-out classification says so instead of dividing by roundoff.
TEST(CanonicalVariates, RefuseALeaveOneOutCovarianceThatIsSingular) {
  Eigen::MatrixXd shape(5, 2);
  shape << 0, 0, 1, 0, 5, 0, 5, 1, 5, 2;
  try {
    canonical_variates(shape, {"a", "a", "b", "b", "b"}, 9, 1);
    ADD_FAILURE() << "accepted";
  } catch (const NumericError& e) {
    EXPECT_STREQ(e.what(),
                 "The within-group variation of the components without specimen 1 is singular, "
                 "so it cannot be classified by the others.");
  }
}

}  // namespace
}  // namespace velmora::stats
