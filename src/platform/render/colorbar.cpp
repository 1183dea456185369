#include "platform/render/colorbar.hpp"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <utility>
#include <vector>

#include "platform/render/ticks.hpp"

namespace velmora::render {

namespace {

constexpr double kLineWidthPt = 0.5;  // as the axes' own lines

// The bar's place in the band: its left edge, its top (rows growing
// downwards) and its height.
struct Place {
  double x0, y0, h;
};
Place place(const Rect& rect, double figure_height_px) {
  const double h = std::max(40.0, 0.5 * rect.height);
  const double top = figure_height_px - rect.bottom - rect.height;
  return {rect.left + rect.width - kColorBarBandPx + 12, top + 0.5 * (rect.height - h), h};
}

}  // namespace

std::optional<ColorBarLabel> colorbar_label(cairo_t* cr, const ColorBar& bar, const Rect& rect,
                                            double figure_height_px, const ColorBarFonts& fonts) {
  if (bar.label.empty() || !(std::isfinite(bar.lo) && std::isfinite(bar.hi))) return std::nullopt;
  ColorBarLabel l{bar.label, {}, fonts.label, {}};
  const Place p = place(rect, figure_height_px);
  // Right of the widest tick label, reading upwards along the bar, centred
  // on it.
  const double lo = bar.lo, hi = bar.hi > bar.lo ? bar.hi : bar.lo + 1, step = tick_step(lo, hi, 5);
  double widest = 0;
  for (double t : tick_values(lo, hi, step))
    widest = std::max(widest, text_size(cr, tick_label(t, step), fonts.ticks)[0]);
  const double x = p.x0 + kColorBarWidthPx + 6 + widest + fonts.pad, mid = p.y0 + 0.5 * p.h;
  const double room = rect.height;
  std::array<double, 2> size = text_size(cr, l.text, l.font);
  if (size[0] > room) {
    const double middle = 0.5 * static_cast<double>(l.text.size());
    std::size_t best = std::string::npos;
    for (std::size_t i = l.text.find(' '); i != std::string::npos; i = l.text.find(' ', i + 1))
      if (best == std::string::npos ||
          std::abs(double(i) - middle) < std::abs(double(best) - middle))
        best = i;
    if (best != std::string::npos) l.text[best] = '\n';
    size = text_size(cr, l.text, l.font);
  }
  if (size[0] > room) {
    l.font.size_px *= room / size[0];
    size = text_size(cr, l.text, l.font);
  }
  l.at = {x, mid};
  l.box = {x, mid - 0.5 * size[0], x + size[1], mid + 0.5 * size[0]};
  return l;
}

std::array<double, 4> colorbar_box(cairo_t* cr, const ColorBar& bar, const Rect& rect,
                                   double figure_height_px, const ColorBarFonts& fonts) {
  const Place p = place(rect, figure_height_px);
  std::array<double, 4> box{p.x0, p.y0, p.x0 + kColorBarWidthPx + 4, p.y0 + p.h};
  if (!(std::isfinite(bar.lo) && std::isfinite(bar.hi))) return box;
  const double lo = bar.lo, hi = bar.hi > bar.lo ? bar.hi : bar.lo + 1, step = tick_step(lo, hi, 5);
  for (double t : tick_values(lo, hi, step)) {
    const auto size = text_size(cr, tick_label(t, step), fonts.ticks);
    const double y = p.y0 + p.h - p.h * (t - lo) / (hi - lo);
    box = {box[0], std::min(box[1], y - 0.5 * size[1]),
           std::max(box[2], p.x0 + kColorBarWidthPx + 6 + size[0]),
           std::max(box[3], y + 0.5 * size[1])};
  }
  if (const auto l = colorbar_label(cr, bar, rect, figure_height_px, fonts))
    box = {box[0], std::min(box[1], l->box[1]), std::max(box[2], l->box[2]),
           std::max(box[3], l->box[3])};
  return box;
}

void draw_colorbar(const Ink& ink, const ColorBar& bar, const Rect& rect, double figure_height_px,
                   const ColorBarFonts& fonts) {
  if (!(std::isfinite(bar.lo) && std::isfinite(bar.hi))) return;
  cairo_t* cr = ink.cr;
  const double lo = bar.lo, hi = bar.hi > bar.lo ? bar.hi : bar.lo + 1;
  const Place p = place(rect, figure_height_px);
  ink.save();
  cairo_pattern_t* grad = cairo_pattern_create_linear(0, p.y0 + p.h, 0, p.y0);
  constexpr int kStops = 16;
  for (int i = 0; i <= kStops; ++i) {
    const double t = static_cast<double>(i) / kStops;
    const Rgb c = blue_red(t);
    cairo_pattern_add_color_stop_rgb(grad, t, c.r, c.g, c.b);
  }
  cairo_rectangle(cr, p.x0, p.y0, kColorBarWidthPx, p.h);
  cairo_set_source(cr, grad);
  ink.fill_preserve();
  cairo_pattern_destroy(grad);
  const Rgb line = fonts.ticks.color;
  cairo_set_source_rgb(cr, line.r, line.g, line.b);
  cairo_set_dash(cr, nullptr, 0, 0);
  cairo_set_line_width(cr, kLineWidthPt * kPxPerPt);
  ink.stroke();
  const double step = tick_step(lo, hi, 5);
  cairo_new_path(cr);
  std::vector<std::pair<double, std::string>> marks;
  for (double t : tick_values(lo, hi, step)) {
    const double y = p.y0 + p.h - p.h * (t - lo) / (hi - lo);
    cairo_move_to(cr, p.x0 + kColorBarWidthPx, y);
    cairo_line_to(cr, p.x0 + kColorBarWidthPx + 4, y);
    marks.emplace_back(y, tick_label(t, step));
  }
  ink.stroke();
  for (const auto& [y, label] : marks)
    ink.text(label, p.x0 + kColorBarWidthPx + 6, y, HAlign::Left, VAlign::Middle, fonts.ticks);
  if (const auto l = colorbar_label(cr, bar, rect, figure_height_px, fonts))
    ink.text(l->text, l->at[0], l->at[1], HAlign::Center, VAlign::Top, l->font,
             std::numbers::pi / 2);
  ink.restore();
}

}  // namespace velmora::render
