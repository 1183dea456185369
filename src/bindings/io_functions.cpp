#include "bindings/io_functions.hpp"

#include <string>

#include "bindings/io_values.hpp"
#include "bindings/numeric_calls.hpp"
#include "io/row_layout.hpp"
#include "io/text_matrix.hpp"
#include "platform/runtime/console.hpp"
#include "platform/runtime/runtime_error.hpp"

namespace velmora::io {

namespace {

const Value& numeric_matrix(const ValueList& args, std::size_t i, const char* function,
                            const char* input) {
  const Value& v = arg(args, i, function, input);
  if (!v.is_double() || v.pages() > 1) {
    throw RuntimeError(std::string(function) + ": the input " + input +
                       " must be a two-dimensional array of numbers.");
  }
  return v;
}

ValueList dload_entry(const ValueList& args, int /*nargout*/) {
  const Value& fname = arg(args, 0, "dload", "fname");
  if (!fname.is_char()) throw RuntimeError("dload: the file name fname must be text.");
  return {dload_value(fname.to_string())};
}

ValueList vertxy3D_entry(const ValueList& args, int /*nargout*/) {
  const Value& x = numeric_matrix(args, 0, "vertxy3D", "x");
  const std::size_t k = x.cols() / 3;
  return {Value::array(k, 3, x.rows(), rows_to_stack(x.rows(), x.cols(), x.data()))};
}

ValueList x1y1z1_entry(const ValueList& args, int /*nargout*/) {
  const Value& x = numeric_matrix(args, 0, "x1y1z1", "x");
  console().display("m", Value(static_cast<double>(x.rows())));
  console().display("n", Value(static_cast<double>(x.cols())));
  if (x.cols() != 3) {
    throw RuntimeError("x1y1z1: the configuration x must have 3 columns (x, y, z); it has " +
                       std::to_string(x.cols()) + ".");
  }
  const double cs = arg(args, 1, "x1y1z1", "cs").to_scalar("The centroid size cs");
  std::vector<double> row = config_to_row(x.data(), x.rows(), cs);
  const std::size_t n = row.size();
  return {Value::array(1, n, 1, std::move(row))};
}

}  // namespace

void register_io_functions(FunctionTable& table) {
  add_numeric(table, {"dload", dload_entry, 1, 1});
  add_numeric(table, {"vertxy3D", vertxy3D_entry, 1, 1});
  add_numeric(table, {"x1y1z1", x1y1z1_entry, 2, 1});
}

}  // namespace velmora::io
