// Multi-line text drawn with Cairo's font selection.
#include "platform/render/text.hpp"

#include <algorithm>
#include <cmath>
#include <vector>

namespace velmora::render {

namespace {

// The same glyph options on every surface.  Cairo resolves a font face once,
// with the options of the first surface that draws text in it, and keeps that
// for every later surface; without fixed options a picture's text would
// depend on what was drawn before it in the process (an EPS export before a
// PNG changes the PNG's glyphs).  These are the vector surfaces' own options,
// so EPS, PDF and SVG output is as before; pictures get unhinted glyphs.
const cairo_font_options_t* glyph_options() {
  static cairo_font_options_t* options = [] {
    cairo_font_options_t* o = cairo_font_options_create();
    cairo_font_options_set_antialias(o, CAIRO_ANTIALIAS_GRAY);
    cairo_font_options_set_hint_style(o, CAIRO_HINT_STYLE_NONE);
    cairo_font_options_set_hint_metrics(o, CAIRO_HINT_METRICS_OFF);
    return o;
  }();
  return options;
}

void select_font(cairo_t* cr, const TextStyle& style) {
  cairo_set_font_options(cr, glyph_options());
  cairo_select_font_face(cr, style.font_name.empty() ? "DejaVu Sans" : style.font_name.c_str(),
                         style.italic ? CAIRO_FONT_SLANT_ITALIC : CAIRO_FONT_SLANT_NORMAL,
                         style.bold ? CAIRO_FONT_WEIGHT_BOLD : CAIRO_FONT_WEIGHT_NORMAL);
  double size = style.size_px;
  cairo_set_font_size(cr, std::isfinite(size) && size > 0 ? size : 1);
}

std::vector<std::string> split_lines(std::string_view text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  while (true) {
    std::size_t nl = text.find('\n', start);
    std::string_view line = text.substr(start, nl == std::string_view::npos ? nl : nl - start);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    lines.emplace_back(line);
    if (nl == std::string_view::npos) break;
    start = nl + 1;
  }
  return lines;
}

double advance(cairo_t* cr, const std::string& line) {
  cairo_text_extents_t te;
  cairo_text_extents(cr, line.c_str(), &te);
  return te.x_advance;
}

}  // namespace

std::array<double, 2> text_size(cairo_t* cr, std::string_view text, const TextStyle& style) {
  cairo_save(cr);
  select_font(cr, style);
  cairo_font_extents_t fe;
  cairo_font_extents(cr, &fe);
  double w = 0;
  std::vector<std::string> lines = split_lines(text);
  for (const std::string& l : lines) w = std::max(w, advance(cr, l));
  cairo_restore(cr);
  return {w, fe.height * static_cast<double>(lines.size())};
}

std::vector<TextLine> text_lines(cairo_t* cr, std::string_view text, HAlign halign, VAlign valign,
                                 const TextStyle& style) {
  std::vector<TextLine> out;
  if (text.empty()) return out;
  cairo_save(cr);
  select_font(cr, style);
  cairo_font_extents_t fe;
  cairo_font_extents(cr, &fe);
  std::vector<std::string> lines = split_lines(text);
  const double block = fe.height * static_cast<double>(lines.size());
  // Row of the top of the block relative to the anchor.
  const double top = valign == VAlign::Top ? 0 : valign == VAlign::Middle ? -0.5 * block : -block;
  // Cairo's line height includes a gap below the descender; centre the glyph
  // box (ascent + descent) inside each line.
  const double lead = 0.5 * (fe.height - fe.ascent - fe.descent);
  for (std::size_t i = 0; i < lines.size(); ++i) {
    if (lines[i].empty()) continue;
    double w = advance(cr, lines[i]);
    double left = halign == HAlign::Left ? 0 : halign == HAlign::Center ? -0.5 * w : -w;
    out.push_back(
        {std::move(lines[i]), left, top + lead + fe.ascent + fe.height * static_cast<double>(i)});
  }
  cairo_restore(cr);
  return out;
}

void draw_text(cairo_t* cr, std::string_view text, double x, double y, HAlign halign, VAlign valign,
               const TextStyle& style, double angle_rad) {
  if (text.empty()) return;
  cairo_save(cr);
  cairo_translate(cr, x, y);
  if (angle_rad != 0) cairo_rotate(cr, -angle_rad);
  const std::vector<TextLine> lines = text_lines(cr, text, halign, valign, style);
  select_font(cr, style);
  cairo_set_source_rgb(cr, style.color.r, style.color.g, style.color.b);
  for (const TextLine& l : lines) {
    cairo_move_to(cr, l.left, l.baseline);
    cairo_show_text(cr, l.text.c_str());
  }
  cairo_restore(cr);
}

}  // namespace velmora::render
