// The session's integration, modularity and disparity: the partition of the
// landmarks into blocks, the two-block PLS between blocks (or between shape
// and covariates), the covariance ratio, the comparison of integration
// between groups and the Procrustes variances of groups.
#include <algorithm>
#include <cmath>
#include <tuple>

#include "analysis/session.hpp"
#include "core/shown_text.hpp"
#include "stats/model_formula.hpp"

namespace velmora::analysis {

namespace {

constexpr const char* kPlsCancelled = "The two-block PLS was cancelled.";
constexpr const char* kModularityCancelled = "The modularity test was cancelled.";

std::string no_partition_text() {
  return "No partition is loaded: choose File > Load Partition… first (in batch: open "
         "modules.txt, then LoadPartition).";
}

Eigen::Index block_size(const io::Partition& p, std::size_t which) {
  return static_cast<Eigen::Index>(std::count(p.block.begin(), p.block.end(), which));
}

// "face (12 landmarks)".
std::string block_name(const io::Partition& p, std::size_t which) {
  return shown_text(p.labels[which]) + " (" + std::to_string(block_size(p, which)) + " landmarks)";
}

}  // namespace

PartitionReport Session::load_partition(const std::string& path) {
  require(kNeedSample);
  const auto k = static_cast<std::size_t>(sample_->landmarks());
  io::Partition p = guarded([&] { return io::load_partition_file(path, k); });
  PartitionReport r;
  r.labels = p.labels;
  r.message = std::to_string(k) + " landmarks in " + std::to_string(p.labels.size()) + " blocks:";
  for (std::size_t b = 0; b < p.labels.size(); ++b) {
    r.counts.push_back(block_size(p, b));
    r.message += (b ? ", " : " ") + shown_text(p.labels[b]) + " " + std::to_string(r.counts[b]);
  }
  r.message += ".";
  partition_ = std::make_shared<const io::Partition>(std::move(p));
  partition_label_ = path;
  partition_landmarks_ = sample_->landmarks();
  return r;
}

std::shared_ptr<const io::Partition> Session::partition() const {
  if (!sample_ || !partition_ || partition_landmarks_ != sample_->landmarks()) return nullptr;
  return partition_;
}

std::pair<Eigen::MatrixXd, Eigen::MatrixXd> Session::pls_blocks(std::string& left,
                                                                std::string& right) const {
  const std::shared_ptr<const io::Partition> p = partition();
  if (!p) refuse(no_partition_text());
  left = block_name(*p, 0);
  right = block_name(*p, 1);
  return guarded([&]() -> std::pair<Eigen::MatrixXd, Eigen::MatrixXd> {
    if (pls_fit_ == PlsFit::Separate) {
      stats::BlockTangents t = stats::separate_block_tangents(sample_->raw(), p->block, 0, 1);
      return {std::move(t.left), std::move(t.right)};
    }
    const Eigen::MatrixXd& tangent = *fit_->tangent();
    return {stats::block_coordinates(tangent, p->block, 0),
            stats::block_coordinates(tangent, p->block, 1)};
  });
}

PlsReport Session::two_block_pls(const PlsParams& params) const {
  require(kNeedSample);
  require_shape_variation();
  PlsReport r;
  r.fit = pls_fit_;
  r.fit_note = fit_->note();
  Eigen::MatrixXd left, right;
  if (params.covariates.empty()) {
    std::tie(left, right) = pls_blocks(r.left, r.right);
  } else {
    // Shape, as superimposed, against the columns the covariates name.
    r.covariates = true;
    r.fit = PlsFit::Joint;
    r.left = "shape (" + std::to_string(sample_->landmarks()) + " landmarks)";
    const std::vector<stats::ModelVariable> variables = model_variables();
    std::string terms;
    for (const std::string& c : params.covariates) terms += (terms.empty() ? "" : " + ") + c;
    const stats::ModelDesign design = guarded([&] {
      return stats::model_design(stats::parse_model_formula("shape ~ " + terms), variables,
                                 sample_->specimens());
    });
    for (const stats::ModelTerm& t : design.terms) {
      for (const stats::TermPart& part : t.parts)
        for (const stats::ModelVariable& v : variables)
          if (v.name == part.variable && !v.numeric)
            refuse("\"" + shown_text(v.name) +
                   "\" is a factor; a two-block PLS with covariates takes columns of numbers.");
      r.right += (r.right.empty() ? "" : ", ") + shown_text(t.label());
    }
    left = *fit_->tangent();
    right = design.matrix.rightCols(design.matrix.cols() - 1);
  }
  auto pls = guarded([&] {
    return stats::two_block_pls(left, right, params.permutations, params.seed, params.progress);
  });
  if (!pls) throw Error(ErrorKind::Cancelled, kPlsCancelled);
  r.pls = std::move(*pls);
  if (r.fit == PlsFit::Joint) {
    // Tangent coordinates are stacked (all x, all y, all z), a block's in
    // the order of its landmarks.
    const Eigen::Index k = sample_->landmarks(), n = r.pls.n;
    const auto sd = [n](const Eigen::VectorXd& s) {
      return std::sqrt((s.array() - s.mean()).square().sum() / static_cast<double>(n - 1));
    };
    Eigen::RowVectorXd move = Eigen::RowVectorXd::Zero(3 * k);
    const double left_sd = sd(r.pls.left_scores), right_sd = sd(r.pls.right_scores);
    if (r.covariates) {
      move = params.shape_factor * left_sd * r.pls.left_vectors.col(0).transpose();
    } else {
      const io::Partition& p = *partition();
      for (std::size_t b = 0; b < 2; ++b) {
        const Eigen::VectorXd axis =
            b == 0 ? r.pls.left_vectors.col(0) : r.pls.right_vectors.col(0);
        const double scale = params.shape_factor * (b == 0 ? left_sd : right_sd);
        const Eigen::Index kb = axis.size() / 3;
        Eigen::Index j = 0;
        for (Eigen::Index i = 0; i < k; ++i) {
          if (p.block[static_cast<std::size_t>(i)] != b) continue;
          for (Eigen::Index c = 0; c < 3; ++c) move(c * k + i) = scale * axis(c * kb + j);
          ++j;
        }
      }
    }
    const Eigen::RowVectorXd mean = fit_->tangent()->colwise().mean();
    r.shape_change = true;
    r.reference = fit_->reference() + shape::config_of_stacked(mean);
    r.target = fit_->reference() + shape::config_of_stacked(mean + move);
  }
  return r;
}

ModularityReport Session::modularity_test(const ModularityParams& params) const {
  require(kNeedSample);
  const std::shared_ptr<const io::Partition> p = partition();
  if (!p) refuse(no_partition_text());
  require_shape_variation();
  auto test = guarded([&] {
    return stats::modularity_test(*fit_->tangent(), p->block, params.permutations, params.seed,
                                  params.progress);
  });
  if (!test) throw Error(ErrorKind::Cancelled, kModularityCancelled);
  ModularityReport r;
  r.test = std::move(*test);
  r.labels = p->labels;
  r.fit_note = fit_->note();
  return r;
}

IntegrationComparisonReport Session::compare_integration(
    const IntegrationComparisonParams& params) const {
  require(kNeedSample);
  if (!partition()) refuse(no_partition_text());
  require_shape_variation();
  const std::vector<stats::ModelVariable> variables = model_variables();
  const stats::ModelVariable& factor = factor_named(variables, params.factor);
  IntegrationComparisonReport r;
  r.fit = pls_fit_;
  r.fit_note = fit_->note();
  const auto [left, right] = pls_blocks(r.left, r.right);
  r.comparison = guarded([&] {
    return stats::compare_integration(left, right, factor.levels, params.permutations, params.seed);
  });
  return r;
}

DisparityReport Session::disparity(const DisparityParams& params) const {
  require(kNeedSample);
  require_shape_variation();
  const std::vector<stats::ModelVariable> variables = model_variables();
  const stats::ModelVariable& factor = factor_named(variables, params.factor);
  return guarded([&] {
    DisparityReport r;
    r.fit_note = fit_->note();
    if (choices_.formula.empty()) {
      r.disparity = stats::disparity(*fit_->tangent(), factor.levels, nullptr, params.permutations,
                                     params.seed);
      return r;
    }
    const stats::ModelDesign design = stats::model_design(
        stats::parse_model_formula(choices_.formula), variables, sample_->specimens());
    r.model = "shape ~";
    for (std::size_t t = 0; t < design.term_labels.size(); ++t)
      r.model += (t ? " + " : " ") + shown_text(design.term_labels[t]);
    r.disparity = stats::disparity(*fit_->tangent(), factor.levels, &design, params.permutations,
                                   params.seed);
    return r;
  });
}

}  // namespace velmora::analysis
