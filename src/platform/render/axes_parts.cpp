#include "platform/render/axes_parts.hpp"

#include <algorithm>
#include <cmath>

#include "platform/render/line_geometry.hpp"
#include "platform/render/renderer.hpp"
#include "platform/render/screen_geometry.hpp"
#include "platform/render/ticks.hpp"

namespace velmora::render {

namespace {

constexpr double kTickSpacingPx = 55;   // wanted screen distance between ticks
constexpr double kLegendSamplePx = 26;  // length of a legend row's line sample
constexpr double kLegendMarkerMaxPt = 9;
constexpr double kLegendEdgeWidthPt = 0.5;
constexpr double kLegendInsetPx = 8;  // the legend's margin to the axes' edges

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

namespace {

// `label` broken at blanks into lines at most `width` pixels wide (a word
// longer than that stands on a line of its own); its number of lines.
std::pair<std::string, int> wrapped(cairo_t* cr, const std::string& label, const TextStyle& font,
                                    double width) {
  std::string out, line, word;
  int lines = 1;
  auto put = [&] {
    if (word.empty()) return;
    const std::string longer = line.empty() ? word : line + " " + word;
    if (!line.empty() && text_size(cr, longer, font)[0] > width) {
      out += line + "\n";
      ++lines;
      line = word;
    } else {
      line = longer;
    }
    word.clear();
  };
  for (char c : label) {
    if (c == ' ')
      put();
    else
      word += c;
  }
  put();
  return {out + line, lines};
}

}  // namespace

LegendSize legend_size(cairo_t* cr, const std::vector<LegendEntry>& legend, const TextStyle& font,
                       double max_width) {
  LegendSize s;
  s.row_height = std::max(font.size_px * 1.45, 14.0);
  s.pad = 0.6 * font.size_px;
  const double frame = s.pad + kLegendSamplePx + s.pad + s.pad;
  double text_w = 0;
  for (const LegendEntry& e : legend) text_w = std::max(text_w, text_size(cr, e.label, font)[0]);
  const bool wrap = frame + text_w > max_width;
  int rows = 0;
  if (wrap) text_w = 0;
  for (const LegendEntry& e : legend) {
    auto [label, lines] = wrap ? wrapped(cr, e.label, font, max_width - frame)
                               : std::pair<std::string, int>{e.label, 1};
    if (wrap) text_w = std::max(text_w, text_size(cr, label, font)[0]);
    s.labels.push_back(std::move(label));
    s.lines.push_back(lines);
    rows += lines;
  }
  s.width = frame + text_w;
  s.height = s.pad + s.row_height * static_cast<double>(rows) + s.pad * 0.4;
  return s;
}

std::vector<std::array<double, 4>> marker_boxes(const AxesScene& axes, const Projection& proj) {
  std::vector<std::array<double, 4>> out;
  for (const SceneLine& l : axes.lines) {
    if (l.marker == Marker::None) continue;
    const double r = 0.5 * l.marker_size_pt * kPxPerPt;
    for (std::size_t i = 0; i < l.x.size() && i < l.y.size(); ++i) {
      if (!std::isfinite(l.x[i]) || !std::isfinite(l.y[i])) continue;
      const auto p = proj.to_pixel({l.x[i], l.y[i], i < l.z.size() ? l.z[i] : 0.0});
      out.push_back({p[0] - r, p[1] - r, p[0] + r, p[1] + r});
    }
  }
  return out;
}

std::array<double, 4> legend_place(const AxesScene& axes, const Rect& rect, const Rect& plot,
                                   double figure_height_px, std::array<double, 2> size,
                                   const std::vector<std::array<double, 4>>& avoid) {
  if (axes.legend_strip_px > 0 && plot.bottom > rect.bottom)
    return {rect.left + std::max(0.0, 0.5 * (rect.width - size[0])),
            figure_height_px - rect.bottom - size[1] - 4, 0, 0};
  const double top = figure_height_px - rect.bottom - rect.height;
  return free_corner({plot.left, top, plot.left + plot.width, top + plot.height}, size,
                     kLegendInsetPx, avoid);
}

double legend_strip_height(const AxesScene& axes, double width_px) {
  if (axes.legend.empty()) return 0;
  cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_A8, 1, 1);
  cairo_t* cr = cairo_create(s);
  TextStyle font;
  font.size_px = tick_font_pt(axes) * kPxPerPt;
  const double h = legend_size(cr, axes.legend, font, width_px - 2 * kLegendInsetPx).height;
  cairo_destroy(cr);
  cairo_surface_destroy(s);
  // Room above it for the tick labels under the plot's box.
  return h + kLegendInsetPx + 1.6 * font.size_px;
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
  double rows_above = 0;
  for (std::size_t i = 0; i < legend.size(); ++i) {
    const LegendEntry& e = legend[i];
    const SceneLine& l = e.sample;
    const int lines = i < size.lines.size() ? size.lines[i] : 1;
    const double yc = y0 + pad + row_h * (rows_above + 0.5 * lines);
    rows_above += lines;
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
    ink.text(i < size.labels.size() ? size.labels[i] : e.label, xb + pad, yc, HAlign::Left,
             VAlign::Middle, font);
  }
  ink.restore();
}

}  // namespace velmora::render
