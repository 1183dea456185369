// Drawing one axes: background, grid, box, ticks, labels, then the data.
#include <algorithm>
#include <cmath>
#include <numbers>
#include <optional>
#include <string>
#include <vector>

#include "platform/render/axes_parts.hpp"
#include "platform/render/colorbar.hpp"
#include "platform/render/image_painter.hpp"
#include "platform/render/line_geometry.hpp"
#include "platform/render/marker.hpp"
#include "platform/render/projection.hpp"
#include "platform/render/renderer.hpp"
#include "platform/render/screen_geometry.hpp"
#include "platform/render/surface_raster.hpp"
#include "platform/render/svg_writer.hpp"
#include "platform/render/text.hpp"
#include "platform/render/ticks.hpp"

namespace velmora::render {

namespace {

using P2 = std::array<double, 2>;
using P3 = std::array<double, 3>;

constexpr Rgb kAxisColor{0.15, 0.15, 0.15};
constexpr Rgb kGridColor{0.85, 0.85, 0.85};
constexpr double kAxisLineWidthPt = 0.5;
constexpr double kLabelScale = 1.1;  // axis labels and title against tick labels

void set_rgb(cairo_t* cr, Rgb c) {
  cairo_set_source_rgb(cr, c.r, c.g, c.b);
}

P2 sub(P2 a, P2 b) {
  return {a[0] - b[0], a[1] - b[1]};
}
double dot(P2 a, P2 b) {
  return a[0] * b[0] + a[1] * b[1];
}
double norm(P2 a) {
  return std::hypot(a[0], a[1]);
}

class AxesPainter {
 public:
  AxesPainter(const Ink& ink, const AxesScene& a, const Rect& rect, double fig_h, unsigned layers)
      : ink_(ink),
        cr_(ink.cr),
        a_(a),
        proj_(a, data_rect(a, rect), fig_h),
        rect_(rect),
        fig_h_(fig_h),
        layers_(layers) {
    for (int d = 0; d < 3; ++d) {
      lo_[d] = proj_.limit(d)[0];
      hi_[d] = proj_.limit(d)[1];
    }
    tick_font_.size_px = tick_font_pt(a) * kPxPerPt;
    tick_font_.color = kAxisColor;
    label_font_ = tick_font_;
    label_font_.size_px *= kLabelScale;
    title_font_ = label_font_;
    title_font_.bold = true;
    tick_len_ = std::max(3.0, (proj_.two_d() ? 0.01 : 0.015) * std::max(rect.width, rect.height));
    pad_ = 0.45 * tick_font_.size_px;
    // Labels set off from their points stay inside a 2-D plot's box.
    if (proj_.two_d())
      inside_ = {px(corner(0))[0], px(corner(3))[1], px(corner(3))[0], px(corner(0))[1]};
  }

  void paint() {
    ink_.save();
    if (a_.zoom > 1 && !proj_.two_d()) {
      // A zoomed-in view stays inside its own rectangle.
      cairo_rectangle(cr_, rect_.left, fig_h_ - rect_.bottom - rect_.height, rect_.width,
                      rect_.height);
      ink_.clip();
    }
    cairo_set_line_join(cr_, CAIRO_LINE_JOIN_ROUND);
    if (layers_ & kUnderData) {
      if (a_.axis_visible) {
        paint_background();
        paint_grid();
      }
      for (const SceneImage& im : a_.images) paint_image(ink_, proj_, im);
      if (a_.surface && (layers_ & kSurface)) paint_surface(*a_.surface, ink_, proj_);
      if (a_.axis_visible) paint_frame();
    }
    MarkerStamper stamper;
    if (layers_ & kData) {
      for (const SceneLine& l : a_.lines) paint_line(l, stamper);
    }
    if (layers_ & kOverData) {
      for (const SceneText& t : a_.texts) paint_text(t);
      paint_title();  // the title stays when the axis is hidden
      paint_colorbar();
      paint_legend(stamper);
    }
    ink_.restore();
  }

 private:
  P3 corner(int bits) const {
    return {bits & 1 ? hi_[0] : lo_[0], bits & 2 ? hi_[1] : lo_[1], bits & 4 ? hi_[2] : lo_[2]};
  }
  P2 px(const P3& p) const { return proj_.to_pixel(p); }

  std::vector<P2> box_corners_px() const {
    std::vector<P2> out;
    for (int i = 0; i < 8; ++i) out.push_back(px(corner(i)));
    return out;
  }

