#include "platform/render/axes_parts.hpp"

#include <algorithm>
#include <cmath>

#include "platform/render/line_geometry.hpp"
#include "platform/render/renderer.hpp"
#include "platform/render/ticks.hpp"

namespace velmora::render {

namespace {

constexpr double kTickSpacingPx = 55;   // wanted screen distance between ticks
constexpr double kLegendSamplePx = 26;  // length of a legend row's line sample
constexpr double kLegendMarkerMaxPt = 9;
constexpr double kLegendEdgeWidthPt = 0.5;

}  // namespace

void choose_axis_ticks(cairo_t* cr, AxisLayout& ax, std::array<double, 2> dir, double lo, double hi,
                       const TextStyle& font) {
  double step = tick_step(lo, hi, std::clamp(ax.length_px / kTickSpacingPx + 1, 3.0, 11.0));
  for (int tries = 0; tries < 12; ++tries) {
    ax.step = step;
    ax.ticks = tick_values(lo, hi, step);
    ax.labels.clear();
    ax.label_reach = 0;
    double widest_along = 0;
    for (double t : ax.ticks) {
      ax.labels.push_back(tick_label(t, step));
      auto sz = text_size(cr, ax.labels.back(), font);
      widest_along = std::max(widest_along, std::fabs(dir[0]) * sz[0] + std::fabs(dir[1]) * sz[1]);
      ax.label_reach = std::max(
          ax.label_reach, std::fabs(ax.outward[0]) * sz[0] + std::fabs(ax.outward[1]) * sz[1]);
    }
    double spacing = ax.length_px * step / (hi - lo);
    if (ax.ticks.size() < 2 || spacing >= widest_along + 0.8 * font.size_px) return;
    step = next_nice_step(step);
  }
}

LegendSize legend_size(cairo_t* cr, const std::vector<LegendEntry>& legend, const TextStyle& font) {
  LegendSize s;
  s.row_height = std::max(font.size_px * 1.45, 14.0);
  double text_w = 0;
  for (const LegendEntry& e : legend) text_w = std::max(text_w, text_size(cr, e.label, font)[0]);
  s.pad = 0.6 * font.size_px;
  s.width = s.pad + kLegendSamplePx + s.pad + text_w + s.pad;
  s.height = s.pad + s.row_height * static_cast<double>(legend.size()) + s.pad * 0.4;
  return s;
}

void paint_legend_box(const Ink& ink, MarkerStamper& stamper,
                      const std::vector<LegendEntry>& legend, double x0, double y0,
                      const LegendSize& size, const TextStyle& font) {
  cairo_t* cr = ink.cr;
  const double pad = size.pad, row_h = size.row_height;
  ink.save();
  cairo_set_dash(cr, nullptr, 0, 0);
  cairo_rectangle(cr, x0, y0, size.width, size.height);
  cairo_set_source_rgba(cr, 1, 1, 1, 0.88);
  ink.fill_preserve();
  cairo_set_source_rgb(cr, 0.6, 0.6, 0.6);
  cairo_set_line_width(cr, kLegendEdgeWidthPt * kPxPerPt);
  ink.stroke();
  for (std::size_t i = 0; i < legend.size(); ++i) {
    const LegendEntry& e = legend[i];
    const SceneLine& l = e.sample;
    const double yc = y0 + pad + row_h * (static_cast<double>(i) + 0.5);
    const double xa = x0 + pad, xb = xa + kLegendSamplePx;
    const double width_px =
        std::isfinite(l.line_width_pt) ? std::max(l.line_width_pt, 0.0) * kPxPerPt : 0;
    if (l.style != LineStyle::None && width_px > 0) {
      std::vector<double> dash = dash_pattern(l.style, width_px);
      cairo_set_dash(cr, dash.data(), static_cast<int>(dash.size()), 0);
      cairo_set_line_cap(cr, CAIRO_LINE_CAP_BUTT);
      cairo_set_line_width(cr, width_px);
      cairo_set_source_rgb(cr, l.color.r, l.color.g, l.color.b);
      cairo_move_to(cr, xa, yc);
      cairo_line_to(cr, xb, yc);
      ink.stroke();
      cairo_set_dash(cr, nullptr, 0, 0);
    }
    if (l.marker != Marker::None && l.marker_size_pt > 0 && std::isfinite(l.marker_size_pt)) {
      MarkerStyle ms;
      ms.marker = l.marker;
      ms.size_px = std::min(l.marker_size_pt, kLegendMarkerMaxPt) * kPxPerPt;
      ms.line_width_px = std::max(width_px, 0.5);
      ms.edge = l.marker_edge.value_or(l.color);
      ms.face = l.marker_face;
      ink.markers(stamper, ms, {std::array<double, 2>{0.5 * (xa + xb), yc}});
    }
    ink.text(e.label, xb + pad, yc, HAlign::Left, VAlign::Middle, font);
  }
  ink.restore();
}

}  // namespace velmora::render
