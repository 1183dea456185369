#pragma once

#include <Eigen/Core>
#include <array>

#include "shape/types.hpp"
#include "stats/regression.hpp"

namespace velmora::stats {

/// The regression of each specimen's squared Procrustes distance from a
/// starting shape on the independent variable.
struct DistanceTest {
  std::array<Eigen::Index, 3> first;  ///< the three specimens with the smallest X (0-based)
  shape::Config start;                ///< their mean, centred, unit centroid size
  Eigen::RowVectorXd distances;       ///< 1×n squared distances, specimen order
  RegressionStats fit;                ///< distances regressed on the regressor
  double z = 0;                       ///< Fisher z of r times √(n − 3)
  double p = 0;                       ///< its upper-tail probability
};

/// The starting shape of the Procrustes-distance test.
struct DistanceStart {
  std::array<Eigen::Index, 3> first;  ///< the three specimens with the smallest X (0-based)
  shape::Config start;                ///< k×3, their mean, centred, unit centroid size
};

/// The mean of the three specimens with the smallest X (ties keep specimen
/// order), centred and scaled to unit centroid size.
/// @param fitted n ≥ 3 superimposed specimens, k×3 each
/// @param x      n values of the independent variable
/// @throws NumericError for fewer than three specimens, a count of X values
///   other than n, or when the three cancel out (their mean has size 0)
DistanceStart distance_test_start(const shape::Stack& fitted, const Eigen::VectorXd& x);

/// The Procrustes-distance test: the starting shape is the mean of the three
/// superimposed specimens with the smallest X (ties keep specimen order),
/// centred and scaled to unit centroid size, so the test does not depend on
/// how the raw specimens lay in their file; every specimen is fitted onto it
/// (getfprocon3) and its squared distance (getpdistance3) is regressed on
/// the regressor (regstuf); z and p as the report shows them.
/// The starting shape is distance_test_start's.
/// @param fitted    n ≥ 4 superimposed specimens, k×3 each
/// @param x         n values of the independent variable (chooses the three)
/// @param regressor n values regressed on (x or ln x)
/// @throws NumericError when the three starting specimens cancel out, or as
///   regstuf (equal distances, …)
DistanceTest procrustes_distance_test(const shape::Stack& fitted, const Eigen::VectorXd& x,
                                      const Eigen::VectorXd& regressor);

}  // namespace velmora::stats
