#pragma once

#include <cairo.h>

#include <array>
#include <string>
#include <string_view>
#include <vector>

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

/// One line of a laid-out text: where its baseline starts, relative to the
/// anchor, before any turn.
struct TextLine {
  std::string text;
  double left = 0, baseline = 0;
};

/// The lines of `text` as draw_text places them about its anchor; empty
/// lines are left out.
std::vector<TextLine> text_lines(cairo_t* cr, std::string_view text, HAlign halign, VAlign valign,
                                 const TextStyle& style);

/// Draws a text of one or more lines anchored at (x, y) in user units:
/// halign puts the anchor at the left, centre or right of every line, valign
/// at the top, middle or bottom of the whole block.  angle_rad turns the
/// block counter-clockwise about the anchor (pi/2 reads upwards).  Text
/// stays text on vector surfaces.
void draw_text(cairo_t* cr, std::string_view text, double x, double y, HAlign halign, VAlign valign,
               const TextStyle& style, double angle_rad = 0);

}  // namespace velmora::render
