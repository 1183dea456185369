// The orthographic view of an axes and the automatic limits it shows.
#include "platform/render/projection.hpp"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "platform/render/ticks.hpp"

namespace velmora::render {

namespace {

void extend(std::array<double, 2>& r, double v) {
  if (!std::isfinite(v)) return;
  r[0] = std::min(r[0], v);
  r[1] = std::max(r[1], v);
}

// A usable fixed range: finite and increasing, else the padded form.
std::array<double, 2> sane(std::array<double, 2> r) {
  if (std::isfinite(r[0]) && std::isfinite(r[1]) && r[0] < r[1]) return r;
  return padded_range(r[0], std::isfinite(r[1]) ? r[1] : r[0]);
}

}  // namespace

Limits resolve_limits(const AxesScene& a) {
  std::array<std::array<double, 2>, 3> data;
  data.fill({INFINITY, -INFINITY});
  for (const SceneLine& l : a.lines) {
    for (double v : l.x) extend(data[0], v);
    for (double v : l.y) extend(data[1], v);
    for (double v : l.z) extend(data[2], v);
  }
  for (const SceneImage& im : a.images) {
    extend(data[0], im.x0), extend(data[0], im.x1);
    extend(data[1], im.y0), extend(data[1], im.y1);
    extend(data[2], 0);
  }
  if (a.surface && a.surface->vertices.rows() > 0)
    for (int d = 0; d < 3; ++d)
      extend(data[d], a.surface->lo[d]), extend(data[d], a.surface->hi[d]);
  auto pick = [&](bool is_auto, const std::array<double, 2>& fixed, int d) {
    return is_auto ? nice_limits(data[d][0], data[d][1]) : sane(fixed);
  };
  return {pick(a.auto_x, a.xlim, 0), pick(a.auto_y, a.ylim, 1), pick(a.auto_z, a.zlim, 2)};
}

Projection::Projection(const AxesScene& a, const Rect& rect, double figure_height_px)
    : limits_(resolve_limits(a)), two_d_(!a.three_d) {
  const double kDeg = std::numbers::pi / 180;
  double az = a.azimuth_deg * kDeg, el = a.elevation_deg * kDeg;
  if (!std::isfinite(az)) az = 0;
  if (!std::isfinite(el)) el = 0;
  const std::array<double, 3> right{std::cos(az), std::sin(az), 0};
  const std::array<double, 3> up{-std::sin(el) * std::sin(az), std::sin(el) * std::cos(az),
                                 std::cos(el)};
  toward_ = {std::cos(el) * std::sin(az), -std::cos(el) * std::cos(az), std::sin(el)};

  const double w = std::max(rect.width, 1.0), h = std::max(rect.height, 1.0);
  const bool top_view =
      std::fabs(std::fmod(a.azimuth_deg, 360.0)) < 1e-9 && std::fabs(a.elevation_deg - 90) < 1e-9;
  std::array<std::array<double, 2>*, 3> lim{&limits_.x, &limits_.y, &limits_.z};

  double zoom = a.zoom > 0 && std::isfinite(a.zoom) ? a.zoom : 1;
  if (two_d_ && zoom != 1) {
    // A flat plot zooms by its limits: the box keeps its place, so its ticks
    // and labels stay beside it, and the data outside the new limits is cut.
    for (int d = 0; d < 2; ++d) {
      double mid = 0.5 * ((*lim[d])[0] + (*lim[d])[1]);
      double half = 0.5 * ((*lim[d])[1] - (*lim[d])[0]) / zoom;
      *lim[d] = {mid - half, mid + half};
    }
    zoom = 1;
  }

  // Normalised coordinates u = (p - centre) * s, box projected on screen.
  std::array<double, 3> s{}, c{};
  auto normalise = [&] {
    double big = 0;
    for (int d = 0; d < 3; ++d) {
      if (two_d_ && d == 2) continue;
      big = std::max(big, (*lim[d])[1] - (*lim[d])[0]);
    }
    for (int d = 0; d < 3; ++d) {
      double r = (*lim[d])[1] - (*lim[d])[0];
      c[d] = 0.5 * ((*lim[d])[0] + (*lim[d])[1]);
      s[d] = a.equal && !(two_d_ && d == 2) ? 1 / big : 1 / r;
    }
  };
  double hw = 0, vh = 0;
  auto box_extent = [&] {
    hw = vh = 0;
    for (int d = 0; d < 3; ++d) {
      double half = 0.5 * ((*lim[d])[1] - (*lim[d])[0]) * s[d];
      hw += std::fabs(right[d]) * half;
      vh += std::fabs(up[d]) * half;
    }
    hw = std::max(2 * hw, 1e-12);
    vh = std::max(2 * vh, 1e-12);
  };
  normalise();
  box_extent();

  double kx, ky;
  if (two_d_ && !a.equal) {
    kx = w / hw;
    ky = h / vh;
  } else {
    kx = ky = std::min(w / hw, h / vh);
    if (two_d_ && top_view) {
      // Equal units in a flat plot: automatic limits take up the slack so the
      // box fills the rectangle.
      bool auto_dim[2] = {a.auto_x, a.auto_y};
      double have[2] = {hw * kx, vh * ky}, want[2] = {w, h};
      for (int d = 0; d < 2; ++d) {
        if (!auto_dim[d] || have[d] >= want[d] * (1 - 1e-12)) continue;
        double half = 0.5 * ((*lim[d])[1] - (*lim[d])[0]) * want[d] / have[d];
        double mid = 0.5 * ((*lim[d])[0] + (*lim[d])[1]);
        *lim[d] = {mid - half, mid + half};
      }
      normalise();
      box_extent();
      kx = ky = std::min(w / hw, h / vh);
    }
  }
  kx *= zoom;
  ky *= zoom;
  const double cx = rect.left + 0.5 * rect.width;
  const double cy = figure_height_px - (rect.bottom + 0.5 * rect.height);
  // pixel = centre + k * (R u), rows flipped because pixel rows grow downwards.
  m_[0][3] = cx;
  m_[1][3] = cy;
  for (int d = 0; d < 3; ++d) {
    m_[0][d] = kx * right[d] * s[d];
    m_[1][d] = -ky * up[d] * s[d];
    m_[0][3] -= m_[0][d] * c[d];
    m_[1][3] -= m_[1][d] * c[d];
  }
  depth_scale_ = s;
  depth_centre_ = c;
}

const std::array<double, 2>& Projection::limit(int dim) const {
  return dim == 0 ? limits_.x : dim == 1 ? limits_.y : limits_.z;
}

double Projection::depth(double x, double y, double z) const {
  const double p[3] = {x, y, z};
  double out = 0;
  for (int d = 0; d < 3; ++d) out += (p[d] - depth_centre_[d]) * depth_scale_[d] * toward_[d];
  return out;
}

bool Projection::inside(double x, double y, double z) const {
  const double p[3] = {x, y, z};
  for (int d = 0; d < (two_d_ ? 2 : 3); ++d) {
    const std::array<double, 2>& l = limit(d);
    double tol = 1e-9 * (l[1] - l[0]);
    if (!(p[d] >= l[0] - tol && p[d] <= l[1] + tol)) return false;
  }
  return true;
}

}  // namespace velmora::render
