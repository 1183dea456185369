#pragma once

#include <Eigen/Core>
#include <string>
#include <utility>
#include <vector>

#include "shape/types.hpp"

namespace velmora::tps {

/// Missing landmarks as (specimen, landmark) pairs, both 0-based.  The
/// coordinates a sample holds at these places are never read.
using MissingList = std::vector<std::pair<Eigen::Index, Eigen::Index>>;

/// How a missing landmark is estimated.
enum class EstimateMethod {
  /// The thin-plate spline (U(r) = r) that carries the consensus' present
  /// landmarks onto the specimen's places the consensus' missing ones
  /// (Gunz, Mitteroecker, Neubauer, Weber & Bookstein 2009).  The consensus
  /// is the standard superimposition (shape::gpa_to_convergence) of the
  /// complete specimens.  Needs one complete specimen.
  Tps,
  /// A multivariate least-squares regression, over the complete specimens
  /// superimposed by the standard fit, of the missing coordinates on the
  /// present ones.  The incomplete specimen is fitted into that frame (its
  /// present landmarks onto the consensus' present landmarks by translation,
  /// scaling and rotation), predicted there and carried back to its own
  /// frame.  The regression is solved through the principal components of
  /// the present coordinates, keeping the r = min(rank, m − 2) largest of the
  /// m complete specimens, so that it is defined when the predictors
  /// outnumber the specimens and leaves at least one residual degree of
  /// freedom; no ridge is added.  Needs three complete specimens.
  Regression,
  /// The specimen's mirror image (x → −x, the labels of each landmark pair
  /// swapped) fitted onto the specimen by the thin-plate spline of the
  /// landmarks present in both; a missing paired landmark is read off the
  /// mirror of its present partner (Morpho's fixLMmirror).  Uses no other
  /// specimen.
  Mirror,
};

/// "tps", "regression" or "mirror".
const char* method_name(EstimateMethod method);

/// What an estimate is made with.
struct EstimateParams {
  EstimateMethod method = EstimateMethod::Tps;
  /// The landmark pairs of a bilateral structure (0-based), for Mirror.
  std::vector<std::pair<int, int>> pairs;
  /// n specimen names for messages; empty: "specimen i" (from 1).
  std::vector<std::string> names;
};

/// One estimated landmark.
struct EstimatedLandmark {
  Eigen::Index specimen = 0;    ///< 0-based
  Eigen::Index landmark = 0;    ///< 0-based
  Eigen::RowVector3d position;  ///< in the specimen's own coordinates
};

/// A sample with its missing landmarks estimated.
struct MissingEstimate {
  shape::Stack filled;                       ///< the sample, estimates in place of the missing
  std::vector<EstimatedLandmark> estimates;  ///< in the order of the missing list, sorted
};

/// Estimates every missing landmark of `sample` by `params.method`.  The
/// complete specimens (those without a missing landmark) are unchanged.
/// @param sample  n raw configurations of k landmarks, in file units
/// @param missing the missing landmarks; duplicates are ignored
/// @throws NumericError naming the specimen and the landmark: a specimen
///   with fewer than four present landmarks; fewer complete specimens than
///   the method needs (saying how many); a pair that names no landmark; for
///   Mirror, a missing landmark without a present partner, or fewer than
///   four landmarks present with their partners; a degenerate spline
MissingEstimate estimate_missing(const shape::Stack& sample, const MissingList& missing,
                                 const EstimateParams& params);

/// The error of an estimate, measured on the sample itself.
struct EstimationError {
  /// The landmarks that some incomplete specimen misses (0-based,
  /// ascending), with the root mean square distance between estimate and
  /// truth over their trials, in file units.
  std::vector<Eigen::Index> landmarks;
  Eigen::VectorXd rmse;
  double overall = 0;       ///< over every estimated landmark of every trial
  Eigen::Index trials = 0;  ///< complete specimens × distinct missing patterns
};

/// The estimation error of `params.method` on this sample: every complete
/// specimen in turn loses the landmarks that each incomplete specimen misses
/// (each distinct pattern once) and has them estimated from the other
/// complete specimens (itself left out of the consensus and the
/// regression); the distances to its true landmarks give the RMSE.  Costs
/// one superimposition of m − 1 specimens per complete specimen (m of them)
/// and one estimate per trial: about 0.8 s for 180 complete specimens of 100
/// landmarks, growing as m²; a caller should say so before a large sample.
/// @throws NumericError as estimate_missing, with one more complete specimen
///   needed than for the estimate itself (the left-out one), or when no
///   landmark is missing
EstimationError estimation_error(const shape::Stack& sample, const MissingList& missing,
                                 const EstimateParams& params);

/// A specimen as the messages name it: `specimen 2 ("b")`, or `specimen 2`
/// without a name (`specimen` 0-based, shown from 1).
std::string specimen_label(const std::vector<std::string>& names, Eigen::Index specimen);

}  // namespace velmora::tps