  P2 box_centre_px() const {
    return px({0.5 * (lo_[0] + hi_[0]), 0.5 * (lo_[1] + hi_[1]), 0.5 * (lo_[2] + hi_[2])});
  }

  // The limit (0 low, 1 high) of dimension d on the far side from the
  // viewer, or -1 when planes across d are seen edge-on.
  int back_side(int d) const {
    double t = proj_.toward()[d];
    if (std::fabs(t) < 1e-9) return -1;
    return t > 0 ? 0 : 1;
  }

  void add_segment(P2 a, P2 b) {
    cairo_move_to(cr_, a[0], a[1]);
    cairo_line_to(cr_, b[0], b[1]);
  }

  void paint_background() {
    std::vector<P2> hull = convex_hull(box_corners_px());
    if (hull.size() < 3) return;
    cairo_new_path(cr_);
    for (const P2& p : hull) cairo_line_to(cr_, p[0], p[1]);
    cairo_close_path(cr_);
    set_rgb(cr_, a_.background);
    ink_.fill();
  }

  // Grid lines at the ticks of each gridded axis, on the back planes.
  void paint_grid() {
    const bool grid[3] = {a_.xgrid, a_.ygrid, a_.zgrid && !proj_.two_d()};
    cairo_new_path(cr_);
    bool any = false;
    for (int d = 0; d < 3; ++d) {
      if (!grid[d]) continue;
      const AxisLayout& ax = layout(d);
      for (int e = 0; e < 3; ++e) {
        if (e == d || (proj_.two_d() && e != 2)) continue;
        int side = proj_.two_d() ? 0 : back_side(e);
        if (side < 0) continue;
        int f = 3 - d - e;
        for (double t : ax.ticks) {
          P3 p{}, q{};
          p[d] = q[d] = t;
          p[e] = q[e] = side == 0 ? lo_[e] : hi_[e];
          p[f] = lo_[f];
          q[f] = hi_[f];
          add_segment(px(p), px(q));
          any = true;
        }
      }
    }
    if (!any) return;
    set_rgb(cr_, kGridColor);
    cairo_set_line_width(cr_, kAxisLineWidthPt * kPxPerPt);
    cairo_set_dash(cr_, nullptr, 0, 0);
    ink_.stroke();
  }

  int axis_count() const { return proj_.two_d() ? 2 : 3; }

  // Box edges, axis lines, ticks, tick labels and axis labels.
  void paint_frame() {
    cairo_set_line_width(cr_, kAxisLineWidthPt * kPxPerPt);
    cairo_set_line_cap(cr_, CAIRO_LINE_CAP_SQUARE);
    cairo_set_dash(cr_, nullptr, 0, 0);
    set_rgb(cr_, kAxisColor);
    cairo_new_path(cr_);
    if (a_.box) {
      for (int i = 0; i < 8; ++i)
        for (int d = 0; d < axis_count(); ++d) {
          if ((i & (1 << d)) || (proj_.two_d() && (i & 4))) continue;
          add_segment(px(corner(i)), px(corner(i | (1 << d))));
        }
    }
    for (int d = 0; d < axis_count(); ++d) {
      const AxisLayout& ax = layout(d);
      if (ax.length_px < 1) continue;
      add_segment(px(ax.a), px(ax.b));
      for (double t : ax.ticks) {
        P2 p = px(point_on(ax, t));
        add_segment(p, {p[0] - ax.outward[0] * tick_len_, p[1] - ax.outward[1] * tick_len_});
      }
    }
    ink_.stroke();
    for (const TickLabel& t : tick_labels())
      ink_.text(t.text, t.at[0], t.at[1], t.ha, t.va, tick_font_);
    for (const TickLabel& t : axis_labels())
      ink_.text(t.text, t.at[0], t.at[1], t.ha, t.va, label_font_, t.angle);
  }

  void paint_title() {
    if (const auto t = title()) ink_.text(t->text, t->at[0], t->at[1], t->ha, t->va, title_font_);
  }

  struct Box;
  struct TickLabel;

