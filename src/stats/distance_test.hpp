#pragma once

#include <Eigen/Core>
#include <vector>

#include "shape/types.hpp"
#include "stats/regression.hpp"

namespace velmora::stats {

/// The regression of each specimen's squared Procrustes distance from a
/// starting shape on the independent variable.
struct DistanceTest {
  /// The specimens the starting shape averages (0-based, ascending): every
  /// one whose X is at most the third-smallest X, so three without ties.
  std::vector<Eigen::Index> first;
  shape::Config start;           ///< their mean, centred, unit centroid size
  Eigen::RowVectorXd distances;  ///< 1×n squared distances, specimen order
  RegressionStats fit;           ///< distances regressed on the regressor
  double z = 0;                  ///< Fisher z of r times √(n − 3)
  double p = 0;                  ///< its upper-tail probability
};

/// The starting shape of the Procrustes-distance test.
struct DistanceStart {
  /// The specimens averaged (0-based, ascending): every one whose X is at
  /// most the third-smallest X (counted with repeats), so at least three.
  std::vector<Eigen::Index> first;
  shape::Config start;  ///< k×3, their mean, centred, unit centroid size
};

/// The mean of every specimen whose X is at most the third-smallest X value
/// (the X of the third specimen in ascending order), centred and scaled to
/// unit centroid size.  Without ties these are the three specimens with the
/// smallest X; with ties at the third-smallest value all the tied ones are
/// taken, so the start does not depend on the order of the file.
/// @param fitted n ≥ 3 superimposed specimens, k×3 each
/// @param x      n values of the independent variable
/// @throws NumericError for fewer than three specimens, a count of X values
///   other than n, a value of X that is not a number, or when the specimens
///   cancel out (their mean has size 0)
DistanceStart distance_test_start(const shape::Stack& fitted, const Eigen::VectorXd& x);

/// The Procrustes-distance test: the starting shape is distance_test_start's
/// (the unit-size mean of the superimposed specimens of smallest X), so the
/// test depends neither on how the raw specimens lay in their file nor on
/// their order; every specimen, at unit centroid size, is fitted onto it by
/// the rotation that minimises their squared distance
/// (shape::fit_by_optimal_rotation), so each distance (procrustes_distances) is the
/// squared Procrustes distance, and the distances are regressed on the
/// regressor (regression_stats); z and p as the report shows them.
/// @param fitted    n ≥ 4 superimposed specimens, k×3 each
/// @param x         n values of the independent variable (chooses the three)
/// @param regressor n values regressed on (x or ln x)
/// @throws NumericError when the starting specimens cancel out, or as
///   regression_stats (equal distances, …)
DistanceTest procrustes_distance_test(const shape::Stack& fitted, const Eigen::VectorXd& x,
                                      const Eigen::VectorXd& regressor);

}  // namespace velmora::stats
