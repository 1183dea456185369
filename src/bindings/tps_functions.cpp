#include "bindings/tps_functions.hpp"

#include "bindings/numeric_calls.hpp"
#include "bindings/shape_values.hpp"
#include "platform/runtime/console.hpp"
#include "tps/deformation.hpp"
#include "tps/scores.hpp"
#include "tps/warp_basis.hpp"

namespace velmora::tps {

namespace {

// Input 0 of every entry here is the reference configuration.
shape::Config reference_arg(const ValueList& args, std::string_view function,
                            std::string_view name) {
  return shape::config_from_value(arg(args, 0, function, name), name);
}

}  // namespace

void register_tps_functions(FunctionTable& table) {
  add_numeric(table, {"lmatrix3da",
                      [](const ValueList& args, int) -> ValueList {
                        const WarpBasis b = thin_plate_basis(reference_arg(args, "lmatrix3da", "x"),
                                                             console_note());
                        return {Value::matrix(b.eigenvectors),
                                Value::matrix(Eigen::MatrixXd(b.eigenvalues.asDiagonal())),
                                Value::matrix(b.uniform), Value::matrix(b.warp_matrix())};
                      },
                      1, 4});
  add_numeric(table, {"getpw3d",
                      [](const ValueList& args, int) -> ValueList {
                        return {Value::matrix(partial_warp_scores(
                            reference_arg(args, "getpw3d", "ref"),
                            shape::stack_from_value(arg(args, 1, "getpw3d", "data"), "data"),
                            console_note()))};
                      },
                      2, 1});
  add_numeric(table, {"defimppw3",
                      [](const ValueList& args, int) -> ValueList {
                        shape::Stack y = deformations_from_scores(
                            reference_arg(args, "defimppw3", "ref"),
                            arg(args, 1, "defimppw3", "pwscore").to_matrix("pwscore"),
                            console_note());
                        // The fit inside reports its specimen count, as getfprocon3 does.
                        console().display("count", Value(static_cast<double>(y.n())));
                        return {shape::stack_to_value(std::move(y))};
                      },
                      2, 1});
}

}  // namespace velmora::tps