 public:
  // The axis labels beside their axes, out past the tick labels.
  std::vector<TickLabel> axis_labels() {
    std::vector<TickLabel> out;
    const std::string* names[3] = {&a_.xlabel, &a_.ylabel, &a_.zlabel};
    for (int d = 0; d < axis_count() && a_.axis_visible; ++d) {
      const AxisLayout& ax = layout(d);
      if (ax.length_px < 1 || names[d]->empty()) continue;
      double reach = 2 * pad_ + ax.label_reach;
      P2 pa = px(ax.a), pb = px(ax.b);
      P2 mid{0.5 * (pa[0] + pb[0]) + ax.outward[0] * reach,
             0.5 * (pa[1] + pb[1]) + ax.outward[1] * reach};
      if (std::fabs(ax.outward[0]) > 0.9) {
        // Labels beside a (nearly) vertical axis read upwards: the text's
        // height runs across the axis.
        const VAlign va = ax.outward[0] < 0 ? VAlign::Bottom : VAlign::Top;
        auto [w, h] = text_size(cr_, *names[d], label_font_);
        const double left = va == VAlign::Bottom ? mid[0] - h : mid[0];
        out.push_back({*names[d],
                       mid,
                       HAlign::Center,
                       va,
                       {left, mid[1] - 0.5 * w, left + h, mid[1] + 0.5 * w},
                       std::numbers::pi / 2});
      } else {
        auto [ha, va] = align_for(ax.outward);
        out.push_back({*names[d], mid, ha, va, text_box(*names[d], mid, ha, va, label_font_)});
      }
    }
    return out;
  }

  // The title, centred above the box and no lower than the rectangle's top.
  std::optional<TickLabel> title() {
    if (a_.title.empty()) return std::nullopt;
    double top = INFINITY;
    for (const P2& c : box_corners_px()) top = std::min(top, c[1]);
    top = std::max(top, fig_h_ - rect_.bottom - rect_.height);
    const P2 at{rect_.left + 0.5 * rect_.width, top - 2 * pad_};
    return TickLabel{a_.title, at, HAlign::Center, VAlign::Bottom,
                     text_box(a_.title, at, HAlign::Center, VAlign::Bottom, title_font_)};
  }

  // Every text drawn about the plot: tick labels, axis labels, title and
  // the colour bar's scale and label.
  std::vector<ScreenBox> text_boxes() {
    std::vector<ScreenBox> out;
    auto add = [&](const Box& b) { out.push_back({b.left, b.top, b.right, b.bottom}); };
    for (const TickLabel& t : tick_labels()) add(t.box);
    for (const TickLabel& t : axis_labels()) add(t.box);
    if (const auto t = title()) add(t->box);
    if (a_.colorbar)
      out.push_back(
          colorbar_box(cr_, *a_.colorbar, rect_, fig_h_, {tick_font_, label_font_, pad_}));
    return out;
  }

  // The tick labels of the visible axes as they are drawn.  Where two axes
  // meet, a label that would overlap one of another axis is left out.
  std::vector<TickLabel> tick_labels() {
    std::vector<TickLabel> out;
    if (!a_.axis_visible) return out;
    for (int d = 0; d < axis_count(); ++d) {
      const AxisLayout& ax = layout(d);
      if (ax.length_px < 1) continue;
      auto [ha, va] = align_for(ax.outward);
      const std::size_t others = out.size();
      for (std::size_t i = 0; i < ax.ticks.size(); ++i) {
        P2 p = px(point_on(ax, ax.ticks[i]));
        P2 at{p[0] + ax.outward[0] * pad_, p[1] + ax.outward[1] * pad_};
        Box box = text_box(ax.labels[i], at, ha, va, tick_font_);
        bool clash = false;
        for (std::size_t j = 0; j < others; ++j) clash = clash || box.overlaps(out[j].box);
        if (!clash) out.push_back({ax.labels[i], at, ha, va, box});
      }
    }
    return out;
  }

 private:
  // A screen rectangle, rows growing downwards.
  struct Box {
    double left, top, right, bottom;
    bool overlaps(const Box& o) const {
      return left < o.right && o.left < right && top < o.bottom && o.top < bottom;
    }
  };

  struct TickLabel {
    std::string text;
    P2 at;
    HAlign ha;
    VAlign va;
    Box box;
    double angle = 0;
  };

  // The rectangle a text covers when anchored at `at`.
  Box text_box(const std::string& text, P2 at, HAlign ha, VAlign va, const TextStyle& font) const {
    auto [w, h] = text_size(cr_, text, font);
    double left = ha == HAlign::Left ? at[0] : ha == HAlign::Center ? at[0] - 0.5 * w : at[0] - w;
    double top = va == VAlign::Top ? at[1] : va == VAlign::Middle ? at[1] - 0.5 * h : at[1] - h;
    return {left, top, left + w, top + h};
  }

