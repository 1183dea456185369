#pragma once

#include <Eigen/Core>
#include <cstddef>
#include <string>

#include "platform/graphics/graphics.hpp"
#include "platform/render/line_spec.hpp"

namespace velmora::app {

struct Document;

/// The colour of group `g`: Okabe and Ito's eight colours in turn, told
/// apart with every common colour blindness.
render::Rgb group_colour(std::size_t g);

/// Plots `y` against `x` in `ax`, one colour a group of the chosen factor,
/// a legend of the groups at the upper left, and the chosen outline
/// (the 95 % confidence ellipse of each group's mean, or its convex hull).
/// False, drawing nothing, when no factor is chosen or the sample loaded
/// now has no such factor.
bool plot_by_groups(Document& doc, gfx::Handle ax, const Eigen::VectorXd& x,
                    const Eigen::VectorXd& y);

/// A histogram of `x` a group of the chosen factor, in `ax`: common bins
/// (Sturges' number of them over the range of `x`, widened to a round
/// width), each group's counts as outlined bars in its colour side by side
/// within a bin, and the legend of the groups above the bars at the upper
/// left.  False, drawing nothing, as plot_by_groups.
bool histogram_by_groups(Document& doc, gfx::Handle ax, const Eigen::VectorXd& x);

}  // namespace velmora::app
