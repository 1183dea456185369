#include "tps/register.hpp"

#include "platform/runtime/console.hpp"
#include "shape/types.hpp"
#include "tps/deformation.hpp"
#include "tps/scores.hpp"
#include "tps/warp_basis.hpp"

namespace velmora::tps {

void register_tps_functions(FunctionTable& table) {
  table.add({"lmatrix3da",
             [](const ValueList& args, int) -> ValueList {
               const WarpBasis b = lmatrix3da(
                   shape::config_from_value(arg(args, 0, "lmatrix3da", "x"), "x"));
               return {Value::matrix(b.eigenvectors),
                       Value::matrix(Eigen::MatrixXd(b.eigenvalues.asDiagonal())),
                       Value::matrix(b.uniform), Value::matrix(b.warps)};
             },
             1, 4});
  table.add({"getpw3d",
             [](const ValueList& args, int) -> ValueList {
               const shape::Config ref =
                   shape::config_from_value(arg(args, 0, "getpw3d", "ref"), "ref");
               const shape::Stack data =
                   shape::stack_from_value(arg(args, 1, "getpw3d", "data"), "data");
               return {Value::matrix(getpw3d(ref, data))};
             },
             2, 1});
  table.add({"defimppw3",
             [](const ValueList& args, int) -> ValueList {
               const shape::Config ref =
                   shape::config_from_value(arg(args, 0, "defimppw3", "ref"), "ref");
               const Eigen::MatrixXd scores =
                   arg(args, 1, "defimppw3", "pwscore").to_matrix("pwscore");
               shape::Stack y = defimppw3(ref, scores);
               // The fit inside reports its specimen count, as getfprocon3 does.
               console().display("count", Value(static_cast<double>(y.n())));
               return {shape::stack_to_value(std::move(y))};
             },
             2, 1});
}

}  // namespace velmora::tps
