// The strokes and marker centres of scene lines, shared by every painter.
#include "platform/render/line_geometry.hpp"

#include <algorithm>

#include "platform/render/renderer.hpp"

namespace velmora::render {

double stroke_width_px(const SceneLine& l) {
  return std::isfinite(l.line_width_pt) ? std::max(l.line_width_pt, 0.0) * kPxPerPt : 0;
}

bool draws_stroke(const SceneLine& l) {
  const std::size_t n = std::min({l.x.size(), l.y.size(), l.z.size()});
  return l.style != LineStyle::None && n >= 2 && stroke_width_px(l) > 0;
}

bool draws_markers(const SceneLine& l) {
  return l.marker != Marker::None && l.marker_size_pt > 0 && std::isfinite(l.marker_size_pt);
}

std::vector<double> dash_pattern(LineStyle style, double width_px) {
  double u = std::max(width_px, 4.0 / 3);
  switch (style) {
    case LineStyle::Dashed:
      return {4.5 * u, 3 * u};
    case LineStyle::Dotted:
      return {u, 2 * u};
    case LineStyle::DashDot:
      return {4.5 * u, 2 * u, u, 2 * u};
    default:
      return {};
  }
}

MarkerStyle marker_style(const SceneLine& l) {
  MarkerStyle ms;
  ms.marker = l.marker;
  ms.size_px = l.marker_size_pt * kPxPerPt;
  ms.line_width_px = std::max(stroke_width_px(l), 0.5);
  ms.edge = l.marker_edge.value_or(l.color);
  ms.face = l.marker_face;
  return ms;
}

bool clip_segment(const std::array<double, 3>& a, const std::array<double, 3>& b,
                  const std::array<double, 3>& lo, const std::array<double, 3>& hi, int dims,
                  double& t0, double& t1) {
  t0 = 0;
  t1 = 1;
  for (int d = 0; d < dims; ++d) {
    double delta = b[d] - a[d];
    double p[2] = {-delta, delta}, q[2] = {a[d] - lo[d], hi[d] - a[d]};
    for (int k = 0; k < 2; ++k) {
      if (p[k] == 0) {
        if (q[k] < 0) return false;
      } else {
        double r = q[k] / p[k];
        if (p[k] < 0)
          t0 = std::max(t0, r);
        else
          t1 = std::min(t1, r);
      }
    }
  }
  return t0 <= t1;
}

std::vector<std::array<double, 2>> marker_centres(const SceneLine& l, const Projection& proj) {
  const std::size_t n = std::min({l.x.size(), l.y.size(), l.z.size()});
  std::vector<std::array<double, 2>> points;
  points.reserve(n);
  for (std::size_t i = 0; i < n; ++i)
    if (proj.inside(l.x[i], l.y[i], l.z[i]))
      points.push_back(proj.to_pixel(l.x[i], l.y[i], l.z[i]));
  return points;
}

}  // namespace velmora::render
