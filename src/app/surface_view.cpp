#include "app/surface_view.hpp"

#include <Eigen/Geometry>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <unordered_map>

#include "app/app_state.hpp"
#include "app/display_style.hpp"
#include "app/main_window.hpp"
#include "app/switchyard.hpp"
#include "mesh/surface.hpp"
#include "platform/graphics/graphics.hpp"
#include "platform/print/print.hpp"
#include "platform/render/surface_raster.hpp"
#include "plot/primitives.hpp"

namespace velmora::app {

using gfx::graphics;

namespace {

void fill_box(render::SceneSurface& s) {
  if (s.vertices.rows() == 0) return;
  for (int d = 0; d < 3; ++d) {
    s.lo[static_cast<std::size_t>(d)] = s.vertices.col(d).minCoeff();
    s.hi[static_cast<std::size_t>(d)] = s.vertices.col(d).maxCoeff();
  }
}

bool is_mean(const analysis::SurfaceWarpParams& p) {
  return p.target == analysis::SurfaceTarget::Mean;
}

}  // namespace

std::vector<render::Rgb> heat_of(const analysis::SurfaceWarpReport& r, double largest) {
  return render::heat_colours(r.displacement, 0, largest > 0 ? largest : r.largest_displacement);
}

std::shared_ptr<const render::SceneSurface> coarse_copy(const render::SceneSurface& s,
                                                        double ratio) {
  auto out = std::make_shared<render::SceneSurface>();
  const Eigen::Index n = s.vertices.rows();
  if (n == 0) return out;
  // Cells whose side is that of the surface's area shared among the
  // vertices kept: about `ratio` vertices of the surface fall in each.
  const Eigen::Vector3d lo(s.lo[0], s.lo[1], s.lo[2]), hi(s.hi[0], s.hi[1], s.hi[2]);
  const Eigen::Vector3d span = (hi - lo).cwiseMax(1e-300);
  double area = 0;
  for (Eigen::Index t = 0; t < s.triangles.rows(); ++t) {
    const Eigen::Vector3d a = s.vertices.row(s.triangles(t, 0)),
                          b = s.vertices.row(s.triangles(t, 1)),
                          c = s.vertices.row(s.triangles(t, 2));
    area += 0.5 * (b - a).cross(c - a).norm();
  }
  const double side = std::sqrt(area / std::max(1.0, double(n) / ratio));
  Eigen::Vector3i count;
  for (int d = 0; d < 3; ++d)
    count(d) = std::clamp(static_cast<int>(std::ceil(span(d) / std::max(side, 1e-300))), 1, 1024);
  std::unordered_map<long long, std::int32_t> cell_of;
  std::vector<std::int32_t> map(static_cast<std::size_t>(n));
  std::vector<Eigen::Vector3d> sum;
  std::vector<Eigen::Vector3d> nsum;
  std::vector<Eigen::Vector3d> csum;
  std::vector<int> members;
  const bool coloured = !s.colours.empty();
  for (Eigen::Index i = 0; i < n; ++i) {
    long long key = 0;
    for (int d = 0; d < 3; ++d) {
      const int c = std::clamp(static_cast<int>((s.vertices(i, d) - lo(d)) / span(d) * count(d)), 0,
                               count(d) - 1);
      key = key * 1024 + c;
    }
    auto [it, fresh] = cell_of.try_emplace(key, static_cast<std::int32_t>(sum.size()));
    if (fresh) {
      sum.emplace_back(Eigen::Vector3d::Zero());
      nsum.emplace_back(Eigen::Vector3d::Zero());
      csum.emplace_back(Eigen::Vector3d::Zero());
      members.push_back(0);
    }
    const auto c = static_cast<std::size_t>(it->second);
    map[static_cast<std::size_t>(i)] = it->second;
    sum[c] += s.vertices.row(i).transpose();
    nsum[c] += s.normals.row(i).transpose();
    if (coloured) {
      const render::Rgb& k = s.colours[static_cast<std::size_t>(i)];
      csum[c] += Eigen::Vector3d(k.r, k.g, k.b);
    }
    ++members[c];
  }
  const auto m = static_cast<Eigen::Index>(sum.size());
  out->vertices.resize(m, 3);
  out->normals.resize(m, 3);
  for (Eigen::Index c = 0; c < m; ++c) {
    const auto u = static_cast<std::size_t>(c);
    out->vertices.row(c) = (sum[u] / members[u]).transpose();
    const double len = nsum[u].norm();
    out->normals.row(c) = (len > 0 ? Eigen::Vector3d(nsum[u] / len) : Eigen::Vector3d(0, 0, 1));
    if (coloured) {
      const Eigen::Vector3d k = csum[u] / members[u];
      out->colours.push_back({k(0), k(1), k(2)});
    }
  }
  std::vector<Eigen::Matrix<std::int32_t, 1, 3>> kept;
  for (Eigen::Index t = 0; t < s.triangles.rows(); ++t) {
    const std::int32_t a = map[static_cast<std::size_t>(s.triangles(t, 0))],
                       b = map[static_cast<std::size_t>(s.triangles(t, 1))],
                       c = map[static_cast<std::size_t>(s.triangles(t, 2))];
    if (a != b && b != c && a != c) kept.emplace_back(a, b, c);
  }
  out->triangles.resize(static_cast<Eigen::Index>(kept.size()), 3);
  for (std::size_t t = 0; t < kept.size(); ++t)
    out->triangles.row(static_cast<Eigen::Index>(t)) = kept[t];
  fill_box(*out);
  return out;
}

std::shared_ptr<const render::SceneSurface> scene_surface(const analysis::SurfaceWarpReport& r,
                                                          double largest, bool coarse) {
  auto s = std::make_shared<render::SceneSurface>();
  s->vertices = r.vertices;
  s->triangles = r.surface->mesh.triangles;
  s->normals = mesh::vertex_normals(s->vertices, s->triangles);
  if (r.largest_displacement > 0 || largest > 0) s->colours = heat_of(r, largest);
  fill_box(*s);
  if (coarse && s->triangles.rows() > kCoarseAbove)
    s->coarse = coarse_copy(*s, double(s->triangles.rows()) / kCoarseAbove);
  return s;
}

void draw_surface_report(const analysis::SurfaceWarpReport& r, bool wires, double largest,
                         bool coarse) {
  auto& g = graphics();
  const gfx::Handle ax = g.current_axes();
  g.clear_axes(ax);
  const shape::Config landmarks = r.target_landmarks;
  if (wires) assign_role(plot::wire3d(landmarks, wire_list(), "k-"), role::kTargetWire, "");
  assign_role(plot::showshape3D(landmarks, state().display.reference_symbol), role::kTarget,
              "Landmarks");
  style_figure3d();
  g.set_surface(ax, scene_surface(r, largest, coarse));
  const double top = largest > 0 ? largest : r.largest_displacement;
  if (top > 0) {
    g.set_appdata(ax, "SurfaceColorBar", Value::row({0, top}));
    g.set_appdata(ax, "SurfaceColorBarLabel", Value(std::string("Displacement (specimen units)")));
  } else {
    g.set_appdata(ax, "SurfaceColorBar", Value());
  }
}

AnimationSize animation_size(const std::string& text) {
  AnimationSize a;
  std::string word;
  auto take = [&] {
    if (word.empty()) return;
    int w = 0, h = 0, n = 0;
    char tail = 0;
    if (std::sscanf(word.c_str(), "%dx%d%c", &w, &h, &tail) == 2 && w >= 16 && h >= 16 &&
        w <= 8000 && h <= 8000) {
      a.width = w, a.height = h;
    } else if (std::sscanf(word.c_str(), "%d%c", &n, &tail) == 1 && n >= 1 && n <= 1000) {
      a.frames = n;
    } else {
      refuse("\"" + word +
                 "\" is neither a frame count (1 to 1000) nor a size in pixels (\"800x600\", "
                 "16 to 8000 a side).",
             "Export Animation");
    }
    word.clear();
  };
  for (char c : text) {
    if (c == ',' || c == ' ')
      take();
    else
      word += c;
  }
  take();
  return a;
}

AnimationEnds animation_ends(const analysis::SurfaceWarpParams& shown) {
  const analysis::Session& a = state().session;
  AnimationEnds e;
  e.from = e.to = shown;
  using analysis::SurfaceTarget;
  if (shown.target == SurfaceTarget::Regression || (is_mean(shown) && a.regression())) {
    analysis::SurfaceWarpParams probe = shown;
    probe.target = SurfaceTarget::Regression;
    probe.x = a.x() && a.x()->values.size() ? a.x()->values.minCoeff() : 0;
    const analysis::SurfaceWarpReport r = a.warp_surface(probe);
    e.from = e.to = probe;
    e.from.x = r.x_low;
    e.to.x = r.x_high;
  } else if (shown.target == SurfaceTarget::Group) {
    e.from.exaggeration = 0;  // the consensus
  } else {
    if (is_mean(shown)) e.from.component = e.to.component = 1;
    const double sd = shown.factor != 0 && !is_mean(shown) ? std::abs(shown.factor) : 2;
    e.from.target = e.to.target = SurfaceTarget::Component;
    e.from.factor = -sd;
    e.to.factor = sd;
  }
  const analysis::SurfaceWarpReport lo = a.warp_surface(e.from), hi = a.warp_surface(e.to);
  e.from_text = lo.description;
  e.to_text = hi.description;
  e.largest = std::max(lo.largest_displacement, hi.largest_displacement);
  return e;
}

analysis::SurfaceWarpParams frame_params(const AnimationEnds& ends, double t) {
  analysis::SurfaceWarpParams p = ends.from;
  p.x = ends.from.x + t * (ends.to.x - ends.from.x);
  p.factor = ends.from.factor + t * (ends.to.factor - ends.from.factor);
  p.exaggeration = ends.from.exaggeration + t * (ends.to.exaggeration - ends.from.exaggeration);
  return p;
}

std::vector<std::string> frame_paths(const std::string& first, int frames) {
  const auto dot = first.find_last_of('.');
  const auto slash = first.find_last_of('/');
  const bool has_ext = dot != std::string::npos && (slash == std::string::npos || dot > slash);
  const std::string stem = has_ext ? first.substr(0, dot) : first;
  const std::string ext = has_ext ? first.substr(dot) : ".png";
  const int digits = std::max(3, static_cast<int>(std::to_string(frames).size()));
  std::vector<std::string> out;
  for (int i = 1; i <= frames; ++i) {
    std::string n = std::to_string(i);
    out.push_back(stem + "_" + std::string(static_cast<std::size_t>(digits) - n.size(), '0') + n +
                  ext);
  }
  return out;
}

void print_frame(gfx::Handle fig, const AnimationSize& size, const std::string& path) {
  char dims[64];
  std::snprintf(dims, sizeof dims, "-s%.6gx%.6gin", size.width / 96.0, size.height / 96.0);
  gfx::print_figure(graphics(), fig, {"-dpng", dims, "-r96", "-noui"}, path);
}

}  // namespace velmora::app
