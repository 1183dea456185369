#pragma once

#include <Eigen/Core>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace velmora::analysis {

/// The scale on which X enters a regression or test.
enum class Scale { Linear, Log };

/// Where the values of X came from.
enum class XSource { File, CentroidSize, Label };

/// The independent variable as the user gave it: one value a specimen, and
/// what it is.  Immutable once made; its `id` is unique in the process, so
/// results computed from one X can tell that X was replaced since.
struct XVariable {
  XVariable(Eigen::VectorXd values, std::string name, XSource source, std::string source_text);

  Eigen::VectorXd values;  ///< n values, specimen order
  std::string name;        ///< what axes call X: a file's stem, "Centroid size", a label's name
  XSource source;
  std::string source_text;  ///< what the window's X slot shows: the file's name, …
  std::uint64_t id;
};

/// What the window's X slot shows after Use Centroid Size as X, and what
/// axes call that X.
inline constexpr const char* kCentroidSizeX = "Centroid size";

/// X on the scale chosen, checked for a test or regression: every value
/// above 0 under the ln scale, and the values not all equal up to rounding
/// (the mean of equal values may differ from them in the last bit, leaving a
/// spread of noise that a slope would divide by).  What X is and where it
/// came from go with it.
class Regressor {
 public:
  /// @param test the test as a sentence starts it, for the refusal texts
  ///        ("The permutation test")
  /// @throws Error{Refused} with x_not_positive_text or x_constant_text
  Regressor(std::shared_ptr<const XVariable> x, Scale scale, std::string_view test);

  const XVariable& variable() const { return *variable_; }
  const Eigen::VectorXd& x() const { return variable_->values; }  ///< X as given
  const Eigen::VectorXd& values() const { return values_; }       ///< X or ln X
  Scale scale() const { return scale_; }
  bool ln() const { return scale_ == Scale::Log; }
  /// The observed range on the scale: max − min, or ln(max) − ln(min).
  double range() const;
  /// The label of an axis along the regressor: "age", "ln(age)", …
  std::string axis_label() const;

 private:
  std::shared_ptr<const XVariable> variable_;
  Eigen::VectorXd values_;
  Scale scale_;
};

}  // namespace velmora::analysis
