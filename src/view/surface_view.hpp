#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "analysis/surface.hpp"
#include "mesh/surface.hpp"
#include "platform/graphics/backend.hpp"
#include "platform/render/scene.hpp"
#include "platform/value/value.hpp"

// Drawing a warped surface in the 3-D window, and the pieces of an animation
// that morphs it.
namespace velmora::app {

struct Document;

/// What the 3-D window shows of the surface: the target, and the surface
/// drawn for it (kept so that a save writes what is shown).
struct ShownSurface {
  analysis::SurfaceWarpParams params;
  std::shared_ptr<const analysis::SpecimenSurface> of;  ///< the surface it was drawn for
  std::optional<analysis::SurfaceWarpReport> report;
};

/// Triangles above which a coarser copy is kept for drawing while the view
/// turns.
inline constexpr Eigen::Index kCoarseAbove = 50000;

/// The heat-map colours of a warp: the displacement from the mean surface
/// on the colour bar's scale from 0 to `largest` (the warp's own largest
/// displacement when 0).
std::vector<render::Rgb> heat_of(const analysis::SurfaceWarpReport& r, double largest = 0);

/// The shaded surface of a warp, for an axes: smooth normals, heat-map
/// colours unless the target is the mean surface itself, and a coarse copy
/// for turning a surface of more than kCoarseAbove triangles unless
/// `coarse` is false.
std::shared_ptr<const render::SceneSurface> scene_surface(const analysis::SurfaceWarpReport& r,
                                                          double largest = 0, bool coarse = true);

/// Which vertices of a surface a coarser copy merges (vertex clustering on
/// a grid): each vertex's cluster, the clusters' sizes, and the triangles
/// between clusters (those that collapse dropped).
struct CoarseMap {
  std::vector<std::int32_t> cluster;
  std::vector<int> members;
  mesh::Triangles triangles;
};
/// The clusters of `s` for a copy with about `1/ratio` of its vertices.
CoarseMap coarse_map(const render::SceneSurface& s, double ratio);
/// The mean of the rows of `rows` (one a vertex) in each cluster.
mesh::Points cluster_means(const CoarseMap& m, const Eigen::Ref<const mesh::Points>& rows);

/// A copy of `s` with about `1/ratio` of its vertices, merged on a grid
/// (vertex clustering), its triangles that collapse dropped.
std::shared_ptr<const render::SceneSurface> coarse_copy(const render::SceneSurface& s,
                                                        double ratio);

/// What a slider step draws of a surface of more than kCoarseAbove
/// triangles: the coarse copy alone, its clusters those of the mean surface
/// (made once a surface), its vertices the means of the warped ones, its
/// normals and heat colours its own.  A smaller surface is drawn whole.
std::shared_ptr<const render::SceneSurface> draft_surface(const analysis::SurfaceWarpReport& r,
                                                          double largest = 0);

/// How much of a surface draw_surface_report draws.
enum class SurfaceDetail {
  Full,   ///< the whole surface, with a coarse copy for turning
  Draft,  ///< draft_surface: while a slider moves
};

/// Clears the 3-D window's axes and draws the warp there: the surface, the
/// target landmarks on top, the wireframe between them when `wires`, and a
/// colour bar of the displacement in the specimen's units.
void draw_surface_report(Document& doc, const analysis::SurfaceWarpReport& r, bool wires,
                         double largest = 0, SurfaceDetail detail = SurfaceDetail::Full);

}  // namespace velmora::app

namespace velmora::app {

/// The 3-D window's surface sliders: an exaggeration slider (×0 to ×4 of
/// the change) and an X slider over the observed X for a regression
/// target, or a score slider (−3 to +3 SD) for a component; none for the
/// mean.  Moving one calls `moved` with the target it now gives; letting
/// it go calls `settled` with the action (and its argument) that sets that
/// target, so the settled target is run, recorded and logged as any other.
using SliderMoved = void (*)(Document&, const analysis::SurfaceWarpParams&);
using SliderSettled = void (*)(const char* action, const Value& argument);
void show_surface_sliders(Document& doc, const analysis::SurfaceWarpParams& params,
                          const analysis::SurfaceWarpReport& report, SliderMoved moved,
                          SliderSettled settled);

}  // namespace velmora::app
