#pragma once

#include <string_view>
#include <vector>

#include "platform/graphics/graphics.hpp"
#include "platform/runtime/function_table.hpp"
#include "platform/value/value.hpp"

namespace velmora::plot {

/// Draws the deformation that the score vector `pwscore` (one row) implies
/// for reference `ref` (k×3), by display type: "a" reference and target
/// symbols; "b" the same with the wireframe on the target in `linespec`;
/// "c" reference symbols and one blue vector per landmark; "d" the target
/// alone.  The reference wireframe is drawn in "k-" where a wire list is
/// present (not empty, first wire number not 0).
void plotpw3d(const Value& ref, const Value& pwscore, std::string_view refsymbol,
              std::string_view targetsymbol, std::string_view plottype, const Value& refwireframe,
              const Value& targetwireframe, std::string_view linespec = "r-");

/// The line objects of one deformation display, by what they show (empty
/// where the display type draws no such part).
struct DeformationLines {
  std::vector<gfx::Handle> reference, reference_wires, target, target_wires, vectors;
};

/// Draws reference `ref` and a deformed configuration `target` (both k×3)
/// by the display types of plotpw3d.
DeformationLines plot_deformation(const Value& ref, const Value& target, std::string_view refsymbol,
                                  std::string_view targetsymbol, std::string_view plottype,
                                  const Value& refwireframe, const Value& targetwireframe,
                                  std::string_view linespec = "r-");

/// Registers plotpw3d (8 inputs, no output).
void register_deformation_functions(FunctionTable& table);

}  // namespace velmora::plot
