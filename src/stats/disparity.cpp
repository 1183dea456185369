#include "stats/disparity.hpp"

#include <Eigen/QR>
#include <cmath>

#include "core/errors.hpp"
#include "core/number_text.hpp"
#include "core/shown_text.hpp"
#include "core/tolerances.hpp"
#include "stats/group_comparisons.hpp"
#include "stats/procrustes_anova.hpp"

namespace velmora::stats {

namespace {

std::string cell(double v, bool full) {
  return full ? shortest_number(v) : message_number(v);
}

}  // namespace

Disparity disparity(const Eigen::Ref<const Eigen::MatrixXd>& shape,
                    const std::vector<std::string>& group, const ModelDesign* model,
                    int permutations, std::uint64_t seed) {
  const Eigen::Index n = shape.rows();
  if (static_cast<Eigen::Index>(group.size()) != n)
    throw NumericError("The factor has " + std::to_string(group.size()) +
                       " values but the shape data " + std::to_string(n) + " specimens.");
  if (model && model->matrix.rows() != n)
    throw NumericError("The model has " + std::to_string(model->matrix.rows()) +
                       " rows but the shape data " + std::to_string(n) + " specimens.");
  if (permutations < 1)
    throw NumericError("The disparity test needs at least one permutation; " +
                       std::to_string(permutations) + " were asked for.");
  if (!shape.allFinite())
    throw NumericError("The shape data include values that are not finite numbers.");
  Disparity out;
  out.levels = factor_levels(group);
  out.permutations = permutations;
  out.seed = seed;
  out.model_residuals = model != nullptr;
  const auto g = static_cast<Eigen::Index>(out.levels.size());
  if (g < 2)
    throw NumericError("Comparing disparity needs at least two groups; the factor has " +
                       std::to_string(g) + ".");
  Eigen::VectorXi member(n);
  out.counts.assign(static_cast<std::size_t>(g), 0);
  for (Eigen::Index i = 0; i < n; ++i) {
    const auto at =
        std::lower_bound(out.levels.begin(), out.levels.end(), group[static_cast<std::size_t>(i)]);
    member(i) = static_cast<int>(at - out.levels.begin());
    ++out.counts[static_cast<std::size_t>(member(i))];
  }
  for (Eigen::Index l = 0; l < g; ++l)
    if (out.counts[static_cast<std::size_t>(l)] < 2)
      throw NumericError("The group \"" + shown_text(out.levels[static_cast<std::size_t>(l)]) +
                         "\" has one specimen; its Procrustes variance needs at least two.");

  Eigen::MatrixXd resid;
  if (model) {
    const Eigen::HouseholderQR<Eigen::MatrixXd> qr(model->matrix);
    const Eigen::MatrixXd q =
        qr.householderQ() * Eigen::MatrixXd::Identity(n, model->matrix.cols());
    resid = shape - q * (q.transpose() * shape);
  } else {
    resid = centre_within_groups(shape, group);
  }
  const Eigen::VectorXd d = resid.rowwise().squaredNorm();
  Eigen::VectorXd counts(g);
  for (Eigen::Index l = 0; l < g; ++l) counts(l) = static_cast<double>(out.counts[l]);
  auto variances = [&](const Eigen::VectorXd& values) {
    Eigen::VectorXd v = Eigen::VectorXd::Zero(g);
    for (Eigen::Index i = 0; i < n; ++i) v(member(i)) += values(i);
    return Eigen::VectorXd(v.cwiseQuotient(counts));
  };
  out.variance = variances(d);
  out.difference.resize(g, g);
  for (Eigen::Index i = 0; i < g; ++i)
    for (Eigen::Index j = 0; j < g; ++j)
      out.difference(i, j) = std::abs(out.variance(i) - out.variance(j));

  const Eigen::MatrixXi orderings = random_orderings(n, permutations, seed);
  Eigen::MatrixXi reaching = Eigen::MatrixXi::Ones(g, g);
  const Eigen::MatrixXd threshold = out.difference * (1 - kPermutationTieTolerance);
  Eigen::VectorXd permuted(n);
  for (int b = 0; b < permutations; ++b) {
    for (Eigen::Index i = 0; i < n; ++i) permuted(orderings(i, b)) = d(i);
    const Eigen::VectorXd v = variances(permuted);
    for (Eigen::Index i = 0; i < g; ++i)
      for (Eigen::Index j = i + 1; j < g; ++j)
        if (std::abs(v(i) - v(j)) >= threshold(i, j)) ++reaching(i, j);
  }
  out.p = Eigen::MatrixXd::Ones(g, g);
  for (Eigen::Index i = 0; i < g; ++i)
    for (Eigen::Index j = i + 1; j < g; ++j)
      out.p(i, j) = out.p(j, i) = reaching(i, j) / (permutations + 1.0);
  return out;
}

std::vector<std::vector<std::string>> disparity_rows(const Disparity& d, bool full) {
  std::vector<std::vector<std::string>> rows{{"GROUP", "n", "ProcVar"}};
  for (std::size_t l = 0; l < d.levels.size(); ++l)
    rows.push_back({shown_text(d.levels[l]), std::to_string(d.counts[l]),
                    cell(d.variance(static_cast<Eigen::Index>(l)), full)});
  rows.push_back({"GROUP", "GROUP", "|diff|", "Pr(>d)"});
  for (std::size_t a = 0; a < d.levels.size(); ++a)
    for (std::size_t b = a + 1; b < d.levels.size(); ++b) {
      const auto i = static_cast<Eigen::Index>(a), j = static_cast<Eigen::Index>(b);
      rows.push_back({shown_text(d.levels[a]), shown_text(d.levels[b]),
                      cell(d.difference(i, j), full), cell(d.p(i, j), full)});
    }
  return rows;
}

}  // namespace velmora::stats
