#include "stats/group_comparisons.hpp"

#include <Eigen/QR>
#include <algorithm>
#include <cmath>
#include <numbers>

#include "core/errors.hpp"
#include "core/shown_text.hpp"
#include "core/tolerances.hpp"
#include "shape/decompositions.hpp"
#include "stats/model_formula.hpp"
#include "stats/procrustes_anova.hpp"

namespace velmora::stats {

namespace {

struct PairStats {
  Eigen::MatrixXd distance, angle, length;
};

PairStats pair_stats(const Eigen::MatrixXd& means, const Eigen::MatrixXd& slopes) {
  const Eigen::Index g = means.rows();
  PairStats s{Eigen::MatrixXd::Zero(g, g), Eigen::MatrixXd::Zero(g, g),
              Eigen::MatrixXd::Zero(g, g)};
  for (Eigen::Index i = 0; i < g; ++i) {
    for (Eigen::Index j = 0; j < g; ++j) {
      s.distance(i, j) = (means.row(i) - means.row(j)).norm();
      if (slopes.size() == 0) continue;
      const double a = slopes.row(i).norm(), b = slopes.row(j).norm();
      const double c = a > 0 && b > 0 ? slopes.row(i).dot(slopes.row(j)) / (a * b) : 1.0;
      s.angle(i, j) = i == j ? 0.0 : std::acos(std::clamp(c, -1.0, 1.0)) * 180.0 / std::numbers::pi;
      s.length(i, j) = a - b;
    }
  }
  return s;
}

}  // namespace

GroupComparison compare_groups(const Eigen::Ref<const Eigen::MatrixXd>& shape,
                               const std::vector<std::string>& group,
                               const Eigen::Ref<const Eigen::VectorXd>& covariate, int permutations,
                               std::uint64_t seed, const std::string& covariate_name) {
  const Eigen::Index n = shape.rows();
  const bool slopes = covariate.size() > 0;
  if (static_cast<Eigen::Index>(group.size()) != n || (slopes && covariate.size() != n))
    throw NumericError("The group comparison has values for another number of specimens.");
  if (permutations < 1) throw NumericError("The group comparison needs at least one permutation.");
  GroupComparison out;
  out.levels = factor_levels(group);
  out.permutations = permutations;
  const auto g = static_cast<Eigen::Index>(out.levels.size());
  if (g < 2)
    throw NumericError("The group comparison needs two groups or more; the factor has one.");
  Eigen::VectorXi of(n);
  for (Eigen::Index i = 0; i < n; ++i)
    of(i) = static_cast<int>(
        std::lower_bound(out.levels.begin(), out.levels.end(), group[static_cast<std::size_t>(i)]) -
        out.levels.begin());
  const Eigen::VectorXd u =
      slopes ? Eigen::VectorXd(covariate.array() - covariate.mean()) : Eigen::VectorXd::Zero(n);
  // Weights: column l = least-squares mean of group l, column G + l = its slope.
  Eigen::MatrixXd w = Eigen::MatrixXd::Zero(n, slopes ? 2 * g : g);
  for (Eigen::Index l = 0; l < g; ++l) {
    const std::string& name = out.levels[static_cast<std::size_t>(l)];
    const auto count = static_cast<double>((of.array() == l).count());
    if (count < 2) {
      throw NumericError("The group comparison needs two specimens or more in every group; \"" +
                         shown_text(name) + "\" has one.");
    }
    double mean_u = 0, sxx = 0;
    for (Eigen::Index i = 0; i < n; ++i)
      if (of(i) == l) mean_u += u(i) / count;
    for (Eigen::Index i = 0; i < n; ++i)
      if (of(i) == l) sxx += (u(i) - mean_u) * (u(i) - mean_u);
    if (slopes && !(sxx > kEqualXTolerance * kEqualXTolerance * u.squaredNorm())) {
      throw NumericError("The slopes cannot be compared: " + shown_text(covariate_name) +
                         " is the same for every specimen of group \"" + shown_text(name) + "\".");
    }
    for (Eigen::Index i = 0; i < n; ++i) {
      if (of(i) != l) continue;
      w(i, l) = 1 / count - (slopes ? mean_u * (u(i) - mean_u) / sxx : 0.0);
      if (slopes) w(i, g + l) = (u(i) - mean_u) / sxx;
    }
  }
  // The null models: the distances between the means are randomized under
  // shape ~ 1 (shape ~ covariate with one), which holds no difference between
  // the groups; the slopes under shape ~ covariate + group, which holds the
  // groups' differences but one common slope.
  auto fitted_of = [&](const Eigen::MatrixXd& null) {
    const Eigen::HouseholderQR<Eigen::MatrixXd> qr(null);
    const Eigen::MatrixXd q = qr.householderQ() * Eigen::MatrixXd::Identity(n, null.cols());
    return Eigen::MatrixXd(q * (q.transpose() * shape));
  };
  Eigen::MatrixXd means_null(n, slopes ? 2 : 1);
  means_null.col(0).setOnes();
  if (slopes) means_null.col(1) = u;
  const Eigen::MatrixXd means_fitted = fitted_of(means_null);
  const Eigen::MatrixXd means_resid = shape - means_fitted;
  const auto means_w = w.leftCols(g);
  Eigen::MatrixXd slopes_fitted, slopes_resid;
  if (slopes) {
    Eigen::MatrixXd null(n, g + 1);
    null.leftCols(2) = means_null;
    for (Eigen::Index l = 1; l < g; ++l) null.col(l + 1) = (of.array() == l).cast<double>();
    slopes_fitted = fitted_of(null);
    slopes_resid = shape - slopes_fitted;
  }

  const Eigen::MatrixXd observed = w.transpose() * shape;
  out.means = observed.topRows(g);
  if (slopes) out.slopes = observed.bottomRows(g);
  const PairStats obs = pair_stats(out.means, out.slopes);
  out.distance = obs.distance;
  out.angle = obs.angle;
  out.length = obs.length;
  Eigen::MatrixXd reach_d = Eigen::MatrixXd::Ones(g, g), reach_a = reach_d, reach_l = reach_d;
  const Eigen::MatrixXd means_base = means_w.transpose() * means_fitted;
  const Eigen::MatrixXd slopes_base =
      slopes ? Eigen::MatrixXd(w.rightCols(g).transpose() * slopes_fitted) : Eigen::MatrixXd();
  const Eigen::MatrixXi orderings = random_orderings(n, permutations, seed);
  Eigen::MatrixXd pw(n, w.cols());
  const double keep = 1 - kPermutationTieTolerance;
  for (int b = 0; b < permutations; ++b) {
    for (Eigen::Index i = 0; i < n; ++i) pw.row(orderings(i, b)) = w.row(i);
    const Eigen::MatrixXd means = means_base + pw.leftCols(g).transpose() * means_resid;
    const PairStats d = pair_stats(means, Eigen::MatrixXd());
    reach_d += (d.distance.array() >= keep * obs.distance.array()).cast<double>().matrix();
    if (!slopes) continue;
    const Eigen::MatrixXd slope = slopes_base + pw.rightCols(g).transpose() * slopes_resid;
    const PairStats s = pair_stats(means, slope);
    reach_a += (s.angle.array() >= keep * obs.angle.array()).cast<double>().matrix();
    reach_l += (s.length.array().abs() >= keep * obs.length.array().abs()).cast<double>().matrix();
  }
  out.distance_p = reach_d / (permutations + 1.0);
  out.angle_p = reach_a / (permutations + 1.0);
  out.length_p = reach_l / (permutations + 1.0);
  return out;
}

Eigen::MatrixXd centre_within_groups(const Eigen::Ref<const Eigen::MatrixXd>& values,
                                     const std::vector<std::string>& group) {
  const std::vector<std::string> levels = factor_levels(group);
  Eigen::MatrixXd out = values;
  for (const std::string& l : levels) {
    Eigen::RowVectorXd mean = Eigen::RowVectorXd::Zero(values.cols());
    double count = 0;
    for (Eigen::Index i = 0; i < values.rows(); ++i)
      if (group[static_cast<std::size_t>(i)] == l) mean += values.row(i), ++count;
    mean /= count;
    for (Eigen::Index i = 0; i < values.rows(); ++i)
      if (group[static_cast<std::size_t>(i)] == l) out.row(i) -= mean;
  }
  return out;
}

Eigen::MatrixXd model_residual_shapes(const Eigen::Ref<const Eigen::MatrixXd>& shape,
                                      const Eigen::Ref<const Eigen::MatrixXd>& design,
                                      const Eigen::Ref<const Eigen::RowVectorXd>& consensus) {
  const Eigen::HouseholderQR<Eigen::MatrixXd> qr(design);
  const Eigen::MatrixXd q =
      qr.householderQ() * Eigen::MatrixXd::Identity(design.rows(), design.cols());
  Eigen::MatrixXd out = shape - q * (q.transpose() * shape);
  out.rowwise() += consensus;
  return out;
}

}  // namespace velmora::stats
