#pragma once

#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>
#include <vector>

#include "platform/render/marker.hpp"
#include "platform/render/projection.hpp"
#include "platform/render/scene.hpp"

namespace velmora::render {

/// What one scene line puts on the screen, in figure pixels: the pieces of
/// its stroke and its marker centres.  Every painter (Cairo for files and
/// the fallback view, OpenGL for the window) draws from these, so all of
/// them show the same picture.

/// Stroke width in pixels of a scene line: its LineWidth in points at 96
/// pixels per inch, 0 for a non-finite width.
double stroke_width_px(const SceneLine& line);

/// Whether a line draws a stroke: a line style, two points, a width.
bool draws_stroke(const SceneLine& line);

/// Whether a line draws markers: a marker kind and a finite positive size.
bool draws_markers(const SceneLine& line);

/// The on/off lengths in pixels of a line style's dash pattern at a stroke
/// width (empty for solid lines): dashes 4.5 widths long with gaps of 3,
/// dots a width long with gaps of 2, dash-dot the two in turn.  Widths
/// under 4/3 pixel count as 4/3 so thin patterns stay visible.
std::vector<double> dash_pattern(LineStyle style, double width_px);

/// The markers' look in pixels: the marker size in points at 96 pixels per
/// inch, an edge at least half a pixel wide, the edge colour (the line
/// colour unless set) and the face (none for hollow markers).
MarkerStyle marker_style(const SceneLine& line);

/// Clips the segment a-b to the box lo..hi in the first `dims` coordinates
/// (Liang-Barsky).  Returns false when nothing is left, else sets [t0, t1],
/// the kept part as fractions of a→b.
bool clip_segment(const std::array<double, 3>& a, const std::array<double, 3>& b,
                  const std::array<double, 3>& lo, const std::array<double, 3>& hi, int dims,
                  double& t0, double& t1);

/// Walks the visible pieces of a line's stroke in order, in data
/// coordinates: each segment between consecutive finite points, clipped to
/// the axes' limits box (widened by 1e-9 of each range; z unchecked in a
/// 2-D plot), calls visit(a, b, joined) with its ends; `joined` is true when
/// the piece continues the previous one (same sub-path, so a round join),
/// false where a new sub-path starts (at the first piece, after a NaN
/// point, or where clipping cut the line).  The pieces depend on the limits
/// only, not on the view's direction or zoom.
template <class Visit>
void visit_stroke_pieces_3d(const SceneLine& l, const Projection& proj, Visit&& visit) {
  using P3 = std::array<double, 3>;
  const std::size_t n = std::min({l.x.size(), l.y.size(), l.z.size()});
  P3 lo, hi;
  for (int d = 0; d < 3; ++d) {
    const auto& lim = proj.limit(d);
    double tol = 1e-9 * (lim[1] - lim[0]);
    lo[d] = lim[0] - tol;
    hi[d] = lim[1] + tol;
  }
  const int dims = proj.two_d() ? 2 : 3;
  auto finite = [](const P3& p) {
    return std::isfinite(p[0]) && std::isfinite(p[1]) && std::isfinite(p[2]);
  };
  bool pen_down = false;  // the pieces so far end at point i
  for (std::size_t i = 0; i + 1 < n; ++i) {
    P3 a{l.x[i], l.y[i], l.z[i]}, b{l.x[i + 1], l.y[i + 1], l.z[i + 1]};
    double t0, t1;
    if (!finite(a) || !finite(b) || !clip_segment(a, b, lo, hi, dims, t0, t1)) {
      pen_down = false;
      continue;
    }
    auto lerp = [&](double t) {
      return P3{a[0] + t * (b[0] - a[0]), a[1] + t * (b[1] - a[1]), a[2] + t * (b[2] - a[2])};
    };
    visit(lerp(t0), lerp(t1), pen_down && !(t0 > 0));
    pen_down = t1 >= 1;
  }
}

/// visit_stroke_pieces_3d with the ends in figure pixels.
template <class Visit>
void visit_stroke_pieces(const SceneLine& l, const Projection& proj, Visit&& visit) {
  visit_stroke_pieces_3d(
      l, proj, [&](const std::array<double, 3>& a, const std::array<double, 3>& b, bool joined) {
        visit(proj.to_pixel(a), proj.to_pixel(b), joined);
      });
}

/// The marker centres of a line in figure pixels: its points inside the
/// limits box, in order.
std::vector<std::array<double, 2>> marker_centres(const SceneLine& line, const Projection& proj);

}  // namespace velmora::render
