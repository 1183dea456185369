#pragma once

#include <Eigen/Core>
#include <string>
#include <string_view>
#include <vector>

#include "platform/graphics/graphics.hpp"

namespace velmora::app {

/// The principal component scatter is a map of shape space: equal units on
/// both axes and, when the specimens are coloured by `x` (not null, more
/// than one value), a colour bar from blue (smallest) to red (largest)
/// named after X (`x_name`, "X" when empty).
void style_pca_scatter(gfx::Handle ax, const Eigen::VectorXd* x, const std::string& x_name);

/// The tag of the specimen names written beside the scatter's points.
inline constexpr std::string_view kSpecimenLabelTag = "SpecimenLabel";

/// Writes `names` (one a point; numbers from 1 where the sample has none)
/// beside the points (`x`, `y`) of axes `ax`, set off from their markers of
/// `marker_pt` points as the landmark numbers are, so that a label moves to
/// another corner of its point rather than cover an earlier one; shown or
/// hidden by `shown`.
void label_specimens(gfx::Handle ax, const Eigen::VectorXd& x, const Eigen::VectorXd& y,
                     const std::vector<std::string>& names, double marker_pt, bool shown);

/// Shows or hides the specimen names of axes `ax`; false when it has none.
bool show_specimen_labels(gfx::Handle ax, bool shown);

/// A plot of values against X in the same axes: each axis its own units,
/// no colour bar.
void style_value_plot(gfx::Handle ax);

}  // namespace velmora::app
