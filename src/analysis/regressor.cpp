#include "analysis/regressor.hpp"

#include <atomic>
#include <cmath>
#include <utility>

#include "analysis/error.hpp"
#include "analysis/messages.hpp"
#include "core/tolerances.hpp"

namespace velmora::analysis {

namespace {

std::uint64_t next_id() {
  static std::atomic<std::uint64_t> counter{0};
  return ++counter;
}

}  // namespace

XVariable::XVariable(Eigen::VectorXd v, std::string n, XSource s, std::string text)
    : values(std::move(v)),
      name(std::move(n)),
      source(s),
      source_text(std::move(text)),
      id(next_id()) {}

Regressor::Regressor(const XVariable& x, Scale scale, std::string_view test)
    : x_(x.values), scale_(scale) {
  if (ln()) {
    for (Eigen::Index i = 0; i < x_.size(); ++i) {
      if (!(x_(i) > 0)) refuse(x_not_positive_text(test, i + 1, x_(i)));
    }
    values_ = x_.array().log();
  } else {
    values_ = x_;
  }
  const Eigen::VectorXd& r = values_;
  if (r.size() > 0 && r.maxCoeff() - r.minCoeff() <= kEqualXTolerance * r.cwiseAbs().maxCoeff()) {
    refuse(x_constant_text(x_(0)));
  }
}

double Regressor::range() const {
  const double hi = x_.maxCoeff(), lo = x_.minCoeff();
  return ln() ? std::log(hi / lo) : hi - lo;
}

}  // namespace velmora::analysis
