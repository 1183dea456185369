#include "shape/register.hpp"

#include "platform/runtime/console.hpp"
#include "platform/runtime/runtime_error.hpp"
#include "shape/centroid_size.hpp"
#include "shape/distance.hpp"
#include "shape/procrustes.hpp"
#include "shape/rotation.hpp"

namespace velmora::shape {

namespace {

Eigen::Matrix3d orientation_from_value(const Value& v, std::string_view what) {
  if (!v.is_double() || v.rows() != 3 || v.cols() != 3 || v.pages() != 1)
    throw RuntimeError(std::string(what) + " must be a 3x3 matrix.");
  return v.to_matrix(what);
}

// The two single-configuration fits share one adapter.
FunctionSpec single_fit(const char* name, Config (*fit)(const Config&, const Config&)) {
  return {name,
          [name, fit](const ValueList& args, int) -> ValueList {
            Config ref = config_from_value(arg(args, 0, name, "reference"), "reference");
            Config subject = config_from_value(arg(args, 1, name, "subject"), "subject");
            return {Value::matrix(fit(ref, subject))};
          },
          2, 1};
}

}  // namespace

void register_shape_functions(FunctionTable& table) {
  table.add({"centsize3Da",
             [](const ValueList& args, int) -> ValueList {
               return {Value(centsize3Da(arg(args, 0, "centsize3Da", "x").to_matrix("x")))};
             },
             1, 1});
  table.add({"svdrot2",
             [](const ValueList& args, int) -> ValueList {
               Config ref = config_from_value(arg(args, 0, "svdrot2", "reference"), "reference");
               Config subject = config_from_value(arg(args, 1, "svdrot2", "subject"), "subject");
               return {Value::matrix(svdrot2(ref, subject))};
             },
             2, 1});
  table.add({"rotate3da",
             [](const ValueList& args, int) -> ValueList {
               Stack x = stack_from_value(arg(args, 0, "rotate3da", "x"), "x");
               rotate3da(x, orientation_from_value(arg(args, 1, "rotate3da", "roto"), "roto"));
               return {stack_to_value(std::move(x))};
             },
             2, 1});
  table.add(single_fit("fullprocrustes3", fullprocrustes3));
  table.add(single_fit("partialprocrustes3a", partialprocrustes3a));
  table.add({"getpproc3",
             [](const ValueList& args, int) -> ValueList {
               GpaResult r = getpproc3(stack_from_value(arg(args, 0, "getpproc3", "data"), "data"));
               return {Value::matrix(r.reference), stack_to_value(std::move(r.fitted))};
             },
             1, 2});
  table.add({"getfprocon3",
             [](const ValueList& args, int) -> ValueList {
               Config ref = config_from_value(arg(args, 0, "getfprocon3", "reference"), "reference");
               Stack data = stack_from_value(arg(args, 1, "getfprocon3", "data"), "data");
               console().display("count", Value(static_cast<double>(data.n())));
               return {stack_to_value(getfprocon3(ref, std::move(data)))};
             },
             2, 1});
  table.add({"pcaref3d",
             [](const ValueList& args, int) -> ValueList {
               PrincipalAxes r = pcaref3d(
                   config_from_value(arg(args, 0, "pcaref3d", "reference"), "reference"));
               return {Value::matrix(r.reference), Value::matrix(r.axes)};
             },
             1, 2});
  table.add({"getpdistance3",
             [](const ValueList& args, int) -> ValueList {
               Config ref =
                   config_from_value(arg(args, 0, "getpdistance3", "reference"), "reference");
               Stack x = stack_from_value(arg(args, 1, "getpdistance3", "x"), "x");
               return {Value::matrix(getpdistance3(ref, x))};
             },
             2, 1});
}

}  // namespace velmora::shape
