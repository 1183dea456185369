#pragma once

#include <Eigen/Core>
#include <string_view>
#include <vector>

namespace velmora::shape {

/// One landmark configuration: k×3, one row (x, y, z) per landmark.
using Config = Eigen::Matrix<double, Eigen::Dynamic, 3>;

// A configuration's column-major storage is its stacked row: all x, then
// all y, then all z (3k numbers), the layout tangent coordinates and shape
// axes are kept in.

/// The k×3 configuration of a stacked row.
inline Config config_of_stacked(const Eigen::Ref<const Eigen::RowVectorXd>& row) {
  return Eigen::Map<const Config>(row.data(), row.size() / 3, 3);
}

/// The stacked row of a configuration.
inline Eigen::RowVectorXd stacked_of_config(const Config& c) {
  return Eigen::Map<const Eigen::RowVectorXd>(c.data(), c.size());
}

/// Rows of stacked coordinates (n×3k) as rows of landmarks in turn (n×3k:
/// x1 y1 z1 … xk yk zk), as landmark files hold them.
inline Eigen::MatrixXd interleaved_of_stacked(const Eigen::MatrixXd& stacked) {
  const Eigen::Index k = stacked.cols() / 3;
  Eigen::MatrixXd out(stacked.rows(), stacked.cols());
  for (Eigen::Index d = 0; d < 3; ++d)
    for (Eigen::Index l = 0; l < k; ++l) out.col(3 * l + d) = stacked.col(d * k + l);
  return out;
}

/// A sample of n configurations of k landmarks in one contiguous
/// column-major buffer laid out like a k×3×n array value: coordinate d of
/// landmark j in specimen i is element j + k·(d + 3·i).  Slice i, read as
/// 3k numbers, is the specimen's stacked vector (all x, then all y, then
/// all z).
class Stack {
 public:
  Stack() = default;
  /// Zero-filled stack of n configurations of k landmarks.
  Stack(Eigen::Index k, Eigen::Index n);
  /// Adopts `data` (k·3·n numbers in the layout above).
  Stack(Eigen::Index k, Eigen::Index n, std::vector<double>&& data);
  /// A stack of one holding `config`.
  explicit Stack(const Config& config);

  Eigen::Index k() const { return k_; }
  Eigen::Index n() const { return n_; }

  Eigen::Map<Config> slice(Eigen::Index i) { return {data_.data() + offset(i), k_, 3}; }
  Eigen::Map<const Config> slice(Eigen::Index i) const { return {data_.data() + offset(i), k_, 3}; }
  /// The whole sample as a 3k×n matrix: column i is specimen i's stacked
  /// vector.
  Eigen::Map<Eigen::MatrixXd> stacked() { return {data_.data(), 3 * k_, n_}; }
  Eigen::Map<const Eigen::MatrixXd> stacked() const { return {data_.data(), 3 * k_, n_}; }

  std::vector<double>& data() { return data_; }
  const std::vector<double>& data() const { return data_; }

 private:
  std::ptrdiff_t offset(Eigen::Index i) const { return 3 * k_ * i; }

  Eigen::Index k_ = 0;
  Eigen::Index n_ = 0;
  std::vector<double> data_;
};

/// Throws NumericError unless two configurations have the same number of
/// landmarks, naming both.
void require_same_landmarks(Eigen::Index k_a, std::string_view a, Eigen::Index k_b,
                            std::string_view b);

}  // namespace velmora::shape
