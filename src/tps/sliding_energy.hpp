#pragma once

// What the sliding and its energy solvers share (not part of the library's
// interface).

#include <Eigen/Core>
#include <vector>

#include "tps/sliding.hpp"

namespace velmora::tps::sliding_detail {

/// `x` centred and scaled to unit centroid size.
/// @throws NumericError when its landmarks all coincide
shape::Config unit_size(const Eigen::Ref<const shape::Config>& x);

/// The bending-energy slide of one specimen along `t` from its residual
/// r = y − T, by a Cholesky factor of UᵀBU.
Eigen::VectorXd dense_energy_step(const shape::Config& r, const Tangents& t,
                                  const Eigen::MatrixXd& energy);

/// The bending-energy slides of every specimen toward one target, solved
/// together by preconditioned conjugate gradients (one product of the
/// shared energy matrix with all specimens' directions a step).
std::vector<Eigen::VectorXd> energy_steps(const std::vector<const Tangents*>& tangents,
                                          const std::vector<shape::Config>& residuals,
                                          const Eigen::MatrixXd& energy);

}  // namespace velmora::tps::sliding_detail
