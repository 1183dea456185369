#include "bindings/shape_functions.hpp"

#include "bindings/numeric_calls.hpp"
#include "bindings/shape_values.hpp"
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

// Input i as a configuration or as a stack, named as the function names it.
Config config_arg(const ValueList& args, std::size_t i, std::string_view function,
                  std::string_view name) {
  return config_from_value(arg(args, i, function, name), name);
}

Stack stack_arg(const ValueList& args, std::size_t i, std::string_view function,
                std::string_view name) {
  return stack_from_value(arg(args, i, function, name), name);
}

// The two single-configuration fits share one adapter.
FunctionSpec single_fit(const char* name, Config (*fit)(const Config&, const Config&)) {
  return {name,
          [name, fit](const ValueList& args, int) -> ValueList {
            Config ref = config_arg(args, 0, name, "reference");
            Config subject = config_arg(args, 1, name, "subject");
            return {Value::matrix(fit(ref, subject))};
          },
          2, 1};
}

}  // namespace

void register_shape_functions(FunctionTable& table) {
  add_numeric(table,
              {"centsize3Da",
               [](const ValueList& args, int) -> ValueList {
                 return {Value(centroid_size(arg(args, 0, "centsize3Da", "x").to_matrix("x")))};
               },
               1, 1});
  add_numeric(table, {"svdrot2",
                      [](const ValueList& args, int) -> ValueList {
                        Config ref = config_arg(args, 0, "svdrot2", "reference");
                        Config subject = config_arg(args, 1, "svdrot2", "subject");
                        return {Value::matrix(optimal_rotation(ref, subject))};
                      },
                      2, 1});
  add_numeric(table, {"rotate3da",
                      [](const ValueList& args, int) -> ValueList {
                        Stack x = stack_arg(args, 0, "rotate3da", "x");
                        rotate_all(
                            x, orientation_from_value(arg(args, 1, "rotate3da", "roto"), "roto"));
                        return {stack_to_value(std::move(x))};
                      },
                      2, 1});
  add_numeric(table, single_fit("fullprocrustes3", procrustes_fit));
  add_numeric(table, single_fit("partialprocrustes3a", procrustes_fit));
  add_numeric(table, {"getpproc3",
                      [](const ValueList& args, int) -> ValueList {
                        GpaResult r =
                            generalized_procrustes(stack_arg(args, 0, "getpproc3", "data"));
                        return {Value::matrix(r.reference), stack_to_value(std::move(r.fitted))};
                      },
                      1, 2});
  add_numeric(table, {"getfprocon3",
                      [](const ValueList& args, int) -> ValueList {
                        Config ref = config_arg(args, 0, "getfprocon3", "reference");
                        Stack data = stack_arg(args, 1, "getfprocon3", "data");
                        console().display("count", Value(static_cast<double>(data.n())));
                        return {stack_to_value(fit_to_fixed_reference(ref, std::move(data)))};
                      },
                      2, 1});
  add_numeric(table, {"pcaref3d",
                      [](const ValueList& args, int) -> ValueList {
                        PrincipalAxes r =
                            principal_axes(config_arg(args, 0, "pcaref3d", "reference"));
                        return {Value::matrix(r.reference), Value::matrix(r.axes)};
                      },
                      1, 2});
  add_numeric(table, {"getpdistance3",
                      [](const ValueList& args, int) -> ValueList {
                        Config ref = config_arg(args, 0, "getpdistance3", "reference");
                        Stack x = stack_arg(args, 1, "getpdistance3", "x");
                        return {Value::matrix(procrustes_distances(ref, x))};
                      },
                      2, 1});
}

}  // namespace velmora::shape
