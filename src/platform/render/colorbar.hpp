#pragma once

#include <array>
#include <optional>
#include <string>

#include "platform/render/renderer.hpp"
#include "platform/render/scene.hpp"
#include "platform/render/svg_writer.hpp"
#include "platform/render/text.hpp"

// The colour bar beside an axes: its band on the right of the axes
// rectangle, its scale with ticks, and its label.
namespace velmora::render {

/// Room on the right of an axes rectangle for the colour bar.
inline constexpr double kColorBarBandPx = 90;
inline constexpr double kColorBarWidthPx = 14;

/// The fonts of the axes the bar belongs to, and their padding.
struct ColorBarFonts {
  TextStyle ticks, label;
  double pad = 4;
};

/// Where the label goes: `text` (broken into two lines where needed) drawn
/// with `font`, its block's bottom at `at`, aligned there by `halign`;
/// `box` [left top right bottom] in device pixels.
struct ColorBarLabel {
  std::string text;
  std::array<double, 2> at{};
  HAlign halign = HAlign::Center;
  TextStyle font;
  std::array<double, 4> box{};
};

/// The label of `bar` above the bar of the axes rectangle `rect` in a
/// figure `figure_height_px` tall: centred on the bar where that keeps it
/// inside the rectangle, otherwise ending at its right edge; where even
/// that is too narrow, broken at the blank nearest its middle, and made
/// smaller until it fits across the rectangle and below the figure's top.
/// Nothing when the bar has no label.
std::optional<ColorBarLabel> colorbar_label(cairo_t* cr, const ColorBar& bar, const Rect& rect,
                                            double figure_height_px, const ColorBarFonts& fonts);

/// Draws the bar, its ticks and its label in the band of `rect`.
void draw_colorbar(const Ink& ink, const ColorBar& bar, const Rect& rect, double figure_height_px,
                   const ColorBarFonts& fonts);

}  // namespace velmora::render
