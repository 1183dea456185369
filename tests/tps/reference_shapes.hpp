#pragma once

#include "shape/procrustes.hpp"
#include "shape/random_shapes.hpp"

namespace velmora::testing {

/// A reference as the program prepares one: a random cloud with distinct
/// spreads, centred, unit centroid size, turned into its principal axes.
inline shape::Config principal_reference(RandomShapes& rnd, Eigen::Index k) {
  return shape::principal_axes(rnd.unit_cloud(k, {0.6, 1.0, 1.7}) * rnd.rotation()).reference;
}

}  // namespace velmora::testing
