#include "plot/deformation.hpp"

#include "plot/primitives.hpp"

namespace velmora::plot {

bool wires_present(const Eigen::MatrixXd& w) {
  return w.size() > 0 && w(0, 0) != 0;
}

DeformationLines plot_deformation(const shape::Config& ref, const shape::Stack& target,
                                  std::string_view refsymbol, std::string_view targetsymbol,
                                  std::string_view plottype, const Eigen::MatrixXd& wirelist,
                                  bool ref_wires, bool target_wires, std::string_view linespec) {
  DeformationLines out;
  auto reference_with_wires = [&] {
    out.reference = showshape3D(ref, refsymbol);
    if (ref_wires) out.reference_wires = wire3d(ref, wirelist, "k-");
  };
  // The vectors and the wires go to the first target.
  auto first = [&] { return shape::Config(target.slice(0)); };
  if (plottype == "a" || plottype == "b") {
    reference_with_wires();
    out.target = showshape3D(target, targetsymbol);
    if (plottype == "b" && target_wires) out.target_wires = wire3d(first(), wirelist, linespec);
  } else if (plottype == "c") {
    reference_with_wires();
    out.vectors = disvec3d(ref, first(), "b-");
  } else if (plottype == "d") {
    out.target = showshape3D(target, targetsymbol);
    if (target_wires) out.target_wires = wire3d(first(), wirelist, linespec);
  }
  return out;
}

}  // namespace velmora::plot
