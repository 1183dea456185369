#pragma once

#include <cairo.h>

#include <array>
#include <string>
#include <string_view>

#include "platform/render/scene.hpp"

namespace velmora::render {

/// The font and colour of a drawn text.
struct TextStyle {
  std::string font_name;  ///< empty: DejaVu Sans
  double size_px = 40.0 / 3;
  bool bold = false, italic = false;
  Rgb color{0, 0, 0};
};

/// Width and height in user units of a text of one or more lines ('\n').
std::array<double, 2> text_size(cairo_t* cr, std::string_view text, const TextStyle& style);

/// Draws a text of one or more lines anchored at (x, y) in user units:
/// halign puts the anchor at the left, centre or right of every line, valign
/// at the top, middle or bottom of the whole block.  angle_rad turns the
/// block counter-clockwise about the anchor (pi/2 reads upwards).  Text
/// stays text on vector surfaces.
void draw_text(cairo_t* cr, std::string_view text, double x, double y, HAlign halign, VAlign valign,
               const TextStyle& style, double angle_rad = 0);

}  // namespace velmora::render
