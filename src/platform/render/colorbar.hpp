#pragma once

#include <array>
#include <optional>
#include <string>

#include "platform/render/renderer.hpp"
#include "platform/render/scene.hpp"
#include "platform/render/screen_geometry.hpp"
#include "platform/render/svg_writer.hpp"
#include "platform/render/text.hpp"

// The colour bar beside an axes: its band on the right of the axes
// rectangle, its scale with ticks, and its label.
namespace velmora::render {

/// The bar's width; its band beside the axes is kColorBarBandPx.
inline constexpr double kColorBarWidthPx = 14;

/// The fonts of the axes the bar belongs to, and their padding.
struct ColorBarFonts {
  TextStyle ticks, label;
  double pad = 4;
};

/// Where the label goes: `text` (broken into two lines where needed) drawn
/// with `font`, reading upwards, its block centred on `at` along the bar and
/// starting there across it; `box` [left top right bottom] in device
/// pixels.
struct ColorBarLabel {
  std::string text;
  std::array<double, 2> at{};
  TextStyle font;
  std::array<double, 4> box{};
};

/// The label of `bar` beside the bar of the axes rectangle `rect` in a
/// figure `figure_height_px` tall: right of the tick labels, reading
/// upwards, centred on the bar, so that it never covers the plot or its
/// legend; where it is longer than the rectangle is tall, broken at the
/// blank nearest its middle, and made smaller until it fits.  Nothing when
/// the bar has no label.
std::optional<ColorBarLabel> colorbar_label(cairo_t* cr, const ColorBar& bar, const Rect& rect,
                                            double figure_height_px, const ColorBarFonts& fonts);

/// The rectangle [left top right bottom] in device pixels that the bar,
/// its tick labels and its label cover.
std::array<double, 4> colorbar_box(cairo_t* cr, const ColorBar& bar, const Rect& rect,
                                   double figure_height_px, const ColorBarFonts& fonts);

/// Draws the bar, its ticks and its label in the band of `rect`.
void draw_colorbar(const Ink& ink, const ColorBar& bar, const Rect& rect, double figure_height_px,
                   const ColorBarFonts& fonts);

}  // namespace velmora::render
