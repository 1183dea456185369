#pragma once

#include <cairo.h>

#include <array>
#include <limits>
#include <string>
#include <vector>

#include "platform/render/marker.hpp"
#include "platform/render/projection.hpp"
#include "platform/render/scene.hpp"
#include "platform/render/svg_writer.hpp"
#include "platform/render/text.hpp"

// Pieces of an axes drawing that need none of the painter's state: the
// ticks of one axis and the legend box.
namespace velmora::render {

/// One axis line of the box with its ticks, as laid out on screen.
struct AxisLayout {
  int dim = 0;
  std::array<double, 3> a{}, b{};       ///< data end points (low and high end of the axis)
  std::array<double, 2> outward{0, 1};  ///< unit screen direction away from the box
  double length_px = 0;
  double step = 0;
  std::vector<double> ticks;
  std::vector<std::string> labels;
  double label_reach = 0;  ///< how far the tick labels stick out along outward
};

/// Ticks of `ax` over [lo, hi] about 55 pixels apart whose labels (in
/// `font`) do not collide along the screen direction `dir` of the axis.
void choose_axis_ticks(cairo_t* cr, AxisLayout& ax, std::array<double, 2> dir, double lo, double hi,
                       const TextStyle& font);

/// The size of a legend box: a row a line, each a line sample and its label.
struct LegendSize {
  double width = 0, height = 0;
  double row_height = 0;  ///< of one line of a label
  double pad = 0;
  /// Each entry's label as drawn: broken at blanks into lines where the
  /// legend would be wider than it may be; and its number of lines.
  std::vector<std::string> labels;
  std::vector<int> lines;
};
/// The legend's size, its labels wrapped so that it is at most `max_width`
/// pixels wide where their words allow; one that fits is laid out as is.
LegendSize legend_size(cairo_t* cr, const std::vector<LegendEntry>& legend, const TextStyle& font,
                       double max_width = std::numeric_limits<double>::infinity());

/// The height of the strip under the plot that the legend of `axes` needs
/// when it stands there, on axes `width_px` wide (its labels wrapped to
/// that width), with a margin under it and room above it for the tick
/// labels under the plot's box.
double legend_strip_height(const AxesScene& axes, double width_px);

/// The screen boxes of a 2-D plot's markers, which its legend keeps clear
/// of where a corner allows.
std::vector<std::array<double, 4>> marker_boxes(const AxesScene& axes, const Projection& proj);

/// Where a legend of `size` pixels goes on axes `rect` with plot `plot`:
/// in the strip under the plot where the axes keep one, else in the corner
/// of the plot that covers the least of `avoid`.
std::array<double, 4> legend_place(const AxesScene& axes, const Rect& rect, const Rect& plot,
                                   double figure_height_px, std::array<double, 2> size,
                                   const std::vector<std::array<double, 4>>& avoid);

/// Draws the legend box with its top-left corner at (x0, y0): a white,
/// slightly transparent box with a grey edge, and each row's line sample,
/// marker and label, as the lines draw.
void paint_legend_box(const Ink& ink, MarkerStamper& stamper,
                      const std::vector<LegendEntry>& legend, double x0, double y0,
                      const LegendSize& size, const TextStyle& font);

}  // namespace velmora::render
