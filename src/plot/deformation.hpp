#pragma once

#include <Eigen/Core>
#include <string_view>
#include <vector>

#include "platform/graphics/graphics.hpp"
#include "shape/types.hpp"

namespace velmora::plot {

/// The line objects of one deformation display, by what they show (empty
/// where the display type draws no such part).
struct DeformationLines {
  std::vector<gfx::Handle> reference, reference_wires, target, target_wires, vectors;
};

/// Whether a wire list is present: not empty, and its first wire number not
/// 0 (a list numbered 0 is drawn only where it links a present one).
bool wires_present(const Eigen::MatrixXd& wirelist);

/// Draws reference `ref` (k×3) and the deformed configurations `target`
/// (k×3×n) by display type: "a" reference and target symbols; "b" the same
/// with the wireframe on the first target in `linespec`; "c" reference
/// symbols and one blue vector per landmark to the first target; "d" the
/// targets alone, with the wireframe on the first.  The wires are those of
/// `wirelist`, drawn on the reference in "k-" where `reference_wires` is
/// set and on the target where `target_wires` is.
DeformationLines plot_deformation(const shape::Config& ref, const shape::Stack& target,
                                  std::string_view refsymbol, std::string_view targetsymbol,
                                  std::string_view plottype, const Eigen::MatrixXd& wirelist,
                                  bool reference_wires, bool target_wires,
                                  std::string_view linespec = "r-");

}  // namespace velmora::plot
