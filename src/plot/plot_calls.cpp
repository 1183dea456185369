// The plot functions called by name: the one place where the run-time's
// values become the configurations, stacks and wire lists that the drawing
// functions take.

#include "plot/plot_calls.hpp"

#include <string>

#include "bindings/io_values.hpp"
#include "bindings/numeric_calls.hpp"
#include "bindings/shape_values.hpp"
#include "platform/runtime/runtime_error.hpp"
#include "plot/deformation.hpp"
#include "plot/primitives.hpp"
#include "tps/deformation.hpp"

namespace velmora::plot {

using gfx::graphics;
using gfx::Handle;

namespace {

void check_configuration(const Value& x, std::string_view what) {
  if (!x.is_double() || x.cols() != 3 || x.rows() == 0) {
    throw RuntimeError(std::string(what) +
                       " must be a configuration of landmarks with three columns (x, y, z).");
  }
}

// Every slice of a checked k×3×n value.
shape::Stack stack_of(const Value& x) {
  std::vector<double> data = x.data();
  return shape::Stack(static_cast<Eigen::Index>(x.rows()), static_cast<Eigen::Index>(x.pages()),
                      std::move(data));
}

// The first slice of a checked k×3(×n) value.
shape::Config first_of(const Value& x) {
  return Eigen::Map<const shape::Config>(x.data().data(), static_cast<Eigen::Index>(x.rows()), 3);
}

// A wire list checked against k landmarks (an empty value is no list).
Eigen::MatrixXd wires_of(const Value& wires, std::size_t k) {
  io::check_wires(wires, k);
  if (wires.empty()) return {};
  return Eigen::Map<const Eigen::MatrixXd>(wires.data().data(),
                                           static_cast<Eigen::Index>(wires.rows()),
                                           static_cast<Eigen::Index>(wires.cols()));
}

// Whether the deformation display counts a wire list as present.
bool present(const Value& wires) {
  return !wires.empty() && wires.is_double() && wires(0) != 0;
}

void check_segments(const Value& ref, const Value& target) {
  check_configuration(ref, "The reference");
  check_configuration(target, "The target");
}

Handle axes_arg(const ValueList& args, std::string_view fn) {
  const Value& v = arg(args, 0, fn, "axes");
  if (!graphics().valid(v) || graphics().type(v(0)) != gfx::Type::Axes)
    throw RuntimeError(std::string(fn) + ": the first input must be an axes handle.");
  return v(0);
}

NamedFunction styling(void (*fn)(Handle, double), std::string_view name, std::string_view input) {
  return [fn, name, input](const ValueList& args, int) {
    Handle ax = axes_arg(args, name);
    fn(ax, arg(args, 1, name, input).to_scalar(input));
    return ValueList{};
  };
}

}  // namespace

void register_plot_functions(FunctionTable& table) {
  table.add({"showshape3D",
             [](const ValueList& args, int) {
               const Value& x = arg(args, 0, "showshape3D", "x");
               const std::string spec = arg(args, 1, "showshape3D", "dsymbol").to_string("dsymbol");
               check_configuration(x, "The configuration");
               showshape3D(stack_of(x), spec);
               return ValueList{};
             },
             2, 0});
  table.add({"wire3d",
             [](const ValueList& args, int) {
               std::string spec = args.size() > 2 ? args[2].to_string("color") : "b-";
               const Value& x = arg(args, 0, "wire3d", "x");
               const Value& list = arg(args, 1, "wire3d", "wirelist");
               check_configuration(x, "The configuration");
               wire3d(first_of(x), wires_of(list, x.rows()), spec);
               return ValueList{};
             },
             3, 0});
  table.add({"disvec3d",
             [](const ValueList& args, int) {
               const Value& ref = arg(args, 0, "disvec3d", "ref");
               const Value& target = arg(args, 1, "disvec3d", "target");
               const std::string spec = arg(args, 2, "disvec3d", "linespec").to_string("linespec");
               check_segments(ref, target);
               disvec3d(first_of(ref), first_of(target), spec);
               return ValueList{};
             },
             3, 0});
  table.add({"incrementlinethickness",
             styling(incrementlinethickness, "incrementlinethickness", "step"), 2, 0});
  table.add(
      {"incrementsymbolsize", styling(incrementsymbolsize, "incrementsymbolsize", "step"), 2, 0});
  table.add({"setlinethickness", styling(setlinethickness, "setlinethickness", "width"), 2, 0});
  table.add({"setsymbolfill", styling(setsymbolfill, "setsymbolfill", "flag"), 2, 0});
}

void register_deformation_functions(FunctionTable& table) {
  table.add({"plotpw3d",
             [](const ValueList& args, int) {
               auto text = [&](std::size_t i, std::string_view name) {
                 return arg(args, i, "plotpw3d", name).to_string(name);
               };
               std::string linespec = args.size() > 7 ? args[7].to_string("linespec") : "r-";
               const shape::Config ref =
                   shape::config_from_value(arg(args, 0, "plotpw3d", "ref"), "the reference");
               const Eigen::MatrixXd scores =
                   arg(args, 1, "plotpw3d", "pwscore").to_matrix("the scores");
               const std::string refsymbol = text(2, "refsymbol");
               const std::string targetsymbol = text(3, "targetsymbol");
               const std::string plottype = text(4, "plottype");
               const auto k = static_cast<std::size_t>(ref.rows());
               // The target's list only says whether the target gets wires: they
               // are the reference list's, which is checked only where drawn.
               const Value& list = arg(args, 5, "plotpw3d", "refwireframe");
               const bool on_ref =
                   present(list) && (plottype == "a" || plottype == "b" || plottype == "c");
               const bool on_target = present(arg(args, 6, "plotpw3d", "targetwireframe")) &&
                                      (plottype == "b" || plottype == "d");
               const Eigen::MatrixXd wires =
                   on_ref || on_target ? wires_of(list, k) : Eigen::MatrixXd();
               shape::Stack deformed = as_runtime_error(
                   [&] { return tps::deformations_from_scores(ref, scores, console_note()); });
               plot_deformation(ref, deformed, refsymbol, targetsymbol, plottype, wires, on_ref,
                                on_target, linespec);
               return ValueList{};
             },
             8, 0});
}

}  // namespace velmora::plot
