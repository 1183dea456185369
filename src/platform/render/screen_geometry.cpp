// Small screen-space geometry shared by the painters.
#include "platform/render/screen_geometry.hpp"

#include <algorithm>

#include "platform/render/renderer.hpp"

namespace velmora::render {

std::vector<std::array<double, 2>> convex_hull(std::vector<std::array<double, 2>> pts) {
  using P2 = std::array<double, 2>;
  std::sort(pts.begin(), pts.end());
  pts.erase(std::unique(pts.begin(), pts.end()), pts.end());
  if (pts.size() < 3) return pts;
  auto cross = [](P2 o, P2 a, P2 b) {
    return (a[0] - o[0]) * (b[1] - o[1]) - (a[1] - o[1]) * (b[0] - o[0]);
  };
  std::vector<P2> hull(2 * pts.size());
  std::size_t k = 0;
  for (std::size_t i = 0; i < pts.size(); ++i) {
    while (k >= 2 && cross(hull[k - 2], hull[k - 1], pts[i]) <= 0) --k;
    hull[k++] = pts[i];
  }
  for (std::size_t i = pts.size() - 1, t = k + 1; i > 0; --i) {
    while (k >= t && cross(hull[k - 2], hull[k - 1], pts[i - 1]) <= 0) --k;
    hull[k++] = pts[i - 1];
  }
  hull.resize(k - 1);
  return hull;
}

namespace {

ScreenBox box_at(std::array<double, 2> p, double m, std::array<double, 2> size, HAlign h,
                 VAlign v) {
  const double left = h == HAlign::Left ? p[0] + m : p[0] - m - size[0];
  const double top = v == VAlign::Top ? p[1] + m : p[1] - m - size[1];
  return {left, top, left + size[0], top + size[1]};
}

double overlap(const ScreenBox& a, const ScreenBox& b) {
  const double w = std::min(a[2], b[2]) - std::max(a[0], b[0]);
  const double h = std::min(a[3], b[3]) - std::max(a[1], b[1]);
  return w > 0 && h > 0 ? w * h : 0;
}

}  // namespace

std::vector<ScreenBox> box_edge_marks(const std::vector<std::array<double, 2>>& corners) {
  std::vector<ScreenBox> out;
  for (std::size_t i = 0; i < corners.size(); ++i)
    for (std::size_t d = 1; d < 8; d <<= 1) {
      if ((i & d) || (i | d) >= corners.size()) continue;
      const auto a = corners[i], b = corners[i | d];
      for (int k = 0; k <= 20; ++k) {
        const double f = k / 20.0, x = a[0] + f * (b[0] - a[0]), y = a[1] + f * (b[1] - a[1]);
        out.push_back({x - 2, y - 2, x + 2, y + 2});
      }
    }
  return out;
}

Rect data_rect(const AxesScene& axes, const Rect& rect) {
  Rect r = rect;
  if (axes.colorbar && rect.width > 2 * kColorBarBandPx)
    r = {rect.left, rect.bottom, rect.width - kColorBarBandPx, rect.height};
  const double strip = axes.legend_strip_px;
  if (strip > 0 && !axes.legend.empty() && r.height > 2 * strip)
    r = {r.left, r.bottom + strip, r.width, r.height - strip};
  return r;
}

Rect fit_axes_rect(cairo_t* cr, const AxesScene& axes, const Rect& rect, double figure_width_px,
                   double figure_height_px) {
  Rect r = rect;
  // Tick spacing and tick length follow the rectangle's size, so the texts
  // are laid out again after each step.
  for (int step = 0; step < 8; ++step) {
    double left = 0, top = 0, right = figure_width_px, bottom = figure_height_px;
    for (const ScreenBox& b : text_boxes(cr, axes, r, figure_height_px)) {
      left = std::min(left, b[0]), top = std::min(top, b[1]);
      right = std::max(right, b[2]), bottom = std::max(bottom, b[3]);
    }
    const double over_l = -left, over_t = -top, over_r = right - figure_width_px,
                 over_b = bottom - figure_height_px;
    if (over_l + over_t + over_r + over_b <= 0) return r;
    // Half a pixel more than the overflow: the next layout rarely needs another step.
    auto cut = [](double over) { return over > 0 ? over + 0.5 : 0.0; };
    Rect next{r.left + cut(over_l), r.bottom + cut(over_b), r.width - cut(over_l) - cut(over_r),
              r.height - cut(over_t) - cut(over_b)};
    if (next.width < 0.25 * rect.width || next.height < 0.25 * rect.height) return r;
    r = next;
  }
  return r;
}

ScreenBox free_corner(const ScreenBox& area, std::array<double, 2> size, double inset,
                      const std::vector<ScreenBox>& avoid) {
  const double left = area[0] + inset, right = std::max(left, area[2] - inset - size[0]);
  const double top = area[1] + inset, bottom = std::max(top, area[3] - inset - size[1]);
  ScreenBox best{};
  double least = -1;
  for (const std::array<double, 2> at :
       {std::array{right, top}, {left, top}, {right, bottom}, {left, bottom}}) {
    const ScreenBox b{at[0], at[1], at[0] + size[0], at[1] + size[1]};
    double covered = 0;
    for (const ScreenBox& a : avoid) covered += overlap(b, a);
    if (least < 0 || covered < least) least = covered, best = b;
    if (covered == 0) break;
  }
  return best;
}

std::pair<HAlign, VAlign> place_label(std::array<double, 2> point, double margin,
                                      std::array<double, 2> size, HAlign halign, VAlign valign,
                                      std::vector<ScreenBox>& taken, const ScreenBox* inside) {
  if (halign == HAlign::Center || valign == VAlign::Middle) return {halign, valign};
  const HAlign other_h = halign == HAlign::Left ? HAlign::Right : HAlign::Left;
  const VAlign other_v = valign == VAlign::Top ? VAlign::Bottom : VAlign::Top;
  const std::pair<HAlign, VAlign> corners[] = {
      {halign, valign}, {other_h, valign}, {halign, other_v}, {other_h, other_v}};
  std::pair<HAlign, VAlign> best = corners[0];
  ScreenBox best_box{};
  double least = -1;
  for (const auto& [h, v] : corners) {
    const ScreenBox b = box_at(point, margin, size, h, v);
    double covered = 0;
    for (const ScreenBox& t : taken) covered += overlap(b, t);
    if (inside &&
        (b[0] < (*inside)[0] || b[1] < (*inside)[1] || b[2] > (*inside)[2] || b[3] > (*inside)[3]))
      covered += 1e12;  // beyond any overlap of labels
    if (least < 0 || covered < least) {
      least = covered;
      best = {h, v};
      best_box = b;
    }
    if (covered == 0) break;
  }
  taken.push_back(best_box);
  return best;
}

}  // namespace velmora::render