  static std::pair<HAlign, VAlign> align_for(P2 out) {
    HAlign h = out[0] > 0.38 ? HAlign::Left : out[0] < -0.38 ? HAlign::Right : HAlign::Center;
    VAlign v = out[1] > 0.38 ? VAlign::Top : out[1] < -0.38 ? VAlign::Bottom : VAlign::Middle;
    return {h, v};
  }

  static P3 point_on(const AxisLayout& ax, double t) {
    P3 p = ax.a;
    p[ax.dim] = t;
    return p;
  }

  // Which box edge carries axis d: x and y go on the lowest edge on screen,
  // z on the leftmost; ties go to the edge nearer the viewer, then to the
  // low limits.
  const AxisLayout& layout(int d) {
    AxisLayout& ax = layouts_[d];
    if (laid_out_[d]) return ax;
    laid_out_[d] = true;
    ax.dim = d;
    const int e = (d + 1) % 3, f = (d + 2) % 3;
    double best = -INFINITY;
    for (int side_e = 0; side_e < 2; ++side_e)
      for (int side_f = 0; side_f < 2; ++side_f) {
        P3 p{}, q{};
        p[d] = lo_[d];
        q[d] = hi_[d];
        p[e] = q[e] = side_e ? hi_[e] : lo_[e];
        p[f] = q[f] = side_f ? hi_[f] : lo_[f];
        P2 m{0.5 * (px(p)[0] + px(q)[0]), 0.5 * (px(p)[1] + px(q)[1])};
        double primary = d == 2 ? -m[0] : m[1];
        double score = std::round(primary * 1e3) * 1e3 +
                       proj_.depth(0.5 * (p[0] + q[0]), 0.5 * (p[1] + q[1]), 0.5 * (p[2] + q[2])) -
                       1e-6 * (side_e + side_f);
        if (score > best) {
          best = score;
          ax.a = p;
          ax.b = q;
        }
      }
    P2 pa = px(ax.a), pb = px(ax.b), along = sub(pb, pa);
    ax.length_px = norm(along);
    P2 dir = ax.length_px > 0 ? P2{along[0] / ax.length_px, along[1] / ax.length_px} : P2{1, 0};
    P2 out = sub(P2{0.5 * (pa[0] + pb[0]), 0.5 * (pa[1] + pb[1])}, box_centre_px());
    double k = dot(out, dir);
    out = {out[0] - k * dir[0], out[1] - k * dir[1]};
    double on = norm(out);
    ax.outward = on > 1e-9 ? P2{out[0] / on, out[1] / on} : P2{-dir[1], dir[0]};
    choose_axis_ticks(cr_, ax, dir, lo_[ax.dim], hi_[ax.dim], tick_font_);
    return ax;
  }

  void paint_line(const SceneLine& l, MarkerStamper& stamper) {
    if (draws_stroke(l)) {
      const double width_px = stroke_width_px(l);
      std::vector<double> dash = dash_pattern(l.style, width_px);
      cairo_set_dash(cr_, dash.data(), static_cast<int>(dash.size()), 0);
      cairo_set_line_cap(cr_, CAIRO_LINE_CAP_BUTT);
      cairo_set_line_width(cr_, width_px);
      set_rgb(cr_, l.color);
      // Each piece the pen draws without lifting is stroked on its own: a
      // line broken by NaN points (a wireframe) gives its pieces' pixels.
      cairo_new_path(cr_);
      bool open = false;
      visit_stroke_pieces(l, proj_, [&](P2 a, P2 b, bool joined) {
        if (!joined && open) ink_.stroke();
        if (!joined) cairo_move_to(cr_, a[0], a[1]);
        cairo_line_to(cr_, b[0], b[1]);
        open = true;
      });
      if (open) ink_.stroke();
      cairo_set_dash(cr_, nullptr, 0, 0);
    }
    if (draws_markers(l)) ink_.markers(stamper, marker_style(l), marker_centres(l, proj_));
  }

