#pragma once

#include <Eigen/Geometry>
#include <random>

#include "shape/types.hpp"

namespace velmora::testing {

/// Reproducible random configurations and rotations for the numerical tests.
class RandomShapes {
 public:
  explicit RandomShapes(unsigned seed = 12345) : gen_(seed) {}

  double normal() { return normal_(gen_); }

  /// k landmarks drawn from a standard normal cloud (general position with
  /// probability one); `spread` scales the three axes.
  shape::Config cloud(Eigen::Index k, const Eigen::RowVector3d& spread = {1, 1, 1}) {
    shape::Config x(k, 3);
    for (Eigen::Index j = 0; j < k; ++j)
      for (int d = 0; d < 3; ++d) x(j, d) = normal() * spread(d);
    return x;
  }

  /// A cloud centred at the origin and scaled to unit centroid size.
  shape::Config unit_cloud(Eigen::Index k, const Eigen::RowVector3d& spread = {1, 1, 1}) {
    shape::Config x = cloud(k, spread);
    x.rowwise() -= x.colwise().mean();
    return x / x.norm();
  }

  /// A uniformly random proper rotation.
  Eigen::Matrix3d rotation() {
    Eigen::Quaterniond q(normal(), normal(), normal(), normal());
    return q.normalized().toRotationMatrix();
  }

  /// `base` turned, scaled and moved at random.
  shape::Config moved_copy(const shape::Config& base) {
    const double scale = 0.5 + std::abs(normal());
    const Eigen::RowVector3d shift(normal() * 10, normal() * 10, normal() * 10);
    shape::Config y = scale * base * rotation();
    return y.rowwise() + shift;
  }

 private:
  std::mt19937 gen_;
  std::normal_distribution<double> normal_{0.0, 1.0};
};

/// Builds a stack from configurations of equal landmark count.
inline shape::Stack stack_of(const std::vector<shape::Config>& configs) {
  shape::Stack s(configs.front().rows(), static_cast<Eigen::Index>(configs.size()));
  for (std::size_t i = 0; i < configs.size(); ++i)
    s.slice(static_cast<Eigen::Index>(i)) = configs[i];
  return s;
}

}  // namespace velmora::testing
