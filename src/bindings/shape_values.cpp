#include "bindings/shape_values.hpp"

#include <string>

#include "platform/runtime/runtime_error.hpp"

namespace velmora::shape {

namespace {

std::string shape_text(const Value& v) {
  if (!v.is_double()) return "a value that is not a number array";
  std::string s = std::to_string(v.rows()) + "x" + std::to_string(v.cols());
  if (v.pages() != 1) s += "x" + std::to_string(v.pages());
  return "a " + s + " array";
}

void check_stack_shape(const Value& v, std::string_view what) {
  if (!v.is_double() || v.cols() != 3 || v.rows() == 0) {
    throw RuntimeError(std::string(what) +
                       " must be a stack of configurations (k landmarks x 3 coordinates x n "
                       "specimens), not " +
                       shape_text(v) + ".");
  }
}

}  // namespace

Stack stack_from_value(const Value& v, std::string_view what) {
  check_stack_shape(v, what);
  std::vector<double> data = v.data();
  return Stack(static_cast<Eigen::Index>(v.rows()), static_cast<Eigen::Index>(v.pages()),
               std::move(data));
}

Stack stack_from_value(Value&& v, std::string_view what) {
  check_stack_shape(v, what);
  const auto k = static_cast<Eigen::Index>(v.rows());
  const auto n = static_cast<Eigen::Index>(v.pages());
  return Stack(k, n, v.take_data());
}

Value stack_to_value(Stack s) {
  const auto k = static_cast<std::size_t>(s.k());
  const auto n = static_cast<std::size_t>(s.n());
  return Value::array(k, 3, n, std::move(s.data()));
}

Config config_from_value(const Value& v, std::string_view what) {
  if (!v.is_double() || v.cols() != 3 || v.rows() == 0 || v.pages() != 1) {
    throw RuntimeError(std::string(what) +
                       " must be a configuration (k landmarks x 3 coordinates), not " +
                       shape_text(v) + ".");
  }
  return Eigen::Map<const Config>(v.data().data(), static_cast<Eigen::Index>(v.rows()), 3);
}

}  // namespace velmora::shape
