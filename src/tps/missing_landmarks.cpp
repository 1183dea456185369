#include "tps/missing_landmarks.hpp"

#include <Eigen/SVD>
#include <algorithm>
#include <cmath>
#include <map>

#include "core/errors.hpp"
#include "core/tolerances.hpp"
#include "shape/procrustes.hpp"
#include "shape/rotation.hpp"
#include "tps/point_warp.hpp"

namespace velmora::tps {

namespace {

using Index = Eigen::Index;
using Landmarks = std::vector<Index>;

/// The fewest present landmarks a thin-plate spline in 3-D is defined by.
constexpr Index kFewestPresent = 4;

std::string landmark_numbers(const Landmarks& landmarks) {
  std::string text = landmarks.size() == 1 ? "landmark " : "landmarks ";
  for (std::size_t j = 0; j < landmarks.size(); ++j)
    text += (j > 0 ? ", " : "") + std::to_string(landmarks[j] + 1);
  return text;
}

/// The rows `idx` of a configuration.
shape::Config rows_of(const Eigen::Ref<const shape::Config>& x, const Landmarks& idx) {
  shape::Config out(static_cast<Index>(idx.size()), 3);
  for (std::size_t j = 0; j < idx.size(); ++j) out.row(static_cast<Index>(j)) = x.row(idx[j]);
  return out;
}

/// One specimen's missing landmarks and the present ones, ascending.
struct Pattern {
  Landmarks missing;
  Landmarks present;
};

Pattern pattern_of(Index k, const Landmarks& missing) {
  Pattern p{missing, {}};
  std::vector<char> absent(static_cast<std::size_t>(k), 0);
  for (Index j : missing) absent[static_cast<std::size_t>(j)] = 1;
  for (Index j = 0; j < k; ++j)
    if (!absent[static_cast<std::size_t>(j)]) p.present.push_back(j);
  return p;
}

/// The missing landmarks of each specimen, checked against the sample.
std::vector<Landmarks> by_specimen(const shape::Stack& sample, const MissingList& missing) {
  std::vector<Landmarks> out(static_cast<std::size_t>(sample.n()));
  for (const auto& [i, j] : missing) {
    if (i < 0 || i >= sample.n() || j < 0 || j >= sample.k()) {
      throw NumericError("The missing landmark " + std::to_string(j + 1) + " of specimen " +
                         std::to_string(i + 1) + " is not in the sample of " +
                         std::to_string(sample.n()) + " specimens of " +
                         std::to_string(sample.k()) + " landmarks.");
    }
    out[static_cast<std::size_t>(i)].push_back(j);
  }
  for (Landmarks& l : out) {
    std::sort(l.begin(), l.end());
    l.erase(std::unique(l.begin(), l.end()), l.end());
  }
  return out;
}

void require_present(const EstimateParams& params, Index specimen, Index k, const Pattern& p) {
  const auto present = static_cast<Index>(p.present.size());
  if (present >= kFewestPresent) return;
  throw NumericError(specimen_label(params.names, specimen) + " misses " +
                     landmark_numbers(p.missing) + "; only " + std::to_string(present) +
                     " of its " + std::to_string(k) +
                     " landmarks remain, and estimating missing landmarks needs at least 4 present "
                     "ones.");
}

Index complete_needed(EstimateMethod method) {
  switch (method) {
    case EstimateMethod::Tps:
      return 1;
    case EstimateMethod::Regression:
      return 3;
    case EstimateMethod::Mirror:
      break;
  }
  return 0;
}

void require_complete(EstimateMethod method, Index have, Index needed, bool for_error) {
  if (have >= needed) return;
  throw NumericError(std::string(for_error ? "Measuring the error of the " : "The ") +
                     method_name(method) + " estimate" +
                     (for_error ? " " : " of missing landmarks ") + "needs at least " +
                     std::to_string(needed) + " complete specimen" + (needed == 1 ? "" : "s") +
                     (for_error ? " (one is left out in turn)" : "") + "; the sample has " +
                     std::to_string(have) + ".");
}

/// The standard superimposition of some specimens.
struct Frame {
  shape::Config consensus;
  shape::Stack fitted;
};

Frame frame_of(const shape::Stack& sample, const Landmarks& members) {
  shape::Stack sub(sample.k(), static_cast<Index>(members.size()));
  for (std::size_t m = 0; m < members.size(); ++m)
    sub.slice(static_cast<Index>(m)) = sample.slice(members[m]);
  shape::GpaResult g = shape::gpa_to_convergence(std::move(sub));
  return {std::move(g.reference), std::move(g.fitted)};
}

/// The partner of every landmark (itself when unpaired), checked.
std::vector<Index> partners_of(const std::vector<std::pair<int, int>>& pairs, Index k) {
  std::vector<Index> partner(static_cast<std::size_t>(k));
  for (Index j = 0; j < k; ++j) partner[static_cast<std::size_t>(j)] = j;
  for (const auto& [a, b] : pairs) {
    if (a < 0 || b < 0 || a >= k || b >= k || a == b) {
      throw NumericError("The landmark pair " + std::to_string(a + 1) + " and " +
                         std::to_string(b + 1) + " names no two landmarks of the " +
                         std::to_string(k) + ".");
    }
    for (int j : {a, b}) {
      if (partner[static_cast<std::size_t>(j)] != j)
        throw NumericError("Landmark " + std::to_string(j + 1) + " stands in two pairs.");
    }
    partner[static_cast<std::size_t>(a)] = b;
    partner[static_cast<std::size_t>(b)] = a;
  }
  return partner;
}

/// The thin-plate spline of `source` present landmarks onto `target`'s,
/// applied to `points`.
shape::Config spline_estimate(const shape::Config& source, const shape::Config& target,
                              const shape::Config& points) {
  const ThinPlateSpline spline(source, target);
  return spline.warp(points, 1);
}

shape::Config tps_estimate(const Frame& frame, const Eigen::Ref<const shape::Config>& x,
                           const Pattern& p) {
  return spline_estimate(rows_of(frame.consensus, p.present), rows_of(x, p.present),
                         rows_of(frame.consensus, p.missing));
}

shape::Config regression_estimate(const Frame& frame, const Eigen::Ref<const shape::Config>& x,
                                  const Pattern& p) {
  const Index m = frame.fitted.n();
  const auto q = static_cast<Index>(p.present.size());
  const auto r = static_cast<Index>(p.missing.size());
  Eigen::MatrixXd predictors(m, 3 * q), responses(m, 3 * r);
  for (Index s = 0; s < m; ++s) {
    predictors.row(s) = shape::stacked_of_config(rows_of(frame.fitted.slice(s), p.present));
    responses.row(s) = shape::stacked_of_config(rows_of(frame.fitted.slice(s), p.missing));
  }
  const Eigen::RowVectorXd mean_x = predictors.colwise().mean();
  const Eigen::RowVectorXd mean_y = responses.colwise().mean();
  predictors.rowwise() -= mean_x;
  responses.rowwise() -= mean_y;
  const Eigen::BDCSVD<Eigen::MatrixXd> svd(predictors, Eigen::ComputeThinU | Eigen::ComputeThinV);
  const Eigen::VectorXd& sv = svd.singularValues();
  // Directions below the rounding of coordinates of unit size are no
  // variation; without any, the estimate is the complete specimens' mean.
  const double floor = kComponentTolerance * std::max(sv.size() > 0 ? sv(0) : 0.0, 1.0);
  Index used = 0;
  while (used < sv.size() && sv(used) > floor) ++used;
  used = std::min(used, m - 2);
  const Eigen::MatrixXd coef = svd.matrixV().leftCols(used) *
                               sv.head(used).cwiseInverse().asDiagonal() *
                               svd.matrixU().leftCols(used).transpose() * responses;

  // The specimen's present landmarks fitted onto the consensus' present
  // landmarks: translation, scaling and the proper rotation.
  const shape::Config target = rows_of(frame.consensus, p.present);
  const shape::Config own = rows_of(x, p.present);
  const Eigen::RowVector3d own_centre = own.colwise().mean();
  const Eigen::RowVector3d target_centre = target.colwise().mean();
  const shape::Config centred = own.rowwise() - own_centre;
  const shape::Config target_centred = target.rowwise() - target_centre;
  const Eigen::Matrix3d turn =
      shape::rotation_from_cross_product(centred.transpose() * target_centred).rotation;
  const shape::Config turned = centred * turn;
  const double scale = turned.cwiseProduct(target_centred).sum() / turned.squaredNorm();
  const shape::Config in_frame = (scale * turned).rowwise() + target_centre;

  const Eigen::RowVectorXd predicted =
      mean_y + (shape::stacked_of_config(in_frame) - mean_x) * coef;
  const shape::Config estimate = shape::config_of_stacked(predicted);
  return (((estimate.rowwise() - target_centre) / scale) * turn.transpose()).rowwise() + own_centre;
}

shape::Config mirror_estimate(const EstimateParams& params, Index specimen,
                              const Eigen::Ref<const shape::Config>& x, const Pattern& p,
                              const std::vector<Index>& partner) {
  const Index k = x.rows();
  std::vector<char> present(static_cast<std::size_t>(k), 0);
  for (Index j : p.present) present[static_cast<std::size_t>(j)] = 1;
  for (Index j : p.missing) {
    const Index other = partner[static_cast<std::size_t>(j)];
    if (other == j) {
      throw NumericError("Landmark " + std::to_string(j + 1) + " of " +
                         specimen_label(params.names, specimen) +
                         " is missing and belongs to no landmark pair; the mirror estimate needs "
                         "its partner.");
    }
    if (!present[static_cast<std::size_t>(other)]) {
      throw NumericError("Landmark " + std::to_string(j + 1) + " of " +
                         specimen_label(params.names, specimen) +
                         " is missing, and so is its partner, landmark " +
                         std::to_string(other + 1) + "; the mirror estimate needs the partner.");
    }
  }
  // The mirror image with its labels swapped: landmark j of the mirror is
  // the reflection of the specimen's landmark partner(j).
  shape::Config mirror(k, 3);
  for (Index j = 0; j < k; ++j) {
    mirror.row(j) = x.row(partner[static_cast<std::size_t>(j)]);
    mirror(j, 0) = -mirror(j, 0);
  }
  Landmarks both;
  for (Index j : p.present)
    if (present[static_cast<std::size_t>(partner[static_cast<std::size_t>(j)])]) both.push_back(j);
  if (static_cast<Index>(both.size()) < kFewestPresent) {
    throw NumericError(specimen_label(params.names, specimen) + " has " +
                       std::to_string(both.size()) +
                       " landmarks present together with their partners; fitting its mirror image "
                       "needs at least 4.");
  }
  return spline_estimate(rows_of(mirror, both), rows_of(x, both), rows_of(mirror, p.missing));
}

/// The estimate of one specimen's missing landmarks, as rows in the order of
/// p.missing; spline failures name the specimen.
shape::Config estimate_one(const EstimateParams& params, const Frame* frame, Index specimen,
                           const Eigen::Ref<const shape::Config>& x, const Pattern& p,
                           const std::vector<Index>& partner) {
  try {
    switch (params.method) {
      case EstimateMethod::Tps:
        return tps_estimate(*frame, x, p);
      case EstimateMethod::Regression:
        return regression_estimate(*frame, x, p);
      case EstimateMethod::Mirror:
        break;
    }
    return mirror_estimate(params, specimen, x, p, partner);
  } catch (const NumericError& e) {
    const std::string what = e.what();
    if (what.find("specimen") != std::string::npos) throw;
    throw NumericError("Cannot estimate " + landmark_numbers(p.missing) + " of " +
                       specimen_label(params.names, specimen) + ": " + what);
  }
}

}  // namespace

const char* method_name(EstimateMethod method) {
  switch (method) {
    case EstimateMethod::Tps:
      return "tps";
    case EstimateMethod::Regression:
      return "regression";
    case EstimateMethod::Mirror:
      break;
  }
  return "mirror";
}

std::string specimen_label(const std::vector<std::string>& names, Index specimen) {
  std::string text = "specimen " + std::to_string(specimen + 1);
  const auto i = static_cast<std::size_t>(specimen);
  if (i < names.size() && names[i] != text) text += " (\"" + names[i] + "\")";
  return text;
}

MissingEstimate estimate_missing(const shape::Stack& sample, const MissingList& missing,
                                 const EstimateParams& params) {
  const std::vector<Landmarks> lists = by_specimen(sample, missing);
  const Index n = sample.n(), k = sample.k();
  const std::vector<Index> partner = partners_of(params.pairs, k);
  Landmarks complete;
  std::vector<Pattern> patterns(static_cast<std::size_t>(n));
  for (Index i = 0; i < n; ++i) {
    const Landmarks& l = lists[static_cast<std::size_t>(i)];
    if (l.empty()) {
      complete.push_back(i);
      continue;
    }
    patterns[static_cast<std::size_t>(i)] = pattern_of(k, l);
    require_present(params, i, k, patterns[static_cast<std::size_t>(i)]);
  }
  require_complete(params.method, static_cast<Index>(complete.size()),
                   complete_needed(params.method), false);

  MissingEstimate out{sample, {}};
  if (static_cast<Index>(complete.size()) == n) return out;
  Frame frame;
  if (params.method != EstimateMethod::Mirror) frame = frame_of(sample, complete);
  for (Index i = 0; i < n; ++i) {
    const Pattern& p = patterns[static_cast<std::size_t>(i)];
    if (p.missing.empty()) continue;
    const shape::Config est = estimate_one(params, &frame, i, sample.slice(i), p, partner);
    for (std::size_t j = 0; j < p.missing.size(); ++j) {
      const auto row = static_cast<Index>(j);
      out.filled.slice(i).row(p.missing[j]) = est.row(row);
      out.estimates.push_back({i, p.missing[j], est.row(row)});
    }
  }
  return out;
}

EstimationError estimation_error(const shape::Stack& sample, const MissingList& missing,
                                 const EstimateParams& params) {
  const std::vector<Landmarks> lists = by_specimen(sample, missing);
  const Index n = sample.n(), k = sample.k();
  const std::vector<Index> partner = partners_of(params.pairs, k);
  Landmarks complete;
  std::map<Landmarks, Pattern> distinct;
  for (Index i = 0; i < n; ++i) {
    const Landmarks& l = lists[static_cast<std::size_t>(i)];
    if (l.empty()) {
      complete.push_back(i);
      continue;
    }
    const Pattern p = pattern_of(k, l);
    require_present(params, i, k, p);
    distinct.emplace(l, p);
  }
  if (distinct.empty())
    throw NumericError("No landmark is missing, so there is no estimate to measure.");
  require_complete(params.method, static_cast<Index>(complete.size()),
                   complete_needed(params.method) + 1, true);

  Eigen::VectorXd squares = Eigen::VectorXd::Zero(k);
  Eigen::VectorXi counts = Eigen::VectorXi::Zero(k);
  EstimationError out;
  for (std::size_t c = 0; c < complete.size(); ++c) {
    const Index left_out = complete[c];
    Frame frame;
    if (params.method != EstimateMethod::Mirror) {
      Landmarks others = complete;
      others.erase(others.begin() + static_cast<std::ptrdiff_t>(c));
      frame = frame_of(sample, others);
    }
    const auto truth = sample.slice(left_out);
    for (const auto& [key, p] : distinct) {
      const shape::Config est = estimate_one(params, &frame, left_out, truth, p, partner);
      for (std::size_t j = 0; j < p.missing.size(); ++j) {
        const Index l = p.missing[j];
        squares(l) += (est.row(static_cast<Index>(j)) - truth.row(l)).squaredNorm();
        ++counts(l);
      }
      ++out.trials;
    }
  }
  double total = 0;
  Eigen::Index estimated = 0;
  std::vector<double> rmse;
  for (Index l = 0; l < k; ++l) {
    if (counts(l) == 0) continue;
    out.landmarks.push_back(l);
    rmse.push_back(std::sqrt(squares(l) / counts(l)));
    total += squares(l);
    estimated += counts(l);
  }
  out.rmse = Eigen::Map<const Eigen::VectorXd>(rmse.data(), static_cast<Index>(rmse.size()));
  out.overall = std::sqrt(total / static_cast<double>(estimated));
  return out;
}

}  // namespace velmora::tps
