#include "stats/outliers.hpp"

#include <Eigen/Eigenvalues>
#include <Eigen/SVD>
#include <algorithm>
#include <boost/math/special_functions/gamma.hpp>
#include <cmath>
#include <numeric>

#include "core/errors.hpp"
#include "core/number_text.hpp"
#include "core/tolerances.hpp"

namespace velmora::stats {

namespace {

using Index = Eigen::Index;

std::string name_of(const std::vector<std::string>& names, Index i) {
  const auto at = static_cast<std::size_t>(i);
  return at < names.size() ? names[at] : "specimen " + std::to_string(i + 1);
}

/// The groups' members, by code in ascending order.
std::vector<OutlierGroup> groups_of(const OutlierParams& params, Index n) {
  std::vector<OutlierGroup> groups;
  if (params.groups.empty()) {
    groups.push_back({});
    groups[0].members.resize(static_cast<std::size_t>(n));
    std::iota(groups[0].members.begin(), groups[0].members.end(), Index{0});
    return groups;
  }
  if (static_cast<Index>(params.groups.size()) != n) {
    throw NumericError("The outlier screen has " + std::to_string(params.groups.size()) +
                       " group codes for " + std::to_string(n) + " specimens.");
  }
  std::vector<int> codes = params.groups;
  std::sort(codes.begin(), codes.end());
  codes.erase(std::unique(codes.begin(), codes.end()), codes.end());
  for (int c : codes) {
    OutlierGroup g;
    g.code = c;
    for (Index i = 0; i < n; ++i)
      if (params.groups[static_cast<std::size_t>(i)] == c) g.members.push_back(i);
    groups.push_back(std::move(g));
  }
  return groups;
}

/// Distances, fence and Mahalanobis distances of one group.
void screen_group(const Eigen::Ref<const Eigen::MatrixXd>& tangent, double share, OutlierGroup& g,
                  OutlierReport& r) {
  const auto n = static_cast<Index>(g.members.size());
  if (n < 3) {
    throw NumericError("Group " + std::to_string(g.code) + " has " + std::to_string(n) +
                       " specimen" + (n == 1 ? "" : "s") +
                       "; the outlier screen needs at least 3 in every group.");
  }
  Eigen::MatrixXd centred(n, tangent.cols());
  for (Index s = 0; s < n; ++s)
    centred.row(s) = tangent.row(g.members[static_cast<std::size_t>(s)]);
  centred.rowwise() -= centred.colwise().mean();
  std::vector<double> d(static_cast<std::size_t>(n));
  for (Index s = 0; s < n; ++s) {
    d[static_cast<std::size_t>(s)] = centred.row(s).norm();
    r.distance(g.members[static_cast<std::size_t>(s)]) = d[static_cast<std::size_t>(s)];
  }
  g.q1 = quantile_type7(d, 0.25);
  g.q3 = quantile_type7(d, 0.75);
  g.fence = g.q3 + 1.5 * (g.q3 - g.q1);

  // Principal components from the smaller cross-product: with the Gram
  // matrix C·Cᵀ = U·Λ·Uᵀ the scores are U·√Λ, with Cᵀ·C = V·Λ·Vᵀ they are
  // C·V; either way score²/variance = (n − 1)·score²/λ.
  const bool gram = n <= centred.cols();
  const Eigen::MatrixXd product = gram ? Eigen::MatrixXd(centred * centred.transpose())
                                       : Eigen::MatrixXd(centred.transpose() * centred);
  const Eigen::SelfAdjointEigenSolver<Eigen::MatrixXd> eig(product);
  const Eigen::VectorXd lambda = eig.eigenvalues().reverse();
  const Eigen::MatrixXd vectors = eig.eigenvectors().rowwise().reverse();
  if (!(lambda(0) > 0)) {
    throw NumericError("The specimens of group " + std::to_string(g.code) +
                       " all have the same shape; the outlier screen needs shape variance.");
  }
  Index rank = 0;
  while (rank < lambda.size() && lambda(rank) > kComponentTolerance * lambda(0)) ++rank;
  const double total = lambda.head(rank).sum();
  Index m = 0;
  double reached = 0;
  while (m < rank && reached < share * total) reached += lambda(m++);
  m = std::max<Index>(1, std::min(m, n - 2));
  g.components = m;
  const Eigen::MatrixXd scores =
      gram ? Eigen::MatrixXd(vectors.leftCols(m) * lambda.head(m).cwiseSqrt().asDiagonal())
           : Eigen::MatrixXd(centred * vectors.leftCols(m));
  for (Index s = 0; s < n; ++s) {
    const double d2 = static_cast<double>(n - 1) *
                      (scores.row(s).array().square() / lambda.head(m).transpose().array()).sum();
    const Index i = g.members[static_cast<std::size_t>(s)];
    r.mahalanobis(i) = std::sqrt(d2);
    r.probability(i) = boost::math::gamma_q(0.5 * static_cast<double>(m), 0.5 * d2);
  }
}

/// ‖x‖² + ‖m‖² − 2·(the largest trace of a proper rotation of `cross`).
double fitted_distance(const Eigen::Matrix3d& cross, double sum_of_squares) {
  const Eigen::JacobiSVD<Eigen::Matrix3d> svd(cross, Eigen::ComputeFullU | Eigen::ComputeFullV);
  const Eigen::Vector3d& s = svd.singularValues();
  const double d = (svd.matrixU() * svd.matrixV().transpose()).determinant() < 0 ? -1.0 : 1.0;
  return std::sqrt(std::max(0.0, sum_of_squares - 2 * (s(0) + s(1) + d * s(2))));
}

}  // namespace

double quantile_type7(std::vector<double> values, double p) {
  if (values.empty() || !(p >= 0 && p <= 1))
    throw NumericError("A quantile needs at least one value and a probability from 0 to 1.");
  std::sort(values.begin(), values.end());
  const double h = static_cast<double>(values.size() - 1) * p;
  const auto lo = static_cast<std::size_t>(std::floor(h));
  const std::size_t hi = std::min(lo + 1, values.size() - 1);
  return values[lo] + (h - static_cast<double>(lo)) * (values[hi] - values[lo]);
}

OutlierReport outlier_screen(const Eigen::Ref<const Eigen::MatrixXd>& tangent,
                             const OutlierParams& params) {
  const Index n = tangent.rows();
  if (!tangent.allFinite())
    throw NumericError("The tangent coordinates of the outlier screen are not all finite.");
  OutlierReport r;
  r.distance.resize(n);
  r.mahalanobis.resize(n);
  r.probability.resize(n);
  r.groups = groups_of(params, n);
  for (OutlierGroup& g : r.groups) screen_group(tangent, params.variance_share, g, r);
  r.order.resize(static_cast<std::size_t>(n));
  std::iota(r.order.begin(), r.order.end(), Index{0});
  std::stable_sort(r.order.begin(), r.order.end(),
                   [&](Index a, Index b) { return r.distance(a) > r.distance(b); });
  std::vector<double> fence(static_cast<std::size_t>(n));
  for (const OutlierGroup& g : r.groups)
    for (Index i : g.members) fence[static_cast<std::size_t>(i)] = g.fence;
  for (Index i : r.order)
    if (r.distance(i) > fence[static_cast<std::size_t>(i)]) r.above_fence.push_back(i);
  return r;
}

std::string outlier_report_text(const OutlierReport& report, const std::vector<std::string>& names,
                                bool full_precision) {
  std::string text;
  for (Index i : report.order) {
    const double d = report.distance(i);
    text +=
        name_of(names, i) + "  " + (full_precision ? shortest_number(d) : message_number(d)) + "\n";
  }
  return text;
}

std::vector<LandmarkSwap> find_swapped_landmarks(const shape::Config& mean,
                                                 const shape::Stack& fitted, int screened,
                                                 int neighbours) {
  const Index k = mean.rows();
  shape::require_same_landmarks(k, "the mean", fitted.k(), "the sample");
  if (k < 3) throw NumericError("Looking for swapped landmarks needs at least 3 landmarks.");
  const Index top = std::min<Index>(k, std::max(2, screened));
  const Index near = std::min<Index>(k - 1, std::max(0, neighbours));

  // Each landmark's nearest landmarks in the mean.
  std::vector<std::vector<Index>> nearest(static_cast<std::size_t>(k));
  std::vector<Index> others(static_cast<std::size_t>(k));
  for (Index a = 0; a < k; ++a) {
    std::iota(others.begin(), others.end(), Index{0});
    const auto gap = [&](Index b) {
      return b == a ? INFINITY : (mean.row(b) - mean.row(a)).squaredNorm();
    };
    std::partial_sort(others.begin(), others.begin() + near, others.end(),
                      [&](Index x, Index y) { return gap(x) < gap(y); });
    nearest[static_cast<std::size_t>(a)].assign(others.begin(), others.begin() + near);
  }
  const double mean_squares = mean.squaredNorm();

  std::vector<LandmarkSwap> found;
  std::vector<Index> landmarks(static_cast<std::size_t>(k));
  std::vector<std::pair<Index, Index>> candidates;
  Eigen::VectorXd residual(k);
  for (Index i = 0; i < fitted.n(); ++i) {
    const auto x = fitted.slice(i);
    residual = (x - mean).rowwise().squaredNorm();
    std::iota(landmarks.begin(), landmarks.end(), Index{0});
    std::partial_sort(landmarks.begin(), landmarks.begin() + top, landmarks.end(),
                      [&](Index a, Index b) { return residual(a) > residual(b); });
    candidates.clear();
    for (Index s = 0; s < top; ++s) {
      const Index a = landmarks[static_cast<std::size_t>(s)];
      for (Index t = s + 1; t < top; ++t)
        candidates.emplace_back(std::minmax(a, landmarks[static_cast<std::size_t>(t)]));
      for (Index b : nearest[static_cast<std::size_t>(a)])
        candidates.emplace_back(std::minmax(a, b));
    }
    std::sort(candidates.begin(), candidates.end());
    candidates.erase(std::unique(candidates.begin(), candidates.end()), candidates.end());

    const Eigen::Matrix3d cross = x.transpose() * mean;
    const double squares = x.squaredNorm() + mean_squares;
    const double before = fitted_distance(cross, squares);
    LandmarkSwap best{i, 0, 0, before, before};
    for (const auto& [a, b] : candidates) {
      const Eigen::Matrix3d swapped =
          cross + (x.row(b) - x.row(a)).transpose() * (mean.row(a) - mean.row(b));
      const double after = fitted_distance(swapped, squares);
      if (after < best.after) best = {i, a, b, before, after};
    }
    if (best.after < 0.5 * best.before) found.push_back(best);
  }
  return found;
}

std::string swap_text(const LandmarkSwap& swap, const std::vector<std::string>& names) {
  std::string who = "specimen " + std::to_string(swap.specimen + 1);
  const std::string name = name_of(names, swap.specimen);
  if (name != who) who += " (\"" + name + "\")";
  return who + ": landmarks " + std::to_string(swap.first + 1) + " and " +
         std::to_string(swap.second + 1) + " look swapped; its distance to the mean drops from " +
         message_number(swap.before) + " to " + message_number(swap.after);
}

void swap_landmarks(shape::Stack& sample, Index specimen, Index a, Index b) {
  if (specimen < 0 || specimen >= sample.n()) {
    throw NumericError("There is no specimen " + std::to_string(specimen + 1) +
                       "; the sample has " + std::to_string(sample.n()) + ".");
  }
  if (a < 0 || b < 0 || a >= sample.k() || b >= sample.k() || a == b) {
    throw NumericError("Landmarks " + std::to_string(a + 1) + " and " + std::to_string(b + 1) +
                       " are not two landmarks of the " + std::to_string(sample.k()) + ".");
  }
  auto x = sample.slice(specimen);
  const Eigen::RowVector3d t = x.row(a);
  x.row(a) = x.row(b);
  x.row(b) = t;
}

}  // namespace velmora::stats
