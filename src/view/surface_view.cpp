#include "view/surface_view.hpp"

#include <sys/statvfs.h>

#include <Eigen/Geometry>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <unordered_map>

#include "core/file_bytes.hpp"
#include "core/shown_text.hpp"
#include "mesh/surface.hpp"
#include "platform/graphics/graphics.hpp"
#include "platform/print/print.hpp"
#include "platform/render/surface_raster.hpp"
#include "platform/runtime/runtime_error.hpp"
#include "plot/primitives.hpp"
#include "view/display_style.hpp"
#include "view/document.hpp"
#include "view/figure3d.hpp"
#include "view/main_window.hpp"
#include "view/shown_shapes.hpp"

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

}  // namespace

std::vector<render::Rgb> heat_of(const analysis::SurfaceWarpReport& r, double largest) {
  return render::heat_colours(r.displacement, 0, largest > 0 ? largest : r.largest_displacement);
}

CoarseMap coarse_map(const render::SceneSurface& s, double ratio) {
  CoarseMap m;
  const Eigen::Index n = s.vertices.rows();
  if (n == 0) return m;
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
  m.cluster.resize(static_cast<std::size_t>(n));
  for (Eigen::Index i = 0; i < n; ++i) {
    long long key = 0;
    for (int d = 0; d < 3; ++d) {
      const int c = std::clamp(static_cast<int>((s.vertices(i, d) - lo(d)) / span(d) * count(d)), 0,
                               count(d) - 1);
      key = key * 1024 + c;
    }
    auto [it, fresh] = cell_of.try_emplace(key, static_cast<std::int32_t>(m.members.size()));
    if (fresh) m.members.push_back(0);
    m.cluster[static_cast<std::size_t>(i)] = it->second;
    ++m.members[static_cast<std::size_t>(it->second)];
  }
  std::vector<Eigen::Matrix<std::int32_t, 1, 3>> kept;
  for (Eigen::Index t = 0; t < s.triangles.rows(); ++t) {
    const std::int32_t a = m.cluster[static_cast<std::size_t>(s.triangles(t, 0))],
                       b = m.cluster[static_cast<std::size_t>(s.triangles(t, 1))],
                       c = m.cluster[static_cast<std::size_t>(s.triangles(t, 2))];
    if (a != b && b != c && a != c) kept.emplace_back(a, b, c);
  }
  m.triangles.resize(static_cast<Eigen::Index>(kept.size()), 3);
  for (std::size_t t = 0; t < kept.size(); ++t)
    m.triangles.row(static_cast<Eigen::Index>(t)) = kept[t];
  return m;
}

mesh::Points cluster_means(const CoarseMap& m, const Eigen::Ref<const mesh::Points>& rows) {
  const auto clusters = static_cast<Eigen::Index>(m.members.size());
  // Summed in a packed layout, a cluster's three sums side by side.
  std::vector<double> sum(static_cast<std::size_t>(3 * clusters), 0.0);
  for (int d = 0; d < 3; ++d) {
    const double* col = rows.col(d).data();
    for (std::size_t i = 0; i < m.cluster.size(); ++i)
      sum[3 * static_cast<std::size_t>(m.cluster[i]) + static_cast<std::size_t>(d)] += col[i];
  }
  mesh::Points out(clusters, 3);
  for (Eigen::Index c = 0; c < clusters; ++c)
    for (int d = 0; d < 3; ++d)
      out(c, d) = sum[static_cast<std::size_t>(3 * c + d)] / m.members[static_cast<std::size_t>(c)];
  return out;
}

std::shared_ptr<const render::SceneSurface> coarse_copy(const render::SceneSurface& s,
                                                        double ratio) {
  auto out = std::make_shared<render::SceneSurface>();
  if (s.vertices.rows() == 0) return out;
  const CoarseMap m = coarse_map(s, ratio);
  out->vertices = cluster_means(m, s.vertices);
  out->normals = cluster_means(m, s.normals);
  out->normals.rowwise().normalize();
  for (Eigen::Index c = 0; c < out->normals.rows(); ++c)
    if (!out->normals.row(c).allFinite() || out->normals.row(c).norm() == 0)
      out->normals.row(c) << 0, 0, 1;
  if (!s.colours.empty()) {
    mesh::Points k(s.vertices.rows(), 3);
    for (std::size_t i = 0; i < s.colours.size(); ++i)
      k.row(static_cast<Eigen::Index>(i)) << s.colours[i].r, s.colours[i].g, s.colours[i].b;
    const mesh::Points mean = cluster_means(m, k);
    for (Eigen::Index c = 0; c < mean.rows(); ++c)
      out->colours.push_back({mean(c, 0), mean(c, 1), mean(c, 2)});
  }
  out->triangles = m.triangles;
  fill_box(*out);
  return out;
}

std::shared_ptr<const render::SceneSurface> draft_surface(const analysis::SurfaceWarpReport& r,
                                                          double largest) {
  const mesh::Triangles& triangles = r.surface->mesh.triangles;
  if (triangles.rows() <= kCoarseAbove) return scene_surface(r, largest, false);
  // The clusters of the mean surface, made once a surface: the warp moves
  // its vertices, never which of them lie together.
  static std::weak_ptr<const analysis::SpecimenSurface> made_for;
  static CoarseMap map;
  if (made_for.lock() != r.surface) {
    render::SceneSurface mean;
    mean.vertices = r.mean;
    mean.triangles = triangles;
    fill_box(mean);
    map = coarse_map(mean, double(triangles.rows()) / kCoarseAbove);
    made_for = r.surface;
  }
  auto s = std::make_shared<render::SceneSurface>();
  s->vertices = cluster_means(map, r.vertices);
  s->triangles = map.triangles;
  s->normals = mesh::vertex_normals(s->vertices, s->triangles);
  const double top = largest > 0 ? largest : r.largest_displacement;
  if (top > 0) {
    const Eigen::VectorXd d = (s->vertices - cluster_means(map, r.mean)).rowwise().norm();
    s->colours = render::heat_colours(d, 0, top);
  }
  fill_box(*s);
  return s;
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

void draw_surface_report(Document& doc, const analysis::SurfaceWarpReport& r, bool wires,
                         double largest, SurfaceDetail detail) {
  auto& g = graphics();
  const gfx::Handle ax = g.current_axes();
  g.clear_axes(ax);
  const shape::Config landmarks = r.target_landmarks;
  if (wires) assign_role(plot::wire3d(landmarks, wire_list(doc), "k-"), role::kTargetWire, "");
  const std::vector<gfx::Handle> points =
      plot::showshape3D(landmarks, doc.window.display.reference_symbol);
  assign_role(points, role::kSurfaceLandmark, "Landmarks");
  mark_shown_shape(points, landmarks, "Landmarks");
  style_figure3d(doc);
  g.set_surface(
      ax, detail == SurfaceDetail::Draft ? draft_surface(r, largest) : scene_surface(r, largest));
  const double top = largest > 0 ? largest : r.largest_displacement;
  if (top > 0) {
    g.set_appdata(ax, "SurfaceColorBar", Value::row({0, top}));
    g.set_appdata(ax, "SurfaceColorBarLabel", Value(std::string("Displacement (specimen units)")));
  } else {
    g.set_appdata(ax, "SurfaceColorBar", Value());
  }
}

}  // namespace velmora::app
