#include "plot/deformation.hpp"

#include "bindings/numeric_calls.hpp"
#include "bindings/shape_values.hpp"
#include "plot/primitives.hpp"
#include "tps/deformation.hpp"

namespace velmora::plot {

namespace {

bool wires_present(const Value& w) {
  return !w.empty() && w.is_double() && w(0) != 0;
}

}  // namespace

void plotpw3d(const Value& ref, const Value& pwscore, std::string_view refsymbol,
              std::string_view targetsymbol, std::string_view plottype, const Value& refwireframe,
              const Value& targetwireframe, std::string_view linespec) {
  shape::Config r = shape::config_from_value(ref, "the reference");
  const Eigen::MatrixXd scores = pwscore.to_matrix("the scores");
  shape::Stack deformed =
      as_runtime_error([&] { return tps::deformations_from_scores(r, scores, console_note()); });
  plot_deformation(ref, shape::stack_to_value(std::move(deformed)), refsymbol, targetsymbol,
                   plottype, refwireframe, targetwireframe, linespec);
}

DeformationLines plot_deformation(const Value& ref, const Value& target, std::string_view refsymbol,
                                  std::string_view targetsymbol, std::string_view plottype,
                                  const Value& refwireframe, const Value& targetwireframe,
                                  std::string_view linespec) {
  const bool ref_wires = wires_present(refwireframe);
  const bool target_wires = wires_present(targetwireframe);
  DeformationLines out;
  auto reference_with_wires = [&] {
    out.reference = showshape3D(ref, refsymbol);
    if (ref_wires) out.reference_wires = wire3d(ref, refwireframe, "k-");
  };
  if (plottype == "a" || plottype == "b") {
    reference_with_wires();
    out.target = showshape3D(target, targetsymbol);
    if (plottype == "b" && target_wires) out.target_wires = wire3d(target, refwireframe, linespec);
  } else if (plottype == "c") {
    reference_with_wires();
    out.vectors = disvec3d(ref, target, "b-");
  } else if (plottype == "d") {
    out.target = showshape3D(target, targetsymbol);
    if (target_wires) out.target_wires = wire3d(target, refwireframe, linespec);
  }
  return out;
}

void register_deformation_functions(FunctionTable& table) {
  table.add({"plotpw3d",
             [](const ValueList& args, int) {
               auto text = [&](std::size_t i, std::string_view name) {
                 return arg(args, i, "plotpw3d", name).to_string(name);
               };
               std::string linespec = args.size() > 7 ? args[7].to_string("linespec") : "r-";
               plotpw3d(arg(args, 0, "plotpw3d", "ref"), arg(args, 1, "plotpw3d", "pwscore"),
                        text(2, "refsymbol"), text(3, "targetsymbol"), text(4, "plottype"),
                        arg(args, 5, "plotpw3d", "refwireframe"),
                        arg(args, 6, "plotpw3d", "targetwireframe"), linespec);
               return ValueList{};
             },
             8, 0});
}

}  // namespace velmora::plot
