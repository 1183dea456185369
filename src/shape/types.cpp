#include "shape/types.hpp"

#include <string>

#include "core/errors.hpp"

namespace velmora::shape {

Stack::Stack(Eigen::Index k, Eigen::Index n)
    : k_(k), n_(n), data_(static_cast<std::size_t>(3 * k * n), 0.0) {}

Stack::Stack(Eigen::Index k, Eigen::Index n, std::vector<double>&& data)
    : k_(k), n_(n), data_(std::move(data)) {
  if (static_cast<Eigen::Index>(data_.size()) != 3 * k * n) {
    throw NumericError("A stack of " + std::to_string(n) + " configurations of " +
                       std::to_string(k) + " landmarks needs " + std::to_string(3 * k * n) +
                       " numbers, not " + std::to_string(data_.size()) + ".");
  }
}

Stack::Stack(const Config& config) : Stack(config.rows(), 1) {
  slice(0) = config;
}

void require_same_landmarks(Eigen::Index k_a, std::string_view a, Eigen::Index k_b,
                            std::string_view b) {
  if (k_a != k_b) {
    throw NumericError(std::string(a) + " has " + std::to_string(k_a) + " landmarks but " +
                       std::string(b) + " has " + std::to_string(k_b) + ".");
  }
}

}  // namespace velmora::shape
