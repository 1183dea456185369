#include "analysis/regressor.hpp"

#include <cmath>
#include <utility>

#include "analysis/error.hpp"
#include "analysis/messages.hpp"
#include "analysis/model_id.hpp"
#include "core/tolerances.hpp"

namespace velmora::analysis {

XVariable::XVariable(Eigen::VectorXd v, std::string n, XSource s, std::string text)
    : values(std::move(v)),
      name(std::move(n)),
      source(s),
      source_text(std::move(text)),
      id(next_model_id()) {}

Regressor::Regressor(std::shared_ptr<const XVariable> x, Scale scale, std::string_view test)
    : variable_(std::move(x)), scale_(scale) {
  const Eigen::VectorXd& v = variable_->values;
  if (ln()) {
    for (Eigen::Index i = 0; i < v.size(); ++i) {
      if (!(v(i) > 0)) refuse(x_not_positive_text(test, i + 1, v(i)));
    }
    values_ = v.array().log();
  } else {
    values_ = v;
  }
  const Eigen::VectorXd& r = values_;
  if (r.size() > 0 && r.maxCoeff() - r.minCoeff() <= kEqualXTolerance * r.cwiseAbs().maxCoeff()) {
    refuse(x_constant_text(v(0)));
  }
}

double Regressor::range() const {
  const double hi = x().maxCoeff(), lo = x().minCoeff();
  // Logs before the ratio: the ratio of X from 1e-300 to 1e300 overflows.
  return ln() ? std::log(hi) - std::log(lo) : hi - lo;
}

std::string Regressor::axis_label() const {
  return x_axis_label(variable_->name, ln());
}

}  // namespace velmora::analysis
