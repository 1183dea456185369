#pragma once

#include <Eigen/Core>
#include <string_view>
#include <vector>

#include "platform/graphics/graphics.hpp"
#include "shape/types.hpp"

namespace velmora::plot {

/// Draws every configuration of a stack (k×3×n) into the current axes, one
/// line object per configuration in style `spec`.  Hold is set on after the
/// first configuration, then the limits become automatic and the scaling
/// equal.  A stack without landmarks or configurations is refused.
/// @return the line objects drawn, one per configuration
std::vector<gfx::Handle> showshape3D(const shape::Stack& x, std::string_view spec);
/// The same for one configuration (k×3).
std::vector<gfx::Handle> showshape3D(const shape::Config& x, std::string_view spec);

/// Draws the wires between landmarks wirelist(i,2) and wirelist(i,3) of
/// configuration `x` (k×3) as one line object: the two ends of each wire,
/// in list order, with a NaN point between wires.  Landmark numbers that
/// are not whole numbers in 1…k are refused with a message before anything
/// is drawn.
/// @return the line object drawn (none for an empty list)
std::vector<gfx::Handle> wire3d(const shape::Config& x, const Eigen::MatrixXd& wirelist,
                                std::string_view spec = "b-");

/// Draws one segment per landmark from `ref` (m×3) to `target` (≥ m rows).
/// @return the line objects drawn, one per landmark
std::vector<gfx::Handle> disvec3d(const shape::Config& ref, const shape::Config& target,
                                  std::string_view spec);

/// Draws an arrowhead at the target end of every segment from `ref` (m×3)
/// to `target` (≥ m rows), as one line object in style `spec`: four barbs
/// around the segment (a cone seen as a "V" from any direction), each
/// 0.35 of the segment long but at most `max_length` (data units), at 20°
/// to it.  Segments of zero length get no head.
/// @return the line object (also when no segment has a head)
gfx::Handle arrowheads3d(const shape::Config& ref, const shape::Config& target,
                         std::string_view spec, double max_length);

/// Line styling of the lines already drawn in axes `ax` (children whose type
/// starts with "l"); texts and other objects are left alone.
void incrementlinethickness(gfx::Handle ax, double step);
void incrementsymbolsize(gfx::Handle ax, double step);
void setlinethickness(gfx::Handle ax, double width);
void setsymbolfill(gfx::Handle ax, double flag);

}  // namespace velmora::plot
