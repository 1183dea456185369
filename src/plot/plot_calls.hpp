#pragma once

#include "platform/runtime/function_table.hpp"

namespace velmora::plot {

/// Registers showshape3D, wire3d, disvec3d and the four styling functions:
/// the drawing functions called by name, which check and convert their
/// values and call the typed functions of plot/primitives.hpp.
void register_plot_functions(FunctionTable& table);

/// Registers plotpw3d (8 inputs, no output): the deformation that the score
/// vector `pwscore` implies for reference `ref`, drawn by plot_deformation.
void register_deformation_functions(FunctionTable& table);

}  // namespace velmora::plot