  void paint_text(const SceneText& t) {
    if (!(std::isfinite(t.x) && std::isfinite(t.y) && std::isfinite(t.z))) return;
    TextStyle st;
    st.font_name = t.font_name;
    st.size_px = t.font_size_pt * kPxPerPt;
    st.bold = t.bold;
    st.italic = t.italic;
    st.color = t.color;
    P2 p = px({t.x, t.y, t.z});
    const double m = std::isfinite(t.margin_px) ? t.margin_px : 0;
    // Labels set off from their point move to another corner of it rather
    // than cover an earlier one.
    auto [ha, va] = m > 0 ? place_label(p, m, text_size(cr_, t.text, st), t.halign, t.valign,
                                        labels_, inside_ ? &*inside_ : nullptr)
                          : std::pair{t.halign, t.valign};
    p[0] += ha == HAlign::Left ? m : ha == HAlign::Right ? -m : 0;
    p[1] += va == VAlign::Top ? m : va == VAlign::Bottom ? -m : 0;
    ink_.text(t.text, p[0], p[1], ha, va, st);
  }

  // The legend box top right in the plot (left of a colour bar), in 3-D in a
  // corner clear of ticks and box edges; a row a line, drawn as it draws.
  void paint_legend(MarkerStamper& stamper) {
    if (a_.legend.empty()) return;
    // No wider than the axes, less the margin the corner keeps either side.
    const LegendSize size = legend_size(cr_, a_.legend, tick_font_, rect_.width - 2 * 8);
    const Rect plot = data_rect(a_, rect_);
    std::vector<ScreenBox> avoid =
        proj_.two_d() ? marker_boxes(a_, proj_) : box_edge_marks(box_corners_px());
    for (const TickLabel& t : proj_.two_d() ? std::vector<TickLabel>() : tick_labels())
      avoid.push_back({t.box.left, t.box.top, t.box.right, t.box.bottom});
    const ScreenBox at = legend_place(a_, rect_, plot, fig_h_, {size.width, size.height}, avoid);
    paint_legend_box(ink_, stamper, a_.legend, at[0], at[1], size, tick_font_);
  }

  void paint_colorbar() {
    if (a_.colorbar)
      draw_colorbar(ink_, *a_.colorbar, rect_, fig_h_, {tick_font_, label_font_, pad_});
  }

 public:
  std::optional<std::array<double, 4>> colorbar_label_box() const {
    if (!a_.colorbar) return std::nullopt;
    const auto l =
        colorbar_label(cr_, *a_.colorbar, rect_, fig_h_, {tick_font_, label_font_, pad_});
    if (!l) return std::nullopt;
    return l->box;
  }

 private:
  Ink ink_;
  cairo_t* cr_;
  const AxesScene& a_;
  Projection proj_;
  Rect rect_;
  double fig_h_;
  unsigned layers_;
  P3 lo_{}, hi_{};
  TextStyle tick_font_, label_font_, title_font_;
  double tick_len_ = 4, pad_ = 4;
  std::array<AxisLayout, 3> layouts_;
  std::array<bool, 3> laid_out_{false, false, false};
  std::vector<ScreenBox> labels_;  // boxes of the labels set off from their points
  std::optional<ScreenBox> inside_;
};

}  // namespace

void draw_axes(cairo_t* cr, const AxesScene& axes, const Rect& rect, double figure_height_px,
               unsigned layers) {
  AxesPainter(Ink{cr}, axes, rect, figure_height_px, layers).paint();
}

void draw_axes(const Ink& ink, const AxesScene& axes, const Rect& rect, double figure_height_px) {
  AxesPainter(ink, axes, rect, figure_height_px, kAllLayers).paint();
}

std::optional<std::array<double, 4>> colorbar_label_box(cairo_t* cr, const AxesScene& axes,
                                                        const Rect& rect, double figure_height_px) {
  return AxesPainter(Ink{cr}, axes, rect, figure_height_px, kAllLayers).colorbar_label_box();
}

std::vector<std::array<double, 4>> text_boxes(cairo_t* cr, const AxesScene& axes, const Rect& rect,
                                              double figure_height_px) {
  return AxesPainter(Ink{cr}, axes, rect, figure_height_px, kAllLayers).text_boxes();
}

std::vector<std::array<double, 4>> tick_label_boxes(cairo_t* cr, const AxesScene& axes,
                                                    const Rect& rect, double figure_height_px) {
  std::vector<std::array<double, 4>> out;
  for (const auto& t : AxesPainter(Ink{cr}, axes, rect, figure_height_px, kAllLayers).tick_labels())
    out.push_back({t.box.left, t.box.top, t.box.right, t.box.bottom});
  return out;
}

}  // namespace velmora::render
