#pragma once

#include <Eigen/Core>
#include <string>

#include "platform/graphics/graphics.hpp"

namespace velmora::app {

/// The principal component scatter is a map of shape space: equal units on
/// both axes and, when the specimens are coloured by `x` (not null, more
/// than one value), a colour bar from blue (smallest) to red (largest)
/// named after X (`x_name`, "X" when empty).
void style_pca_scatter(gfx::Handle ax, const Eigen::VectorXd* x, const std::string& x_name);

/// A plot of values against X in the same axes: each axis its own units,
/// no colour bar.
void style_value_plot(gfx::Handle ax);

}  // namespace velmora::app
